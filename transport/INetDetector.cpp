// The connectivity watcher: its timer, the local check over the sockets library and the dial-up
// value of the machine's registry.
#include "transport/INetDetector.h"

#include <cstring>
#include <string>

#include "platform/classlib/application.h"
#include "platform/registry/registry.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"
#include "platform/winsock/winsock.h"

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr const char* kRemoteAccessKey = "System\\CurrentControlSet\\Services\\RemoteAccess";

// The sockets library, loaded for one check and released again on every path.
class TSocketLibrary {
public:
    TSocketLibrary() {
        winsock::EnsureRegistered();
        FModule = LoadLibraryA(winsock::kLibraryName);
    }
    ~TSocketLibrary() {
        if (FStarted) Proc<LPFN_WSACLEANUP>("WSACleanup")();
        if (FModule) FreeLibrary(FModule);
    }
    TSocketLibrary(const TSocketLibrary&) = delete;
    TSocketLibrary& operator=(const TSocketLibrary&) = delete;

    bool Start() {
        auto startup = Proc<LPFN_WSASTARTUP>("WSAStartup");
        WSADATA data{};
        FStarted = startup && startup(0x0101, &data) == 0;
        return FStarted;
    }
    template <class F>
    F Proc(const char* name) const {
        return FModule ? reinterpret_cast<F>(GetProcAddress(FModule, name)) : nullptr;
    }

private:
    HMODULE FModule = nullptr;
    bool FStarted = false;
};

}  // namespace

TINetDetector::TINetDetector(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); }, "TINetDetectorWindow");
    Rearm();
}

TINetDetector::~TINetDetector() {
    FEnabled = false;
    Rearm();
    DeallocateHWnd(FWindow);
}

void TINetDetector::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    Rearm();
}

void TINetDetector::SetDispatchInterval(unsigned ms) {
    if (ms == FDispatchInterval) return;
    FDispatchInterval = ms;
    Rearm();
}

void TINetDetector::Rearm() {
    if (!FWindow) return;
    KillTimer(FWindow, kTimerId);
    if (FDispatchInterval != 0 && FEnabled) SetTimer(FWindow, kTimerId, FDispatchInterval, nullptr);
}

void TINetDetector::WndProc(TMessage& m) {
    if (m.Msg == WM_TIMER && m.WParam == kTimerId) {
        Poll();
        return;
    }
    m.Result = DefWindowProcA(FWindow, m.Msg, m.WParam, m.LParam);
}

bool TINetDetector::LocalCheck() {
    TSocketLibrary lib;
    if (!lib.Start()) return false;
    auto hostname = lib.Proc<LPFN_GETHOSTNAME>("gethostname");
    auto byname = lib.Proc<LPFN_GETHOSTBYNAME>("gethostbyname");
    auto ntoa = lib.Proc<LPFN_INET_NTOA>("inet_ntoa");
    if (!hostname || !byname || !ntoa) return false;
    char name[64] = {};
    if (hostname(name, sizeof name) != 0) return false;
    HOSTENT* host = byname(name);
    if (!host || !host->h_addr_list) return false;
    std::string last;
    for (char** a = host->h_addr_list; *a; ++a) {
        WS_IN_ADDR in{};
        std::memcpy(&in, *a, sizeof in);
        last = ntoa(in);
    }
    return !last.empty() && last != "127.0.0.1";
}

void TINetDetector::Tick() {
    const bool before = FOnline;
    FOnline = LocalCheck();
    if (FOnline != before && OnChanged) OnChanged(this);

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRemoteAccessKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        FOnline = LocalCheck();
    } else {
        BYTE value[4] = {};
        DWORD size = sizeof value;
        if (RegQueryValueExA(key, "Remote Connection", nullptr, nullptr, value, &size) == ERROR_SUCCESS)
            FOnline = FOnline || value[0] == 1;
        else
            FOnline = LocalCheck();
        RegCloseKey(key);
    }
    if (FOnline != before && OnChanged) OnChanged(this);
}

void TINetDetector::Poll() {
    try {
        Tick();
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
}
