// The headless backend (the default one) and the scripting API that drives forms the way a person
// would.
//
// The backend shows nothing: it records every form shown and hidden, every message box and every
// file dialog, in order, and answers boxes and dialogs from queues filled beforehand (or from an
// asker callback, which the console driver installs). A box with no answer is recorded as
// unanswered and returns its default button; a dialog with no answer is recorded as unanswered and
// cancelled. Nothing ever waits.
//
// Scripting: every action first checks its target as a person would meet it (the control exists,
// its form is showing and enabled, the control and its parents are visible and enabled, a menu
// item and its parents are enabled and visible) and raises EScriptError with a clear message
// otherwise. It then runs inside the application's exception trap and finally lets the message loop
// take everything that became ready (Application->ProcessMessages). When the program halts during
// an action (Halt under a TSession), the action returns normally, Halted() becomes true and
// ExitCode() tells the code; every later action raises EScriptError.
//
// Paths: "Form1" is a form (by Name, ignoring case, among the application's forms); "Form1.Button1"
// is a component the form owns (a control or a menu item).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/backend.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/menus.h"

class TPopupMenu;

namespace headless {

CLASSLIB_EXCEPTION(EScriptError, Exception);

// One message box as it was asked, and what it returned.
struct BoxRecord {
    std::string Caption;
    std::string Text;
    UINT Flags = 0;
    std::vector<int> Buttons;   // IDOK, IDYES, ... in the order shown
    int DefaultButton = 0;      // the preselected one
    std::string Icon;           // "none", "error", "question", "warning", "information"
    int Answer = 0;             // what MessageBox returned
    bool Answered = false;      // false: nobody answered; Answer is the default button
    bool TextUtf8 = false;      // Text is UTF-8 (TMessageBoxRequest::TextUtf8)
};

// One file dialog as it was asked, and how it ended.
struct DialogRecord {
    bool Save = false;
    std::string Title;
    std::string FileName;       // the name offered
    std::string DefaultExt;
    std::string Filter;
    std::string InitialDir;
    bool Answered = false;      // false: nobody answered (treated as cancelled)
    bool Cancelled = true;
    std::string Chosen;         // the name returned when not cancelled
};

// One form shown or hidden.
struct WindowEvent {
    bool Shown = false;
    std::string Form;           // the form's Name
    std::string Caption;
};

// One navigation of a web browser control.
struct NavigationRecord {
    std::string Control;        // Form.Control
    std::string URL;
    bool Cancelled = false;     // its before-navigate handler cancelled it
};

// An answer for a file dialog: a file name, or cancel.
struct FileAnswer {
    bool Cancel = false;
    std::string FileName;
};

class THeadlessBackend : public TBackend {
public:
    // Answers, used in the order queued. Box answers are button ids (IDYES, IDNO, IDOK...); an
    // answer that is not one of the box's buttons is recorded as unanswered (the default button
    // is returned).
    void QueueBoxAnswer(int id);
    void QueueFileAnswer(const std::string& fileName);
    void QueueFileCancel();

    // Live answers, asked when the queue is empty (the console driver reads them from its input);
    // nullopt = no answer.
    std::function<std::optional<int>(const BoxRecord&)> AskBox;
    std::function<std::optional<FileAnswer>(const DialogRecord&)> AskFile;
    // Told of every form shown or hidden and every popup menu opened.
    std::function<void(const WindowEvent&)> OnWindowEvent;
    std::function<void(TPopupMenu*)> OnPopupMenu;
    // Told of every navigation of a web browser control, before its events run.
    std::function<void(const NavigationRecord&)> OnNavigate;
    // Actions for modal loops: while a form runs ShowModal and no message is ready, the next queued
    // action runs with that form; with none queued, ModalIdle asks ModalAsker (when set: true means
    // it did something) and otherwise records an unanswered modal and sets ModalResult := mrCancel.
    void QueueModalAction(std::function<void(TCustomForm*)> action);
    std::function<bool(TCustomForm*)> ModalAsker;

    // Read back.
    const std::vector<BoxRecord>& Boxes() const { return FBoxes; }
    const std::vector<DialogRecord>& Dialogs() const { return FDialogs; }
    const std::vector<WindowEvent>& WindowEvents() const { return FWindowEvents; }
    const std::vector<NavigationRecord>& Navigations() const { return FNavigations; }
    // Boxes, dialogs and modal loops that nobody answered.
    int UnansweredCount() const { return FUnanswered; }
    TPopupMenu* OpenPopup() const { return FOpenPopup; }
    void ClosePopup() { FOpenPopup = nullptr; }
    // Forgets every record, queued answer and askers' state (the askers stay).
    void ClearRecords();

    // TBackend
    void FormShown(TCustomForm* form) override;
    void FormHidden(TCustomForm* form) override;
    void FormDestroying(TCustomForm* form) override;
    int MessageBox(const TMessageBoxRequest& request) override;
    bool FileDialog(TFileDialogRequest& request) override;
    void PopupMenu(TPopupMenu* menu, int x, int y) override;
    void ModalIdle(TCustomForm* form) override;
    // Records the navigation, tells OnNavigate, then runs the control's before-navigate and (unless
    // cancelled) navigate-complete events at once.
    void Navigate(TWebBrowser* browser, const std::string& url) override;

private:
    std::vector<NavigationRecord> FNavigations;
    std::vector<int> FBoxAnswers;
    std::vector<FileAnswer> FFileAnswers;
    std::vector<std::function<void(TCustomForm*)>> FModalActions;
    std::vector<BoxRecord> FBoxes;
    std::vector<DialogRecord> FDialogs;
    std::vector<WindowEvent> FWindowEvents;
    int FUnanswered = 0;
    TPopupMenu* FOpenPopup = nullptr;
};

// The process's headless backend (the one ActiveBackend returns unless another is installed).
THeadlessBackend& Headless();

// A scripted session (a test, the console driver): resets the application (Application->Reset)
// and the headless records, makes the headless backend active and installs a halt handler that
// throws THalted; the destructor resets the application again and restores the previous halt
// handler and backend.
class TSession {
public:
    TSession();
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;
};

// Whether the program halted during a scripted action, and with which code.
bool Halted();
int ExitCode();

// Finding targets. They raise EScriptError when nothing matches (or the wrong kind matches).
TCustomForm* FindForm(const std::string& name);
TComponent* Find(const std::string& path);
TControl* FindControl(const std::string& path);

// A click: for a control, a left press and release at its centre sent through the form's window
// when it is the control there (so OnMouseDown / OnMouseUp run too), else its Click directly; either
// way its Click runs (buttons set ModalResult and run OnClick, check boxes toggle, ...). On a list
// or combo box only OnClick runs (use Select to choose an item). For a menu item, open the menus above it as a person would
// (a popup menu first pops up, running OnPopup, unless it is the open one; every parent submenu
// runs its OnClick, top first) and then choose it. A path names either.
void Click(TControl* control);
void Click(TMenuItem* item);
void Click(const std::string& path);
// A double click. On a control whose double click chooses an item (a list box) it selects the item
// under the pointer first (the selected one, or `index` when given >= 0).
void DblClick(TControl* control, int index = -1);
void DblClick(const std::string& path, int index = -1);
// Typing into a control that takes typing (an edit, memo or editable combo box): focuses it, then
// every character is a key-down (OnKeyDown with the character's virtual key; as with a keyboard,
// clearing the key there does not stop the character) and then goes through OnKeyPress and the
// control (MaxLength limits what goes in). "\r" is
// Enter, "\b" backspace, "\x1b" Escape (the form's Cancel button).
void Type(TControl* control, const std::string& text);
void Type(const std::string& path, const std::string& text);
// Pasting into a control that takes a paste (an edit or memo): inserts as much as MaxLength allows,
// one OnChange, no key events.
void Paste(TControl* control, const std::string& text);
void Paste(const std::string& path, const std::string& text);
// A key press with a virtual key code on a focusable control (TWinControl::UserKey: OnKeyDown, and
// the control's handling of it: VK_RETURN / VK_ESCAPE run the form's Default / Cancel button;
// VK_UP / VK_DOWN move a list box's selection as a user's selection).
void Key(TControl* control, WORD key, TShiftState shift = 0);
void Key(const std::string& path, WORD key, TShiftState shift = 0);
// A user's choice of item `index` of a control with items (a list or combo box; the user events
// run).
void Select(TControl* control, int index);
void Select(const std::string& path, int index);
// A right click on a control that has a PopupMenu (opens it, running OnPopup), or an explicit
// popup of a menu.
void RightClick(TControl* control);
void RightClick(const std::string& path);
void Popup(TPopupMenu* menu, int x = 0, int y = 0);
// The close box of a form (WM_SYSCOMMAND SC_CLOSE through its window procedure).
void CloseBox(TCustomForm* form);
void CloseBox(const std::string& name);
// Minimising the application through the main form's window (WM_SYSCOMMAND SC_MINIMIZE), and
// restoring it (from the taskbar).
void Minimize();
void Restore();
// The notification area, as a person uses it: the shell's notifications of a left click (down, up),
// a double click (down, up, double click, up) and a right click (down, up), sent to the window of
// the first icon present (shellapi.h), each while the icon is still there. EScriptError when there
// is no icon.
void TrayClick();
void TrayDblClick();
void TrayRightClick();
// A right click on the icon, then the choice of item `name` (its Name, or its caption without the
// '&', ignoring case) in the popup menu that opened.
void TrayMenu(const std::string& name);
// Mouse messages at client coordinates of a form, through its window procedure (so hooks and
// skinned forms see them as from the window system).
void MouseDown(TCustomForm* form, int x, int y, TMouseButton button = mbLeft, TShiftState shift = 0);
void MouseMove(TCustomForm* form, int x, int y, TShiftState shift = 0);
void MouseUp(TCustomForm* form, int x, int y, TMouseButton button = mbLeft, TShiftState shift = 0);
// Lets the message loop take everything ready (posted messages, due timers).
void Pump();
// Runs the message loop for `ms` milliseconds, blocking in the queue's wait between messages, so
// timers due in that time run (and whatever they post).
void Wait(DWORD ms);

// A text listing of the visible forms and their controls (name, class, text, state), one line each.
std::string DescribeVisible();
// A text in double quotes with \" \\ \r \n \t escaped (bytes unchanged otherwise).
std::string QuoteText(const std::string& s);

}  // namespace headless
