// The desktop's speed on a private Xvfb display: a skin repaint (the GDI surface painted and shown
// through the window's draw), a repaint that reaches the screen through the toolkit's frame clock,
// and Tolvar's main window, from the start of the process to the server mapping the window.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/jpeg.h"
#include "platform/desktop/desktop.h"
#include "skin/SkinForm.h"
#include "skingen.h"

namespace {

using desktoptest::PumpUntil;

struct SkinScene {
    testsupport::TempState state;
    headless::TSession session;
    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
    GtkWidget* client = nullptr;
    int draws = 0;
    SkinScene() {
        desktop::Start();
        Application->CreateForm(form);
        form->SetBounds(100, 100, 10, 10);
        skin = new TSkinForm(form);
        skin->SetParent(form);
        skin->LoadSkin(skintest::WriteSkin("c:\\skins\\bench\\", skintest::StandardSkin()));
        form->Show();
        GtkWidget* w = static_cast<GtkWidget*>(desktop::FormWindow(form));
        PumpUntil([&] { return gtk_widget_get_mapped(w); });
        GtkWidget* box = gtk_bin_get_child(GTK_BIN(w));
        GList* parts = gtk_container_get_children(GTK_CONTAINER(box));
        client = GTK_WIDGET(g_list_last(parts)->data);
        g_list_free(parts);
        g_signal_connect_after(client, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer d) -> gboolean {
                                   ++*static_cast<int*>(d);
                                   return FALSE;
                               }),
                               &draws);
    }
    ~SkinScene() {
        Application->Reset();
        desktop::Stop();
    }
};

// A pressed area drawn anew: the skin's picture, the form's surface and the window's draw into an
// image of its size (the work of one repaint, without the frame clock's pacing).
void BM_SkinRepaint(benchmark::State& st) {
    if (!desktoptest::EnsureDisplay()) {
        st.SkipWithError("no Xvfb");
        return;
    }
    SkinScene scene;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 100);
    bool down = false;
    for (auto _ : st) {
        down = !down;
        scene.skin->SetButtonDown("Repeat", down);
        cairo_t* cr = cairo_create(target);
        gtk_widget_draw(scene.client, cr);
        cairo_destroy(cr);
    }
    cairo_surface_destroy(target);
}
BENCHMARK(BM_SkinRepaint)->Unit(benchmark::kMicrosecond);

// The same change until the window drew it on the display (paced by the frame clock).
void BM_SkinRepaintOnScreen(benchmark::State& st) {
    if (!desktoptest::EnsureDisplay()) {
        st.SkipWithError("no Xvfb");
        return;
    }
    SkinScene scene;
    bool down = false;
    for (auto _ : st) {
        down = !down;
        const int before = scene.draws;
        scene.skin->SetButtonDown("Repeat", down);
        PumpUntil([&] { return scene.draws > before; }, 1000);
    }
}
BENCHMARK(BM_SkinRepaintOnScreen)->Unit(benchmark::kMillisecond);

bool g_mapped = false;
// The X protocol's MapNotify event code; an X event starts with its code.
constexpr int kMapNotify = 19;

GdkFilterReturn WatchMaps(GdkXEvent* xevent, GdkEvent*, gpointer) {
    if (*static_cast<const int*>(static_cast<const void*>(xevent)) == kMapNotify) g_mapped = true;
    return GDK_FILTER_CONTINUE;
}

// Runs `argv` until the server maps its first window; the time from the start of the process.
void TimeFirstWindow(benchmark::State& st, const char* program, const char* arg) {
    if (!desktoptest::EnsureDisplay()) {
        st.SkipWithError("no Xvfb");
        return;
    }
    testsupport::TempState state;
    headless::TSession session;
    desktop::Start();
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_set_events(root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_SUBSTRUCTURE_MASK));
    gdk_window_add_filter(nullptr, WatchMaps, nullptr);
    for (auto _ : st) {
        g_mapped = false;
        auto start = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            execl(program, program, arg, static_cast<char*>(nullptr));
            _exit(127);
        }
        PumpUntil([] { return g_mapped; }, 5000);
        auto took = std::chrono::steady_clock::now() - start;
        st.SetIterationTime(std::chrono::duration<double>(took).count());
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        if (!g_mapped) st.SkipWithError("no window was mapped");
    }
    gdk_window_remove_filter(nullptr, WatchMaps, nullptr);
    desktop::Stop();
}
// Tolvar started until the server maps its main window.
void BM_TolvarMainWindow(benchmark::State& st) { TimeFirstWindow(st, TOLVAR_EXE, nullptr); }
BENCHMARK(BM_TolvarMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The peer: a bare toolkit program (this one, started to show one empty window), on the same display.
void BM_BareToolkitWindow(benchmark::State& st) { TimeFirstWindow(st, "/proc/self/exe", "--bare-window"); }
BENCHMARK(BM_BareToolkitWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

struct Formats {
    Formats() {
        GraphicsStartup();
        JPEGStartup();
    }
} g_formats;

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--bare-window") {
        if (!gtk_init_check(nullptr, nullptr)) return 1;
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(w), 300, 200);
        gtk_widget_show(w);
        for (;;) gtk_main_iteration();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
