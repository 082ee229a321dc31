// The desktop backend: forms and controls through their peers, message boxes and file dialogs as
// GTK dialogs run inside our own queue loop (timers and sockets stay served while they are open),
// popup menus, minimising; and the start of the display.
#include <cstdlib>
#include <cstring>

#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/internal.h"
#include "platform/win/capture.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace desktop {

namespace detail {
namespace {

const char* ButtonLabel(int id) {
    switch (id) {
        case IDOK: return "_OK";
        case IDCANCEL: return "_Cancel";
        case IDABORT: return "_Abort";
        case IDRETRY: return "_Retry";
        case IDIGNORE: return "_Ignore";
        case IDYES: return "_Yes";
        case IDNO: return "_No";
        default: return "?";
    }
}

GtkMessageType MessageType(UINT flags) {
    switch (flags & MB_ICONMASK) {
        case MB_ICONERROR: return GTK_MESSAGE_ERROR;
        case MB_ICONQUESTION: return GTK_MESSAGE_QUESTION;
        case MB_ICONWARNING: return GTK_MESSAGE_WARNING;
        case MB_ICONINFORMATION: return GTK_MESSAGE_INFO;
        default: return GTK_MESSAGE_OTHER;
    }
}

// Runs a dialog until it answers, serving the queue meanwhile; returns its response.
int RunDialog(GtkWidget* dialog) {
    int response = GTK_RESPONSE_NONE;
    bool done = false;
    struct Answer {
        int* response;
        bool* done;
    } answer{&response, &done};
    gulong id = g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, gint r, gpointer a) {
                                     auto* ans = static_cast<Answer*>(a);
                                     *ans->response = r;
                                     *ans->done = true;
                                 }),
                                 &answer);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_widget_show(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    try {
        RunUntil([&] { return done; });
    } catch (...) {
        g_signal_handler_disconnect(dialog, id);
        throw;
    }
    g_signal_handler_disconnect(dialog, id);
    return response;
}

// Turns "Text files|*.txt|All|*.*" into the chooser's filters; the one at `index` (1-based) is chosen.
void AddFilters(GtkFileChooser* chooser, const std::string& filter, int index) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, Utf8(parts[i]).c_str());
        const std::string& patterns = parts[i + 1];
        size_t s = 0;
        for (;;) {
            size_t semi = patterns.find(';', s);
            std::string pattern = patterns.substr(s, semi == std::string::npos ? std::string::npos : semi - s);
            while (!pattern.empty() && pattern.front() == ' ') pattern.erase(pattern.begin());
            if (pattern == "*.*") pattern = "*";
            if (!pattern.empty()) {
                // Patterns match regardless of case, as the original system's did.
                std::string folded;
                for (char ch : pattern) {
                    if (g_ascii_isalpha(ch)) {
                        folded += '[';
                        folded += g_ascii_tolower(ch);
                        folded += g_ascii_toupper(ch);
                        folded += ']';
                    } else {
                        folded += ch;
                    }
                }
                gtk_file_filter_add_pattern(f, folded.c_str());
            }
            if (semi == std::string::npos) break;
            s = semi + 1;
        }
        gtk_file_chooser_add_filter(chooser, f);
        if (static_cast<int>(i / 2 + 1) == index) gtk_file_chooser_set_filter(chooser, f);
    }
}

class TDesktopBackend : public TBackend {
public:
    std::unique_ptr<TControlPeer> CreatePeer(TControl* control) override { return MakePeer(control); }
    void FormShown(TCustomForm* form) override { ShowForm(form); }
    void FormHidden(TCustomForm* form) override { HideForm(form); }
    void FormDestroying(TCustomForm* form) override { ForgetForm(form); }

    int MessageBox(const TMessageBoxRequest& request) override {
        std::vector<int> buttons = MessageBoxButtons(request.Flags);
        const int def = MessageBoxDefaultButton(request.Flags);
        GtkWidget* d = gtk_message_dialog_new(DialogParent(), GTK_DIALOG_DESTROY_WITH_PARENT, MessageType(request.Flags),
                                              GTK_BUTTONS_NONE, "%s", Utf8(request.Text).c_str());
        gtk_window_set_title(GTK_WINDOW(d), Utf8(request.Caption).c_str());
        bool cancel = false;
        for (int id : buttons) {
            gtk_dialog_add_button(GTK_DIALOG(d), ButtonLabel(id), id);
            if (id == IDCANCEL) cancel = true;
        }
        gtk_dialog_set_default_response(GTK_DIALOG(d), def);
        // A box whose buttons hold no way out has no close box either.
        if (!cancel && buttons.size() > 1) gtk_window_set_deletable(GTK_WINDOW(d), FALSE);
        int r = GTK_RESPONSE_NONE;
        try {
            r = RunDialog(d);
        } catch (...) {
            gtk_widget_destroy(d);
            throw;
        }
        gtk_widget_destroy(d);
        for (int id : buttons)
            if (id == r) return id;
        if (cancel) return IDCANCEL;
        return buttons.size() == 1 ? buttons.front() : def;
    }

    bool FileDialog(TFileDialogRequest& request) override {
        const std::string title = Utf8(request.Title.empty() ? (request.Save ? "Save As" : "Open") : request.Title);
        GtkWidget* d = gtk_file_chooser_dialog_new(title.c_str(), DialogParent(),
                                                   request.Save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                                   "_Cancel", GTK_RESPONSE_CANCEL, request.Save ? "_Save" : "_Open",
                                                   GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(d);
        gtk_dialog_set_default_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
        if (request.Save && (request.Options & ofOverwritePrompt)) gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
        if (!request.InitialDir.empty()) gtk_file_chooser_set_current_folder(chooser, request.InitialDir.c_str());
        if (!request.FileName.empty()) {
            if (request.FileName.find('/') != std::string::npos) {
                gtk_file_chooser_set_filename(chooser, request.FileName.c_str());
                if (request.Save) {
                    gchar* base = g_path_get_basename(request.FileName.c_str());
                    gtk_file_chooser_set_current_name(chooser, base);
                    g_free(base);
                }
            } else if (request.Save) {
                gtk_file_chooser_set_current_name(chooser, request.FileName.c_str());
            }
        }
        if (!request.Filter.empty()) AddFilters(chooser, request.Filter, request.FilterIndex);
        int r;
        try {
            r = RunDialog(d);
        } catch (...) {
            gtk_widget_destroy(d);
            throw;
        }
        bool ok = false;
        if (r == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
                request.FileName = name;
                g_free(name);
                ok = true;
                if (GtkFileFilter* chosen = gtk_file_chooser_get_filter(chooser)) {
                    GSList* all = gtk_file_chooser_list_filters(chooser);
                    int i = 1;
                    for (GSList* l = all; l; l = l->next, ++i)
                        if (l->data == chosen) request.FilterIndex = i;
                    g_slist_free(all);
                }
            }
        }
        gtk_widget_destroy(d);
        return ok;
    }

    void PopupMenu(TPopupMenu* menu, int, int) override {
        GtkWindow* w = DialogParent();
        PopupAtPointer(menu, w ? GTK_WIDGET(w) : nullptr);
    }

    void ApplicationMinimized() override { MinimizeAll(true); }
    void ApplicationRestored() override { MinimizeAll(false); }
};

TDesktopBackend* g_backend = nullptr;
TBackend* g_previous = nullptr;
win::SysCommandHook g_previousHook;
bool g_hooked = false;

}  // namespace
}  // namespace detail

bool WantDesktop(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--console") == 0) return false;
    const char* ui = std::getenv("UI");
    if (ui && std::strcmp(ui, "console") == 0) return false;
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl);
}

bool Start() {
    using namespace detail;
    if (g_backend) return true;
    if (!gtk_init_check(nullptr, nullptr)) return false;
    if (!JoinLoop()) return false;
    if (GdkDisplay* display = gdk_display_get_default()) {
        GdkMonitor* m = gdk_display_get_primary_monitor(display);
        if (!m) m = gdk_display_get_monitor(display, 0);
        if (m) {
            GdkRectangle r;
            gdk_monitor_get_geometry(m, &r);
            if (Screen) Screen->SetSize(r.width, r.height);
        }
    }
    // Controls keep the sizes of their forms: no theme minimum larger than the model's bounds.
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css,
                                    "button, entry, combobox button, spinbutton { min-height: 0; min-width: 0; "
                                    "padding: 0px 4px; }\n"
                                    "checkbutton, radiobutton { min-height: 0; padding: 0; }\n",
                                    -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    g_backend = new TDesktopBackend;
    g_previous = SetBackend(g_backend);
    // A frameless window's move by its face is the window system's move, from the press.
    win::InstallWindowModel();
    g_previousHook = win::SetSysCommandHook([](HWND hwnd, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if ((wParam & 0xFFF0) == SC_MOVE && BeginMoveDrag(hwnd)) {
            ReleaseCapture();
            return 0;
        }
        return g_previousHook ? g_previousHook(hwnd, wParam, lParam) : 0;
    });
    g_hooked = true;
    StartTray();
    return true;
}

void Stop() {
    using namespace detail;
    if (!g_backend) return;
    StopTray();
    if (g_hooked) {
        win::SetSysCommandHook(std::move(g_previousHook));
        g_previousHook = nullptr;
        g_hooked = false;
    }
    SetBackend(g_previous == g_backend ? nullptr : g_previous);
    delete g_backend;
    g_backend = nullptr;
    LeaveLoop();
}

bool Started() { return detail::g_backend != nullptr; }

void* FormWindow(const TCustomForm* form) { return detail::WindowOfForm(form); }
void* ControlWidget(const TControl* control) { return detail::WidgetOfControl(control); }

}  // namespace desktop
