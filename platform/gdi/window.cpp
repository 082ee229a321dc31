// The window side of the GDI: a window's shape (SetWindowRgn) and its backing surface, the 32-bit
// bitmap that window DCs draw on.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdiobj.h"
#include "platform/win/winbase.h"
#include "platform/win/windata.h"
#include "platform/win/winuser.h"

using namespace gdi::detail;

namespace {

const char kRegionKey[] = "gdi.region";
const char kSurfaceKey[] = "gdi.surface";

// Window data holding a GDI handle; the handle is deleted when the data goes.
struct OwnedHandle {
    HGDIOBJ h = nullptr;
    ~OwnedHandle() {
        if (h) DeleteObject(h);
    }
};

void InstallDestroyHook() {
    static bool once = [] {
        win::AddDestroyHook([](HWND hwnd) {
            win::SetWindowData(hwnd, kRegionKey, nullptr);
            win::SetWindowData(hwnd, kSurfaceKey, nullptr);
        });
        return true;
    }();
    (void)once;
}

}  // namespace

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (rgn && !GetRegion(rgn)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    InstallDestroyHook();
    auto cur = std::static_pointer_cast<OwnedHandle>(win::GetWindowData(hwnd, kRegionKey));
    if (cur && cur->h == ToGdiObj(rgn)) return 1;  // the same region again: keep it
    if (!rgn) {
        win::SetWindowData(hwnd, kRegionKey, nullptr);
        return 1;
    }
    auto owned = std::make_shared<OwnedHandle>();
    owned->h = ToGdiObj(rgn);
    win::SetWindowData(hwnd, kRegionKey, owned);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    HRGN cur = gdi::WindowRegion(hwnd);
    if (!cur || !GetRegion(rgn)) return ERROR;
    return CombineRgn(rgn, cur, nullptr, RGN_COPY);
}

namespace gdi {

HRGN WindowRegion(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    auto cur = std::static_pointer_cast<OwnedHandle>(win::GetWindowData(hwnd, kRegionKey));
    return cur ? reinterpret_cast<HRGN>(cur->h) : nullptr;
}

HBITMAP GetWindowSurface(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    InstallDestroyHook();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    int w = std::max(0, static_cast<int>(rc.right - rc.left)), h = std::max(0, static_cast<int>(rc.bottom - rc.top));
    auto cur = std::static_pointer_cast<OwnedHandle>(win::GetWindowData(hwnd, kSurfaceKey));
    if (cur) {
        auto b = GetBitmap(reinterpret_cast<HBITMAP>(cur->h));
        if (b && b->width == w && b->height == h) return reinterpret_cast<HBITMAP>(cur->h);
    }
    auto nb = MakeBitmap(w, h, 32, false);
    std::fill(nb->bits.begin(), nb->bits.end(), 0xFF);  // white until painted
    if (cur) {
        if (auto old = GetBitmap(reinterpret_cast<HBITMAP>(cur->h))) {
            int cw = std::min(w, old->width), ch = std::min(h, old->height);
            for (int y = 0; y < ch; ++y) std::memcpy(nb->Row(y), old->Row(y), static_cast<std::size_t>(cw) * 4);
        }
    }
    auto owned = std::make_shared<OwnedHandle>();
    owned->h = Add(nb);
    win::SetWindowData(hwnd, kSurfaceKey, owned);
    return reinterpret_cast<HBITMAP>(owned->h);
}

}  // namespace gdi
