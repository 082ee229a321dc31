// The profile functions over ini files. See profile.h for the rules.
#include "platform/registry/profile.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/codepage/cp1254.h"
#include "platform/win/diskcopy.h"
#include "platform/win/statedir.h"
#include "platform/win/winbase.h"

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string FilePath(const std::string& name) {
    if (name.find_first_of("\\/:") == std::string::npos) return win::WindowsDir() + "/" + win::LocalPath(name);
    return win::LocalPath(name);
}

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // entry value, trimmed
};

Parsed Classify(const std::string& text) {
    Parsed p;
    std::string t = TrimBlanks(text);
    if (t.empty() || t[0] == ';') return p;
    if (t[0] == '[') {
        auto close = t.find(']');
        if (close == std::string::npos) return p;
        p.kind = Kind::Section;
        p.name = TrimBlanks(t.substr(1, close - 1));
        return p;
    }
    auto eq = t.find('=');
    if (eq == std::string::npos) return p;
    p.kind = Kind::Entry;
    p.name = TrimBlanks(t.substr(0, eq));
    p.value = TrimBlanks(t.substr(eq + 1));
    return p;
}

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n" or "" (last line without one)
};

// A section: its header line and the lines up to the next header. The lines before the first
// header form a section without a header.
struct Section {
    bool hasHeader = false;
    Line header;
    std::string name;                                // as written
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> keys;    // folded key name -> first line of it

    void Index() {
        keys.clear();
        for (size_t i = 0; i < lines.size(); ++i) {
            Parsed p = Classify(lines[i].text);
            if (p.kind == Kind::Entry) keys.emplace(cp1254::Folded(p.name), i);
        }
    }
    const Line* Find(const std::string& key) const {
        auto it = keys.find(cp1254::Folded(key));
        return it == keys.end() ? nullptr : &lines[it->second];
    }
};

// A parsed ini file, kept between calls and read again when the disk copy changed.
struct IniFile {
    std::string path;
    bool readable = true;      // false: the file exists but cannot be read (never replaced then)
    win::DiskCopy disk;
    std::vector<std::unique_ptr<Section>> sections;       // file order; [0] has no header
    std::unordered_map<std::string, Section*> byName;     // folded name -> first section of it
    std::string eol = "\r\n";  // the file's own line end; CR LF for new files
    int updates = 0;           // open profile::FileUpdate scopes: writes wait for their commit
    bool dirty = false;

    void Parse(const std::string& bytes) {
        sections.clear();
        byName.clear();
        eol = "\r\n";
        sections.push_back(std::make_unique<Section>());
        size_t start = 0;
        bool eolSeen = false;
        while (start < bytes.size()) {
            size_t nl = bytes.find('\n', start);
            Line l;
            if (nl == std::string::npos) {
                l.text = bytes.substr(start);
                start = bytes.size();
            } else {
                size_t textEnd = nl;
                if (textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
                l.text = bytes.substr(start, textEnd - start);
                l.end = bytes.substr(textEnd, nl + 1 - textEnd);
                if (!eolSeen) {
                    eol = l.end;
                    eolSeen = true;
                }
                start = nl + 1;
            }
            Parsed p = Classify(l.text);
            if (p.kind == Kind::Section) {
                auto s = std::make_unique<Section>();
                s->hasHeader = true;
                s->header = std::move(l);
                s->name = p.name;
                byName.emplace(cp1254::Folded(p.name), s.get());
                sections.push_back(std::move(s));
            } else {
                sections.back()->lines.push_back(std::move(l));
            }
        }
        for (auto& s : sections) s->Index();
    }

    void Load() {
        readable = win::ReadDiskCopy(path, disk);
        Parse(disk.bytes);
        dirty = false;
    }

    std::string Bytes() const {
        std::string out;
        out.reserve(disk.bytes.size() + 64);
        for (const auto& s : sections) {
            if (s->hasHeader) out += s->header.text + s->header.end;
            for (const auto& l : s->lines) out += l.text + l.end;
        }
        return out;
    }

    bool Save() {
        std::string out = Bytes();
        if (!win::WriteFileAtomic(path, out, disk.exists ? disk.mode : 0600)) return false;
        win::NoteWritten(path, std::move(out), disk);
        dirty = false;
        return true;
    }

    Section* FindSection(const std::string& name) const {
        auto it = byName.find(cp1254::Folded(name));
        return it == byName.end() ? nullptr : it->second;
    }

    // The line that is last in the file (null for an empty file).
    Line* LastLine() {
        for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
            if (!(*it)->lines.empty()) return &(*it)->lines.back();
            if ((*it)->hasHeader) return &(*it)->header;
        }
        return nullptr;
    }

    void AddSection(const std::string& name, const std::vector<std::string>& entries) {
        if (Line* last = LastLine(); last && last->end.empty()) last->end = eol;
        auto s = std::make_unique<Section>();
        s->hasHeader = true;
        s->header = Line{"[" + name + "]", eol};
        s->name = name;
        for (const auto& e : entries) s->lines.push_back(Line{e, eol});
        s->Index();
        byName.emplace(cp1254::Folded(name), s.get());
        sections.push_back(std::move(s));
    }

    void EraseSection(Section* s) {
        for (auto it = sections.begin(); it != sections.end(); ++it) {
            if (it->get() != s) continue;
            sections.erase(it);
            break;
        }
        byName.clear();
        for (auto it = sections.rbegin(); it != sections.rend(); ++it)
            if ((*it)->hasHeader) byName[cp1254::Folded((*it)->name)] = it->get();
    }

    // The section's lines become the given ones; the header stays where it is.
    void ReplaceLines(Section* s, const std::vector<std::string>& entries) {
        if (s->header.end.empty()) s->header.end = eol;
        s->lines.clear();
        for (const auto& e : entries) s->lines.push_back(Line{e, eol});
        s->Index();
    }

    // A new key goes after the section's last line that is not blank.
    void AddKey(Section* s, const std::string& key, const std::string& entry) {
        size_t at = s->lines.size();
        while (at > 0 && TrimBlanks(s->lines[at - 1].text).empty()) --at;
        Line* before = at > 0 ? &s->lines[at - 1] : &s->header;
        if (before->end.empty()) before->end = eol;
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{entry, eol});
        if (at + 1 == s->lines.size()) s->keys.emplace(cp1254::Folded(key), at);
        else s->Index();
    }
};

// The parsed files by path; one writer at a time, and the readers see whole changes.
std::mutex gMutex;
std::map<std::string, std::unique_ptr<IniFile>> gFiles;

// The current parse of a file (read again when the disk changed, unless an update holds it).
IniFile& Current(const std::string& fileName) {
    const std::string path = FilePath(fileName);
    auto& slot = gFiles[path];
    if (!slot) {
        slot = std::make_unique<IniFile>();
        slot->path = path;
        slot->Load();
    } else if (slot->updates == 0 && win::DiskChanged(path, slot->disk)) {
        slot->Load();
    }
    return *slot;
}

// Drops the in-memory changes of a file: the next call reads it again.
void Forget(IniFile& f) {
    f.Load();
}

DWORD FailWrite() {
    int e = errno;
    DWORD code = (e == EACCES || e == EPERM || e == EROFS) ? ERROR_ACCESS_DENIED
               : (e == ENOENT || e == ENOTDIR) ? ERROR_PATH_NOT_FOUND
                                               : ERROR_WRITE_FAULT;
    SetLastError(code);
    return code;
}

// Copies a NUL-separated list ending in a second NUL; truncated lists end in two NULs and return
// nSize-2, as the originals do.
DWORD CopyList(const std::vector<std::string>& items, LPSTR buf, DWORD nSize) {
    if (!buf || nSize == 0) return 0;
    if (nSize == 1) {
        buf[0] = '\0';
        return 0;
    }
    std::string all;
    for (const auto& s : items) {
        all += s;
        all += '\0';
    }
    if (all.size() + 1 <= nSize) {
        std::memcpy(buf, all.data(), all.size());
        buf[all.size()] = '\0';
        return static_cast<DWORD>(all.size());
    }
    std::memcpy(buf, all.data(), nSize - 2);
    buf[nSize - 2] = '\0';
    buf[nSize - 1] = '\0';
    return nSize - 2;
}

DWORD CopyText(const std::string& s, LPSTR buf, DWORD nSize) {
    if (!buf || nSize == 0) return 0;
    size_t n = std::min<size_t>(s.size(), nSize - 1);
    std::memcpy(buf, s.data(), n);
    buf[n] = '\0';
    return static_cast<DWORD>(n);
}

// A change made in memory reaches the disk at once, unless a profile::FileUpdate holds the file.
BOOL Written(IniFile& f) {
    f.dirty = true;
    if (f.updates > 0) return TRUE;
    if (!f.Save()) {
        FailWrite();
        Forget(f);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
    if (!lpFileName) return CopyText(lpDefault ? lpDefault : "", lpReturnedString, nSize);
    std::lock_guard<std::mutex> lock(gMutex);
    IniFile& f = Current(lpFileName);
    if (!lpAppName) {
        std::vector<std::string> names;
        for (const auto& s : f.sections)
            if (s->hasHeader) names.push_back(s->name);
        return CopyList(names, lpReturnedString, nSize);
    }
    const Section* s = f.FindSection(lpAppName);
    if (!lpKeyName) {
        std::vector<std::string> names;
        if (s)
            for (const auto& l : s->lines) {
                Parsed p = Classify(l.text);
                if (p.kind == Kind::Entry) names.push_back(p.name);
            }
        return CopyList(names, lpReturnedString, nSize);
    }
    const Line* l = s ? s->Find(lpKeyName) : nullptr;
    if (!l) return CopyText(TrimBlanks(lpDefault ? lpDefault : ""), lpReturnedString, nSize);
    return CopyText(Classify(l->text).value, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!lpAppName) {
        // All null: flush the cache. Every write is on disk already.
        if (!lpKeyName && !lpString) return TRUE;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // One line per entry: names and values that would break the file's layout are refused.
    auto breaks = [](const char* s, const char* bad) { return s && std::strpbrk(s, bad) != nullptr; };
    std::string trimmedKey = lpKeyName ? TrimBlanks(lpKeyName) : std::string();
    if (breaks(lpAppName, "\r\n]") || breaks(lpKeyName, "\r\n=") || breaks(lpString, "\r\n") ||
        (lpKeyName && lpString && (trimmedKey.empty() || trimmedKey[0] == '[' || trimmedKey[0] == ';'))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    IniFile& f = Current(lpFileName);
    if (!f.readable) {  // never replace a file whose content we could not read
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Section* s = f.FindSection(lpAppName);
    if (!lpKeyName) {
        if (!s) return TRUE;
        f.EraseSection(s);
    } else if (!lpString) {
        if (!s) return TRUE;
        auto it = s->keys.find(cp1254::Folded(lpKeyName));
        if (it == s->keys.end()) return TRUE;
        s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(it->second));
        s->Index();
    } else {
        const std::string entry = trimmedKey + "=" + lpString;
        if (!s) {
            f.AddSection(lpAppName, {entry});
        } else if (auto it = s->keys.find(cp1254::Folded(trimmedKey)); it != s->keys.end()) {
            Line& l = s->lines[it->second];
            l.text = Classify(l.text).name + "=" + lpString;  // the key keeps its written case
        } else {
            f.AddKey(s, trimmedKey, entry);
        }
    }
    return Written(f);
}

BOOL WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName || !lpString || !lpFileName || std::strpbrk(lpAppName, "\r\n]")) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> lines;
    for (const char* p = lpString; *p; p += std::strlen(p) + 1) {
        std::string l = p;
        // One line each, and none that would read back as a section header.
        if (l.find_first_of("\r\n") != std::string::npos || TrimBlanks(l).starts_with("[")) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        lines.push_back(std::move(l));
    }
    std::lock_guard<std::mutex> lock(gMutex);
    IniFile& f = Current(lpFileName);
    if (!f.readable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (Section* s = f.FindSection(lpAppName)) f.ReplaceLines(s, lines);
    else f.AddSection(lpAppName, lines);
    return Written(f);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName) {
    char buf[64];
    const char* marker = "\x01\x02";  // no real value looks like this
    DWORD n = GetPrivateProfileStringA(lpAppName, lpKeyName, marker, buf, sizeof buf, lpFileName);
    std::string s(buf, n);
    if (s == marker) return static_cast<UINT>(nDefault);
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    long long v = 0;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        for (i += 2; i < s.size(); ++i) {
            char c = s[i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) break;
            v = (v * 16 + d) & 0xFFFFFFFFLL;
        }
    } else {
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = (v * 10 + (s[i] - '0')) & 0xFFFFFFFFLL;
    }
    if (neg) v = -v;
    return static_cast<UINT>(v);
}

DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpAppName || !lpFileName) return CopyList({}, lpReturnedString, nSize);
    std::lock_guard<std::mutex> lock(gMutex);
    const Section* s = Current(lpFileName).FindSection(lpAppName);
    std::vector<std::string> entries;
    if (s)
        for (const auto& l : s->lines) {
            Parsed p = Classify(l.text);
            if (p.kind == Kind::Entry) entries.push_back(p.name + "=" + p.value);
        }
    return CopyList(entries, lpReturnedString, nSize);
}

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize, lpFileName);
}

namespace profile {

FileUpdate::FileUpdate(const std::string& fileName) : path_(FilePath(fileName)) {
    std::lock_guard<std::mutex> lock(gMutex);
    ++Current(fileName).updates;
}

FileUpdate::~FileUpdate() {
    std::lock_guard<std::mutex> lock(gMutex);
    IniFile& f = *gFiles.at(path_);
    if (--f.updates == 0 && f.dirty) Forget(f);  // not committed: the writes are dropped
}

bool FileUpdate::Commit() {
    std::lock_guard<std::mutex> lock(gMutex);
    IniFile& f = *gFiles.at(path_);
    if (!f.dirty) return true;
    if (f.Save()) return true;
    FailWrite();
    Forget(f);
    return false;
}

}  // namespace profile
