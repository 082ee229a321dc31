// The shell: its "open this document or address" call and its notification area.
//
// ShellExecuteA records every request (the last ones are kept) and reports it as done; tests read
// the requests back, and a watcher (shell::SetOpenWatcher) is told of each one: the console
// driver prints what a person's click would open.
//
// Shell_NotifyIconA keeps the icons of the notification area, each named by its window and
// identifier. A person's mouse action on an icon reaches the icon's window as its callback message,
// with the identifier in wParam and the mouse message (WM_LBUTTONDOWN, WM_LBUTTONUP,
// WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP) in lParam; shell::TrayIcons lists the icons so that
// whoever plays the person (the scripting API, a desktop backend) can send them. A watcher
// (shell::SetTrayWatcher) is told of every icon added, changed or removed: the console driver prints
// them, a desktop backend would draw them. A machine may have no notification area
// (shell::SetNotificationAreaPresent(false)): then every NIM_ADD fails.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

struct ShellRequest {
    HWND hwnd = nullptr;
    std::string verb;        // "open", "print", ... (empty: the default verb)
    std::string file;        // document, program or address
    std::string parameters;
    std::string directory;
    int show = 0;            // SW_ value
};

// Records the request and returns a value above 32 (success), as the shell does.
HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile,
                        const char* lpParameters, const char* lpDirectory, int nShowCmd);

// The notification area.
constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 1;
constexpr UINT NIF_ICON = 2;
constexpr UINT NIF_TIP = 4;

// The record's size as the shell knows it (its first version: six 32-bit fields and the 64-byte
// tip). A record with another cbSize is refused.
constexpr DWORD NOTIFYICONDATA_V1_SIZE = 88;

struct NOTIFYICONDATAA {
    DWORD cbSize = NOTIFYICONDATA_V1_SIZE;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;            // which of the three below count (NIF_ values)
    UINT uCallbackMessage = 0;  // NIF_MESSAGE
    HICON hIcon = nullptr;      // NIF_ICON
    char szTip[64] = {};        // NIF_TIP; zero-terminated
};

// NIM_ADD adds the icon (fails when one with the same window and identifier is there), NIM_MODIFY
// changes the fields its flags name and NIM_DELETE removes it (both fail when it is not there).
// Returns FALSE on failure, and for a null record, a record of another size or an unknown message.
BOOL Shell_NotifyIconA(DWORD dwMessage, const NOTIFYICONDATAA* lpData);

namespace shell {

// One icon of the notification area, as last added or modified.
struct TrayIcon {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;  // 0: the icon has none and tells its window nothing
    HICON icon = nullptr;
    std::string tip;
};
// The icons present, oldest first.
std::vector<TrayIcon> TrayIcons();
// Told (on the calling thread, after the change) of every icon added, modified or removed; a
// desktop backend shows the icons from it. Returns the previous observer.
using TrayObserver = std::function<void()>;
TrayObserver SetTrayObserver(TrayObserver observer);

// What happened to an icon, for the watcher.
enum class TrayChange { Added, Modified, Removed };
// Installs the watcher (an empty function removes it) and returns the previous one. It runs on the
// caller's thread after the change, outside the shell's lock.
using TrayWatcher = std::function<void(const TrayIcon& icon, TrayChange change)>;
TrayWatcher SetTrayWatcher(TrayWatcher watcher);

// Whether the machine has a notification area (true unless a test says otherwise). Taking it away
// removes the icons present.
void SetNotificationAreaPresent(bool present);

// The requests made so far (the newest last; at most 64 are kept), and a way to forget them.
std::vector<ShellRequest> RecordedRequests();
void ClearRecordedRequests();
// Installs the watcher of open requests (an empty function removes it) and returns the previous
// one. It runs on the caller's thread after the request is recorded, outside the shell's lock.
using OpenWatcher = std::function<void(const ShellRequest& request)>;
OpenWatcher SetOpenWatcher(OpenWatcher watcher);

}  // namespace shell
