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
    if (n < 0) {
        // A reset met by a read: the close that follows may no longer carry the code.
        const int error = FCtrlSocket->LastError();
        if (error != 0 && error != WSAEWOULDBLOCK) FReceiveError = error;
    }
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
        const int before = FReceiveBuffer.Count();
        if (!FReceiveBuffer.TakeLine(FLastReceived)) {
            if (FReceiveBuffer.Full() && FState == hsWaitingHeader) HeaderLineTooLong();
            return;
        }
        if (FState == hsWaitingHeader && !HeaderWithinBudget(before - FReceiveBuffer.Count())) return;
        if (FState == hsWaitingHeader || FState == hsWaitingBody) (this->*FNextLineHandler)();
    }
}

// Counts a header line of LineBytes bytes (its line end included) against the header's budget;
// the line that goes past it refuses the answer. Lines that follow an error status in the same
// buffer are not refused: that answer has already failed with its own status.
bool THttpClient::HeaderWithinBudget(int LineBytes) {
    if (FStatusCode >= 400) return true;
    FHeaderSize += LineBytes;
    if (FHeaderSize > MaxHeaderSize) {
        RefuseAnswer(HeaderTooLong, "HTTP header too long: more than " + IntToStr(MaxHeaderSize) + " bytes");
        return false;
    }
    if (!FLastReceived.empty() && FHeaderLineCount >= MaxHeaderLines) {
        RefuseAnswer(HeaderTooManyLines, "HTTP header too long: more than " + IntToStr(MaxHeaderLines) + " lines");
        return false;
    }
    return true;
}

// A body of Size bytes fits MaxBodySize; past it the answer is refused.
bool THttpClient::BodyWithinCap(std::int64_t Size) {
    if (MaxBodySize <= 0 || Size <= MaxBodySize) return true;
    RefuseAnswer(BodyTooLong, "HTTP answer too long: more than " + IntToStr(MaxBodySize) + " bytes of body");
    return false;
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

// The answer under way has a body: it answers no HEAD and its status is none of 1xx, 204, 304.
bool THttpClient::AnswerCarriesBody() const {
    return FRequestKind != rqHead && FStatusCode >= 200 && FStatusCode != 204 && FStatusCode != 304;
}

// The answer needs no more bytes: its header has ended and it carries no body or all of its
// Content-Length has come. A page without a header, and a body without a length, are never known
// whole before their connection ends.
bool THttpClient::AnswerKnownWhole() const {
    if (FState != hsWaitingBody || FStatusCode == 0) return false;
    if (!AnswerCarriesBody()) return true;
    return FAnnouncedLength >= 0 && FBytesReceived >= FAnnouncedLength;
}

// An answer whose connection ended, with the socket error Error (0: an orderly close), before it
// was whole: its header did not end, it announced a longer body than came, or the connection
// failed while more of it could still come (so a body without a length cut by a reset is not
// taken for a whole one).
bool THttpClient::AnswerCutShort(int Error) const {
    if (FStatusCode >= 400) return false;  // already a failure
    if (FState == hsWaitingHeader) return true;
    if (FState != hsWaitingBody || AnswerKnownWhole()) return false;
    return Error != 0 || FAnnouncedLength >= 0;
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
        if (AnswerCarriesBody() && !BodyWithinCap(FAnnouncedLength)) return;
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
    const int len = static_cast<int>(FLastReceived.size());
    if (!BodyWithinCap(static_cast<std::int64_t>(FBytesReceived) + len)) return;
    if (FBodyDataCount == 0) FireDocBegin();
    ++FBodyDataCount;
    FBytesReceived = http::AddSaturated(FBytesReceived, len);
    if (RcvdStream) RcvdStream->WriteBuffer(FLastReceived.data(), len);
    FireDocData(FLastReceived.data(), len);
}

// The empty line after a location header: the connection closes and the request runs again
// towards the new target.
void THttpClient::StartRedirect() {
    FireHeaderEnd();
    FReceiveBuffer.Clear();  // the redirect's own body is not wanted
    FHeaderLineCount = 0;
    FHeaderSize = 0;
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
