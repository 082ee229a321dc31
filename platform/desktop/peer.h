// The peer of a form or a control on the desktop and what the files of the peers share: the peer
// (peers.cpp: the widget tree and the form's painted surface; forms.cpp: the form's window;
// controls.cpp: the standard controls' widgets and a person's input on them; lists.cpp: list boxes;
// browser.cpp: the web browser control). Internal to platform/desktop.
#pragma once

#include <gtk/gtk.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/classlib/controls.h"
#include "platform/classlib/forms.h"
#include "platform/desktop/internal.h"

namespace desktop::detail {

enum class Kind {
    Unbuilt, Form, Container, GroupBox, Painted, Label, Button, SpeedButton, Bevel, Edit, Memo, ListBox,
    Combo, Check, Radio, StatusBar, Browser
};

// A combo box narrower than this gives its field more of its width (the arrow is drawn smaller).
constexpr int kNarrowCombo = 64;

class TPeer;
extern std::set<TPeer*> g_peers;       // every live peer
extern std::set<TPeer*> g_dirtyForms;  // forms whose widget tree waits for an idle sync

// The press being handled (for a window move that starts from it).
struct Press {
    bool down = false;
    guint button = 0;
    int rootX = 0, rootY = 0;
    guint32 time = 0;
};
extern Press g_press;

TPeer* PeerOf(const TControl* c);
TPeer* PeerOfWidget(GtkWidget* w);
// The widget tree of a container (and of the containers in it) made like its controls.
void SyncTree(TPeer* container);
// A form's menu bar, widget tree and shape; at once, or once the loop is idle.
void SyncForm(TPeer* formPeer);
void ScheduleSync(TPeer* formPeer);
// The keys held with a key or a button event (the shift state of a key event).
TShiftState ShiftOf(guint state);
// The name the window manager shows for a form's window (a taskbar's entry, a switcher's): its
// caption, or the application's title for a form without one (a frameless skinned window).
std::string WindowTitle(const TCustomForm* f);

// A form's surface text is forgotten with its window.
void ForgetTexts(HWND form);

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
    GtkWidget* BuildListBox();  // a list box's widget (its scrolled window)
    void SyncText();
    void SyncListBox();         // a list box's rows and choice
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


}  // namespace desktop::detail
