#include "platform/classlib/hints.h"

#include <algorithm>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/controls.h"

namespace hints {

namespace {

struct Entry {
    const void* owner;
    TShowHintEvent handler;
};

std::vector<Entry>& Stack() {
    static std::vector<Entry> stack;
    return stack;
}

}  // namespace

void PushShowHintHandler(const void* owner, TShowHintEvent handler) {
    auto& s = Stack();
    auto it = std::find_if(s.begin(), s.end(), [owner](const Entry& e) { return e.owner == owner; });
    if (it != s.end()) {
        it->handler = std::move(handler);
        return;
    }
    s.push_back(Entry{owner, std::move(handler)});
}

void RemoveShowHintHandler(const void* owner) {
    auto& s = Stack();
    s.erase(std::remove_if(s.begin(), s.end(), [owner](const Entry& e) { return e.owner == owner; }), s.end());
}

const void* CurrentShowHintOwner() { return Stack().empty() ? nullptr : Stack().back().owner; }

bool ShowHintNow(TControl* control, int x, int y, THintInfo& info) {
    info = THintInfo{};
    if (!control || !control->ShowHint()) return false;
    if (Application && !Application->ShowHint) return false;
    info.HintControl = control;
    info.CursorPos = POINT{x, y};
    info.CursorRect = control->ClientRect();
    info.HintStr = control->Hint;
    bool canShow = true;
    if (!Stack().empty()) {
        // A copy: the handler may remove itself.
        TShowHintEvent handler = Stack().back().handler;
        if (handler) handler(info.HintStr, canShow, info);
    }
    return canShow && !info.HintStr.empty();
}

}  // namespace hints
