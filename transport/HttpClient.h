// THttpClient: one HTTP/1.0 GET, POST or HEAD at a time over the TAsyncSocket it owns, directly or
// through an HTTP proxy with Basic authorisation.
//
// A request is a state machine fed by the socket's events and by three messages the client posts
// to its hidden window; Get, Post and Head start it and pump the thread's messages, blocking in the
// queue's wait between passes, until the client is idle again. OnStateChange and then
// OnRequestDone therefore run inside the call, before it returns or raises EHttpException.
// The pure parts (URLs, header lines, parsing, redirect targets) are in HttpClient/Protocol.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/messages.h"
#include "platform/classlib/streams.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/sysutils.h"
#include "platform/win/winbase.h"
#include "transport/AsyncSocket.h"
#include "transport/HttpClient/Protocol.h"

// The client's failures: 1 busy, 2 nothing to post, 4 line too long, 5 an answer that is not
// HTTP (no byte came at all, its first line is no status line, or its code is below 100), 6 an
// answer cut short (its header did not end, its body is shorter than its Content-Length, or the
// connection ended with a socket error before the answer was known whole), 7 a redirect to a
// scheme other than http, 8 a header of more than THttpClient::MaxHeaderSize bytes, 9 a header of
// more than THttpClient::MaxHeaderLines lines, 10 a body longer than THttpClient::MaxBodySize; or
// the status (400 and up) of a request that ended with one.
class EHttpException : public Exception {
public:
    EHttpException(std::string Msg, WORD Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
    const char* ClassName() const override { return "EHttpException"; }
    WORD ErrorCode;
};

enum THttpClientState : std::uint8_t {
    hsReady = 0,
    hsNotConnected = 1,
    hsConnected = 2,
    hsDnsLookup = 3,
    hsDnsLookupDone = 4,
    hsWaitingHeader = 5,
    hsWaitingBody = 6,
    hsAborting = 7
};

enum THttpRequest : std::uint8_t { rqGet = 1, rqPost = 2, rqHead = 3 };

// Messages of the client's hidden window.
constexpr UINT WmHttpDone = WM_USER + 1;      // 1025: OnRequestDone
constexpr UINT WmHttpReady = WM_USER + 2;     // 1026: back to hsReady
constexpr UINT WmHttpRedirect = WM_USER + 3;  // 1027: the next attempt of a redirected request

using TOnCommand = std::function<void(TObject* Sender, std::string& S)>;
using TDocDataEvent = std::function<void(TObject* Sender, const void* Buffer, int Len)>;
using THttpRequestDone = std::function<void(TObject* Sender, THttpRequest RqType, WORD Error)>;
using TCookieRcvdEvent = std::function<void(TObject* Sender, const std::string& Data, bool& Accept)>;

class THttpClient : public TComponent {
public:
    explicit THttpClient(TComponent* AOwner);
    ~THttpClient() override;
    const char* ClassName() const override { return "THttpClient"; }

    // Published properties.
    std::string URL;
    std::string Proxy;  // a host, or a URL naming it; empty: a direct connection
    std::string ProxyPort = "80";
    std::string Sender;
    std::string Agent = "Mozilla/3.0 (compatible)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string Reference;
    std::string Username;
    std::string Password;
    std::string ProxyUsername;
    std::string ProxyPassword;
    bool NoCache = false;
    TDateTime ModifiedSince = 0;
    std::string Cookie;
    std::string ContentTypePost = "application/x-www-form-urlencoded";
    std::string ContentRangeBegin;
    std::string ContentRangeEnd;
    std::string AcceptRanges() const { return FAcceptRanges; }
    bool MultiThreaded() const { return FMultiThreaded; }
    void SetMultiThreaded(bool Value);
    // Milliseconds without a byte received or sent after which a request ends as timed out
    // (0: never).
    DWORD InactivityTimeout = 60000;
    // The most bytes an answer's body may have (0: no limit). A Content-Length above it, or a
    // body that grows past it, ends the request at once with code 10; nothing beyond it is read.
    int MaxBodySize = 0;
    // The codes of the three budgets.
    static constexpr WORD HeaderTooLong = 8;
    static constexpr WORD HeaderTooManyLines = 9;
    static constexpr WORD BodyTooLong = 10;

    // Published events.
    TNotifyEvent OnTrace;
    TNotifyEvent OnSessionConnected;
    TNotifyEvent OnHeaderData;
    TOnCommand OnCommand;
    TNotifyEvent OnHeaderBegin;
    TNotifyEvent OnHeaderEnd;
    TNotifyEvent OnRequestHeaderBegin;
    TNotifyEvent OnRequestHeaderEnd;
    TNotifyEvent OnDocBegin;
    TDocDataEvent OnDocData;
    TNotifyEvent OnDocEnd;
    TNotifyEvent OnSendBegin;
    TDocDataEvent OnSendData;
    TNotifyEvent OnSendEnd;
    TNotifyEvent OnStateChange;
    THttpRequestDone OnRequestDone;
    TNotifyEvent OnLocationChange;
    TCookieRcvdEvent OnCookie;

    // Streams of the caller: the POST body (sent from its current position; Content-Length is its
    // whole size) and the answer's body (may be unset).
    TStream* SendStream = nullptr;
    TStream* RcvdStream = nullptr;

    // What the last request left.
    int StatusCode() const { return FStatusCode; }
    std::string ReasonPhrase() const { return FReasonPhrase; }
    // The code Get, Post and Head raise EHttpException with when StatusCode is 400 or more.
    WORD ErrorCode() const { return FErrorCode; }
    // The last header line or body block received, as received (line ends of body blocks kept).
    const std::string& LastReceived() const { return FLastReceived; }
    int ContentLength() const { return FContentLength; }
    std::string ContentType() const { return FContentType; }
    std::string DocumentName() const { return FDocumentName; }
    // Body bytes received and body bytes sent by the request. Both are 32-bit counts that stop
    // at 2^31 - 1 (they saturate) instead of overflowing.
    int BytesReceived() const { return FBytesReceived; }
    int BytesSent() const { return FBytesSent; }
    TStringList* ReceivedHeaderLines() const { return FReceivedHeaderLines.get(); }
    TStringList* AuthChallenges() const { return FAuthChallenges.get(); }
    std::string Location() const { return FTarget.Location; }
    THttpClientState State() const { return FState; }
    THttpRequest RequestKind() const { return FRequestKind; }
    WORD DoneError() const { return static_cast<WORD>(FDoneError); }
    TAsyncSocket* CtrlSocket() const { return FCtrlSocket; }

    void Get() { RunRequest(rqGet); }
    void Post() { RunRequest(rqPost); }
    void Head() { RunRequest(rqHead); }
    void Abort();

    void RunRequest(THttpRequest Kind);
    void StartRequest(THttpRequest Kind);

    static constexpr int MaxRedirects = 20;
    // The budget of an answer's header, from its status line up to and including the empty line
    // that ends it: at most MaxHeaderSize bytes, line ends counted (code 8 past it), and at most
    // MaxHeaderLines lines, the empty line not counted (code 9 past it). Each line also fits the
    // receive buffer (code 4).
    static constexpr int MaxHeaderSize = 64 * 1024;
    static constexpr int MaxHeaderLines = 500;

protected:
    virtual void SendHeaderLine(const std::string& Line);
    virtual void StartLookup();
    virtual void CloseConnection();
    virtual void RedirectClosed(TObject* Sender, WORD Error);
    virtual void FireCookie(const std::string& Data, bool& Accept);
    virtual void FireSessionConnected();
    virtual void FireRequestHeaderBegin();
    virtual void FireRequestHeaderEnd();
    virtual void FireHeaderBegin();
    virtual void FireHeaderEnd();
    virtual void FireDocBegin();
    virtual void FireDocData(const void* Buffer, int Len);
    virtual void FireDocEnd();
    virtual void FireSendBegin();
    virtual void FireSendData(const void* Buffer, int Len);
    virtual void FireSendEnd();
    void FireStateChange();

    void SetState(THttpClientState NewState);
    void PostDone();
    void PostIdle();

private:
    void WndProc(TMessage& Msg);
    void BindSocket();
    // Socket events.
    void SocketLookupDone(TObject* Sender, WORD Error);
    void SocketConnected(TObject* Sender, WORD Error);
    void SocketDataReceived(TObject* Sender, WORD Error);
    void SocketClosed(TObject* Sender, WORD Error);
    void SendBodyChunk(TObject* Sender, WORD Error);
    // The exchange.
    void ConnectToHost();
    void WriteRequestHeader(const std::string& Method, const std::string& Version);
    void PumpBody();
    void FailExchange(const std::string& Reason);
    void EndRequest(int Status, const std::string& Reason, int Error);
    // The receiving side.
    void HandleLine();
    void ParseHeaderLine();
    void DeliverBodyChunk();
    void HeaderLineTooLong();
    void RefuseAnswer(WORD Code, const std::string& Reason);
    bool HeaderWithinBudget(int LineBytes);
    bool BodyWithinCap(std::int64_t Size);
    bool AnswerCarriesBody() const;
    bool AnswerKnownWhole() const;
    bool AnswerCutShort(int Error) const;
    void StartRedirect();
    void HandleRedirect();
    // The inactivity time-out.
    void Touch() { FLastActivity = GetTickCount(); }
    void ArmTimeout();
    void StopTimeout();
    void CheckTimeout();

    TAsyncSocket* FCtrlSocket = nullptr;
    HWND FWindowHandle = nullptr;
    bool FMultiThreaded = false;
    THttpClientState FState = hsReady;
    http::TTarget FTarget;
    bool FViaProxy = false;
    bool FConnected = false;
    std::string FDnsResult;
    char FSendBuffer[8193] = {};
    THttpRequest FRequestKind = THttpRequest(0);
    http::TReceiveBuffer FReceiveBuffer;
    std::string FLastReceived;
    int FHeaderLineCount = 0;
    int FHeaderSize = 0;  // bytes of the answer's header taken so far, line ends counted
    int FBodyDataCount = 0;
    bool FAllowedToSend = false;
    std::string FDocumentName;
    int FStatusCode = 0;
    std::string FReasonPhrase;
    WORD FErrorCode = 0;  // the code Post raises with when the status is 400 or more
    int FContentLength = -1;
    int FAnnouncedLength = -1;  // the Content-Length of the answer under way (-1: none)
    std::string FContentType;
    std::unique_ptr<TStringList> FAuthChallenges;
    std::string FAcceptRanges;
    bool FLocationSeen = false;
    std::unique_ptr<TStringList> FReceivedHeaderLines;
    int FBytesReceived = 0;
    int FBytesSent = 0;
    std::unique_ptr<TMemoryStream> FHeaderStream;
    int FDoneError = 0;
    int FReceiveError = 0;  // the socket error a receive of this connection met (0: none)
    void (THttpClient::*FNextLineHandler)() = &THttpClient::ParseHeaderLine;  // takes LastReceived
    std::int64_t FSendStart = 0;  // where SendStream stood when the request started
    int FRedirectCount = 0;
    unsigned FRequestSerial = 0;  // tags the posted messages of one request
    DWORD FLastActivity = 0;
    bool FTimerRunning = false;
};
