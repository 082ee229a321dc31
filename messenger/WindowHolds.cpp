// The hold counts, per window, on the user-interface thread.
#include "messenger/WindowHolds.h"

#include <map>

namespace messenger {
namespace {
std::map<const TControl*, int>& Holds() {
    static std::map<const TControl*, int> holds;
    return holds;
}
}  // namespace

void HoldDisabled(TControl* w) {
    if (!w) return;
    ++Holds()[w];
    w->SetEnabled(false);
}

void ReleaseHold(TControl* w) {
    auto& holds = Holds();
    auto it = holds.find(w);
    if (it == holds.end()) return;
    if (--it->second > 0) return;
    holds.erase(it);
    w->SetEnabled(true);
}

void TShownHolds::Take(std::initializer_list<TControl*> windows) {
    Release();
    for (TControl* w : windows) {
        if (!w) continue;
        HoldDisabled(w);
        FHeld.push_back(w);
    }
}

void TShownHolds::Release() {
    while (!FHeld.empty()) {
        ReleaseHold(FHeld.back());
        FHeld.pop_back();
    }
}

int HoldCount(const TControl* w) {
    auto it = Holds().find(w);
    return it == Holds().end() ? 0 : it->second;
}

}  // namespace messenger
