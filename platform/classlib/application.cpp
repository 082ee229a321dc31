#include "platform/classlib/application.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/classlib/dialogs.h"

namespace {

std::string ExePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

THaltHandler& HaltHandler() {
    static THaltHandler h;
    return h;
}

}  // namespace

TApplication* Application = new TApplication(nullptr);

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
    std::string name = ExtractFileName(ExePath());
    std::string ext = ExtractFileExt(name);
    Title = name.substr(0, name.size() - ext.size());
}

TApplication::~TApplication() = default;

void TApplication::FormCreated(TCustomForm* form) {
    if (!FMainForm) FMainForm = form;
}

void TApplication::RegisterForm(TCustomForm* form) { FForms.push_back(form); }

void TApplication::FormDestroyed(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FMainForm == form) FMainForm = nullptr;
    if (FActiveForm == form) FActiveForm = nullptr;
}

void TApplication::SetActiveForm(TCustomForm* form) {
    if (form == FActiveForm) return;
    TCustomForm* old = FActiveForm;
    if (!form) {
        // The active form went away: the most recent visible form (else none) takes over.
        for (auto it = FForms.rbegin(); it != FForms.rend(); ++it)
            if (*it != old && (*it)->Visible()) {
                form = *it;
                break;
            }
    }
    FActiveForm = form;
    if (old && old->OnDeactivate) old->OnDeactivate(old);
    if (form && FActiveForm == form && form->OnActivate) form->OnActivate(form);
}

void TApplication::AddEvents(TApplicationEvents* e) { FEvents.push_back(e); }

void TApplication::RemoveEvents(TApplicationEvents* e) {
    FEvents.erase(std::remove(FEvents.begin(), FEvents.end(), e), FEvents.end());
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    TranslateMessage(&msg);
    Trap(this, [&] { DispatchMessageA(&msg); });
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
        if (msg.message == WM_QUIT) break;
    }
}

bool TApplication::HandleMessageNoWait() {
    MSG msg;
    return ProcessMessage(msg);
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg)) WaitMessage();
}

void TApplication::Run() {
    if (FTerminated) return;
    FRunning = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{FRunning};
    if (FMainForm && ShowMainForm) Trap(FMainForm, [&] { FMainForm->Show(); });
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
    if (FTerminated) return;
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr p = std::current_exception();
    if (!p) return;
    auto handle = [&](const Exception& e) {
        if (OnException) {
            OnException(Sender, e);
            return;
        }
        bool handled = false;
        std::vector<TApplicationEvents*> events = FEvents;
        for (TApplicationEvents* ev : events)
            if (ev->OnException) {
                ev->OnException(Sender, e);
                handled = true;
            }
        if (!handled) ShowException(e);
    };
    try {
        std::rethrow_exception(p);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        handle(e);
    } catch (const std::exception& e) {
        handle(Exception(e.what()));
    }
}

void TApplication::ShowException(const Exception& E) { MessageBox(E.Message, Title, MB_OK | MB_ICONSTOP); }

bool TApplication::Trap(TObject* Sender, const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const Exception&) {
        HandleException(Sender);
    } catch (const std::exception&) {
        HandleException(Sender);
    }
    return false;
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
    TMessageBoxRequest r;
    r.Text = Text;
    r.Caption = Caption.empty() ? Title : Caption;
    r.Flags = Flags;
    return ActiveBackend()->MessageBox(r);
}

void TApplication::Minimize() {
    if (FMinimized) return;
    FMinimized = true;
    ActiveBackend()->ApplicationMinimized();
    if (OnMinimize) OnMinimize(this);
    std::vector<TApplicationEvents*> events = FEvents;
    for (TApplicationEvents* ev : events)
        if (std::find(FEvents.begin(), FEvents.end(), ev) != FEvents.end() && ev->OnMinimize) ev->OnMinimize(this);
}

void TApplication::Restore() {
    if (!FMinimized) return;
    FMinimized = false;
    ActiveBackend()->ApplicationRestored();
    if (OnRestore) OnRestore(this);
    std::vector<TApplicationEvents*> events = FEvents;
    for (TApplicationEvents* ev : events)
        if (std::find(FEvents.begin(), FEvents.end(), ev) != FEvents.end() && ev->OnRestore) ev->OnRestore(this);
}

std::string TApplication::ExeName() const { return ExePath(); }

void TApplication::Halt(int code) { ::Halt(code); }

void TApplication::Reset() {
    while (!FForms.empty()) {
        TCustomForm* f = FForms.back();
        f->BeforeDestruction();
        delete f;
    }
    DestroyComponents();
    FMainForm = nullptr;
    FActiveForm = nullptr;
    FTerminated = false;
    FMinimized = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TApplicationEvents::TApplicationEvents(TComponent* AOwner) : TComponent(AOwner) { Application->AddEvents(this); }

TApplicationEvents::~TApplicationEvents() { Application->RemoveEvents(this); }

void Halt(int code) {
    if (THaltHandler h = HaltHandler()) h(code);
    _exit(code);
}

THaltHandler SetHaltHandler(THaltHandler handler) {
    THaltHandler old = std::move(HaltHandler());
    HaltHandler() = std::move(handler);
    return old;
}

void ShowMessage(const std::string& Msg) { Application->MessageBox(Msg, Application->Title, MB_OK); }
