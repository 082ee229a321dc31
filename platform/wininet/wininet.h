// WinInet as "wininet.dll": our own declarations of the handles, constants and the entry points the
// background downloader calls, served over libcurl.
//
// Every call blocks the calling thread (the downloader runs them on its worker). A session
// (InternetOpenA) holds the agent and the proxy choice, a connection (InternetConnectA) the server,
// port and credentials and does no I/O, and a request (HttpOpenRequestA) one exchange: its
// HttpSendRequestA connects, sends and reads the answer's header (following up to 5 redirects),
// HttpQueryInfoA reads that header and InternetReadFile the body, TRUE with 0 bytes at its end.
// Failures return FALSE (or null) with the WinInet error number in GetLastError.
//
// Handles are never reused. InternetCloseHandle may be called from any thread: it closes the handle
// and the handles made from it, and a call blocked on one of them returns FALSE at once with
// ERROR_INTERNET_OPERATION_CANCELLED. Apart from that, one thread at a time uses a handle.
//
// The functions are also the exports of the module "wininet.dll" of the module table
// (win/modules.h), for callers that bind them by name.
#pragma once

#include "platform/win/wintypes.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;  // the system's proxy settings (the environment)
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;  // the service's default port
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;

constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000u;  // fetch from the server, never from a cache

// HttpQueryInfoA: the header asked for, optionally as a number.
constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_STATUS_TEXT = 20;
constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr DWORD HTTP_QUERY_LOCATION = 33;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000u;  // a DWORD instead of text

// InternetSetOptionA: time limits in milliseconds (a DWORD), on a handle and the handles made from
// it afterwards. Both default to 60000.
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

// Error numbers.
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// agent: the User-Agent of every request (null or empty: none is sent). proxy: "host:port" for
// INTERNET_OPEN_TYPE_PROXY; proxyBypass: the hosts reached directly (comma separated).
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass,
                        DWORD flags);
// serverName: a host name or dotted address; port 0 is 80. User name and password (null or empty:
// none) are sent with Basic authorisation. Only INTERNET_SERVICE_HTTP is offered.
HINTERNET InternetConnectA(HINTERNET session, const char* serverName, INTERNET_PORT port, const char* userName,
                           const char* password, DWORD service, DWORD flags, DWORD_PTR context);
// verb: null is "GET"; version: "HTTP/1.0" or "HTTP/1.1" (null); referrer and the null-terminated
// list of accepted types are sent as given (no list: no Accept line). INTERNET_FLAG_RELOAD adds
// "Pragma: no-cache".
HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);
// headers: extra header lines separated by CR LF (headersLength -1: up to the terminating zero);
// optional: the body (for POST). Returns once the final answer's header has arrived.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength);
// The header value as text with a terminating zero (*bufferLength: the buffer's size in, the length
// without the zero out), or as a DWORD with HTTP_QUERY_FLAG_NUMBER. A buffer too small:
// ERROR_INSUFFICIENT_BUFFER and *bufferLength the size needed; a header the answer lacks:
// ERROR_HTTP_HEADER_NOT_FOUND. index is ignored (the first occurrence is given).
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
// Up to toRead bytes of the body; TRUE with *read 0 at its end. A connection that breaks or stalls
// past the receive time limit: FALSE (after every byte received before was given).
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read);
BOOL InternetCloseHandle(HINTERNET handle);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength);

namespace wininet {

constexpr const char* kLibraryName = "wininet.dll";

// Makes sure the module is in the module table; call it before LoadLibraryA("wininet.dll").
void EnsureRegistered();

// Number of handles open (for tests of leaks and cleanup).
int OpenHandleCount();

}  // namespace wininet
