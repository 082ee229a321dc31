// Disk copies and advisory locks over stat, read and flock. See diskcopy.h.
#include "platform/win/diskcopy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/win/statedir.h"

namespace win {

namespace {

// Timestamps of most file systems follow the kernel's coarse clock; a change within this span of a
// copy may leave every stat field as it was.
constexpr std::int64_t kGranularityNs = 50'000'000;

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t Ns(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

void Take(const struct stat& st, DiskCopy& copy) {
    copy.exists = true;
    copy.mode = st.st_mode & 0777;
    copy.dev = st.st_dev;
    copy.ino = st.st_ino;
    copy.size = static_cast<std::uint64_t>(st.st_size);
    copy.mtimeNs = Ns(st.st_mtim);
    copy.ctimeNs = Ns(st.st_ctim);
}

bool Racy(const DiskCopy& copy) { return copy.takenNs - copy.mtimeNs <= kGranularityNs; }

}  // namespace

bool ReadDiskCopy(const std::string& path, DiskCopy& copy) {
    copy = DiskCopy{};
    copy.takenNs = NowNs();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    if (!S_ISREG(st.st_mode) || !ReadFile(path, copy.bytes)) {
        copy.bytes.clear();
        return false;
    }
    Take(st, copy);
    return true;
}

bool DiskChanged(const std::string& path, DiskCopy& copy) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return copy.exists;
    if (!copy.exists || static_cast<std::uint64_t>(st.st_size) != copy.size || st.st_ino != copy.ino ||
        st.st_dev != copy.dev || Ns(st.st_mtim) != copy.mtimeNs || Ns(st.st_ctim) != copy.ctimeNs)
        return true;
    if (!Racy(copy)) return false;
    std::string now;
    const std::int64_t at = NowNs();
    if (!ReadFile(path, now) || now != copy.bytes) return true;
    copy.takenNs = at;  // the bytes are confirmed; a later change carries a later timestamp
    return false;
}

void NoteWritten(const std::string& path, std::string bytes, DiskCopy& copy) {
    copy.takenNs = NowNs();
    copy.bytes = std::move(bytes);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) Take(st, copy);
    else copy.exists = false;
}

FileLock::FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace win
