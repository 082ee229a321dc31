// Windows disabled for as long as another window needs them. Several windows may disable the same one
// (the wait window and the history window both hold the main window); each hold is counted, and the
// window is enabled again only when the last hold on it ends. A window never held keeps its own state.
#pragma once

#include <initializer_list>
#include <vector>

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

// The holds a window keeps while it shows: taken when it is shown, ended when it is closed or
// hidden. Taking them again first ends the ones it has, so a window shown twice holds once.
class TShownHolds {
public:
    TShownHolds() = default;
    ~TShownHolds() { Release(); }
    TShownHolds(const TShownHolds&) = delete;
    TShownHolds& operator=(const TShownHolds&) = delete;

    void Take(std::initializer_list<TControl*> windows);
    void Release();

private:
    std::vector<TControl*> FHeld;
};

}  // namespace messenger
