// A form's window on the desktop: a toplevel GtkWindow with the form's caption, border and place,
// its menu bar, its shape from the window's region; the person's close, move, resize, minimise and
// restore going back to the form; showing, hiding and minimising as the application asks.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/desktop/internal.h"
#include "platform/desktop/peer.h"
#include "platform/gdi/wingdi.h"
#include "platform/win/winuser.h"

namespace desktop::detail {

// The name the window manager shows for a form's window (a taskbar's entry, a switcher's): its
// caption, or the application's title for a form without one (a frameless skinned window).
std::string WindowTitle(const TCustomForm* f) { return Utf8(f->Caption().empty() ? Application->Title : f->Caption()); }

namespace {

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

}  // namespace

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
    if (form->Handle()) ForgetTexts(form->Handle());
}

GtkWindow* WindowOfForm(const TCustomForm* form) {
    TPeer* p = PeerOf(form);
    return p && p->K == Kind::Form ? GTK_WINDOW(p->Outer) : nullptr;
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
