// Host names of requests, looked up through the sockets library ("wsock32.dll"), so that WinInet
// and the sockets share one view of names: the system's resolver, or a test table installed there.
#pragma once

#include <string>

#include "platform/win/wintypes.h"

namespace wininet {

// The dotted IPv4 address of `host`. Dotted text is its own answer. 0, or
// ERROR_INTERNET_NAME_NOT_RESOLVED when the name has no address. When the sockets library cannot
// be used, 0 with an empty address: the transfer then looks the name up itself.
DWORD ResolveHost(const std::string& host, std::string& address);

}  // namespace wininet
