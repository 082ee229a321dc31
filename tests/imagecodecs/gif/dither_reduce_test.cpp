// The ditherers and the colour reduction with the octree quantiser.
#include <gtest/gtest.h>

#include <random>

#include "imagecodecs/GifPicture.h"

namespace {

// A lookup that answers one fixed colour and records what it was asked.
class FixedLookup : public TColorLookup {
public:
    explicit FixedLookup(BYTE v) : TColorLookup(1), V(v) {}
    BYTE Match(BYTE r, BYTE, BYTE, BYTE& outR, BYTE& outG, BYTE& outB) override {
        Asked.push_back(r);
        outR = outG = outB = V;
        return 0;
    }
    BYTE V;
    std::vector<int> Asked;
};

// Runs a ditherer over rows of grey pixels in serpentine order, as the reduction does.
std::vector<BYTE> Dither(TDitherEngine& d, const std::vector<BYTE>& grey, int w, int h, std::vector<int>* columns = nullptr) {
    std::vector<BYTE> out(grey.size());
    BYTE r, g, b;
    for (int y = 0; y < h; ++y) {
        while (d.CurColumn >= 0 && d.CurColumn < w) {
            const int x = d.CurColumn;
            if (columns) columns->push_back(x);
            const BYTE v = grey[static_cast<std::size_t>(y) * w + x];
            out[static_cast<std::size_t>(y) * w + x] = d.Quantize(v, v, v, r, g, b);
        }
        d.NewRow();
    }
    return out;
}

TEST(GifDither, SerpentineOrderAndExactPalettes) {
    TNetscapeColorLookup cube;
    // Every colour is in the palette: every ditherer gives the plain engine's indices.
    std::mt19937 rng(1408);
    std::vector<BYTE> grey(13 * 7);
    for (auto& v : grey) v = static_cast<BYTE>(51 * (rng() % 6));
    TDitherEngine plain(13, &cube);
    const auto expect = Dither(plain, grey, 13, 7);
    for (int mode = 0; mode <= 6; ++mode) {
        auto d = MakeDitherer(static_cast<TDitherMode>(mode), 13, &cube);
        std::vector<int> columns;
        EXPECT_EQ(Dither(*d, grey, 13, 7, &columns), expect) << "mode " << mode;
        // The second row runs from the last column to the first.
        ASSERT_EQ(columns.size(), grey.size());
        EXPECT_EQ(columns[13], 12);
        EXPECT_EQ(columns[25], 0);
        EXPECT_EQ(columns[26], 0);
    }
    EXPECT_THROW(MakeDitherer(static_cast<TDitherMode>(7), 4, &cube), GIFException);
}

TEST(GifDither, FloydSteinbergRoundingAndClamping) {
    // An error of +2 carries 14/16 to the next pixel, which rounds to +1; an error of -2 carries
    // -14/16, which rounds toward zero to 0.
    FixedLookup black(0);
    TFloydSteinbergDitherer up(3, &black);
    Dither(up, {2, 0, 0}, 3, 1);
    EXPECT_EQ(black.Asked, (std::vector<int>{2, 1, 0}));
    FixedLookup white(255);
    TFloydSteinbergDitherer down(2, &white);
    Dither(down, {253, 255}, 2, 1);
    EXPECT_EQ(white.Asked, (std::vector<int>{253, 255}));
    // Clamped before the lookup, and the error taken from the clamped value: 255 - 200 = 55 carries
    // 24 (not the 32 of an unclamped 274 - 200).
    FixedLookup mid(200);
    TFloydSteinbergDitherer clamp(3, &mid);
    Dither(clamp, {255, 250, 0}, 3, 1);
    EXPECT_EQ(mid.Asked, (std::vector<int>{255, 255, 24}));
    // The shares below: 3/16 behind, 5/16 under, 1/16 ahead. Row 0 of width 3 with errors 16, 0, 0
    // (inputs 16, then 0 + 7 = 7 and so on) puts 5 under column 0 and 1 under column 1.
    FixedLookup zero(0);
    TFloydSteinbergDitherer shares(3, &zero);
    Dither(shares, {16, 0, 0, 0, 0, 0}, 3, 2);
    // Row 0 asks 16, (0 + 7*16 + 8) / 16 = 7, (7*7 + 8) / 16 = 3; row 1 runs right to left.
    ASSERT_EQ(zero.Asked.size(), 6u);
    EXPECT_EQ(std::vector<int>(zero.Asked.begin(), zero.Asked.begin() + 3), (std::vector<int>{16, 7, 3}));
    // Column 2 below: 1*7 + 5*3 = 22 -> 1; column 1: 1*16 + 5*7 + 3*3 + carry 7*1 -> (60 + 8) / 16 = 4.
    EXPECT_EQ(zero.Asked[3], (22 + 8) / 16);
    EXPECT_EQ(zero.Asked[4], (16 + 35 + 9 + 7 * ((22 + 8) / 16) + 8) / 16);
}

TEST(GifDither, EveryKernelKeepsTheAverage) {
    TMonochromeLookup mono;
    const int w = 64, h = 64;
    for (int level : {40, 100, 200}) {
        const std::vector<BYTE> grey(static_cast<std::size_t>(w) * h, static_cast<BYTE>(level));
        for (int mode = 1; mode <= 6; ++mode) {
            auto d = MakeDitherer(static_cast<TDitherMode>(mode), w, &mono);
            const auto out = Dither(*d, grey, w, h);
            double white = 0;
            for (BYTE v : out) white += v;
            EXPECT_NEAR(white / out.size() * 255, level, 6) << "mode " << mode << " level " << level;
        }
    }
}

// ---- Reduction ---------------------------------------------------------------------------------------

std::unique_ptr<TBitmap> Picture(int w, int h, const std::function<TColor(int, int)>& color, TPixelFormat pf = pf24bit) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        BYTE* row = static_cast<BYTE*>(bmp->ScanLine(y));
        for (int x = 0; x < w; ++x) {
            const TColor c = color(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    if (pf != pf24bit) bmp->SetPixelFormat(pf);
    return bmp;
}

std::vector<PALETTEENTRY> Entries(TBitmap* bmp) {
    PALETTEENTRY e[256];
    const int n = ReadPaletteEntries(bmp->Palette(), e);
    return std::vector<PALETTEENTRY>(e, e + n);
}

TEST(GifReduce, MethodsAndTheirPalettes) {
    auto colorful = Picture(20, 10, [](int x, int y) { return RGB(x * 13, y * 25, (x * y) % 256); });
    // Method 0: a 24-bit copy, whatever the dither mode.
    auto copy = ReduceBitmapColors(colorful.get(), crNone, dtBurkes, nullptr, 8);
    EXPECT_EQ(copy->PixelFormat(), pf24bit);
    EXPECT_EQ(gdi::BitmapPixel(copy->Handle(), 7, 3), RGB(91, 75, 21));

    // Method 6 without dithering: the cube entry of the nearest levels, the cube as palette.
    auto cube = ReduceBitmapColors(colorful.get(), crCube216, dtNearest, nullptr, 8);
    ASSERT_EQ(cube->PixelFormat(), pf8bit);
    const auto pal = Entries(cube.get());
    ASSERT_GE(pal.size(), 216u);
    EXPECT_EQ(pal[215].peRed, 255);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const int r = x * 13, g = y * 25, b = (x * y) % 256;
            const int want = 36 * ((r + 25) / 51) + 6 * ((g + 25) / 51) + (b + 25) / 51;
            ASSERT_EQ(static_cast<BYTE*>(cube->ScanLine(y))[x], want) << x << "," << y;
        }

    // Method 7 with 1 bit on black and white: a palette of black and white, pixels exact.
    auto bw = Picture(9, 9, [](int x, int y) { return (x + y) % 2 ? clWhite : clBlack; });
    auto two = ReduceBitmapColors(bw.get(), crOctree, dtFloydSteinberg, nullptr, 1);
    const auto pal2 = Entries(two.get());
    ASSERT_GE(pal2.size(), 2u);
    EXPECT_EQ(RGB(pal2[0].peRed, pal2[0].peGreen, pal2[0].peBlue), RGB(0, 0, 0));
    EXPECT_EQ(RGB(pal2[1].peRed, pal2[1].peGreen, pal2[1].peBlue), RGB(255, 255, 255));
    EXPECT_EQ(gdi::BitmapPixel(two->Handle(), 3, 4), RGB(255, 255, 255));
    EXPECT_EQ(gdi::BitmapPixel(two->Handle(), 4, 4), RGB(0, 0, 0));

    // Fewer colours than the octree's limit: every colour kept exactly.
    const TColor five[] = {RGB(1, 2, 3), RGB(200, 10, 10), RGB(9, 250, 90), RGB(128, 128, 127), RGB(77, 0, 255)};
    auto few = Picture(15, 4, [&](int x, int y) { return five[(x + 3 * y) % 5]; });
    auto exact = ReduceBitmapColors(few.get(), crOctree, dtStucki, nullptr, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 15; ++x) ASSERT_EQ(gdi::BitmapPixel(exact->Handle(), x, y), static_cast<COLORREF>(five[(x + 3 * y) % 5]));

    // Method 8: 256 entries, the system's static colours first and last.
    auto sys = ReduceBitmapColors(colorful.get(), crOctreeSystem, dtNearest, nullptr, 8);
    const auto pal8 = Entries(sys.get());
    ASSERT_EQ(pal8.size(), 256u);
    PALETTEENTRY system[20];
    ASSERT_EQ(ReadPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), system), 20);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pal8[i].peRed, system[i].peRed);
        EXPECT_EQ(pal8[246 + i].peBlue, system[10 + i].peBlue);
    }

    // The other fixed palettes give pixels of their own colours.
    struct Fixed {
        TColorReduction method;
        std::size_t entries;
    };
    for (Fixed f : {Fixed{crSystem20, 20}, Fixed{crHalftone, 256}, Fixed{crFourGreys, 4}, Fixed{crBlackWhite, 2},
                    Fixed{crGreys256, 256}}) {
        auto r = ReduceBitmapColors(colorful.get(), f.method, dtSierra, nullptr, 8);
        const auto p = Entries(r.get());
        ASSERT_GE(p.size(), f.entries) << int(f.method);
        const BYTE index = static_cast<BYTE*>(r->ScanLine(5))[11];
        EXPECT_LT(index, f.entries) << int(f.method);
    }
    PALETTEENTRY custom[3] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
    HPALETTE cp = MakeLogPalette(custom, 3);
    auto rgb = ReduceBitmapColors(Picture(2, 1, [](int x, int) { return x ? RGB(10, 20, 240) : RGB(250, 5, 5); }).get(),
                                  crCustomPalette, dtNearest, cp, 8);
    EXPECT_EQ(static_cast<BYTE*>(rgb->ScanLine(0))[0], 0);
    EXPECT_EQ(static_cast<BYTE*>(rgb->ScanLine(0))[1], 2);
    DeleteObject(ToGdiObj(cp));
}

TEST(GifReduce, TheSourceIsLeftAloneAndBadRequestsAreRefused) {
    auto src = Picture(6, 6, [](int x, int y) { return RGB(x * 40, y * 40, 99); }, pf8bit);
    ASSERT_EQ(src->PixelFormat(), pf8bit);
    const COLORREF before = gdi::BitmapPixel(src->Handle(), 2, 3);
    auto out = ReduceBitmapColors(src.get(), crGreys256, dtJarvis, nullptr, 8);
    EXPECT_EQ(src->PixelFormat(), pf8bit);
    EXPECT_EQ(gdi::BitmapPixel(src->Handle(), 2, 3), before);
    EXPECT_EQ(out->Width(), 6);

    auto refused = [&](TColorReduction m, TDitherMode d, HPALETTE p) {
        try {
            ReduceBitmapColors(src.get(), m, d, p, 8);
        } catch (const GIFException& e) {
            return e.Message;
        }
        return std::string("no error");
    };
    EXPECT_EQ(refused(static_cast<TColorReduction>(10), dtNearest, nullptr), "Invalid reduction method");
    EXPECT_EQ(refused(crCube216, static_cast<TDitherMode>(7), nullptr), "Invalid reduction method");
    EXPECT_EQ(refused(crCustomPalette, dtNearest, nullptr), "Invalid reduction method");
}

TEST(GifReduce, OctreeMergesTheDeepestNewestNodeFirst) {
    // Three colours into two: the two that share the deepest branch merge (they differ in bit 0).
    auto pic = Picture(3, 1, [](int x, int) { return x == 0 ? RGB(100, 100, 100) : x == 1 ? RGB(101, 100, 100) : RGB(0, 0, 200); });
    TDIBReader reader(pic.get(), pf24bit);
    HPALETTE pal = BuildOctreePalette(&reader, 3, 1, 2, 8, false);
    PALETTEENTRY e[256];
    ASSERT_EQ(ReadPaletteEntries(pal, e), 2);
    // Walk order: the greys (top bits 0, 0, 0: child 0) before the blue (0, 0, 1: child 1).
    EXPECT_EQ(RGB(e[0].peRed, e[0].peGreen, e[0].peBlue), RGB(100, 100, 100));  // (100 + 101) div 2
    EXPECT_EQ(RGB(e[1].peRed, e[1].peGreen, e[1].peBlue), RGB(0, 0, 200));
    DeleteObject(ToGdiObj(pal));
}

// Every row of the picture is the same white row, without the memory of a real picture.
class WhiteRows : public TDIB {
public:
    explicit WhiteRows(int width) : TDIB(nullptr, pf24bit), Row(static_cast<std::size_t>(width) * 3, 255) {}
    BYTE* RowPointer(int) override { return Row.data(); }
    std::vector<BYTE> Row;
};

TEST(GifReduce, OctreeSumsDoNotOverflow) {
    // 4096 x 4200 white pixels: 255 x 17.2 million exceeds 32 bits. Leaves at depth 1 keep it quick.
    WhiteRows rows(4096);
    TColorQuantizer q(2, 1);
    q.ProcessImage(&rows, 4096, 4200);
    RGBQUAD quads[2] = {};
    ASSERT_EQ(q.CollectColors(quads, 2), 1);
    EXPECT_EQ(quads[0].rgbRed, 255);
    EXPECT_EQ(quads[0].rgbBlue, 255);
}

}  // namespace
