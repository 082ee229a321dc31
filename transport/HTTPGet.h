// THTTPGet: downloads one URL into a file on a worker thread through WinInet and reports the outcome
// on the user-interface thread (the messenger's news file).
//
// StartDownload starts THTTPGetThread with copies of the properties; a start while a download runs
// does nothing. The worker writes the body to a temporary file beside FileName and renames it over
// FileName only when the download succeeded, so a reader sees the old file or the whole new one.
// A download succeeds when the request was answered with a 2xx status and the body was read to its
// end and came to exactly the announced length. An answer without a length succeeds only when its
// body is empty (in text mode, BinaryData false; BinaryData true fails at once without a length):
// a body ended by the server closing cannot be told from one cut short. With MaxSize set, a body
// announced or read beyond it fails too, and nothing beyond it is read. Then OnDoneFile fires
// with FileName and the size; every other end (no connection, a failed send, another status, a
// short, length-less or too long body, a file that cannot be written, Cancel) fires OnError.
// OnProgress runs on the user-interface thread after each block.
//
// Destroying the component while its worker runs cancels the worker, closes its WinInet handles
// (which ends a blocked read) and detaches it: no event fires. The destructor then gives the worker
// a moment (serving its synchronised calls) to end, so that no download outlives its owner's
// shutdown; one stuck in a name lookup ends on its own later.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/threads.h"

using TOnProgressEvent = std::function<void(TObject* Sender, int TotalSize, int Readed)>;
using TOnDoneFileEvent = std::function<void(TObject* Sender, const std::string& FileName, int FileSize)>;
using TOnDoneStringEvent = std::function<void(TObject* Sender, const std::string& Result)>;

class THTTPGetThread;

class THTTPGet : public TComponent {
public:
    explicit THTTPGet(TComponent* AOwner);
    ~THTTPGet() override;
    const char* ClassName() const override { return "THTTPGet"; }

    std::string AcceptTypes = "*/*";
    std::string Agent = "Brenwick HTTPGet";
    bool BinaryData = false;  // false: text mode
    // "http://" + host (with an optional ":port") + path; the host ends at the first "/".
    std::string URL;
    bool UseCache = false;
    std::string FileName;  // a program path
    std::string UserName;
    std::string Password;
    std::string PostQuery;
    std::string Referer;
    bool WaitThread = false;
    int MaxSize = 0;  // the most bytes a body may have; 0: no limit

    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;  // never fired: no operation downloads into a string
    TNotifyEvent OnError;

    void StartDownload();
    void Cancel();
    bool Downloading() const { return FWorker != nullptr; }

    // Workers alive in the process, detached ones included (for tests of the shutdown).
    static int LiveWorkers();

private:
    friend class THTTPGetThread;
    void WorkerFinished(THTTPGetThread* Worker);

    THTTPGetThread* FWorker = nullptr;
    bool FResult = false;
    std::shared_ptr<bool> FAlive;  // false once destroyed (a waiting StartDownload stops looking)
};

class THTTPGetThread : public TThread {
public:
    explicit THTTPGetThread(THTTPGet* Owner);
    ~THTTPGetThread() override;
    const char* ClassName() const override { return "THTTPGetThread"; }

    // Asks the download to stop: the result becomes False and the open handles are closed, which
    // ends a blocked WinInet call. Any thread.
    void Abort();
    bool Succeeded() const { return FResult && !FCancelled; }

    // Copies of the component's properties.
    std::string AcceptTypes, Agent, URL, FileName, UserName, Password, PostQuery, Referer;
    bool BinaryData = false, UseCache = false;
    int MaxSize = 0;
    TOnProgressEvent OnProgress;
    std::atomic<int> TotalSize{0};
    std::atomic<int> Readed{0};

protected:
    void Execute() override;

private:
    friend class THTTPGet;
    void RunDownload();
    // Closes the handles still open (the worker's own end and Abort alike).
    void CloseHandles();

    THTTPGet* FOwner;  // null once the component is gone; read and written on the main thread only
    std::atomic<bool> FResult{false};
    std::atomic<bool> FCancelled{false};
    std::shared_ptr<std::atomic<bool>> FEnded = std::make_shared<std::atomic<bool>>(false);  // Execute returned
    std::mutex FHandleMutex;
    void* FSession = nullptr;
    void* FConnection = nullptr;
    void* FRequest = nullptr;
};
