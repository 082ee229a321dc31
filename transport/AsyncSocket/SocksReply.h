// Reading the replies of a SOCKS server: the verdict on the bytes received so far of a method
// reply, a user/password reply, or a SOCKS 4 or 5 connect reply. Pure byte handling; the socket
// (Socks.cpp) reads the bytes and acts on the verdict.
#pragma once

#include "transport/AsyncSocket/Internal.h"

namespace asyncsocket {

enum class TSocksReplyKind { Method, Auth, Socks4, Socks5 };

struct TSocksReplyVerdict {
    enum TOutcome { NeedMore, Accepted, Refused };
    TOutcome Outcome = NeedMore;
    TSocksFailure Failure = TSocksFailure::InternalError;  // Refused: why
    int Code = 0;    // Refused with Unassigned: the server's reply code
    int Length = 0;  // Accepted: the bytes of the reply; what follows them is the peer's data
    int Method = 0;  // Accepted method reply: the method the server chose (0 none, 2 user/password)
};

// The longest reply: a SOCKS 5 reply naming a 255-byte domain.
constexpr int MaxSocksReply = 262;

// Judges Data[0..Count) as the start of a reply of the given kind. A SOCKS 5 or user/password
// reply is refused as soon as a byte shows it is wrong; the others once they are whole.
TSocksReplyVerdict ReadSocksReply(TSocksReplyKind Kind, const unsigned char* Data, int Count);

}  // namespace asyncsocket
