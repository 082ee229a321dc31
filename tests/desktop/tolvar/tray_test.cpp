// Tolvar's notification-area icon on the desktop, minimised as a person minimises it: on a session
// bus with a status-notifier watcher the icon registers as an item whose menu (read over the bus as
// a panel reads it) holds the program's popup menu, and choosing an item there runs its command; in
// an XEmbed tray the icon is embedded and a double click on it brings the main window back (the
// first one, also after a minimise by the window manager); with no tray at all the main window is
// never hidden.
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <memory>

#include "display.h"
#include "statusnotifier.h"
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

// The X window of a window (GDK's X11 header itself would bring in Xlib's names, Screen and None
// among them, which clash with the class library's and the test framework's).
extern "C" unsigned long gdk_x11_window_get_xid(GdkWindow* window);

namespace desktoptest {
namespace {

// Tolvar started on the private display with a session bus of its own (with or without a watcher
// on it), its main window shown.
class TolvarTrayTest : public PanelTest {
protected:
    void StartTolvar(bool watcher, bool refusing = false) {
        ASSERT_TRUE(EnsureDisplay()) << "no display: Xvfb cannot be started here (Debian package xvfb)";
        StartPanel(watcher, refusing);
        if (HasFatalFailure()) return;
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testsupport::WriteAll(win::WindowsDir() + "/tolvar17.ini",
                              cp1254::FromUtf8("[Ayarlar]\r\nToplam=1\r\n[1]\r\nisim=Ayşe\r\nnumara=905431234567\r\n"));
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        ASSERT_TRUE(PumpUntil([] { return Main() && gtk_widget_get_mapped(Main()); }, 20000));
    }
    void SetUp() override {}
    static GtkWidget* Main() { return static_cast<GtkWidget*>(desktop::FormWindow(Form1)); }
    // The program's icon as the shell keeps it (the first), or an empty one.
    static shell::TrayIcon Icon() {
        std::vector<shell::TrayIcon> icons = shell::TrayIcons();
        return icons.empty() ? shell::TrayIcon{} : icons[0];
    }
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
    // The tip the program set is the item's title.
    GVariant* titleProp = Call(watcher_->Connection(), item.bus, item.path, "org.freedesktop.DBus.Properties", "Get",
                               g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Title"), error);
    ASSERT_NE(titleProp, nullptr) << error;
    GVariant* boxed = nullptr;
    g_variant_get(titleProp, "(v)", &boxed);
    EXPECT_STREQ(g_variant_get_string(boxed, nullptr), "Marendo Tolvar 1.8");
    g_variant_unref(boxed);
    g_variant_unref(titleProp);

    std::string menuPath;
    std::vector<MenuEntry> entries = ItemMenu(watcher_->Connection(), item.bus, item.path, &menuPath);
    ASSERT_EQ(Labels(entries), (std::vector<std::string>{"Aç", "-", "_Servis Girişleri", "-", "_Çıkış"}));

    // "Servis Girişleri" chosen on the panel opens the services window; "Aç" brings the main
    // window back, as their commands do.
    auto click = [&](int id) { ClickEntry(watcher_->Connection(), item.bus, menuPath, id); };
    click(entries[2].id);
    EXPECT_TRUE(PumpUntil([] { return Form3->Visible(); })) << "the services window did not open";
    Form3->Close();
    // The menu is filled anew after a choice: the panel reads it again, as on its update signal.
    std::vector<MenuEntry> fresh;
    ASSERT_TRUE(PumpUntil([&] {
        fresh = ItemMenu(watcher_->Connection(), item.bus, item.path);
        return fresh.size() == entries.size() && fresh[0].id != entries[0].id;
    }));
    EXPECT_EQ(Labels(fresh), Labels(entries));
    click(fresh[0].id);
    EXPECT_TRUE(PumpUntil([] { return Form1->Visible() && gtk_widget_get_mapped(Main()); }))
        << "the main window did not come back";
    EXPECT_FALSE(Application->Minimized());
}

// A watcher that does not take the item shows no icon: the window stays on screen, iconified.
TEST_F(TolvarTrayTest, AnItemTheWatcherRefusesDoesNotTakeTheWindowAway) {
    // The status-notifier library says so when the watcher refuses its item.
    const AllowGLibMessage refused("Unable to connect to the Notification Watcher");
    StartTolvar(true, true);
    if (IsSkipped() || HasFatalFailure()) return;
    Application->Minimize();
    ASSERT_TRUE(PumpUntil([] { return desktop::TrayIconObject(Icon().hwnd, Icon().id) != nullptr; }));
    PumpFor(500);
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(gtk_widget_get_visible(Main())) << "the main window was hidden behind an icon nobody shows";
    EXPECT_TRUE(watcher_->Items().empty());
}

// Waits until the tray has given the icon its size (it starts as a dot) and its place has stayed the
// same for a while: the tray window grows and moves along its edge as the icon comes in, and a
// window manager may place it again after that.
bool IconSettled(GtkStatusIcon* icon, GdkRectangle& area) {
    GdkRectangle last{};
    int same = 0;
    return PumpUntil(
        [&] {
            PumpFor(50);
            if (!gtk_status_icon_get_geometry(icon, nullptr, &area, nullptr) || area.width <= 8 || area.height <= 8) {
                same = 0;
                return false;
            }
            same = area.x == last.x && area.y == last.y && area.width == last.width && area.height == last.height
                       ? same + 1
                       : 0;
            last = area;
            return same >= 8;
        },
        15000);
}

// A double click in the middle of the area, as a person gives it.
bool DoubleClick(const GdkRectangle& area) {
    // A loaded machine may let more than the usual double-click time pass between the clicks.
    g_object_set(gtk_settings_get_default(), "gtk-double-click-time", 2000, nullptr);
    return XDo("mousemove " + std::to_string(area.x + area.width / 2) + " " + std::to_string(area.y + area.height / 2) +
               " click --repeat 2 --delay 80 1");
}

TEST_F(TolvarTrayTest, InAnXEmbedTrayADoubleClickOnTheIconBringsTheWindowBack) {
    ASSERT_TRUE(EnsureDisplay()) << "no display: Xvfb cannot be started here (Debian package xvfb)";
    const std::string trayer = testpeers::FindProgram({"/usr/bin/trayer"});
    ASSERT_FALSE(trayer.empty()) << "no XEmbed tray to try (Debian package trayer)";
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
    ASSERT_TRUE(IconSettled(icon, area));
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-xembed-tray.png"));
    ASSERT_TRUE(DoubleClick(area));
    EXPECT_TRUE(PumpUntil([] { return Form1->Visible() && gtk_widget_get_mapped(Main()); }, 15000))
        << "the double click did not reach the program";
    // The program takes its icon away when the window is back.
    EXPECT_FALSE(Form1->taskbar->InTaskbar());
    EXPECT_TRUE(PumpUntil([] { return shell::TrayIcons().empty() && desktop::TrayIconObject(Icon().hwnd, Icon().id) == nullptr; }));
}

// Whether a window manager runs on the display (it names its check window on the root).
bool WindowManagerRuns() {
    gchar* out = nullptr;
    gint status = -1;
    if (!g_spawn_command_line_sync("xprop -root _NET_SUPPORTING_WM_CHECK", &out, nullptr, &status, nullptr)) return false;
    const bool runs = status == 0 && out && std::string(out).find("window id") != std::string::npos;
    g_free(out);
    return runs;
}

// Minimised by the window manager (as a person minimises it from its title bar), the main window
// goes into the XEmbed tray, and the first double click on the icon brings it back to stay.
TEST_F(TolvarTrayTest, AfterTheWindowManagersMinimiseOneDoubleClickBringsTheWindowBack) {
    ASSERT_TRUE(EnsureDisplay()) << "Xvfb cannot be started here";
    const std::string openbox = testpeers::FindProgram({"/usr/bin/openbox"});
    ASSERT_FALSE(openbox.empty()) << "no window manager to try (Debian package openbox)";
    const std::string trayer = testpeers::FindProgram({"/usr/bin/trayer"});
    ASSERT_FALSE(trayer.empty()) << "no XEmbed tray to try (Debian package trayer)";
    testpeers::ChildProcess wm(openbox, {"--sm-disable"});
    ASSERT_TRUE(PumpUntil(WindowManagerRuns, 15000)) << "openbox did not start";
    testpeers::ChildProcess tray(trayer, {"--edge", "bottom", "--align", "right", "--widthtype", "request", "--height",
                                          "32", "--SetDockType", "false", "--SetPartialStrut", "false"});
    StartTolvar(false);
    if (HasFatalFailure()) return;
    PumpFor(300);
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(Main()));
    ASSERT_TRUE(XDo("windowminimize " + std::to_string(xid)));
    ASSERT_TRUE(PumpUntil([] { return Application->Minimized(); }, 10000)) << "the minimise did not reach the program";
    ASSERT_TRUE(PumpUntil([] { return desktop::TrayIconObject(Icon().hwnd, Icon().id) != nullptr; }));
    auto* icon = GTK_STATUS_ICON(desktop::TrayIconObject(Icon().hwnd, Icon().id));
    ASSERT_TRUE(PumpUntil([&] { return gtk_status_icon_is_embedded(icon); }, 15000)) << "the tray never took the icon";
    EXPECT_TRUE(PumpUntil([] { return !gtk_widget_get_visible(Main()); })) << "the main window stayed";
    GdkRectangle area{};
    ASSERT_TRUE(IconSettled(icon, area));
    // The presses the icon itself took, for the message when the window does not come back.
    int presses = 0;
    g_signal_connect(icon, "button-press-event", G_CALLBACK(+[](GtkStatusIcon*, GdkEventButton*, gpointer n) {
                         ++*static_cast<int*>(n);
                         return FALSE;
                     }),
                     &presses);
    ASSERT_TRUE(DoubleClick(area));
    auto shown = [] {
        GdkWindow* w = gtk_widget_get_window(Main());
        return Form1->Visible() && gtk_widget_get_mapped(Main()) && w &&
               !(gdk_window_get_state(w) & GDK_WINDOW_STATE_ICONIFIED) && !Application->Minimized();
    };
    ASSERT_TRUE(PumpUntil(shown, 15000)) << "the first double click did not bring the window back: shown "
                                         << Form1->Visible() << ", mapped " << gtk_widget_get_mapped(Main())
                                         << ", state " << gdk_window_get_state(gtk_widget_get_window(Main()))
                                         << ", minimised " << Application->Minimized() << ", presses on the icon "
                                         << presses << " at " << area.x << "," << area.y;
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-restored-by-tray.png"));
    // It stays: the window manager is not asked to minimise it again.
    PumpFor(1500);
    EXPECT_TRUE(shown()) << "the window went away again";
    EXPECT_FALSE(Form1->taskbar->InTaskbar());
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
