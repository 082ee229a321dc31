#include "platform/classlib/buttons.h"

#include "platform/classlib/forms.h"

namespace {

struct KindInfo {
    const char* Caption;
    TModalResult Result;
};

// Indexed by TBitBtnKind.
constexpr KindInfo kKinds[] = {
    {"", mrNone},          {"OK", mrOk},          {"Cancel", mrCancel}, {"&Help", mrNone},
    {"&Yes", mrYes},       {"&No", mrNo},         {"&Close", mrNone},   {"Abort", mrAbort},
    {"&Retry", mrRetry},   {"&Ignore", mrIgnore}, {"&All", mrAll},
};

// A caption the program did not choose: empty, the component's name or a kind's own caption.
bool IsStockCaption(const TControl* c) {
    const std::string& caption = c->Caption();
    if (caption.empty() || caption == c->Name()) return true;
    for (const auto& k : kKinds)
        if (caption == k.Caption) return true;
    return false;
}

}  // namespace

// ---- TBitBtn --------------------------------------------------------------------------------------

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::SetKind(TBitBtnKind k) {
    if (k == FKind) return;
    FKind = k;
    if (k == bkCustom) return;
    Default = k == bkOK || k == bkYes;
    Cancel = k == bkCancel || k == bkNo;
    ModalResult = kKinds[k].Result;
    // A caption the program set stays, whichever of Caption and Kind was set first.
    if (IsStockCaption(this)) SetCaption(kKinds[k].Caption);
}

void TBitBtn::Click() {
    if (FKind == bkClose) {
        if (TCustomForm* form = ParentForm()) {
            form->Close();
            return;
        }
    }
    TButton::Click();
}

// ---- TSpeedButton ---------------------------------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 23, 22);
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == FGroupIndex) return;
    FGroupIndex = v;
    if (FGroupIndex == 0 && FDown) {
        FDown = false;
        NotifyPeerText();
    }
    UpdateGroup();
}

void TSpeedButton::SetDown(bool v) {
    if (FGroupIndex == 0) v = false;
    if (v == FDown) return;
    // In a group without AllowAllUp one button always stays down.
    if (FDown && !FAllowAllUp) return;
    FDown = v;
    NotifyPeerText();
    if (v) UpdateGroup();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    if (v == FAllowAllUp) return;
    FAllowAllUp = v;
    UpdateGroup();
}

// Makes the group agree with this button: the others go up when this one is down, and all of them
// share AllowAllUp.
void TSpeedButton::UpdateGroup() {
    if (FGroupIndex == 0 || !Parent()) return;
    TWinControl* parent = Parent();
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* other = dynamic_cast<TSpeedButton*>(parent->Controls(i));
        if (!other || other == this || other->FGroupIndex != FGroupIndex) continue;
        other->FAllowAllUp = FAllowAllUp;
        if (FDown && other->FDown) {
            other->FDown = false;
            other->NotifyPeerText();
        }
    }
}

void TSpeedButton::Click() {
    if (FGroupIndex != 0) {
        if (!FDown)
            SetDown(true);
        else if (FAllowAllUp)
            SetDown(false);
    }
    TGraphicControl::Click();
}

void TSpeedButton::Describe(TControlDescription& d) const {
    TGraphicControl::Describe(d);
    if (FDown) d.State("down");
}
