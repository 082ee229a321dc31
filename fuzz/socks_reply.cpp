// Fuzzes the reading of SOCKS server replies. The first byte chooses the kind of reply (method,
// user/password, SOCKS 4, SOCKS 5); the rest is what the server sent. Every prefix is judged as
// the socket judges a reply that arrives in pieces: once a prefix is accepted or refused, every
// longer one must get the same verdict, and an accepted reply must fit the bytes read.
#include <algorithm>
#include <cstdint>

#include "transport/AsyncSocket/SocksReply.h"

namespace {

using asyncsocket::ReadSocksReply;
using asyncsocket::TSocksReplyKind;
using asyncsocket::TSocksReplyVerdict;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const auto kind = static_cast<TSocksReplyKind>(data[0] % 4);
    ++data;
    --size;
    const int n = static_cast<int>(std::min<size_t>(size, 2 * asyncsocket::MaxSocksReply));
    bool decided = false;
    TSocksReplyVerdict first;
    for (int i = 0; i <= n; ++i) {
        const TSocksReplyVerdict v = ReadSocksReply(kind, data, i);
        if (v.Outcome == TSocksReplyVerdict::Accepted) {
            Check(v.Length >= 2 && v.Length <= i && v.Length <= asyncsocket::MaxSocksReply);
            if (kind == TSocksReplyKind::Method) Check(v.Method == 0 || v.Method == 2);
        }
        if (!decided) {
            if (v.Outcome != TSocksReplyVerdict::NeedMore) {
                decided = true;
                first = v;
                if (v.Outcome == TSocksReplyVerdict::Accepted) Check(v.Length == i);  // no later than whole
            }
            continue;
        }
        if (kind == TSocksReplyKind::Auth) {
            // Nothing may follow a user/password reply: a longer read is refused, as too much
            // when the reply itself was good.
            Check(v.Outcome == TSocksReplyVerdict::Refused);
            if (first.Outcome == TSocksReplyVerdict::Accepted) Check(v.Failure == asyncsocket::TSocksFailure::TooMuchData);
            continue;
        }
        Check(v.Outcome == first.Outcome);
        if (v.Outcome == TSocksReplyVerdict::Accepted) Check(v.Length == first.Length && v.Method == first.Method);
        else Check(v.Failure == first.Failure && v.Code == first.Code);
    }
    return 0;
}
