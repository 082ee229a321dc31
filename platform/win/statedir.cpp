#include "platform/win/statedir.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/codepage/cp1254.h"

namespace win {

namespace {

// A folder that exists costs one stat; only a missing one is made.
void EnsureDir(const std::string& dir) {
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    MakeDirs(dir);
}

}  // namespace

bool MakeDirs(const std::string& dir, unsigned mode) {
    if (dir.empty()) return false;
    std::string cur;
    size_t i = 0;
    while (i <= dir.size()) {
        size_t j = dir.find('/', i);
        if (j == std::string::npos) j = dir.size();
        cur = dir.substr(0, j);
        if (!cur.empty()) {
            if (::mkdir(cur.c_str(), mode) != 0 && errno != EEXIST) return false;
        }
        i = j + 1;
    }
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string StateDir() {
    std::string dir;
    if (const char* h = std::getenv("MARENDO_HOME"); h && *h) {
        dir = h;
    } else if (const char* x = std::getenv("XDG_STATE_HOME"); x && *x) {
        dir = std::string(x) + "/marendo";
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : "/tmp") + "/.local/state/marendo";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    EnsureDir(dir);
    return dir;
}

std::string StateSubdir(const std::string& name) {
    std::string d = StateDir() + "/" + name;
    EnsureDir(d);
    return d;
}

std::string WindowsDir() { return StateSubdir("windows"); }

std::string LocalPath(const std::string& p) {
    std::string s = cp1254::PathToUtf8(p);
    for (auto& c : s)
        if (c == '\\') c = '/';
    if (s.size() >= 2 && s[1] == ':' && ((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) {
        char drive = static_cast<char>(s[0] | 0x20);
        std::string rest = s.substr(2);
        while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
        return StateSubdir(std::string("drive_") + drive) + (rest.empty() ? "" : "/" + rest);
    }
    return s;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, unsigned mode) {
    std::string dir = ".";
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
    std::string tmp = path + ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    ::fchmod(fd, mode);
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            errno = e;
            return false;
        }
        off += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        return false;
    }
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

namespace {

// The writer's process id of a temporary file name ("<name>.tmp.<digits>"), 0 when it is none.
pid_t TemporaryWriter(const std::string& name) {
    static const std::string mark = ".tmp.";
    const size_t at = name.rfind(mark);
    if (at == std::string::npos || at == 0) return 0;
    const std::string digits = name.substr(at + mark.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return static_cast<pid_t>(std::strtol(digits.c_str(), nullptr, 10));
}

bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

int RemoveStaleTemporaries(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const pid_t pid = TemporaryWriter(name);
        if (pid <= 0 || pid == ::getpid() || ProcessRuns(pid)) continue;
        const std::string path = dir + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

bool ReadFile(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace win
