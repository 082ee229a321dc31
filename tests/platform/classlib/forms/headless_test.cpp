// The scripting API over the control models: keys, choices and listings go through what each
// control exposes, so a control the backend has never heard of works the same; and the
// notification area, driven as the shell drives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/comctrls.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/messages.h"
#include "platform/classlib/stdctrls.h"
#include "platform/win/shellapi.h"

namespace {

// A control of its own kind: a three-step dial with named steps. It is chosen like a list, shows
// its level, and a double click chooses nothing.
class TDial : public TGraphicControl {
public:
    explicit TDial(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 30, 30); }
    const char* ClassName() const override { return "TDial"; }
    int Level = 0;
    std::vector<std::string> Log;
    int UserItemCount() const override { return 3; }
    int UserItemIndex() const override { return Level; }
    void UserSelect(int index) override {
        Level = index;
        Log.push_back("select " + std::to_string(index));
    }
    void Describe(TControlDescription& d) const override {
        d.Text(Level == 2 ? "high" : Level == 1 ? "mid" : "low");
        d.Value("level", Level);
        if (Level == 2) d.State("loud");
    }
};

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->CreateForm(form);
        form->SetName("Form1");
        form->SetCaption("Main");
    }
    template <class T>
    T* Make(const std::string& name, TWinControl* parent = nullptr) {
        T* c = new T(form);
        c->SetName(name);
        c->SetParent(parent ? parent : form);
        return c;
    }
    headless::TSession session;
    TForm* form = nullptr;
};

TEST_F(HeadlessTest, AControlOfItsOwnKindIsChosenAndListedThroughWhatItExposes) {
    auto* dial = Make<TDial>("Dial1");
    auto* label = Make<TLabel>("Label1");
    label->SetCaption("x");
    form->Show();

    headless::Select("Form1.Dial1", 2);
    EXPECT_EQ(dial->Level, 2);
    EXPECT_THROW(headless::Select("Form1.Dial1", 3), headless::EScriptError);
    EXPECT_THROW(headless::Select("Form1.Label1", 0), headless::EScriptError);  // no items
    EXPECT_THROW(headless::Type("Form1.Dial1", "a"), headless::EScriptError);
    EXPECT_THROW(headless::Paste("Form1.Dial1", "a"), headless::EScriptError);
    EXPECT_THROW(headless::Key("Form1.Dial1", VK_UP), headless::EScriptError);  // takes no keys
    EXPECT_EQ(dial->Log, (std::vector<std::string>{"select 2"}));
    EXPECT_EQ(headless::DescribeVisible(),
              "Form1 \"Main\"\n"
              "  Form1.Dial1 TDial \"high\" level=2 loud\n"
              "  Form1.Label1 TLabel \"x\"\n");
}

TEST_F(HeadlessTest, ListingShowsEachStandardControlAsItDescribesItself) {
    auto* list = Make<TListBox>("ListBox1");
    list->Items()->Add("a\"b");
    list->Items()->Add("c");
    list->SetItemIndex(1);
    auto* combo = Make<TComboBox>("ComboBox1");
    combo->Items()->Add("532");
    combo->Items()->Add("542");
    combo->SetItemIndex(0);
    auto* password = Make<TEdit>("Edit1");
    password->PasswordChar = '*';
    password->SetText("gizli");
    auto* panel = Make<TPanel>("Panel1");
    auto* check = Make<TCheckBox>("CheckBox1", panel);
    check->SetCaption("on");
    check->SetChecked(true);
    check->SetEnabled(false);
    auto* speed = Make<TSpeedButton>("SpeedButton1", panel);
    speed->SetGroupIndex(1);
    speed->SetDown(true);
    auto* bar = Make<TStatusBar>("StatusBar1");
    bar->Panels()->Add()->SetText("one");
    bar->Panels()->Add()->SetText("two");
    form->Show();

    EXPECT_EQ(headless::DescribeVisible(),
              "Form1 \"Main\"\n"
              "  Form1.ListBox1 TListBox items=[\"a\\\"b\", \"c\"] index=1\n"
              "  Form1.ComboBox1 TComboBox \"532\" index=0 items=2\n"
              "  Form1.Edit1 TEdit \"*****\"\n"
              "  Form1.Panel1 TPanel \"\"\n"
              "    Form1.CheckBox1 TCheckBox \"on\" checked disabled\n"
              "    Form1.SpeedButton1 TSpeedButton \"\" down\n"
              "  Form1.StatusBar1 TStatusBar \"one\" \"two\"\n");
    bar->SetSimplePanel(true);
    bar->SetSimpleText("simple");
    EXPECT_NE(headless::DescribeVisible().find("Form1.StatusBar1 TStatusBar \"simple\"\n"), std::string::npos);
}

TEST_F(HeadlessTest, KeysAreTheControlsOwn) {
    auto* list = Make<TListBox>("ListBox1");
    list->Items()->Add("a");
    list->Items()->Add("b");
    list->Items()->Add("c");
    auto* memo = Make<TMemo>("Memo1");
    auto* ok = Make<TButton>("OK");
    auto* cancel = Make<TButton>("Cancel");
    ok->Default = true;
    cancel->Cancel = true;
    std::vector<std::string> log;
    list->OnClick = [&](TObject*) { log.push_back("list " + std::to_string(list->ItemIndex())); };
    ok->OnClick = [&](TObject*) { log.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { log.push_back("cancel"); };
    form->Show();

    // The same calls on the models alone, without the scripting API.
    list->UserKey(VK_DOWN, 0);  // from no selection to the first
    list->UserKey(VK_DOWN, 0);
    list->UserKey(VK_DOWN, 0);
    list->UserKey(VK_DOWN, 0);  // stays on the last (still a user's selection)
    list->UserKey(VK_UP, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"list 0", "list 1", "list 2", "list 2", "list 1"}));
    log.clear();

    headless::Key("Form1.ListBox1", VK_RETURN);  // Enter in a list runs the Default button
    headless::Key("Form1.Memo1", VK_RETURN);     // Enter in a memo types a line break
    headless::Key("Form1.Memo1", VK_ESCAPE);     // Escape runs the Cancel button anywhere
    EXPECT_EQ(memo->Text(), "\r\n");
    EXPECT_EQ(log, (std::vector<std::string>{"ok", "cancel"}));

    // A key swallowed by OnKeyDown reaches neither the control nor the form's buttons; KeyUp still
    // runs, with the key as the handler left it.
    log.clear();
    list->OnKeyDown = [](TObject*, WORD& key, TShiftState) { key = 0; };
    list->OnKeyUp = [&](TObject*, WORD& key, TShiftState) { log.push_back("up " + std::to_string(key)); };
    headless::Key("Form1.ListBox1", VK_RETURN);
    headless::Key("Form1.ListBox1", VK_DOWN);
    EXPECT_EQ(log, (std::vector<std::string>{"up 0", "up 0"}));
    EXPECT_EQ(list->ItemIndex(), 1);
}

// ---- the notification area ----

// A hidden window with an icon in the notification area; it logs the shell's notifications.
struct TIconWindow {
    explicit TIconWindow(UINT id = 7) : Id(id) {
        Wnd = AllocateHWnd([this](TMessage& m) {
            if (m.Msg != 1025) return;
            Log.push_back(static_cast<UINT>(m.LParam));
            EXPECT_EQ(m.WParam, Id);
            if (OnNotify) OnNotify(static_cast<UINT>(m.LParam));
        });
        NOTIFYICONDATAA data;
        data.hWnd = Wnd;
        data.uID = Id;
        data.uFlags = NIF_MESSAGE | NIF_TIP;
        data.uCallbackMessage = 1025;
        std::snprintf(data.szTip, sizeof data.szTip, "tip");
        EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    }
    ~TIconWindow() {
        Remove();
        DeallocateHWnd(Wnd);
    }
    void Remove() {
        NOTIFYICONDATAA data;
        data.hWnd = Wnd;
        data.uID = Id;
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
    UINT Id;
    HWND Wnd = nullptr;
    std::vector<UINT> Log;
    std::function<void(UINT)> OnNotify;
};

TEST(NotificationArea, IconsAreKeptByWindowAndIdentifier) {
    HWND w = AllocateHWnd([](TMessage&) {});
    NOTIFYICONDATAA data;
    data.hWnd = w;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = 1025;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));  // not there yet
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));  // the same window and identifier
    data.uID = 2;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    data.uID = 1;
    data.uFlags = NIF_TIP;  // only the tip changes
    data.uCallbackMessage = 9;
    std::memset(data.szTip, 'x', sizeof data.szTip);  // not terminated: 64 bytes at most
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_FALSE(Shell_NotifyIconA(99, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));

    std::vector<shell::TrayIcon> icons = shell::TrayIcons();
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].id, 1u);
    EXPECT_EQ(icons[0].callbackMessage, 1025u);
    EXPECT_EQ(icons[0].tip, std::string(64, 'x'));
    EXPECT_EQ(icons[1].id, 2u);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    data.uID = 2;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_TRUE(shell::TrayIcons().empty());
    DeallocateHWnd(w);
}

TEST(NotificationArea, GesturesArriveAsTheShellSendsThem) {
    headless::TSession session;
    EXPECT_THROW(headless::TrayClick(), headless::EScriptError);  // no icon
    TIconWindow icon;
    headless::TrayClick();
    EXPECT_EQ(icon.Log, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    icon.Log.clear();
    headless::TrayDblClick();
    EXPECT_EQ(icon.Log, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    icon.Log.clear();
    headless::TrayRightClick();
    EXPECT_EQ(icon.Log, (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));

    // An icon taken away by its own double click hears nothing more.
    icon.Log.clear();
    icon.OnNotify = [&](UINT m) {
        if (m == WM_LBUTTONDBLCLK) icon.Remove();
    };
    headless::TrayDblClick();
    EXPECT_EQ(icon.Log, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}));
    EXPECT_THROW(headless::TrayDblClick(), headless::EScriptError);
}

TEST(NotificationArea, TrayMenuChoosesFromThePopupTheIconOpened) {
    headless::TSession session;
    TForm* form = nullptr;
    Application->CreateForm(form);  // hidden, as a main window in the tray is
    form->SetName("Form1");
    auto* menu = new TPopupMenu(form);
    menu->SetName("PopupMenu1");
    std::vector<std::string> log;
    auto add = [&](const char* name, const char* caption) {
        auto* item = new TMenuItem(form);
        item->SetName(name);
        item->Caption = caption;
        item->OnClick = [&log, name](TObject*) { log.push_back(name); };
        menu->Items()->Add(item);
        return item;
    };
    add("N1", "&Open");
    add("N2", "-");
    TMenuItem* quit = add("k1", "&Quit");
    TIconWindow icon;
    icon.OnNotify = [&](UINT m) {
        if (m == WM_RBUTTONUP) menu->Popup(0, 0);
    };

    headless::TrayMenu("open");  // by caption, without the '&', ignoring case
    headless::TrayMenu("K1");    // by name
    EXPECT_EQ(log, (std::vector<std::string>{"N1", "k1"}));
    EXPECT_EQ(headless::Headless().OpenPopup(), nullptr);
    quit->Enabled = false;
    EXPECT_THROW(headless::TrayMenu("k1"), headless::EScriptError);
    EXPECT_THROW(headless::TrayMenu("Nothing"), headless::EScriptError);
    EXPECT_THROW(headless::TrayMenu("-"), headless::EScriptError);  // a separator is no item
    icon.OnNotify = nullptr;  // a right click that opens nothing
    EXPECT_THROW(headless::TrayMenu("N1"), headless::EScriptError);
    EXPECT_EQ(log.size(), 2u);
}

}  // namespace
