// The shell: the open call records every request; the notification area keeps its icons.
#include "platform/win/shellapi.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace {

constexpr std::size_t kKeep = 64;

std::mutex& Lock() {
    static std::mutex m;
    return m;
}
std::vector<ShellRequest>& Recorded() {
    static std::vector<ShellRequest> r;
    return r;
}

std::vector<shell::TrayIcon>& Icons() {
    static std::vector<shell::TrayIcon> icons;
    return icons;
}

shell::OpenWatcher& Opener() {
    static shell::OpenWatcher w;
    return w;
}

shell::TrayWatcher& Watcher() {
    static shell::TrayWatcher w;
    return w;
}

bool gAreaPresent = true;

std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

void Apply(shell::TrayIcon& icon, const NOTIFYICONDATAA& data) {
    if (data.uFlags & NIF_MESSAGE) icon.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) icon.icon = data.hIcon;
    if (data.uFlags & NIF_TIP) icon.tip.assign(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

}  // namespace

HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile,
                        const char* lpParameters, const char* lpDirectory, int nShowCmd) {
    const ShellRequest req{hwnd, Str(lpOperation), Str(lpFile), Str(lpParameters), Str(lpDirectory), nShowCmd};
    shell::OpenWatcher watcher;
    {
        std::lock_guard<std::mutex> g(Lock());
        auto& rec = Recorded();
        rec.push_back(req);
        if (rec.size() > kKeep) rec.erase(rec.begin());
        watcher = Opener();
    }
    if (watcher) watcher(req);
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));  // above 32: done
}

namespace {

shell::TrayObserver& Observer() {
    static shell::TrayObserver observer;
    return observer;
}

BOOL Notify(DWORD dwMessage, const NOTIFYICONDATAA* lpData, shell::TrayIcon& changed) {
    if (!lpData || lpData->cbSize != NOTIFYICONDATA_V1_SIZE) return FALSE;
    std::lock_guard<std::mutex> g(Lock());
    auto& icons = Icons();
    auto it = std::find_if(icons.begin(), icons.end(), [&](const shell::TrayIcon& i) {
        return i.hwnd == lpData->hWnd && i.id == lpData->uID;
    });
    switch (dwMessage) {
        case NIM_ADD: {
            if (it != icons.end() || !gAreaPresent) return FALSE;
            shell::TrayIcon icon;
            icon.hwnd = lpData->hWnd;
            icon.id = lpData->uID;
            Apply(icon, *lpData);
            icons.push_back(icon);
            changed = icon;
            return TRUE;
        }
        case NIM_MODIFY:
            if (it == icons.end()) return FALSE;
            Apply(*it, *lpData);
            changed = *it;
            return TRUE;
        case NIM_DELETE:
            if (it == icons.end()) return FALSE;
            changed = *it;
            icons.erase(it);
            return TRUE;
        default:
            return FALSE;
    }
}

void Tell(const shell::TrayIcon& icon, shell::TrayChange change) {
    shell::TrayWatcher w;
    {
        std::lock_guard<std::mutex> g(Lock());
        w = Watcher();
    }
    if (w) w(icon, change);
}

}  // namespace

BOOL Shell_NotifyIconA(DWORD dwMessage, const NOTIFYICONDATAA* lpData) {
    shell::TrayIcon changed;
    if (!Notify(dwMessage, lpData, changed)) return FALSE;
    Tell(changed, dwMessage == NIM_ADD      ? shell::TrayChange::Added
                  : dwMessage == NIM_MODIFY ? shell::TrayChange::Modified
                                            : shell::TrayChange::Removed);
    shell::TrayObserver observer;
    {
        std::lock_guard<std::mutex> g(Lock());
        observer = Observer();
    }
    if (observer) observer();
    return TRUE;
}

namespace shell {

TrayObserver SetTrayObserver(TrayObserver observer) {
    std::lock_guard<std::mutex> g(Lock());
    TrayObserver old = std::move(Observer());
    Observer() = std::move(observer);
    return old;
}

std::vector<TrayIcon> TrayIcons() {
    std::lock_guard<std::mutex> g(Lock());
    return Icons();
}

TrayWatcher SetTrayWatcher(TrayWatcher watcher) {
    std::lock_guard<std::mutex> g(Lock());
    TrayWatcher old = std::move(Watcher());
    Watcher() = std::move(watcher);
    return old;
}

void SetNotificationAreaPresent(bool present) {
    std::vector<TrayIcon> removed;
    {
        std::lock_guard<std::mutex> g(Lock());
        gAreaPresent = present;
        if (!present) removed.swap(Icons());
    }
    for (const TrayIcon& icon : removed) Tell(icon, TrayChange::Removed);
}

std::vector<ShellRequest> RecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    return Recorded();
}

void ClearRecordedRequests() {
    std::lock_guard<std::mutex> g(Lock());
    Recorded().clear();
}

OpenWatcher SetOpenWatcher(OpenWatcher watcher) {
    std::lock_guard<std::mutex> g(Lock());
    OpenWatcher old = std::move(Opener());
    Opener() = std::move(watcher);
    return old;
}

}  // namespace shell
