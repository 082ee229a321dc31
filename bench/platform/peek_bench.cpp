// What one posted message costs through the queue (post, peek, dispatch) on a queue without
// descriptor watches and on one that watches an idle descriptor, as every socket's thread does.
#include <poll.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "platform/win/msgwait.h"
#include "platform/win/winuser.h"

namespace {

HWND MakeWindow() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "PeekBenchClass", &wc)) {
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "PeekBenchClass";
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "PeekBenchClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

void PostPeekDispatch(benchmark::State& state, bool watched) {
    HWND h = MakeWindow();
    int fds[2];
    if (pipe(fds) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    int watch = watched ? win::WatchFd(h, fds[0], POLLIN, [](int, short) {}) : 0;
    MSG m;
    for (auto _ : state) {
        PostMessageA(h, WM_USER + 1, 0, 0);
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) state.SkipWithError("lost");
        DispatchMessageA(&m);
    }
    if (watch) win::UnwatchFd(watch);
    close(fds[0]);
    close(fds[1]);
    DestroyWindow(h);
    state.SetItemsProcessed(state.iterations());
}

void BM_PostPeekDispatch_NoWatch(benchmark::State& state) { PostPeekDispatch(state, false); }
void BM_PostPeekDispatch_IdleWatch(benchmark::State& state) { PostPeekDispatch(state, true); }

}  // namespace

BENCHMARK(BM_PostPeekDispatch_NoWatch);
BENCHMARK(BM_PostPeekDispatch_IdleWatch);
