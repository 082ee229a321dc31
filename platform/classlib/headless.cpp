#include "platform/classlib/headless.h"

#include <algorithm>
#include <sstream>

#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/webbrowser.h"
#include "platform/win/shellapi.h"

namespace headless {

// ---- the backend ----

void THeadlessBackend::QueueBoxAnswer(int id) { FBoxAnswers.push_back(id); }
void THeadlessBackend::QueueFileAnswer(const std::string& fileName) { FFileAnswers.push_back(FileAnswer{false, fileName}); }
void THeadlessBackend::QueueFileCancel() { FFileAnswers.push_back(FileAnswer{true, std::string()}); }
void THeadlessBackend::QueueModalAction(std::function<void(TCustomForm*)> action) {
    FModalActions.push_back(std::move(action));
}

void THeadlessBackend::ClearRecords() {
    FBoxAnswers.clear();
    FFileAnswers.clear();
    FModalActions.clear();
    FBoxes.clear();
    FDialogs.clear();
    FWindowEvents.clear();
    FNavigations.clear();
    FUnanswered = 0;
    FOpenPopup = nullptr;
}

namespace {
std::string FormName(const TCustomForm* f) { return f->Name().empty() ? std::string(f->ClassName()) : f->Name(); }

// The virtual key a typed character comes from (letters by their capital, digits, the control
// keys); 0 for the rest, which lie on keys of the keyboard's layout.
WORD VirtualKeyOf(char ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<WORD>(ch - 'a' + 'A');
    if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return static_cast<WORD>(ch);
    switch (ch) {
        case ' ': return VK_SPACE;
        case '\r': return VK_RETURN;
        case '\b': return VK_BACK;
        case '\t': return VK_TAB;
        case '\x1b': return VK_ESCAPE;
        default: return 0;
    }
}
}  // namespace

void THeadlessBackend::FormShown(TCustomForm* form) {
    WindowEvent e{true, FormName(form), form->Caption()};
    FWindowEvents.push_back(e);
    if (OnWindowEvent) OnWindowEvent(e);
}

void THeadlessBackend::FormHidden(TCustomForm* form) {
    WindowEvent e{false, FormName(form), form->Caption()};
    FWindowEvents.push_back(e);
    if (OnWindowEvent) OnWindowEvent(e);
}

void THeadlessBackend::FormDestroying(TCustomForm* form) {
    if (FOpenPopup && FOpenPopup->Owner() == form) FOpenPopup = nullptr;
}

int THeadlessBackend::MessageBox(const TMessageBoxRequest& request) {
    BoxRecord r;
    r.Caption = request.Caption;
    r.Text = request.Text;
    r.Flags = request.Flags;
    r.TextUtf8 = request.TextUtf8;
    r.Buttons = MessageBoxButtons(request.Flags);
    r.DefaultButton = MessageBoxDefaultButton(request.Flags);
    r.Icon = IconName(request.Flags);
    std::optional<int> answer;
    if (!FBoxAnswers.empty()) {
        answer = FBoxAnswers.front();
        FBoxAnswers.erase(FBoxAnswers.begin());
    } else if (AskBox) {
        answer = AskBox(r);
    }
    if (answer && std::find(r.Buttons.begin(), r.Buttons.end(), *answer) != r.Buttons.end()) {
        r.Answer = *answer;
        r.Answered = true;
    } else {
        r.Answer = r.DefaultButton;
        r.Answered = false;
        ++FUnanswered;
    }
    FBoxes.push_back(r);
    return r.Answer;
}

bool THeadlessBackend::FileDialog(TFileDialogRequest& request) {
    DialogRecord r;
    r.Save = request.Save;
    r.Title = request.Title;
    r.FileName = request.FileName;
    r.DefaultExt = request.DefaultExt;
    r.Filter = request.Filter;
    r.InitialDir = request.InitialDir;
    std::optional<FileAnswer> answer;
    if (!FFileAnswers.empty()) {
        answer = FFileAnswers.front();
        FFileAnswers.erase(FFileAnswers.begin());
    } else if (AskFile) {
        answer = AskFile(r);
    }
    if (!answer) {
        r.Answered = false;
        r.Cancelled = true;
        ++FUnanswered;
    } else {
        r.Answered = true;
        r.Cancelled = answer->Cancel || answer->FileName.empty();
        if (!r.Cancelled) r.Chosen = answer->FileName;
    }
    FDialogs.push_back(r);
    if (r.Cancelled) return false;
    request.FileName = r.Chosen;
    return true;
}

void THeadlessBackend::PopupMenu(TPopupMenu* menu, int, int) {
    FOpenPopup = menu;
    if (OnPopupMenu) OnPopupMenu(menu);
}

void THeadlessBackend::Navigate(TWebBrowser* browser, const std::string& url) {
    const TCustomForm* f = browser->ParentForm();
    NavigationRecord r;
    r.Control = (f ? FormName(f) + "." : std::string()) + browser->Name();
    r.URL = url;
    const size_t index = FNavigations.size();  // a handler may navigate again meanwhile
    FNavigations.push_back(r);
    if (OnNavigate) OnNavigate(r);
    if (browser->BeforeNavigate(url)) browser->NavigateComplete(url);
    else FNavigations[index].Cancelled = true;
}

void THeadlessBackend::ModalIdle(TCustomForm* form) {
    if (!FModalActions.empty()) {
        auto action = std::move(FModalActions.front());
        FModalActions.erase(FModalActions.begin());
        action(form);
        return;
    }
    if (ModalAsker && ModalAsker(form)) return;
    ++FUnanswered;
    form->ModalResult = mrCancel;
}

THeadlessBackend& Headless() {
    static THeadlessBackend backend;
    return backend;
}

// ---- sessions and halting ----

namespace {
bool g_halted = false;
int g_exitCode = 0;
struct SessionState {
    TBackend* backend = nullptr;
    THaltHandler halt;
};
std::vector<SessionState> g_sessions;
}  // namespace

TSession::TSession() {
    SessionState s;
    s.backend = SetBackend(&Headless());
    Application->Reset();
    Headless().ClearRecords();
    g_halted = false;
    g_exitCode = 0;
    s.halt = SetHaltHandler([](int code) { throw THalted{code}; });
    g_sessions.push_back(std::move(s));
}

TSession::~TSession() {
    try {
        Application->Reset();
    } catch (...) {
    }
    Headless().ClearRecords();
    g_halted = false;
    g_exitCode = 0;
    SessionState s = std::move(g_sessions.back());
    g_sessions.pop_back();
    SetHaltHandler(std::move(s.halt));
    SetBackend(s.backend == &Headless() ? nullptr : s.backend);
}

bool Halted() { return g_halted; }
int ExitCode() { return g_exitCode; }

namespace {

void CheckRunning() {
    if (g_halted) throw EScriptError(Format("The program has ended (exit code %d)", {static_cast<std::int64_t>(g_exitCode)}));
}

// Runs one step of a user action inside the application's trap; false when the program halted.
bool Step(TObject* sender, const std::function<void()>& fn) {
    try {
        Application->Trap(sender, fn);
        return true;
    } catch (const THalted& h) {
        g_halted = true;
        g_exitCode = h.Code;
        return false;
    }
}

void Settle() {
    if (g_halted) return;
    Step(Application, [] { Application->ProcessMessages(); });
}

void Act(TObject* sender, const std::function<void()>& fn) {
    CheckRunning();
    if (Step(sender, fn)) Settle();
}

std::string ControlName(const TControl* c) {
    const TCustomForm* f = c->ParentForm();
    if (f == c) return FormName(f);
    std::string name = c->Name().empty() ? std::string(c->ClassName()) : c->Name();
    return f ? FormName(f) + "." + name : name;
}

void CheckForm(const TCustomForm* form) {
    bool known = false;
    for (int i = 0; i < Application->FormCount(); ++i)
        if (Application->Forms(i) == form) known = true;
    if (!form || !known) throw EScriptError("No such form");
    if (!form->Visible()) throw EScriptError(FormName(form) + " is not visible");
    if (!form->Enabled()) throw EScriptError(FormName(form) + " is disabled and takes no input");
}

TCustomForm* CheckControl(const TControl* c) {
    if (!c) throw EScriptError("No such control");
    TCustomForm* form = c->ParentForm();
    if (!form) throw EScriptError(ControlName(c) + " is not on a form");
    CheckForm(form);
    for (const TControl* p = c; p && p != form; p = p->Parent()) {
        if (!p->Visible()) throw EScriptError(ControlName(c) + " is hidden");
        if (!p->Enabled()) throw EScriptError(ControlName(c) + " is disabled");
    }
    return form;
}

// The centre of a control in its form's client coordinates, when the control is the one a
// press there reaches.
bool HitPoint(TCustomForm* form, TControl* c, int& x, int& y) {
    if (c == form || c->Width() <= 0 || c->Height() <= 0) return false;
    x = c->Width() / 2;
    y = c->Height() / 2;
    for (TControl* p = c; p && p != form; p = p->Parent()) {
        x += p->Left();
        y += p->Top();
    }
    TWinControl* w = form;
    int cx = x, cy = y;
    for (;;) {
        TControl* at = w->ControlAtPos(cx, cy);
        if (!at) return false;
        if (at == c) return true;
        cx -= at->Left();
        cy -= at->Top();
        auto* aw = dynamic_cast<TWinControl*>(at);
        if (!aw) return false;
        w = aw;
    }
}

LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// The focus a person's click gives.
void Focus(TControl* c) {
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->TakesFocusOnClick()) w->SetFocus();
}

// The focus a person's choice of an item or typing gives, whatever the control's TabStop says.
void FocusAlways(TControl* c) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->SetFocus();
}

}  // namespace

// ---- finding ----

TCustomForm* FindForm(const std::string& name) {
    for (int i = 0; i < Application->FormCount(); ++i) {
        TCustomForm* f = Application->Forms(i);
        if (SameText(FormName(f), name)) return f;
    }
    throw EScriptError("No form named " + name);
}

TComponent* Find(const std::string& path) {
    size_t dot = path.find('.');
    if (dot == std::string::npos) return FindForm(path);
    TCustomForm* f = FindForm(path.substr(0, dot));
    std::string rest = path.substr(dot + 1);
    TComponent* c = f->FindComponent(rest);
    if (!c) throw EScriptError(FormName(f) + " has no component named " + rest);
    return c;
}

TControl* FindControl(const std::string& path) {
    auto* c = dynamic_cast<TControl*>(Find(path));
    if (!c) throw EScriptError(path + " is not a control");
    return c;
}

// ---- actions ----

void Click(TControl* control) {
    CheckRunning();
    TCustomForm* form = CheckControl(control);
    int x = 0, y = 0;
    if (control != form && control->ClicksOnMouseUp() && HitPoint(form, control, x, y)) {
        HWND h = form->Handle();
        Act(form, [&] {
            SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
            SendMessageA(h, WM_LBUTTONUP, 0, Point(x, y));
        });
        return;
    }
    Act(control, [&] {
        Focus(control);
        control->Click();
    });
}

namespace {

// Opens the menus above `item` as a person would (a popup menu first pops up unless it is the open
// one; every parent submenu runs its OnClick, top first) and chooses it. `name` names it in errors.
void ChooseMenuItem(TMenuItem* item, const std::string& name) {
    TMenu* menu = item->Menu();
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item->Parent(); p && p->Parent(); p = p->Parent()) chain.insert(chain.begin(), p);
    auto check = [&](TMenuItem* m) {
        std::string what = m == item ? name : name + " (in \"" + m->Caption + "\")";
        if (!m->Visible) throw EScriptError(what + ": \"" + m->Caption + "\" is hidden");
        if (!m->Enabled) throw EScriptError(what + ": \"" + m->Caption + "\" is disabled");
        if (m->IsLine()) throw EScriptError(what + " is a separator");
    };
    if (auto* popup = dynamic_cast<TPopupMenu*>(menu); popup && Headless().OpenPopup() != popup) {
        if (!Step(popup, [&] { popup->Popup(0, 0); })) return;
    }
    for (TMenuItem* m : chain) {
        check(m);
        if (!Step(m, [&] { m->Click(); })) return;
    }
    check(item);
    Headless().ClosePopup();
    if (Step(item, [&] { item->Click(); })) Settle();
}

}  // namespace

void Click(TMenuItem* item) {
    CheckRunning();
    if (!item) throw EScriptError("No such menu item");
    TMenu* menu = item->Menu();
    if (!menu || item->Parent() == nullptr) throw EScriptError(item->Name() + " is not in a menu");
    auto* form = dynamic_cast<TCustomForm*>(menu->Owner());
    if (form) CheckForm(form);
    ChooseMenuItem(item, (form ? FormName(form) + "." : std::string()) + item->Name());
}

void Click(const std::string& path) {
    CheckRunning();
    TComponent* c = Find(path);
    if (auto* m = dynamic_cast<TMenuItem*>(c)) return Click(m);
    if (auto* ctl = dynamic_cast<TControl*>(c)) return Click(ctl);
    throw EScriptError(path + " cannot be clicked");
}

void DblClick(TControl* control, int index) {
    CheckRunning();
    CheckControl(control);
    if (control->DblClickChoosesItem()) {
        int i = index >= 0 ? index : control->UserItemIndex();
        if (i < 0 || i >= control->UserItemCount())
            throw EScriptError(ControlName(control) + " has no item " + IntToStr(i) + " to double-click");
        Act(control, [&] {
            FocusAlways(control);
            control->UserDblClick(i);
        });
        return;
    }
    Act(control, [&] {
        Focus(control);
        control->UserDblClick(-1);
    });
}

void DblClick(const std::string& path, int index) { DblClick(FindControl(path), index); }

void Type(TControl* control, const std::string& text) {
    CheckRunning();
    CheckControl(control);
    auto* w = dynamic_cast<TWinControl*>(control);
    const char* refusal = control->RefusesTyping();
    if (!w && !refusal) refusal = "does not take typing";
    if (refusal) throw EScriptError(ControlName(control) + " " + refusal);
    if (!Step(control, [&] { w->SetFocus(); })) return;
    for (char ch : text) {
        TCustomForm* form = w->ParentForm();
        if (!form || !form->Visible() || !form->Enabled() || !w->Showing() || !w->Enabled()) break;  // it went away
        char k = ch;
        WORD vk = VirtualKeyOf(ch);  // the key-down comes first; clearing its key keeps the character
        if (!Step(control, [&] { w->KeyDown(vk, 0); })) return;
        if (!Step(control, [&] { w->KeyPress(k); })) return;
    }
    Settle();
}

void Type(const std::string& path, const std::string& text) { Type(FindControl(path), text); }

void Paste(TControl* control, const std::string& text) {
    CheckRunning();
    CheckControl(control);
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w || !control->TakesPaste()) throw EScriptError(ControlName(control) + " does not take pasting");
    Act(control, [&] {
        w->SetFocus();
        w->UserPaste(text);
    });
}

void Paste(const std::string& path, const std::string& text) { Paste(FindControl(path), text); }

void Key(TControl* control, WORD key, TShiftState shift) {
    CheckRunning();
    CheckControl(control);
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w) throw EScriptError(ControlName(control) + " takes no keys");
    Act(control, [&] {
        w->SetFocus();
        w->UserKey(key, shift);
    });
}

void Key(const std::string& path, WORD key, TShiftState shift) { Key(FindControl(path), key, shift); }

void Select(TControl* control, int index) {
    CheckRunning();
    CheckControl(control);
    const int count = control->UserItemCount();
    if (count < 0) throw EScriptError(ControlName(control) + " has no items to select");
    if (index < 0 || index >= count) throw EScriptError(ControlName(control) + " has no item " + IntToStr(index));
    Act(control, [&] {
        FocusAlways(control);
        control->UserSelect(index);
    });
}

void Select(const std::string& path, int index) { Select(FindControl(path), index); }

void RightClick(TControl* control) {
    CheckRunning();
    TCustomForm* form = CheckControl(control);
    TControl* owner = nullptr;
    for (TControl* c = control; c; c = c->Parent())
        if (c->PopupMenu()) {
            owner = c;
            break;
        }
    if (!owner) throw EScriptError(ControlName(control) + " has no popup menu");
    TPopupMenu* menu = owner->PopupMenu();
    int x = 0, y = 0;
    if (HitPoint(form, control, x, y)) {
        HWND h = form->Handle();
        Act(form, [&] {
            SendMessageA(h, WM_RBUTTONDOWN, MK_RBUTTON, Point(x, y));
            SendMessageA(h, WM_RBUTTONUP, 0, Point(x, y));
        });
        return;
    }
    Act(menu, [&] {
        menu->PopupComponent = owner;
        menu->Popup(form->Left(), form->Top());
    });
}

void RightClick(const std::string& path) { RightClick(FindControl(path)); }

void Popup(TPopupMenu* menu, int x, int y) {
    CheckRunning();
    if (!menu) throw EScriptError("No such popup menu");
    Act(menu, [&] { menu->Popup(x, y); });
}

void CloseBox(TCustomForm* form) {
    CheckRunning();
    CheckForm(form);
    if (!(form->BorderIcons & biSystemMenu) || form->BorderStyle == bsNone)
        throw EScriptError(FormName(form) + " has no close box");
    HWND h = form->Handle();
    Act(form, [&] { SendMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

void CloseBox(const std::string& name) { CloseBox(FindForm(name)); }

void Minimize() {
    CheckRunning();
    TCustomForm* main = Application->MainForm();
    if (!main) throw EScriptError("There is no main window to minimise");
    CheckForm(main);
    HWND h = main->Handle();
    Act(main, [&] { SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0); });
}

void Restore() {
    CheckRunning();
    if (!Application->Minimized()) throw EScriptError("The application is not minimised");
    Act(Application, [] { Application->Restore(); });
}

namespace {

shell::TrayIcon FirstTrayIcon() {
    std::vector<shell::TrayIcon> icons = shell::TrayIcons();
    if (icons.empty()) throw EScriptError("There is no icon in the notification area");
    return icons.front();
}

bool TrayIconPresent(const shell::TrayIcon& icon) {
    for (const shell::TrayIcon& i : shell::TrayIcons())
        if (i.hwnd == icon.hwnd && i.id == icon.id) return true;
    return false;
}

// Sends the shell's notifications of one gesture on the first icon, each while the icon is still
// there (a handler may take it away).
void TrayGesture(std::initializer_list<UINT> mouseMessages) {
    CheckRunning();
    const shell::TrayIcon icon = FirstTrayIcon();
    Act(Application, [&] {
        for (UINT m : mouseMessages) {
            if (!TrayIconPresent(icon) || !icon.callbackMessage) break;
            SendMessageA(icon.hwnd, icon.callbackMessage, icon.id, static_cast<LPARAM>(m));
        }
    });
}

// The menu caption as read: without the '&' of its accelerator.
std::string ReadCaption(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

TMenuItem* FindItem(TMenuItem* parent, const std::string& name) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* m = parent->Items(i);
        if (!m->IsLine() && (SameText(m->Name(), name) || SameText(ReadCaption(m->Caption), name))) return m;
        if (TMenuItem* sub = FindItem(m, name)) return sub;
    }
    return nullptr;
}

}  // namespace

void TrayClick() { TrayGesture({WM_LBUTTONDOWN, WM_LBUTTONUP}); }

void TrayDblClick() { TrayGesture({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}); }

void TrayRightClick() { TrayGesture({WM_RBUTTONDOWN, WM_RBUTTONUP}); }

void TrayMenu(const std::string& name) {
    Headless().ClosePopup();
    TrayRightClick();
    CheckRunning();
    TPopupMenu* popup = Headless().OpenPopup();
    if (!popup) throw EScriptError("The icon in the notification area opened no menu");
    TMenuItem* item = FindItem(popup->Items(), name);
    if (!item) throw EScriptError("The menu of the icon in the notification area has no item " + name);
    ChooseMenuItem(item, popup->Name() + "." + item->Name());
}

namespace {
WPARAM ButtonMK(TMouseButton b) { return b == mbLeft ? MK_LBUTTON : b == mbRight ? MK_RBUTTON : MK_MBUTTON; }
}  // namespace

void MouseDown(TCustomForm* form, int x, int y, TMouseButton button, TShiftState shift) {
    CheckRunning();
    CheckForm(form);
    UINT msg = button == mbLeft ? WM_LBUTTONDOWN : button == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    HWND h = form->Handle();
    Act(form, [&] { SendMessageA(h, msg, MKFromShiftState(shift) | ButtonMK(button), Point(x, y)); });
}

void MouseMove(TCustomForm* form, int x, int y, TShiftState shift) {
    CheckRunning();
    CheckForm(form);
    HWND h = form->Handle();
    Act(form, [&] { SendMessageA(h, WM_MOUSEMOVE, MKFromShiftState(shift), Point(x, y)); });
}

void MouseUp(TCustomForm* form, int x, int y, TMouseButton button, TShiftState shift) {
    CheckRunning();
    // A release goes to the window that took the press even when it has become disabled meanwhile.
    if (!form) throw EScriptError("No such form");
    UINT msg = button == mbLeft ? WM_LBUTTONUP : button == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP;
    HWND h = form->Handle();
    Act(form, [&] { SendMessageA(h, msg, MKFromShiftState(shift) & ~ButtonMK(button), Point(x, y)); });
}

void Pump() {
    if (g_halted) return;
    Settle();
}

void Wait(DWORD ms) {
    CheckRunning();
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        Settle();
        if (g_halted || Application->Terminated()) return;
        const int left = static_cast<int>(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

// ---- listing ----

std::string QuoteText(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

namespace {

// Writes a control's description on its listing line.
class TLineDescription : public TControlDescription {
public:
    explicit TLineDescription(std::ostringstream& out) : FOut(out) {}
    void Text(const std::string& text) override { FOut << ' ' << QuoteText(text); }
    void List(const char* name, const TStrings& items) override {
        FOut << ' ' << name << "=[";
        for (int k = 0; k < items.Count(); ++k) FOut << (k ? ", " : "") << QuoteText(items.Get(k));
        FOut << ']';
    }
    void Value(const char* name, int value) override { FOut << ' ' << name << '=' << value; }
    void State(const char* word) override { FOut << ' ' << word; }

private:
    std::ostringstream& FOut;
};

void Describe(std::ostringstream& out, const TWinControl* parent, int depth) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        const TControl* c = parent->Controls(i);
        if (!c->Visible()) continue;
        out << std::string(static_cast<size_t>(depth) * 2, ' ') << ControlName(c) << ' ' << c->ClassName();
        TLineDescription line(out);
        c->Describe(line);
        if (!c->Enabled()) out << " disabled";
        out << '\n';
        if (auto* w = dynamic_cast<const TWinControl*>(c)) Describe(out, w, depth + 1);
    }
}
}  // namespace

std::string DescribeVisible() {
    std::ostringstream out;
    for (int i = 0; i < Application->FormCount(); ++i) {
        const TCustomForm* f = Application->Forms(i);
        if (!f->Visible()) continue;
        out << FormName(f) << ' ' << QuoteText(f->Caption()) << (f->Enabled() ? "" : " disabled") << '\n';
        Describe(out, f, 1);
    }
    return out.str();
}

}  // namespace headless
