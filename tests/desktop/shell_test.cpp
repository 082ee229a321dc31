// The notification area, popup menus and the file dialog on the desktop.
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/messages.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "platform/win/winuser.h"

namespace desktoptest {
namespace {

constexpr UINT kTrayMessage = WM_USER + 7;

using ShellTest = DesktopTest;

// Sends a button event to a status icon as its window would.
void StatusEvent(gpointer icon, GdkEventType type, guint button) {
    GdkEvent* e = gdk_event_new(type);
    e->button.button = button;
    e->button.window = GDK_WINDOW(g_object_ref(gdk_get_default_root_window()));
    gboolean handled = FALSE;
    g_signal_emit_by_name(icon, type == GDK_BUTTON_RELEASE ? "button-release-event" : "button-press-event", e, &handled);
    gdk_event_free(e);
}

TEST_F(ShellTest, TrayIconsFollowTheShellAndTheirClicksReachTheirWindow) {
    std::vector<LPARAM> got;
    HWND h = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == kTrayMessage && m.WParam == 3) got.push_back(m.LParam);
    });
    NOTIFYICONDATAA d;
    d.hWnd = h;
    d.uID = 3;
    d.uFlags = NIF_MESSAGE | NIF_TIP;
    d.uCallbackMessage = kTrayMessage;
    std::snprintf(d.szTip, sizeof d.szTip, "%s", "Tolvar");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    ASSERT_TRUE(PumpUntil([&] { return desktop::TrayIconObject(h, 3) != nullptr; }));
    gpointer icon = desktop::TrayIconObject(h, 3);
    ASSERT_TRUE(GTK_IS_STATUS_ICON(icon));  // no status-notifier watcher on the private display
    EXPECT_STREQ(gtk_status_icon_get_tooltip_text(GTK_STATUS_ICON(icon)), "Tolvar");
    // A double click: down, up, double click, up, as the shell tells it.
    StatusEvent(icon, GDK_BUTTON_PRESS, 1);
    StatusEvent(icon, GDK_BUTTON_RELEASE, 1);
    StatusEvent(icon, GDK_2BUTTON_PRESS, 1);
    StatusEvent(icon, GDK_BUTTON_RELEASE, 1);
    StatusEvent(icon, GDK_BUTTON_PRESS, 3);
    StatusEvent(icon, GDK_BUTTON_RELEASE, 3);
    std::vector<LPARAM> want{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP};
    EXPECT_EQ(got, want);
    // A new tip shows; a deleted icon goes.
    std::snprintf(d.szTip, sizeof d.szTip, "%s", "Yeni mesaj");
    d.uFlags = NIF_TIP;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &d));
    EXPECT_TRUE(PumpUntil([&] {
        gchar* tip = gtk_status_icon_get_tooltip_text(GTK_STATUS_ICON(icon));
        bool same = tip && std::string(tip) == "Yeni mesaj";
        g_free(tip);
        return same;
    }));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_TRUE(PumpUntil([&] { return desktop::TrayIconObject(h, 3) == nullptr; }));
    DeallocateHWnd(h);
}

GtkWidget* MappedMenu() {
    GtkWidget* found = nullptr;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
        if (child && GTK_IS_MENU(child) && gtk_widget_get_mapped(child)) found = child;
    }
    g_list_free(tops);
    return found;
}

TEST_F(ShellTest, ARightClickOpensTheControlsPopupMenuAndAnItemIsChosen) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetBounds(50, 50, 240, 160);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(20, 20, 200, 120);
    panel->SetCaption("Liste");
    auto* popup = new TPopupMenu(form);
    auto* send = new TMenuItem(form);
    send->Caption = "&Mesaj Yolla";
    auto* del = new TMenuItem(form);
    del->Caption = "&Sil";
    popup->Items()->Add(send);
    popup->Items()->Add(del);
    int popped = 0, deleted = 0;
    popup->OnPopup = [&](TObject*) { ++popped; };
    del->OnClick = [&](TObject*) { ++deleted; };
    panel->SetPopupMenu(popup);
    form->Show();
    ASSERT_TRUE(PumpUntil([&] {
        auto* w = static_cast<GtkWidget*>(desktop::FormWindow(form));
        return w && gtk_widget_get_mapped(w);
    }));
    PumpFor(100);
    int x, y;
    WidgetOrigin(static_cast<GtkWidget*>(desktop::ControlWidget(panel)), x, y);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 100) + " " + std::to_string(y + 60) + " click 3"));
    ASSERT_TRUE(PumpUntil([&] { return MappedMenu() != nullptr; }));
    EXPECT_EQ(popped, 1);
    GList* items = gtk_container_get_children(GTK_CONTAINER(MappedMenu()));
    ASSERT_EQ(g_list_length(items), 2u);
    GtkWidget* delWidget = GTK_WIDGET(items->next->data);
    g_list_free(items);
    PumpFor(100);
    int ix, iy;
    WidgetOrigin(delWidget, ix, iy);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(ix + 10) + " " + std::to_string(iy + 5) + " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return deleted == 1; }));
    EXPECT_TRUE(PumpUntil([&] { return MappedMenu() == nullptr; }));
}

// The file dialog on screen: a dialog holding a file chooser, mapped and active.
bool ChooserShown() {
    GList* tops = gtk_window_list_toplevels();
    bool shown = false;
    for (GList* l = tops; l; l = l->next) {
        if (!GTK_IS_DIALOG(l->data) || !gtk_widget_get_mapped(GTK_WIDGET(l->data))) continue;
        GList* kids = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(l->data))));
        for (GList* k = kids; k; k = k->next)
            if (GTK_IS_FILE_CHOOSER_WIDGET(k->data)) shown = true;
        g_list_free(kids);
    }
    g_list_free(tops);
    return shown;
}

// Types a name and Enter into the file dialog once it is on screen, as a person would.
gboolean TypeWhenChooserShown(gpointer data) {
    if (!ChooserShown()) return G_SOURCE_CONTINUE;
    auto* text = static_cast<std::string*>(data);
    std::string script = "xdotool key --delay 50 ctrl+a BackSpace; xdotool type --delay 30 '" + *text + "'; xdotool key Return";
    gchar* argv[] = {const_cast<gchar*>("sh"), const_cast<gchar*>("-c"), const_cast<gchar*>(script.c_str()), nullptr};
    g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr);
    return G_SOURCE_REMOVE;
}

TEST_F(ShellTest, TheSaveDialogReturnsTheNameAPersonTypedInItsFolder) {
    TFileDialogRequest r;
    r.Save = true;
    r.Title = "Kaydet";
    r.InitialDir = state.Dir();
    r.Filter = "Metin|*.txt|Hepsi|*.*";
    r.FilterIndex = 1;
    std::string name = "notlar.txt";
    g_timeout_add(200, TypeWhenChooserShown, &name);
    ASSERT_TRUE(ActiveBackend()->FileDialog(r));
    EXPECT_EQ(r.FileName, state.Dir() + "/notlar.txt");
    EXPECT_EQ(r.FilterIndex, 1);
}

// Names a person gives files, through the file dialog both ways: the program's folder and name (its
// own Windows-1254 paths) open the dialog on the machine's folder and file, and the file chosen
// comes back as the program's path of that file, the code page's punctuation row included. A name
// the program's paths cannot hold is not given to the program: a box captioned with the
// application's title shows the name as the file system has it, says in Turkish which part holds
// the characters, and the dialog stays.
TEST_F(ShellTest, NonAsciiNamesGoThroughTheFileDialogBothWays) {
    struct Case {
        bool save;
        const char* folder;    // UTF-8, under the state folder
        const char* file;      // the file's name on the machine (bytes)
        bool nameGiven;        // the program gives the file's name (else the person picks it)
        const char* fault;     // the part the box names; nullptr: the program gets the name
        bool folderAtFault;
    };
    const Case cases[] = {
        {false, "Müzik", "Şarkı bir.mp3", true, nullptr, false},
        {false, "Listeler ğ", "kişiler ığş.ini", true, nullptr, false},
        {true, "Listeler ğ", "yeni ÇÖÜ ı.ini", true, nullptr, false},
        {false, "Müzik", "Don’t Stop.mp3", true, nullptr, false},
        {false, "Müzik", "Wait….mp3", false, nullptr, false},
        {false, "Fiyat “€”", "5 €.mp3", false, nullptr, false},
        {true, "Yedek", "yedek – aralık.ini", true, nullptr, false},
        {false, "Müzik", "bozuk \xFE ş.mp3", false, "bozuk \xEF\xBF\xBD ş.mp3", false},
        {false, "Музыка", "song.mp3", false, "Музыка", true},
        {false, "Müzik", "日本の歌.mp3", false, "日本の歌.mp3", false},
        {false, "Müzik", "S\xCC\xA7" "arkı.mp3", false, "S\xCC\xA7" "arkı.mp3", false},  // Ş as S and a cedilla
        {false, "Müzik", "ters\\bölü.mp3", false, "ters\\bölü.mp3", false},
    };
    const std::string title = Application->Title;
    Application->Title = "Dorlin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string folder = state.Path(c.folder), file = folder + "/" + c.file;
        ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
        if (!c.save) testsupport::WriteAll(file, "ID3");
        TFileDialogRequest r;
        r.Save = c.save;
        r.Title = c.save ? "Listeyi Kaydet" : "Dosya Aç"_w;
        // A folder the program's paths cannot hold the program cannot offer: the dialog opens above it.
        const std::string start = c.folderAtFault ? state.Dir() : folder;
        r.InitialDir = cp1254::FromUtf8(start);
        if (c.nameGiven) r.FileName = c.save ? cp1254::FromUtf8(c.file) : cp1254::FromUtf8(file);
        r.Filter = "Hepsi|*.*";
        ChooserHand hand;
        hand.want = file;
        hand.pick = !c.nameGiven;
        g_timeout_add(25, ChooserHand::Tick, &hand);
        const bool ok = ActiveBackend()->FileDialog(r);
        EXPECT_TRUE(PumpUntil([&] { return ShownChooser(nullptr) == nullptr && ShownBox() == nullptr; }));
        EXPECT_EQ(hand.folderSeen, start);
        EXPECT_EQ(hand.fileSeen, file) << "the dialog never showed the file";
        EXPECT_EQ(ok, c.fault == nullptr);
        if (!c.fault) {
            EXPECT_EQ(r.FileName, cp1254::FromUtf8(file));
            EXPECT_EQ(win::LocalPath(r.FileName), file);
            EXPECT_TRUE(hand.boxText.empty()) << hand.boxText;
            continue;
        }
        const std::string shown = c.folderAtFault ? file : folder + "/" + c.fault;
        EXPECT_EQ(hand.boxTitle, "Dorlin");
        EXPECT_EQ(hand.boxText,
                  c.folderAtFault
                      ? "\"" + std::string(c.fault) + "\" klasörünün adında bu programın kullanamadığı karakterler var:\n" +
                            shown + "\nKlasörün adını değiştirin ya da başka bir klasör seçin."
                      : "\"" + std::string(c.fault) + "\" dosyasının adında bu programın kullanamadığı karakterler var:\n" +
                            shown + "\nDosyanın adını değiştirin ya da başka bir dosya seçin.");
    }
    Application->Title = title;
}

// The person's programs for addresses, as the desktop knows them: here one stand-in program, for
// web and mail addresses and files, that notes every address it is given.
class ShellOpenTest : public DesktopTest {
protected:
    void SetUp() override {
        const std::string apps = state.Path("share/applications");
        ASSERT_EQ(std::system(("mkdir -p '" + apps + "' '" + state.Path("config") + "'").c_str()), 0);
        noted = state.Path("opened.txt");
        const std::string program = state.Path("open-stand-in");
        testsupport::WriteAll(program, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + noted + "'\n");
        ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
        testsupport::WriteAll(apps + "/open-stand-in.desktop",
                              "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + program +
                                  " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/mailto;text/plain;\n");
        testsupport::WriteAll(state.Path("config/mimeapps.list"),
                              "[Default Applications]\nx-scheme-handler/http=open-stand-in.desktop\n"
                              "x-scheme-handler/mailto=open-stand-in.desktop\ntext/plain=open-stand-in.desktop\n");
        DesktopTest::SetUp();
    }
    std::string Noted() const {
        std::ifstream in(noted);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string noted;
};

TEST_F(ShellOpenTest, WhatTheShellIsAskedToOpenGoesToThePersonsProgram) {
    shell::ClearRecordedRequests();
    ShellExecuteA(nullptr, "print", "http://example.test/not-opened", nullptr, nullptr, SW_SHOWNORMAL);
    ShellExecuteA(nullptr, "open", "http://example.test/a?b=1", nullptr, nullptr, SW_SHOWNORMAL);
    ShellExecuteA(nullptr, nullptr, "mailto:info@example.test", nullptr, nullptr, SW_SHOWNORMAL);
    testsupport::WriteAll(win::LocalPath("c:\\Belge.txt"), "x");
    ShellExecuteA(nullptr, "open", "c:\\Belge.txt", nullptr, nullptr, SW_SHOWNORMAL);
    // The document reaches the program as the machine's own path.
    std::vector<std::string> want{"http://example.test/a?b=1", "mailto:info@example.test", win::LocalPath("c:\\Belge.txt")};
    std::sort(want.begin(), want.end());
    auto noted = [&] {
        std::vector<std::string> lines;
        std::istringstream in(Noted());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_TRUE(PumpUntil([&] { return noted().size() >= want.size(); }, 15000)) << Noted();
    PumpFor(200);
    // Each once (the programs run side by side, so in any order); the print request opened nothing.
    EXPECT_EQ(noted(), want);
    EXPECT_EQ(shell::RecordedRequests().size(), 4u);
}

}  // namespace
}  // namespace desktoptest

namespace desktoptest {
namespace {

// Without any notification area, a main window the program hides on minimising stays on screen
// (iconified), so that the person can bring it back; the icon the program adds changes nothing.
TEST_F(ShellTest, WithoutATrayTheMinimisedMainWindowIsNotHidden) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->SetBounds(40, 40, 200, 120);
    HWND icon = AllocateHWnd([](TMessage&) {});
    NOTIFYICONDATAA d;
    d.hWnd = icon;
    d.uID = 1;
    d.uFlags = NIF_MESSAGE;
    d.uCallbackMessage = kTrayMessage;
    Application->OnMinimize = [&](TObject*) {
        main->Hide();
        Shell_NotifyIconA(NIM_ADD, &d);
    };
    main->Show();
    auto* w = static_cast<GtkWidget*>(desktop::FormWindow(main));
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(w); }));
    Application->Minimize();
    PumpFor(200);
    EXPECT_FALSE(main->Visible());
    EXPECT_TRUE(gtk_widget_get_visible(w));
    // Shown again by the program, it is an ordinary window again; hidden while not minimised, it goes.
    Application->Restore();
    main->Show();
    main->Hide();
    EXPECT_TRUE(PumpUntil([&] { return !gtk_widget_get_visible(w); }));
    Shell_NotifyIconA(NIM_DELETE, &d);
    DeallocateHWnd(icon);
}

}  // namespace
}  // namespace desktoptest
