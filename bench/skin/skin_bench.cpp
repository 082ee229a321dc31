// Skin engine speed: the window region of a large mask, and a full repaint of a loaded skin.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/gdi/wingdi.h"
#include "skin/SkinForm.h"
#include "skin/skingen.h"
#include "support/tempstate.h"

namespace {

// A 1024 x 1024 mask: an ellipse with a ring and slots cut out, so rows hold several runs.
std::unique_ptr<TBitmap> LargeMask() {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(1024, 1024);
    for (int y = 0; y < 1024; ++y) {
        BYTE* row = gdi::BitmapRow(bmp->Handle(), y);
        for (int x = 0; x < 1024; ++x) {
            const double dx = (x - 512) / 512.0, dy = (y - 512) / 512.0, r = dx * dx + dy * dy;
            const bool opaque = r <= 1.0 && !(r > 0.25 && r < 0.30) && (x / 16) % 8 != 3;
            BYTE* px = row + x * 4;
            px[0] = px[1] = px[2] = opaque ? 0 : 255;
            px[3] = 0;
        }
    }
    return bmp;
}

void BM_BuildMaskRegion1024(benchmark::State& state) {
    auto mask = LargeMask();
    for (auto _ : state) {
        HRGN rgn = BuildMaskRegion(mask.get(), clWhite, clBlack);
        benchmark::DoNotOptimize(rgn);
        DeleteObject(ToGdiObj(rgn));
    }
}
BENCHMARK(BM_BuildMaskRegion1024)->Unit(benchmark::kMillisecond);

void BM_PaintSkin(benchmark::State& state) {
    testsupport::TempState temp;
    headless::TSession session;
    TForm* form = nullptr;
    Application->CreateForm(form);
    auto* skin = new TSkinForm(form);
    skin->SetParent(form);
    skintest::SkinSpec spec = skintest::StandardSkin();
    spec.width = 400;
    spec.height = 200;
    skin->LoadSkin(skintest::WriteSkin("c:\\bench\\", spec));
    skin->SetButtonDown("Repeat", true);
    for (auto _ : state) skin->PaintSkin();
}
BENCHMARK(BM_PaintSkin)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
