#include "platform/win/shellapi.h"

#include <cstdint>
#include <mutex>

namespace {

constexpr std::size_t kKeep = 64;

std::mutex& Lock() {
    static std::mutex m;
    return m;
}
shell::ExecuteHook& Hook() {
    static shell::ExecuteHook h;
    return h;
}
std::vector<ShellRequest>& Recorded() {
    static std::vector<ShellRequest> r;
    return r;
}

std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile,
                        const char* lpParameters, const char* lpDirectory, int nShowCmd) {
    ShellRequest req{hwnd, Str(lpOperation), Str(lpFile), Str(lpParameters), Str(lpDirectory), nShowCmd};
    shell::ExecuteHook hook;
    {
        std::lock_guard<std::mutex> g(Lock());
        auto& rec = Recorded();
        rec.push_back(req);
        if (rec.size() > kKeep) rec.erase(rec.begin());
        hook = Hook();
    }
    int result = 42;  // "done"
    if (hook) result = hook(req);  // called outside the lock: a hook may start another request
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(result));
}

namespace shell {

ExecuteHook SetExecuteHook(ExecuteHook hook) {
    std::lock_guard<std::mutex> g(Lock());
    ExecuteHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

std::vector<ShellRequest> RecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    return Recorded();
}

void ClearRecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    Recorded().clear();
}

}  // namespace shell
