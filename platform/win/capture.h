// Mouse capture and the window-model system commands of a frameless window.
//
// Capture: one window of the thread holds the mouse; it receives every mouse message until it
// releases it, wherever the pointer is. Changing the holder sends WM_CAPTURECHANGED (lParam = the
// new holder) to the old one. A destroyed window loses the capture.
//
// System commands (installed into DefWindowProcA's WM_SYSCOMMAND hook by InstallWindowModel, which
// every function here calls; it chains whatever hook was there before):
//   SC_DRAGMOVE (0xF012, and SC_MOVE 0xF010)  the move loop: the window follows the mouse until the
//                                             button is released. The loop takes the mouse messages
//                                             already queued for the window: each WM_MOUSEMOVE moves
//                                             the window by the pointer's distance from where the
//                                             button went down; the button release ends the loop
//                                             and is consumed, so no control sees it. With nothing
//                                             queued the loop ends at once (a headless session has
//                                             no live pointer). Scripted gestures give their
//                                             client coordinates relative to the window's place
//                                             when the gesture started.
//   SC_MINIMIZE / SC_RESTORE                  ShowWindow(SW_MINIMIZE / SW_RESTORE).
#pragma once

#include "platform/win/wintypes.h"

HWND SetCapture(HWND hwnd);  // returns the previous holder
BOOL ReleaseCapture();
HWND GetCapture();

constexpr UINT SC_MOVE = 0xF010;

namespace win {

// Installs the system-command handling above (idempotent; every function of this file calls it).
void InstallWindowModel();

// The client point where the mouse button last went down on `hwnd` (recorded by the scripted
// mouse when it posts or sends a press); the move loop measures from it.
void NoteMousePress(HWND hwnd, POINT clientPoint);

// Counts of move loops run and window moves made by them (for tests and diagnostics).
int MoveLoopCount();

}  // namespace win
