#include "platform/classlib/extctrls.h"

TCustomPanel::TCustomPanel(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 185, 41);
}

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 50, 50);
}
