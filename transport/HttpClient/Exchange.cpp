// THttpClient's sending side: lookup, connect, the request header, the POST body pump and the
// end of a connection.
#include "transport/HttpClient.h"

#include "transport/HttpClient/ClientSocket.h"

namespace {
std::string ErrorSuffix(int Error) { return " (Error #" + IntToStr(Error) + ")"; }
}  // namespace

void THttpClient::StartLookup() {
    FDnsResult.clear();
    SetState(hsDnsLookup);
    // A target without a host name fails as a lookup would, and the client goes back to idle.
    if (FTarget.HostName.empty() || FTarget.HostHeader.empty()) {
        SocketLookupDone(FCtrlSocket, WSAEINVAL);
        return;
    }
    try {
        FCtrlSocket->DnsLookup(FTarget.HostName);
    } catch (ESocketException&) {
        // The lookup could not even start.
        if (FState == hsDnsLookup) SocketLookupDone(FCtrlSocket, WSAEINVAL);
    }
}

void THttpClient::SocketLookupDone(TObject* Sender, WORD Error) {
    if (FState != hsDnsLookup) return;  // aborted, or not this request's lookup
    if (Error != 0) {
        FDoneError = Error;
        FStatusCode = 404;
        FErrorCode = 404;
        FReasonPhrase = "can't resolve hostname to IP address";
        SocketClosed(Sender, Error);
        return;
    }
    FDnsResult = FCtrlSocket->DnsResult();
    SetState(hsDnsLookupDone);
    ConnectToHost();
}

void THttpClient::ConnectToHost() {
    auto* s = static_cast<http::TClientSocket*>(FCtrlSocket);
    try {
        s->ClearLastError();
        s->SetAddr(FDnsResult);
        s->SetPort(FTarget.Port);
        s->SetProto("tcp");
        Touch();
        s->Connect();
    } catch (Exception&) {
        // A refusal that names no sockets error of its own (no port, a port that is no number or
        // service) is an invalid argument.
        int err = s->LastError() != 0 ? s->LastError() : WSAEINVAL;
        FDoneError = err;
        FStatusCode = 404;
        FErrorCode = 404;
        FReasonPhrase = "can't connect: " + SocketErrorText(err) + ErrorSuffix(err);
        try {
            s->Close();
        } catch (...) {
        }
        SocketClosed(s, static_cast<WORD>(err));
    }
}

void THttpClient::SocketConnected(TObject* Sender, WORD Error) {
    if (FState != hsDnsLookupDone) return;
    if (Error != 0) {
        FDoneError = Error;
        FStatusCode = 404;
        FErrorCode = 404;
        FReasonPhrase = SocketErrorText(Error) + ErrorSuffix(Error);
        SocketClosed(Sender, Error);
        return;
    }
    FConnected = true;
    FReceiveError = 0;
    Touch();
    SetState(hsConnected);
    try {
        FireSessionConnected();
        FNextLineHandler = &THttpClient::ParseHeaderLine;
        SetState(hsWaitingHeader);
        switch (FRequestKind) {
            case rqGet: WriteRequestHeader("GET", "1.0"); break;
            case rqHead: WriteRequestHeader("HEAD", "1.0"); break;
            case rqPost:
                WriteRequestHeader("POST", "1.0");
                FireSendBegin();
                FAllowedToSend = true;
                PumpBody();
                break;
        }
    } catch (const std::exception& E) {
        FailExchange(E.what());
    }
}

void THttpClient::WriteRequestHeader(const std::string& Method, const std::string& Version) {
    FHeaderStream->Clear();
    FireRequestHeaderBegin();
    http::TRequestHead h;
    h.Method = Method;
    h.Path = FTarget.Path;
    h.Version = Version;
    h.Sender = Sender;
    h.Accept = Accept;
    h.Reference = Reference;
    h.ContentTypePost = ContentTypePost;
    h.Agent = Agent;
    h.HostHeader = FTarget.HostHeader;
    h.NoCache = NoCache;
    h.ContentLength = Method == "POST" && SendStream ? SendStream->Size() : 0;
    h.ModifiedSince = ModifiedSince;
    h.Username = Username;
    h.Password = Password;
    h.ViaProxy = FViaProxy;
    h.ProxyUsername = ProxyUsername;
    h.ProxyPassword = ProxyPassword;
    h.Cookie = Cookie;
    h.RangeBegin = ContentRangeBegin;
    h.RangeEnd = ContentRangeEnd;
    for (const std::string& line : http::RequestHeaderLines(h)) SendHeaderLine(line);
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    FAcceptRanges.clear();
    FireRequestHeaderEnd();
    SendHeaderLine("");
    FCtrlSocket->Send(FHeaderStream->Memory(), static_cast<int>(FHeaderStream->Size()));
    FHeaderStream->Clear();
}

void THttpClient::SendHeaderLine(const std::string& Line) {
    std::string s = Line;
    if (OnCommand) OnCommand(this, s);
    if (!s.empty()) FHeaderStream->WriteString(s);
    FHeaderStream->WriteString("\r\n");
}

void THttpClient::PumpBody() {
    if (!FAllowedToSend) return;
    const int n = static_cast<int>(SendStream->Read(FSendBuffer, sizeof FSendBuffer));
    if (n > 0) {
        FBytesSent = http::AddSaturated(FBytesSent, n);
        FireSendData(FSendBuffer, n);
        FCtrlSocket->Send(FSendBuffer, n);
        return;
    }
    FAllowedToSend = false;
    FireSendEnd();
}

void THttpClient::SendBodyChunk(TObject*, WORD) {
    Touch();
    if (!FAllowedToSend) return;
    try {
        PumpBody();
    } catch (const std::exception& E) {
        FAllowedToSend = false;
        FailExchange(E.what());
    }
}

// The request cannot go on (its body could not be read, an owner's handler raised): it ends as a
// failure with that text instead of as an answer of nothing.
void THttpClient::FailExchange(const std::string& Reason) {
    FStatusCode = 404;
    FErrorCode = 404;
    FReasonPhrase = Reason;
    CloseConnection();
}

void THttpClient::CloseConnection() {
    try {
        FCtrlSocket->Close();
    } catch (...) {
    }
    FConnected = false;
}

// The end of a connection: the close's own socket error, or else the one a read of it met, tells
// a connection that failed from one the server ended.
void THttpClient::SocketClosed(TObject*, WORD Error) {
    FConnected = false;
    if (FState == hsReady) return;  // a socket closed between requests ends nothing
    const int error = Error != 0 ? Error : FReceiveError;
    const bool nothingCame = FState == hsWaitingHeader && FHeaderLineCount == 0 && FReceiveBuffer.Count() == 0;
    if (FStatusCode < 400 && nothingCame && error == 0) {
        FStatusCode = 404;
        FErrorCode = 5;
        FReasonPhrase = "Invalid HTTP answer: empty reply from server";
    } else if (AnswerCutShort(error)) {
        std::string what;
        if (error != 0) what = SocketErrorText(error) + ErrorSuffix(error);
        else if (FState == hsWaitingHeader) what = "the header did not end";
        else what = IntToStr(FBytesReceived) + " of " + IntToStr(FAnnouncedLength) + " bytes came";
        FReceiveBuffer.Clear();
        FStatusCode = 404;
        FErrorCode = 6;
        FReasonPhrase = "HTTP answer cut short: " + what;
        if (error != 0) FDoneError = error;
    }
    if (FBodyDataCount > 0) {
        try {
            FireDocEnd();
        } catch (...) {
            PostIdle();  // the request still ends
            throw;
        }
    }
    PostIdle();
}
