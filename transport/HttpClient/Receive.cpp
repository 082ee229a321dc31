// THttpClient's receiving side: cutting the answer into lines, the status line and header fields,
// the body, and redirects.
#include "transport/HttpClient.h"

void THttpClient::SocketDataReceived(TObject*, WORD) {
    if (FReceiveBuffer.Full()) {
        if (FState == hsWaitingHeader) {
            HeaderLineTooLong();
            return;
        }
        FReceiveBuffer.Clear();
    }
    char* p = FReceiveBuffer.WritePointer();
    const int n = FCtrlSocket->Receive(p, FReceiveBuffer.Free());
    if (FRequestKind == 0 || n <= 0) return;
    FReceiveBuffer.Commit(n);
    Touch();
    if (FState == hsWaitingBody) {
        FReceiveBuffer.TakeAll(FLastReceived);
        (this->*FNextLineHandler)();
        return;
    }
    // The state is tested for every line: after a header-less start the lines that follow in the
    // same buffer go to the body one by one.
    while (FReceiveBuffer.Count() > 0) {
        if (!FReceiveBuffer.TakeLine(FLastReceived)) {
            if (FReceiveBuffer.Full() && FState == hsWaitingHeader) HeaderLineTooLong();
            return;
        }
        if (FState == hsWaitingHeader || FState == hsWaitingBody) (this->*FNextLineHandler)();
    }
}

// A header line that does not fit the buffer ends the request.
void THttpClient::HeaderLineTooLong() { RefuseAnswer(4, "HTTP line too long"); }

// Ends the request at once with Code and Reason: what is still in the buffer is not read, and
// Post raises.
void THttpClient::RefuseAnswer(WORD Code, const std::string& Reason) {
    FReceiveBuffer.Clear();
    FLocationSeen = false;
    FStatusCode = 404;
    FErrorCode = Code;
    FReasonPhrase = Reason;
    CloseConnection();
}

// An answer that closed before it was whole: its header did not end, or it announced a longer
// body than came. Only answers that carry a body are measured.
bool THttpClient::AnswerCutShort() const {
    if (FStatusCode >= 400) return false;  // already a failure
    if (FState == hsWaitingHeader) return FHeaderLineCount > 0 || FReceiveBuffer.Count() > 0;
    if (FState != hsWaitingBody || FRequestKind == rqHead || FAnnouncedLength < 0) return false;
    if (FStatusCode < 200 || FStatusCode == 204 || FStatusCode == 304) return false;
    return FBytesReceived < FAnnouncedLength;
}

void THttpClient::ParseHeaderLine() {
    if (FHeaderLineCount == 0) {
        FireHeaderBegin();
        FAnnouncedLength = -1;
    }
    ++FHeaderLineCount;
    const std::string line = FLastReceived;
    if (FHeaderLineCount == 1 && !http::IsHeaderlessStart(line) && !http::ParseStatusLine(line).WellFormed) {
        // The answer must open with a status line (or be a page without a header).
        FReceivedHeaderLines->Add(line);
        RefuseAnswer(5, "Invalid HTTP answer: no status line");
        return;
    }
    if (http::IsHeaderlessStart(line)) {
        if (FContentType.empty()) FContentType = "text/html";
        SetState(hsWaitingBody);
        FNextLineHandler = &THttpClient::DeliverBodyChunk;
        FireHeaderEnd();
        DeliverBodyChunk();
        return;
    }
    if (line.empty()) {
        if (FLocationSeen) {
            StartRedirect();
            return;
        }
        if (LowerCase(ExtractFileExt(FDocumentName)) == ".exe" && FContentType == "text/html")
            FDocumentName = http::ReplaceFileExt(FDocumentName, "htm");
        SetState(hsWaitingBody);
        FNextLineHandler = &THttpClient::DeliverBodyChunk;
        FireHeaderEnd();
        if (FReceiveBuffer.Count() > 0) {
            FReceiveBuffer.TakeAll(FLastReceived);
            DeliverBodyChunk();
        }
        return;
    }
    FReceivedHeaderLines->Add(line);
    // Only the answer's first line is its status: a later one (after an error status closed the
    // connection, say) never replaces it.
    http::TStatusLine status = FHeaderLineCount == 1 ? http::ParseStatusLine(line) : http::TStatusLine();
    if (status.IsStatus) {
        // A code that is no number sets nothing.
        if (status.CodeValid) {
            FStatusCode = status.Code;
            FErrorCode = static_cast<WORD>(status.Code);
            FReasonPhrase = status.Reason;
        }
    } else {
        http::THeaderField f = http::ParseHeaderField(line);
        if (f.HasColon) {
            if (f.Name == "location") {
                // Only plain HTTP is spoken: the body is never re-sent to another scheme's port.
                const std::string scheme = http::SchemeOf(f.Value);
                if (!scheme.empty() && scheme != "http") {
                    RefuseAnswer(7, "Redirect to " + scheme + " refused: only http is supported");
                    return;
                }
                FLocationSeen = true;
                http::ResolveLocation(f.Value, FViaProxy, FTarget);
            } else if (f.Name == "content-length") {
                int v;
                if (http::ParseDecimal(f.Value, v)) FContentLength = FAnnouncedLength = v;
            } else if (f.Name == "content-range") {
                http::SplitContentRange(f.Value, ContentRangeBegin, ContentRangeEnd);
            } else if (f.Name == "accept-ranges") {
                FAcceptRanges = f.Value;
            } else if (f.Name == "content-type") {
                FContentType = LowerCase(f.Value);
            } else if (f.Name == "www-authenticate") {
                FAuthChallenges->Add(f.Value);
            } else if (f.Name == "set-cookie") {
                bool accept = true;
                FireCookie(f.Value, accept);
            }
        }
    }
    if (OnHeaderData) OnHeaderData(this);
    if (FStatusCode >= 400 && FCtrlSocket->State() != wsClosed) CloseConnection();
}

void THttpClient::DeliverBodyChunk() {
    if (FBodyDataCount == 0) FireDocBegin();
    ++FBodyDataCount;
    const int len = static_cast<int>(FLastReceived.size());
    FBytesReceived += len;
    if (RcvdStream) RcvdStream->WriteBuffer(FLastReceived.data(), len);
    FireDocData(FLastReceived.data(), len);
}

// The empty line after a location header: the connection closes and the request runs again
// towards the new target.
void THttpClient::StartRedirect() {
    FireHeaderEnd();
    FReceiveBuffer.Clear();  // the redirect's own body is not wanted
    FHeaderLineCount = 0;
    FBodyDataCount = 0;
    if (++FRedirectCount > MaxRedirects) {
        FLocationSeen = false;
        FStatusCode = 404;
        FErrorCode = 404;
        FReasonPhrase = "too many redirects";
        CloseConnection();
        return;
    }
    FCtrlSocket->OnSessionClosed = [this](TObject* s, WORD e) { RedirectClosed(s, e); };
    FCtrlSocket->Close();
}

void THttpClient::RedirectClosed(TObject*, WORD) {
    FConnected = false;
    FLocationSeen = false;
    FCtrlSocket->OnSessionClosed = [this](TObject* s, WORD e) { SocketClosed(s, e); };
    if (OnLocationChange) OnLocationChange(this);
    PostMessageA(FWindowHandle, WmHttpRedirect, FRequestSerial, 0);
}

void THttpClient::HandleRedirect() {
    if (FState == hsReady || FState == hsAborting) return;
    // The body goes again in full.
    if (FRequestKind == rqPost && SendStream) {
        try {
            SendStream->SetPosition(FSendStart);
        } catch (const std::exception& E) {
            FStatusCode = 404;
            FErrorCode = 404;
            FReasonPhrase = E.what();
            SocketClosed(FCtrlSocket, 0);
            return;
        }
    }
    StartLookup();
}
