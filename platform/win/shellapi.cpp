// The shell's open call: every request is recorded for whoever reads them back.
#include "platform/win/shellapi.h"

#include <cstdint>
#include <mutex>

namespace {

constexpr std::size_t kKeep = 64;

std::mutex& Lock() {
    static std::mutex m;
    return m;
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
    std::lock_guard<std::mutex> g(Lock());
    auto& rec = Recorded();
    rec.push_back(std::move(req));
    if (rec.size() > kKeep) rec.erase(rec.begin());
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));  // above 32: done
}

namespace shell {

std::vector<ShellRequest> RecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    return Recorded();
}

void ClearRecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    Recorded().clear();
}

}  // namespace shell
