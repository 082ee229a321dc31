// The socket a THttpClient owns: a TAsyncSocket whose error code the client can clear before a
// call, so that a refusal that sets no code of its own is told apart from a stale one.
#pragma once

#include "transport/AsyncSocket.h"

namespace http {

class TClientSocket : public TAsyncSocket {
public:
    using TAsyncSocket::TAsyncSocket;
    void ClearLastError() { FLastError = 0; }
};

}  // namespace http
