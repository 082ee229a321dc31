// Tolvar's notification-area icon on the desktop, minimised as a person minimises it: on a session
// bus with a status-notifier watcher the icon registers as an item whose menu (read over the bus as
// a panel reads it) holds the program's popup menu, and choosing an item there runs its command; in
// an XEmbed tray the icon is embedded and a double click on it brings the main window back; with no
// tray at all the main window is never hidden.
#include <fcntl.h>
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "display.h"
#include "messenger/TolvarProgram.h"
#include "messenger/TrayIcon.h"
#include "messenger/Unit1.h"
#include "messenger/Unit3.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"
#include "transport/peers.h"

namespace desktoptest {
namespace {

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

constexpr const char* kWatcherXml =
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

    explicit FakeWatcher(const std::string& address) {
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
GVariant* Call(GDBusConnection* c, const std::string& bus, const std::string& path, const char* iface,
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
std::vector<MenuEntry> TopEntries(GVariant* layout) {
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

// Tolvar started on the private display with a session bus of its own (with or without a watcher
// on it), its main window shown.
class TolvarTrayTest : public DesktopTest {
protected:
    void StartTolvar(bool watcher) {
        if (!EnsureDisplay()) GTEST_SKIP() << "no display: Xvfb cannot be started here";
        bus_ = std::make_unique<SessionBus>();
        ASSERT_FALSE(bus_->Address().empty()) << "dbus-daemon cannot start a session bus";
        if (watcher) {
            watcher_ = std::make_unique<FakeWatcher>(bus_->Address());
            ASSERT_TRUE(watcher_->Owned()) << "the watcher's name could not be had";
        }
        setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1);
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testsupport::WriteAll(win::WindowsDir() + "/tolvar17.ini",
                              cp1254::FromUtf8("[Ayarlar]\r\nToplam=1\r\n[1]\r\nisim=Ayşe\r\nnumara=905431234567\r\n"));
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        ASSERT_TRUE(PumpUntil([] { return Main() && gtk_widget_get_mapped(Main()); }, 20000));
    }
    void SetUp() override {}
    void TearDown() override {
        // The bus goes before the process: the program's connection to it must not end the process.
        if (GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(c, FALSE);
            g_object_unref(c);
        }
        DesktopTest::TearDown();
        watcher_.reset();
        bus_.reset();
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    static GtkWidget* Main() { return static_cast<GtkWidget*>(desktop::FormWindow(Form1)); }
    // The program's icon as the shell keeps it (the first), or an empty one.
    static shell::TrayIcon Icon() {
        std::vector<shell::TrayIcon> icons = shell::TrayIcons();
        return icons.empty() ? shell::TrayIcon{} : icons[0];
    }

    std::unique_ptr<SessionBus> bus_;
    std::unique_ptr<FakeWatcher> watcher_;
};

TEST_F(TolvarTrayTest, TheIconIsAStatusNotifierItemWhoseMenuRunsTheProgramsCommands) {
    StartTolvar(true);
    if (IsSkipped() || HasFatalFailure()) return;
    Application->Minimize();
    ASSERT_TRUE(PumpUntil([&] { return watcher_->Items().size() == 1; }, 10000)) << "no item registered";
    const FakeWatcher::Item item = watcher_->Items()[0];
    EXPECT_TRUE(Form1->taskbar->InTaskbar());
    // The item brings the window back: the window goes from the screen.
    EXPECT_TRUE(PumpUntil([] { return !gtk_widget_get_visible(Main()); })) << "the main window stayed";
    EXPECT_FALSE(Form1->Visible());

    std::string error;
    GVariant* menuProp = Call(watcher_->Connection(), item.bus, item.path, "org.freedesktop.DBus.Properties", "Get",
                              g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Menu"), error);
    ASSERT_NE(menuProp, nullptr) << error;
    GVariant* boxed = nullptr;
    g_variant_get(menuProp, "(v)", &boxed);
    const std::string menuPath = g_variant_get_string(boxed, nullptr);
    g_variant_unref(boxed);
    g_variant_unref(menuProp);
    // The tip the program set is the item's title.
    GVariant* titleProp = Call(watcher_->Connection(), item.bus, item.path, "org.freedesktop.DBus.Properties", "Get",
                               g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Title"), error);
    ASSERT_NE(titleProp, nullptr) << error;
    g_variant_get(titleProp, "(v)", &boxed);
    EXPECT_STREQ(g_variant_get_string(boxed, nullptr), "Marendo Tolvar 1.8");
    g_variant_unref(boxed);
    g_variant_unref(titleProp);

    GVariant* layout = Call(watcher_->Connection(), item.bus, menuPath, "com.canonical.dbusmenu", "GetLayout",
                            g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), error);
    ASSERT_NE(layout, nullptr) << error;
    GVariant* root = g_variant_get_child_value(layout, 1);
    std::vector<MenuEntry> entries = TopEntries(root);
    g_variant_unref(root);
    g_variant_unref(layout);
    std::vector<std::string> shown;
    for (const MenuEntry& e : entries) shown.push_back(e.type == "separator" ? "-" : e.label);
    ASSERT_EQ(shown, (std::vector<std::string>{"Aç", "-", "_Servis Girişleri", "-", "_Çıkış"}));

    // "Servis Girişleri" chosen on the panel opens the services window; "Aç" brings the main
    // window back, as their commands do.
    auto click = [&](int id) {
        std::string e;
        GVariant* r = Call(watcher_->Connection(), item.bus, menuPath, "com.canonical.dbusmenu", "Event",
                           g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), e);
        EXPECT_NE(r, nullptr) << e;
        if (r) g_variant_unref(r);
    };
    click(entries[2].id);
    EXPECT_TRUE(PumpUntil([] { return Form3->Visible(); })) << "the services window did not open";
    Form3->Close();
    click(entries[0].id);
    EXPECT_TRUE(PumpUntil([] { return Form1->Visible() && gtk_widget_get_mapped(Main()); }))
        << "the main window did not come back";
    EXPECT_FALSE(Application->Minimized());
}

TEST_F(TolvarTrayTest, InAnXEmbedTrayADoubleClickOnTheIconBringsTheWindowBack) {
    if (!EnsureDisplay()) GTEST_SKIP() << "no display: Xvfb cannot be started here";
    const std::string trayer = testpeers::FindProgram({"/usr/bin/trayer"});
    if (trayer.empty()) GTEST_SKIP() << "no XEmbed tray to try (Debian package trayer)";
    testpeers::ChildProcess tray(trayer, {"--edge", "bottom", "--align", "right", "--widthtype", "request", "--height",
                                          "32", "--SetDockType", "false", "--SetPartialStrut", "false"});
    StartTolvar(false);
    if (IsSkipped() || HasFatalFailure()) return;
    Application->Minimize();
    ASSERT_TRUE(PumpUntil([] { return desktop::TrayIconObject(Icon().hwnd, Icon().id) != nullptr; }));
    auto* icon = GTK_STATUS_ICON(desktop::TrayIconObject(Icon().hwnd, Icon().id));
    ASSERT_TRUE(PumpUntil([&] { return gtk_status_icon_is_embedded(icon); }, 15000)) << "the tray never took the icon";
    // Embedded, the icon brings the window back: the window goes from the screen.
    EXPECT_TRUE(PumpUntil([] { return !gtk_widget_get_visible(Main()); })) << "the main window stayed";
    GdkRectangle area{};
    ASSERT_TRUE(PumpUntil([&] {
        return gtk_status_icon_get_geometry(icon, nullptr, &area, nullptr) && area.width > 0 && area.height > 0;
    }));
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-xembed-tray.png"));
    ASSERT_TRUE(XDo("mousemove " + std::to_string(area.x + area.width / 2) + " " +
                    std::to_string(area.y + area.height / 2) + " click --repeat 2 --delay 80 1"));
    EXPECT_TRUE(PumpUntil([] { return Form1->Visible() && gtk_widget_get_mapped(Main()); }))
        << "the double click did not reach the program";
    // The program takes its icon away when the window is back.
    EXPECT_FALSE(Form1->taskbar->InTaskbar());
    EXPECT_TRUE(PumpUntil([] { return shell::TrayIcons().empty() && desktop::TrayIconObject(Icon().hwnd, Icon().id) == nullptr; }));
}

TEST_F(TolvarTrayTest, WithoutAnyTrayTheMinimisedMainWindowStaysOnScreen) {
    StartTolvar(false);
    if (IsSkipped() || HasFatalFailure()) return;
    Application->Minimize();
    ASSERT_TRUE(PumpUntil([] { return desktop::TrayIconObject(Icon().hwnd, Icon().id) != nullptr; }));
    // The program hid its window for the icon it added; no tray shows the icon, so the window
    // stays (iconified), and the icon's object is not embedded anywhere.
    PumpFor(300);
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(gtk_widget_get_visible(Main())) << "the main window was hidden with nothing to bring it back";
    EXPECT_FALSE(gtk_status_icon_is_embedded(GTK_STATUS_ICON(desktop::TrayIconObject(Icon().hwnd, Icon().id))));
}

}  // namespace
}  // namespace desktoptest
