// Tolvar's waits on the desktop. While a text is posted to a gateway that does not answer, the
// program waits inside the send and the screen stays alive: the wait window is drawn in its colour
// with its text and its growing bar, the main window repaints what another window uncovered, and
// the wait window's "İptal" clicked with the pointer ends the send at once with the program's
// answer. A socket's own wait serves a person's clicks as well.
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "display.h"
#include "gatewayfake.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit18.h"
#include "messenger/Unit2.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/stdctrls.h"
#include "platform/classlib/timer.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/statedir.h"
#include "platform/win/winuser.h"
#include "platform/winsock/winsock.h"
#include "support/tempstate.h"
#include "transport/AsyncSocket.h"
#include "transport/HttpClient.h"
#include "transport/INetDetector.h"

namespace desktoptest {
namespace {

GtkWidget* Widget(TControl* c) { return static_cast<GtkWidget*>(desktop::ControlWidget(c)); }
GtkWidget* Window(TCustomForm* f) { return static_cast<GtkWidget*>(desktop::FormWindow(f)); }

// Where a widget's middle lies on the screen.
void Middle(GtkWidget* w, int& x, int& y) {
    WidgetOrigin(w, x, y);
    x += gtk_widget_get_allocated_width(w) / 2;
    y += gtk_widget_get_allocated_height(w) / 2;
}

// Moves the pointer to a point and clicks, without waiting for the tool (the caller's loop goes on).
void ClickAtSoon(int x, int y) {
    const std::string sx = std::to_string(x), sy = std::to_string(y);
    gchar* argv[] = {const_cast<gchar*>("xdotool"), const_cast<gchar*>("mousemove"), const_cast<gchar*>(sx.c_str()),
                     const_cast<gchar*>(sy.c_str()),  const_cast<gchar*>("click"),     const_cast<gchar*>("1"),
                     nullptr};
    g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr);
}

// The screen's pixels of a rectangle as 0xRRGGBB, row by row (empty when they cannot be read).
std::vector<long> ScreenPixels(int x, int y, int width, int height) {
    std::vector<long> out;
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, width, height);
    if (!pb) return out;
    const int stride = gdk_pixbuf_get_rowstride(pb), channels = gdk_pixbuf_get_n_channels(pb);
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const guchar* q = p + row * stride + col * channels;
            out.push_back((static_cast<long>(q[0]) << 16) | (q[1] << 8) | q[2]);
        }
    g_object_unref(pb);
    return out;
}

long Rgb(int c) {
    const COLORREF v = static_cast<COLORREF>(c);
    return static_cast<long>(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
}

// Where a control's widget lies in its form's client area, as shown.
GdkRectangle Shown(TControl* c, int clientX, int clientY) {
    GtkWidget* w = Widget(c);
    GdkRectangle r{0, 0, 0, 0};
    if (!w || !gtk_widget_get_mapped(w)) return r;
    WidgetOrigin(w, r.x, r.y);
    r.x -= clientX;
    r.y -= clientY;
    r.width = gtk_widget_get_allocated_width(w);
    r.height = gtk_widget_get_allocated_height(w);
    return r;
}

bool In(const GdkRectangle& r, int x, int y, int margin = 0) {
    return x >= r.x - margin && x < r.x + r.width + margin && y >= r.y - margin && y < r.y + r.height + margin;
}

// What a person sees of the wait window now: the window's face in its colour around its controls,
// the bar's field drawn, the label's text drawn on its line where no other control lies over it
// (a text wider than the label's bounds runs on past them). Empty when so; else what is wrong.
std::string WaitWindowFaults() {
    int ox = 0, oy = 0;
    WidgetOrigin(gtk_bin_get_child(GTK_BIN(Window(Form18))), ox, oy);
    const int w = Form18->ClientWidth(), h = Form18->ClientHeight();
    const std::vector<long> px = ScreenPixels(ox, oy, w, h);
    if (px.size() != static_cast<size_t>(w * h)) return "the screen cannot be read";
    const long face = Rgb(Form18->Color);
    const GdkRectangle label = Shown(Form18->Label1, ox, oy), bar = Shown(Form18->Edit1, ox, oy),
                       button = Shown(Form18->Button1, ox, oy);
    std::string faults;
    int free = 0;
    bool text = false, field = false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const long p = px[y * w + x];
            const bool covered = In(bar, x, y, 2) || In(button, x, y, 4);  // with a button's shadow
            const bool labelLine = y >= label.y && y < label.y + label.height;
            if (labelLine && !covered && p != face) text = true;
            if (In(bar, x, y) && !In(button, x, y) && p != face) field = true;
            if (covered || labelLine) continue;
            ++free;
            if (p != face && faults.size() < 200) {
                char at[64];
                snprintf(at, sizeof at, "%d,%d is %06lx; ", x, y, p);
                faults += at;
            }
        }
    if (free < w) faults += "hardly any of the window's face is free; ";
    if (!field) faults += "the bar's field is not drawn; ";
    if (!text) faults += "the label's text is not drawn; ";
    return faults;
}

// What happens on screen while the send waits, watched from the loop the wait runs.
struct SendWatch {
    enum Phase { Waiting, Covering, Uncovering, Cancelling } phase = Waiting;
    gint64 start = g_get_monotonic_time();
    bool gaveUp = false;
    std::string waitWindowFaults = "never looked at";
    bool heldDuringPost = false;
    std::string barShown;  // the bar's field as its widget shows it
    int px = 0, py = 0;    // the main window's point that is covered and uncovered
    long listFace = -1;
    GtkWidget* cover = nullptr;
    bool repainted = false;
    std::vector<std::string> boxes;  // the message boxes' texts (UTF-8), answered in turn
    guint source = 0;
};

gboolean WatchSend(gpointer data) {
    auto* s = static_cast<SendWatch*>(data);
    // Every box is read and answered as a person would.
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        if (!GTK_IS_MESSAGE_DIALOG(l->data) || !gtk_widget_get_mapped(GTK_WIDGET(l->data))) continue;
        if (g_object_get_data(G_OBJECT(l->data), "answered")) continue;
        g_object_set_data(G_OBJECT(l->data), "answered", GINT_TO_POINTER(1));
        gchar* text = nullptr;
        g_object_get(l->data, "text", &text, nullptr);
        s->boxes.push_back(text ? text : "");
        g_free(text);
        gtk_dialog_response(GTK_DIALOG(l->data), IDOK);
    }
    g_list_free(tops);
    if (s->phase != SendWatch::Cancelling && g_get_monotonic_time() - s->start > 40 * G_USEC_PER_SEC) {
        // Bounded: the send is ended so that the test reports what it saw.
        s->gaveUp = true;
        s->phase = SendWatch::Cancelling;
        Form2->a->Abort();
        return G_SOURCE_CONTINUE;
    }
    switch (s->phase) {
        case SendWatch::Waiting: {
            if (!Form18->Visible() || !Window(Form18) || !gtk_widget_get_mapped(Window(Form18))) break;
            GtkWidget* bar = Widget(Form18->Edit1);
            s->barShown = bar ? gtk_entry_get_text(GTK_ENTRY(bar)) : "";
            if (s->barShown.size() < 3) break;  // the bar grows from its timer while the post waits
            s->heldDuringPost = !Form1->Enabled() && !Form2->Visible();
            // Looked at again while the bar grows (a loaded machine may draw the first frame late).
            s->waitWindowFaults = WaitWindowFaults();
            if (!s->waitWindowFaults.empty() && s->barShown.size() < 12) break;
            Screenshot(ShotDir() + "/tolvar-wait.png");
            // A point of the main window's list, away from the wait window, is covered by another
            // window.
            GtkWidget* list = Widget(Form1->ListBox1);
            int lx, ly;
            WidgetOrigin(list, lx, ly);
            s->px = lx + gtk_widget_get_allocated_width(list) / 2;
            s->py = ly + gtk_widget_get_allocated_height(list) - 8;
            int wx, wy;
            WidgetOrigin(Window(Form18), wx, wy);
            if (s->py >= wy - 20 && s->py < wy + Form18->Height() + 20) s->py = ly + 8;
            s->listFace = ScreenPixel(s->px, s->py);
            s->cover = gtk_window_new(GTK_WINDOW_POPUP);
            gtk_window_set_default_size(GTK_WINDOW(s->cover), 30, 30);
            gtk_window_move(GTK_WINDOW(s->cover), s->px - 15, s->py - 15);
            gtk_widget_set_app_paintable(s->cover, TRUE);
            g_signal_connect(s->cover, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
                                 cairo_set_source_rgb(cr, 1, 0, 0);
                                 cairo_paint(cr);
                                 return TRUE;
                             }),
                             nullptr);
            gtk_widget_show(s->cover);
            s->phase = SendWatch::Covering;
            break;
        }
        case SendWatch::Covering:
            if (ScreenPixel(s->px, s->py) != 0xFF0000) break;
            gtk_widget_destroy(s->cover);
            s->cover = nullptr;
            s->phase = SendWatch::Uncovering;
            break;
        case SendWatch::Uncovering: {
            if (ScreenPixel(s->px, s->py) != s->listFace) break;
            s->repainted = true;
            int bx, by;
            Middle(Widget(Form18->Button1), bx, by);
            ClickAtSoon(bx, by);
            s->phase = SendWatch::Cancelling;
            break;
        }
        case SendWatch::Cancelling: break;
    }
    return G_SOURCE_CONTINUE;
}

class TolvarWaitTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        winsock::SetTestHostName("tolvar-box");
        winsock::SetTestHosts({{"tolvar-box", {{"10.20.30.40"}, 0, 0}}});
        testsupport::WriteAll(win::WindowsDir() + "/tolvar17.ini",
                              cp1254::FromUtf8("[Ayarlar]\r\nToplam=2\r\n[1]\r\nisim=Ayşe\r\nnumara=905431234567\r\n"
                                               "[2]\r\nisim=Çağrı\r\nnumara=905321112233\r\n"));
    }
    void TearDown() override {
        DesktopTest::TearDown();
        unsetenv("TOLVAR_MAKER_HOST");
        unsetenv("TOLVAR_SUPERONLINE_HOST");
        winsock::SetTestHostName("");
        winsock::ClearTestHosts();
    }
    // Starts the program with its gateways at `host`, online, its main window on screen.
    void StartTolvar(const std::string& host) {
        setenv("TOLVAR_MAKER_HOST", host.c_str(), 1);
        setenv("TOLVAR_SUPERONLINE_HOST", host.c_str(), 1);
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Form1->INetDetector1->SetEnabled(false);
        Form1->INetDetector1->Poll();
        ASSERT_TRUE(Form1->INetDetector1->Online());
        ASSERT_TRUE(PumpUntil([] { return Window(Form1) && gtk_widget_get_mapped(Window(Form1)); }, 20000));
    }
};

TEST_F(TolvarWaitTest, WhileASendWaitsTheWindowsAreDrawnAndTheCancelEndsIt) {
    fixtures::GatewayFake fake(state.Path("gateway"), "silent");
    ASSERT_TRUE(fake.Started());
    StartTolvar(fake.Host());
    Form2->a->InactivityTimeout = 90000;  // the gateway never answers: only the cancel ends the send
    headless::Select("Form1.ListBox1", 1);
    headless::DblClick("Form1.ListBox1", 1);
    ASSERT_TRUE(Form2->Visible());
    ASSERT_TRUE(PumpUntil([] { return gtk_widget_get_mapped(Window(Form2)); }));
    headless::Type("Form2.Memo1", "selam");
    PumpFor(100);

    SendWatch watch;
    watch.source = g_timeout_add(50, WatchSend, &watch);
    // "Yolla" clicked with the pointer: the send runs, and waits, inside the click.
    int x, y;
    Middle(Widget(Form2->SpeedButton1), x, y);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return watch.boxes.size() >= 2; }, 60000));
    PumpFor(100);
    g_source_remove(watch.source);
    if (watch.cover) gtk_widget_destroy(watch.cover);

    EXPECT_FALSE(watch.gaveUp) << "the send was still waiting after 40 s";
    EXPECT_TRUE(watch.heldDuringPost) << "the wait window showed and held the main window";
    EXPECT_EQ(watch.waitWindowFaults, "");
    EXPECT_GE(watch.barShown.size(), 3u);
    EXPECT_EQ(watch.barShown.find_first_not_of('|'), std::string::npos) << watch.barShown;
    EXPECT_NE(watch.listFace, 0xFF0000);
    EXPECT_NE(watch.listFace, 0) << "the main window's list was not drawn";
    EXPECT_TRUE(watch.repainted) << "the main window did not repaint what was uncovered";
    // The program's answer to a cancelled send, and nothing else.
    EXPECT_EQ(watch.boxes, (std::vector<std::string>{"MESAJ GÖNDERİLEMEDİ", "Connection aborted on request"}));
    EXPECT_FALSE(Form18->Visible());
    EXPECT_TRUE(PumpUntil([] { return !gtk_widget_get_visible(Window(Form18)); }));
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_EQ(Form2->Memo1->Text(), "selam");
    EXPECT_EQ(fake.Count(), 1);
}

// A socket's wait for its work to be done serves the display as the message loop does: a button
// clicked with the pointer during the wait runs its handler there, and it ends the wait.
TEST_F(TolvarWaitTest, ASocketsWaitServesAClickOnTheScreen) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetBounds(60, 60, 200, 100);
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(20, 20, 120, 40);
    button->SetCaption("Bitir");
    bool done = false;
    button->OnClick = [&](TObject*) { done = true; };
    form->Show();
    ASSERT_TRUE(PumpUntil([&] { return Window(form) && gtk_widget_get_mapped(Window(form)); }));
    PumpFor(100);
    TAsyncSocket socket(nullptr);
    // Bounded: a timer of the queue ends a wait that never sees the click.
    bool timedOut = false;
    TTimer limit(nullptr);
    limit.SetInterval(20000);
    limit.OnTimer = [&](TObject*) {
        timedOut = true;
        done = true;
    };
    int bx, by;
    Middle(Widget(button), bx, by);
    const int result = socket.RunAndWait([&] { ClickAtSoon(bx, by); }, done);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(timedOut) << "the click never reached the button during the wait";
}

}  // namespace
}  // namespace desktoptest
