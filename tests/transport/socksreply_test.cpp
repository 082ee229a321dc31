// The verdicts on SOCKS server replies, byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "transport/AsyncSocket/SocksReply.h"

namespace {

using asyncsocket::ReadSocksReply;
using asyncsocket::TSocksFailure;
using asyncsocket::TSocksReplyKind;
using asyncsocket::TSocksReplyVerdict;
using Kind = TSocksReplyKind;
using F = TSocksFailure;

constexpr auto NeedMore = TSocksReplyVerdict::NeedMore;
constexpr auto Accepted = TSocksReplyVerdict::Accepted;
constexpr auto Refused = TSocksReplyVerdict::Refused;

struct Case {
    const char* what;
    Kind kind;
    std::string bytes;
    TSocksReplyVerdict::TOutcome outcome;
    int length = 0;                       // Accepted
    F failure = F::InternalError;         // Refused
    int code = 0;                         // Refused with Unassigned
};

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

std::string Socks5Name(int len) {
    std::string s = B({5, 0, 0, 3, len});
    s += std::string(static_cast<size_t>(len), 'h');
    return s + B({0x1f, 0x90});
}

TEST(SocksReply, VerdictsOnEachKindOfReply) {
    const Case cases[] = {
        {"method: one byte", Kind::Method, B({5}), NeedMore},
        {"method: none", Kind::Method, B({5, 0}), Accepted, 2},
        {"method: user/password", Kind::Method, B({5, 2}), Accepted, 2},
        {"method: no acceptable", Kind::Method, B({5, 0xff}), Refused, 0, F::MethodNotAcceptable},
        {"method: GSSAPI never offered", Kind::Method, B({5, 1}), Refused, 0, F::MethodNotAcceptable},
        {"method: version 4", Kind::Method, B({4, 0}), Refused, 0, F::VersionError},
        {"method: bytes behind it", Kind::Method, B({5, 0, 9, 9}), Accepted, 2},

        {"auth: empty", Kind::Auth, "", NeedMore},
        {"auth: wrong version at once", Kind::Auth, B({5}), Refused, 0, F::VersionError},
        {"auth: one byte", Kind::Auth, B({1}), NeedMore},
        {"auth: success", Kind::Auth, B({1, 0}), Accepted, 2},
        {"auth: failure", Kind::Auth, B({1, 1}), Refused, 0, F::AuthenticationFailed},
        {"auth: too much", Kind::Auth, B({1, 0, 0}), Refused, 0, F::TooMuchData},

        {"socks4: seven bytes", Kind::Socks4, B({0, 90, 0, 80, 1, 2, 3}), NeedMore},
        {"socks4: granted", Kind::Socks4, B({0, 90, 0, 80, 1, 2, 3, 4}), Accepted, 8},
        {"socks4: granted with data", Kind::Socks4, B({0, 90, 0, 80, 1, 2, 3, 4, 'x'}), Accepted, 8},
        {"socks4: rejected", Kind::Socks4, B({0, 91, 0, 0, 0, 0, 0, 0}), Refused, 0, F::RequestRejected},
        {"socks4: no identd", Kind::Socks4, B({0, 92, 0, 0, 0, 0, 0, 0}), Refused, 0, F::ConnectionRefused},
        {"socks4: identd differs", Kind::Socks4, B({0, 93, 0, 0, 0, 0, 0, 0}), Refused, 0, F::Socks4AuthFailed},
        {"socks4: unknown code", Kind::Socks4, B({0, 94, 0, 0, 0, 0, 0, 0}), Refused, 0, F::Unassigned, 94},
        {"socks4: wrong version", Kind::Socks4, B({4, 90, 0, 0, 0, 0, 0, 0}), Refused, 0, F::VersionError},

        {"socks5: empty", Kind::Socks5, "", NeedMore},
        {"socks5: wrong version at once", Kind::Socks5, B({4}), Refused, 0, F::VersionError},
        {"socks5: failure code at once", Kind::Socks5, B({5, 1}), Refused, 0, F::GeneralFailure},
        {"socks5: refused", Kind::Socks5, B({5, 5}), Refused, 0, F::ConnectionRefused},
        {"socks5: address type", Kind::Socks5, B({5, 8}), Refused, 0, F::AddressTypeNotSupported},
        {"socks5: unassigned code", Kind::Socks5, B({5, 9}), Refused, 0, F::Unassigned, 9},
        {"socks5: code 255", Kind::Socks5, B({5, 255}), Refused, 0, F::Unassigned, 255},
        {"socks5: IPv4 nine bytes", Kind::Socks5, B({5, 0, 0, 1, 127, 0, 0, 1, 0}), NeedMore},
        {"socks5: IPv4", Kind::Socks5, B({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}), Accepted, 10},
        {"socks5: IPv4 with data", Kind::Socks5, B({5, 0, 0, 1, 127, 0, 0, 1, 0, 80, 'H', 'T'}), Accepted, 10},
        {"socks5: IPv6 bound address", Kind::Socks5, B({5, 0, 0, 4, 0}), Refused, 0, F::AddressTypeNotSupported},
        {"socks5: name, short", Kind::Socks5, Socks5Name(4).substr(0, 10), NeedMore},
        {"socks5: name", Kind::Socks5, Socks5Name(4), Accepted, 11},
        {"socks5: empty name", Kind::Socks5, Socks5Name(0), Accepted, 7},
        {"socks5: longest name", Kind::Socks5, Socks5Name(255), Accepted, asyncsocket::MaxSocksReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* d = reinterpret_cast<const unsigned char*>(c.bytes.data());
        const TSocksReplyVerdict v = ReadSocksReply(c.kind, d, static_cast<int>(c.bytes.size()));
        ASSERT_EQ(v.Outcome, c.outcome);
        if (c.outcome == Accepted) {
            EXPECT_EQ(v.Length, c.length);
        }
        if (c.outcome == Refused) {
            EXPECT_EQ(v.Failure, c.failure);
            if (c.failure == F::Unassigned) {
                EXPECT_EQ(v.Code, c.code);
            }
        }
        if (c.kind == Kind::Method && c.outcome == Accepted) {
            EXPECT_EQ(v.Method, static_cast<unsigned char>(c.bytes[1]));
        }
    }
}

// A reply judged as it grows: no prefix of a whole reply is refused or accepted early, and the
// whole reply is accepted with its own length whatever follows.
TEST(SocksReply, PrefixesOfAWholeReplyNeedMore) {
    const struct {
        Kind kind;
        std::string reply;
    } replies[] = {
        {Kind::Method, B({5, 2})},
        {Kind::Auth, B({1, 0})},
        {Kind::Socks4, B({0, 90, 0, 80, 1, 2, 3, 4})},
        {Kind::Socks5, B({5, 0, 0, 1, 10, 0, 0, 1, 4, 0})},
        {Kind::Socks5, Socks5Name(20)},
    };
    for (const auto& r : replies) {
        const auto* d = reinterpret_cast<const unsigned char*>(r.reply.data());
        const int n = static_cast<int>(r.reply.size());
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(ReadSocksReply(r.kind, d, i).Outcome, NeedMore);
        }
        const TSocksReplyVerdict v = ReadSocksReply(r.kind, d, n);
        EXPECT_EQ(v.Outcome, Accepted);
        EXPECT_EQ(v.Length, n);
    }
}

}  // namespace
