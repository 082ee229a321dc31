// Bitmaps, blits, BMP files written by ImageMagick, PNG output, text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdi/bmpcodec.h"
#include "platform/gdi/pngio.h"
#include "platform/gdi/wingdi.h"
#include "support/tempstate.h"

namespace {

// A memory DC with a fresh 32-bit bitmap selected; freed at the end of the scope.
struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp;
    HGDIOBJ old;
    Surface(int w, int h, int bpp = 32) {
        bmp = CreateBitmap(w, h, 1, static_cast<UINT>(bpp), nullptr);
        old = SelectObject(dc, ToGdiObj(bmp));
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(ToGdiObj(bmp));
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

TEST(Blit, RasterOperationsOnTrueColour) {
    Surface src(2, 1), dst(2, 1);
    SetPixel(src.dc, 0, 0, RGB(0xF0, 0x0F, 0x33));
    SetPixel(src.dc, 1, 0, RGB(0x00, 0xFF, 0x00));
    struct Case { DWORD rop; COLORREF d, want0; };
    const Case cases[] = {
        {SRCCOPY, RGB(1, 2, 3), RGB(0xF0, 0x0F, 0x33)},
        {SRCAND, RGB(0x3C, 0xFF, 0x0F), RGB(0x30, 0x0F, 0x03)},
        {SRCPAINT, RGB(0x0F, 0x00, 0x00), RGB(0xFF, 0x0F, 0x33)},
        {NOTSRCCOPY, RGB(9, 9, 9), RGB(0x0F, 0xF0, 0xCC)},
    };
    for (const Case& c : cases) {
        SetPixel(dst.dc, 0, 0, c.d);
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, c.rop));
        EXPECT_EQ(dst.At(0, 0), c.want0) << std::hex << c.rop;
    }
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 0x00123456));
}

TEST(Blit, MonochromeRulesAndMaskBlt) {
    // Colour to mono: the source background colour becomes 1 (white), all else 0.
    Surface colour(3, 1), mono(3, 1, 1);
    SetPixel(colour.dc, 0, 0, RGB(10, 20, 30));
    SetPixel(colour.dc, 1, 0, RGB(255, 255, 255));
    SetPixel(colour.dc, 2, 0, RGB(10, 20, 30));
    SetBkColor(colour.dc, RGB(10, 20, 30));
    BitBlt(mono.dc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(mono.At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(mono.At(1, 0), RGB(0, 0, 0));
    // Mono to colour: 0 takes the target's text colour, 1 its background colour.
    Surface out(3, 1);
    SetTextColor(out.dc, RGB(1, 2, 3));
    SetBkColor(out.dc, RGB(4, 5, 6));
    BitBlt(out.dc, 0, 0, 3, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(out.At(0, 0), RGB(4, 5, 6));
    EXPECT_EQ(out.At(1, 0), RGB(1, 2, 3));
    // Mask blit: mask bit 1 keeps the destination, 0 copies the source.
    Surface src(3, 1), dst(3, 1);
    for (int x = 0; x < 3; ++x) {
        SetPixel(src.dc, x, 0, RGB(200, 0, 0));
        SetPixel(dst.dc, x, 0, RGB(0, 0, 200));
    }
    ASSERT_TRUE(MaskBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, mono.bmp, 0, 0, MAKEROP4(ROP_DSTCOPY, SRCCOPY)));
    EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 200));
    EXPECT_EQ(dst.At(1, 0), RGB(200, 0, 0));
    EXPECT_EQ(dst.At(2, 0), RGB(0, 0, 200));
}

TEST(Blit, ClippedOverlappingAndStretched) {
    Surface s(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) SetPixel(s.dc, x, y, RGB(x * 10, y * 10, 0));
    // Overlapping copy within one bitmap moves the original pixels.
    BitBlt(s.dc, 1, 0, 3, 4, s.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(s.At(1, 2), RGB(0, 20, 0));
    EXPECT_EQ(s.At(3, 2), RGB(20, 20, 0));
    // Clip region limits the target; copies outside the bitmap are cut.
    Surface t(4, 4);
    HRGN clip = CreateRectRgn(0, 0, 2, 2);
    SelectClipRgn(t.dc, clip);
    DeleteObject(ToGdiObj(clip));
    BitBlt(t.dc, -1, -1, 6, 6, s.dc, -1, -1, SRCCOPY);
    EXPECT_EQ(t.At(1, 1), s.At(1, 1));
    EXPECT_EQ(t.At(2, 2), RGB(0, 0, 0));
    // Stretch doubles each pixel.
    Surface big(8, 8);
    StretchBlt(big.dc, 0, 0, 8, 8, s.dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(big.At(6, 5), s.At(3, 2));
    EXPECT_EQ(big.At(7, 7), s.At(3, 3));
}

TEST(Palette, DefaultTwentyColoursAndNearestIndex) {
    PALETTEENTRY e[20];
    ASSERT_EQ(GetPaletteEntries(reinterpret_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, e), 20u);
    EXPECT_EQ(e[0].peRed, 0);
    EXPECT_EQ(e[19].peRed, 255);
    EXPECT_EQ(e[19].peBlue, 255);
    std::vector<unsigned char> buf(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palNumEntries = 3;
    lp->palPalEntry[0] = {0, 0, 0, 0};
    lp->palPalEntry[1] = {250, 0, 0, 0};
    lp->palPalEntry[2] = {250, 0, 0, 0};
    HPALETTE p = CreatePalette(lp);
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(200, 10, 10)), 1u);  // the lower of two equal entries
    EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), BITSPIXEL), 32);
    lp->palNumEntries = 0;
    EXPECT_EQ(CreatePalette(lp), nullptr);
    DeleteObject(ToGdiObj(p));
}

TEST(Misc, MulDivRoundsAndGuards) {
    struct Case { int a, b, c, want; };
    const Case cases[] = {{8, 96, 72, 11}, {-8, 96, 72, -11}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {1, 1, 0, -1},
                          {0x7FFFFFFF, 2, 1, -1}, {-11, 72, 96, -8}};
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

// The BMP variants ImageMagick writes read back with exactly the pixels of the source picture.
TEST(BmpFiles, VariantsWrittenByImageMagickReadBackExactly) {
    const std::string convert = "convert";
    testsupport::TempState tmp;
    // A 7 x 5 picture of 4 colours (fits every depth exactly), odd width to exercise row padding.
    std::string src = tmp.Path("src.ppm");
    const unsigned char cols[4][3] = {{255, 0, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}};
    std::string ppm = "P6\n7 5\n255\n";
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const unsigned char* c = cols[(x * 3 + y * 2 + (x * y)) % 4];
            ppm.append(reinterpret_cast<const char*>(c), 3);
        }
    testsupport::WriteAll(src, ppm);
    struct Variant { const char* name; const char* args; };
    const Variant variants[] = {
        {"bmp3-24", "-type TrueColor BMP3:"},
        {"bmp3-8", "-type Palette BMP3:"},
        {"bmp3-8-rle", "-type Palette -compress RLE BMP3:"},
        {"bmp3-4", "-type Palette -colors 4 -define bmp:format=bmp3 -depth 4 BMP3:"},
        {"bmp3-1-bw", "-monochrome BMP3:"},
        {"bmp-v5-24", "-type TrueColor BMP:"},
        {"bmp-v5-32", "-type TrueColorAlpha BMP:"},
        {"bmp2-core", "-type Palette BMP2:"},
        {"bmp-16-565", "-define bmp:subtype=RGB565 BMP:"},
    };
    for (const Variant& v : variants) {
        std::string out = tmp.Path(std::string(v.name) + ".bmp");
        std::string cmd = convert + " " + src + " " + v.args + out + " 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) {
            ADD_FAILURE() << "convert failed for " << v.name;
            continue;
        }
        std::string bytes = testsupport::ReadAll(out);
        std::string why;
        HBITMAP b = gdi::ReadBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), true, nullptr, &why);
        ASSERT_NE(b, nullptr) << v.name << ": " << why;
        BITMAP bm{};
        GetObjectA(ToGdiObj(b), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 7) << v.name;
        EXPECT_EQ(bm.bmHeight, 5) << v.name;
        bool mono = std::string(v.name).find("-1-") != std::string::npos;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const unsigned char* c = cols[(x * 3 + y * 2 + (x * y)) % 4];
                COLORREF want = RGB(c[0], c[1], c[2]);
                if (mono) want = (c[0] + c[1] + c[2] > 400) ? RGB(255, 255, 255) : RGB(0, 0, 0);
                if (std::string(v.name) == "bmp-16-565" && c[0] == 255 && c[1] == 255) want = RGB(255, 255, 255);
                ASSERT_EQ(gdi::BitmapPixel(b, x, y), want) << v.name << " at " << x << "," << y;
            }
        // What we write reads back the same.
        std::vector<std::uint8_t> again = gdi::WriteBmp(b);
        HBITMAP c2 = gdi::ReadBmp(again.data(), again.size(), true, nullptr, &why);
        ASSERT_NE(c2, nullptr) << v.name;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(gdi::BitmapPixel(c2, x, y), gdi::BitmapPixel(b, x, y)) << v.name;
        DeleteObject(ToGdiObj(b));
        DeleteObject(ToGdiObj(c2));
    }
}

TEST(BmpFiles, BrokenFilesFailCleanly) {
    Surface s(3, 2, 8);
    std::vector<std::uint8_t> good = gdi::WriteBmp(s.bmp);
    std::string why;
    for (std::size_t cut : {std::size_t(0), std::size_t(13), std::size_t(30), good.size() - 1}) {
        EXPECT_EQ(gdi::ReadBmp(good.data(), cut, true, nullptr, &why), nullptr) << cut;
        EXPECT_FALSE(why.empty());
    }
    std::vector<std::uint8_t> bad = good;
    bad[28] = 7;  // bit count 7
    EXPECT_EQ(gdi::ReadBmp(bad.data(), bad.size(), true, nullptr, &why), nullptr);
}

// One side limit for BMP streams and DIB sections: every side up to 65536 pixels that the pixel
// cap allows is read and made, a longer one is refused by both. The files are netpbm's grey ramps.
TEST(BmpFiles, SidesUpToTheOneSideLimitAreReadAndMade) {
    testsupport::TempState tmp;
    const struct {
        const char* Ramp;
        int Width, Height;
    } readable[] = {{"-lr", 32769, 2}, {"-tb", 2, 40000}, {"-lr", 65536, 1}};
    for (const auto& c : readable) {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        const std::string ref = tmp.Path("side.pgm"), out = tmp.Path("side.bmp");
        const std::string cmd = std::string("pgmramp ") + c.Ramp + " -maxval 255 " + std::to_string(c.Width) + " " +
                                std::to_string(c.Height) + " > " + ref + " && ppmtobmp -bpp 24 " + ref + " > " + out + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        const std::string pgm = testsupport::ReadAll(ref);
        const std::string grey = pgm.substr(pgm.size() - static_cast<std::size_t>(c.Width) * c.Height);
        const std::string bytes = testsupport::ReadAll(out);
        std::string why;
        HBITMAP b = gdi::ReadBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), true, nullptr, &why);
        ASSERT_NE(b, nullptr) << why;
        BITMAP bm{};
        GetObjectA(ToGdiObj(b), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, c.Width);
        EXPECT_EQ(bm.bmHeight, c.Height);
        int wrong = 0;
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x) {
                const BYTE g = static_cast<BYTE>(grey[static_cast<std::size_t>(y) * c.Width + x]);
                wrong += (gdi::BitmapPixel(b, x, y) & 0xFFFFFF) != RGB(g, g, g);
            }
        EXPECT_EQ(wrong, 0);
        DeleteObject(ToGdiObj(b));
    }
    // A side of 65537 pixels: the BMP header of one row is refused, and so is the section.
    std::vector<std::uint8_t> header = gdi::WriteBmp(Surface(2, 1, 24).bmp);
    header[18] = 0x01, header[19] = 0x00, header[20] = 0x01, header[21] = 0x00;  // width 65537
    header.resize(header.size() + 65537 * 3 + 4, 0);
    std::string why;
    EXPECT_EQ(gdi::ReadBmp(header.data(), header.size(), true, nullptr, &why), nullptr);
    EXPECT_EQ(why, "bad dimensions");
    for (const auto& size : {std::pair{65536, 1}, std::pair{65537, 1}, std::pair{1, -65537}}) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = size.first;
        bi.bmiHeader.biHeight = size.second;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        EXPECT_EQ(h != nullptr, size.first <= 65536 && size.second >= -65536) << size.first << " x " << size.second;
        if (h) DeleteObject(ToGdiObj(h));
    }
}

TEST(Png, RenderKeepsColoursAndCutsOutsideTheRegion) {
    testsupport::TempState tmp;
    Surface s(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) SetPixel(s.dc, x, y, RGB(x * 60, y * 100, 7));
    HRGN r = CreateRectRgn(1, 0, 3, 2);
    std::string path = tmp.Path("out.png");
    ASSERT_TRUE(gdi::WritePng(path, s.bmp, r));
    gdi::PngImage img;
    ASSERT_TRUE(gdi::ReadPng(path, img));
    ASSERT_EQ(img.width, 4);
    ASSERT_EQ(img.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            bool in = x >= 1 && x < 3 && y < 2;
            std::uint32_t want = in ? (0xFF000000u | (x * 60u << 16) | (y * 100u << 8) | 7u) : 0u;
            EXPECT_EQ(img.At(x, y), want) << x << "," << y;
        }
    EXPECT_FALSE(gdi::WritePng(tmp.Path("no/such/dir/x.png"), s.bmp, nullptr));
    DeleteObject(ToGdiObj(r));
}

TEST(Text, DrawsInTheTextColourAndMeasures) {
    HFONT f = CreateFontA(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    Surface s(120, 30);
    RECT all{0, 0, 120, 30};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(s.dc, &all, white);
    SelectObject(s.dc, ToGdiObj(f));
    SetTextColor(s.dc, RGB(200, 0, 0));
    SetBkMode(s.dc, TRANSPARENT);
    SIZE sz{};
    ASSERT_TRUE(GetTextExtentPoint32A(s.dc, "Hello", 5, &sz));
    EXPECT_GT(sz.cx, 20);
    EXPECT_GE(sz.cy, 15);
    TextOutA(s.dc, 2, 2, "Hello", 5);
    int red = 0, other = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            COLORREF c = s.At(x, y);
            if (c == RGB(200, 0, 0)) ++red;
            else if (c != RGB(255, 255, 255)) ++other;
            if (c == RGB(200, 0, 0)) {
                EXPECT_TRUE(x >= 2 && x < 2 + sz.cx + 2) << x;
            }
        }
    EXPECT_GT(red, 20);
    EXPECT_EQ(other, 0);  // no anti-aliasing: every text pixel is the text colour
    // DrawText measuring: two lines are twice one line; an empty text has no height.
    RECT r{0, 0, 0, 0};
    int one = DrawTextA(s.dc, "Ab", -1, &r, DT_CALCRECT);
    RECT r2{0, 0, 0, 0};
    int two = DrawTextA(s.dc, "Ab\r\nCd", -1, &r2, DT_CALCRECT);
    EXPECT_EQ(two, 2 * one);
    RECT r3{0, 0, 0, 0};
    EXPECT_EQ(DrawTextA(s.dc, "", 0, &r3, DT_CALCRECT), 0);
    // "&&" is one "&"; "&x" is not drawn as "&".
    RECT a{0, 0, 0, 0}, b{0, 0, 0, 0};
    DrawTextA(s.dc, "A&&B", -1, &a, DT_CALCRECT);
    DrawTextA(s.dc, "A&B", -1, &b, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(a.right, b.right);
    EXPECT_FALSE(gdi::ResolveFontFile("Arial", true, false).empty());
    SelectObject(s.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(ToGdiObj(f));
    DeleteObject(ToGdiObj(white));
}

// Where a display's renderer draws the text of windows, the text of windows and of the screen is
// measured by it (extents, metrics, DrawText's breaking and heights); text in bitmaps, which the
// GDI draws itself, keeps the face's own measure.
TEST(Text, WindowsAndTheScreenMeasureByTheDisplaysRenderer) {
    HFONT f = CreateFontA(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    for (HDC dc : {screen, memory}) SelectObject(dc, ToGdiObj(f));
    SIZE face{};
    ASSERT_TRUE(GetTextExtentPoint32A(memory, "aa bb cc", 8, &face));
    // A stand-in renderer: 7 pixels a character and 3 more a line, 12 above the baseline, 4 below.
    std::vector<std::string> asked;
    gdi::SetWindowTextMeasurer([&](const LOGFONTA& font, int em, const std::string& text) {
        EXPECT_STREQ(font.lfFaceName, "Arial");
        EXPECT_EQ(em, 15);
        asked.push_back(text);
        return gdi::TextExtent{7 * static_cast<int>(text.size()) + 3, 12, 4};
    });
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(screen, "aa bb cc", 8, &size));
    EXPECT_EQ(size.cx, 7 * 8 + 3);
    EXPECT_EQ(size.cy, 16);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(screen, &tm));
    EXPECT_EQ(tm.tmAscent, 12);
    EXPECT_EQ(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmAveCharWidth, 10);
    // "aa bb" is 38 pixels wide in the renderer: a line of 38 holds it and breaks before "cc".
    RECT r{0, 0, 38, 0};
    EXPECT_EQ(DrawTextA(screen, "aa bb cc", -1, &r, DT_CALCRECT | DT_WORDBREAK), 32);
    EXPECT_EQ(r.right, 38);
    EXPECT_NE(std::find(asked.begin(), asked.end(), "aa bb"), asked.end());
    // The bitmap's DC is not asked.
    asked.clear();
    SIZE inBitmap{};
    ASSERT_TRUE(GetTextExtentPoint32A(memory, "aa bb cc", 8, &inBitmap));
    EXPECT_EQ(inBitmap.cx, face.cx);
    EXPECT_TRUE(asked.empty());
    // Without the renderer the screen measures as the face again.
    gdi::SetWindowTextMeasurer(nullptr);
    ASSERT_TRUE(GetTextExtentPoint32A(screen, "aa bb cc", 8, &size));
    EXPECT_EQ(size.cx, face.cx);
    for (HDC dc : {screen, memory}) SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(nullptr, screen);
    DeleteDC(memory);
    DeleteObject(ToGdiObj(f));
}

}  // namespace

namespace {

// Sections on both sides of the size from which pixel memory is mapped on its own: each starts
// zeroed, keeps what is written while others come and go, and is given back whole.
TEST(DIBSection, LargeAndSmallSectionsStartZeroAndKeepTheirPixels) {
    struct Made {
        HBITMAP Handle;
        std::uint32_t* Bits;
        std::size_t Count;
    };
    std::vector<Made> made;
    for (int rows : {1023, 1024, 1025, 3000}) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 1024;
        bi.bmiHeader.biHeight = -rows;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(h, nullptr) << rows;
        const std::size_t n = std::size_t{1024} * static_cast<std::size_t>(rows);
        auto* p = static_cast<std::uint32_t*>(bits);
        std::size_t nonZero = 0;
        for (std::size_t i = 0; i < n; ++i) nonZero += p[i] != 0;
        EXPECT_EQ(nonZero, 0u) << rows;
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint32_t>(i * 2654435761u) ^ static_cast<std::uint32_t>(rows);
        made.push_back({h, p, n});
    }
    for (const Made& m : made) {
        const std::uint32_t rows = static_cast<std::uint32_t>(m.Count / 1024);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < m.Count; ++i) wrong += m.Bits[i] != (static_cast<std::uint32_t>(i * 2654435761u) ^ rows);
        EXPECT_EQ(wrong, 0u) << rows;
        // The last pixel, read back through the GDI.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, ToGdiObj(m.Handle));
        const std::uint32_t last = m.Bits[m.Count - 1];
        EXPECT_EQ(GetPixel(dc, 1023, static_cast<int>(rows) - 1), RGB((last >> 16) & 0xFF, (last >> 8) & 0xFF, last & 0xFF));
        SelectObject(dc, old);
        DeleteDC(dc);
        EXPECT_TRUE(DeleteObject(ToGdiObj(m.Handle)));
    }
}

}  // namespace
