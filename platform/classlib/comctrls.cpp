#include "platform/classlib/comctrls.h"

#include <cstdint>

// ---- TStatusPanel ---------------------------------------------------------------------------------

void TStatusPanel::SetText(const std::string& v) {
    if (v == FText) return;
    FText = v;
    FBar->PanelChanged();
}

void TStatusPanel::SetWidth(int v) {
    if (v == FWidth) return;
    FWidth = v;
    FBar->PanelChanged();
}

// ---- TStatusPanels --------------------------------------------------------------------------------

TStatusPanel* TStatusPanels::Items(int i) const {
    if (i < 0 || i >= Count()) throw EListError(Format(sysconst::ListIndexError, {static_cast<std::int64_t>(i)}));
    return FPanels[static_cast<size_t>(i)].get();
}

TStatusPanel* TStatusPanels::Add() {
    FPanels.push_back(std::make_unique<TStatusPanel>(FBar));
    FBar->PanelChanged();
    return FPanels.back().get();
}

void TStatusPanels::Delete(int i) {
    Items(i);
    FPanels.erase(FPanels.begin() + i);
    FBar->PanelChanged();
}

void TStatusPanels::Clear() {
    if (FPanels.empty()) return;
    FPanels.clear();
    FBar->PanelChanged();
}

// ---- TStatusBar -----------------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool v) {
    if (v == FSimplePanel) return;
    FSimplePanel = v;
    NotifyPeerText();
}

void TStatusBar::SetSimpleText(const std::string& v) {
    if (v == FSimpleText) return;
    FSimpleText = v;
    NotifyPeerText();
}

void TStatusBar::Describe(TControlDescription& d) const {
    if (FSimplePanel) d.Text(FSimpleText);
    else
        for (int k = 0; k < FPanels.Count(); ++k) d.Text(FPanels.Items(k)->Text());
}
