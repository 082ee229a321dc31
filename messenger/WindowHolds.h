// Windows disabled for as long as another window needs them. Several windows may disable the same one
// (the wait window and the history window both hold the main window); each hold is counted, and the
// window is enabled again only when the last hold on it ends. A window never held keeps its own state.
#pragma once

#include "platform/classlib/controls.h"

namespace messenger {

// Disables `w` and counts the hold.
void HoldDisabled(TControl* w);
// Ends one hold on `w`; the last one enables it. A release without a hold does nothing.
void ReleaseHold(TControl* w);
// How many holds `w` has.
int HoldCount(const TControl* w);

// One hold for the lifetime of the object.
class TWindowHold {
public:
    explicit TWindowHold(TControl* w) : FWindow(w) { if (FWindow) HoldDisabled(FWindow); }
    ~TWindowHold() { if (FWindow) ReleaseHold(FWindow); }
    TWindowHold(const TWindowHold&) = delete;
    TWindowHold& operator=(const TWindowHold&) = delete;

private:
    TControl* FWindow;
};

}  // namespace messenger
