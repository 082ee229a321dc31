#include "platform/classlib/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/win/winbase.h"

namespace {

// Runs the calling thread's message loop (PeekMessageA + DispatchMessageA, and the queue's wait
// when nothing is ready) until done() holds; gives up after a bounded time so a fault fails the
// test instead of hanging it.
template <class Pred>
bool PumpUntil(Pred done, int maxMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

// A thread whose body is a lambda; stops itself before its members go.
class TLambdaThread : public TThread {
public:
    TLambdaThread(bool suspended, std::function<int(TLambdaThread&)> body)
        : TThread(true), FBody(std::move(body)) {
        if (!suspended) Resume();
    }
    ~TLambdaThread() override {
        if (!Finished() && !Suspended()) {
            Terminate();
            WaitFor();
        }
    }
    using TThread::Synchronize;
    bool IsTerminated() const { return Terminated(); }

protected:
    void Execute() override { SetReturnValue(FBody(*this)); }

private:
    std::function<int(TLambdaThread&)> FBody;
};

TEST(TThread, SuspendedThreadRunsOnlyAfterResume) {
    std::atomic<bool> ran{false};
    TLambdaThread t(true, [&](TLambdaThread&) {
        ran = true;
        return 42;
    });
    EXPECT_TRUE(t.Suspended());
    EXPECT_FALSE(t.Finished());
    EXPECT_NE(t.ThreadID(), 0u);
    EXPECT_NE(t.ThreadID(), MainThreadID());
    EXPECT_FALSE(ran);
    t.Start();
    EXPECT_FALSE(t.Suspended());
    EXPECT_EQ(t.WaitFor(), 42);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(WaitForSingleObject(t.Handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(t.FatalException(), nullptr);
    t.Resume();  // on a finished thread: nothing
}

TEST(TThread, FreeingASuspendedThreadNeverRunsExecute) {
    std::atomic<bool> ran{false};
    auto* t = new TLambdaThread(true, [&](TLambdaThread&) {
        ran = true;
        return 0;
    });
    delete t;
    EXPECT_FALSE(ran);
}

TEST(TThread, TerminateStopsALoopingExecute) {
    std::atomic<int> laps{0};
    TLambdaThread t(false, [&](TLambdaThread& self) {
        while (!self.IsTerminated()) {
            ++laps;
            std::this_thread::yield();
        }
        return 7;
    });
    while (laps == 0) std::this_thread::yield();
    EXPECT_FALSE(t.Finished());
    t.Terminate();
    EXPECT_EQ(t.WaitFor(), 7);
}

TEST(TThread, SynchronizeIsServedByAPlainPeekMessageLoop) {
    EXPECT_TRUE(ThreadWindowExists() || true);  // the window may belong to an earlier thread object
    const DWORD main = MainThreadID();
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> returned{false};
    TLambdaThread t(true, [&](TLambdaThread& self) {
        self.Synchronize([&] { ranOn = GetCurrentThreadId(); });
        returned = true;
        return 0;
    });
    ASSERT_TRUE(ThreadWindowExists());
    char cls[64] = {};
    GetClassNameA(ThreadWindow(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TThreadWindow");
    t.Resume();
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    EXPECT_EQ(ranOn.load(), main);
    t.WaitFor();
}

TEST(TThread, SynchronizeOnTheMainThreadRunsAtOnce) {
    bool ran = false;
    TThread::Synchronize(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(TThread, ExceptionInASynchronisedMethodIsRaisedInTheCaller) {
    std::string caught;
    TLambdaThread t(false, [&](TLambdaThread& self) {
        try {
            self.Synchronize([] { throw EConvertError("bad value"); });
        } catch (const EConvertError& e) {
            caught = e.Message;
        }
        return 1;
    });
    EXPECT_EQ(t.WaitFor(), 1);  // WaitFor on the main thread serves the call
    EXPECT_EQ(caught, "bad value");
    EXPECT_EQ(t.FatalException(), nullptr);
}

TEST(TThread, WaitForOnTheMainThreadServesManySynchronizeCalls) {
    std::atomic<int> served{0};
    TLambdaThread t(false, [&](TLambdaThread& self) {
        for (int i = 0; i < 50; ++i) self.Synchronize([&] { ++served; });
        return served.load();
    });
    EXPECT_EQ(t.WaitFor(), 50);
    EXPECT_EQ(served.load(), 50);
}

TEST(TThread, ExceptionEscapingExecuteIsKeptAsFatalException) {
    TLambdaThread t(false, [](TLambdaThread&) -> int { throw EOSError("disk gone"); });
    t.WaitFor();
    ASSERT_NE(t.FatalException(), nullptr);
    EXPECT_EQ(t.FatalMessage(), "disk gone");
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), EOSError);

    TLambdaThread s(false, [](TLambdaThread&) -> int { throw std::runtime_error("plain"); });
    s.WaitFor();
    EXPECT_EQ(s.FatalMessage(), "plain");
}

// Tells the test when it is freed.
class TSelfFreeingThread : public TThread {
public:
    TSelfFreeingThread(std::atomic<bool>* freed) : TThread(true), FFreed(freed) {}
    ~TSelfFreeingThread() override { *FFreed = true; }

protected:
    void Execute() override { SetReturnValue(3); }

private:
    std::atomic<bool>* FFreed;
};

TEST(TThread, FreeOnTerminateFreesAfterOnTerminateRanOnTheMainThread) {
    std::atomic<bool> freed{false};
    DWORD onTerminateThread = 0;
    bool freedBeforeOnTerminate = true;
    TObject* sender = nullptr;
    auto* t = new TSelfFreeingThread(&freed);
    t->FreeOnTerminate = true;
    t->OnTerminate = [&](TObject* s) {
        onTerminateThread = GetCurrentThreadId();
        freedBeforeOnTerminate = freed;
        sender = s;
    };
    TObject* expected = t;
    t->Resume();
    ASSERT_TRUE(PumpUntil([&] { return freed.load(); }));
    EXPECT_EQ(onTerminateThread, MainThreadID());
    EXPECT_FALSE(freedBeforeOnTerminate);
    EXPECT_EQ(sender, expected);
    // With the last thread object gone, the thread window goes too (asked to by a posted message).
    ASSERT_TRUE(PumpUntil([] { return !ThreadWindowExists(); }));
}

TEST(TThread, WaitForFromTheThreadItselfRaises) {
    std::string message;
    TLambdaThread t(false, [&](TLambdaThread& self) {
        try {
            self.WaitFor();
        } catch (const EThread& e) {
            message = e.Message;
        }
        return 0;
    });
    t.WaitFor();
    EXPECT_FALSE(message.empty());
}

TEST(TThread, PriorityIsKept) {
    TLambdaThread t(true, [](TLambdaThread&) { return 0; });
    EXPECT_EQ(t.Priority(), TThreadPriority::tpNormal);
    t.SetPriority(TThreadPriority::tpLower);
    EXPECT_EQ(t.Priority(), TThreadPriority::tpLower);
    t.Resume();
    t.WaitFor();
}

}  // namespace
