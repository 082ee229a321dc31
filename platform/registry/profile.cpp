// The profile functions over ini files. See profile.h for the rules.
#include "platform/registry/profile.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "platform/classlib/cp1254.h"
#include "platform/win/statedir.h"
#include "platform/win/winbase.h"

namespace {

std::mutex gMutex;  // one writer at a time (the atomic replace uses one temporary name per process)

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (cp1254::FoldUpper(static_cast<unsigned char>(a[i])) != cp1254::FoldUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

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

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n" or "" (last line without one)
};

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

struct IniFile {
    std::string path;
    std::vector<Line> lines;
    std::string eol = "\r\n";  // the file's own line end; CR LF for new files
    unsigned mode = 0600;       // new files are private (passwords are kept in some)

    // False when the file exists but cannot be read (a missing file is an empty one).
    bool Load(const std::string& fileName) {
        path = FilePath(fileName);
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return true;
        mode = st.st_mode & 0777;
        std::string bytes;
        if (!S_ISREG(st.st_mode) || !win::ReadFile(path, bytes)) return false;
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
            lines.push_back(std::move(l));
        }
        return true;
    }

    bool Save() const {
        std::string out;
        for (const auto& l : lines) out += l.text + l.end;
        return win::WriteFileAtomic(path, out, mode);
    }

    // Index of the header of the first section of that name, or -1.
    int FindSection(const std::string& section) const {
        for (size_t i = 0; i < lines.size(); ++i) {
            Parsed p = Classify(lines[i].text);
            if (p.kind == Kind::Section && SameName(p.name, section)) return static_cast<int>(i);
        }
        return -1;
    }

    // One past the last line of the section whose header is at index h.
    size_t SectionEnd(int h) const {
        size_t i = static_cast<size_t>(h) + 1;
        while (i < lines.size() && Classify(lines[i].text).kind != Kind::Section) ++i;
        return i;
    }

    int FindKey(int h, const std::string& key) const {
        size_t end = SectionEnd(h);
        for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
            Parsed p = Classify(lines[i].text);
            if (p.kind == Kind::Entry && SameName(p.name, key)) return static_cast<int>(i);
        }
        return -1;
    }

    void Insert(size_t at, const std::string& text) {
        if (at > 0 && lines[at - 1].end.empty()) lines[at - 1].end = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{text, eol});
    }
};

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

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName) {
    if (!lpFileName) return CopyText(lpDefault ? lpDefault : "", lpReturnedString, nSize);
    IniFile f;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        f.Load(lpFileName);
    }
    if (!lpAppName) {
        std::vector<std::string> names;
        for (const auto& l : f.lines) {
            Parsed p = Classify(l.text);
            if (p.kind == Kind::Section) names.push_back(p.name);
        }
        return CopyList(names, lpReturnedString, nSize);
    }
    int h = f.FindSection(lpAppName);
    if (!lpKeyName) {
        std::vector<std::string> names;
        if (h >= 0) {
            size_t end = f.SectionEnd(h);
            for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
                Parsed p = Classify(f.lines[i].text);
                if (p.kind == Kind::Entry) names.push_back(p.name);
            }
        }
        return CopyList(names, lpReturnedString, nSize);
    }
    int k = h >= 0 ? f.FindKey(h, lpKeyName) : -1;
    if (k < 0) return CopyText(TrimBlanks(lpDefault ? lpDefault : ""), lpReturnedString, nSize);
    return CopyText(Classify(f.lines[static_cast<size_t>(k)].text).value, lpReturnedString, nSize);
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
    IniFile f;
    if (!f.Load(lpFileName)) {  // never replace a file whose content we could not read
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    int h = f.FindSection(lpAppName);
    if (!lpKeyName) {
        if (h < 0) return TRUE;
        size_t end = f.SectionEnd(h);
        f.lines.erase(f.lines.begin() + h, f.lines.begin() + static_cast<std::ptrdiff_t>(end));
    } else if (!lpString) {
        int k = h >= 0 ? f.FindKey(h, lpKeyName) : -1;
        if (k < 0) return TRUE;
        f.lines.erase(f.lines.begin() + k);
    } else {
        std::string key = TrimBlanks(lpKeyName);
        std::string value = lpString;
        if (h < 0) {
            f.Insert(f.lines.size(), "[" + std::string(lpAppName) + "]");
            f.Insert(f.lines.size(), key + "=" + value);
        } else if (int k = f.FindKey(h, key); k >= 0) {
            Line& l = f.lines[static_cast<size_t>(k)];
            l.text = Classify(l.text).name + "=" + value;  // the key keeps its written case
        } else {
            size_t at = f.SectionEnd(h);
            while (at > static_cast<size_t>(h) + 1 && TrimBlanks(f.lines[at - 1].text).empty()) --at;
            f.Insert(at, key + "=" + value);
        }
    }
    if (!f.Save()) {
        FailWrite();
        return FALSE;
    }
    return TRUE;
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
    IniFile f;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        f.Load(lpFileName);
    }
    std::vector<std::string> entries;
    int h = f.FindSection(lpAppName);
    if (h >= 0) {
        size_t end = f.SectionEnd(h);
        for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
            Parsed p = Classify(f.lines[i].text);
            if (p.kind == Kind::Entry) entries.push_back(p.name + "=" + p.value);
        }
    }
    return CopyList(entries, lpReturnedString, nSize);
}

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize, lpFileName);
}
