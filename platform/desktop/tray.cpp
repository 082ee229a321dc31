// The notification area on the desktop: every icon of Shell_NotifyIconA shown as a status-notifier
// item when a watcher of such items runs on the session bus, otherwise as an XEmbed tray icon. A
// person's clicks on the icon reach the icon's window as the shell's callback messages: the tray
// icon sends presses, releases and double clicks as they come; the status-notifier item, whose
// host shows the menu itself, has the menu the program pops up on a right click, collected from
// that right click.
#include <libayatana-appindicator/app-indicator.h>

#include <map>
#include <utility>

#include "platform/desktop/internal.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

namespace desktop::detail {

using Key = std::pair<HWND, UINT>;

// One icon as shown.
struct Shown {
    shell::TrayIcon icon;
    GtkStatusIcon* status = nullptr;
    AppIndicator* indicator = nullptr;
    bool registered = false;  // the watcher took the item: a panel shows it
    GtkWidget* menu = nullptr;
};

std::map<Key, Shown*> g_shown;

namespace {

bool g_started = false;
bool g_useIndicator = false;
shell::TrayObserver g_previousObserver;

bool Present(const Key& key) {
    for (const shell::TrayIcon& i : shell::TrayIcons())
        if (i.hwnd == key.first && i.id == key.second) return true;
    return false;
}

void Notify(const Key& key, UINT mouseMessage) {
    for (const shell::TrayIcon& i : shell::TrayIcons()) {
        if (i.hwnd != key.first || i.id != key.second || !i.callbackMessage) continue;
        HWND h = i.hwnd;
        UINT cb = i.callbackMessage;
        WPARAM id = i.id;
        Guard(nullptr, [&] { SendMessageA(h, cb, id, static_cast<LPARAM>(mouseMessage)); });
        return;
    }
}

Key KeyOf(gpointer data) {
    auto* s = static_cast<Shown*>(data);
    return Key{s->icon.hwnd, s->icon.id};
}

gboolean OnStatusPress(GtkStatusIcon*, GdkEventButton* e, gpointer data) {
    Key key = KeyOf(data);
    if (e->type == GDK_2BUTTON_PRESS && e->button == 1) Notify(key, WM_LBUTTONDBLCLK);
    else if (e->type == GDK_BUTTON_PRESS && e->button == 1) Notify(key, WM_LBUTTONDOWN);
    else if (e->type == GDK_BUTTON_PRESS && e->button == 3) Notify(key, WM_RBUTTONDOWN);
    return TRUE;
}

gboolean OnStatusRelease(GtkStatusIcon*, GdkEventButton* e, gpointer data) {
    Key key = KeyOf(data);
    if (e->button == 1) Notify(key, WM_LBUTTONUP);
    else if (e->button == 3) Notify(key, WM_RBUTTONUP);
    return TRUE;
}

void CollectMenu(Shown* s);

// Fills an item's menu again once the loop is idle (the icon may be gone by then).
void CollectLater(Shown* s) {
    g_idle_add(
        [](gpointer d) -> gboolean {
            for (auto& [k, v] : g_shown)
                if (v == d) CollectMenu(v);
            return G_SOURCE_REMOVE;
        },
        s);
}

// A choice on the host's menu activates its item without the menu ever being shown or closed
// here: the menu is filled again after it, as the command run may have changed it.
void RefillAfterChoices(GtkWidget* shell, Shown* s) {
    GList* items = gtk_container_get_children(GTK_CONTAINER(shell));
    for (GList* l = items; l; l = l->next) {
        if (!GTK_IS_MENU_ITEM(l->data)) continue;
        if (GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(l->data))) {
            RefillAfterChoices(sub, s);
            continue;
        }
        g_signal_connect_after(l->data, "activate",
                               G_CALLBACK(+[](GtkMenuItem*, gpointer d) { CollectLater(static_cast<Shown*>(d)); }), s);
    }
    g_list_free(items);
}

// The item's menu is what the program pops up on a right click.
void CollectMenu(Shown* s) {
    Key key{s->icon.hwnd, s->icon.id};
    GtkWidget* before = g_collectPopup;
    g_collectPopup = s->menu;
    Notify(key, WM_RBUTTONDOWN);
    if (Present(key)) Notify(key, WM_RBUTTONUP);
    g_collectPopup = before;
    RefillAfterChoices(s->menu, s);
}

// The session bus, held while icons may be shown: the status-notifier items take the same
// connection, which must not be closing while they ask for it.
GDBusConnection* g_bus = nullptr;

bool WatcherRunning() {
    if (!g_bus) g_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!g_bus) return false;
    GVariant* r = g_dbus_connection_call_sync(g_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                              "NameHasOwner", g_variant_new("(s)", "org.kde.StatusNotifierWatcher"),
                                              G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 500, nullptr, nullptr);
    bool owned = false;
    if (r) {
        gboolean b = FALSE;
        g_variant_get(r, "(b)", &b);
        owned = b;
        g_variant_unref(r);
    }
    return owned;
}

void Drop(Shown* s) {
    if (s->status) {
        gtk_status_icon_set_visible(s->status, FALSE);
        g_object_unref(s->status);
    }
    if (s->indicator) {
        app_indicator_set_status(s->indicator, APP_INDICATOR_STATUS_PASSIVE);
        g_object_unref(s->indicator);
    }
    if (s->menu) g_object_unref(s->menu);
    delete s;
}

void Show(Shown* s) {
    const std::string tip = Utf8(s->icon.tip);
    if (g_useIndicator) {
        if (!s->indicator) {
            static int serial = 0;
            const std::string id = "tray-" + std::to_string(++serial);
            s->indicator = app_indicator_new(id.c_str(), "mail-message-new", APP_INDICATOR_CATEGORY_COMMUNICATIONS);
            s->menu = gtk_menu_new();
            g_object_ref_sink(s->menu);
            app_indicator_set_menu(s->indicator, GTK_MENU(s->menu));
            g_signal_connect(s->indicator, "connection-changed",
                             G_CALLBACK(+[](AppIndicator*, gboolean connected, gpointer data) {
                                 static_cast<Shown*>(data)->registered = connected;
                                 HideParkedForms();
                             }),
                             s);
            app_indicator_set_status(s->indicator, APP_INDICATOR_STATUS_ACTIVE);
            // The host shows the menu itself: it is filled now and after each choice.
            g_signal_connect_after(s->menu, "deactivate",
                                   G_CALLBACK(+[](GtkMenuShell*, gpointer data) { CollectLater(static_cast<Shown*>(data)); }),
                                   s);
            CollectMenu(s);
        }
        app_indicator_set_title(s->indicator, tip.c_str());
    } else {
        if (!s->status) {
            s->status = gtk_status_icon_new_from_icon_name("mail-message-new");
            g_signal_connect(s->status, "button-press-event", G_CALLBACK(OnStatusPress), s);
            g_signal_connect(s->status, "button-release-event", G_CALLBACK(OnStatusRelease), s);
            g_signal_connect(s->status, "notify::embedded",
                             G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { HideParkedForms(); }), nullptr);
        }
        gtk_status_icon_set_tooltip_text(s->status, tip.c_str());
        gtk_status_icon_set_visible(s->status, TRUE);
    }
}

// Brings the shown icons in line with the shell's.
void Sync() {
    std::vector<shell::TrayIcon> icons = shell::TrayIcons();
    for (auto it = g_shown.begin(); it != g_shown.end();) {
        bool still = false;
        for (const shell::TrayIcon& i : icons)
            if (Key{i.hwnd, i.id} == it->first) still = true;
        if (still) {
            ++it;
        } else {
            Drop(it->second);
            it = g_shown.erase(it);
        }
    }
    for (const shell::TrayIcon& i : icons) {
        Key key{i.hwnd, i.id};
        Shown*& s = g_shown[key];
        if (!s) s = new Shown;
        s->icon = i;
        Show(s);
    }
    HideParkedForms();
}

}  // namespace

bool TrayShown() {
    for (auto& [k, s] : g_shown)
        if ((s->indicator && s->registered) || (s->status && gtk_status_icon_is_embedded(s->status))) return true;
    return false;
}

bool TrayDoubleClick() {
    for (const shell::TrayIcon& i : shell::TrayIcons()) {
        if (!i.callbackMessage) continue;
        Key key{i.hwnd, i.id};
        for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
            if (!Present(key)) break;
            Notify(key, m);
        }
        return true;
    }
    return false;
}

void StartTray() {
    if (g_started) return;
    g_started = true;
    g_useIndicator = WatcherRunning();
    g_previousObserver = shell::SetTrayObserver([] {
        if (g_previousObserver) g_previousObserver();
        // Icons may change while their window's message is being handled: shown from the loop.
        g_idle_add(
            [](gpointer) -> gboolean {
                if (g_started) Sync();
                return G_SOURCE_REMOVE;
            },
            nullptr);
    });
    Sync();
}

void StopTray() {
    if (!g_started) return;
    shell::SetTrayObserver(std::move(g_previousObserver));
    g_previousObserver = nullptr;
    for (auto& [k, s] : g_shown) Drop(s);
    g_shown.clear();
    if (g_bus) g_object_unref(g_bus);
    g_bus = nullptr;
    g_started = false;
}

}  // namespace desktop::detail

namespace desktop {

void* TrayIconObject(HWND window, UINT id) {
    auto it = detail::g_shown.find(detail::Key{window, id});
    if (it == detail::g_shown.end()) return nullptr;
    if (it->second->indicator) return it->second->indicator;
    return it->second->status;
}

}  // namespace desktop
