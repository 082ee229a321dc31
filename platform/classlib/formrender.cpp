#include "platform/classlib/formrender.h"

#include "platform/classlib/forms.h"
#include "platform/classlib/imagectl.h"
#include "platform/gdi/pngio.h"
#include "platform/gdi/wingdi.h"

namespace headless {

bool RenderFormPng(TCustomForm* form, const std::string& path) {
    if (!form || !form->Handle()) return false;
    HWND hwnd = form->Handle();
    HDC dc = GetDC(hwnd);
    if (!dc) return false;
    RECT rc{0, 0, form->ClientWidth(), form->ClientHeight()};
    FillRect(dc, &rc, static_cast<HBRUSH>(static_cast<void*>(GetStockObject(WHITE_BRUSH))));
    PaintGraphicControls(form, dc, 0, 0);
    ReleaseDC(hwnd, dc);
    return gdi::WritePng(path, gdi::GetWindowSurface(hwnd), gdi::WindowRegion(hwnd));
}

}  // namespace headless
