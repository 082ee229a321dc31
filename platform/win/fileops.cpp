#include "platform/win/fileops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/win/statedir.h"
#include "platform/win/winbase.h"

namespace {

DWORD ErrorOfErrno(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EEXIST:
        case EROFS: return ERROR_ACCESS_DENIED;
        default: return ERROR_WRITE_FAULT;
    }
}

BOOL Fail(int e) {
    SetLastError(ErrorOfErrno(e));
    return FALSE;
}

}  // namespace

BOOL DeleteFileA(const char* fileName) {
    if (!fileName) return Fail(ENOENT);
    if (::unlink(win::LocalPath(fileName).c_str()) != 0) return Fail(errno);
    return TRUE;
}

BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
    if (!existingFileName || !newFileName) return Fail(ENOENT);
    std::string from = win::LocalPath(existingFileName), to = win::LocalPath(newFileName);
    struct stat st;
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && ::lstat(to.c_str(), &st) == 0) return Fail(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return Fail(errno);
    return TRUE;
}
