#include "platform/classlib/consoledriver.h"

#include <unistd.h>

#include <algorithm>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/classlib/application.h"
#include "platform/classlib/cp1254.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/messages.h"
#include "platform/win/shellapi.h"

namespace {

// Thrown when the input ends inside a box or a modal loop and OnEndOfInput returned.
struct TEndOfInput {};

std::string Utf8(const std::string& s) { return cp1254::ToUtf8(s); }

std::string Quote(const std::string& s) { return Utf8(headless::QuoteText(s)); }

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'e': out += '\x1b'; break;
            case '\\': out += '\\'; break;
            default:
                out += '\\';
                out += c;
        }
    }
    return out;
}

// Splits off the first blank-separated word.
std::string Word(std::string& rest) {
    size_t b = rest.find_first_not_of(' ');
    if (b == std::string::npos) {
        rest.clear();
        return std::string();
    }
    size_t e = rest.find(' ', b);
    std::string w = rest.substr(b, e == std::string::npos ? std::string::npos : e - b);
    rest = e == std::string::npos ? std::string() : rest.substr(e + 1);
    return w;
}

int Number(const std::string& w, const char* what) {
    int v = 0;
    if (!TryStrToInt(w, v)) throw headless::EScriptError(std::string("expected a number for ") + what + ", got '" + w + "'");
    return v;
}

const char* HelpText =
    "commands (PATH is Form or Form.Component):\n"
    "  click PATH | menu PATH | dblclick PATH [INDEX] | rclick PATH\n"
    "  type PATH TEXT | paste PATH TEXT   (escapes: \\r Enter, \\n, \\t, \\b backspace, \\e Escape, \\\\)\n"
    "  key PATH enter|escape|back|tab|up|down|left|right|delete|space\n"
    "  select PATH INDEX | close FORM | minimize | restore\n"
    "  tray click | tray dblclick | tray menu ITEM   (the icon in the notification area)\n"
    "  mouse down|up|move FORM X Y [left|right|middle]\n"
    "  answer yes|no|ok|cancel|abort|retry|ignore   (while a box is open)\n"
    "  file NAME | cancel                           (while a dialog is open)\n"
    "  show | pump | wait MS (let the message loop and its timers run MS milliseconds) | help\n"
    "  after MS COMMAND   (runs COMMAND in MS milliseconds, from whatever loop runs then: a send's wait)\n";

}  // namespace

struct TConsoleDriver::Impl {
    std::istream& in;
    std::ostream& out;
    TConsoleDriver* self;
    int boxDepth = 0;
    std::string lastLine;  // the last command line read, as typed (UTF-8)

    // Commands waiting for their time (`after`): each on a hidden window with a one-shot timer, so
    // it runs from whatever message loop is running then (a send's post included).
    std::vector<HWND> pending;

    Impl(std::istream& i, std::ostream& o, TConsoleDriver* s) : in(i), out(o), self(s) {}
    ~Impl() {
        for (HWND w : pending) DeallocateHWnd(w);
    }

    void After(DWORD ms, const std::string& line) {
        auto window = std::make_shared<HWND>(nullptr);
        *window = AllocateHWnd([this, window, line](TMessage& m) {
            if (m.Msg != WM_TIMER) {
                m.Result = DefWindowProcA(*window, m.Msg, m.WParam, m.LParam);
                return;
            }
            const HWND w = *window;
            KillTimer(w, 1);
            pending.erase(std::remove(pending.begin(), pending.end(), w), pending.end());
            Execute(line);
            DeallocateHWnd(w);
        });
        if (!*window) throw headless::EScriptError("after: no timer window");
        pending.push_back(*window);
        SetTimer(*window, 1, ms, nullptr);
    }

    void Print(const std::string& utf8Line) {
        out << utf8Line << '\n';
        out.flush();
    }

    void Error(const std::string& msg) { Print("error: " + Utf8(msg)); }

    // The next command line in 1254, skipping blanks and comments; ends the process at the end.
    std::string NextLine() {
        std::string line;
        for (;;) {
            if (!std::getline(in, line)) {
                out.flush();
                if (self->OnEndOfInput) self->OnEndOfInput();
                else _exit(0);
                throw TEndOfInput{};
            }
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t b = line.find_first_not_of(" \t");
            if (b == std::string::npos || line[b] == '#') continue;
            lastLine = line.substr(b);
            return cp1254::FromUtf8(lastLine);
        }
    }

    // Whether the program has ended: its main window closed or it halted.
    static bool Ended() { return Application->Terminated() || headless::Halted(); }

    // The next line for an open box, dialog or modal window; nothing once the program has ended,
    // whether before it asked or while it waited (a timed command that closed the main window):
    // no one is left to answer it, and it takes its default answer instead of reading on.
    std::optional<std::string> AnswerLine() {
        if (Ended()) return std::nullopt;
        std::string line = NextLine();
        if (Ended()) return std::nullopt;
        return line;
    }

    std::optional<int> AskBox(const headless::BoxRecord& r) {
        std::string buttons, names;
        for (size_t i = 0; i < r.Buttons.size(); ++i) {
            buttons += (i ? "," : "") + std::string(ButtonName(r.Buttons[i]));
            names += (i ? "|" : "") + LowerCase(ButtonName(r.Buttons[i]));
        }
        Print("box " + Quote(r.Caption) + " " + (r.TextUtf8 ? headless::QuoteText(r.Text) : Quote(r.Text)) + " buttons=" + buttons +
              " default=" + ButtonName(r.DefaultButton) + " icon=" + r.Icon);
        for (;;) {
            std::optional<std::string> line = AnswerLine();
            if (!line) return std::nullopt;
            std::string rest = *line;
            std::string cmd = LowerCase(Word(rest));
            if (cmd == "answer") {
                int id = ButtonFromName(Trim(rest));
                for (int b : r.Buttons)
                    if (b == id) return id;
                Error("this box has the buttons " + names);
            } else {
                Error("a message box is open: answer " + names);
            }
        }
    }

    std::optional<headless::FileAnswer> AskFile(const headless::DialogRecord& r) {
        const std::string asked = std::string("dialog ") + (r.Save ? "save " : "open ") + Quote(r.Title) +
                                  " file=" + Quote(r.FileName) + " filter=" + Quote(r.Filter);
        Print(asked);
        for (;;) {
            std::optional<std::string> line = AnswerLine();
            if (!line) return std::nullopt;
            std::string rest = *line;
            std::string cmd = LowerCase(Word(rest));
            if (cmd == "file") {
                if (Trim(rest).empty()) {
                    Error("file needs a file name");
                    continue;
                }
                // The name as typed: one that the programs' paths cannot hold gets the box that
                // says so, and the dialog stays open.
                std::string typed = lastLine, path;
                Word(typed);
                if (!ProgramFileName(Trim(typed), path, true)) {
                    Print(asked);
                    continue;
                }
                return headless::FileAnswer{false, path};
            }
            if (cmd == "cancel") return headless::FileAnswer{true, std::string()};
            Error("a file dialog is open: file NAME or cancel");
        }
    }

    bool Execute(const std::string& line1254) {
        std::string rest = line1254;
        std::string cmd = LowerCase(Word(rest));
        try {
            if (cmd.empty() || cmd[0] == '#') return true;
            if (cmd == "help") {
                out << HelpText << self->ExtraHelp;
                out.flush();
            } else if (cmd == "click" || cmd == "menu") {
                headless::Click(Word(rest));
            } else if (cmd == "dblclick") {
                std::string path = Word(rest);
                std::string idx = Word(rest);
                headless::DblClick(path, idx.empty() ? -1 : Number(idx, "the index"));
            } else if (cmd == "rclick") {
                headless::RightClick(Word(rest));
            } else if (cmd == "type" || cmd == "paste") {
                std::string path = Word(rest);
                if (path.empty()) throw headless::EScriptError(cmd + " needs a control and a text");
                if (cmd == "type") headless::Type(path, Unescape(rest));
                else headless::Paste(path, Unescape(rest));
            } else if (cmd == "key") {
                std::string path = Word(rest);
                std::string k = LowerCase(Word(rest));
                static const std::pair<const char*, WORD> keys[] = {
                    {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"back", VK_BACK},  {"tab", VK_TAB},
                    {"up", VK_UP},        {"down", VK_DOWN},     {"left", VK_LEFT},  {"right", VK_RIGHT},
                    {"delete", VK_DELETE}, {"space", VK_SPACE}};
                WORD vk = 0;
                for (auto& [name, code] : keys)
                    if (k == name) vk = code;
                if (!vk) throw headless::EScriptError("unknown key '" + k + "'");
                headless::Key(path, vk);
            } else if (cmd == "select") {
                std::string path = Word(rest);
                headless::Select(path, Number(Word(rest), "the index"));
            } else if (cmd == "close") {
                headless::CloseBox(Word(rest));
            } else if (cmd == "minimize" || cmd == "minimise") {
                headless::Minimize();
            } else if (cmd == "restore") {
                headless::Restore();
            } else if (cmd == "tray") {
                std::string what = LowerCase(Word(rest));
                if (what == "click") headless::TrayClick();
                else if (what == "dblclick") headless::TrayDblClick();
                else if (what == "menu" && !Trim(rest).empty()) headless::TrayMenu(Trim(rest));
                else throw headless::EScriptError("tray click, tray dblclick or tray menu ITEM");
            } else if (cmd == "mouse") {
                std::string what = LowerCase(Word(rest));
                TCustomForm* form = headless::FindForm(Word(rest));
                int x = Number(Word(rest), "X");
                int y = Number(Word(rest), "Y");
                std::string b = LowerCase(Word(rest));
                TMouseButton button = b.empty() || b == "left" ? mbLeft : b == "right" ? mbRight : b == "middle" ? mbMiddle : throw headless::EScriptError("unknown button '" + b + "'");
                if (what == "down") headless::MouseDown(form, x, y, button);
                else if (what == "up") headless::MouseUp(form, x, y, button);
                else if (what == "move") headless::MouseMove(form, x, y);
                else throw headless::EScriptError("mouse down, up or move");
            } else if (cmd == "answer") {
                throw headless::EScriptError("no message box is open");
            } else if (cmd == "file" || cmd == "cancel") {
                throw headless::EScriptError("no file dialog is open");
            } else if (cmd == "show") {
                out << Utf8(headless::DescribeVisible());
                out.flush();
            } else if (cmd == "pump") {
                headless::Pump();
            } else if (cmd == "after") {
                const int ms = Number(Word(rest), "the milliseconds");
                const std::string line = Trim(rest);
                if (ms < 0 || line.empty()) throw headless::EScriptError("after MS COMMAND");
                After(static_cast<DWORD>(ms), line);
            } else if (cmd == "wait") {
                const int ms = Number(Word(rest), "the milliseconds");
                if (ms < 0) throw headless::EScriptError("wait needs milliseconds of 0 or more");
                headless::Wait(static_cast<DWORD>(ms));
            } else if (!self->OnCommand || !self->OnCommand(line1254)) {
                throw headless::EScriptError("unknown command '" + cmd + "' (try help)");
            }
            return true;
        } catch (const Exception& e) {
            Error(e.Message);
            return false;
        }
    }
};

TConsoleDriver::TConsoleDriver(std::istream& in, std::ostream& out) : FImpl(new Impl(in, out, this)) {}

TConsoleDriver::~TConsoleDriver() { delete FImpl; }

bool TConsoleDriver::Execute(const std::string& line) { return FImpl->Execute(cp1254::FromUtf8(line)); }

int TConsoleDriver::Run(const std::function<void()>& start) {
    auto& h = headless::Headless();
    auto oldBox = h.AskBox;
    auto oldFile = h.AskFile;
    auto oldWindow = h.OnWindowEvent;
    auto oldPopup = h.OnPopupMenu;
    auto oldModal = h.ModalAsker;
    auto oldNavigate = h.OnNavigate;
    h.AskBox = [this](const headless::BoxRecord& r) { return FImpl->AskBox(r); };
    h.AskFile = [this](const headless::DialogRecord& r) { return FImpl->AskFile(r); };
    h.OnWindowEvent = [this](const headless::WindowEvent& e) {
        FImpl->Print(std::string(e.Shown ? "shown " : "hidden ") + Utf8(e.Form) + " " + Quote(e.Caption));
    };
    h.OnPopupMenu = [this](TPopupMenu* menu) {
        std::string items;
        for (int i = 0; i < menu->Items()->Count(); ++i) {
            TMenuItem* it = menu->Items()->Items(i);
            if (!it->Visible || it->IsLine()) continue;
            items += (items.empty() ? "" : ",") + it->Name() + (it->Enabled ? "" : "(disabled)");
        }
        std::string owner = menu->Owner() ? menu->Owner()->Name() + "." : std::string();
        FImpl->Print("popup " + Utf8(owner + menu->Name()) + " items=" + Utf8(items));
    };
    h.OnNavigate = [this](const headless::NavigationRecord& r) { FImpl->Print("navigate " + Utf8(r.URL)); };
    shell::TrayWatcher oldTray = shell::SetTrayWatcher([this](const shell::TrayIcon& icon, shell::TrayChange change) {
        if (change == shell::TrayChange::Added) FImpl->Print("tray added " + Quote(icon.tip));
        else if (change == shell::TrayChange::Removed) FImpl->Print("tray removed " + Quote(icon.tip));
    });
    shell::OpenWatcher oldOpen = shell::SetOpenWatcher([this](const ShellRequest& r) {
        FImpl->Print("open " + Quote(r.file) + (r.verb.empty() ? "" : " verb=" + Utf8(r.verb)));
    });
    // A modal window open when the program ends is cancelled (the backend's answer when no one
    // acts).
    h.ModalAsker = [this](TCustomForm*) {
        std::optional<std::string> line = FImpl->AnswerLine();
        if (!line) return false;
        FImpl->Execute(*line);
        return true;
    };
    struct Restore {
        headless::THeadlessBackend& h;
        decltype(oldBox) box;
        decltype(oldFile) file;
        decltype(oldWindow) window;
        decltype(oldPopup) popup;
        decltype(oldModal) modal;
        decltype(oldNavigate) navigate;
        shell::TrayWatcher tray;
        shell::OpenWatcher open;
        ~Restore() {
            h.OnNavigate = navigate;
            shell::SetTrayWatcher(tray);
            shell::SetOpenWatcher(open);
            h.AskBox = box;
            h.AskFile = file;
            h.OnWindowEvent = window;
            h.OnPopupMenu = popup;
            h.ModalAsker = modal;
        }
    } restore{h, oldBox, oldFile, oldWindow, oldPopup, oldModal, oldNavigate, oldTray, oldOpen};

    auto ended = [this](int code) {
        FImpl->Print("exit " + std::to_string(code));
        return code;
    };
    try {
        try {
            if (start) Application->Trap(Application, start);
            if (Application->MainForm() && Application->ShowMainForm && !Application->Terminated())
                Application->Trap(Application, [] { Application->MainForm()->Show(); });
            Application->Trap(Application, [] { Application->ProcessMessages(); });
        } catch (const THalted& e) {
            return ended(e.Code);
        }
        for (;;) {
            if (headless::Halted()) return ended(headless::ExitCode());
            if (Application->Terminated()) return ended(0);
            FImpl->Execute(FImpl->NextLine());
        }
    } catch (const TEndOfInput&) {
        return -1;
    }
}
