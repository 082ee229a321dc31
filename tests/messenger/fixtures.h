// Shared helpers of the messenger tests: seeded ini files in the program's own bytes, and a real
// write failure (a file size limit) for the paths that must survive one.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace fixtures {

// Lines joined with CR LF (and ended with one), as the files the program was used with.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

inline std::string MainIniPath() { return win::WindowsDir() + "/tolvar17.ini"; }

inline void SeedMainIni(const std::string& bytes) { testsupport::WriteAll(MainIniPath(), bytes); }

inline std::string MainIniBytes() { return testsupport::ReadAll(MainIniPath()); }

// While alive, no file of this process can grow beyond `limit` bytes: a write past it fails with
// EFBIG (the signal it would raise is ignored). Works for root too, unlike permissions.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace fixtures
