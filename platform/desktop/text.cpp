// Text at the widgets: Windows-1254 inside, UTF-8 at GTK; accelerator marks.
#include "platform/codepage/cp1254.h"
#include "platform/desktop/internal.h"

namespace desktop::detail {

std::string Utf8(const std::string& text) { return cp1254::ToUtf8(text); }

std::string FromUtf8(const char* utf8) { return utf8 ? cp1254::FromUtf8(utf8) : std::string(); }

std::string Mnemonic(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        char c = caption[i];
        if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return Utf8(out);
}

void TLiveSet::Watch(TComponent* c) {
    if (!c || Alive(c)) return;
    FItems.push_back(c);
    c->FreeNotification(this);
}

bool TLiveSet::Alive(const TComponent* c) const {
    for (TComponent* x : FItems)
        if (x == c) return true;
    return false;
}

void TLiveSet::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) return;
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == AComponent) {
            FItems.erase(FItems.begin() + static_cast<long>(i));
            break;
        }
}

}  // namespace desktop::detail
