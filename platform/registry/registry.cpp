// The registry over REGEDIT4 text files. See registry.h for the rules.
#include "platform/registry/registry.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include "platform/codepage/cp1254.h"
#include "platform/win/diskcopy.h"
#include "platform/win/statedir.h"

namespace {

using cp1254::Folded;
using cp1254::SameFolded;

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;  // string types without their terminating NUL
};

struct Key {
    std::string name;
    Key* parent = nullptr;
    bool deleted = false;
    std::vector<Value> values;                                 // creation order
    std::unordered_map<std::string, size_t> valueIndex;        // folded name -> first value of it
    bool indexed = false;
    std::map<std::string, std::shared_ptr<Key>> subkeys;       // by folded name: sorted ignoring case

    // The first value of a name, through an index of folded names built on first use.
    Value* FindValue(const std::string& n) {
        if (!indexed) {
            valueIndex.clear();
            for (size_t i = 0; i < values.size(); ++i) valueIndex.emplace(Folded(values[i].name), i);
            indexed = true;
        }
        auto it = valueIndex.find(Folded(n));
        return it == valueIndex.end() ? nullptr : &values[it->second];
    }
    void AddValue(Value v) {
        if (indexed) valueIndex.emplace(Folded(v.name), values.size());
        values.push_back(std::move(v));
    }
    void DropLastValue() {
        if (indexed) valueIndex.erase(Folded(values.back().name));
        values.pop_back();
    }
    // Taking the last value, or putting one back at the end, keeps the index: a key emptied from
    // its last value to its first costs one step per value.
    Value EraseValue(size_t at) {
        Value v = std::move(values[at]);
        if (indexed && at + 1 == values.size()) {
            auto it = valueIndex.find(Folded(v.name));
            if (it != valueIndex.end() && it->second == at) valueIndex.erase(it);
            values.pop_back();
            return v;
        }
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(at));
        indexed = false;
        return v;
    }
    void InsertValue(size_t at, Value v) {
        if (at == values.size()) {
            AddValue(std::move(v));
            return;
        }
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(at), std::move(v));
        indexed = false;
    }
    Key* FindSub(const std::string& n) {
        auto it = subkeys.find(Folded(n));
        return it == subkeys.end() ? nullptr : it->second.get();
    }
};

void MarkDeleted(Key* k, bool deleted = true) {
    k->deleted = deleted;
    for (auto& [_, sub] : k->subkeys) MarkDeleted(sub.get(), deleted);
}

bool IsStringType(DWORD t) { return t == REG_SZ || t == REG_EXPAND_SZ; }

struct Hive {
    const char* rootName;   // "HKEY_CURRENT_USER"
    const char* fileName;   // "HKCU.reg"
    bool readOnly;          // to the programs
    std::shared_ptr<Key> root;
    bool loaded = false;
    bool writable = true;   // false when an unreadable file could not be kept aside
    win::DiskCopy disk;     // the file as last read or written here
    unsigned generation = 0;  // counts the re-reads of a file changed by another process
};

struct Handle {
    std::shared_ptr<Key> key;
    Hive* hive = nullptr;
    REGSAM access = 0;
    std::vector<std::string> path;  // from the root: found again after a re-read
    unsigned generation = 0;
};

// The change set open in this process: its undo steps, newest last, and the lock on the folder.
struct OpenChangeSet {
    int depth = 0;
    std::vector<std::function<void()>> undo;
    std::unique_ptr<win::FileLock> lock;
    unsigned generation = 0;
};

std::mutex gMutex;
Hive gUser{"HKEY_CURRENT_USER", "HKCU.reg", false, nullptr, false, true, {}, 0};
Hive gMachine{"HKEY_LOCAL_MACHINE", "HKLM.reg", true, nullptr, false, true, {}, 0};
std::string gLoadedDir;
std::unordered_map<std::uintptr_t, Handle> gHandles;
std::uintptr_t gNextHandle = 0x1000;
reg::NoticeHandler gNotice;
OpenChangeSet gSet;

void Notice(const std::string& message) {
    if (gNotice) gNotice(message);
    else std::fprintf(stderr, "%s\n", message.c_str());
}

// ---- file format -------------------------------------------------------------------------------

const char kHex[] = "0123456789abcdef";

std::string HexList(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

// Quoted name or string: backslash and quote escaped; control characters as \xHH (names only
// reach here with them; string data with control characters is written as hex).
std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

bool HasControl(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

std::string ValueLine(const Value& v) {
    std::string line = v.name.empty() ? "@" : Quote(v.name);
    line += '=';
    if (v.type == REG_SZ && !HasControl(v.data)) {
        line += Quote(v.data);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d;
        std::memcpy(&d, v.data.data(), 4);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(d));
        line += buf;
    } else if (v.type == REG_BINARY) {
        line += "hex:" + HexList(v.data);
    } else {
        std::string bytes = v.data;
        if (IsStringType(v.type)) bytes += '\0';
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(v.type));  // the type in hex, as read
        line += type + HexList(bytes);
    }
    return line;
}

void WriteKey(const Key& k, const std::string& path, std::string& out) {
    out += "\r\n[" + path + "]\r\n";
    for (const auto& v : k.values) out += ValueLine(v) + "\r\n";
    for (const auto& [_, sub] : k.subkeys) WriteKey(*sub, path + "\\" + sub->name, out);
}

std::string Serialize(const Hive& h) {
    std::string out = "REGEDIT4\r\n";
    WriteKey(*h.root, h.rootName, out);
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= s.size()) return false;
            char e = s[pos++];
            if (e == 'x') {
                if (pos + 2 > s.size()) return false;
                int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                pos += 2;
            } else {
                out += e;
            }
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexList(const std::string& s, std::string& out) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i >= s.size()) break;
        if (i + 2 > s.size()) return false;
        int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i < s.size()) {
            if (s[i] != ',') return false;
            ++i;
        }
    }
    return true;
}

bool ParseData(const std::string& s, Value& v) {
    if (!s.empty() && s[0] == '"') {
        size_t pos = 0;
        if (!ParseQuoted(s, pos, v.data) || pos != s.size()) return false;
        v.type = REG_SZ;
        return true;
    }
    if (s.rfind("dword:", 0) == 0) {
        std::string digits = s.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        DWORD d = 0;
        for (char c : digits) {
            int x = HexDigit(c);
            if (x < 0) return false;
            d = d * 16 + static_cast<DWORD>(x);
        }
        v.type = REG_DWORD;
        v.data.assign(reinterpret_cast<const char*>(&d), 4);
        return true;
    }
    if (s.rfind("hex:", 0) == 0) {
        v.type = REG_BINARY;
        return ParseHexList(s.substr(4), v.data);
    }
    if (s.rfind("hex(", 0) == 0) {
        auto close = s.find("):");
        if (close == std::string::npos || close == 4) return false;
        DWORD t = 0;
        for (size_t i = 4; i < close; ++i) {
            int x = HexDigit(s[i]);
            if (x < 0) return false;
            t = t * 16 + static_cast<DWORD>(x);
        }
        v.type = t;
        if (!ParseHexList(s.substr(close + 2), v.data)) return false;
        if (IsStringType(t) && !v.data.empty() && v.data.back() == '\0') v.data.pop_back();
        return true;
    }
    return false;
}

Key* CreatePath(Key* base, const std::vector<std::string>& parts, std::vector<Key*>* created = nullptr);

// Splits "A\B\\C" into its names, skipping empty ones (a leading backslash is allowed).
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

Key* CreatePath(Key* base, const std::vector<std::string>& parts, std::vector<Key*>* created) {
    Key* k = base;
    for (const auto& p : parts) {
        Key* sub = k->FindSub(p);
        if (!sub) {
            auto nk = std::make_shared<Key>();
            nk->name = p;
            nk->parent = k;
            sub = nk.get();
            k->subkeys.emplace(Folded(p), std::move(nk));
            if (created) created->push_back(sub);
        }
        k = sub;
    }
    return k;
}

// How deep keys may nest below a root: a hive file with a deeper key is unreadable, and a key
// deeper than that is never created, so every hive written can be read again.
constexpr size_t kMaxKeyDepth = 512;

size_t Depth(const Key* k) {
    size_t d = 0;
    for (; k && k->parent; k = k->parent) ++d;
    return d;
}

bool Parse(const std::string& text, const std::string& rootName, Key& root) {
    // Physical lines; a trailing backslash continues a hex list on the next line.
    std::vector<std::string> lines;
    {
        std::string cur;
        auto flush = [&] {
            if (!cur.empty() && cur.back() == '\r') cur.pop_back();
            if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\' &&
                lines.back().find("=hex") != std::string::npos) {
                lines.back().pop_back();
                size_t s = 0;
                while (s < cur.size() && (cur[s] == ' ' || cur[s] == '\t')) ++s;
                lines.back() += cur.substr(s);
            } else {
                lines.push_back(cur);
            }
            cur.clear();
        };
        for (char c : text) {
            if (c == '\n') flush();
            else cur += c;
        }
        if (!cur.empty()) flush();
    }
    size_t i = 0;
    while (i < lines.size() && lines[i].empty()) ++i;
    if (i == lines.size()) return true;  // an empty file is an empty hive
    if (lines[i] != "REGEDIT4") return false;
    ++i;
    Key* current = nullptr;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.size() < 2 || line.back() != ']') return false;
            std::string path = line.substr(1, line.size() - 2);
            if (path.size() < rootName.size() || !SameFolded(path.substr(0, rootName.size()), rootName)) return false;
            std::string rest = path.substr(rootName.size());
            if (!rest.empty() && rest[0] != '\\') return false;
            const auto parts = SplitPath(rest);
            if (parts.size() > kMaxKeyDepth) return false;
            current = CreatePath(&root, parts);
            continue;
        }
        if (!current) return false;
        Value v;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, v.name)) {
            return false;
        }
        if (pos >= line.size() || line[pos] != '=') return false;
        if (!ParseData(line.substr(pos + 1), v)) return false;
        if (Value* old = current->FindValue(v.name)) *old = std::move(v);
        else current->AddValue(std::move(v));
    }
    return true;
}

// ---- hives ---------------------------------------------------------------------------------------

std::string HivePath(const Hive& h) { return win::StateSubdir("registry") + "/" + h.fileName; }

void LoadHive(Hive& h) {
    h.root = std::make_shared<Key>();
    h.root->name = h.rootName;
    h.loaded = true;
    h.writable = true;
    std::string path = HivePath(h);
    const bool read = win::ReadDiskCopy(path, h.disk);
    if (read && !h.disk.exists) return;  // no file yet: an empty hive
    if (read) {
        Key parsed;
        parsed.name = h.rootName;
        if (Parse(h.disk.bytes, h.rootName, parsed)) {
            h.root->values = std::move(parsed.values);
            h.root->subkeys = std::move(parsed.subkeys);
            for (auto& [_, sub] : h.root->subkeys) sub->parent = h.root.get();
            return;
        }
    }
    // Unreadable: keep the file aside, untouched, and start empty.
    std::string kept = path + ".corrupt";
    for (int n = 1; ::access(kept.c_str(), F_OK) == 0; ++n) kept = path + ".corrupt." + std::to_string(n);
    h.disk = win::DiskCopy{};
    if (::rename(path.c_str(), kept.c_str()) == 0) {
        Notice("Registry: the file " + path + " could not be read; it was kept as " + kept +
               " and the registry starts empty.");
    } else {
        h.writable = false;
        Notice("Registry: the file " + path + " could not be read and could not be kept aside (" +
               std::strerror(errno) + "); it is left as it is and no registry changes are saved.");
    }
}

void DropHive(Hive& h) {
    if (h.root) MarkDeleted(h.root.get());
    h.root.reset();
    h.loaded = false;
}

// Reads a hive again that another process replaced on disk. The old tree is not marked deleted:
// open handles find their keys again in the new one by path.
void Refresh(Hive& h) {
    if (!h.loaded || !h.writable || !win::DiskChanged(HivePath(h), h.disk)) return;
    LoadHive(h);
    ++h.generation;
}

// Called with the lock held before every operation: the hives of the current state folder, in
// step with their files (except while a change set holds them).
void EnsureCurrent() {
    std::string dir = win::StateDir();
    if (dir != gLoadedDir) {
        DropHive(gUser);
        DropHive(gMachine);
        gLoadedDir = dir;
    }
    if (!gUser.loaded) LoadHive(gUser);
    else if (gSet.depth == 0) Refresh(gUser);
    if (!gMachine.loaded) LoadHive(gMachine);
    else Refresh(gMachine);
}

LONG ErrnoToWin(int e) {
    switch (e) {
        case EACCES: case EPERM: case EROFS: return ERROR_ACCESS_DENIED;
        case ENOSPC: case EDQUOT: case EFBIG: return ERROR_CANTWRITE;
        default: return ERROR_CANTWRITE;
    }
}

LONG SaveHive(Hive& h) {
    if (!h.writable) return ERROR_BADDB;
    const std::string path = HivePath(h);
    std::string bytes = Serialize(h);
    if (!win::WriteFileAtomic(path, bytes, 0600)) return ErrnoToWin(errno);
    win::NoteWritten(path, std::move(bytes), h.disk);
    return ERROR_SUCCESS;
}

// Keeps a change just made to a hive's tree: written through at once (and undone when the write
// fails), or held by the open change set, which undoes it when the set is dropped.
LONG Keep(Hive& h, std::function<void()> undo) {
    if (gSet.depth > 0 && &h == &gUser) {
        gSet.undo.push_back(std::move(undo));
        return ERROR_SUCCESS;
    }
    LONG rc = SaveHive(h);
    if (rc != ERROR_SUCCESS) undo();
    return rc;
}

void UndoChangeSet() {
    if (gSet.generation == gUser.generation && gUser.loaded)
        for (auto it = gSet.undo.rbegin(); it != gSet.undo.rend(); ++it) (*it)();
    gSet.undo.clear();
}

Hive* RootHive(HKEY k) {
    if (k == HKEY_CURRENT_USER) return &gUser;
    if (k == HKEY_LOCAL_MACHINE) return &gMachine;
    return nullptr;
}

std::shared_ptr<Key> Shared(Key* k) {
    if (!k->parent) {
        if (gUser.root.get() == k) return gUser.root;
        return gMachine.root;
    }
    return k->parent->subkeys.at(Folded(k->name));
}

HKEY NewHandle(Key* k, Hive* h, REGSAM access) {
    std::uintptr_t id = gNextHandle;
    gNextHandle += 4;
    std::vector<std::string> path;
    for (Key* p = k; p->parent; p = p->parent) path.push_back(p->name);
    std::reverse(path.begin(), path.end());
    gHandles[id] = Handle{Shared(k), h, access, std::move(path), h->generation};
    return reinterpret_cast<HKEY>(id);
}

Key* Walk(Key* base, const std::vector<std::string>& parts) {
    Key* k = base;
    for (const auto& p : parts) {
        k = k->FindSub(p);
        if (!k) return nullptr;
    }
    return k;
}

// Resolves a handle to its key. Predefined roots are always open with full access.
LONG Resolve(HKEY hKey, Key*& key, Hive*& hive, REGSAM& access) {
    if (Hive* h = RootHive(hKey)) {
        key = h->root.get();
        hive = h;
        access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = gHandles.find(reinterpret_cast<std::uintptr_t>(hKey));
    if (it == gHandles.end()) return ERROR_INVALID_HANDLE;
    Handle& handle = it->second;
    if (handle.key->deleted) return ERROR_KEY_DELETED;
    if (handle.generation != handle.hive->generation) {
        Key* found = Walk(handle.hive->root.get(), handle.path);
        if (!found) return ERROR_KEY_DELETED;
        handle.key = Shared(found);
        handle.generation = handle.hive->generation;
    }
    key = it->second.key.get();
    hive = it->second.hive;
    access = it->second.access;
    return ERROR_SUCCESS;
}

bool MayWrite(const Hive* h, REGSAM access, REGSAM need) { return !h->readOnly && (access & need) == need; }

void CopyOut(const std::string& s, LPSTR buf) {
    std::memcpy(buf, s.data(), s.size());
    buf[s.size()] = '\0';
}

// Copies a value's data for the query calls.
LONG QueryData(const Value& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType) *lpType = v.type;
    DWORD need = static_cast<DWORD>(v.data.size() + (IsStringType(v.type) ? 1 : 0));
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    if (!lpcbData) return ERROR_SUCCESS;
    if (!lpData) {
        *lpcbData = need;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < need) {
        *lpcbData = need;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, v.data.data(), v.data.size());
    if (IsStringType(v.type)) lpData[v.data.size()] = 0;
    *lpcbData = need;
    return ERROR_SUCCESS;
}

enum class Use { Read, Write };

// The preamble of every call on a key: the lock, the hives in step with the disk, the handle
// resolved; then body(key, hive, access). A write also holds the registry folder's file lock from
// before the hive is brought in step until its change is on disk, so it applies its change to what
// another process wrote (a change set holds that lock already).
template <typename Body>
LONG OnKey(HKEY hKey, Use use, Body body) {
    std::lock_guard<std::mutex> lock(gMutex);
    std::unique_ptr<win::FileLock> fileLock;
    if (use == Use::Write && gSet.depth == 0) fileLock = std::make_unique<win::FileLock>(win::StateSubdir("registry"));
    EnsureCurrent();
    Key* key;
    Hive* hive;
    REGSAM access;
    if (LONG rc = Resolve(hKey, key, hive, access); rc != ERROR_SUCCESS) return rc;
    return body(key, hive, access);
}

LONG OpenOrCreate(HKEY hKey, LPCSTR lpSubKey, REGSAM sam, bool create, PHKEY phkResult, LPDWORD disposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    return OnKey(hKey, create ? Use::Write : Use::Read, [&](Key* base, Hive* hive, REGSAM access) -> LONG {
    auto parts = SplitPath(lpSubKey ? lpSubKey : "");
    for (const auto& p : parts)
        if (HasControl(p)) return ERROR_INVALID_PARAMETER;
    Key* k = Walk(base, parts);
    if (k) {
        if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
    } else {
        if (!create) return ERROR_FILE_NOT_FOUND;
        if (!MayWrite(hive, access, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        if (Depth(base) + parts.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        std::vector<Key*> created;
        k = CreatePath(base, parts, &created);
        Key* top = created.front();  // it holds the other new keys
        if (LONG rc = Keep(*hive, [top] { MarkDeleted(top); top->parent->subkeys.erase(Folded(top->name)); });
            rc != ERROR_SUCCESS)
            return rc;
        if (disposition) *disposition = REG_CREATED_NEW_KEY;
    }
    *phkResult = NewHandle(k, hive, sam);
    return ERROR_SUCCESS;
    });
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired, const void*,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
    return OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LONG RegCloseKey(HKEY hKey) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (RootHive(hKey)) return ERROR_SUCCESS;
    return gHandles.erase(reinterpret_cast<std::uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegFlushKey(HKEY hKey) {
    // Every change is already on disk (or held by a change set until its commit).
    return OnKey(hKey, Use::Read, [](Key*, Hive*, REGSAM) -> LONG { return ERROR_SUCCESS; });
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    return OnKey(hKey, Use::Read, [&](Key* k, Hive*, REGSAM) -> LONG {
        Value* v = k->FindValue(lpValueName ? lpValueName : "");
        if (!v) return ERROR_FILE_NOT_FOUND;
        return QueryData(*v, lpType, lpData, lpcbData);
    });
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, Use::Write, [&](Key* k, Hive* h, REGSAM a) -> LONG {
        if (!MayWrite(h, a, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
        std::string data(reinterpret_cast<const char*>(lpData), cbData);
        if (IsStringType(dwType) && !data.empty() && data.back() == '\0') data.pop_back();
        std::string name = lpValueName ? lpValueName : "";
        if (Value* v = k->FindValue(name)) {
            const size_t at = static_cast<size_t>(v - k->values.data());
            Value old = std::exchange(*v, Value{v->name, dwType, std::move(data)});
            return Keep(*h, [k, at, old = std::move(old)] { k->values[at] = old; });
        }
        k->AddValue(Value{name, dwType, std::move(data)});
        return Keep(*h, [k] { k->DropLastValue(); });
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return OnKey(hKey, Use::Write, [&](Key* k, Hive* h, REGSAM a) -> LONG {
        Value* found = k->FindValue(lpValueName ? lpValueName : "");
        if (!found) return ERROR_FILE_NOT_FOUND;
        if (!MayWrite(h, a, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
        const size_t i = static_cast<size_t>(found - k->values.data());
        Value old = k->EraseValue(i);
        return Keep(*h, [k, i, old = std::move(old)] { k->InsertValue(i, old); });
    });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    return OnKey(hKey, Use::Write, [&](Key* base, Hive* h, REGSAM) -> LONG {
        auto parts = SplitPath(lpSubKey ? lpSubKey : "");
        if (parts.empty()) return ERROR_INVALID_PARAMETER;  // a key does not delete itself
        Key* k = Walk(base, parts);
        if (!k) return ERROR_FILE_NOT_FOUND;
        if (h->readOnly || !k->subkeys.empty()) return ERROR_ACCESS_DENIED;
        Key* parent = k->parent;
        std::shared_ptr<Key> node = parent->subkeys.at(Folded(k->name));
        parent->subkeys.erase(Folded(k->name));
        MarkDeleted(node.get());
        return Keep(*h, [parent, node] {
            MarkDeleted(node.get(), false);
            parent->subkeys.emplace(Folded(node->name), node);
        });
    });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcName, LPDWORD, LPSTR lpClass,
                   LPDWORD lpcClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcName) return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, Use::Read, [&](Key* k, Hive*, REGSAM) -> LONG {
    if (dwIndex >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = k->subkeys.begin();
    std::advance(it, dwIndex);
    const std::string& name = it->second->name;
    if (*lpcName <= name.size()) return ERROR_MORE_DATA;
    CopyOut(name, lpName);
    *lpcName = static_cast<DWORD>(name.size());
    if (lpClass && lpcClass && *lpcClass) lpClass[0] = '\0';
    if (lpcClass) *lpcClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
    });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcValueName, LPDWORD, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcValueName) return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, Use::Read, [&](Key* k, Hive*, REGSAM) -> LONG {
    if (dwIndex >= k->values.size()) return ERROR_NO_MORE_ITEMS;
    const Value& v = k->values[dwIndex];
    if (*lpcValueName <= v.name.size()) return ERROR_MORE_DATA;
    CopyOut(v.name, lpValueName);
    *lpcValueName = static_cast<DWORD>(v.name.size());
    return QueryData(v, lpType, lpData, lpcbData);
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcMaxSubKeyLen, LPDWORD lpcMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcMaxValueNameLen, LPDWORD lpcMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime) {
    return OnKey(hKey, Use::Read, [&](Key* k, Hive*, REGSAM) -> LONG {
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& [_, sub] : k->subkeys) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(sub->name.size()));
    for (const auto& v : k->values) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size() + (IsStringType(v.type) ? 1 : 0)));
    }
    if (lpClass && lpcClass && *lpcClass) lpClass[0] = '\0';
    if (lpcClass) *lpcClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(k->subkeys.size());
    if (lpcMaxSubKeyLen) *lpcMaxSubKeyLen = maxSub;
    if (lpcMaxClassLen) *lpcMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(k->values.size());
    if (lpcMaxValueNameLen) *lpcMaxValueNameLen = maxName;
    if (lpcMaxValueLen) *lpcMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
    });
}

namespace reg {

void ReloadHives() {
    std::lock_guard<std::mutex> lock(gMutex);
    DropHive(gUser);
    DropHive(gMachine);
    gLoadedDir.clear();
}

std::string HiveFilePath(HKEY root) {
    Hive* h = RootHive(root);
    return h ? HivePath(*h) : std::string();
}

LONG SeedMachineValue(const std::string& keyPath, const std::string& valueName, DWORD type, const std::string& data) {
    std::lock_guard<std::mutex> lock(gMutex);
    EnsureCurrent();
    auto parts = SplitPath(keyPath);
    for (const auto& p : parts)
        if (HasControl(p)) return ERROR_INVALID_PARAMETER;
    Key* k = CreatePath(gMachine.root.get(), parts);
    std::string d = data;
    if (IsStringType(type) && !d.empty() && d.back() == '\0') d.pop_back();
    if (Value* v = k->FindValue(valueName)) {
        v->type = type;
        v->data = d;
    } else {
        k->AddValue(Value{valueName, type, d});
    }
    return SaveHive(gMachine);
}

ChangeSet::ChangeSet() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gSet.depth++ > 0) return;
    gSet.lock = std::make_unique<win::FileLock>(win::StateSubdir("registry"));
    EnsureCurrent();
    Refresh(gUser);
    gSet.generation = gUser.generation;
}

ChangeSet::~ChangeSet() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!committed_) UndoChangeSet();
    if (--gSet.depth == 0) gSet.lock.reset();
}

LONG ChangeSet::Commit() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (committed_) return ERROR_SUCCESS;
    if (gSet.depth > 1) {  // an inner set: its changes go with the outer one
        committed_ = true;
        return ERROR_SUCCESS;
    }
    LONG rc = gSet.undo.empty() ? ERROR_SUCCESS : SaveHive(gUser);
    if (rc != ERROR_SUCCESS) UndoChangeSet();
    gSet.undo.clear();
    committed_ = true;
    return rc;
}

void SetNoticeHandler(NoticeHandler handler) {
    std::lock_guard<std::mutex> lock(gMutex);
    gNotice = std::move(handler);
}

}  // namespace reg
