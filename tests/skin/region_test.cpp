// The window shape built from a skin's mask picture.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/classlib/graphics.h"
#include "platform/gdi/wingdi.h"
#include "skin/SkinForm.h"

namespace {

struct RgnDeleter {
    void operator()(HRGN__* r) const {
        if (r) DeleteObject(ToGdiObj(r));
    }
};
using Rgn = std::unique_ptr<HRGN__, RgnDeleter>;

// A 32-bit bitmap whose pixel (x, y) is colour(x, y) (0x00BBGGRR).
template <class F>
std::unique_ptr<TBitmap> MakeMask(int w, int h, F colour) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(TPixelFormat::pf32bit);
    bmp->SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) gdi::SetBitmapPixel(bmp->Handle(), x, y, static_cast<COLORREF>(colour(x, y)));
    return bmp;
}

int RectCount(HRGN rgn) {
    DWORD size = GetRegionData(rgn, 0, nullptr);
    std::vector<char> buf(size);
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    GetRegionData(rgn, size, data);
    return static_cast<int>(data->rdh.nCount);
}

TEST(MaskRegion, RandomMasksHoldExactlyTheOpaquePixels) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 12; ++round) {
        const int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 40);
        const unsigned density = rng() % 100;
        std::vector<bool> opaque(static_cast<std::size_t>(w * h));
        for (auto&& o : opaque) o = rng() % 100 >= density;
        auto mask = MakeMask(w, h, [&](int x, int y) {
            return opaque[static_cast<std::size_t>(y * w + x)] ? (rng() % 2 ? clBlack : TColor(0x00FEFFFF)) : clWhite;
        });
        Rgn rgn(BuildMaskRegion(mask.get(), clWhite, clBlack));
        ASSERT_TRUE(rgn) << "round " << round;
        for (int y = -1; y <= h; ++y)
            for (int x = -1; x <= w; ++x) {
                bool want = x >= 0 && y >= 0 && x < w && y < h && opaque[static_cast<std::size_t>(y * w + x)];
                ASSERT_EQ(PtInRegion(rgn.get(), x, y) != FALSE, want) << "round " << round << " at " << x << "," << y;
            }
    }
}

TEST(MaskRegion, ManyRunsEqualTheOneRequestRegion) {
    // Every other pixel opaque: 64 x 80 gives 32 runs a row, 2560 runs in all.
    const int w = 64, h = 80;
    auto mask = MakeMask(w, h, [](int x, int y) { return (x + y) % 2 ? clWhite : clBlack; });
    Rgn built(BuildMaskRegion(mask.get(), clWhite, clBlack));
    ASSERT_TRUE(built);

    std::vector<RECT> rects;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 2 == 0) rects.push_back(RECT{x, y, x + 1, y + 1});
    ASSERT_GT(rects.size(), 2000u);
    std::vector<char> buf(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.rcBound = RECT{0, 0, w, h};
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(buf.data() + sizeof(RGNDATAHEADER)));
    Rgn one(ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), data));
    ASSERT_TRUE(one);
    EXPECT_TRUE(EqualRgn(built.get(), one.get()));
}

TEST(MaskRegion, KeyColourAndTolerance) {
    struct Case {
        TColor key, tolerance, pixel;
        bool cut;
    } cases[] = {
        {clWhite, clBlack, clWhite, true},
        {clWhite, clBlack, TColor(0xFFFFFE), false},   // only pure white goes
        {clWhite, clBlack, clBlack, false},
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xFAFAFA), true},   // 250 .. 255 on every channel
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xFFFFFF), true},
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xFDFBFF), true},
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xF9FAFA), false},  // blue 249
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xFAF9FA), false},  // green 249
        {TColor(0xFAFAFA), TColor(0x101010), TColor(0xFAFAF9), false},  // red 249
        {TColor(0x0000FF), TColor(0x000000), clRed, true},              // red key: blue in the high byte
        {TColor(0x0000FF), TColor(0x000000), clBlue, false},
        {TColor(0x102030), TColor(0x050505), TColor(0x152535), true},   // upper bounds included
        {TColor(0x102030), TColor(0x050505), TColor(0x162535), false},
        {clBtnFace, clBlack, ColorToRGB(clBtnFace), true},              // system colours resolved
    };
    for (const auto& c : cases) {
        auto mask = MakeMask(3, 1, [&](int x, int) { return x == 1 ? c.pixel : TColor(0x123456); });
        Rgn rgn(BuildMaskRegion(mask.get(), c.key, c.tolerance));
        ASSERT_TRUE(rgn);
        EXPECT_EQ(PtInRegion(rgn.get(), 1, 0) == FALSE, c.cut)
            << std::hex << "key " << c.key << " tolerance " << c.tolerance << " pixel " << c.pixel;
        EXPECT_TRUE(PtInRegion(rgn.get(), 0, 0));
    }
}

TEST(MaskRegion, ShapesOfRows) {
    // Opaque ends, transparent middle: two rectangles for the row.
    auto mask = MakeMask(10, 1, [](int x, int) { return x == 0 || x == 9 ? clBlack : clWhite; });
    Rgn rgn(BuildMaskRegion(mask.get(), clWhite, clBlack));
    ASSERT_TRUE(rgn);
    EXPECT_EQ(RectCount(rgn.get()), 2);
    RECT box{};
    GetRgnBox(rgn.get(), &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 10);

    // Rows come out top-down: the opaque top row is y = 0.
    auto top = MakeMask(4, 3, [](int, int y) { return y == 0 ? clBlack : clWhite; });
    Rgn topRgn(BuildMaskRegion(top.get(), clWhite, clBlack));
    EXPECT_TRUE(PtInRegion(topRgn.get(), 2, 0));
    EXPECT_FALSE(PtInRegion(topRgn.get(), 2, 2));

    // All of the key colour: an empty region, the window invisible.
    auto all = MakeMask(8, 8, [](int, int) { return clWhite; });
    Rgn empty(BuildMaskRegion(all.get(), clWhite, clBlack));
    ASSERT_TRUE(empty);
    EXPECT_EQ(GetRgnBox(empty.get(), &box), NULLREGION);

    EXPECT_EQ(BuildMaskRegion(nullptr, clWhite, clBlack), nullptr);
}

TEST(MaskRegion, MaskHeldByItsCanvas) {
    // A mask that was drawn on keeps its bitmap in its canvas's DC; the shape must still come
    // from its pixels.
    auto mask = MakeMask(6, 2, [](int x, int) { return x < 3 ? clWhite : clBlack; });
    mask->Canvas()->SetPixel(0, 1, clBlack);
    Rgn rgn(BuildMaskRegion(mask.get(), clWhite, clBlack));
    ASSERT_TRUE(rgn);
    EXPECT_FALSE(PtInRegion(rgn.get(), 0, 0));
    EXPECT_TRUE(PtInRegion(rgn.get(), 0, 1));
    EXPECT_TRUE(PtInRegion(rgn.get(), 4, 0));
}

TEST(MaskRegion, WhiteFirstMonochromeMaskGivesTheShapeOfItsBlackPixels) {
    // A 1-bit mask whose table starts with white (tests/corpus/pictures): the window is where the
    // picture is black, as drawn with the file's own colours.
    TBitmap mask;
    mask.LoadFromFile(std::string(PICTURE_CORPUS) + "/bmp1-white-first.bmp");
    ASSERT_TRUE(mask.Monochrome());
    Rgn rgn(BuildMaskRegion(&mask, clWhite, clBlack));
    ASSERT_TRUE(rgn);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(PtInRegion(rgn.get(), x, 0) != FALSE, x == 0) << x;
        EXPECT_EQ(PtInRegion(rgn.get(), x, 1) != FALSE, x >= 4) << x;
    }
}

}  // namespace
