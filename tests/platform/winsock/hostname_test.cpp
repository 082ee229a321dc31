// The machine's own name through the library: the test name replaces it, a short buffer fails.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win/winbase.h"
#include "platform/winsock/winsock.h"

namespace {

struct Library {
    HMODULE module;
    LPFN_GETHOSTNAME gethostname_;
    LPFN_WSAGETLASTERROR lastError;
    Library() {
        winsock::EnsureRegistered();
        module = LoadLibraryA(winsock::kLibraryName);
        auto startup = reinterpret_cast<LPFN_WSASTARTUP>(GetProcAddress(module, "WSAStartup"));
        WSADATA data{};
        startup(0x0101, &data);
        gethostname_ = reinterpret_cast<LPFN_GETHOSTNAME>(GetProcAddress(module, "gethostname"));
        lastError = reinterpret_cast<LPFN_WSAGETLASTERROR>(GetProcAddress(module, "WSAGetLastError"));
    }
    ~Library() {
        reinterpret_cast<LPFN_WSACLEANUP>(GetProcAddress(module, "WSACleanup"))();
        FreeLibrary(module);
        winsock::SetTestHostName("");
    }
};

}  // namespace

TEST(WsockHostName, TheTestNameStandsForTheMachinesAndAShortBufferFails) {
    Library lib;
    ASSERT_NE(lib.gethostname_, nullptr);
    char buf[64] = {};
    ASSERT_EQ(lib.gethostname_(buf, sizeof buf), 0);
    char own[256] = {};
    ::gethostname(own, sizeof own - 1);
    EXPECT_STREQ(buf, own) << "without a test name the machine's own";

    winsock::SetTestHostName("tolvar-box");
    ASSERT_EQ(lib.gethostname_(buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "tolvar-box");
    char small[10] = {};  // "tolvar-box" and its zero need 11
    EXPECT_EQ(lib.gethostname_(small, sizeof small), SOCKET_ERROR);
    EXPECT_EQ(lib.lastError(), WSAEFAULT);
    EXPECT_EQ(lib.gethostname_(nullptr, 64), SOCKET_ERROR);
}
