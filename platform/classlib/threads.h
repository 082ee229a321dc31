// TThread: a worker thread object, and Synchronize, which runs a method on the main thread.
//
// The main thread is the thread that first used this unit (created a thread object, called
// MainThreadID or CheckSynchronize), unless the application set it earlier with SetMainThread.
// While thread objects exist, the class library keeps one hidden window of class "TThreadWindow" on
// the main thread. Synchronize sends that window the private message CM_EXECPROC, so any message
// pump of the main thread (PeekMessageA or GetMessageA, whatever its filter) runs the method. When
// the last thread object is gone the window is destroyed (from another thread it is asked to with
// CM_DESTROYWINDOW). A wait loop may pump just these two messages:
//     PeekMessageA(&msg, ThreadWindow(), CM_DESTROYWINDOW, CM_EXECPROC, PM_REMOVE)
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/classlib/components.h"
#include "platform/win/winuser.h"

constexpr UINT CM_DESTROYWINDOW = 0x8FFE;
constexpr UINT CM_EXECPROC = 0x8FFF;

using TThreadMethod = std::function<void()>;

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Makes the calling thread the main thread. The application object calls it at start; later calls
// from another thread raise EThread once thread objects exist.
void SetMainThread();
DWORD MainThreadID();
// Runs, on the main thread, every synchronised method waiting; returns true when one ran. Does
// nothing on other threads.
bool CheckSynchronize();
// The hidden window that serves Synchronize, or nullptr while none exists.
HWND ThreadWindow();
bool ThreadWindowExists();

class TThread : public TObject {
public:
    // A thread created suspended waits for Resume/Start before it runs Execute. One created running
    // may enter Execute before a derived constructor has finished: a derived class passes true and
    // calls Start at the end of its own constructor.
    explicit TThread(bool CreateSuspended);
    // Stops the thread first when it still runs: Terminate, then WaitFor. A derived class whose
    // Execute uses the derived object's members must stop the thread in its own destructor
    // (Terminate(); WaitFor();) because those members are gone by the time this one runs. Must not
    // be called for a FreeOnTerminate thread that has been started.
    ~TThread() override;
    const char* ClassName() const override { return "TThread"; }

    void Resume();  // lets a suspended thread run; nothing for a running or finished one
    void Start() { Resume(); }
    bool Suspended() const;
    void Terminate();  // asks Execute to stop: it checks Terminated
    bool Terminated() const;
    bool Finished() const;
    // Waits until the thread has ended (after OnTerminate ran) and returns ReturnValue. On the main
    // thread it keeps serving synchronised methods meanwhile. Raises EThread when called from the
    // thread itself.
    int WaitFor();

    int ReturnValue() const;
    HANDLE Handle() const { return FHandle; }  // an event, signalled once the thread has ended
    DWORD ThreadID() const { return FThreadID; }
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority p) { FPriority = p; }  // kept, not applied
    // The exception that escaped Execute, or null.
    std::exception_ptr FatalException() const;
    // Message of FatalException (Exception::Message or what()), empty when none.
    std::string FatalMessage() const;

    // Set before the thread ends: the object deletes itself once Execute returned and OnTerminate ran.
    bool FreeOnTerminate = false;
    // Runs on the main thread (through Synchronize) after Execute returned.
    TNotifyEvent OnTerminate;

    // Runs Method on the main thread and waits for it; an exception it raises is raised again in the
    // caller. Called on the main thread it runs Method at once.
    static void Synchronize(TThread* Thread, const TThreadMethod& Method);

protected:
    virtual void Execute() = 0;
    void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
    void SetReturnValue(int v);

private:
    void Run();
    void DoTerminate();

    mutable std::mutex FMutex;
    std::condition_variable FCond;
    std::thread FThread;
    HANDLE FHandle = nullptr;
    DWORD FThreadID = 0;
    TThreadPriority FPriority = TThreadPriority::tpNormal;
    bool FSuspended = false;
    bool FCancelled = false;  // freed before it ever ran: skip Execute
    bool FTerminated = false;
    bool FFinished = false;
    int FReturnValue = 0;
    std::exception_ptr FFatalException;
};
