// The pointer, the keyboard and the foreground window, as the window system keeps them for the
// whole process.
//
// GetCursorPos gives the pointer's screen position: the point SetCursorPos last set, (0, 0) before.
// GetKeyState tells a virtual key's state as keybd_event last set it: the result is negative while
// the key is down, and its low bit toggles with every press. SetForegroundWindow brings a window
// to the foreground; GetForegroundWindow names it (null when none was brought there, or when that
// window is gone).
#pragma once

#include <cstdint>

#include "platform/win/wintypes.h"

BOOL GetCursorPos(POINT* lpPoint);
BOOL SetCursorPos(int X, int Y);

// keybd_event's flag for a release.
constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, UINT_PTR dwExtraInfo);
std::int16_t GetKeyState(int nVirtKey);

BOOL SetForegroundWindow(HWND hWnd);
HWND GetForegroundWindow();
