// A session bus of a test's own with a status-notifier watcher on it, as a desktop panel runs one,
// and what a panel asks of a registered item over the bus (its properties, its menu's layout, a
// click on a menu entry). Calls to the program are answered while the caller's loop runs.
#pragma once

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display.h"

namespace desktoptest {

// A private session bus: a dbus-daemon of our own, stopped at the end.
class SessionBus {
public:
    SessionBus() {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, 2);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // The daemon prints its address once it listens.
        char ch;
        while (pid_ > 0 && read(out[0], &ch, 1) == 1 && ch != '\n') address_ += ch;
        close(out[0]);
    }
    ~SessionBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

inline constexpr const char* kWatcherXml =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in' name='service'/></method>"
    "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in' name='service'/></method>"
    "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "<property name='ProtocolVersion' type='i' access='read'/>"
    "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "<signal name='StatusNotifierItemUnregistered'><arg type='s'/></signal>"
    "<signal name='StatusNotifierHostRegistered'/>"
    "</interface></node>";

// A status-notifier watcher with a host, as a desktop panel runs one: it owns the watcher's name on
// the bus and keeps the items that register, served on a thread of its own (the program's calls to
// it may wait for the answer). Its connection also reads the items for the test.
class FakeWatcher {
public:
    struct Item {
        std::string bus;   // the item's unique bus name
        std::string path;  // its object path
    };

    // A watcher that refuses every item leaves them unshown, as a panel that fails to take them.
    explicit FakeWatcher(const std::string& address, bool refuse = false) : refuse_(refuse) {
        thread_ = std::thread([this, address] { Run(address); });
        std::unique_lock<std::mutex> l(m_);
        ready_cv_.wait(l, [this] { return ready_; });
    }
    ~FakeWatcher() {
        if (loop_) g_main_loop_quit(loop_);
        thread_.join();
    }
    bool Owned() const { return owned_; }
    GDBusConnection* Connection() const { return conn_; }
    std::vector<Item> Items() {
        std::lock_guard<std::mutex> l(m_);
        return items_;
    }

private:
    void Run(const std::string& address) {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        conn_ = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
        if (conn_ && info) {
            static const GDBusInterfaceVTable vtable{&FakeWatcher::OnCall, &FakeWatcher::OnProperty, nullptr, {}};
            g_dbus_connection_register_object(conn_, "/StatusNotifierWatcher", info->interfaces[0], &vtable, this, nullptr,
                                              nullptr);
            GVariant* r = g_dbus_connection_call_sync(
                conn_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u /* do not queue */), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (r) {
                guint32 answer = 0;
                g_variant_get(r, "(u)", &answer);
                owned_ = answer == 1;  // the primary owner
                g_variant_unref(r);
            }
        }
        loop_ = g_main_loop_new(context, FALSE);
        {
            std::lock_guard<std::mutex> l(m_);
            ready_ = true;
        }
        ready_cv_.notify_all();
        if (owned_) g_main_loop_run(loop_);
        if (conn_) {
            g_dbus_connection_close_sync(conn_, nullptr, nullptr);
            g_object_unref(conn_);
        }
        if (info) g_dbus_node_info_unref(info);
        g_main_loop_unref(loop_);
        loop_ = nullptr;
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    static void OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                       GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakeWatcher*>(data);
        if (std::string(method) == "RegisterStatusNotifierItem" && self->refuse_) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", "refused");
            return;
        }
        if (std::string(method) == "RegisterStatusNotifierItem") {
            const gchar* service = nullptr;
            g_variant_get(params, "(&s)", &service);
            // An item names itself by its object path (on the caller's connection) or by a bus name.
            Item item = service[0] == '/' ? Item{sender, service} : Item{service, "/StatusNotifierItem"};
            std::lock_guard<std::mutex> l(self->m_);
            self->items_.push_back(item);
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
    static GVariant* OnProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                                gpointer data) {
        auto* self = static_cast<FakeWatcher*>(data);
        const std::string n = name;
        if (n == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
        if (n == "ProtocolVersion") return g_variant_new_int32(0);
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("as"));
        std::lock_guard<std::mutex> l(self->m_);
        for (const Item& i : self->items_) g_variant_builder_add(&b, "s", (i.bus + i.path).c_str());
        return g_variant_builder_end(&b);
    }

    bool refuse_ = false;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable ready_cv_;
    bool ready_ = false;
    bool owned_ = false;
    GDBusConnection* conn_ = nullptr;
    GMainLoop* loop_ = nullptr;
    std::vector<Item> items_;
};

// A method call over the bus whose answer comes while the loop runs (the program answers from it).
// Returns the reply, or nullptr with `error` set.
inline GVariant* Call(GDBusConnection* c, const std::string& bus, const std::string& path, const char* iface,
               const char* method, GVariant* params, std::string& error) {
    struct Reply {
        bool done = false;
        GVariant* value = nullptr;
        std::string error;
    };
    auto* reply = new Reply;  // kept should the answer come after the pump gave up
    g_dbus_connection_call(
        c, bus.c_str(), path.c_str(), iface, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* r = static_cast<Reply*>(data);
            GError* e = nullptr;
            r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
            if (e) {
                r->error = e->message;
                g_error_free(e);
            }
            r->done = true;
        },
        reply);
    if (!PumpUntil([&] { return reply->done; }, 10000)) {
        error = "no answer";
        return nullptr;
    }
    GVariant* v = reply->value;
    error = reply->error;
    delete reply;
    return v;
}

// One entry of a menu as the bus shows it.
struct MenuEntry {
    int id = 0;
    std::string type;  // "standard" or "separator"
    std::string label;
    bool enabled = true;
};

// The first level of a menu's layout ((ia{sv}av)).
inline std::vector<MenuEntry> TopEntries(GVariant* layout) {
    std::vector<MenuEntry> out;
    GVariant* children = g_variant_get_child_value(layout, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
        GVariant* boxed = g_variant_get_child_value(children, i);
        GVariant* child = g_variant_get_variant(boxed);
        MenuEntry e;
        GVariant* props = nullptr;
        g_variant_get(child, "(i@a{sv}@av)", &e.id, &props, nullptr);
        const gchar* s = nullptr;
        e.type = g_variant_lookup(props, "type", "&s", &s) ? s : "standard";
        if (g_variant_lookup(props, "label", "&s", &s)) e.label = s;
        gboolean enabled = TRUE;
        if (g_variant_lookup(props, "enabled", "b", &enabled)) e.enabled = enabled;
        bool visible = true;
        gboolean v = TRUE;
        if (g_variant_lookup(props, "visible", "b", &v)) visible = v;
        if (visible) out.push_back(e);
        g_variant_unref(props);
        g_variant_unref(child);
        g_variant_unref(boxed);
    }
    g_variant_unref(children);
    return out;
}

// The first level of the menu of a registered item, read as a panel reads it; empty (with a test
// failure) when it cannot be read.
inline std::vector<MenuEntry> ItemMenu(GDBusConnection* c, const std::string& bus, const std::string& path,
                                       std::string* menuPath = nullptr) {
    std::string error;
    GVariant* menuProp = Call(c, bus, path, "org.freedesktop.DBus.Properties", "Get",
                              g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Menu"), error);
    EXPECT_NE(menuProp, nullptr) << error;
    if (!menuProp) return {};
    GVariant* boxed = nullptr;
    g_variant_get(menuProp, "(v)", &boxed);
    const std::string menu = g_variant_get_string(boxed, nullptr);
    g_variant_unref(boxed);
    g_variant_unref(menuProp);
    if (menuPath) *menuPath = menu;
    GVariant* layout = Call(c, bus, menu, "com.canonical.dbusmenu", "GetLayout",
                            g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), error);
    EXPECT_NE(layout, nullptr) << error;
    if (!layout) return {};
    GVariant* root = g_variant_get_child_value(layout, 1);
    std::vector<MenuEntry> entries = TopEntries(root);
    g_variant_unref(root);
    g_variant_unref(layout);
    return entries;
}

// The entries' labels, "-" for a separator.
inline std::vector<std::string> Labels(const std::vector<MenuEntry>& entries) {
    std::vector<std::string> out;
    for (const MenuEntry& e : entries) out.push_back(e.type == "separator" ? "-" : e.label);
    return out;
}

// A panel's click on a menu entry.
inline void ClickEntry(GDBusConnection* c, const std::string& bus, const std::string& menuPath, int id) {
    std::string error;
    GVariant* r = Call(c, bus, menuPath, "com.canonical.dbusmenu", "Event",
                       g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), error);
    EXPECT_NE(r, nullptr) << error;
    if (r) g_variant_unref(r);
}

// A desktop session with a panel of its own: a private session bus that the program's session
// uses, with a watcher on it when asked. The bus ends with the test, after the session.
class PanelTest : public DesktopTest {
protected:
    // Before DesktopTest::SetUp; fails the test fatally when the bus or the watcher's name cannot
    // be had.
    void StartPanel(bool watcher, bool refusing = false) {
        bus_ = std::make_unique<SessionBus>();
        ASSERT_FALSE(bus_->Address().empty()) << "dbus-daemon cannot start a session bus";
        if (watcher) {
            watcher_ = std::make_unique<FakeWatcher>(bus_->Address(), refusing);
            ASSERT_TRUE(watcher_->Owned()) << "the watcher's name could not be had";
        }
        setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1);
    }
    void TearDown() override {
        // The bus goes before the process: the connection to it must not end the process.
        if (GDBusConnection* c = bus_ ? g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr) : nullptr) {
            g_dbus_connection_set_exit_on_close(c, FALSE);
            g_object_unref(c);
        }
        DesktopTest::TearDown();
        watcher_.reset();
        bus_.reset();
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    std::unique_ptr<SessionBus> bus_;
    std::unique_ptr<FakeWatcher> watcher_;
};

}  // namespace desktoptest
