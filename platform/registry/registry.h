// The registry: the Win32 calls, kept in text files.
//
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE live as REGEDIT4 text files under
// win::StateSubdir("registry") (HKCU.reg, HKLM.reg), readable by a person. Every change is written
// through at once: the whole hive is rewritten atomically (temporary file, fsync, rename), mode 0600;
// a reg::ChangeSet holds the changes of HKEY_CURRENT_USER and writes them together, once.
//
// Several processes share the files: every call first reads a hive again when another process has
// replaced its file since it was read here, and a write holds an advisory lock (flock) on the
// registry folder from that re-read until its change is on disk, so it applies its change to the
// other process's content instead of writing back an older copy. Open handles find their keys again
// in the re-read hive by path (a key the other process deleted gives ERROR_KEY_DELETED).
// Keys nest at most 512 levels below a root: a deeper key is not created (ERROR_INVALID_PARAMETER),
// and a hive file holding one is unreadable (see below).
// Names of keys and values compare ignoring case (the code page's folding) and keep the case they
// were created with. Values enumerate in creation order (an overwritten value keeps its place);
// subkeys enumerate sorted ignoring case.
//
// HKEY_LOCAL_MACHINE is read-only to the programs: writes through these calls give
// ERROR_ACCESS_DENIED. Set-up tools and tests seed it with reg::SeedMachineValue.
//
// The hives are loaded lazily on first use and loaded afresh whenever the state folder (MARENDO_HOME)
// differs from the one they were loaded from; reg::ReloadHives forces that. A hive file that
// cannot be parsed is never overwritten: it is renamed next to itself with the suffix ".corrupt"
// (".corrupt.1", ".corrupt.2", ... when taken), the notice handler is told (naming the kept file),
// and that hive starts empty.
//
// All calls are thread-safe. Strings are Windows-1254 bytes.
#pragma once

#include <functional>
#include <string>

#include "platform/win/wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

#ifndef WIN_FILETIME_DEFINED
#define WIN_FILETIME_DEFINED
struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};
#endif
using PFILETIME = FILETIME*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003u)))

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights (accepted; only the write bits matter here).
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExA options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Subkey paths use backslashes ("Software\\Marendo\\Tolvar"); empty or null opens the key itself.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
LONG RegFlushKey(HKEY hKey);

// lpData null: only the type and size are returned. A buffer too small gives ERROR_MORE_DATA with
// *lpcbData set to the size needed. Strings come back with their terminating NUL counted.
// lpValueName null or "" is the key's default value.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);
// REG_SZ/REG_EXPAND_SZ data may include its terminating NUL (it is not stored).
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Deletes a key with no subkeys (ERROR_ACCESS_DENIED when it has some, as Win32 does); open handles
// to it then give ERROR_KEY_DELETED.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);

// *lpcName in: the buffer size; out: the name's length without the NUL. ERROR_MORE_DATA when short.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcClass, PFILETIME lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Lengths are in characters without the NUL; data sizes in bytes (strings with their NUL).
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcClass, LPDWORD lpReserved,
                      LPDWORD lpcSubKeys, LPDWORD lpcMaxSubKeyLen, LPDWORD lpcMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcMaxValueNameLen, LPDWORD lpcMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime);

namespace reg {

// Drops the loaded hives; the next call reads them again from the current state folder. Open
// handles stay valid as handles but refer to keys of the old hives (their calls give
// ERROR_KEY_DELETED).
void ReloadHives();

// Where the hive files are (in the current state folder).
std::string HiveFilePath(HKEY root);

// Sets a value in HKEY_LOCAL_MACHINE, creating the key path. For set-up tools and tests. Returns
// a Win32 error code.
LONG SeedMachineValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                      const std::string& data);

// Tells the user about a hive file that could not be read (and where it was kept). The default
// handler writes the line to stderr; an empty handler restores the default. The handler runs with
// the registry locked: it must not call the registry.
using NoticeHandler = std::function<void(const std::string& message)>;
void SetNoticeHandler(NoticeHandler handler);

// A change set: while one lives, the changes this process makes to HKEY_CURRENT_USER are made in
// memory (every call sees them) and the hive file stays as it was; Commit writes them all in one
// atomic replace of the file. A set that ends without a successful Commit undoes them all, and so
// does a Commit that fails (its Win32 error code is returned): all or nothing. The registry folder's
// file lock is held for the set's whole life, so no other process writes the hive in between. Sets
// nest: an inner set joins the outer one, which alone writes.
class ChangeSet {
public:
    ChangeSet();
    ~ChangeSet();
    ChangeSet(const ChangeSet&) = delete;
    ChangeSet& operator=(const ChangeSet&) = delete;
    LONG Commit();

private:
    bool committed_ = false;
};

}  // namespace reg
