// The case-insensitive file lookup over the folder's entries.
#include "platform/classlib/filecase.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/classlib/cp1254.h"
#include "platform/classlib/sysutils.h"
#include "platform/win/statedir.h"

std::string FindFileIgnoringCase(const std::string& FileName) {
    if (FileName.empty()) return "";
    if (FileExists(FileName)) return FileName;
    const std::string local = win::LocalPath(FileName);
    const std::size_t slash = local.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : local.substr(0, slash));
    // The names compare as the program's own (Windows-1254): an entry the code page cannot hold
    // is no file the program could name.
    const std::size_t sep = FileName.find_last_of("\\/:");
    const std::string name = sep == std::string::npos ? FileName : FileName.substr(sep + 1);
    if (name.empty()) return "";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return "";
    std::string found;
    while (dirent* e = ::readdir(d)) {
        std::string entry;
        if (!cp1254::PathFromUtf8(e->d_name, entry) || CompareText(entry, name) != 0) continue;
        struct stat st;
        if (::stat((dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            found = entry;
            break;
        }
    }
    ::closedir(d);
    if (found.empty()) return "";
    // The caller's folder part, with the file name as the folder lists it.
    return (sep == std::string::npos ? std::string() : FileName.substr(0, sep + 1)) + found;
}
