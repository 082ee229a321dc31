#include "display.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/winuser.h"

extern char** environ;

// GTK, GLib, fontconfig and the X libraries keep caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgtk-3\nleak:libgdk-3\nleak:libglib-2.0\nleak:libgobject-2.0\nleak:libgio-2.0\n"
           "leak:libfontconfig\nleak:libpango\nleak:libcairo\nleak:libX11\nleak:libatk\nleak:libatk-bridge\n"
           "leak:libdbus\nleak:libharfbuzz\nleak:libepoxy\nleak:libgdk_pixbuf\nleak:libayatana\nleak:libdbusmenu\n"
           "leak:libxkbcommon\nleak:libwayland\nleak:libpixman\nleak:libjavascriptcoregtk\nleak:libwebkit2gtk\n"
           "leak:libsoup\nleak:libgstreamer\n";
}

namespace desktoptest {

namespace {

pid_t g_server = 0;

void StopServer() {
    if (g_server > 0) {
        kill(g_server, SIGTERM);
        waitpid(g_server, nullptr, 0);
        g_server = 0;
    }
}

bool Executable(const char* name) {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= p.size()) {
        size_t colon = p.find(':', start);
        std::string dir = p.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return false;
}

// Runs a program to its end while pumping the loop; returns its exit status (-1 when it did not run).
int RunPumping(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    bool ended = PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30000);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

namespace {

std::vector<std::string> g_allowed;  // parts of the messages a test provokes

// GLib's messages of the process: a warning or a critical (GTK's checks of its callers among them)
// fails the test that is running; every message is also written as GLib writes it.
GLogWriterOutput FailOnWarnings(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data) {
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
        std::string domain, message;
        for (gsize i = 0; i < count; ++i) {
            const std::string key = fields[i].key;
            if (fields[i].length >= 0 || !fields[i].value) continue;
            if (key == "GLIB_DOMAIN") domain = static_cast<const char*>(fields[i].value);
            if (key == "MESSAGE") message = static_cast<const char*>(fields[i].value);
        }
        bool allowed = false;
        for (const std::string& part : g_allowed) allowed = allowed || message.find(part) != std::string::npos;
        if (!allowed)
            ADD_FAILURE() << "GLib " << ((level & G_LOG_LEVEL_WARNING) ? "warning" : "critical") << " from "
                          << (domain.empty() ? "the program" : domain) << ": " << message;
    }
    return g_log_writer_default(level, fields, count, data);
}

}  // namespace

AllowGLibMessage::AllowGLibMessage(std::string part) : part_(std::move(part)) { g_allowed.push_back(part_); }

AllowGLibMessage::~AllowGLibMessage() {
    for (auto it = g_allowed.begin(); it != g_allowed.end(); ++it)
        if (*it == part_) {
            g_allowed.erase(it);
            break;
        }
}

void WatchGLibMessages() {
    static bool watching = false;
    if (watching) return;
    watching = true;
    g_log_set_writer_func(FailOnWarnings, nullptr, nullptr);
}

bool EnsureDisplay() {
    WatchGLibMessages();
    static int state = 0;  // 0 not tried, 1 running, -1 failed
    if (state) return state > 0;
    state = -1;
    if (!Executable("Xvfb")) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    g_server = pid;
    std::atexit(StopServer);
    // The server writes its display number once it listens.
    std::string number;
    char ch;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
    close(fds[0]);
    if (number.empty()) {
        StopServer();
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("GTK_THEME", "Adwaita", 1);
    // A Turkish keyboard, so that typed Turkish letters are keys of the map (a letter outside the
    // map would be typed through a remapped key, which races with the toolkit's reading of the map).
    if (Executable("setxkbmap")) {
        pid_t k = fork();
        if (k == 0) {
            execlp("setxkbmap", "setxkbmap", "tr", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (k > 0) waitpid(k, nullptr, 0);
    }
    state = 1;
    return true;
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (done()) return true;
        headless::Pump();
        if (done()) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left, 20)), QS_ALLINPUT);
    }
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

bool XDo(const std::string& args) {
    std::vector<std::string> argv{"xdotool"};
    size_t start = 0;
    while (start < args.size()) {
        if (args[start] == ' ') {
            ++start;
            continue;
        }
        size_t end;
        std::string word;
        if (args[start] == '\'') {
            end = args.find('\'', start + 1);
            word = args.substr(start + 1, end - start - 1);
            end = end == std::string::npos ? args.size() : end + 1;
        } else {
            end = args.find(' ', start);
            if (end == std::string::npos) end = args.size();
            word = args.substr(start, end - start);
        }
        argv.push_back(word);
        start = end;
    }
    return RunPumping(argv) == 0;
}

std::string ShotDir() {
    const char* dir = std::getenv("DESKTOP_SHOTS");
    std::string d = dir && *dir ? dir : "/tmp/desktop-shots";
    mkdir(d.c_str(), 0755);
    return d;
}

bool Screenshot(const std::string& path) {
    PumpFor(100);
    return RunPumping({"import", "-window", "root", path}) == 0;
}

long ScreenPixel(int x, int y) {
    GdkWindow* root = gdk_get_default_root_window();
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(root, x, y, 1, 1);
    if (!pb) return -1;
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    long rgb = (static_cast<long>(p[0]) << 16) | (p[1] << 8) | p[2];
    g_object_unref(pb);
    return rgb;
}

void WidgetOrigin(GtkWidget* w, int& x, int& y) {
    x = y = 0;
    GdkWindow* win = gtk_widget_get_window(w);
    if (!win) return;
    gdk_window_get_origin(win, &x, &y);
    if (!gtk_widget_get_has_window(w)) {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        x += a.x;
        y += a.y;
    }
}

// The file dialog on screen (its chooser, and the dialog in `dialog` when asked), or nullptr.
GtkFileChooser* ShownChooser(GtkDialog** dialog) {
    GtkFileChooser* found = nullptr;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
        if (!GTK_IS_DIALOG(l->data) || !gtk_widget_get_mapped(GTK_WIDGET(l->data))) continue;
        GList* kids = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(l->data))));
        for (GList* k = kids; k; k = k->next)
            if (GTK_IS_FILE_CHOOSER_WIDGET(k->data)) {
                found = GTK_FILE_CHOOSER(k->data);
                if (dialog) *dialog = GTK_DIALOG(l->data);
            }
        g_list_free(kids);
    }
    g_list_free(tops);
    return found;
}

// A message box on screen, or nullptr.
GtkDialog* ShownBox() {
    GtkDialog* found = nullptr;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next)
        if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) found = GTK_DIALOG(l->data);
    g_list_free(tops);
    return found;
}

namespace {

std::string Taken(gchar* owned) {
    std::string s = owned ? owned : "";
    g_free(owned);
    return s;
}

}  // namespace

gboolean ChooserHand::Tick(gpointer p) {
    auto* self = static_cast<ChooserHand*>(p);
    GtkDialog* dialog = nullptr;
    GtkFileChooser* chooser = ShownChooser(&dialog);
    GtkDialog* box = ShownBox();
    if (++self->ticks > 400) {  // about 10 seconds: whatever is open goes
        if (box) gtk_dialog_response(box, IDOK);
        else if (dialog) gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
        return dialog || box ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
    }
    switch (self->stage) {
        case 0:
            // The folder the dialog opened in, once it shows one.
            if (!chooser || (self->folderSeen = Taken(gtk_file_chooser_get_current_folder(chooser))).empty())
                return G_SOURCE_CONTINUE;
            if (self->pick) gtk_file_chooser_set_filename(chooser, self->want.c_str());
            self->stage = 1;
            return G_SOURCE_CONTINUE;
        case 1:
            if (!chooser || Taken(gtk_file_chooser_get_filename(chooser)) != self->want) return G_SOURCE_CONTINUE;
            self->fileSeen = self->want;
            gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT);
            self->stage = 2;
            return G_SOURCE_CONTINUE;
        case 2:
            if (box) {
                gchar* text = nullptr;
                g_object_get(box, "text", &text, nullptr);
                self->boxText = Taken(text);
                const gchar* title = gtk_window_get_title(GTK_WINDOW(box));
                self->boxTitle = title ? title : "";
                gtk_dialog_response(box, IDOK);
                self->stage = 3;
                return G_SOURCE_CONTINUE;
            }
            return chooser ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        default:
            if (!chooser || box) return G_SOURCE_CONTINUE;
            gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
            return G_SOURCE_REMOVE;
    }
}

namespace {

std::string Describe(const TControl* c) {
    std::ostringstream s;
    s << c->Name() << " (" << c->Left() << "," << c->Top() << " " << c->Width() << "x" << c->Height() << ")";
    return s.str();
}

void AddLayoutFaults(const TWinControl* parent, const std::set<std::string>& under, std::vector<std::string>& faults) {
    std::vector<const TControl*> shown;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        const TControl* c = parent->Controls(i);
        if (!c->Visible()) continue;
        shown.push_back(c);
        if (c->Width() <= 0 || c->Height() <= 0 || c->Left() < 0 || c->Top() < 0 ||
            c->Left() + c->Width() > parent->ClientWidth() || c->Top() + c->Height() > parent->ClientHeight())
            faults.push_back(Describe(c) + " is not inside " + Describe(parent));
        // What the person sees of it is its bounds: a widget whose content asks more spills over
        // its neighbours or loses its edge (a combo's arrow) at the window's.
        if (auto* widget = static_cast<GtkWidget*>(desktop::ControlWidget(c)); widget && gtk_widget_get_mapped(widget)) {
            const int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
            if (width != c->Width() || height != c->Height())
                faults.push_back(Describe(c) + " is shown " + std::to_string(width) + "x" + std::to_string(height));
        }
        if (auto* w = dynamic_cast<const TWinControl*>(c)) AddLayoutFaults(w, under, faults);
    }
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const TControl* a = shown[i];
            const TControl* b = shown[j];
            if (a->Owner() && under.count(a->Owner()->Name() + "." + a->Name())) continue;
            const bool apart = a->Left() + a->Width() <= b->Left() || b->Left() + b->Width() <= a->Left() ||
                               a->Top() + a->Height() <= b->Top() || b->Top() + b->Height() <= a->Top();
            if (!apart) faults.push_back(Describe(a) + " covers " + Describe(b));
        }
}

}  // namespace

std::vector<std::string> LayoutFaults(const TWinControl* form, const std::set<std::string>& under) {
    std::vector<std::string> faults;
    AddLayoutFaults(form, under, faults);
    return faults;
}

TForm* DesktopTest::MakeForm(const std::string& captionUtf8, int left, int top, int width, int height) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetName("Form1");
    if (!captionUtf8.empty()) form->SetCaption(cp1254::FromUtf8(captionUtf8));
    form->BorderStyle = bsSingle;
    form->SetBounds(left, top, width, height);
    return form;
}

void DesktopTest::SetUp() {
    // The desktop opens what the shell is asked to open in the person's programs: the tests' person
    // has none but those a test installs in its own state folder.
    setenv("XDG_DATA_HOME", state.Path("share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", state.Path("config").c_str(), 1);
    ASSERT_TRUE(EnsureDisplay()) << "no display: Xvfb cannot be started here (Debian package xvfb)";
    session = std::make_unique<headless::TSession>();
    ASSERT_TRUE(desktop::Start()) << "GTK cannot open the private display";
    started = true;
}

void DesktopTest::TearDown() {
    if (started) {
        Application->Reset();
        PumpFor(20);
        desktop::Stop();
    }
    session.reset();
}

}  // namespace desktoptest
