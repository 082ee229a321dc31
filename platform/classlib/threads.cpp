// Thread objects, Synchronize and the thread window that serves it on the main thread.
#include "platform/classlib/threads.h"

#include <chrono>
#include <deque>
#include <memory>

#include "platform/classlib/messages.h"
#include "platform/win/winbase.h"

namespace {

struct SyncRecord {
    const TThreadMethod* method;
    std::exception_ptr error;
    bool done = false;
};

struct SyncState {
    std::mutex m;
    std::condition_variable cv;  // a record was queued or served, or a thread ended
    std::deque<SyncRecord*> queue;
    DWORD mainId = 0;
    HWND wnd = nullptr;
    int threadCount = 0;
};

// Never destroyed: threads that free themselves may still reach it while the process exits.
SyncState& G() {
    static SyncState* s = new SyncState;
    return *s;
}

constexpr const char* ThreadWindowClass = "TThreadWindow";

void ThreadWndMethod(HWND self, TMessage& m) {
    if (m.Msg == CM_EXECPROC) {
        CheckSynchronize();
        return;
    }
    if (m.Msg == CM_DESTROYWINDOW) {
        bool destroy = false;
        {
            std::lock_guard lk(G().m);
            if (G().threadCount == 0 && G().wnd == self) {
                G().wnd = nullptr;
                destroy = true;
            }
        }
        if (destroy) DeallocateHWnd(self);
        return;
    }
    m.Result = DefWindowProcA(self, m.Msg, m.WParam, m.LParam);
}

// On the main thread: makes sure the thread window exists.
void EnsureThreadWindow() {
    auto& g = G();
    {
        std::lock_guard lk(g.m);
        if (g.wnd) return;
    }
    auto self = std::make_shared<HWND>(nullptr);
    HWND h = AllocateHWnd([self](TMessage& m) { ThreadWndMethod(*self, m); }, ThreadWindowClass);
    *self = h;
    std::lock_guard lk(g.m);
    g.wnd = h;
}

bool OnMainThread() { return GetCurrentThreadId() == MainThreadID(); }

}  // namespace

void SetMainThread() {
    auto& g = G();
    DWORD me = GetCurrentThreadId();
    std::lock_guard lk(g.m);
    if (g.mainId == me) return;
    if (g.threadCount > 0 && g.mainId != 0) throw EThread("Cannot change the main thread while threads exist");
    g.mainId = me;
    g.wnd = nullptr;  // a window of the former main thread is left to it
}

DWORD MainThreadID() {
    auto& g = G();
    std::lock_guard lk(g.m);
    if (g.mainId == 0) g.mainId = GetCurrentThreadId();
    return g.mainId;
}

bool CheckSynchronize() {
    if (!OnMainThread()) return false;
    auto& g = G();
    bool ran = false;
    for (;;) {
        SyncRecord* r = nullptr;
        {
            std::lock_guard lk(g.m);
            if (g.queue.empty()) break;
            r = g.queue.front();
            g.queue.pop_front();
        }
        try {
            (*r->method)();
        } catch (...) {
            r->error = std::current_exception();
        }
        {
            std::lock_guard lk(g.m);
            r->done = true;
        }
        g.cv.notify_all();
        ran = true;
    }
    return ran;
}

HWND ThreadWindow() {
    std::lock_guard lk(G().m);
    return G().wnd;
}

bool ThreadWindowExists() { return IsWindow(ThreadWindow()) != FALSE; }

void TThread::Synchronize(TThread*, const TThreadMethod& Method) {
    if (OnMainThread()) {
        Method();
        return;
    }
    auto& g = G();
    SyncRecord rec{&Method, nullptr, false};
    HWND wnd;
    {
        std::lock_guard lk(g.m);
        g.queue.push_back(&rec);
        wnd = g.wnd;
    }
    g.cv.notify_all();
    // Served by whatever pump the main thread runs next; without a window only CheckSynchronize
    // (or WaitFor on the main thread) serves it.
    if (wnd) SendMessageA(wnd, CM_EXECPROC, 0, 0);
    {
        std::unique_lock lk(g.m);
        g.cv.wait(lk, [&] { return rec.done; });
    }
    if (rec.error) std::rethrow_exception(rec.error);
}

TThread::TThread(bool CreateSuspended) : FSuspended(CreateSuspended) {
    bool main = OnMainThread();
    {
        std::lock_guard lk(G().m);
        ++G().threadCount;
    }
    if (main) EnsureThreadWindow();
    FHandle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    FThread = std::thread([this] { Run(); });
    std::unique_lock lk(FMutex);
    FCond.wait(lk, [&] { return FThreadID != 0; });
}

TThread::~TThread() {
    if (FThread.get_id() == std::this_thread::get_id()) {
        FThread.detach();  // freeing itself at its end (FreeOnTerminate)
    } else {
        bool wait = false;
        {
            std::lock_guard lk(FMutex);
            if (!FFinished) {
                if (FSuspended) {
                    FCancelled = true;  // never ran: it must not start Execute now
                    FSuspended = false;
                    FCond.notify_all();
                } else {
                    FTerminated = true;
                    wait = true;
                }
            }
        }
        if (wait) WaitFor();
        if (FThread.joinable()) FThread.join();
    }
    CloseHandle(FHandle);
    bool destroyNow = false;
    HWND wnd = nullptr;
    {
        std::lock_guard lk(G().m);
        if (--G().threadCount == 0 && G().wnd) {
            wnd = G().wnd;
            if (GetCurrentThreadId() == G().mainId) {
                G().wnd = nullptr;
                destroyNow = true;
            }
        }
    }
    if (destroyNow) {
        DeallocateHWnd(wnd);
    } else if (wnd) {
        PostMessageA(wnd, CM_DESTROYWINDOW, 0, 0);
    }
}

void TThread::Run() {
    {
        std::unique_lock lk(FMutex);
        FThreadID = GetCurrentThreadId();
        FCond.notify_all();
        FCond.wait(lk, [&] { return !FSuspended; });
    }
    bool cancelled;
    {
        std::lock_guard lk(FMutex);
        cancelled = FCancelled;
    }
    bool freeIt = false;
    if (!cancelled) {
        try {
            Execute();
        } catch (...) {
            std::lock_guard lk(FMutex);
            FFatalException = std::current_exception();
        }
        freeIt = FreeOnTerminate;
        DoTerminate();
    }
    SetEvent(FHandle);
    {
        std::lock_guard lk(FMutex);
        FFinished = true;
        FCond.notify_all();
    }
    {
        std::lock_guard lk(G().m);
    }
    G().cv.notify_all();
    if (freeIt) delete this;
}

void TThread::DoTerminate() {
    if (!OnTerminate) return;
    try {
        Synchronize(this, [this] { OnTerminate(this); });
    } catch (...) {
        std::lock_guard lk(FMutex);
        if (!FFatalException) FFatalException = std::current_exception();
    }
}

void TThread::Resume() {
    std::lock_guard lk(FMutex);
    if (!FSuspended) return;
    FSuspended = false;
    FCond.notify_all();
}

bool TThread::Suspended() const {
    std::lock_guard lk(FMutex);
    return FSuspended;
}

void TThread::Terminate() {
    std::lock_guard lk(FMutex);
    FTerminated = true;
}

bool TThread::Terminated() const {
    std::lock_guard lk(FMutex);
    return FTerminated;
}

bool TThread::Finished() const {
    std::lock_guard lk(FMutex);
    return FFinished;
}

int TThread::ReturnValue() const {
    std::lock_guard lk(FMutex);
    return FReturnValue;
}

void TThread::SetReturnValue(int v) {
    std::lock_guard lk(FMutex);
    FReturnValue = v;
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard lk(FMutex);
    return FFatalException;
}

std::string TThread::FatalMessage() const {
    auto e = FatalException();
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const Exception& ex) {
        return ex.Message;
    } catch (const std::exception& ex) {
        return ex.what();
    } catch (...) {
        return "Unknown exception";
    }
}

int TThread::WaitFor() {
    if (GetCurrentThreadId() == FThreadID) throw EThread("A thread cannot wait for itself");
    if (!OnMainThread()) {
        std::unique_lock lk(FMutex);
        FCond.wait(lk, [&] { return FFinished; });
        return FReturnValue;
    }
    auto& g = G();
    for (;;) {
        CheckSynchronize();
        // Releases a worker whose send to the thread window waits for this thread's pump.
        if (HWND wnd = ThreadWindow()) {
            MSG msg;
            while (PeekMessageA(&msg, wnd, CM_DESTROYWINDOW, CM_EXECPROC, PM_REMOVE)) DispatchMessageA(&msg);
        }
        if (Finished()) break;
        std::unique_lock lk(g.m);
        g.cv.wait_for(lk, std::chrono::milliseconds(10), [&] { return !g.queue.empty() || Finished(); });
    }
    return ReturnValue();
}
