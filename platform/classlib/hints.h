// Hints: the application's hint handler and the "show the hint now" request.
//
// A hint is about to be shown for a control when the pointer rests on it. The handler (the
// application's OnShowHint) may change the text, cancel the hint, or narrow the cursor rectangle:
// the hint stays up while the pointer stays inside that rectangle, and an empty rectangle makes
// the next mouse move look at the hint again.
//
// Handlers form a stack: a component that installs one becomes the handler, and removing it gives
// the handling back to the one it replaced, whatever order the components go in.
//
// There is no hint timer here: "the pointer rested" is asked explicitly (ShowHintNow), so scripted
// sessions get the hint deterministically.
#pragma once

#include <functional>
#include <string>

#include "platform/win/wintypes.h"

class TControl;

struct THintInfo {
    TControl* HintControl = nullptr;
    POINT CursorPos{};   // in the control's coordinates
    RECT CursorRect{};   // where the hint stays valid (the control's client rectangle at first)
    int HideTimeout = 2500;
    std::string HintStr;
};

using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;

namespace hints {

// Installs `handler` for `owner` on top of the stack (an owner installs one at a time; a second
// call replaces its handler in place).
void PushShowHintHandler(const void* owner, TShowHintEvent handler);
// Removes the handler of `owner` wherever it is in the stack; nothing when it has none.
void RemoveShowHintHandler(const void* owner);
// The owner of the handler in charge (nullptr when none).
const void* CurrentShowHintOwner();

// The pointer rests at (x, y) of `control`: builds the hint (the control's Hint; nothing when it is
// empty, or the control or the application does not show hints), runs the handler in charge and
// returns true with `info` filled when a hint would show.
bool ShowHintNow(TControl* control, int x, int y, THintInfo& info);

}  // namespace hints
