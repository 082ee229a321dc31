// The fixed English texts of the sockets error codes and the codes and texts of the SOCKS
// negotiation failures, each in one table.
#include "transport/AsyncSocket.h"

#include <array>

#include "transport/AsyncSocket/Internal.h"

namespace {

struct CodeText {
    int Code;
    const char* Text;
};

constexpr std::array kSocketErrors{
    CodeText{0, "No Error"},
    CodeText{10004, "Interrupted system call"},
    CodeText{10009, "Bad file number"},
    CodeText{10013, "Permission denied"},
    CodeText{10014, "Bad address"},
    CodeText{10022, "Invalid argument"},
    CodeText{10024, "Too many open files"},
    CodeText{10035, "Operation would block"},
    CodeText{10036, "Operation now in progress"},
    CodeText{10037, "Operation already in progress"},
    CodeText{10038, "Socket operation on non-socket"},
    CodeText{10039, "Destination address required"},
    CodeText{10040, "Message too long"},
    CodeText{10041, "Protocol wrong type for socket"},
    CodeText{10042, "Protocol not available"},
    CodeText{10043, "Protocol not supported"},
    CodeText{10044, "Socket type not supported"},
    CodeText{10045, "Operation not supported on socket"},
    CodeText{10046, "Protocol family not supported"},
    CodeText{10047, "Address family not supported by protocol family"},
    CodeText{10048, "Address already in use"},
    CodeText{10049, "Address not available"},
    CodeText{10050, "Network is down"},
    CodeText{10051, "Network is unreachable"},
    CodeText{10052, "Network dropped connection on reset"},
    CodeText{10053, "Connection aborted"},
    CodeText{10054, "Connection reset by peer"},
    CodeText{10055, "No buffer space available"},
    CodeText{10056, "Socket is already connected"},
    CodeText{10057, "Socket is not connected"},
    CodeText{10058, "Can't send after socket shutdown"},
    CodeText{10059, "Too many references: can't splice"},
    CodeText{10060, "Connection timed out"},
    CodeText{10061, "Connection refused"},
    CodeText{10062, "Too many levels of symbolic links"},
    CodeText{10063, "File name too long"},
    CodeText{10064, "Host is down"},
    CodeText{10065, "No route to host"},
    CodeText{10066, "Directory not empty"},
    CodeText{10067, "Too many processes"},
    CodeText{10068, "Too many users"},
    CodeText{10069, "Disc quota exceeded"},
    CodeText{10070, "Stale NFS file handle"},
    CodeText{10071, "Too many levels of remote in path"},
    CodeText{10091, "Network sub-system is unusable"},
    CodeText{10092, "WinSock DLL cannot support this application"},
    CodeText{10093, "WinSock not initialized"},
    CodeText{11001, "Host not found"},
    CodeText{11002, "Non-authoritative host not found"},
    CodeText{11003, "Non-recoverable error"},
    CodeText{11004, "No Data"},
};

constexpr const char* kNotAWinsockError = "Not a WinSock error";

struct SocksRow {
    asyncsocket::TSocksFailure Failure;
    int Code;
    const char* Text;
};

using enum asyncsocket::TSocksFailure;

// In the order of TSocksFailure.
constexpr std::array kSocksFailures{
    SocksRow{LogicError, 20001, "TAsyncSocket logic error"},
    SocksRow{TooMuchData, 20001, "too much data availaible"},
    SocksRow{VersionError, 20002, "socks version error"},
    SocksRow{MethodNotAcceptable, 20003, "authentification method not acceptable"},
    SocksRow{GeneralFailure, 20004, "general SOCKS server failure"},
    SocksRow{NotAllowed, 20005, "connection not allowed by ruleset"},
    SocksRow{NetworkUnreachable, 20006, "network unreachable"},
    SocksRow{HostUnreachable, 20007, "host unreachable"},
    SocksRow{ConnectionRefused, 20008, "connection refused"},
    SocksRow{TtlExpired, 20009, "time to live expired"},
    SocksRow{CommandNotSupported, 20010, "command not supported"},
    SocksRow{AddressTypeNotSupported, 20011, "address type not supported"},
    SocksRow{Unassigned, 20012, "unassigned error #"},
    SocksRow{InternalError, 20013, "internal error"},
    SocksRow{RequestTooLong, 20014, "socks request too long"},
    SocksRow{AuthenticationFailed, 20015, "socks authentication failed"},
    SocksRow{Socks4AuthFailed, 20015, "authentification failed"},
    SocksRow{RequestRejected, 20016, "request rejected or failed"},
    SocksRow{Unresolvable, 20017, ""},
};

constexpr bool InFailureOrder() {
    for (size_t i = 0; i < kSocksFailures.size(); ++i)
        if (static_cast<size_t>(kSocksFailures[i].Failure) != i) return false;
    return true;
}
static_assert(InFailureOrder(), "the SOCKS failure table follows TSocksFailure");

}  // namespace

std::string SocketErrorText(int ErrCode) {
    for (const auto& row : kSocketErrors)
        if (row.Code == ErrCode) return row.Text;
    return kNotAWinsockError;
}

namespace asyncsocket {

int SocksFailureCode(TSocksFailure F) { return kSocksFailures[static_cast<size_t>(F)].Code; }
const char* SocksFailureText(TSocksFailure F) { return kSocksFailures[static_cast<size_t>(F)].Text; }

}  // namespace asyncsocket
