// The desktop backend: forms and controls through their peers, message boxes and file dialogs as
// GTK dialogs run inside our own queue loop (timers and sockets stay served while they are open),
// popup menus, minimising, the shell's open requests in the person's own programs; and the start of
// the display.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/menus.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/internal.h"
#include "platform/win/capture.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

namespace desktop {

namespace detail {
namespace {

// The system's own words on its boxes and file dialogs (their buttons, a file dialog's title) are
// the toolkit's, in the desktop's language: its translations of its own labels, from the message
// catalogue installed with it ("gtk30"); the English labels where the locale is C or the catalogue
// has none ("_Abort", "_Retry", "_Ignore" have none).
constexpr char kToolkitDomain[] = "gtk30";

const char* ToolkitWord(const char* label) { return g_dgettext(kToolkitDomain, label); }

// The toolkit's question before a save replaces a file (its own chooser asks it in these words).
constexpr char kReplaceQuestion[] = "A file named “%s” already exists.  Do you want to replace it?";

// A label without its mnemonic mark ("_Aç" -> "Aç"; "__" is a plain "_").
std::string WithoutMnemonic(const char* label) {
    std::string out;
    for (const char* p = label; *p; ++p) {
        if (*p == '_' && p[1] != '_') continue;
        if (*p == '_') ++p;
        out += *p;
    }
    return out;
}

const char* ButtonLabel(int id) {
    switch (id) {
        case IDOK: return ToolkitWord("_OK");
        case IDCANCEL: return ToolkitWord("_Cancel");
        case IDABORT: return ToolkitWord("_Abort");
        case IDRETRY: return ToolkitWord("_Retry");
        case IDIGNORE: return ToolkitWord("_Ignore");
        case IDYES: return ToolkitWord("_Yes");
        case IDNO: return ToolkitWord("_No");
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

// A dialog of ours, held by us from its making to its end: the toolkit may destroy a dialog on
// its own (a close asked by the window manager or by Escape), and the reference keeps the object
// ours to look at and to destroy.
class TDialogHold {
public:
    explicit TDialogHold(GtkWidget* dialog) : FDialog(GTK_WIDGET(g_object_ref(dialog))) {}
    ~TDialogHold() {
        gtk_widget_destroy(FDialog);
        g_object_unref(FDialog);
    }
    TDialogHold(const TDialogHold&) = delete;
    TDialogHold& operator=(const TDialogHold&) = delete;
    GtkWidget* Get() const { return FDialog; }

private:
    GtkWidget* FDialog;
};

// Runs a dialog until it answers, serving the queue meanwhile; returns its response. A close by
// the window manager or Escape is the dialog's answer GTK_RESPONSE_DELETE_EVENT; the window stays
// for its owner to destroy.
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
    // After the dialog's own handler has given its answer: the window is not destroyed.
    gulong keep = g_signal_connect(dialog, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                                       return TRUE;
                                   }),
                                   nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_widget_show(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    try {
        RunUntil([&] { return done; });
    } catch (...) {
        g_signal_handler_disconnect(dialog, id);
        g_signal_handler_disconnect(dialog, keep);
        throw;
    }
    g_signal_handler_disconnect(dialog, id);
    g_signal_handler_disconnect(dialog, keep);
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
        const TDialogHold hold(gtk_message_dialog_new(DialogParent(), GTK_DIALOG_DESTROY_WITH_PARENT,
                                                      MessageType(request.Flags), GTK_BUTTONS_NONE, "%s",
                                                      (request.TextUtf8 ? request.Text : Utf8(request.Text)).c_str()));
        GtkWidget* d = hold.Get();
        gtk_window_set_title(GTK_WINDOW(d), Utf8(request.Caption).c_str());
        bool cancel = false;
        for (int id : buttons) {
            gtk_dialog_add_button(GTK_DIALOG(d), ButtonLabel(id), id);
            if (id == IDCANCEL) cancel = true;
        }
        gtk_dialog_set_default_response(GTK_DIALOG(d), def);
        // A box whose buttons hold no way out has no close box either.
        if (!cancel && buttons.size() > 1) gtk_window_set_deletable(GTK_WINDOW(d), FALSE);
        const int r = RunDialog(d);
        for (int id : buttons)
            if (id == r) return id;
        if (cancel) return IDCANCEL;
        return buttons.size() == 1 ? buttons.front() : def;
    }

    // A file chooser in a dialog of our own: its answer is ours to check (an open needs a file, a
    // save over an existing file asks first when the options say so).
    bool FileDialog(TFileDialogRequest& request) override {
        // Untitled, a dialog is titled as the system titles its own: "Save As", "Open".
        const std::string title =
            !request.Title.empty() ? Utf8(request.Title)
            : request.Save         ? WithoutMnemonic(g_dpgettext2(kToolkitDomain, "Stock label", "Save _As"))
                                   : WithoutMnemonic(ToolkitWord("_Open"));
        const TDialogHold hold(gtk_dialog_new_with_buttons(title.c_str(), DialogParent(), GTK_DIALOG_DESTROY_WITH_PARENT,
                                                           ToolkitWord("_Cancel"), GTK_RESPONSE_CANCEL,
                                                           ToolkitWord(request.Save ? "_Save" : "_Open"),
                                                           GTK_RESPONSE_ACCEPT, nullptr));
        GtkWidget* d = hold.Get();
        gtk_window_set_default_size(GTK_WINDOW(d), 640, 420);
        gtk_dialog_set_default_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
        GtkWidget* widget =
            gtk_file_chooser_widget_new(request.Save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN);
        gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(d))), widget, TRUE, TRUE, 0);
        gtk_widget_show(widget);
        g_signal_connect(widget, "file-activated", G_CALLBACK(+[](GtkFileChooser*, gpointer dialog) {
                             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
                         }),
                         d);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(widget);
        // The names the program gives are its own paths (Windows-1254); the chooser takes the
        // machine's.
        if (!request.InitialDir.empty())
            gtk_file_chooser_set_current_folder(chooser, win::LocalPath(request.InitialDir).c_str());
        if (!request.FileName.empty()) {
            const std::string local = win::LocalPath(request.FileName);
            if (local.find('/') != std::string::npos) {
                gtk_file_chooser_set_filename(chooser, local.c_str());
                if (request.Save) {
                    gchar* base = g_path_get_basename(local.c_str());
                    gchar* shown = g_filename_display_name(base);
                    gtk_file_chooser_set_current_name(chooser, shown);
                    g_free(shown);
                    g_free(base);
                }
            } else if (request.Save) {
                gtk_file_chooser_set_current_name(chooser, local.c_str());
            }
        }
        if (!request.Filter.empty()) AddFilters(chooser, request.Filter, request.FilterIndex);
        bool ok = false;
        for (;;) {
            if (RunDialog(d) != GTK_RESPONSE_ACCEPT) break;
            gchar* name = gtk_file_chooser_get_filename(chooser);
            if (!name) continue;  // nothing chosen yet: the dialog stays
            std::string chosen = name;
            g_free(name);
            if (g_file_test(chosen.c_str(), G_FILE_TEST_IS_DIR)) {
                gtk_file_chooser_set_current_folder(chooser, chosen.c_str());
                continue;
            }
            // The program is given the name as its own path; a name that path cannot hold would
            // name another file, so it is not given (a box says why) and the dialog stays.
            std::string path;
            if (!ProgramFileName(chosen, path)) continue;
            if (request.Save && (request.Options & ofOverwritePrompt) && g_file_test(chosen.c_str(), G_FILE_TEST_EXISTS)) {
                // The system's own question, as the toolkit words it in the desktop's language.
                TMessageBoxRequest ask;
                ask.Caption = request.Title.empty() ? FromUtf8(title.c_str()) : request.Title;
                gchar* shown = g_filename_display_basename(chosen.c_str());
                gchar* question = g_strdup_printf(ToolkitWord(kReplaceQuestion), shown);
                ask.Text = question;
                ask.TextUtf8 = true;
                g_free(question);
                g_free(shown);
                ask.Flags = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
                if (MessageBox(ask) != IDYES) continue;
            }
            request.FileName = path;
            ok = true;
            if (GtkFileFilter* current = gtk_file_chooser_get_filter(chooser)) {
                GSList* all = gtk_file_chooser_list_filters(chooser);
                int i = 1;
                for (GSList* l = all; l; l = l->next, ++i)
                    if (l->data == current) request.FilterIndex = i;
                g_slist_free(all);
            }
            break;
        }
        return ok;
    }

    void PopupMenu(TPopupMenu* menu, int, int) override {
        GtkWindow* w = DialogParent();
        PopupAtPointer(menu, w ? GTK_WIDGET(w) : nullptr);
    }

    void Navigate(TWebBrowser* browser, const std::string& url) override { NavigateBrowser(browser, url); }
    void ApplicationMinimized() override { MinimizeAll(true); }
    void ApplicationRestored() override { MinimizeAll(false); }
};

// What the shell is asked to open goes to the person's program for it: an address (a scheme
// before ':', as "http:" or "mailto:") as it is, a document of the machine as a file address. A
// request with another verb ("print", ...) is only recorded.
void OpenForPerson(const ShellRequest& r) {
    if (!r.verb.empty() && r.verb != "open") return;
    if (r.file.empty()) return;
    const std::size_t colon = r.file.find(':');
    const bool address = colon != std::string::npos && colon > 1 &&
                         r.file.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+.-") == colon;
    std::string uri;
    if (address) {
        uri = Utf8(r.file);
    } else {
        gchar* u = g_filename_to_uri(win::LocalPath(r.file).c_str(), nullptr, nullptr);
        if (!u) return;
        uri = u;
        g_free(u);
    }
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) g_clear_error(&error);
}

TDesktopBackend* g_backend = nullptr;
shell::OpenWatcher g_previousOpen;
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
    // The toolkit took the desktop's locale, for its own words. The programs' texts are Windows-1254
    // and their case rules, character classes and numbers are the plain ones of the C library
    // whatever the desktop's language (a Turkish LC_CTYPE keeps 'i' from upper-casing to 'I', a
    // Turkish LC_NUMERIC writes 1,5): those two categories are put back, with UTF-8 for the toolkit.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");
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
    // The forms' texts are in the class library's default font (fontconfig finds its nearest face),
    // at its size, so that they fit the bounds the windows were laid out for.
    const TFont font;
    const std::string rules = "button, entry, combobox button, spinbutton { min-height: 0; min-width: 0; "
                              "padding: 0px 4px; }\n"
                              "checkbutton, radiobutton { min-height: 0; padding: 0; }\n"
                              // A narrow combo box (a three-digit prefix) gives its field the room
                              // its arrow does not need.
                              ".classlib-narrow entry { padding-left: 2px; padding-right: 1px; }\n"
                              ".classlib-narrow button { padding: 0px 1px; }\n"
                              ".classlib-narrow arrow { min-width: 10px; min-height: 10px; }\n"
                              ".classlib-form, .classlib-form * { font-family: \"" + font.Name() +
                              "\", sans-serif; font-size: " + std::to_string(std::abs(font.Height())) + "px; }\n";
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, rules.c_str(), -1, nullptr);
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
    g_previousOpen = shell::SetOpenWatcher([](const ShellRequest& r) {
        OpenForPerson(r);
        if (g_previousOpen) g_previousOpen(r);
    });
    StartTextPainter();
    StartTray();
    return true;
}

void Stop() {
    using namespace detail;
    if (!g_backend) return;
    StopTray();
    StopTextPainter();
    shell::SetOpenWatcher(std::move(g_previousOpen));
    g_previousOpen = nullptr;
    if (g_hooked) {
        win::SetSysCommandHook(std::move(g_previousHook));
        g_previousHook = nullptr;
        g_hooked = false;
    }
    SetBackend(g_previous == g_backend ? nullptr : g_previous);
    delete g_backend;
    g_backend = nullptr;
    LeaveLoop();
    // The toolkit's fonts let go of fontconfig's caches, which the GDI's fontconfig releases at exit.
    pango_cairo_font_map_set_default(nullptr);
}

bool Started() { return detail::g_backend != nullptr; }

void* FormWindow(const TCustomForm* form) { return detail::WindowOfForm(form); }
void* ControlWidget(const TControl* control) { return detail::WidgetOfControl(control); }

}  // namespace desktop
