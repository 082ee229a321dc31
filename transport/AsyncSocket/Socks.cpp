// The SOCKS client: Connect goes to the SOCKS server, and the negotiation (SOCKS 4, 4A, or 5 with
// the user/password method) runs inside the data-available path, one handler per phase, before
// the owner hears OnSessionConnected.
//
// What runs for every message and every socket event is marked [[gnu::hot]], which keeps it
// together in a few pages of code: where a system call empties the TLB, each page that the path
// between two calls touches costs a page walk.
#include "transport/AsyncSocket.h"

#include <algorithm>
#include <cstring>

#include "transport/AsyncSocket/Internal.h"
#include "transport/AsyncSocket/SocksReply.h"

using namespace asyncsocket;

TCustomSocksSocket::TCustomSocksSocket(TComponent* AOwner) : TCustomAsyncSocket(AOwner) { ResetSocks(); }

void TCustomSocksSocket::ResetSocks() {
    FSocksServer.clear();
    FSocksPort.clear();
    FSocksLevel = TSocksLevel::Socks5;
    FSocksPhase = TSocksPhase::Ready;
    FReplyCount = 0;
    FLeftCount = 0;
    FLeftPos = 0;
}

void TCustomSocksSocket::ResetDefaults() {
    TCustomAsyncSocket::ResetDefaults();
    ResetSocks();
}

void TCustomSocksSocket::WriteSocksServer(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks server if not closed");
        return;
    }
    FSocksServer = Trim(Value);
}

void TCustomSocksSocket::WriteSocksPort(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks port if not closed");
        return;
    }
    FSocksPort = Trim(Value);
}

std::string TCustomSocksSocket::SocksLevel() const {
    switch (FSocksLevel) {
        case TSocksLevel::Socks4: return "4";
        case TSocksLevel::Socks4A: return "4A";
        case TSocksLevel::Socks5: break;
    }
    return "5";
}

void TCustomSocksSocket::SetSocksLevel(const std::string& Value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks level if not closed");
        return;
    }
    if (Value == "4") FSocksLevel = TSocksLevel::Socks4;
    else if (Value == "4A" || Value == "4a") FSocksLevel = TSocksLevel::Socks4A;
    else if (Value == "5") FSocksLevel = TSocksLevel::Socks5;
    else RaiseError("Invalid socks level. Must be 4, 4A or 5.");
}

void TCustomSocksSocket::Connect() {
    if (FSocksServer.empty()) {
        TCustomAsyncSocket::Connect();
        return;
    }
    if (LowerCase(Proto()) != "tcp") {
        RaiseError("tcp is the only protocol supported thru socks server");
        return;
    }
    try {
        if (!FPortResolved) {
            FSin.sin_port = htons_(SocketResolvePort(FSocksPort, Proto()));
            FPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = SocketResolveHost(FSocksServer);
            FAddrResolved = true;
        }
        FTargetPort = SocketResolvePort(Port(), Proto());
    } catch (Exception& E) {
        RaiseError("connect: " + E.Message);
        return;
    }
    FSocksPhase = TSocksPhase::MethodReply;
    FReplyCount = 0;
    TCustomAsyncSocket::Connect();
}

void TCustomSocksSocket::Listen() {
    if (!FSocksServer.empty()) {
        RaiseError("Listening is not supported thru socks server");
        return;
    }
    TCustomAsyncSocket::Listen();
}

void TCustomSocksSocket::FireSocksConnected(WORD Error) {
    if (OnSocksConnected) OnSocksConnected(this, Error);
}

void TCustomSocksSocket::FireSocksError(int Error, const std::string& Msg) {
    if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksSocket::FireSocksAuthState(TSocksAuthState AuthState) {
    if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}

void TCustomSocksSocket::FireSessionConnected(WORD Error) {
    if (FSocksPhase != TSocksPhase::MethodReply) {
        TCustomAsyncSocket::FireSessionConnected(Error);
        return;
    }
    FireSocksConnected(Error);
    if (Error != 0) {
        TCustomAsyncSocket::FireSessionConnected(Error);
        return;
    }
    if (FSocksLevel == TSocksLevel::Socks5) SendMethodOffer();
    else SendSocksRequest();
}

void TCustomSocksSocket::FireSessionClosed(WORD Error) {
    if (FSocksPhase == TSocksPhase::AuthReply) FireSocksAuthState(socksAuthClosed);
    TCustomAsyncSocket::FireSessionClosed(Error);
}

int TCustomSocksSocket::ReadRcvdCount() {
    if (FLeftCount > 0) return FLeftCount;
    return TCustomAsyncSocket::ReadRcvdCount();
}

[[gnu::hot]] int TCustomSocksSocket::RecvRaw(void* Buffer, int Size, int Flags) {
    if (FLeftCount > 0) {
        int n = std::min(std::max(Size, 0), FLeftCount);
        std::memcpy(Buffer, FReplyBuf + FLeftPos, static_cast<size_t>(n));
        FLeftPos += n;
        FLeftCount -= n;
        return n;
    }
    return TCustomAsyncSocket::RecvRaw(Buffer, Size, Flags);
}

void TCustomSocksSocket::SocksFail(int Code, const std::string& Msg) {
    FireSocksError(Code, Msg);
    TCustomAsyncSocket::FireSessionConnected(static_cast<WORD>(Code));
    DoClose(true, Code);
}

void TCustomSocksSocket::SocksFail(TSocksFailure Failure, const std::string& Suffix) {
    SocksFail(SocksFailureCode(Failure), SocksFailureText(Failure) + Suffix);
}

void TCustomSocksSocket::SendMethodOffer() {
    FSocksMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
    const unsigned char offer[3] = {5, 1, static_cast<unsigned char>(FSocksMethod)};
    try {
        Send(offer, 3);
    } catch (...) {
    }
}

void TCustomSocksSocket::SendAuthRequest() {
    FSocksPhase = TSocksPhase::AuthReply;
    FireSocksAuthState(socksAuthStarted);
    if (SocksUsercode.size() > 255 || SocksPassword.size() > 255) {
        SocksFail(TSocksFailure::RequestTooLong);
        return;
    }
    std::string req;
    req += '\x01';
    req += static_cast<char>(SocksUsercode.size());
    req += SocksUsercode;
    req += static_cast<char>(SocksPassword.size());
    req += SocksPassword;
    SendRequest(req);
}

void TCustomSocksSocket::SendSocksRequest() {
    FSocksPhase = TSocksPhase::ConnectReply;
    std::string req;
    const std::string addr = Addr();
    if (FSocksLevel != TSocksLevel::Socks5) {
        ULONG ip = 0;
        if (FSocksLevel == TSocksLevel::Socks4A) {
            const unsigned char b[4] = {0, 0, 0, 1};
            std::memcpy(&ip, b, 4);
        } else {
            try {
                ip = SocketResolveHost(addr);
            } catch (Exception& E) {
                FireSocksError(SocksFailureCode(TSocksFailure::Unresolvable),
                               std::string(E.ClassName()) + " " + E.Message);
                DoClose(true, SocksFailureCode(TSocksFailure::Unresolvable));
                return;
            }
        }
        req += '\x04';
        req += '\x01';
        req += static_cast<char>(FTargetPort >> 8);
        req += static_cast<char>(FTargetPort & 0xFF);
        req.append(reinterpret_cast<const char*>(&ip), 4);
        req += SocksUsercode;
        req += '\0';
        if (FSocksLevel == TSocksLevel::Socks4A) {
            req += addr;
            req += '\0';
        }
    } else {
        if (addr.size() > 255) {
            SocksFail(TSocksFailure::RequestTooLong);
            return;
        }
        req += '\x05';
        req += '\x01';
        req += '\0';
        req += '\x03';
        req += static_cast<char>(addr.size());
        req += addr;
        req += static_cast<char>(FTargetPort >> 8);
        req += static_cast<char>(FTargetPort & 0xFF);
    }
    SendRequest(req);
}

// Sends a request of the negotiation; one that would not fit its block is refused rather than
// sent cut short. A failing send is swallowed: the negotiation then stalls until the peer closes.
void TCustomSocksSocket::SendRequest(const std::string& Req) {
    if (Req.size() > static_cast<size_t>(SocksBufferSize)) {
        SocksFail(TSocksFailure::RequestTooLong);
        return;
    }
    try {
        SendStr(Req);
    } catch (...) {
    }
}

// Reads into the reply buffer, at most Max bytes in all; returns the count read (< 0 on error).
int TCustomSocksSocket::ReceiveReply(int Max) {
    int room = std::min(Max, SocksBufferSize) - FReplyCount;
    if (room <= 0) return 0;
    int n = Receive(FReplyBuf + FReplyCount, room);
    if (n > 0) FReplyCount += n;
    return n;
}

[[gnu::hot]] bool TCustomSocksSocket::FireDataAvailable(WORD Error) {
    if (FSocksPhase == TSocksPhase::Ready) return TCustomAsyncSocket::FireDataAvailable(Error);
    if (Error != 0) {
        SocksFail(Error, "data receive error");
        return false;
    }
    switch (FSocksPhase) {
        case TSocksPhase::MethodReply: return HandleMethodReply();
        case TSocksPhase::AuthReply: return HandleAuthReply();
        case TSocksPhase::ConnectReply:
            return FSocksLevel == TSocksLevel::Socks5 ? HandleSocks5Reply() : HandleSocks4Reply();
        case TSocksPhase::Ready: break;
    }
    SocksFail(TSocksFailure::InternalError);
    return false;
}

// Acts on a refusal of the server's reply; false, as the handlers return.
bool TCustomSocksSocket::SocksRefused(const TSocksReplyVerdict& Verdict) {
    if (Verdict.Failure == TSocksFailure::Unassigned) SocksFail(Verdict.Failure, IntToStr(Verdict.Code));
    else SocksFail(Verdict.Failure);
    return false;
}

// SOCKS 5 method reply: version 5, the chosen method.
bool TCustomSocksSocket::HandleMethodReply() {
    if (ReceiveReply(SocksBufferSize - 1) < 0) return true;
    if (FSocksLevel != TSocksLevel::Socks5) {
        SocksFail(TSocksFailure::LogicError);
        return false;
    }
    const TSocksReplyVerdict v = ReadSocksReply(TSocksReplyKind::Method, FReplyBuf, FReplyCount);
    if (v.Outcome == TSocksReplyVerdict::NeedMore) return true;
    FReplyCount = 0;
    if (v.Outcome == TSocksReplyVerdict::Refused) return SocksRefused(v);
    if (v.Method == 0) {
        if (FSocksMethod == 2) FireSocksAuthState(socksAuthSkipped);
        SendSocksRequest();
    } else {
        SendAuthRequest();
    }
    return true;
}

// User/password reply: version 1, status.
bool TCustomSocksSocket::HandleAuthReply() {
    if (ReceiveReply(SocksBufferSize - 1) < 0) return true;
    const TSocksReplyVerdict v = ReadSocksReply(TSocksReplyKind::Auth, FReplyBuf, FReplyCount);
    if (v.Outcome == TSocksReplyVerdict::NeedMore) return true;
    if (v.Outcome == TSocksReplyVerdict::Refused) return SocksRefused(v);
    FReplyCount = 0;
    FireSocksAuthState(socksAuthSucceeded);
    SendSocksRequest();
    return true;
}

// SOCKS 4 and 4A reply: 0, the reply code, port and address (8 bytes).
bool TCustomSocksSocket::HandleSocks4Reply() {
    if (ReceiveReply(8) < 0) return true;
    const TSocksReplyVerdict v = ReadSocksReply(TSocksReplyKind::Socks4, FReplyBuf, FReplyCount);
    if (v.Outcome == TSocksReplyVerdict::NeedMore) return true;
    FReplyCount = 0;
    if (v.Outcome == TSocksReplyVerdict::Refused) return SocksRefused(v);
    FSocksPhase = TSocksPhase::Ready;
    TCustomAsyncSocket::FireSessionConnected(0);
    return FireDataAvailable(0);
}

// SOCKS 5 reply: 5, the reply code, 0, the address type, the bound address and port.
bool TCustomSocksSocket::HandleSocks5Reply() {
    if (ReceiveReply(SocksBufferSize) < 0) return true;
    const TSocksReplyVerdict v = ReadSocksReply(TSocksReplyKind::Socks5, FReplyBuf, FReplyCount);
    if (v.Outcome == TSocksReplyVerdict::NeedMore) return true;
    if (v.Outcome == TSocksReplyVerdict::Refused) return SocksRefused(v);
    const int left = FReplyCount - v.Length;
    FReplyCount = 0;
    FSocksPhase = TSocksPhase::Ready;
    TCustomAsyncSocket::FireSessionConnected(0);
    if (FState != wsConnected) return false;  // closed by the handler
    FLeftPos = v.Length;
    FLeftCount = left;
    // Offered through the virtual path so a line socket cuts the early data into lines too.
    return FireDataAvailable(0);
}
