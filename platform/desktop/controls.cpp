// The standard controls on the desktop: a GTK widget per label, button, check box, radio button,
// edit field, memo, combo box, bevel, group box and status bar, kept like its control; a person's
// keys, clicks and typing go back through the control's user-input members (every insertion and
// deletion through the model's key handling).
#include <algorithm>
#include <cstring>
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

namespace {

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

void OnComboChanged(GtkComboBox* b, gpointer) {
    TPeer* p = PeerOfWidget(GTK_WIDGET(b));
    if (!p || p->Syncing || p->InEdit) return;
    int index = gtk_combo_box_get_active(b);
    TControl* c = p->C;
    if (index < 0 || index == c->UserItemIndex()) return;
    Guard(c, [&] { c->UserSelect(index); });
    if (g_peers.count(p)) p->TextChanged();
}

}  // namespace

void TPeer::Connect(GtkWidget* w) {
    g_object_set_data(G_OBJECT(w), "desktop-peer", this);
    g_signal_connect(w, "focus-in-event", G_CALLBACK(OnFocusIn), nullptr);
    g_signal_connect(w, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    g_signal_connect(w, "button-press-event", G_CALLBACK(OnWidgetButton), nullptr);
}

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
        w = BuildListBox();
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
        case Kind::ListBox: SyncListBox(); break;
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


}  // namespace desktop::detail
