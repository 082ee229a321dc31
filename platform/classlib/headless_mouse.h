// Scripted mouse gestures for headless sessions, posted to a form's window the way the window
// system would deliver them. Post a whole gesture (press, moves, release), then let the message
// loop take it (headless::Pump or Application->ProcessMessages): a control that starts a move loop
// on the press (WM_SYSCOMMAND SC_DRAGMOVE) then finds the rest of the gesture queued, and the loop
// consumes the moves and the release, as a person dragging the window would.
//
// Routing, as a shaped window gets the mouse:
//  - a button press outside the window's region (SetWindowRgn) goes nowhere, unless a window holds
//    the mouse capture;
//  - while a button is held (or the window holds the capture) moves and the release go to the
//    window wherever the pointer is; the form keeps them with the control that took the press;
//  - otherwise a move outside the region goes nowhere;
//  - the form itself sends enter and leave (CM_MOUSEENTER / CM_MOUSELEAVE) to its controls.
// Coordinates are client coordinates of the form at the time the gesture is posted.
#pragma once

#include "platform/classlib/controls.h"

class TCustomForm;

namespace headless {

// Each returns true when the message was posted, false when it goes nowhere.
bool PostMouseDown(TCustomForm* form, int x, int y, TMouseButton button = mbLeft, TShiftState shift = 0);
bool PostMouseMove(TCustomForm* form, int x, int y, TShiftState shift = 0);
bool PostMouseUp(TCustomForm* form, int x, int y, TMouseButton button = mbLeft, TShiftState shift = 0);

// Whether client point (x, y) lies in the form's window shape (always, for a window without a
// region).
bool InWindowShape(TCustomForm* form, int x, int y);

}  // namespace headless
