// A process's copy of a file kept in step with the disk, and the advisory lock that orders writers
// of different processes.
//
// A DiskCopy holds a file's bytes as this process last read or wrote them, with what stat said
// then. DiskChanged tells with one stat whether another writer replaced the file since; a change
// made within the file system's timestamp granularity of the copy (which stat cannot see) is caught
// by comparing the bytes, once, until the copy is older than that granularity.
//
// FileLock takes flock(LOCK_EX) on a file or folder for its lifetime; every process that writes a
// shared file takes the same lock around its read-change-write.
#pragma once

#include <cstdint>
#include <string>

namespace win {

struct DiskCopy {
    bool exists = false;  // false: the file was missing (bytes empty)
    unsigned mode = 0;    // permission bits of the file
    std::uint64_t dev = 0, ino = 0, size = 0;
    std::int64_t mtimeNs = 0, ctimeNs = 0;
    std::int64_t takenNs = 0;  // wall clock when the copy was taken
    std::string bytes;
};

// Reads a file into copy. A missing file gives an empty copy (exists false); false when the path
// exists but is not a readable regular file (copy then holds nothing).
bool ReadDiskCopy(const std::string& path, DiskCopy& copy);
// True when the file on disk may no longer be what copy holds.
bool DiskChanged(const std::string& path, DiskCopy& copy);
// Records that this process has just written bytes to path.
void NoteWritten(const std::string& path, std::string bytes, DiskCopy& copy);

class FileLock {
public:
    explicit FileLock(const std::string& path);  // a file or a folder that exists
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace win
