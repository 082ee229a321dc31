// The GIF support layer: message texts, stream routines, buffered reading, row arithmetic, the DIB
// classes and the colour lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "gif_tools.h"
#include "imagecodecs/GifPicture.h"

namespace {

TEST(GifSupport, MessagesAndException) {
    EXPECT_STREQ(GIFMessage(TGIFMessageId::PrematureEnd), "Premature end of data");
    EXPECT_STREQ(GIFMessage(TGIFMessageId::ExtensionLabelMismatch),
                 "Internal error: Extension Instance does not match Extension Label");
    EXPECT_STREQ(GIFMessage(TGIFMessageId::BadScreenColorCount),
                 "Invalid number of colors specified in Screen Descriptor");
    try {
        RaiseGIFError(TGIFMessageId::BadSignature);
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Invalid GIF signature");
        EXPECT_STREQ(e.ClassName(), "GIFException");
    }
    EXPECT_THROW(CheckImageDimensions(8193, 8192), GIFException);
    EXPECT_NO_THROW(CheckImageDimensions(8192, 8192));
    EXPECT_THROW(CheckImageDimensions(0, 5), GIFException);
    EXPECT_THROW(CheckGDIHandle(static_cast<HGDIOBJ>(nullptr)), EOutOfResources);
}

TEST(GifSupport, TextBlocksAndExactReads) {
    TStringList lines;
    lines.Add(std::string(300, 'a'));
    lines.Add("");
    lines.Add("bc");
    TStringStream out;
    WriteTextBlocks(&out, &lines);
    const std::string bytes = out.DataString();
    ASSERT_EQ(bytes.size(), 1u + 255 + 1 + 45 + 1 + 2 + 1);
    EXPECT_EQ(static_cast<BYTE>(bytes[0]), 255);
    EXPECT_EQ(static_cast<BYTE>(bytes[256]), 45);
    EXPECT_EQ(static_cast<BYTE>(bytes[302]), 2);
    EXPECT_EQ(bytes.back(), '\0');
    TStringStream in(bytes + "rest");
    TStringList back;
    ReadTextBlocks(&in, &back);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back[0], std::string(255, 'a'));
    EXPECT_EQ(back[1], std::string(45, 'a'));
    EXPECT_EQ(back[2], "bc");
    EXPECT_EQ(in.ReadAll(), "rest");

    // The end of the stream ends the text; a sub-block cut short is an error, never a loop.
    TStringStream open(std::string("\x02xy", 3));
    ReadTextBlocks(&open, &back);
    EXPECT_EQ(back.Count(), 1);
    TStringStream cut(std::string("\x09xy", 3));
    EXPECT_THROW(ReadTextBlocks(&cut, &back), GIFException);

    TStringStream five("12345");
    char buf[6];
    try {
        ReadExact(&five, buf, 6);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Premature end of data");
    }
    TStringStream empty;
    EXPECT_THROW(GetByte(&empty), GIFException);
    BYTE b;
    EXPECT_FALSE(TryGetByte(&empty, b));
    TStringStream unterminated(std::string("\x03" "abc\x02" "d", 6));
    EXPECT_FALSE(SkipSubBlocks(&unterminated));
}

// Small reads, steps back, jumps, reads larger than the buffer and past the end, through the buffer
// over a file and straight from the same bytes in memory, give the same bytes and positions; the
// file is left where reading stood.
TEST(GifSupport, TheReadBufferReadsAsTheBytesBeneath) {
    std::mt19937 rng(31);
    std::string bytes(300000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    giftest::ToolDir dir;
    dir.Write("bytes", bytes);
    TFileStream file(dir.Path("bytes"), fmOpenRead);
    TStringStream memory(bytes);
    file.SetPosition(100);
    memory.SetPosition(100);
    std::int64_t last = 0;
    {
        TGIFReadBuffer buffered(&file);
        EXPECT_EQ(buffered.Size(), 300000);
        EXPECT_EQ(buffered.Position(), 100);
        std::string a(100000, '\0'), b(100000, '\0');
        for (int step = 0; step < 5000; ++step) {
            SCOPED_TRACE(step);
            const int kind = static_cast<int>(rng() % 10);
            if (kind < 6) {
                const std::int64_t n = kind == 0 ? 70000 + rng() % 30000 : 1 + rng() % 300;
                ASSERT_EQ(buffered.Read(a.data(), n), memory.Read(b.data(), n));
                ASSERT_EQ(a, b);
            } else if (kind < 8) {
                const std::int64_t back = -static_cast<std::int64_t>(rng() % 400);
                if (memory.Position() + back < 0) continue;
                ASSERT_EQ(buffered.Seek(back, soFromCurrent), memory.Seek(back, soFromCurrent));
            } else if (kind == 8) {
                const std::int64_t to = static_cast<std::int64_t>(rng() % 300100);
                ASSERT_EQ(buffered.Seek(to, soFromBeginning), memory.Seek(to, soFromBeginning));
            } else {
                const std::int64_t back = -static_cast<std::int64_t>(rng() % 70000);
                ASSERT_EQ(buffered.Seek(back, soFromEnd), memory.Seek(back, soFromEnd));
            }
        }
        // Before the start is refused, as by the file, and the position stays.
        last = buffered.Position();
        EXPECT_EQ(buffered.Seek(-1, soFromBeginning), -1);
        EXPECT_EQ(buffered.Position(), last);
        EXPECT_EQ(buffered.Write("x", 1), 0);
    }
    EXPECT_EQ(file.Position(), last);
}

TEST(GifSupport, RowArithmeticAndCube) {
    EXPECT_EQ(AlignedRowBytes(3, 8, 32), 4);
    EXPECT_EQ(AlignedRowBytes(5, 24, 32), 16);
    EXPECT_EQ(AlignedRowBytes(17, 1, 16), 4);
    EXPECT_EQ(AlignedRowBytes(70000, 24, 32), 210000);
    const int bits[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {129, 8}, {256, 8}};
    for (auto [n, b] : bits) EXPECT_EQ(BitsForColors(n), b) << n;
    HPALETTE cube = MakeCubePalette();
    PALETTEENTRY e[256];
    ASSERT_EQ(ReadPaletteEntries(cube, e), 216);
    EXPECT_EQ(e[36 * 5 + 6 * 2 + 1].peRed, 255);
    EXPECT_EQ(e[36 * 5 + 6 * 2 + 1].peGreen, 102);
    EXPECT_EQ(e[36 * 5 + 6 * 2 + 1].peBlue, 51);
    EXPECT_EQ(e[215].peFlags, 0);
    DeleteObject(ToGdiObj(cube));
}

TEST(GifSupport, Lookups) {
    BYTE r, g, b;
    TNetscapeColorLookup cube;
    EXPECT_EQ(cube.PaletteSize, 216);
    // Each component rounds to the nearest level of 51.
    const int levels[][2] = {{0, 0}, {25, 0}, {26, 51}, {47, 51}, {76, 51}, {77, 102}, {229, 204}, {230, 255}, {255, 255}};
    for (auto [in, out] : levels) {
        const BYTE index = cube.Match(static_cast<BYTE>(in), 0, 0, r, g, b);
        EXPECT_EQ(r, out) << in;
        EXPECT_EQ(index, 36 * (out / 51)) << in;
    }
    EXPECT_EQ(cube.Match(255, 128, 20, r, g, b), 36 * 5 + 6 * 3 + 0);

    TMonochromeLookup mono;
    EXPECT_EQ(mono.Match(127, 127, 127, r, g, b), 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(mono.Match(128, 128, 128, r, g, b), 1);
    EXPECT_EQ(b, 255);

    TGrayScaleLookup grey;
    EXPECT_EQ(grey.Match(255, 255, 255, r, g, b), 255);
    EXPECT_EQ(grey.Match(100, 0, 0, r, g, b), (77 * 100) >> 8);
    EXPECT_EQ(g, (77 * 100) >> 8);

    const PALETTEENTRY entries[] = {{10, 10, 10, 0}, {200, 0, 0, 0}, {10, 10, 10, 0}, {0, 0, 250, 0}};
    HPALETTE pal = MakeLogPalette(entries, 4);
    TFastColorLookup fast(pal);
    EXPECT_EQ(fast.PaletteSize, 4);
    EXPECT_EQ(fast.Match(10, 10, 10, r, g, b), 0);  // the lower of two equal entries
    EXPECT_EQ(fast.Match(12, 9, 14, r, g, b), 0);
    EXPECT_EQ(fast.Match(190, 30, 0, r, g, b), 1);
    EXPECT_EQ(r, 200);
    EXPECT_EQ(fast.Match(0, 0, 255, r, g, b), 3);
    EXPECT_EQ(fast.Match(0, 0, 249, r, g, b), 3);  // the same 5-5-5 cell keeps its answer
    DeleteObject(ToGdiObj(pal));
}

TEST(GifSupport, DIBWriterAndReader) {
    TBitmap bmp;
    try {
        TDIBWriter w(&bmp, pf4bit, 4, 4, nullptr);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Unsupported PixelFormat");
    }
    try {
        TDIBWriter w(&bmp, pf8bit, 0, 4, nullptr);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Invalid image dimensions");
    }
    EXPECT_THROW(TDIBWriter(&bmp, pf24bit, 65535, 65535, nullptr), GIFException);

    PALETTEENTRY entries[20];
    for (int i = 0; i < 20; ++i) entries[i] = {static_cast<BYTE>(10 * i + 5), static_cast<BYTE>(i), 7, 4};
    HPALETTE pal = MakeLogPalette(entries, 20);
    {
        TDIBWriter w(&bmp, pf8bit, 5, 3, pal);
        for (int y = 0; y < 3; ++y) {
            BYTE* row = w.RowPointer(y);
            for (int x = 0; x < 5; ++x) row[x] = static_cast<BYTE>(y * 5 + x);
        }
        EXPECT_THROW(w.RowPointer(3), EInvalidGraphicOperation);
        const std::vector<BYTE>& h = w.Header();
        ASSERT_EQ(h.size(), 1064u);
        BITMAPINFOHEADER info;
        std::memcpy(&info, h.data(), 40);
        EXPECT_EQ(info.biClrUsed, 256u);
        EXPECT_EQ(info.biClrImportant, 20u);
        EXPECT_EQ(info.biHeight, 3);
        int black = 0;
        for (int i = 0; i < 256; ++i) black += h[40 + 4 * i] == 0 && h[41 + 4 * i] == 0 && h[42 + 4 * i] == 0;
        EXPECT_EQ(black, 236);
        EXPECT_EQ(h[40 + 4 * 3 + 2], 35);  // red of entry 3, as blue, green, red, 0
        EXPECT_EQ(h[40 + 4 * 3 + 0], 7);
    }
    ASSERT_EQ(bmp.Width(), 5);
    ASSERT_EQ(bmp.Height(), 3);
    EXPECT_EQ(bmp.PixelFormat(), pf8bit);
    // Row 0 is the top row: pixel (1, 2) holds index 11, colour (115, 11, 7).
    EXPECT_EQ(gdi::BitmapPixel(bmp.Handle(), 1, 2), RGB(115, 11, 7));
    EXPECT_EQ(gdi::BitmapPixel(bmp.Handle(), 4, 0), RGB(45, 4, 7));
    DeleteObject(ToGdiObj(pal));

    TDIBReader reader(&bmp, pf24bit);
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    const BYTE* top = reader.RowPointer(0);
    EXPECT_EQ(top[3 * 4 + 2], 45);  // blue, green, red bytes
    EXPECT_EQ(top[3 * 4 + 0], 7);
}

}  // namespace
