// Panels and bevels. (Images belong to the graphics classes.)
#pragma once

#include "platform/classlib/controls.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TBevelStyle { bsLowered, bsRaised };
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

// A panel: a container with a caption and bevels.
class TCustomPanel : public TWinControl {
public:
    explicit TCustomPanel(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomPanel"; }
    TPanelBevel BevelOuter = bvRaised;
    TPanelBevel BevelInner = bvNone;
    int BevelWidth = 1;
    int BorderWidth = 0;
    bool BorderStyleSingle = false;
    TAlignment Alignment = taCenter;
};

class TPanel : public TCustomPanel {
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
    const char* ClassName() const override { return "TPanel"; }
};

// A bevel: a drawn box or line.
class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* AOwner);
    const char* ClassName() const override { return "TBevel"; }
    TBevelShape Shape = bsBox;
    TBevelStyle Style = bsLowered;
};
