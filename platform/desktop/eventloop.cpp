// The joined event loop: the GLib main context served by the message queue's looks (win::PollSource),
// and the guard that carries what escapes a callback back to the look that dispatched it.
#include <poll.h>

#include <exception>

#include "platform/classlib/application.h"
#include "platform/desktop/internal.h"
#include "platform/win/msgwait.h"
#include "platform/win/winuser.h"

namespace desktop::detail {

namespace {

std::exception_ptr g_pending;

// One look's state: the priority prepare found and the descriptors GLib asked for.
struct Look {
    gint priority = 0;
    std::vector<GPollFD> fds;
};

class TGLibSource : public win::PollSource {
public:
    explicit TGLibSource(GMainContext* context) : FContext(context) {}

    int Prepare(std::vector<pollfd>& fds) override {
        FLooks.emplace_back();
        Look& look = FLooks.back();
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
        for (std::size_t i = 0; i < look.fds.size() && i < count; ++i)
            look.fds[i].revents = static_cast<gushort>(fds[i].revents);
        bool ran = false;
        if (g_main_context_check(FContext, look.priority, look.fds.data(), static_cast<gint>(look.fds.size()))) {
            g_main_context_dispatch(FContext);
            ran = true;
        }
        if (g_pending) {
            std::exception_ptr e = g_pending;
            g_pending = nullptr;
            std::rethrow_exception(e);
        }
        return ran;
    }

private:
    GMainContext* FContext;
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
