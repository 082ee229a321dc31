// Menus on the desktop: menu bars and popup menus filled from the models' items. Opening a submenu
// runs its item's Click (handlers refresh their subitems there) and fills it anew; choosing an item
// runs its Click.
#include "platform/classlib/menus.h"

#include "platform/desktop/internal.h"

namespace desktop::detail {

GtkWidget* g_collectPopup = nullptr;

namespace {

TLiveSet& Items() {
    static TLiveSet* set = new TLiveSet;  // lives as long as the process: items outlive any menu
    return *set;
}

TMenuItem* ItemOf(GtkWidget* w) {
    auto* item = static_cast<TMenuItem*>(g_object_get_data(G_OBJECT(w), "desktop-item"));
    return item && Items().Alive(item) ? item : nullptr;
}

void OnActivate(GtkMenuItem* w, gpointer) {
    if (gtk_menu_item_get_submenu(w)) return;
    TMenuItem* item = ItemOf(GTK_WIDGET(w));
    if (!item || !item->Enabled || !item->Visible) return;
    Guard(item, [item] { item->Click(); });
}

// The submenu is about to open: its item's Click, then its items as they are now.
void OnSelect(GtkMenuItem* w, gpointer) {
    GtkWidget* sub = gtk_menu_item_get_submenu(w);
    TMenuItem* item = ItemOf(GTK_WIDGET(w));
    if (!sub || !item) return;
    Guard(item, [item] { item->Click(); });
    if ((item = ItemOf(GTK_WIDGET(w)))) FillMenu(sub, item, nullptr);
}

}  // namespace

void FillMenu(GtkWidget* shell, TMenuItem* parent, GtkAccelGroup* accel) {
    GList* old = gtk_container_get_children(GTK_CONTAINER(shell));
    for (GList* l = old; l; l = l->next) gtk_widget_destroy(static_cast<GtkWidget*>(l->data));
    g_list_free(old);
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible) continue;
        Items().Watch(item);
        GtkWidget* w;
        if (item->IsLine()) {
            w = gtk_separator_menu_item_new();
        } else if (item->Checked || item->AutoCheck || item->RadioItem) {
            w = gtk_check_menu_item_new_with_mnemonic(Mnemonic(item->Caption).c_str());
            gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(w), item->RadioItem);
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), item->Checked);
        } else {
            w = gtk_menu_item_new_with_mnemonic(Mnemonic(item->Caption).c_str());
        }
        g_object_set_data(G_OBJECT(w), "desktop-item", item);
        gtk_widget_set_sensitive(w, item->Enabled);
        if (item->Count() > 0) {
            GtkWidget* sub = gtk_menu_new();
            if (accel) gtk_menu_set_accel_group(GTK_MENU(sub), accel);
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), sub);
            FillMenu(sub, item, accel);
            g_signal_connect(w, "select", G_CALLBACK(OnSelect), nullptr);
        }
        g_signal_connect(w, "activate", G_CALLBACK(OnActivate), nullptr);
        gtk_menu_shell_append(GTK_MENU_SHELL(shell), w);
        gtk_widget_show(w);
    }
}

void PopupAtPointer(TPopupMenu* menu, GtkWidget* relativeTo) {
    if (g_collectPopup) {
        FillMenu(g_collectPopup, menu->Items(), nullptr);
        return;
    }
    GtkWidget* m = gtk_menu_new();
    FillMenu(m, menu->Items(), nullptr);
    if (relativeTo) gtk_menu_attach_to_widget(GTK_MENU(m), relativeTo, nullptr);
    // The menu goes once it closed and its chosen item ran; it is held till that moment, as the window
    // it is attached to may take it along first.
    g_signal_connect(m, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                         g_idle_add(
                             [](gpointer w) -> gboolean {
                                 gtk_widget_destroy(static_cast<GtkWidget*>(w));
                                 g_object_unref(w);
                                 return G_SOURCE_REMOVE;
                             },
                             g_object_ref(shell));
                     }),
                     nullptr);
    GdkEvent* trigger = gtk_get_current_event();
    gtk_menu_popup_at_pointer(GTK_MENU(m), trigger);
    if (trigger) gdk_event_free(trigger);
}

}  // namespace desktop::detail
