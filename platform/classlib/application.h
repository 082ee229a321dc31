// The application object: the form list, the message loop, exception handling, minimising, and
// Halt.
//
// Every event handler that a user action runs (clicks, menu items, typing, selection, the close
// box, timers and component messages dispatched by the application's loop) runs inside a trap that
// hands an Exception (or any std::exception) to HandleException: an error box captioned with Title
// showing the exception's Message, OK button, error icon; the loop goes on. EAbort is silent.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/forms.h"

class TApplicationEvents;

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;
    const char* ClassName() const override { return "TApplication"; }

    std::string Title;
    std::string HelpFile;
    bool ShowMainForm = true;  // Run shows the main form
    bool ShowHint = true;
    std::string Hint;

    // Creates a form owned by the application, assigns `ref` before the form's OnCreate runs, and
    // runs AfterConstruction (OnCreate). The first form created this way becomes MainForm.
    template <class T>
    void CreateForm(T*& ref) {
        T* form = new T(this);
        ref = form;
        FormCreated(form);
        form->AfterConstruction();
    }
    TCustomForm* MainForm() const { return FMainForm; }
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int i) const { return FForms.at(static_cast<size_t>(i)); }
    TCustomForm* ActiveForm() const { return FActiveForm; }

    // Shows the main form (when ShowMainForm) and runs the message loop until WM_QUIT or
    // Terminate. Closing the main form terminates. Returns at once when already terminated.
    void Run();
    // Takes and dispatches every message ready, including those posted during the pass, then
    // returns (a WM_QUIT met on the way sets Terminated).
    void ProcessMessages();
    // Takes one message (waiting for it when none is ready) and dispatches it.
    void HandleMessage();
    // Takes and dispatches one message when one is ready; false when none was (never waits).
    bool HandleMessageNoWait();
    void Terminate();          // Terminated := true and posts WM_QUIT
    bool Terminated() const { return FTerminated; }

    // Called from a catch block: shows the current exception (see the top of this file), or hands
    // it to an assigned OnException (the application's or a TApplicationEvents'). EAbort is
    // silent. Anything not derived from std::exception is rethrown.
    void HandleException(TObject* Sender);
    void ShowException(const Exception& E);
    // Runs fn inside the trap described at the top: true when it ended without an exception.
    bool Trap(TObject* Sender, const std::function<void()>& fn);

    // Message boxes through the backend. Caption empty = Title.
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags = 0);

    void Minimize();   // minimises the application (all its forms); runs OnMinimize; no-op when minimised
    void Restore();    // undoes Minimize; runs OnRestore
    bool Minimized() const { return FMinimized; }
    void BringToFront() {}

    // The program file (a Linux path of the running executable).
    std::string ExeName() const;

    // Ends the process at once with `code` (see ::Halt).
    [[noreturn]] void Halt(int code = 0);

    TExceptionEvent OnException;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // Frees every form and TApplicationEvents it owns and returns to the state after start (no
    // main form, not terminated, not minimised; WM_QUIT left in the queue is dropped). For test
    // sessions and the console driver.
    void Reset();

    // Internal: forms and event components register themselves.
    void FormCreated(TCustomForm* form);  // from CreateForm: the first becomes MainForm
    void RegisterForm(TCustomForm* form); // from every form's constructor
    void FormDestroyed(TCustomForm* form);
    void SetActiveForm(TCustomForm* form);
    void AddEvents(TApplicationEvents* e);
    void RemoveEvents(TApplicationEvents* e);

private:
    bool ProcessMessage(MSG& msg);  // false when no message was ready
    TCustomForm* FMainForm = nullptr;
    TCustomForm* FActiveForm = nullptr;
    std::vector<TCustomForm*> FForms;
    std::vector<TApplicationEvents*> FEvents;
    bool FTerminated = false;
    bool FMinimized = false;
    bool FRunning = false;
};

extern TApplication* Application;

// Puts the application's events on a form: each assigned event runs when the application's does.
class TApplicationEvents : public TComponent {
public:
    explicit TApplicationEvents(TComponent* AOwner);
    ~TApplicationEvents() override;
    const char* ClassName() const override { return "TApplicationEvents"; }
    TExceptionEvent OnException;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
};

// Ends the process at once with exit code `code`: no destructor runs and nothing else is written.
// When a halt handler is installed (tests, the console driver) it is called instead and must not
// return normally (it throws THalted or its own exception); if it returns, the process ends anyway.
[[noreturn]] void Halt(int code = 0);
using THaltHandler = std::function<void(int code)>;
THaltHandler SetHaltHandler(THaltHandler handler);  // returns the previous one

// What the headless halt handler throws. Not an Exception: no trap catches it, so it unwinds to
// whoever started the scripted action.
struct THalted {
    int Code = 0;
};

// A box captioned with Application->Title showing Msg, OK button only.
void ShowMessage(const std::string& Msg);
