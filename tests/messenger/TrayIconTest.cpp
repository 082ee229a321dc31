// The notification-area icon: the shell's record, its mouse notifications turned into events, and
// the main window's minimise with and without a notification area.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "fixtures.h"
#include "messenger/TolvarProgram.h"
#include "messenger/TrayIcon.h"
#include "messenger/Unit1.h"
#include "platform/classlib/application.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/imagelist.h"
#include "platform/classlib/streams.h"
#include "platform/classlib/menus.h"
#include "platform/win/input.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"

namespace {

std::vector<shell::TrayIcon> IconsOf(HWND w) {
    std::vector<shell::TrayIcon> out;
    for (auto& i : shell::TrayIcons())
        if (i.hwnd == w) out.push_back(i);
    return out;
}

struct Recorder {
    std::vector<std::string> log;
    void Attach(TTrayIcon& t) {
        t.OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int, int) {
            log.push_back(std::string("down ") + (b == mbLeft ? "left" : "right") +
                          ((s & (b == mbLeft ? ssLeft : ssRight)) ? "" : " (no button in the shift state)"));
        };
        t.OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int, int) {
            log.push_back(std::string("up ") + (b == mbLeft ? "left" : "right"));
        };
        t.OnClick = [this](TObject*) { log.push_back("click"); };
        t.OnDblClick = [this](TObject*) { log.push_back("dblclick"); };
        t.OnPopupMenu = [this](TObject*) { log.push_back("popup"); };
        t.OnShow = [this](TObject*) { log.push_back("show"); };
        t.OnHide = [this](TObject*) { log.push_back("hide"); };
    }
};

void Notify(TTrayIcon& t, UINT mouse) { SendMessageA(t.Handle(), WmTrayNotify, static_cast<WPARAM>(t.IconID()), mouse); }

}  // namespace

TEST(TrayIcon, TheShellGetsTheRecordOnShowAndLosesTheIconOnHide) {
    headless::TSession session;
    TTrayIcon tray(nullptr);
    tray.SetName("taskbar");
    Recorder r;
    r.Attach(tray);
    tray.SetHint(std::string(70, 'h'));
    EXPECT_EQ(tray.Hint(), std::string(63, 'h')) << "a 70-character hint keeps its first 63";
    EXPECT_TRUE(IconsOf(tray.Handle()).empty()) << "a hint while hidden changes nothing in the shell";

    tray.SetVisible(true);
    auto icons = IconsOf(tray.Handle());
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].id, 0u);
    EXPECT_EQ(icons[0].callbackMessage, WmTrayNotify);
    EXPECT_EQ(icons[0].tip, std::string(63, 'h'));
    EXPECT_TRUE(tray.InTaskbar());

    tray.SetHint("Marendo Tolvar 1.8");
    EXPECT_EQ(IconsOf(tray.Handle()).at(0).tip, "Marendo Tolvar 1.8") << "a hint while shown updates the tip";

    // A new identifier while shown: removed and added again under it.
    tray.SetIconID(7);
    icons = IconsOf(tray.Handle());
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].id, 7u);
    EXPECT_EQ(r.log, (std::vector<std::string>{"show", "hide", "show"}));

    tray.SetVisible(false);
    EXPECT_TRUE(IconsOf(tray.Handle()).empty());
    tray.SetIconID(9);
    EXPECT_TRUE(IconsOf(tray.Handle()).empty()) << "a new identifier while hidden is only stored";
    EXPECT_EQ(tray.IconID(), 9);

    // The shell refuses a record of another size.
    NOTIFYICONDATAA data;
    data.hWnd = tray.Handle();
    data.cbSize = sizeof data + 4;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    data.cbSize = 88;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
}

TEST(TrayIcon, NotificationsBecomeEventsAsTheShellSendsThem) {
    headless::TSession session;
    TTrayIcon tray(nullptr);
    Recorder r;
    r.Attach(tray);
    tray.Show();
    r.log.clear();

    // The shell's double click: down, up, double click, up.
    for (UINT m : {513u, 514u, 515u, 514u}) Notify(tray, m);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down left", "up left", "click", "dblclick", "up left"}));

    // A right click without a menu runs only the release.
    r.log.clear();
    Notify(tray, 516);
    Notify(tray, 517);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down right", "up right"}));

    // With a menu: the menu opens before the release.
    TPopupMenu menu(nullptr);
    menu.SetName("PopupMenu1");
    tray.PopupMenu = &menu;
    r.log.clear();
    Notify(tray, 516);
    Notify(tray, 517);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down right", "popup", "up right"}));
    EXPECT_EQ(headless::Headless().OpenPopup(), &menu);
    tray.PopupMenu = nullptr;

    // Disabled: nothing fires.
    tray.Enabled = false;
    r.log.clear();
    for (UINT m : {513u, 514u, 516u, 517u}) Notify(tray, m);
    EXPECT_TRUE(r.log.empty());
    tray.Hide();
}

TEST(TrayIcon, EventsCarryThePointerAndTheKeysHeldAtTheNotification) {
    headless::TSession session;
    TTrayIcon tray(nullptr);
    using Seen = std::tuple<int, int, TShiftState>;
    std::vector<Seen> seen;
    tray.OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int x, int y) { seen.emplace_back(x, y, s); };
    tray.OnMouseUp = tray.OnMouseDown;
    tray.Show();
    constexpr BYTE kAlt = 0x12;

    SetCursorPos(1010, 745);
    keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(VK_CONTROL, 0, 0, 0);
    Notify(tray, WM_LBUTTONDOWN);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    SetCursorPos(3, 4);
    keybd_event(kAlt, 0, 0, 0);
    Notify(tray, WM_RBUTTONDOWN);
    keybd_event(kAlt, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetForegroundWindow(), tray.Handle()) << "a right press brings the icon's window forward";
    Notify(tray, WM_RBUTTONUP);
    EXPECT_EQ(seen, (std::vector<Seen>{{1010, 745, ssShift | ssCtrl | ssLeft}, {3, 4, ssAlt | ssRight}, {3, 4, ssRight}}));
    tray.Hide();
    SetCursorPos(0, 0);
}

class TrayMinimise : public ::testing::Test {
protected:
    void Start() {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        headless::Pump();
    }
    void TearDown() override {
        session_.reset();
        shell::SetNotificationAreaPresent(true);
    }
    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

TEST_F(TrayMinimise, TheWindowHidesIntoTheIconAndComesBackRestored) {
    Start();
    headless::Minimize();
    EXPECT_FALSE(Form1->Visible());
    ASSERT_EQ(IconsOf(Form1->taskbar->Handle()).size(), 1u);
    EXPECT_EQ(IconsOf(Form1->taskbar->Handle())[0].tip, "Marendo Tolvar 1.8");

    EXPECT_NE(GetForegroundWindow(), Form1->Handle());
    headless::TrayDblClick();
    EXPECT_EQ(GetForegroundWindow(), Form1->Handle()) << "the release brought the main window forward";
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Application->Minimized()) << "the program is not left minimised";
    EXPECT_TRUE(IconsOf(Form1->taskbar->Handle()).empty());

    // "Aç" from the icon's menu: the window comes back, the icon stays.
    headless::Minimize();
    headless::TrayMenu("N1");
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Application->Minimized());
    EXPECT_EQ(IconsOf(Form1->taskbar->Handle()).size(), 1u);

    // The icon still shown counts as shown: the next minimise hides the window again.
    headless::Minimize();
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Form1->taskbar->InTaskbar());
    EXPECT_EQ(IconsOf(Form1->taskbar->Handle()).size(), 1u);
    headless::TrayDblClick();
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(IconsOf(Form1->taskbar->Handle()).empty());
}

TEST_F(TrayMinimise, AfterOpenAnIconTheShellLostLeavesTheWindowOnScreen) {
    Start();
    headless::Minimize();
    headless::TrayMenu("N1");
    ASSERT_TRUE(Form1->Visible());
    shell::SetNotificationAreaPresent(false);  // the shell's icons go with the area
    headless::Minimize();
    EXPECT_TRUE(Form1->Visible()) << "nothing could bring a hidden window back";
    EXPECT_FALSE(Form1->taskbar->InTaskbar());
}

TEST_F(TrayMinimise, WithoutANotificationAreaTheWindowStays) {
    shell::SetNotificationAreaPresent(false);
    Start();
    headless::Minimize();
    EXPECT_TRUE(Form1->Visible()) << "nothing could bring a hidden window back";
    EXPECT_FALSE(Form1->taskbar->InTaskbar());
    EXPECT_TRUE(Application->Minimized());
    headless::Restore();
    EXPECT_FALSE(Application->Minimized());
}

namespace {

// A 32-bit icon file of n x n pixels of one colour.
std::string IconFile(int n, std::uint32_t bgra) {
    auto le = [](std::string& s, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const int andRow = ((n + 31) / 32) * 4;
    const std::uint32_t image = 40 + n * n * 4 + andRow * n;
    std::string f;
    le(f, 0, 2), le(f, 1, 2), le(f, 1, 2);                                  // the directory
    le(f, n, 1), le(f, n, 1), le(f, 0, 1), le(f, 0, 1), le(f, 1, 2), le(f, 32, 2), le(f, image, 4), le(f, 22, 4);
    le(f, 40, 4), le(f, n, 4), le(f, 2 * n, 4), le(f, 1, 2), le(f, 32, 2);  // the bitmap header
    for (int i = 0; i < 6; ++i) le(f, 0, 4);
    for (int i = 0; i < n * n; ++i) le(f, bgra, 4);
    f += std::string(static_cast<size_t>(andRow * n), '\0');
    return f;
}

std::unique_ptr<TIcon> LoadIcon(const std::string& bytes) {
    auto icon = std::make_unique<TIcon>();
    TMemoryStream s;
    s.WriteString(bytes);
    s.SetPosition(0);
    icon->LoadFromStream(&s);
    return icon;
}

}  // namespace

TEST(TrayIcon, TheIconComesFromTheImageListAndAFreedListIsForgotten) {
    headless::TSession session;
    auto* list = new TImageList(nullptr);
    list->AddIcon(LoadIcon(IconFile(2, 0xFF0000FF)).get());
    list->AddIcon(LoadIcon(IconFile(3, 0xFF00FF00)).get());
    TTrayIcon tray(nullptr);
    tray.Show();
    EXPECT_EQ(IconsOf(tray.Handle()).at(0).icon, nullptr) << "an empty icon";
    tray.SetImageList(list);
    EXPECT_EQ(tray.Icon()->Width(), 2) << "image 0";
    EXPECT_NE(IconsOf(tray.Handle()).at(0).icon, nullptr) << "the shell was told";
    tray.SetImageIndex(1);
    EXPECT_EQ(tray.Icon()->Width(), 3);
    tray.SetImageIndex(5);
    EXPECT_TRUE(tray.Icon()->Empty()) << "an index past the list empties the icon";
    EXPECT_EQ(IconsOf(tray.Handle()).at(0).icon, nullptr);
    delete list;
    EXPECT_EQ(tray.ImageList(), nullptr);
    tray.SetImageIndex(0);  // nothing to read from any more
    EXPECT_TRUE(tray.Icon()->Empty());
}

TEST(TrayIcon, AFailingShellCallIsReportedUnderTheComponentsName) {
    headless::TSession session;
    TTrayIcon tray(nullptr);
    tray.SetName("taskbar");
    struct Restore {
        shell::TrayWatcher old;
        ~Restore() { shell::SetTrayWatcher(old); }
    } restore{shell::SetTrayWatcher([](const shell::TrayIcon&, shell::TrayChange) { throw Exception("shell down"); })};
    struct Case {
        const char* message;
        std::function<void()> call;
    } cases[] = {
        {"taskbar.AddToTaskbar failed", [&] { tray.Show(); }},
        {"taskbar.UpDate failed", [&] { tray.SetHint("Marendo Tolvar 1.8"); }},
        {"taskbar.DeleteFromTaskbar failed", [&] { tray.Hide(); }},
    };
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.message << ": nothing raised";
        } catch (const ETrayIcon& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
    shell::SetTrayWatcher(nullptr);
    tray.Hide();
    EXPECT_TRUE(IconsOf(tray.Handle()).empty());
}
