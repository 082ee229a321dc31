// The notification-area icon as a status-notifier item, on a session bus of the test's own with a
// watcher on it: the item registers, its menu is the one the icon's window pops up, a panel's click
// on an entry runs the item's command, and the menu follows what that command changed.
#include <gtk/gtk.h>

#include <memory>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/messages.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"
#include "statusnotifier.h"

namespace desktoptest {
namespace {

constexpr UINT kTrayMessage = WM_USER + 9;

class StatusNotifierTest : public PanelTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(EnsureDisplay()) << "no display: Xvfb cannot be started here (Debian package xvfb)";
        StartPanel(true);
        if (HasFatalFailure()) return;
        DesktopTest::SetUp();
    }
};

TEST_F(StatusNotifierTest, TheItemsMenuRunsItsCommandsAndFollowsWhatTheyChange) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    auto* popup = new TPopupMenu(form);
    auto* connect = new TMenuItem(form);
    connect->Caption = cp1254::FromUtf8("&Bağlan");
    auto* line = new TMenuItem(form);
    line->Caption = "-";
    auto* quit = new TMenuItem(form);
    quit->Caption = cp1254::FromUtf8("Çı&kış");
    popup->Items()->Add(connect);
    popup->Items()->Add(line);
    popup->Items()->Add(quit);
    bool online = false;
    connect->OnClick = [&](TObject*) {
        online = !online;
        connect->Caption = online ? "&Kes" : cp1254::FromUtf8("&Bağlan");
        quit->Enabled = !online;
    };
    // The icon's window pops its menu up on a right click, as a program's tray icon does.
    HWND icon = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == kTrayMessage && m.LParam == WM_RBUTTONUP) popup->Popup(0, 0);
    });
    NOTIFYICONDATAA d;
    d.hWnd = icon;
    d.uID = 1;
    d.uFlags = NIF_MESSAGE | NIF_TIP;
    d.uCallbackMessage = kTrayMessage;
    std::snprintf(d.szTip, sizeof d.szTip, "%s", "Deneme");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    ASSERT_TRUE(PumpUntil([&] { return watcher_->Items().size() == 1; }, 10000)) << "no item registered";
    const FakeWatcher::Item item = watcher_->Items()[0];
    GDBusConnection* c = watcher_->Connection();

    std::string menuPath;
    std::vector<MenuEntry> entries = ItemMenu(c, item.bus, item.path, &menuPath);
    ASSERT_EQ(Labels(entries), (std::vector<std::string>{"_Bağlan", "-", "Çı_kış"}));
    EXPECT_TRUE(entries[2].enabled);

    ClickEntry(c, item.bus, menuPath, entries[0].id);
    ASSERT_TRUE(PumpUntil([&] { return online; })) << "the click did not run the item's command";
    // The panel reads the menu anew and sees what the command changed.
    EXPECT_TRUE(PumpUntil([&] {
        entries = ItemMenu(c, item.bus, item.path);
        return Labels(entries) == std::vector<std::string>{"_Kes", "-", "Çı_kış"} && !entries[2].enabled;
    })) << testing::PrintToString(Labels(entries));
    // And a second choice, on the refilled menu, runs the command again.
    ClickEntry(c, item.bus, menuPath, entries[0].id);
    EXPECT_TRUE(PumpUntil([&] { return !online; }));
    EXPECT_TRUE(PumpUntil([&] { return Labels(ItemMenu(c, item.bus, item.path))[0] == "_Bağlan"; }));

    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_TRUE(PumpUntil([&] { return desktop::TrayIconObject(icon, 1) == nullptr; }));
    DeallocateHWnd(icon);
}

}  // namespace
}  // namespace desktoptest
