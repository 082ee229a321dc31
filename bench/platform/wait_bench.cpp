// What a synchronous wait of one second costs the waiting thread: the queue's blocking wait
// beside a Sleep(0) pumping loop, both with the same traffic (a window timer every 50 ms and a
// message posted from another thread every 20 ms). Reports the thread's CPU time and the number
// of loop turns per wait.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace {

double ThreadCpuMs() {
    rusage ru{};
    getrusage(RUSAGE_THREAD, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

HWND MakeWindow() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "WaitBenchClass", &wc)) {
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "WaitBenchClass";
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "WaitBenchClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

int Drain() {
    MSG m;
    int n = 0;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&m);
        ++n;
    }
    return n;
}

// Runs one wait of waitMs with the traffic above; `block` chooses the wait between pumps.
template <class Idle>
void OneSecondWait(benchmark::State& state, Idle idle) {
    constexpr DWORD waitMs = 1000;
    HWND h = MakeWindow();
    SetTimer(h, 1, 50, nullptr);
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) {
            PostMessageA(h, WM_USER + 1, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    double cpu = 0, turns = 0, messages = 0;
    for (auto _ : state) {
        double c0 = ThreadCpuMs();
        DWORD stopAt = GetTickCount() + waitMs;
        for (;;) {
            messages += Drain();
            DWORD now = GetTickCount();
            if (static_cast<int>(stopAt - now) <= 0) break;
            idle(stopAt - now);
            ++turns;
        }
        cpu += ThreadCpuMs() - c0;
    }
    stop = true;
    poster.join();
    KillTimer(h, 1);
    DestroyWindow(h);
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_wait"] = cpu / n;
    state.counters["turns_per_wait"] = turns / n;
    state.counters["messages_per_wait"] = messages / n;
}

void BM_Wait1s_Sleep0Loop(benchmark::State& state) {
    OneSecondWait(state, [](DWORD) { Sleep(0); });
}

void BM_Wait1s_QueueWait(benchmark::State& state) {
    OneSecondWait(state, [](DWORD left) { MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT); });
}

}  // namespace

BENCHMARK(BM_Wait1s_Sleep0Loop)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Wait1s_QueueWait)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
