// Skin engine speed: the window region of large masks beside a plain run-length scan, and a full
// repaint of a loaded skin.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

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

// 1024 x 1024 masks: 0 the ellipse above, 1 half of the pixels opaque at random, 2 a checkerboard
// of single pixels (the most runs a mask can have).
std::unique_ptr<TBitmap> MaskOfKind(int kind) {
    if (kind == 0) return LargeMask();
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(1024, 1024);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 1024; ++y) {
        BYTE* row = gdi::BitmapRow(bmp->Handle(), y);
        for (int x = 0; x < 1024; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool opaque = kind == 1 ? (seed >> 31) != 0 : ((x + y) & 1) == 0;
            BYTE* px = row + x * 4;
            px[0] = px[1] = px[2] = opaque ? 0 : 255;
            px[3] = 0;
        }
    }
    return bmp;
}

const char* const kMaskNames[] = {"ellipse", "noise", "checkerboard"};

void BM_BuildMaskRegion1024(benchmark::State& state) {
    auto mask = MaskOfKind(static_cast<int>(state.range(0)));
    state.SetLabel(kMaskNames[state.range(0)]);
    for (auto _ : state) {
        HRGN rgn = BuildMaskRegion(mask.get(), clWhite, clBlack);
        benchmark::DoNotOptimize(rgn);
        DeleteObject(ToGdiObj(rgn));
    }
}
BENCHMARK(BM_BuildMaskRegion1024)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The reference: a plain run-length scan of the same pixels (one 32-bit copy, one rectangle per
// run) and one region request for all the rectangles.
void BM_RunLengthScanAndOneRequest1024(benchmark::State& state) {
    auto mask = MaskOfKind(static_cast<int>(state.range(0)));
    state.SetLabel(kMaskNames[state.range(0)]);
    for (auto _ : state) {
        std::vector<std::uint8_t> pixels(1024 * 1024 * 4);
        for (int y = 0; y < 1024; ++y) std::memcpy(pixels.data() + y * 4096, gdi::BitmapRow(mask->Handle(), y), 4096);
        std::vector<std::uint8_t> buf(sizeof(RGNDATAHEADER));
        std::vector<RECT> rects;
        for (int y = 0; y < 1024; ++y) {
            const std::uint8_t* row = pixels.data() + y * 4096;
            for (int x = 0; x < 1024;) {
                if (row[x * 4] == 255) {
                    ++x;
                    continue;
                }
                const int x0 = x;
                while (x < 1024 && row[x * 4] != 255) ++x;
                rects.push_back(RECT{x0, y, x, y + 1});
            }
        }
        buf.resize(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
        auto* data = reinterpret_cast<RGNDATA*>(buf.data());
        data->rdh = RGNDATAHEADER{};
        data->rdh.dwSize = sizeof(RGNDATAHEADER);
        data->rdh.iType = RDH_RECTANGLES;
        data->rdh.nCount = static_cast<DWORD>(rects.size());
        std::memcpy(buf.data() + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
        HRGN rgn = ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), data);
        benchmark::DoNotOptimize(rgn);
        DeleteObject(ToGdiObj(rgn));
    }
}
BENCHMARK(BM_RunLengthScanAndOneRequest1024)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

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
