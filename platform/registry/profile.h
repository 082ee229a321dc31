// The profile (ini file) functions.
//
// A bare file name (no folder) is kept in win::WindowsDir(); other names go through win::LocalPath.
// Section and key names compare ignoring case (code page folding) and keep the case they were
// written with. A replaced value stays on its line; a new key goes at the end of its section, a new
// section at the end of the file. The other lines and the line ends of the file are kept as they
// were; files created here use CR LF. Every write reaches the disk at once, atomically, unless a
// profile::FileUpdate holds the file. A missing file reads as empty.
//
// A file is parsed once and kept; a call reads it again when another writer changed it on disk.
#pragma once

#include "platform/registry/registry.h"
#include <string>

#include "platform/win/wintypes.h"

// Copies at most nSize-1 characters and a NUL; returns the characters copied. A null lpAppName
// lists the section names, a null lpKeyName the key names of the section, as NUL-separated names
// ending in a second NUL (truncated lists end in two NULs and return nSize-2).
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
// A null lpKeyName deletes the section, a null lpString deletes the key. FALSE (error set) when the
// file cannot be written. The file holds one line per entry, so a value or name with a line break
// (and a section name with ']', a key name with '=' or starting with '[' or ';', an empty key name)
// is refused with ERROR_INVALID_PARAMETER and the file is left as it was.
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);
// The section's lines become the NUL-separated lines of lpString (ending in a second NUL), written
// as they are, so a line may hold more than one '='; a missing section is added at the end of the
// file. A line with a line break, or one that would read as a section header, is refused with
// ERROR_INVALID_PARAMETER and the file is left as it was.
BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName);
// nDefault when the key is missing; else the value's leading decimal digits (optional sign), or
// hexadecimal digits after "0x"; a value that starts with no digit gives 0.
UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName);
// "key=value" entries, NUL-separated, ending in a second NUL.
DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName);

namespace profile {

// Holds the writes of this process to one ini file in memory while it lives: the profile calls see
// them, the file stays as it was. Commit writes the whole file once, atomically (one pass, one
// sync); a scope that ends without a successful Commit drops its writes. Scopes of one file nest.
class FileUpdate {
public:
    explicit FileUpdate(const std::string& fileName);  // a name as the profile calls take it
    ~FileUpdate();
    FileUpdate(const FileUpdate&) = delete;
    FileUpdate& operator=(const FileUpdate&) = delete;
    // False (last error set, the writes dropped, the file as it was) when the file cannot be written.
    bool Commit();

private:
    std::string path_;
};

}  // namespace profile
