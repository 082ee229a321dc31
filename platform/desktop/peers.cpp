// The peers of forms and controls: a GTK window per form, a widget per standard control, and the
// form's GDI surface shown under them (graphic controls, panels, skins). This file holds the peer's
// widget tree and the painted surface with the person's mouse over it; the form's window, the
// standard controls, the lists and the web browser have files of their own.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/comctrls.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/imagectl.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/stdctrls.h"
#include "platform/classlib/webbrowser.h"
#include "platform/desktop/internal.h"
#include "platform/desktop/peer.h"
#include "platform/gdi/wingdi.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

namespace desktop::detail {

std::set<TPeer*> g_peers;
std::set<TPeer*> g_dirtyForms;
Press g_press;

namespace {

guint g_syncIdle = 0;

LPARAM PointParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// The keys and buttons held, as a mouse message's key flags.
WPARAM MKOf(guint state) {
    TShiftState s = ShiftOf(state);
    if (state & GDK_BUTTON1_MASK) s |= ssLeft;
    if (state & GDK_BUTTON3_MASK) s |= ssRight;
    if (state & GDK_BUTTON2_MASK) s |= ssMiddle;
    return MKFromShiftState(s);
}

// The RGB of a control's colour: its own, or its parent's when ParentColor; a form without a colour
// of its own has the button face. A colour of its own may be black (0) or a system colour.
COLORREF ColorOf(const TControl* c) {
    while (c && c->ParentColor && c->Parent()) c = c->Parent();
    if (!c || (c->ParentColor && c->Color == 0)) return static_cast<COLORREF>(ColorToRGB(clBtnFace));
    return static_cast<COLORREF>(ColorToRGB(c->Color));
}

// Where a control's top-left lies in its form's client area.
void FormOffset(const TControl* c, int& x, int& y) {
    x = y = 0;
    for (const TControl* p = c; p && p->Parent(); p = p->Parent()) {
        x += p->Left();
        y += p->Top();
    }
}

void FillSolid(HDC dc, int l, int t, int r, int b, COLORREF color) {
    RECT rc{l, t, r, b};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rc, brush);
    DeleteObject(ToGdiObj(brush));
}

// A raised or lowered edge of one pixel inside (l, t, r, b).
void Edge(HDC dc, int l, int t, int r, int b, bool raised) {
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    COLORREF tl = raised ? light : dark, br = raised ? dark : light;
    FillSolid(dc, l, t, r, t + 1, tl);
    FillSolid(dc, l, t, l + 1, b, tl);
    FillSolid(dc, l, b - 1, r, b, br);
    FillSolid(dc, r - 1, t, r, b, br);
}

}  // namespace

// The keys held with a key or a button event (the shift state of a key event).
TShiftState ShiftOf(guint state) {
    TShiftState s = 0;
    if (state & GDK_SHIFT_MASK) s |= ssShift;
    if (state & GDK_CONTROL_MASK) s |= ssCtrl;
    if (state & GDK_MOD1_MASK) s |= ssAlt;
    return s;
}

TPeer* PeerOf(const TControl* c) { return c ? dynamic_cast<TPeer*>(c->Peer()) : nullptr; }

TPeer* PeerOfWidget(GtkWidget* w) {
    auto* p = static_cast<TPeer*>(g_object_get_data(G_OBJECT(w), "desktop-peer"));
    return p && g_peers.count(p) ? p : nullptr;
}

// ---- the tree ----

void SyncTree(TPeer* container) {
    auto* wc = dynamic_cast<TWinControl*>(container->C);
    if (!wc || !container->Fixed) return;
    // Widgets whose control left this container go first.
    GList* children = gtk_container_get_children(GTK_CONTAINER(container->Fixed));
    for (GList* l = children; l; l = l->next) {
        auto* w = static_cast<GtkWidget*>(l->data);
        TPeer* p = PeerOfWidget(w);
        if (p && p->C->Parent() != wc) {
            gtk_container_remove(GTK_CONTAINER(container->Fixed), w);
            p->PlacedIn = nullptr;
        }
    }
    g_list_free(children);
    for (int i = 0; i < wc->ControlCount(); ++i) {
        TControl* c = wc->Controls(i);
        TPeer* p = PeerOf(c);
        if (!p) continue;
        if (p->K == Kind::Unbuilt) p->Build();
        if (p->Outer && p->PlacedIn != container->Fixed) {
            gtk_fixed_put(GTK_FIXED(container->Fixed), p->Outer, c->Left(), c->Top());
            p->PlacedIn = container->Fixed;
            p->SyncGeometry();
            p->SyncText();
            gtk_widget_set_sensitive(p->Outer, c->Enabled());
            gtk_widget_set_visible(p->Outer, c->Visible());
        }
        p->SyncBackground();  // a colour is a plain field: it is looked at on every sync
        if (p->Fixed) SyncTree(p);
    }
}

void SyncForm(TPeer* fp) {
    if (!fp->Outer) return;
    fp->SyncMenu();
    SyncTree(fp);
    fp->ApplyShape();
}

void ScheduleSync(TPeer* formPeer) {
    if (!formPeer->Outer) return;
    g_dirtyForms.insert(formPeer);
    if (g_syncIdle) return;
    g_syncIdle = g_idle_add_full(
        G_PRIORITY_HIGH_IDLE,
        [](gpointer) -> gboolean {
            g_syncIdle = 0;
            std::vector<TPeer*> forms(g_dirtyForms.begin(), g_dirtyForms.end());
            g_dirtyForms.clear();
            for (TPeer* fp : forms)
                if (g_peers.count(fp)) SyncForm(fp);
            return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
}

namespace {

// ---- painting ----

void PaintContainers(TWinControl* parent, HDC dc) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* w = dynamic_cast<TWinControl*>(parent->Controls(i));
        if (!w || !w->Visible()) continue;
        TPeer* p = PeerOf(w);
        if (!p || (p->K != Kind::Container && p->K != Kind::GroupBox)) continue;
        int x, y;
        FormOffset(w, x, y);
        FillSolid(dc, x, y, x + w->Width(), y + w->Height(), ColorOf(w));
        if (auto* panel = dynamic_cast<TCustomPanel*>(w)) {
            if (panel->BevelOuter == bvRaised || panel->BevelOuter == bvLowered)
                Edge(dc, x, y, x + w->Width(), y + w->Height(), panel->BevelOuter == bvRaised);
            if (panel->BevelInner == bvRaised || panel->BevelInner == bvLowered)
                Edge(dc, x + 1, y + 1, x + w->Width() - 1, y + w->Height() - 1, panel->BevelInner == bvRaised);
            if (!w->Caption().empty()) {
                RECT rc{x, y, x + w->Width(), y + w->Height()};
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(w->Font()->Color())));
                HGDIOBJ font = SelectObject(dc, ToGdiObj(w->Font()->Handle()));
                UINT align = panel->Alignment == taCenter ? DT_CENTER : panel->Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
                DrawTextA(dc, w->Caption().c_str(), static_cast<int>(w->Caption().size()), &rc,
                          align | DT_VCENTER | DT_SINGLELINE);
                SelectObject(dc, font);
            }
        }
        PaintContainers(w, dc);
    }
}

// ---- owner-drawn text ----
//
// Text the GDI is asked to draw on a form's surface (panel captions, link labels, painted buttons)
// is drawn by the toolkit's text renderer over the surface when the surface is shown: anti-aliased
// as the widgets' text and at the window's scale, where the surface itself is scaled up. The GDI
// measures the text of windows and of the screen with the same renderer, in the same layouts, so
// that a caption sized, centred or wrapped by its measures is drawn at the size it was given.

std::map<HWND, std::vector<gdi::WindowText>> g_texts;  // a form's window -> its surface's text
HWND g_painting = nullptr;                              // the surface being painted whole
PangoContext* g_textContext = nullptr;                  // the screen's, for every run's layout
std::map<std::string, gdi::TextExtent> g_measured;      // a font's text -> its layout's measure

// A run's text laid out in its font (the face the name gives fontconfig, the weight, the slant, the
// em in pixels), in the screen's context. The caller owns the layout.
PangoLayout* RunLayout(const LOGFONTA& font, int em, const std::string& text) {
    if (!g_textContext) g_textContext = gdk_pango_context_get_for_screen(gdk_screen_get_default());
    PangoLayout* layout = pango_layout_new(g_textContext);
    pango_layout_set_text(layout, Utf8(text).c_str(), -1);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, Utf8(font.lfFaceName).c_str());
    pango_font_description_set_weight(desc, static_cast<PangoWeight>(font.lfWeight > 0 ? font.lfWeight : 400));
    pango_font_description_set_style(desc, font.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(desc, static_cast<double>(std::max(1, em)) * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    return layout;
}

gdi::TextExtent MeasureText(const LOGFONTA& font, int em, const std::string& text) {
    std::string key = std::string(font.lfFaceName) + '\0' + std::to_string(font.lfWeight) + '\0' +
                      std::to_string(font.lfItalic) + '\0' + std::to_string(em) + '\0' + text;
    auto it = g_measured.find(key);
    if (it != g_measured.end()) return it->second;
    PangoLayout* layout = RunLayout(font, em, text);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    gdi::TextExtent extent;
    extent.width = logical.width;
    extent.ascent = PANGO_PIXELS(pango_layout_get_baseline(layout));
    extent.descent = std::max(0, logical.height - extent.ascent);
    g_object_unref(layout);
    if (g_measured.size() >= 4096) g_measured.clear();
    g_measured.emplace(std::move(key), extent);
    return extent;
}

bool TakeText(const gdi::WindowText& run) {
    bool shown = false;
    for (TPeer* p : g_peers)
        if (p->K == Kind::Form && p->Outer && static_cast<TCustomForm*>(p->C)->Handle() == run.window) shown = true;
    if (!shown) return false;
    std::vector<gdi::WindowText>& runs = g_texts[run.window];
    if (run.window != g_painting) {
        // Drawn on its own over the surface: what it covers of earlier text is gone.
        const RECT r{run.x, run.y, run.x + run.width, run.y + run.ascent + run.em};
        std::erase_if(runs, [&](const gdi::WindowText& o) {
            return o.x < r.right && r.left < o.x + o.width && o.y < r.bottom && r.top < o.y + o.ascent + o.em;
        });
    }
    runs.push_back(run);
    return true;
}

// Draws a form's text runs on a container whose top-left is (ox, oy) on the surface.
void DrawTexts(cairo_t* cr, HWND form, int ox, int oy) {
    auto it = g_texts.find(form);
    if (it == g_texts.end()) return;
    for (const gdi::WindowText& run : it->second) {
        PangoLayout* layout = RunLayout(run.font, run.em, run.text);
        PangoAttrList* attrs = pango_attr_list_new();
        if (run.underlineFrom >= 0 && run.underlineTo > run.underlineFrom) {
            PangoAttribute* u = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
            u->start_index = static_cast<guint>(Utf8(run.text.substr(0, static_cast<size_t>(run.underlineFrom))).size());
            u->end_index = static_cast<guint>(Utf8(run.text.substr(0, static_cast<size_t>(run.underlineTo))).size());
            pango_attr_list_insert(attrs, u);
        }
        if (run.font.lfStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
        const int baseline = PANGO_PIXELS(pango_layout_get_baseline(layout));
        cairo_save(cr);
        cairo_rectangle(cr, run.clip.left - ox, run.clip.top - oy, run.clip.right - run.clip.left, run.clip.bottom - run.clip.top);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, GetRValue(run.color) / 255.0, GetGValue(run.color) / 255.0, GetBValue(run.color) / 255.0);
        // Where the GDI placed the run, measured in this layout: its start, and its baseline.
        cairo_move_to(cr, run.x - ox, run.y + run.ascent - baseline - oy);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
        g_object_unref(layout);
    }
}

// A container's (or the form's) draw: the form's surface, at the container's place.
gboolean OnContainerDraw(GtkWidget* w, cairo_t* cr, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || !gtk_cairo_should_draw_window(cr, gtk_widget_get_window(w))) return FALSE;
    TCustomForm* f = p->Form();
    TPeer* fp = PeerOf(f);
    if (!fp || !f->Handle()) return FALSE;
    if (fp->SurfaceDirty) fp->PaintSurface();
    HBITMAP bmp = gdi::GetWindowSurface(f->Handle());
    DIBSECTION ds{};
    if (!bmp || GetObjectA(ToGdiObj(bmp), sizeof ds, &ds) == 0 || !ds.dsBm.bmBits) return FALSE;
    const int width = ds.dsBm.bmWidth, height = ds.dsBm.bmHeight;
    cairo_surface_t* s = cairo_image_surface_create_for_data(static_cast<unsigned char*>(ds.dsBm.bmBits),
                                                             CAIRO_FORMAT_RGB24, width, height, ds.dsBm.bmWidthBytes);
    int ox = 0, oy = 0;
    if (p != fp) FormOffset(p->C, ox, oy);
    cairo_save(cr);
    // The context is not held to this container's window: unclipped, the paint would cover the
    // siblings drawn before it, and their controls, with the surface.
    cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
    cairo_clip(cr);
    if (ds.dsBmih.biHeight > 0) {  // bottom-up rows
        cairo_translate(cr, 0, height - 2 * oy);
        cairo_scale(cr, 1, -1);
        cairo_set_source_surface(cr, s, -ox, oy);
    } else {
        cairo_set_source_surface(cr, s, -ox, -oy);
    }
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(s);
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
    cairo_clip(cr);
    DrawTexts(cr, f->Handle(), ox, oy);
    cairo_restore(cr);
    return FALSE;
}

// ---- a person's mouse over a form's surface ----

gboolean OnContainerButton(GtkWidget* w, GdkEventButton* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p) return FALSE;
    TCustomForm* f = p->Form();
    if (!f || !f->Handle() || !f->Enabled()) return FALSE;
    int ox, oy;
    FormOffset(p->C, ox, oy);
    const int x = static_cast<int>(e->x) + ox, y = static_cast<int>(e->y) + oy;
    UINT msg = 0;
    WPARAM mk = MKOf(e->state);
    if (e->type == GDK_BUTTON_PRESS || e->type == GDK_2BUTTON_PRESS) {
        const bool dbl = e->type == GDK_2BUTTON_PRESS;
        if (e->button == 1) { msg = dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN; mk |= MK_LBUTTON; }
        else if (e->button == 3) { msg = dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN; mk |= MK_RBUTTON; }
        else if (e->button == 2 && !dbl) { msg = WM_MBUTTONDOWN; mk |= MK_MBUTTON; }
        g_press = Press{true, e->button, static_cast<int>(e->x_root), static_cast<int>(e->y_root), e->time};
    } else if (e->type == GDK_BUTTON_RELEASE) {
        if (e->button == 1) { msg = WM_LBUTTONUP; mk &= ~MK_LBUTTON; }
        else if (e->button == 3) { msg = WM_RBUTTONUP; mk &= ~MK_RBUTTON; }
        else if (e->button == 2) { msg = WM_MBUTTONUP; mk &= ~MK_MBUTTON; }
        g_press.down = false;
    }
    if (!msg) return FALSE;
    HWND h = f->Handle();
    Guard(f, [&] { SendMessageA(h, msg, mk, PointParam(x, y)); });
    if (e->type == GDK_BUTTON_RELEASE) g_press.down = false;
    return TRUE;
}

gboolean OnContainerMotion(GtkWidget* w, GdkEventMotion* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p) return FALSE;
    TCustomForm* f = p->Form();
    if (!f || !f->Handle()) return FALSE;
    int ox, oy;
    FormOffset(p->C, ox, oy);
    const int x = static_cast<int>(e->x) + ox, y = static_cast<int>(e->y) + oy;
    HWND h = f->Handle();
    Guard(f, [&] { SendMessageA(h, WM_MOUSEMOVE, MKOf(e->state), PointParam(x, y)); });
    return TRUE;
}

gboolean OnContainerLeave(GtkWidget* w, GdkEventCrossing* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || e->mode != GDK_CROSSING_NORMAL || e->detail == GDK_NOTIFY_INFERIOR) return FALSE;
    TCustomForm* f = p->Form();
    if (!f || !f->Handle() || p->C != f) return FALSE;
    HWND h = f->Handle();
    Guard(f, [&] { SendMessageA(h, WM_MOUSELEAVE, 0, 0); });
    return FALSE;
}

// The client area of a form or a container: a GtkFixed that asks for the size the model gives it and
// no more, so that a control whose content would be wider than its bounds (a long label, a combo's
// longest item) is clipped as on the original system instead of growing the window.
struct TClientArea {
    GtkFixed parent;
};
struct TClientAreaClass {
    GtkFixedClass parent_class;
};
G_DEFINE_TYPE(TClientArea, client_area, GTK_TYPE_FIXED)

void ClientAreaWidth(GtkWidget* w, gint* minimum, gint* natural) {
    gint width = 0;
    gtk_widget_get_size_request(w, &width, nullptr);
    *minimum = *natural = std::max(1, width);
}
void ClientAreaHeight(GtkWidget* w, gint* minimum, gint* natural) {
    gint height = 0;
    gtk_widget_get_size_request(w, nullptr, &height);
    *minimum = *natural = std::max(1, height);
}
// Each child gets its model's bounds (its size request) even where its content asks more.
void ClientAreaAllocate(GtkWidget* w, GtkAllocation* allocation) {
    GTK_WIDGET_CLASS(client_area_parent_class)->size_allocate(w, allocation);
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* l = children; l; l = l->next) {
        auto* child = static_cast<GtkWidget*>(l->data);
        if (!gtk_widget_get_visible(child)) continue;
        gint x = 0, y = 0, width = 0, height = 0;
        gtk_container_child_get(GTK_CONTAINER(w), child, "x", &x, "y", &y, nullptr);
        gtk_widget_get_size_request(child, &width, &height);
        if (width < 0 || height < 0) continue;
        GtkAllocation a{x, y, width, height};
        if (!gtk_widget_get_has_window(w)) {
            a.x += allocation->x;
            a.y += allocation->y;
        }
        gtk_widget_size_allocate(child, &a);
    }
    g_list_free(children);
}

void client_area_class_init(TClientAreaClass* klass) {
    GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
    widget->get_preferred_width = ClientAreaWidth;
    widget->get_preferred_height = ClientAreaHeight;
    widget->size_allocate = ClientAreaAllocate;
}
void client_area_init(TClientArea*) {}

}  // namespace

void TPeer::PaintSurface() {
    auto* f = static_cast<TCustomForm*>(C);
    HWND h = f->Handle();
    if (!h) return;
    HDC dc = GetDC(h);
    if (!dc) return;
    g_texts[h].clear();
    g_painting = h;
    FillSolid(dc, 0, 0, f->ClientWidth(), f->ClientHeight(), ColorOf(f));
    PaintContainers(f, dc);
    PaintGraphicControls(f, dc, 0, 0);
    g_painting = nullptr;
    ReleaseDC(h, dc);
    SurfaceDirty = false;
}

GtkWidget* TPeer::NewContainer() {
    GtkWidget* fixed = GTK_WIDGET(g_object_new(client_area_get_type(), nullptr));
    gtk_widget_set_has_window(fixed, TRUE);
    gtk_widget_add_events(fixed, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                     GDK_LEAVE_NOTIFY_MASK);
    g_object_set_data(G_OBJECT(fixed), "desktop-peer", this);
    g_signal_connect(fixed, "draw", G_CALLBACK(OnContainerDraw), nullptr);
    g_signal_connect(fixed, "button-press-event", G_CALLBACK(OnContainerButton), nullptr);
    g_signal_connect(fixed, "button-release-event", G_CALLBACK(OnContainerButton), nullptr);
    g_signal_connect(fixed, "motion-notify-event", G_CALLBACK(OnContainerMotion), nullptr);
    g_signal_connect(fixed, "leave-notify-event", G_CALLBACK(OnContainerLeave), nullptr);
    return fixed;
}

std::unique_ptr<TControlPeer> MakePeer(TControl* control) { return std::make_unique<TPeer>(control); }

GtkWidget* WidgetOfControl(const TControl* control) {
    TPeer* p = PeerOf(control);
    return p ? p->Outer : nullptr;
}

void StartTextPainter() {
    gdi::SetWindowTextMeasurer(MeasureText);
    gdi::SetWindowTextPainter(TakeText);
}

void StopTextPainter() {
    gdi::SetWindowTextPainter(nullptr);
    gdi::SetWindowTextMeasurer(nullptr);
    g_texts.clear();
    g_measured.clear();
    if (g_textContext) g_object_unref(g_textContext);
    g_textContext = nullptr;
}

void ForgetTexts(HWND form) { g_texts.erase(form); }

}  // namespace desktop::detail
