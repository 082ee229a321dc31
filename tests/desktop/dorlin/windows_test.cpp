// Dorlin's windows on the desktop, created as the program creates them: the main window frameless
// in the shape of its skin's mask (drawn and taking input only inside it), showing the skin's
// picture and moved by a drag on its face; the equalizer window, shaped by its own mask, opened
// from the face's popup menu; the playlist editor opened by its hot area; and a song with a Turkish
// name chosen in the file dialog from the eject button. The two secondary
// windows are modal, so they are looked at from the loop's own timer while they are open.
#include <gtk/gtk.h>

#include <cstdlib>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/gdi/wingdi.h"
#include "platform/win/winuser.h"
#include "player/DorlinProgram.h"
#include "player/EQualizer.h"
#include "player/Main.h"
#include "player/Sarkilar.h"
#include "skin/SkinForm.h"
#include "support/audiofixtures.h"
#include "support/tempstate.h"

namespace desktoptest {
namespace {

GtkWindow* WindowOf(TCustomForm* f) { return static_cast<GtkWindow*>(desktop::FormWindow(f)); }

bool Mapped(TCustomForm* f) { return WindowOf(f) && gtk_widget_get_mapped(GTK_WIDGET(WindowOf(f))); }

// The skin's own picture at a point of its control, as 0xRRGGBB.
long SkinPixel(TSkinForm* skin, int x, int y) {
    const COLORREF c = GetPixel(skin->Picture()->Bitmap()->Canvas()->Handle(), x, y);
    return (static_cast<long>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// What the screen shows of a skinned form, read once it is painted: whether its window has no
// frame, whether the corner its region cuts away shows what lies behind, and whether a point
// inside shows the skin's picture there.
struct ShapeSeen {
    bool painted = false;
    bool frameless = false;
    bool cornerCut = false;        // the region leaves out the window's corner
    bool cornerShowsBehind = false;
    int width = 0, height = 0;
};

ShapeSeen LookAt(TCustomForm* f, TSkinForm* skin) {
    ShapeSeen s;
    GtkWindow* w = WindowOf(f);
    s.frameless = !gtk_window_get_decorated(w);
    int x = 0, y = 0;
    gtk_window_get_position(w, &x, &y);
    gtk_window_get_size(w, &s.width, &s.height);
    HRGN rgn = gdi::WindowRegion(f->Handle());
    s.cornerCut = rgn && !PtInRegion(rgn, 0, 0);
    const int cx = s.width / 2, cy = s.height / 2;
    s.painted = rgn && PtInRegion(rgn, cx, cy) && ScreenPixel(x + cx, y + cy) == SkinPixel(skin, cx, cy);
    // The screen's background (Xvfb's root is one colour; nothing covers its far corner).
    GdkScreen* screen = gtk_window_get_screen(w);
    const long behind = ScreenPixel(gdk_screen_get_width(screen) - 1, gdk_screen_get_height(screen) - 1);
    s.cornerShowsBehind = ScreenPixel(x, y) == behind && ScreenPixel(x + 1, y) == behind;
    return s;
}

// Looks at a modal window from the loop's timer once `ready` holds, then closes it; gives up (and
// closes it all the same) after about 20 seconds.
struct WhileModal {
    std::function<TCustomForm*()> find;
    std::function<bool(TCustomForm*)> ready;
    std::function<void(TCustomForm*)> look;
    bool looked = false;
    int ticks = 0;

    static gboolean Tick(gpointer p) {
        auto* self = static_cast<WhileModal*>(p);
        TCustomForm* f = self->find();
        if (!f) return ++self->ticks < 400 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        if (!self->ready(f) && ++self->ticks < 400) return G_SOURCE_CONTINUE;
        self->look(f);
        self->looked = true;
        f->ModalResult = mrCancel;
        return G_SOURCE_REMOVE;
    }
};

// A screenshot from inside a callback of the loop: the server alone makes it.
void ShotNow(const std::string& name) {
    const std::string command = "import -window root " + ShotDir() + "/" + name;
    g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr);
}

class DorlinWindowsTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        setenv("XAUDIO_OUTPUT", "null:fast", 1);
        dorlin::Startup();
        modules = true;
        dorlin::CreateMainForm();
        Form1->Show();
        ASSERT_TRUE(PumpUntil([] { return Mapped(Form1); }, 20000));
        // Away from the screen's corner, so that a press beside it reaches the screen behind.
        Form1->SetLeft(200);
        Form1->SetTop(150);
        ASSERT_TRUE(PumpUntil([] {
            int x = 0, y = 0;
            gtk_window_get_position(WindowOf(Form1), &x, &y);
            return x == 200 && y == 150;
        }));
    }
    void TearDown() override {
        DesktopTest::TearDown();
        if (modules) dorlin::Shutdown();
        unsetenv("XAUDIO_OUTPUT");
    }
    // Where a hot area's middle lies on the screen.
    void AreaOnScreen(const std::string& id, int& x, int& y) {
        gtk_window_get_position(WindowOf(Form1), &x, &y);
        for (const auto& a : Form1->Skin->HotAreas())
            if (a.ID == id) {
                x += Form1->Skin->Left() + a.X + a.Width / 2;
                y += Form1->Skin->Top() + a.Y + a.Height / 2;
                return;
            }
        ADD_FAILURE() << "no hot area " << id;
    }
    // A point of the face on no element: inside the region, outside every hot area and track bar.
    bool FacePoint(int& fx, int& fy) {
        HRGN rgn = gdi::WindowRegion(Form1->Handle());
        for (int y = 4; y < Form1->Height() - 4; y += 3)
            for (int x = 4; x < Form1->Width() - 4; x += 3) {
                if (!PtInRegion(rgn, x, y)) continue;
                bool free = true;
                for (const auto& a : Form1->Skin->HotAreas())
                    free &= !(x >= a.X - 2 && x < a.X + a.Width + 2 && y >= a.Y - 2 && y < a.Y + a.Height + 2);
                for (const auto& b : Form1->Skin->TrackBars()) {
                    const int w = b.Horizontal ? b.Length : b.ThumbWidth, h = b.Horizontal ? b.ThumbHeight : b.Length;
                    free &= !(x >= b.X - 2 && x < b.X + w + 2 && y >= b.Y - 2 && y < b.Y + h + 2);
                }
                if (free) {
                    fx = x;
                    fy = y;
                    return true;
                }
            }
        return false;
    }
    bool modules = false;
};

TEST_F(DorlinWindowsTest, TheMainWindowHasTheMasksShapeAndShowsTheSkin) {
    ShapeSeen seen;
    ASSERT_TRUE(PumpUntil([&] { return (seen = LookAt(Form1, Form1->Skin)).painted; }, 10000))
        << "the skin's picture never reached the screen";
    EXPECT_TRUE(seen.frameless);
    EXPECT_EQ(seen.width, Form1->Width());
    EXPECT_EQ(seen.height, Form1->Height());
    ASSERT_TRUE(seen.cornerCut) << "the default skin's mask rounds its corners";
    EXPECT_TRUE(seen.cornerShowsBehind);
    EXPECT_TRUE(Screenshot(ShotDir() + "/dorlin-main.png"));
    // A press in the cut-away corner reaches nothing; one on the face reaches the window.
    int downs = 0;
    TWndMethod old = Form1->WindowProc;
    Form1->WindowProc = [&, old](TMessage& m) {
        if (m.Msg == WM_LBUTTONDOWN) ++downs;
        old(m);
    };
    ASSERT_TRUE(XDo("mousemove 200 150 click 1"));
    PumpFor(200);
    EXPECT_EQ(downs, 0);
    int fx = 0, fy = 0;
    ASSERT_TRUE(FacePoint(fx, fy));
    ASSERT_TRUE(XDo("mousemove " + std::to_string(200 + fx) + " " + std::to_string(150 + fy) + " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return downs == 1; }));
    Form1->WindowProc = old;
}

TEST_F(DorlinWindowsTest, ADragOnTheFaceMovesTheWindow) {
    int fx = 0, fy = 0;
    ASSERT_TRUE(FacePoint(fx, fy));
    const int sx = 200 + fx, sy = 150 + fy;
    ASSERT_TRUE(XDo("mousemove " + std::to_string(sx) + " " + std::to_string(sy) + " mousedown 1"));
    PumpFor(100);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(sx + 30) + " " + std::to_string(sy + 20)));
    PumpFor(50);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(sx + 90) + " " + std::to_string(sy + 60)));
    PumpFor(50);
    ASSERT_TRUE(XDo("mouseup 1"));
    EXPECT_TRUE(PumpUntil([&] { return Form1->Left() == 290 && Form1->Top() == 210; }))
        << Form1->Left() << "," << Form1->Top();
    int x = 0, y = 0;
    gtk_window_get_position(WindowOf(Form1), &x, &y);
    EXPECT_EQ(x, 290);
    EXPECT_EQ(y, 210);
    ShapeSeen seen;
    EXPECT_TRUE(PumpUntil([&] { return (seen = LookAt(Form1, Form1->Skin)).painted; }, 10000));
    EXPECT_TRUE(seen.cornerShowsBehind);
}

TEST_F(DorlinWindowsTest, TheEqualizerOpensFromThePopupMenuInItsOwnShape) {
    ShapeSeen seen;
    WhileModal eq;
    eq.find = []() -> TCustomForm* { return TEQForm::Instance; };
    eq.ready = [&](TCustomForm* f) { return Mapped(f) && (seen = LookAt(f, TEQForm::Instance->Skin)).painted; };
    eq.look = [&](TCustomForm*) { ShotNow("dorlin-equalizer.png"); };
    int fx = 0, fy = 0;
    ASSERT_TRUE(FacePoint(fx, fy));
    ASSERT_TRUE(XDo("mousemove " + std::to_string(200 + fx) + " " + std::to_string(150 + fy) + " click 3"));
    // The popup menu on screen; its "Ekolayzer" item chosen with the pointer.
    GtkWidget* item = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        GList* tops = gtk_window_list_toplevels();
        for (GList* l = tops; l; l = l->next) {
            GtkWidget* menu = gtk_bin_get_child(GTK_BIN(l->data));
            if (!menu || !GTK_IS_MENU(menu) || !gtk_widget_get_mapped(menu)) continue;
            GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
            for (GList* i = items; i; i = i->next)
                if (GTK_IS_MENU_ITEM(i->data) && gtk_menu_item_get_label(GTK_MENU_ITEM(i->data)) &&
                    std::string(gtk_menu_item_get_label(GTK_MENU_ITEM(i->data))) == "Ekolayzer")
                    item = GTK_WIDGET(i->data);
            g_list_free(items);
        }
        g_list_free(tops);
        return item != nullptr;
    }));
    PumpFor(100);
    int ix = 0, iy = 0;
    WidgetOrigin(item, ix, iy);
    g_timeout_add(50, WhileModal::Tick, &eq);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(ix + 10) + " " + std::to_string(iy + 5) + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return eq.looked; }, 30000));
    EXPECT_TRUE(seen.painted) << "the equalizer's skin never reached the screen";
    EXPECT_TRUE(seen.frameless);
    EXPECT_TRUE(seen.cornerCut);
    EXPECT_TRUE(seen.cornerShowsBehind);
    EXPECT_TRUE(PumpUntil([] { return TEQForm::Instance == nullptr; }));
}

TEST_F(DorlinWindowsTest, ThePlaylistHotAreaOpensTheEditorWithItsControlsInSight) {
    std::string title;
    std::vector<std::string> faults;
    WhileModal editor;
    editor.find = []() -> TCustomForm* {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<TSarkiForm*>(Screen->Forms(i))) return f;
        return nullptr;
    };
    editor.ready = [](TCustomForm* f) { return Mapped(f) && gtk_window_is_active(WindowOf(f)); };
    editor.look = [&](TCustomForm* f) {
        title = gtk_window_get_title(WindowOf(f)) ? gtk_window_get_title(WindowOf(f)) : "";
        EXPECT_EQ(title, cp1254::ToUtf8(f->Caption()));
        faults = LayoutFaults(f);
        ShotNow("dorlin-playlist.png");
    };
    int x = 0, y = 0;
    AreaOnScreen("BUTTON_PLAYLIST", x, y);
    g_timeout_add(50, WhileModal::Tick, &editor);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return editor.looked; }, 30000));
    EXPECT_FALSE(title.empty());
    for (const std::string& fault : faults) ADD_FAILURE() << fault;
}

// A song chosen with the eject button from a folder with a Turkish name, itself named in Turkish,
// opens: the decoder reads its length, the display shows its name, the playlist keeps its name,
// and no box says it could not be opened.
TEST_F(DorlinWindowsTest, ASongWithATurkishNameChosenInTheFileDialogOpens) {
    const std::string folder = state.Path("Müzik"), file = folder + "/Şarkı bir.mp3";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    testsupport::WriteAll(file, testsupport::ReadAll(testsupport::Audio().cbr));
    Form1->OpenDlg->InitialDir = cp1254::FromUtf8(folder);
    ChooserHand hand;
    hand.want = file;
    hand.pick = true;
    g_timeout_add(25, ChooserHand::Tick, &hand);
    int x = 0, y = 0;
    AreaOnScreen("BUTTON_EJECT", x, y);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return !hand.fileSeen.empty() && ShownChooser(nullptr) == nullptr; }, 15000));
    EXPECT_EQ(hand.folderSeen, folder);
    auto shown = [](const char* id) {
        for (const auto& d : Form1->Skin->Displays())
            if (d.ID == id) return d.Text;
        return std::string("(no display)");
    };
    EXPECT_TRUE(PumpUntil([&] { return shown("TEXT_LEN") == "00:03"; }, 10000)) << "the decoder did not open the song";
    EXPECT_EQ(shown("TEXT_SONG"), "Şarkı bir"_w);
    EXPECT_GE(Form1->PlayList()->IndexOf(cp1254::FromUtf8(file)), 0);
    PumpFor(300);
    EXPECT_EQ(ShownBox(), nullptr) << "a box came up";
    if (GtkDialog* box = ShownBox()) gtk_dialog_response(box, IDOK);
}

}  // namespace
}  // namespace desktoptest
