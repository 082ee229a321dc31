// The peers of forms and controls: a GTK window per form, a widget per standard control, and the
// form's GDI surface shown under them (graphic controls, panels, skins), with the window's shape
// from its region. A person's input goes back to the models through their user-input members and
// the form's window messages.
#include <algorithm>
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
#include "platform/gdi/wingdi.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

#ifdef HAVE_WEBKIT
#include <webkit2/webkit2.h>
#endif

namespace desktop::detail {

namespace {

enum class Kind {
    Unbuilt, Form, Container, GroupBox, Painted, Label, Button, SpeedButton, Bevel, Edit, Memo, ListBox,
    Combo, Check, Radio, StatusBar, Browser
};

// A combo box narrower than this gives its field more of its width (the arrow is drawn smaller).
constexpr int kNarrowCombo = 64;

class TPeer;
std::set<TPeer*> g_peers;             // every live peer
std::set<TPeer*> g_dirtyForms;        // forms whose widget tree waits for an idle sync
guint g_syncIdle = 0;

// The press being handled (for a window move that starts from it).
struct Press {
    bool down = false;
    guint button = 0;
    int rootX = 0, rootY = 0;
    guint32 time = 0;
} g_press;

TPeer* PeerOf(const TControl* c);
void ScheduleSync(TPeer* formPeer);

LPARAM PointParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// The keys held with a key or a button event (the shift state of a key event).
TShiftState ShiftOf(guint state) {
    TShiftState s = 0;
    if (state & GDK_SHIFT_MASK) s |= ssShift;
    if (state & GDK_CONTROL_MASK) s |= ssCtrl;
    if (state & GDK_MOD1_MASK) s |= ssAlt;
    return s;
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

// The name the window manager shows for a form's window (a taskbar's entry, a switcher's): its
// caption, or the application's title for a form without one (a frameless skinned window).
std::string WindowTitle(const TCustomForm* f) { return Utf8(f->Caption().empty() ? Application->Title : f->Caption()); }

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

class TPeer : public TControlPeer {
public:
    explicit TPeer(TControl* c) : C(c) { g_peers.insert(this); }
    ~TPeer() override {
        g_peers.erase(this);
        g_dirtyForms.erase(this);
        if (MenuBar) g_object_unref(MenuBar);
        if (Outer) {
            g_object_set_data(G_OBJECT(Outer), "desktop-peer", nullptr);
            if (Inner) g_object_set_data(G_OBJECT(Inner), "desktop-peer", nullptr);
            gtk_widget_destroy(Outer);
            g_object_unref(Outer);
        }
    }

    TControl* C;
    Kind K = Kind::Unbuilt;
    GtkWidget* Outer = nullptr;   // placed into the parent's Fixed; a form's GtkWindow
    GtkWidget* Inner = nullptr;   // the widget that takes the input
    GtkWidget* Fixed = nullptr;   // where children go (forms and containers)
    GtkWidget* Frame = nullptr;   // a group box's frame
    GtkWidget* Box = nullptr;     // a form's column: menu bar, then Fixed
    GtkWidget* MenuBar = nullptr;
    TMenuItem* BuiltMenu = nullptr;
    GtkWidget* PlacedIn = nullptr;
    GtkAccelGroup* Accel = nullptr;
    int Syncing = 0;              // > 0 while the peer changes its widgets (their signals are ignored)
    int InEdit = 0;               // > 0 while a GTK edit signal is being handled
    int Focusing = 0;             // > 0 while a list's tree view takes the focus
    bool TextPending = false;
    bool FromScreen = false;      // the model follows the window (a move or resize by the person)
    bool SurfaceDirty = true;
    std::vector<unsigned char> Shape;  // the region last applied as the window's shape
    bool Shaped = false;
    bool Parked = false;          // hidden by the model, kept iconified on screen (HideParkedForms)
    std::string Approved;         // a browser's address that BeforeNavigate already let through

    TCustomForm* Form() const { return C->ParentForm(); }

    // ---- TControlPeer ----
    void VisibleChanged() override {
        if (K == Kind::Form) return;  // FormShown / FormHidden
        if (Outer) {
            ++Syncing;
            gtk_widget_set_visible(Outer, C->Visible());
            --Syncing;
        }
        DirtyForm();
    }
    void EnabledChanged() override {
        if (K == Kind::Form) {
            if (Box) gtk_widget_set_sensitive(Box, C->Enabled());
            return;
        }
        if (Outer) gtk_widget_set_sensitive(Outer, C->Enabled());
        DirtyForm();
    }
    void TextChanged() override {
        if (K == Kind::Unbuilt || K == Kind::Painted) {
            DirtyForm();
            return;
        }
        if (InEdit) {
            // The widget is inside its own edit signal: its text is set again when that is over.
            if (!TextPending) {
                TextPending = true;
                g_idle_add(
                    [](gpointer p) -> gboolean {
                        auto* peer = static_cast<TPeer*>(p);
                        if (g_peers.count(peer)) {
                            peer->TextPending = false;
                            peer->SyncText();
                        }
                        return G_SOURCE_REMOVE;
                    },
                    this);
            }
            return;
        }
        SyncText();
        if (K == Kind::Container) DirtyForm();
    }
    void BoundsChanged() override {
        if (K == Kind::Form) {
            if (!FromScreen) SyncFormGeometry();
            DirtyForm();
            return;
        }
        if (Outer && PlacedIn) SyncGeometry();
        DirtyForm();
    }
    void Invalidate() override { DirtyForm(); }
    void FontChanged() override {
        SyncFont();
        DirtyForm();
    }

    // Marks the form's surface for repainting and its tree for a sync.
    void DirtyForm() {
        TCustomForm* f = Form();
        TPeer* fp = f ? PeerOf(f) : nullptr;
        if (!fp) return;
        fp->SurfaceDirty = true;
        if (fp->Fixed) gtk_widget_queue_draw(fp->Fixed);
        ScheduleSync(fp);
    }

    // ---- building ----
    void Build();
    void BuildForm();
    GtkWidget* NewContainer();
    void Connect(GtkWidget* w);

    // ---- keeping the widgets like the model ----
    void SyncGeometry() {
        if (!Outer || !PlacedIn) return;
        ++Syncing;
        gtk_fixed_move(GTK_FIXED(PlacedIn), Outer, C->Left(), C->Top());
        gtk_widget_set_size_request(Outer, std::max(1, C->Width()), std::max(1, C->Height()));
        if (K == Kind::Combo) {
            GtkStyleContext* style = gtk_widget_get_style_context(Outer);
            if (C->Width() < kNarrowCombo) gtk_style_context_add_class(style, "classlib-narrow");
            else gtk_style_context_remove_class(style, "classlib-narrow");
        }
        if (Frame) gtk_widget_set_size_request(Frame, std::max(1, C->Width()), std::max(1, C->Height()));
        --Syncing;
    }
    void SyncFormGeometry();
    void BuildBrowser();
    void SyncText();
    // The control's font on the widget that shows its text (painted parts take it when painted).
    void SyncFont() {
        GtkWidget* w = K == Kind::GroupBox ? Frame : K == Kind::Form || K == Kind::Browser ? nullptr : Inner;
        if (w) ApplyFont(w, C->Font());
    }
    // A list's, a memo's or an edit field's own colour on its widget (the theme's otherwise).
    void SyncBackground() {
        if (!Inner || (K != Kind::Edit && K != Kind::Memo && K != Kind::ListBox)) return;
        ApplyBackground(Inner, C->ParentColor ? std::nullopt : std::optional<int>(C->Color));
    }
    void SyncMenu();
    void ApplyShape();
    void PaintSurface();
};

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
// as the widgets' text and at the window's scale, where the surface itself is scaled up.

std::map<HWND, std::vector<gdi::WindowText>> g_texts;  // a form's window -> its surface's text
HWND g_painting = nullptr;                              // the surface being painted whole

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

// Draws a form's text runs on a container's widget whose top-left is (ox, oy) on the surface.
void DrawTexts(GtkWidget* w, cairo_t* cr, HWND form, int ox, int oy) {
    auto it = g_texts.find(form);
    if (it == g_texts.end()) return;
    for (const gdi::WindowText& run : it->second) {
        const std::string text = Utf8(run.text);
        PangoLayout* layout = gtk_widget_create_pango_layout(w, text.c_str());
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, Utf8(run.font.lfFaceName).c_str());
        pango_font_description_set_weight(desc, static_cast<PangoWeight>(run.font.lfWeight > 0 ? run.font.lfWeight : 400));
        pango_font_description_set_style(desc, run.font.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        pango_font_description_set_absolute_size(desc, static_cast<double>(std::max(1, run.em)) * PANGO_SCALE);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
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
        PangoRectangle logical{};
        pango_layout_get_pixel_extents(layout, nullptr, &logical);
        const int baseline = pango_layout_get_baseline(layout) / PANGO_SCALE;
        cairo_save(cr);
        cairo_rectangle(cr, run.clip.left - ox, run.clip.top - oy, run.clip.right - run.clip.left, run.clip.bottom - run.clip.top);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, GetRValue(run.color) / 255.0, GetGValue(run.color) / 255.0, GetBValue(run.color) / 255.0);
        // Where the GDI measured the run: its middle, and its baseline.
        cairo_move_to(cr, run.x + (run.width - logical.width) / 2.0 - ox, run.y + run.ascent - baseline - oy);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
        g_object_unref(layout);
    }
}

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
    DrawTexts(w, cr, f->Handle(), ox, oy);
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

// ---- input on the control widgets ----

// The widget took the keyboard focus: so does the model.
gboolean OnFocusIn(GtkWidget* w, GdkEvent*, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || p->Syncing) return FALSE;
    auto* wc = dynamic_cast<TWinControl*>(p->C);
    TCustomForm* f = p->Form();
    if (!wc || !f || f->ActiveControl() == wc) return FALSE;
    Guard(wc, [wc] { wc->SetFocus(); });
    return FALSE;
}

WORD VirtualKey(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: return VK_RETURN;
        case GDK_KEY_Escape: return VK_ESCAPE;
        case GDK_KEY_Up: return VK_UP;
        case GDK_KEY_Down: return VK_DOWN;
        case GDK_KEY_Left: return VK_LEFT;
        case GDK_KEY_Right: return VK_RIGHT;
        case GDK_KEY_Delete: return VK_DELETE;
        case GDK_KEY_BackSpace: return VK_BACK;
        case GDK_KEY_Tab: return VK_TAB;
        case GDK_KEY_space: return VK_SPACE;
        default: break;
    }
    // Letters and digits of the basic range are their own codes; every other character key has
    // none (0), as the class library's typed keys have.
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return static_cast<WORD>(keyval - GDK_KEY_a + 'A');
    if ((keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) || (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9))
        return static_cast<WORD>(keyval);
    return 0;
}

// Every key first reaches the model's key-down (its handler sees the text as it was before the
// key); the widget then does what the key does (typed characters go through the model's key press
// from the widget's insertion). Enter and Escape reach the model's whole key handling (the form's
// Default and Cancel buttons, a memo's line break); a one-line edit types them, as a person's
// typing does.
gboolean OnKeyPress(GtkWidget* w, GdkEventKey* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || p->K == Kind::Browser) return FALSE;  // a page takes its own keys
    auto* wc = dynamic_cast<TWinControl*>(p->C);
    if (!wc) return FALSE;
    WORD vk = VirtualKey(e->keyval);
    if (vk != VK_RETURN && vk != VK_ESCAPE) {
        if (e->is_modifier) return FALSE;
        Guard(wc, [&] { wc->KeyDown(vk, ShiftOf(e->state)); });
        return FALSE;
    }
    if (p->K == Kind::Button || p->K == Kind::Check || p->K == Kind::Radio) {
        if (vk == VK_RETURN) return FALSE;  // the focused button is pressed by GTK
    }
    if (p->K == Kind::Memo && vk == VK_RETURN) return FALSE;  // typed as a line break (insert-text)
    TShiftState shift = ShiftOf(e->state);
    if (p->K == Kind::Edit || (p->K == Kind::Combo && !wc->RefusesTyping())) {
        char k = vk == VK_RETURN ? '\r' : '\x1b';
        Guard(wc, [&] { wc->KeyPress(k); });
    } else {
        Guard(wc, [&] { wc->UserKey(vk, shift); });
    }
    return TRUE;
}

// A right press on a control that has a popup menu opens it.
gboolean OnWidgetButton(GtkWidget* w, GdkEventButton* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p) return FALSE;
    if (e->type == GDK_BUTTON_PRESS && e->button == 3 && p->C->PopupMenu()) {
        TPopupMenu* menu = p->C->PopupMenu();
        TControl* c = p->C;
        Guard(c, [&] {
            menu->PopupComponent = c;
            menu->Popup(static_cast<int>(e->x_root), static_cast<int>(e->y_root));
        });
        return TRUE;
    }
    if (p->K == Kind::ListBox && e->type == GDK_2BUTTON_PRESS && e->button == 1) {
        GtkTreePath* path = nullptr;
        int index = -1;
        if (gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(p->Inner), static_cast<int>(e->x), static_cast<int>(e->y), &path,
                                          nullptr, nullptr, nullptr)) {
            index = gtk_tree_path_get_indices(path)[0];
            gtk_tree_path_free(path);
        }
        // Where the view cannot tell the row under the pointer, the first click of the double
        // click has chosen it.
        if (index < 0) index = static_cast<TCustomListBox*>(p->C)->ItemIndex();
        if (index >= 0) {
            TControl* c = p->C;
            Guard(c, [&] { c->UserDblClick(index); });
        }
        return TRUE;
    }
    return FALSE;
}

void TPeer::Connect(GtkWidget* w) {
    g_object_set_data(G_OBJECT(w), "desktop-peer", this);
    g_signal_connect(w, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
    g_signal_connect(w, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    g_signal_connect(w, "button-press-event", G_CALLBACK(OnWidgetButton), nullptr);
}

// ---- typing: every insertion and deletion goes through the model ----

// Makes the model's caret and selection those of the widget (start, end in model characters).
void TakeSelection(TCustomEdit* edit, int start, int end) {
    const int length = static_cast<int>(edit->Text().size());
    if (start == 0 && end == length && end > 0) {
        edit->SelectAll();
    } else if (end > start) {
        std::string t = edit->Text();
        t.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
        edit->SetText(t);
        edit->SetSelStart(start);
    } else {
        edit->SetSelStart(start);
    }
}

// Model characters (CR LF = 2) of a widget's character offset (a line break = 1).
int ModelOffset(const std::string& model, int widgetOffset) {
    int w = 0;
    size_t i = 0;
    while (i < model.size() && w < widgetOffset) {
        if (model[i] == '\r' && i + 1 < model.size() && model[i + 1] == '\n') i += 2;
        else ++i;
        ++w;
    }
    return static_cast<int>(i);
}

int WidgetOffset(const std::string& model, int modelOffset) {
    int w = 0;
    for (size_t i = 0; i < model.size() && static_cast<int>(i) < modelOffset; ++i)
        if (!(model[i] == '\r' && i + 1 < model.size() && model[i + 1] == '\n')) ++w;
    return w;
}

std::string ToWidgetText(const std::string& model) {
    std::string t;
    for (size_t i = 0; i < model.size(); ++i)
        if (!(model[i] == '\r' && i + 1 < model.size() && model[i + 1] == '\n')) t += model[i];
    return Utf8(t);
}

// Inserted text: one character is typed, more are pasted.
void TypeInto(TPeer* p, const std::string& text, int selStart, int selEnd) {
    auto* edit = dynamic_cast<TCustomEdit*>(p->C);
    if (!edit) return;
    ++p->InEdit;
    // While the widget has not shown the model's last change yet, its caret is stale: the model's
    // own caret holds.
    const bool stale = p->TextPending;
    Guard(edit, [&] {
        if (!stale) TakeSelection(edit, selStart, selEnd);
        if (text.size() == 1) {
            char k = text[0] == '\n' ? '\r' : text[0];
            edit->KeyPress(k);
        } else {
            std::string t;
            for (char ch : text) {
                if (ch == '\n') t += "\r\n";
                else t += ch;
            }
            edit->UserPaste(t);
        }
    });
    --p->InEdit;
    p->TextChanged();  // the widget shows what the model took
}

void DeleteFrom(TPeer* p, int start, int end, int caret) {
    auto* edit = dynamic_cast<TCustomEdit*>(p->C);
    if (!edit) return;
    ++p->InEdit;
    const bool stale = p->TextPending;
    Guard(edit, [&] {
        if (stale && end - start == 1) {  // the widget's positions are stale: a backspace at the model's caret
            char k = '\b';
            edit->KeyPress(k);
        } else if (end - start == 1 && end == caret) {  // a backspace
            edit->SetSelStart(end);
            char k = '\b';
            edit->KeyPress(k);
        } else {
            std::string t = edit->Text();
            if (start < static_cast<int>(t.size())) t.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
            edit->SetText(t);
            edit->SetSelStart(start);
        }
    });
    --p->InEdit;
    p->TextChanged();
}

void OnEntryInsert(GtkEditable* e, const gchar* text, gint length, gint* position, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(e));
    if (!p || p->Syncing) return;
    g_signal_stop_emission_by_name(e, "insert-text");
    std::string s = FromUtf8(std::string(text, static_cast<size_t>(length < 0 ? strlen(text) : length)).c_str());
    if (p->K == Kind::Combo) {
        auto* combo = dynamic_cast<TComboBox*>(p->C);
        ++p->InEdit;
        for (char ch : s) {
            char k = ch;
            Guard(combo, [&] { combo->KeyPress(k); });
        }
        --p->InEdit;
        p->TextChanged();
        return;
    }
    gint a = 0, b = 0;
    if (!gtk_editable_get_selection_bounds(e, &a, &b)) a = b = *position;
    TypeInto(p, s, a, b);
}

void OnEntryDelete(GtkEditable* e, gint start, gint end, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(e));
    if (!p || p->Syncing) return;
    g_signal_stop_emission_by_name(e, "delete-text");
    if (end < 0) end = static_cast<gint>(p->C->Text().size());
    if (p->K == Kind::Combo) {
        auto* combo = dynamic_cast<TComboBox*>(p->C);
        ++p->InEdit;
        for (gint i = start; i < end; ++i) {
            char k = '\b';
            Guard(combo, [&] { combo->KeyPress(k); });
        }
        --p->InEdit;
        p->TextChanged();
        return;
    }
    DeleteFrom(p, start, end, gtk_editable_get_position(e));
}

void OnBufferInsert(GtkTextBuffer* b, GtkTextIter* where, gchar* text, gint length, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p) || p->Syncing) return;
    g_signal_stop_emission_by_name(b, "insert-text");
    const std::string& model = p->C->Text();
    GtkTextIter s, e;
    int a, z;
    if (gtk_text_buffer_get_selection_bounds(b, &s, &e)) {
        a = ModelOffset(model, gtk_text_iter_get_offset(&s));
        z = ModelOffset(model, gtk_text_iter_get_offset(&e));
    } else {
        a = z = ModelOffset(model, gtk_text_iter_get_offset(where));
    }
    TypeInto(p, FromUtf8(std::string(text, static_cast<size_t>(length)).c_str()), a, z);
}

void OnBufferDelete(GtkTextBuffer* b, GtkTextIter* from, GtkTextIter* to, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p) || p->Syncing) return;
    g_signal_stop_emission_by_name(b, "delete-range");
    const std::string& model = p->C->Text();
    GtkTextIter caret;
    gtk_text_buffer_get_iter_at_mark(b, &caret, gtk_text_buffer_get_insert(b));
    int a = ModelOffset(model, gtk_text_iter_get_offset(from));
    int z = ModelOffset(model, gtk_text_iter_get_offset(to));
    int c = ModelOffset(model, gtk_text_iter_get_offset(&caret));
    if (a > z) std::swap(a, z);
    // A backspace over a line break removes both of its characters.
    if (z - a == 1 && z < static_cast<int>(model.size()) + 1 && a > 0 && model[static_cast<size_t>(a)] == '\n' &&
        model[static_cast<size_t>(a - 1)] == '\r')
        --a;
    if (z - a == 2 && model.compare(static_cast<size_t>(a), 2, "\r\n") == 0 && z == c) {
        DeleteFrom(p, a, z, -1);
        return;
    }
    DeleteFrom(p, a, z, c);
}

// ---- choices ----

void OnClicked(GtkButton* b, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(b));
    if (!p || p->Syncing) return;
    TControl* c = p->C;
    Guard(c, [c] {
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->TakesFocusOnClick()) w->SetFocus();
        c->Click();
    });
}

void OnToggled(GtkToggleButton* b, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(b));
    if (!p || p->Syncing) return;
    TControl* c = p->C;
    const bool active = gtk_toggle_button_get_active(b);
    bool model = false;
    if (auto* cb = dynamic_cast<TCheckBox*>(c)) model = cb->Checked();
    if (auto* rb = dynamic_cast<TRadioButton*>(c)) {
        model = rb->Checked();
        if (!active) return;  // GTK unchecks the others; the model does so itself
    }
    if (active != model) Guard(c, [c] { c->Click(); });
    if (g_peers.count(p)) p->TextChanged();
}

// Shows the model's choice in a list's tree view.
void ShowListChoice(TPeer* p) {
    auto* lb = dynamic_cast<TCustomListBox*>(p->C);
    if (!lb || !p->Inner) return;
    ++p->Syncing;
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(p->Inner));
    if (lb->ItemIndex() >= 0) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(lb->ItemIndex(), -1);
        gtk_tree_selection_select_path(sel, path);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(sel);
    }
    --p->Syncing;
}

// A tree view that takes the focus puts its cursor on a row and chooses it; a list box given the
// focus chooses nothing, so the model's choice is shown again.
void OnListGrabFocus(GtkWidget*, gpointer data) { ++static_cast<TPeer*>(data)->Focusing; }
void OnListGrabbedFocus(GtkWidget*, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p)) return;
    --p->Focusing;
    ShowListChoice(p);
}

void OnListSelection(GtkTreeSelection* sel, gpointer data) {
    auto* p = static_cast<TPeer*>(data);
    if (!g_peers.count(p) || p->Syncing || p->Focusing) return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter it;
    if (!gtk_tree_selection_get_selected(sel, &model, &it)) return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &it);
    int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    TControl* c = p->C;
    if (index == c->UserItemIndex()) return;
    Guard(c, [&] { c->UserSelect(index); });
    if (g_peers.count(p)) p->TextChanged();
}

void OnComboChanged(GtkComboBox* b, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(b));
    if (!p || p->Syncing || p->InEdit) return;
    int index = gtk_combo_box_get_active(b);
    TControl* c = p->C;
    if (index < 0 || index == c->UserItemIndex()) return;
    Guard(c, [&] { c->UserSelect(index); });
    if (g_peers.count(p)) p->TextChanged();
}

// ---- forms ----

gboolean OnDelete(GtkWidget* w, GdkEvent*, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p) return TRUE;
    auto* f = static_cast<TCustomForm*>(p->C);
    if (f->Enabled() && f->Handle()) {
        HWND h = f->Handle();
        Guard(f, [h] { SendMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); });
    }
    return TRUE;  // the model hides or frees the window
}

gboolean OnConfigure(GtkWidget* w, GdkEventConfigure* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || p->Syncing) return FALSE;
    auto* f = static_cast<TCustomForm*>(p->C);
    int x = e->x, y = e->y;
    gtk_window_get_position(GTK_WINDOW(w), &x, &y);
    int width = f->Width(), height = f->Height();
    if (f->BorderStyle == bsSizeable || f->BorderStyle == bsSizeToolWin) {
        width = e->width;
        height = e->height;
        if (p->MenuBar && gtk_widget_get_visible(p->MenuBar)) height -= gtk_widget_get_allocated_height(p->MenuBar);
    }
    if (x == f->Left() && y == f->Top() && width == f->Width() && height == f->Height()) return FALSE;
    p->FromScreen = true;
    Guard(f, [&] { f->SetBounds(x, y, width, height); });
    if (g_peers.count(p)) p->FromScreen = false;
    return FALSE;
}

gboolean OnWindowState(GtkWidget* w, GdkEventWindowState* e, gpointer) {
    TPeer* p = PeerOfWidget(w);
    if (!p || p->Syncing || !(e->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
    auto* f = static_cast<TCustomForm*>(p->C);
    HWND h = f->Handle();
    if (!h) return FALSE;
    // A hidden window's state is not the person's doing: withdrawing an iconified window takes
    // its iconified state away, which is no restore.
    if (e->new_window_state & GDK_WINDOW_STATE_WITHDRAWN) return FALSE;
    const bool iconified = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (!iconified && p->Parked) {
        // The person brings back the window the application hid: as its icon's double click would.
        p->Parked = false;
        if (!TrayDoubleClick()) Guard(f, [f] { f->Show(); });
        return FALSE;
    }
    if (p->Parked) return FALSE;
    if (iconified && f->WindowState() != wsMinimized && !(f == Application->MainForm() && Application->Minimized()))
        Guard(f, [h] { SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0); });
    else if (!iconified && (f->WindowState() == wsMinimized || (f == Application->MainForm() && Application->Minimized())))
        Guard(f, [h] { SendMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0); });
    return FALSE;
}

void TPeer::BuildForm() {
    auto* f = static_cast<TCustomForm*>(C);
    K = Kind::Form;
    Outer = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(Outer);
    g_object_set_data(G_OBJECT(Outer), "desktop-peer", this);
    gtk_style_context_add_class(gtk_widget_get_style_context(Outer), "classlib-form");
    gtk_window_set_title(GTK_WINDOW(Outer), WindowTitle(f).c_str());
    switch (f->BorderStyle) {
        case bsNone: gtk_window_set_decorated(GTK_WINDOW(Outer), FALSE); break;
        case bsDialog: gtk_window_set_type_hint(GTK_WINDOW(Outer), GDK_WINDOW_TYPE_HINT_DIALOG); break;
        case bsToolWindow:
        case bsSizeToolWin: gtk_window_set_type_hint(GTK_WINDOW(Outer), GDK_WINDOW_TYPE_HINT_UTILITY); break;
        default: break;
    }
    const bool sizeable = f->BorderStyle == bsSizeable || f->BorderStyle == bsSizeToolWin;
    gtk_window_set_resizable(GTK_WINDOW(Outer), sizeable);
    if (f->FormStyle == fsStayOnTop) gtk_window_set_keep_above(GTK_WINDOW(Outer), TRUE);
    if (!(f->BorderIcons & biSystemMenu)) gtk_window_set_deletable(GTK_WINDOW(Outer), FALSE);
    Box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(Outer), Box);
    Fixed = NewContainer();
    gtk_box_pack_end(GTK_BOX(Box), Fixed, TRUE, TRUE, 0);
    gtk_widget_show(Box);
    gtk_widget_show(Fixed);
    Accel = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(Outer), Accel);
    g_object_unref(Accel);
    g_signal_connect(Outer, "delete-event", G_CALLBACK(OnDelete), nullptr);
    g_signal_connect(Outer, "configure-event", G_CALLBACK(OnConfigure), nullptr);
    g_signal_connect(Outer, "window-state-event", G_CALLBACK(OnWindowState), nullptr);
    gtk_widget_set_sensitive(Box, f->Enabled());
    SyncFormGeometry();
}

void TPeer::SyncFormGeometry() {
    if (!Outer || K != Kind::Form) return;
    auto* f = static_cast<TCustomForm*>(C);
    ++Syncing;
    const bool sizeable = f->BorderStyle == bsSizeable || f->BorderStyle == bsSizeToolWin;
    int menu = 0;
    if (MenuBar && gtk_widget_get_visible(MenuBar)) gtk_widget_get_preferred_height(MenuBar, nullptr, &menu);
    if (sizeable) {
        gtk_widget_set_size_request(Fixed, 1, 1);
        gtk_window_resize(GTK_WINDOW(Outer), std::max(1, f->Width()), std::max(1, f->Height() + menu));
    } else {
        gtk_widget_set_size_request(Fixed, std::max(1, f->Width()), std::max(1, f->Height()));
    }
    // The window opens where the person sees the whole of it when it fits on the screen (a window
    // centred over a small main window at the screen's edge would start partly off it).
    int x = f->Left(), y = f->Top();
    if (GdkScreen* screen = gtk_widget_get_screen(Outer)) {
        x = std::max(0, std::min(x, gdk_screen_get_width(screen) - f->Width()));
        y = std::max(0, std::min(y, gdk_screen_get_height(screen) - f->Height() - menu));
    }
    gtk_window_move(GTK_WINDOW(Outer), x, y);
    --Syncing;
}

void TPeer::SyncMenu() {
    if (K != Kind::Form) return;
    auto* f = static_cast<TCustomForm*>(C);
    TMenuItem* root = f->Menu ? f->Menu->Items() : nullptr;
    if (root == BuiltMenu) return;
    BuiltMenu = root;
    if (!MenuBar) {
        MenuBar = gtk_menu_bar_new();
        g_object_ref_sink(MenuBar);
        gtk_box_pack_start(GTK_BOX(Box), MenuBar, FALSE, FALSE, 0);
    }
    if (root) {
        FillMenu(MenuBar, root, Accel);
        gtk_widget_show(MenuBar);
    } else {
        gtk_widget_hide(MenuBar);
    }
    SyncFormGeometry();
}

// The window's shape and input shape follow its region (SetWindowRgn).
void TPeer::ApplyShape() {
    auto* f = static_cast<TCustomForm*>(C);
    HRGN rgn = f->Handle() ? gdi::WindowRegion(f->Handle()) : nullptr;
    std::vector<unsigned char> data;
    if (rgn) {
        DWORD size = GetRegionData(rgn, 0, nullptr);
        data.resize(size);
        if (size) GetRegionData(rgn, size, reinterpret_cast<RGNDATA*>(data.data()));
    }
    if (data == Shape && Shaped == (rgn != nullptr)) return;
    Shape = data;
    Shaped = rgn != nullptr;
    if (!rgn) {
        gtk_widget_shape_combine_region(Outer, nullptr);
        gtk_widget_input_shape_combine_region(Outer, nullptr);
        return;
    }
    auto* rd = reinterpret_cast<const RGNDATA*>(data.data());
    const RECT* rects = reinterpret_cast<const RECT*>(rd->Buffer);
    cairo_region_t* region = cairo_region_create();
    for (DWORD i = 0; i < rd->rdh.nCount; ++i) {
        cairo_rectangle_int_t r{rects[i].left, rects[i].top, rects[i].right - rects[i].left, rects[i].bottom - rects[i].top};
        cairo_region_union_rectangle(region, &r);
    }
    gtk_widget_shape_combine_region(Outer, region);
    gtk_widget_input_shape_combine_region(Outer, region);
    cairo_region_destroy(region);
}

// ---- the web browser ----

// Whether a browser control built from now on gets a view of its own (UseBrowserViews).
bool g_browserViews = true;

#ifdef HAVE_WEBKIT
// A navigation the page asks for (a link, a form, a script): the model's BeforeNavigate decides,
// unless it is the one the model started.
gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    TPeer* p = PeerOfWidget(GTK_WIDGET(view));
    if (!p) return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::string url = FromUtf8(uri);
    if (url == p->Approved) {
        p->Approved.clear();
        return FALSE;
    }
    auto* b = static_cast<TWebBrowser*>(p->C);
    bool go = true;
    Guard(b, [&] { go = b->BeforeNavigate(url); });
    if (!go) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
    if (event != WEBKIT_LOAD_FINISHED) return;
    TPeer* p = PeerOfWidget(GTK_WIDGET(view));
    if (!p) return;
    auto* b = static_cast<TWebBrowser*>(p->C);
    std::string url = FromUtf8(webkit_web_view_get_uri(view));
    Guard(b, [&] { b->NavigateComplete(url); });
}
#endif

void TPeer::BuildBrowser() {
#ifdef HAVE_WEBKIT
    if (g_browserViews) Inner = webkit_web_view_new();
    if (Inner && WEBKIT_IS_WEB_VIEW(Inner)) {
        g_signal_connect(Inner, "decide-policy", G_CALLBACK(OnDecidePolicy), nullptr);
        g_signal_connect(Inner, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
        Outer = Inner;
        return;
    }
#endif
    // No view of its own: the address a page was opened at in the person's browser.
    Inner = gtk_label_new(nullptr);
    gtk_label_set_selectable(GTK_LABEL(Inner), TRUE);
    gtk_label_set_ellipsize(GTK_LABEL(Inner), PANGO_ELLIPSIZE_END);
    Outer = Inner;
}

// ---- the controls ----

void TPeer::Build() {
    if (K != Kind::Unbuilt) return;
    TControl* c = C;
    if (dynamic_cast<TCustomForm*>(c)) {
        BuildForm();
        return;
    }
    GtkWidget* w = nullptr;
    if (auto* lb = dynamic_cast<TCustomLabel*>(c)) {
        K = Kind::Label;
        w = Inner = gtk_label_new(nullptr);
        gtk_label_set_xalign(GTK_LABEL(w), lb->Alignment == taCenter ? 0.5f : lb->Alignment == taRightJustify ? 1.0f : 0.0f);
        gtk_label_set_yalign(GTK_LABEL(w), lb->Layout == tlCenter ? 0.5f : lb->Layout == tlBottom ? 1.0f : 0.0f);
        gtk_label_set_line_wrap(GTK_LABEL(w), lb->WordWrap);
    } else if (auto* sb = dynamic_cast<TSpeedButton*>(c)) {
        K = Kind::SpeedButton;
        w = Inner = gtk_button_new_with_mnemonic("");
        gtk_button_set_relief(GTK_BUTTON(w), sb->Flat ? GTK_RELIEF_NONE : GTK_RELIEF_NORMAL);
        g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), nullptr);
    } else if (auto* bv = dynamic_cast<TBevel*>(c)) {
        K = Kind::Bevel;
        w = Inner = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(w), bv->Style == bsRaised ? GTK_SHADOW_ETCHED_OUT : GTK_SHADOW_ETCHED_IN);
    } else if (dynamic_cast<TGraphicControl*>(c)) {
        K = Kind::Painted;  // painted by the GDI into the form's surface
        return;
    } else if (dynamic_cast<TWebBrowser*>(c)) {
        K = Kind::Browser;
        BuildBrowser();
        w = Outer;
        Outer = nullptr;
    } else if (dynamic_cast<TButton*>(c)) {
        K = Kind::Button;
        w = Inner = gtk_button_new_with_mnemonic("");
        g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), nullptr);
    } else if (auto* m = dynamic_cast<TMemo*>(c)) {
        K = Kind::Memo;
        w = gtk_scrolled_window_new(nullptr, nullptr);
        GtkPolicyType h = (m->ScrollBars == ssHorizontal || m->ScrollBars == ssBoth) ? GTK_POLICY_ALWAYS : GTK_POLICY_NEVER;
        GtkPolicyType v = (m->ScrollBars == ssVertical || m->ScrollBars == ssBoth) ? GTK_POLICY_ALWAYS : GTK_POLICY_NEVER;
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w), h, v);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w), GTK_SHADOW_IN);
        Inner = gtk_text_view_new();
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(Inner), m->WordWrap ? GTK_WRAP_WORD_CHAR : GTK_WRAP_NONE);
        gtk_text_view_set_editable(GTK_TEXT_VIEW(Inner), !m->ReadOnly);
        gtk_container_add(GTK_CONTAINER(w), Inner);
        gtk_widget_show(Inner);
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(Inner));
        g_signal_connect(b, "insert-text", G_CALLBACK(OnBufferInsert), this);
        g_signal_connect(b, "delete-range", G_CALLBACK(OnBufferDelete), this);
    } else if (auto* e = dynamic_cast<TCustomEdit*>(c)) {
        K = Kind::Edit;
        w = Inner = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
        gtk_editable_set_editable(GTK_EDITABLE(w), !e->ReadOnly);
        if (e->PasswordChar) gtk_entry_set_visibility(GTK_ENTRY(w), FALSE);
        g_signal_connect(w, "insert-text", G_CALLBACK(OnEntryInsert), nullptr);
        g_signal_connect(w, "delete-text", G_CALLBACK(OnEntryDelete), nullptr);
    } else if (dynamic_cast<TCustomListBox*>(c)) {
        K = Kind::ListBox;
        w = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(w), GTK_SHADOW_IN);
        GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
        Inner = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        g_object_unref(store);
        gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(Inner), FALSE);
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(Inner), -1, "", gtk_cell_renderer_text_new(), "text", 0,
                                                    nullptr);
        gtk_container_add(GTK_CONTAINER(w), Inner);
        gtk_widget_show(Inner);
        g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(Inner)), "changed", G_CALLBACK(OnListSelection), this);
        g_signal_connect(Inner, "grab-focus", G_CALLBACK(OnListGrabFocus), this);
        g_signal_connect_after(Inner, "grab-focus", G_CALLBACK(OnListGrabbedFocus), this);
    } else if (auto* cb = dynamic_cast<TComboBox*>(c)) {
        K = Kind::Combo;
        const bool entry = cb->Style == csDropDown || cb->Style == csSimple;
        w = Inner = entry ? gtk_combo_box_text_new_with_entry() : gtk_combo_box_text_new();
        g_signal_connect(w, "changed", G_CALLBACK(OnComboChanged), nullptr);
        // An item longer than the box ends in an ellipsis, so that the box keeps its bounds and its
        // arrow stays in sight.
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(w));
        for (GList* l = cells; l; l = l->next)
            if (GTK_IS_CELL_RENDERER_TEXT(l->data)) g_object_set(l->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        g_list_free(cells);
        if (entry) {
            GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
            gtk_entry_set_width_chars(GTK_ENTRY(child), 1);
            g_object_set_data(G_OBJECT(child), "desktop-peer", this);
            g_signal_connect(child, "insert-text", G_CALLBACK(OnEntryInsert), nullptr);
            g_signal_connect(child, "delete-text", G_CALLBACK(OnEntryDelete), nullptr);
            g_signal_connect(child, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
            g_signal_connect(child, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
        }
    } else if (dynamic_cast<TCheckBox*>(c)) {
        K = Kind::Check;
        w = Inner = gtk_check_button_new_with_mnemonic("");
        g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), nullptr);
    } else if (dynamic_cast<TRadioButton*>(c)) {
        K = Kind::Radio;
        w = Inner = gtk_radio_button_new_with_mnemonic(nullptr, "");
        if (auto* parent = c->Parent()) {
            for (int i = 0; i < parent->ControlCount(); ++i) {
                TPeer* sib = PeerOf(parent->Controls(i));
                if (sib && sib != this && sib->K == Kind::Radio) {
                    gtk_radio_button_join_group(GTK_RADIO_BUTTON(w), GTK_RADIO_BUTTON(sib->Inner));
                    break;
                }
            }
        }
        g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), nullptr);
    } else if (dynamic_cast<TStatusBar*>(c)) {
        K = Kind::StatusBar;
        w = Inner = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
    } else if (dynamic_cast<TGroupBox*>(c)) {
        K = Kind::GroupBox;
        w = Fixed = NewContainer();
        Frame = gtk_frame_new(nullptr);
        gtk_fixed_put(GTK_FIXED(Fixed), Frame, 0, 0);
        gtk_widget_show(Frame);
    } else {
        K = Kind::Container;  // panels and every other windowed control: the painted surface
        w = Fixed = NewContainer();
    }
    Outer = w;
    g_object_ref_sink(Outer);
    if (Inner) Connect(Inner);
    g_object_set_data(G_OBJECT(Outer), "desktop-peer", this);
    SyncFont();
    SyncBackground();
}

// Puts the model's shown text and state into the widgets.
void TPeer::SyncText() {
    if (!Outer) return;
    ++Syncing;
    TControl* c = C;
    switch (K) {
        case Kind::Form: gtk_window_set_title(GTK_WINDOW(Outer), WindowTitle(static_cast<TCustomForm*>(c)).c_str()); break;
        case Kind::Label: {
            auto* lb = static_cast<TCustomLabel*>(c);
            if (lb->ShowAccelChar) gtk_label_set_text_with_mnemonic(GTK_LABEL(Inner), Mnemonic(c->Caption()).c_str());
            else gtk_label_set_text(GTK_LABEL(Inner), Utf8(c->Caption()).c_str());
            break;
        }
        case Kind::Button:
        case Kind::SpeedButton:
        case Kind::Check:
        case Kind::Radio:
            gtk_button_set_label(GTK_BUTTON(Inner), Mnemonic(c->Caption()).c_str());
            // A caption longer than the control ends in an ellipsis inside its bounds.
            if (GtkWidget* text = gtk_bin_get_child(GTK_BIN(Inner)); text && GTK_IS_LABEL(text))
                gtk_label_set_ellipsize(GTK_LABEL(text), PANGO_ELLIPSIZE_END);
            if (auto* cb = dynamic_cast<TCheckBox*>(c)) {
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Inner), cb->State() == cbChecked);
                gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(Inner), cb->State() == cbGrayed);
            }
            if (auto* rb = dynamic_cast<TRadioButton*>(c)) {
                // The model unchecks the others itself; GTK follows each checked one.
                if (rb->Checked()) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Inner), TRUE);
                if (auto* parent = c->Parent())
                    for (int i = 0; i < parent->ControlCount(); ++i)
                        if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other->Checked())
                            if (TPeer* op = PeerOf(other); op && op->Inner)
                                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(op->Inner), TRUE);
            }
            if (auto* b = dynamic_cast<TButton*>(c); b && b->Default) {
                gtk_widget_set_can_default(Inner, TRUE);
                if (GtkWidget* top = gtk_widget_get_toplevel(Inner); GTK_IS_WINDOW(top))
                    gtk_window_set_default(GTK_WINDOW(top), Inner);
            }
            break;
        case Kind::Edit: {
            auto* e = static_cast<TCustomEdit*>(c);
            std::string t = Utf8(e->Text());
            if (t != gtk_entry_get_text(GTK_ENTRY(Inner))) gtk_entry_set_text(GTK_ENTRY(Inner), t.c_str());
            gtk_editable_set_position(GTK_EDITABLE(Inner), e->SelStart());
            break;
        }
        case Kind::Memo: {
            auto* e = static_cast<TCustomEdit*>(c);
            GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(Inner));
            std::string t = ToWidgetText(e->Text());
            GtkTextIter s, z;
            gtk_text_buffer_get_bounds(b, &s, &z);
            gchar* now = gtk_text_buffer_get_text(b, &s, &z, FALSE);
            if (t != now) gtk_text_buffer_set_text(b, t.c_str(), -1);
            g_free(now);
            GtkTextIter at;
            gtk_text_buffer_get_iter_at_offset(b, &at, WidgetOffset(e->Text(), e->SelStart()));
            gtk_text_buffer_place_cursor(b, &at);
            break;
        }
        case Kind::ListBox: {
            auto* lb = static_cast<TCustomListBox*>(c);
            GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(Inner)));
            // The rows are filled again only when the items changed: a new choice keeps the rows
            // the view has laid out (a person's second click of a double click finds them).
            std::vector<std::string> rows;
            for (int i = 0; i < lb->Items()->Count(); ++i) rows.push_back(Utf8(lb->Items()->Strings(i)));
            bool same = gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr) == static_cast<int>(rows.size());
            GtkTreeIter row;
            bool more = same && gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &row);
            for (size_t i = 0; same && more && i < rows.size(); ++i) {
                gchar* text = nullptr;
                gtk_tree_model_get(GTK_TREE_MODEL(store), &row, 0, &text, -1);
                same = text && rows[i] == text;
                g_free(text);
                more = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &row);
            }
            if (!same) {
                gtk_list_store_clear(store);
                for (const std::string& r : rows) {
                    GtkTreeIter it;
                    gtk_list_store_insert_with_values(store, &it, -1, 0, r.c_str(), -1);
                }
            }
            GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(Inner));
            if (lb->ItemIndex() >= 0) {
                GtkTreePath* path = gtk_tree_path_new_from_indices(lb->ItemIndex(), -1);
                gtk_tree_selection_select_path(sel, path);
                gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(Inner), path, nullptr, FALSE, 0, 0);
                gtk_tree_path_free(path);
            } else {
                gtk_tree_selection_unselect_all(sel);
            }
            break;
        }
        case Kind::Combo: {
            auto* cb = static_cast<TComboBox*>(c);
            GtkComboBoxText* box = GTK_COMBO_BOX_TEXT(Inner);
            gtk_combo_box_text_remove_all(box);
            for (int i = 0; i < cb->Items()->Count(); ++i)
                gtk_combo_box_text_append_text(box, Utf8(cb->Items()->Strings(i)).c_str());
            gtk_combo_box_set_active(GTK_COMBO_BOX(box), cb->ItemIndex());
            if (GtkWidget* entry = gtk_bin_get_child(GTK_BIN(box)); entry && GTK_IS_ENTRY(entry)) {
                gtk_entry_set_text(GTK_ENTRY(entry), Utf8(cb->Text()).c_str());
                gtk_editable_set_position(GTK_EDITABLE(entry), -1);
            }
            break;
        }
        case Kind::StatusBar: {
            auto* sb = static_cast<TStatusBar*>(c);
            GList* old = gtk_container_get_children(GTK_CONTAINER(Inner));
            for (GList* l = old; l; l = l->next) gtk_widget_destroy(static_cast<GtkWidget*>(l->data));
            g_list_free(old);
            auto add = [&](const std::string& text, int width, bool expand) {
                GtkWidget* frame = gtk_frame_new(nullptr);
                gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
                GtkWidget* label = gtk_label_new(Utf8(text).c_str());
                gtk_label_set_xalign(GTK_LABEL(label), 0);
                gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
                gtk_container_add(GTK_CONTAINER(frame), label);
                if (width > 0) gtk_widget_set_size_request(frame, width, -1);
                gtk_box_pack_start(GTK_BOX(Inner), frame, expand, expand, 0);
                gtk_widget_show_all(frame);
            };
            if (sb->SimplePanel() || sb->Panels()->Count() == 0) {
                add(sb->SimplePanel() ? sb->SimpleText() : sb->Caption(), 0, true);
            } else {
                for (int i = 0; i < sb->Panels()->Count(); ++i) {
                    const bool last = i + 1 == sb->Panels()->Count();
                    add(sb->Panels()->Items(i)->Text(), last ? 0 : sb->Panels()->Items(i)->Width(), last);
                }
            }
            break;
        }
        case Kind::Browser:
            if (GTK_IS_LABEL(Inner))
                gtk_label_set_text(GTK_LABEL(Inner), Utf8(static_cast<TWebBrowser*>(c)->LocationURL()).c_str());
            break;
        case Kind::GroupBox:
            gtk_frame_set_label(GTK_FRAME(Frame), c->Caption().empty() ? nullptr : Utf8(c->Caption()).c_str());
            break;
        default: break;
    }
    --Syncing;
}

}  // namespace

// ---- what the backend asks ----

std::unique_ptr<TControlPeer> MakePeer(TControl* control) { return std::make_unique<TPeer>(control); }

void ShowForm(TCustomForm* form) {
    TPeer* p = PeerOf(form);
    if (!p) return;
    if (p->K == Kind::Unbuilt) p->Build();
    SyncForm(p);
    p->SyncText();
    p->SyncFormGeometry();
    p->SurfaceDirty = true;
    p->Parked = false;
    ++p->Syncing;
    // A window hidden while iconified (minimised by the window manager, then taken into the
    // notification area) keeps that state: shown as it is, it would come back minimised.
    const bool minimized = form->WindowState() == wsMinimized || (form == Application->MainForm() && Application->Minimized());
    if (!minimized) gtk_window_deiconify(GTK_WINDOW(p->Outer));
    gtk_widget_show(p->Outer);
    gtk_window_present(GTK_WINDOW(p->Outer));
    --p->Syncing;
    if (TWinControl* a = form->ActiveControl())
        if (TPeer* ap = PeerOf(a); ap && ap->Inner) {
            ++ap->Syncing;
            gtk_widget_grab_focus(ap->Inner);
            --ap->Syncing;
        }
}

void HideForm(TCustomForm* form) {
    TPeer* p = PeerOf(form);
    if (!p || !p->Outer) return;
    if (form == Application->MainForm() && Application->Minimized() && !TrayShown()) {
        p->Parked = true;
        ++p->Syncing;
        gtk_window_iconify(GTK_WINDOW(p->Outer));
        --p->Syncing;
        return;
    }
    ++p->Syncing;
    gtk_widget_hide(p->Outer);
    --p->Syncing;
}

void NavigateBrowser(TWebBrowser* browser, const std::string& url) {
    if (!browser->BeforeNavigate(url)) return;
    TPeer* p = PeerOf(browser);
    if (p && p->K == Kind::Unbuilt) p->Build();
#ifdef HAVE_WEBKIT
    if (p && p->Inner && WEBKIT_IS_WEB_VIEW(p->Inner)) {
        p->Approved = url;
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(p->Inner), Utf8(url).c_str());
        return;
    }
#endif
    // Without a view the page opens through the shell, in the person's browser; the control
    // follows at once.
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    browser->NavigateComplete(url);
    if (p) p->TextChanged();
}

void UseBrowserViews(bool use) { g_browserViews = use; }

void HideParkedForms() {
    if (!TrayShown()) return;
    for (TPeer* p : g_peers) {
        if (!p->Parked) continue;
        p->Parked = false;
        ++p->Syncing;
        gtk_widget_hide(p->Outer);
        --p->Syncing;
    }
}

void ForgetForm(TCustomForm* form) {
    TPeer* p = PeerOf(form);
    if (p) g_dirtyForms.erase(p);
    if (form->Handle()) g_texts.erase(form->Handle());
}

void StartTextPainter() { gdi::SetWindowTextPainter(TakeText); }

void StopTextPainter() {
    gdi::SetWindowTextPainter(nullptr);
    g_texts.clear();
}

GtkWindow* WindowOfForm(const TCustomForm* form) {
    TPeer* p = PeerOf(form);
    return p && p->K == Kind::Form ? GTK_WINDOW(p->Outer) : nullptr;
}

GtkWidget* WidgetOfControl(const TControl* control) {
    TPeer* p = PeerOf(control);
    return p ? p->Outer : nullptr;
}

GtkWindow* DialogParent() {
    TCustomForm* f = Screen ? Screen->ActiveForm() : nullptr;
    if (!f) f = Application->MainForm();
    GtkWindow* w = f ? WindowOfForm(f) : nullptr;
    return w && gtk_widget_get_visible(GTK_WIDGET(w)) ? w : nullptr;
}

void MinimizeAll(bool minimize) {
    for (TPeer* p : g_peers) {
        if (p->K != Kind::Form || !p->Outer || !gtk_widget_get_visible(p->Outer)) continue;
        ++p->Syncing;
        if (minimize) gtk_window_iconify(GTK_WINDOW(p->Outer));
        else gtk_window_deiconify(GTK_WINDOW(p->Outer));
        --p->Syncing;
    }
}

bool BeginMoveDrag(HWND hwnd) {
    if (!g_press.down) return false;
    for (TPeer* p : g_peers) {
        if (p->K != Kind::Form || !p->Outer) continue;
        if (static_cast<TCustomForm*>(p->C)->Handle() != hwnd) continue;
        gtk_window_begin_move_drag(GTK_WINDOW(p->Outer), static_cast<gint>(g_press.button), g_press.rootX, g_press.rootY,
                                   g_press.time);
        g_press.down = false;
        return true;
    }
    return false;
}

}  // namespace desktop::detail
