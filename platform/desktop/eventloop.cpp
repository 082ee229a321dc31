// The joined event loop: the GLib main context watched by the message queue's looks
// (win::PollSource) and served by a timer tick of the queue, and the guard that carries what
// escapes a callback back to the pump that dispatched it.
#include <poll.h>

#include <exception>

#include "platform/classlib/application.h"
#include "platform/classlib/messages.h"
#include "platform/desktop/internal.h"
#include "platform/win/msgwait.h"
#include "platform/win/winuser.h"

namespace desktop::detail {

namespace {

std::exception_ptr g_pending;

// One look's state: the priority prepare found and the descriptors GLib asked for; none when the
// look left GLib alone.
struct Look {
    bool asked = false;
    gint priority = 0;
    std::vector<GPollFD> fds;
};

// GLib's events reach the thread as a message of the queue: a look (a peek or a wait) that finds
// sources ready sets a timer of the loop's own window, and the pump that dispatches its tick runs
// them. A person's click is so served where the program dispatches its messages, in order with
// them, never inside a bare wait: a loop that pumps, tests its state and waits sees whatever the
// click changed, and what the click posted, at its next pump. As a tick, it comes when the queue
// holds no posted message, in turn with the program's own timers, so neither starves the other.
class TGLibSource final : public win::PollSource {
public:
    explicit TGLibSource(GMainContext* context) : FContext(context) {
        FWindow = AllocateHWnd([this](TMessage& m) {
            if (m.Msg == WM_TIMER && m.WParam == ReadyTimer) Serve();
            else m.Result = DefWindowProcA(FWindow, m.Msg, m.WParam, m.LParam);
        });
    }
    ~TGLibSource() { DeallocateHWnd(FWindow); }

    int Prepare(std::vector<pollfd>& fds) override {
        FLooks.emplace_back();
        // While the tick is due GLib waits for it: the look neither polls nor wakes for it.
        if (FTicking) return -1;
        Look& look = FLooks.back();
        look.asked = true;
        const bool ready = g_main_context_prepare(FContext, &look.priority);
        gint timeout = -1;
        look.fds.resize(8);
        for (;;) {
            gint n = g_main_context_query(FContext, look.priority, &timeout, look.fds.data(),
                                          static_cast<gint>(look.fds.size()));
            if (n <= static_cast<gint>(look.fds.size())) {
                look.fds.resize(static_cast<size_t>(n));
                break;
            }
            look.fds.resize(static_cast<size_t>(n));
        }
        for (const GPollFD& f : look.fds) fds.push_back({f.fd, static_cast<short>(f.events), 0});
        return ready ? 0 : timeout;
    }

    bool Dispatch(const pollfd* fds, std::size_t count) override {
        Look look = std::move(FLooks.back());
        FLooks.pop_back();
        if (!look.asked) return false;
        for (std::size_t i = 0; i < look.fds.size() && i < count; ++i)
            look.fds[i].revents = static_cast<gushort>(fds[i].revents);
        // What check found ready is found again by the iteration that serves the tick.
        if (!g_main_context_check(FContext, look.priority, look.fds.data(), static_cast<gint>(look.fds.size())))
            return false;
        FTicking = true;
        SetTimer(FWindow, ReadyTimer, 0, nullptr);
        return true;
    }

private:
    static constexpr UINT_PTR ReadyTimer = 1;

    void Serve() {
        KillTimer(FWindow, ReadyTimer);
        FTicking = false;
        g_main_context_iteration(FContext, FALSE);
        if (g_pending) {
            std::exception_ptr e = g_pending;
            g_pending = nullptr;
            std::rethrow_exception(e);
        }
    }

    GMainContext* FContext;
    HWND FWindow = nullptr;
    bool FTicking = false;
    std::vector<Look> FLooks;
};

std::unique_ptr<TGLibSource> g_source;
win::PollSource* g_previous = nullptr;

}  // namespace

void Guard(TObject* sender, const std::function<void()>& fn) {
    try {
        Application->Trap(sender, fn);
    } catch (...) {
        if (!g_pending) g_pending = std::current_exception();
    }
}

bool JoinLoop() {
    if (g_source) return true;
    GMainContext* context = g_main_context_default();
    if (!g_main_context_acquire(context)) return false;
    g_source = std::make_unique<TGLibSource>(context);
    g_previous = win::SetPollSource(g_source.get());
    return true;
}

void LeaveLoop() {
    if (!g_source) return;
    win::SetPollSource(g_previous);
    g_previous = nullptr;
    g_main_context_release(g_main_context_default());
    g_source.reset();
}

void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        MSG msg;
        bool quit = false;
        while (!done() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                quit = true;
                break;
            }
            DispatchMessageA(&msg);
        }
        if (quit || Application->Terminated()) return;
        if (!done()) WaitMessage();
    }
}

}  // namespace desktop::detail
