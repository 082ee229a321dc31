#include "platform/wininet/names.h"

#include <cstdio>

#include "platform/win/winbase.h"
#include "platform/winsock/winsock.h"
#include "platform/wininet/wininet.h"

namespace wininet {

namespace {

bool IsDotted(const std::string& host) {
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 && b < 256 && c < 256 &&
           d < 256;
}

}  // namespace

DWORD ResolveHost(const std::string& host, std::string& address) {
    address.clear();
    if (IsDotted(host)) {
        address = host;
        return 0;
    }
    winsock::EnsureRegistered();
    HMODULE lib = LoadLibraryA(winsock::kLibraryName);
    if (!lib) return 0;
    auto startup = reinterpret_cast<LPFN_WSASTARTUP>(GetProcAddress(lib, "WSAStartup"));
    auto cleanup = reinterpret_cast<LPFN_WSACLEANUP>(GetProcAddress(lib, "WSACleanup"));
    auto lookup = reinterpret_cast<LPFN_GETHOSTBYNAME>(GetProcAddress(lib, "gethostbyname"));
    WSADATA data;
    if (!startup || !cleanup || !lookup || startup(0x0101, &data) != 0) {
        FreeLibrary(lib);
        return 0;
    }
    DWORD error = ERROR_INTERNET_NAME_NOT_RESOLVED;
    if (HOSTENT* h = lookup(host.c_str()); h && h->h_length == 4 && h->h_addr_list && h->h_addr_list[0]) {
        const auto* b = reinterpret_cast<const unsigned char*>(h->h_addr_list[0]);
        address = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                  std::to_string(b[3]);
        error = 0;
    }
    cleanup();
    FreeLibrary(lib);
    return error;
}

}  // namespace wininet
