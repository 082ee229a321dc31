// The verdicts on SOCKS replies (see SocksReply.h).
#include "transport/AsyncSocket/SocksReply.h"

namespace asyncsocket {

namespace {

TSocksReplyVerdict Refuse(TSocksFailure Failure, int Code = 0) {
    TSocksReplyVerdict v;
    v.Outcome = TSocksReplyVerdict::Refused;
    v.Failure = Failure;
    v.Code = Code;
    return v;
}

TSocksReplyVerdict Accept(int Length, int Method = 0) {
    TSocksReplyVerdict v;
    v.Outcome = TSocksReplyVerdict::Accepted;
    v.Length = Length;
    v.Method = Method;
    return v;
}

// Version 5, the chosen method.
TSocksReplyVerdict MethodReply(const unsigned char* d, int n) {
    if (n < 2) return {};
    if (d[0] != 5) return Refuse(TSocksFailure::VersionError);
    if (d[1] != 0 && d[1] != 2) return Refuse(TSocksFailure::MethodNotAcceptable);
    return Accept(2, d[1]);
}

// Version 1, the status; nothing may follow before the request is sent.
TSocksReplyVerdict AuthReply(const unsigned char* d, int n) {
    if (n >= 1 && d[0] != 1) return Refuse(TSocksFailure::VersionError);
    if (n < 2) return {};
    if (n > 2) return Refuse(TSocksFailure::TooMuchData);
    if (d[1] != 0) return Refuse(TSocksFailure::AuthenticationFailed);
    return Accept(2);
}

// 0, the reply code, the port and the address: 8 bytes.
TSocksReplyVerdict Socks4Reply(const unsigned char* d, int n) {
    if (n < 8) return {};
    if (d[0] != 0) return Refuse(TSocksFailure::VersionError);
    switch (d[1]) {
        case 90: return Accept(8);
        case 91: return Refuse(TSocksFailure::RequestRejected);
        case 92: return Refuse(TSocksFailure::ConnectionRefused);
        case 93: return Refuse(TSocksFailure::Socks4AuthFailed);
        default: return Refuse(TSocksFailure::Unassigned, d[1]);
    }
}

// 5, the reply code, 0, the address type, the bound address (4 bytes, or a length and a name)
// and the port.
TSocksReplyVerdict Socks5Reply(const unsigned char* d, int n) {
    if (n >= 1 && d[0] != 5) return Refuse(TSocksFailure::VersionError);
    if (n >= 2 && d[1] != 0) {
        const int code = d[1];
        if (code >= 1 && code <= 8)
            return Refuse(static_cast<TSocksFailure>(static_cast<int>(TSocksFailure::GeneralFailure) + code - 1));
        return Refuse(TSocksFailure::Unassigned, code);
    }
    if (n < 5) return {};
    if (d[3] != 1 && d[3] != 3) return Refuse(TSocksFailure::AddressTypeNotSupported);
    const int need = d[3] == 1 ? 10 : 7 + d[4];
    if (n < need) return {};
    return Accept(need);
}

}  // namespace

TSocksReplyVerdict ReadSocksReply(TSocksReplyKind Kind, const unsigned char* Data, int Count) {
    if (!Data || Count < 0) Count = 0;
    switch (Kind) {
        case TSocksReplyKind::Method: return MethodReply(Data, Count);
        case TSocksReplyKind::Auth: return AuthReply(Data, Count);
        case TSocksReplyKind::Socks4: return Socks4Reply(Data, Count);
        case TSocksReplyKind::Socks5: return Socks5Reply(Data, Count);
    }
    return Refuse(TSocksFailure::InternalError);
}

}  // namespace asyncsocket
