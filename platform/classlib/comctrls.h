// The status bar with its panels.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls.h"

class TStatusBar;

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusPanel {
public:
    explicit TStatusPanel(TStatusBar* bar) : FBar(bar) {}
    const std::string& Text() const { return FText; }
    void SetText(const std::string& v);
    int Width() const { return FWidth; }
    void SetWidth(int v);
    TAlignment Alignment = taLeftJustify;
    TStatusPanelBevel Bevel = pbLowered;

private:
    TStatusBar* FBar;
    std::string FText;
    int FWidth = 50;
};

// The panels of a status bar. Items(i) / operator[] raise EListError "List index out of bounds (%d)"
// on a bad index.
class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar* bar) : FBar(bar) {}
    int Count() const { return static_cast<int>(FPanels.size()); }
    TStatusPanel* Items(int i) const;
    TStatusPanel* operator[](int i) const { return Items(i); }
    TStatusPanel* Add();
    void Delete(int i);
    void Clear();

private:
    TStatusBar* FBar;
    std::vector<std::unique_ptr<TStatusPanel>> FPanels;
};

// A status line at the bottom of a form (aligned alBottom). With SimplePanel it shows SimpleText
// instead of the panels.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    const char* ClassName() const override { return "TStatusBar"; }
    TStatusPanels* Panels() { return &FPanels; }
    const TStatusPanels* Panels() const { return &FPanels; }
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool v);
    const std::string& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& v);
    bool SizeGrip = true;
    void Describe(TControlDescription& d) const override;  // SimpleText, or each panel's text

private:
    friend class TStatusPanel;
    friend class TStatusPanels;
    void PanelChanged() { NotifyPeerText(); }
    TStatusPanels FPanels{this};
    bool FSimplePanel = false;
    std::string FSimpleText;
};
