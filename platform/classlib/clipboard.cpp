// The in-process clipboard: a table of formats and their data behind one lock.
#include "platform/classlib/clipboard.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/winuser.h"

namespace {

struct ClipboardState {
    std::mutex Lock;
    DWORD OpenThread = 0;
    bool IsOpen = false;
    HWND OpenOwner = nullptr;
    HWND Owner = nullptr;
    std::map<UINT, HANDLE> Data;
    std::vector<std::string> Names;  // format 0xC000 + i
};

ClipboardState& State() {
    static ClipboardState state;
    return state;
}

void FreeData(UINT format, HANDLE data) {
    if (!data) return;
    if (format == CF_BITMAP || format == CF_PALETTE)
        DeleteObject(reinterpret_cast<HGDIOBJ>(data));
    else
        GlobalFree(reinterpret_cast<HGLOBAL>(data));
}

bool OpenedHere(const ClipboardState& s) { return s.IsOpen && s.OpenThread == GetCurrentThreadId(); }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (s.IsOpen && s.OpenThread != GetCurrentThreadId()) return FALSE;
    s.IsOpen = true;
    s.OpenThread = GetCurrentThreadId();
    s.OpenOwner = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (!OpenedHere(s)) return FALSE;
    s.IsOpen = false;
    s.OpenThread = 0;
    return TRUE;
}

BOOL EmptyClipboard() {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (!OpenedHere(s)) return FALSE;
    for (auto& [format, data] : s.Data) FreeData(format, data);
    s.Data.clear();
    s.Owner = s.OpenOwner;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (!OpenedHere(s) || !data || format == 0) return nullptr;
    auto it = s.Data.find(format);
    if (it != s.Data.end()) {
        if (it->second != data) FreeData(format, it->second);
        it->second = data;
    } else {
        s.Data.emplace(format, data);
    }
    return data;
}

HANDLE GetClipboardData(UINT format) {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (!OpenedHere(s)) return nullptr;
    auto it = s.Data.find(format);
    return it == s.Data.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    return s.Data.count(format) ? TRUE : FALSE;
}

UINT RegisterClipboardFormatA(const char* name) {
    if (!name || !*name) return 0;
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    const std::string want = Lower(name);
    for (std::size_t i = 0; i < s.Names.size(); ++i)
        if (Lower(s.Names[i]) == want) return static_cast<UINT>(0xC000 + i);
    if (s.Names.size() >= 0x3FFF) return 0;
    s.Names.emplace_back(name);
    return static_cast<UINT>(0xC000 + s.Names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, char* buffer, int maxCount) {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    if (format < 0xC000 || format - 0xC000 >= s.Names.size() || !buffer || maxCount <= 0) return 0;
    const std::string& n = s.Names[format - 0xC000];
    const int len = std::min<int>(static_cast<int>(n.size()), maxCount - 1);
    std::memcpy(buffer, n.data(), static_cast<std::size_t>(len));
    buffer[len] = '\0';
    return len;
}

HWND GetClipboardOwner() {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    return s.Owner;
}

void ClipboardShutdown() {
    ClipboardState& s = State();
    std::lock_guard lk(s.Lock);
    for (auto& [format, data] : s.Data) FreeData(format, data);
    s.Data.clear();
    s.Owner = nullptr;
}
