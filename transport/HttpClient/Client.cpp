// THttpClient's life, state and window: construction, the synchronous requests and their wait,
// request start, the three private messages, Abort and the inactivity time-out.
#include "transport/HttpClient.h"

#include "transport/HttpClient/ClientSocket.h"

namespace {
constexpr const char* HttpWindowClass = "THttpClientWindow";
constexpr UINT_PTR TimeoutTimerId = 1;
}  // namespace

THttpClient::THttpClient(TComponent* AOwner) : TComponent(AOwner) {
    FWindowHandle = AllocateHWnd([this](TMessage& m) { WndProc(m); }, HttpWindowClass);
    if (!FWindowHandle) throw EOutOfMemory("Cannot create the HTTP client's window");
    FCtrlSocket = new http::TClientSocket(this);
    FAuthChallenges = std::make_unique<TStringList>();
    FReceivedHeaderLines = std::make_unique<TStringList>();
    FHeaderStream = std::make_unique<TMemoryStream>();
    FLastReceived.reserve(http::TReceiveBuffer::Capacity);
    BindSocket();
}

THttpClient::~THttpClient() {
    StopTimeout();
    TAsyncSocket* s = FCtrlSocket;
    FCtrlSocket = nullptr;
    s->OnSessionClosed = nullptr;
    s->OnDataAvailable = nullptr;
    s->OnSessionConnected = nullptr;
    s->OnDataSent = nullptr;
    s->OnDnsLookupDone = nullptr;
    s->OnSendData = nullptr;
    delete s;
    DeallocateHWnd(FWindowHandle);
}

void THttpClient::BindSocket() {
    FCtrlSocket->OnSessionClosed = [this](TObject* s, WORD e) { SocketClosed(s, e); };
    FCtrlSocket->OnDataAvailable = [this](TObject* s, WORD e) { SocketDataReceived(s, e); };
    FCtrlSocket->OnSessionConnected = [this](TObject* s, WORD e) { SocketConnected(s, e); };
    FCtrlSocket->OnDataSent = [this](TObject* s, WORD e) { SendBodyChunk(s, e); };
    FCtrlSocket->OnDnsLookupDone = [this](TObject* s, WORD e) { SocketLookupDone(s, e); };
    FCtrlSocket->OnSendData = [this](TObject*, int) { Touch(); };  // every byte that leaves counts
}

void THttpClient::SetMultiThreaded(bool Value) {
    FMultiThreaded = Value;
    FCtrlSocket->MultiThreaded = Value;
}

void THttpClient::RunRequest(THttpRequest Kind) {
    StartRequest(Kind);
    // Each pass takes messages until the queue is empty, so the pass that brings the state back to
    // hsReady also dispatches WmHttpDone before the test below. Between passes the thread sleeps
    // in the queue's wait until a message, a timer or a socket event comes.
    while (FState != hsReady) {
        FCtrlSocket->PumpPending();  // the application's pump, or the thread's when MultiThreaded
        if (FState != hsReady) WaitMessage();
    }
    if (FStatusCode >= 400) throw EHttpException(FReasonPhrase, FErrorCode);
}

void THttpClient::StartRequest(THttpRequest Kind) {
    if (FState != hsReady) throw EHttpException("HTTP component is busy", 1);
    if (Kind == rqPost && !SendStream) throw EHttpException("HTTP component has nothing to post", 2);
    FReceivedHeaderLines->Clear();
    FRequestKind = Kind;
    FDoneError = 0;
    FReceiveError = 0;
    ++FRequestSerial;
    FCtrlSocket->OnSessionClosed = [this](TObject* s, WORD e) { SocketClosed(s, e); };
    SetState(hsNotConnected);

    FDocumentName.clear();
    FStatusCode = 0;
    FErrorCode = 0;
    FBytesReceived = 0;
    FBytesSent = 0;
    FHeaderLineCount = 0;
    FHeaderSize = 0;
    FBodyDataCount = 0;
    FContentLength = -1;
    FAnnouncedLength = -1;
    FContentType.clear();
    FAllowedToSend = false;
    // Nothing of an earlier answer may be taken for this one's.
    FLastReceived.clear();
    FReceiveBuffer.Clear();
    FLocationSeen = false;
    FRedirectCount = 0;
    FNextLineHandler = &THttpClient::ParseHeaderLine;
    FSendStart = Kind == rqPost ? SendStream->Position() : 0;

    http::TRequestPlan plan = http::PlanRequest(URL, Proxy, ProxyPort);
    FTarget = plan.Target;
    FViaProxy = !Proxy.empty();
    FDocumentName = plan.DocumentName;
    if (!plan.User.empty()) Username = plan.User;
    if (!plan.Password.empty()) Password = plan.Password;
    ArmTimeout();
    StartLookup();
}

void THttpClient::SetState(THttpClientState NewState) {
    if (NewState == FState) return;
    FState = NewState;
    if (NewState == hsReady) StopTimeout();
    FireStateChange();
    if (NewState == hsReady) PostDone();
}

void THttpClient::PostDone() { PostMessageA(FWindowHandle, WmHttpDone, 0, 0); }

void THttpClient::PostIdle() { PostMessageA(FWindowHandle, WmHttpReady, FRequestSerial, 0); }

void THttpClient::WndProc(TMessage& Msg) {
    switch (Msg.Msg) {
        case WmHttpDone:
            if (OnRequestDone) OnRequestDone(this, FRequestKind, static_cast<WORD>(FDoneError));
            return;
        case WmHttpReady:
            // A request's own message only: a late one of an earlier request changes nothing.
            if (Msg.WParam == FRequestSerial) SetState(hsReady);
            return;
        case WmHttpRedirect:
            if (Msg.WParam == FRequestSerial) HandleRedirect();
            return;
        case WM_TIMER:
            if (Msg.WParam == TimeoutTimerId) {
                CheckTimeout();
                return;
            }
            break;
        default: break;
    }
    Msg.Result = DefWindowProcA(FWindowHandle, Msg.Msg, Msg.WParam, Msg.LParam);
}

void THttpClient::Abort() {
    if (FState == hsReady) {
        if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Close();
        return;
    }
    EndRequest(404, "Connection aborted on request", 3);
}

// Ends the request under way at once, as Abort does, with the given outcome.
void THttpClient::EndRequest(int Status, const std::string& Reason, int Error) {
    const bool wasLookup = FState == hsDnsLookup;
    SetState(hsAborting);
    if (wasLookup) {
        try {
            FCtrlSocket->CancelDnsLookup();
        } catch (...) {
        }
    }
    FStatusCode = Status;
    FErrorCode = static_cast<WORD>(Status);
    FReasonPhrase = Reason;
    FDoneError = Error;
    if (wasLookup) {
        SocketClosed(FCtrlSocket, 0);
    } else {
        // What is still queued to send is dropped: the request ends now, not once it has left.
        FCtrlSocket->OnSessionClosed = [this](TObject* s, WORD e) { SocketClosed(s, e); };
        try {
            FCtrlSocket->Abort();
        } catch (...) {
        }
        FConnected = false;
    }
    SetState(hsReady);
}

void THttpClient::ArmTimeout() {
    Touch();
    if (InactivityTimeout == 0) return;
    FTimerRunning = SetTimer(FWindowHandle, TimeoutTimerId, InactivityTimeout, nullptr) != 0;
}

void THttpClient::StopTimeout() {
    if (!FTimerRunning) return;
    KillTimer(FWindowHandle, TimeoutTimerId);
    FTimerRunning = false;
}

void THttpClient::CheckTimeout() {
    if (FState == hsReady || FState == hsAborting || !FTimerRunning) return;
    const DWORD idle = GetTickCount() - FLastActivity;
    if (idle < InactivityTimeout) {
        // Bytes moved since the timer was set: wait for the rest of the time.
        FTimerRunning = SetTimer(FWindowHandle, TimeoutTimerId, InactivityTimeout - idle, nullptr) != 0;
        return;
    }
    EndRequest(404, SocketErrorText(WSAETIMEDOUT) + " (Error #" + IntToStr(WSAETIMEDOUT) + ")", WSAETIMEDOUT);
}

void THttpClient::FireStateChange() {
    if (OnStateChange) OnStateChange(this);
}
void THttpClient::FireCookie(const std::string& Data, bool& Accept) {
    if (OnCookie) OnCookie(this, Data, Accept);
}
void THttpClient::FireSessionConnected() {
    if (OnSessionConnected) OnSessionConnected(this);
}
void THttpClient::FireRequestHeaderBegin() {
    if (OnRequestHeaderBegin) OnRequestHeaderBegin(this);
}
void THttpClient::FireRequestHeaderEnd() {
    if (OnRequestHeaderEnd) OnRequestHeaderEnd(this);
}
void THttpClient::FireHeaderBegin() {
    if (OnHeaderBegin) OnHeaderBegin(this);
}
void THttpClient::FireHeaderEnd() {
    if (OnHeaderEnd) OnHeaderEnd(this);
}
void THttpClient::FireDocBegin() {
    if (OnDocBegin) OnDocBegin(this);
}
void THttpClient::FireDocData(const void* Buffer, int Len) {
    if (OnDocData) OnDocData(this, Buffer, Len);
}
void THttpClient::FireDocEnd() {
    if (OnDocEnd) OnDocEnd(this);
}
void THttpClient::FireSendBegin() {
    if (OnSendBegin) OnSendBegin(this);
}
void THttpClient::FireSendData(const void* Buffer, int Len) {
    if (OnSendData) OnSendData(this, Buffer, Len);
}
void THttpClient::FireSendEnd() {
    if (OnSendEnd) OnSendEnd(this);
}
