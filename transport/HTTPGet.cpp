#include "transport/HTTPGet.h"

#include <cctype>
#include <cstdlib>
#include <memory>

#include "platform/classlib/streams.h"
#include "platform/classlib/sysutils.h"
#include "platform/win/fileops.h"
#include "platform/win/winuser.h"
#include "platform/wininet/wininet.h"

namespace {

std::atomic<int> gLiveWorkers{0};

constexpr DWORD kBlockSize = 1025;
constexpr char kPostHeader[] = "Content-Type: application/x-www-form-urlencoded";

struct Target {
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string path;
};

// "http://" is taken off when the URL holds it; the host ends at the first "/" (no "/": no host and
// the whole text is the path). A host may end in ":port".
Target SplitUrl(const std::string& url) {
    std::string rest = url, lower = url;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("http://") != std::string::npos) rest.erase(0, 7);
    Target t;
    size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        t.path = rest;
        return t;
    }
    t.host = rest.substr(0, slash);
    t.path = rest.substr(slash);
    size_t colon = t.host.rfind(':');
    if (colon != std::string::npos && colon + 1 < t.host.size() && t.host.size() - colon <= 6 &&
        t.host.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        long port = std::strtol(t.host.c_str() + colon + 1, nullptr, 10);
        if (port > 0 && port < 65536) {
            t.port = static_cast<INTERNET_PORT>(port);
            t.host.erase(colon);
        }
    }
    return t;
}

// A decimal content length; false for anything else.
bool ParseLength(const char* text, int& value) {
    std::string s(text);
    if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > 0x7FFFFFFF) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

THTTPGet::THTTPGet(TComponent* AOwner) : TComponent(AOwner), FAlive(std::make_shared<bool>(true)) {}

THTTPGet::~THTTPGet() {
    *FAlive = false;
    if (!FWorker) return;
    FWorker->FOwner = nullptr;  // detached: it reports to no one
    std::shared_ptr<std::atomic<bool>> ended = FWorker->FEnded;
    FWorker->Abort();
    FWorker = nullptr;
    const DWORD until = GetTickCount() + 5000;
    while (!*ended && static_cast<int>(until - GetTickCount()) > 0) {
        CheckSynchronize();
        if (HWND wnd = ThreadWindow()) {
            MSG msg;
            while (PeekMessageA(&msg, wnd, CM_DESTROYWINDOW, CM_EXECPROC, PM_REMOVE)) DispatchMessageA(&msg);
        }
        if (!*ended) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    }
}

int THTTPGet::LiveWorkers() { return gLiveWorkers; }

void THTTPGet::StartDownload() {
    if (FWorker) return;
    // The worker is FreeOnTerminate and owns itself; FWorker refers to it while it runs and is cleared when it ends.
    FWorker = new THTTPGetThread(this);
    FWorker->Start();
    if (!WaitThread) return;
    std::shared_ptr<bool> alive = FAlive;
    while (*alive && FWorker) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (*alive && FWorker) WaitMessage();
    }
}

void THTTPGet::Cancel() {
    if (FWorker) FWorker->Abort();
}

void THTTPGet::WorkerFinished(THTTPGetThread* Worker) {
    FResult = Worker->Succeeded();
    const std::string file = Worker->FileName;
    const int size = Worker->TotalSize;
    FWorker = nullptr;
    if (FResult) {
        if (OnDoneFile) OnDoneFile(this, file, size);
    } else if (OnError) {
        OnError(this);
    }
}

THTTPGetThread::THTTPGetThread(THTTPGet* Owner) : TThread(true), FOwner(Owner) {
    ++gLiveWorkers;
    AcceptTypes = Owner->AcceptTypes;
    Agent = Owner->Agent;
    URL = Owner->URL;
    FileName = Owner->FileName;
    UserName = Owner->UserName;
    Password = Owner->Password;
    PostQuery = Owner->PostQuery;
    Referer = Owner->Referer;
    BinaryData = Owner->BinaryData;
    UseCache = Owner->UseCache;
    MaxSize = Owner->MaxSize;
    OnProgress = Owner->OnProgress;
    FreeOnTerminate = true;
    OnTerminate = [this](TObject*) {
        if (FOwner) FOwner->WorkerFinished(this);
    };
}

THTTPGetThread::~THTTPGetThread() {
    CloseHandles();
    --gLiveWorkers;
}

void THTTPGetThread::Abort() {
    FCancelled = true;
    Terminate();
    CloseHandles();
}

void THTTPGetThread::CloseHandles() {
    std::lock_guard lock(FHandleMutex);
    for (void** h : {&FRequest, &FConnection, &FSession}) {
        if (*h) InternetCloseHandle(*h);
        *h = nullptr;
    }
}

void THTTPGetThread::Execute() {
    try {
        RunDownload();
    } catch (...) {
        FResult = false;
    }
    CloseHandles();
    *FEnded = true;
}

void THTTPGetThread::RunDownload() {
    FResult = false;
    const Target target = SplitUrl(URL);
    if (Terminated()) return;

    // Each handle is published for Abort as soon as it exists; a cancelled download stops here.
    auto publish = [this](void*& slot, void* handle) {
        std::lock_guard lock(FHandleMutex);
        slot = handle;
        if (FCancelled && handle) {
            InternetCloseHandle(handle);
            slot = nullptr;
            return false;
        }
        return handle != nullptr;
    };
    void* session = InternetOpenA(Agent.empty() ? nullptr : Agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                  nullptr, 0);
    if (!publish(FSession, session)) return;
    void* connection = InternetConnectA(session, target.host.c_str(), target.port, UserName.c_str(), Password.c_str(),
                                        INTERNET_SERVICE_HTTP, 0, 0);
    if (!publish(FConnection, connection)) return;
    const char* accept[] = {AcceptTypes.c_str(), nullptr};
    void* request = HttpOpenRequestA(connection, PostQuery.empty() ? "GET" : "POST", target.path.c_str(), "HTTP/1.0",
                                     Referer.c_str(), accept, UseCache ? 0 : INTERNET_FLAG_RELOAD, 0);
    if (!publish(FRequest, request)) return;

    BOOL sent = PostQuery.empty()
                    ? HttpSendRequestA(request, nullptr, 0, nullptr, 0)
                    : HttpSendRequestA(request, kPostHeader, sizeof kPostHeader - 1, PostQuery.data(),
                                       static_cast<DWORD>(PostQuery.size()));
    if (Terminated() || !sent) return;

    // Only a 2xx answer is the document; an error page is not.
    char buffer[1024];
    DWORD length = sizeof buffer;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, buffer, &length, nullptr) || buffer[0] != '2') return;

    length = sizeof buffer;
    const bool haveLength = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, buffer, &length, nullptr);
    if (Terminated()) return;
    if (!haveLength && BinaryData) return;
    int announced = 0;
    if (haveLength && !ParseLength(buffer, announced)) return;
    if (MaxSize > 0 && announced > MaxSize) return;
    TotalSize = announced;

    Readed = 0;
    const std::string partName = FileName + ".part";
    bool complete = false;
    try {
        TFileStream file(partName, fmCreate);
        char block[kBlockSize];
        for (;;) {
            if (Terminated()) break;
            DWORD got = 0;
            if (!InternetReadFile(request, block, kBlockSize, &got)) break;
            if (got == 0) {
                complete = true;
                break;
            }
            if (MaxSize > 0 && got > static_cast<DWORD>(MaxSize - Readed)) break;  // too long: the rest is not read
            if (file.Write(block, got) != static_cast<std::int64_t>(got))
                throw Exception(Format("Unable to write to %s", {FileName}));
            Readed += static_cast<int>(got);
            if (OnProgress)
                Synchronize([this] {
                    if (FOwner && OnProgress) OnProgress(this, TotalSize, Readed);
                });
        }
    } catch (...) {
        DeleteFileA(partName.c_str());
        throw;
    }
    // Without a length only an empty body is whole for sure; TotalSize is 0 then.
    bool ok = complete && !Terminated() && Readed == TotalSize;
    if (ok) ok = MoveFileExA(partName.c_str(), FileName.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!ok) DeleteFileA(partName.c_str());
    FResult = ok;
}
