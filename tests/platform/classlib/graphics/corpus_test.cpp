// The standing corpus of hostile picture files (tests/corpus/pictures, made by make_corpus.py):
// each loads through the picture-format list to a clear error, never a crash or gigabytes.
#include <gtest/gtest.h>

#include <string>

#include "platform/classlib/graphics.h"
#include "platform/classlib/jpeg.h"

namespace {

std::string Corpus(const std::string& name) { return std::string(PICTURE_CORPUS) + "/" + name; }

TEST(HostileFiles, FailWithTheReaderReason) {
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"bmp32-huge-header.bmp", "Bitmap image is not valid (picture too large)"},
        {"bmp-rle8-huge.bmp", "Bitmap image is not valid (picture too large)"},
        {"bmp-height-intmin.bmp", "Bitmap image is not valid (bad dimensions)"},
        {"bmp24-truncated.bmp", "Bitmap image is not valid (truncated pixels)"},
        {"bmp8-truncated-table.bmp", "Bitmap image is not valid (truncated colour table)"},
        {"bmp-rle8-no-end.bmp", "Bitmap image is not valid (broken RLE data)"},
        {"jpeg-huge-frame.jpg", "JPEG error: picture too large"},
        {"jpeg-frame-beyond-data.jpg", "JPEG error: picture larger than its data"},  // found by the fuzzer
        {"jpeg-header-only.jpg", "JPEG error: Invalid JPEG file structure: missing SOS marker"},
        {"ico-truncated.ico", "Icon image is not valid (truncated image)"},
        {"ico-png.ico", "Icon image is not valid (PNG-compressed icon images are not read)"},
    };
    for (const Case& c : cases) {
        TPicture p;
        try {
            p.LoadFromFile(Corpus(c.file));
            ADD_FAILURE() << c.file << " loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, c.message) << c.file;
        }
        EXPECT_EQ(p.Graphic(), nullptr) << c.file;
    }
    TPicture p;
    EXPECT_THROW(p.LoadFromFile(Corpus("jpeg-not-jpeg.jpg")), EInvalidGraphic);
}

// Reads the picture of a loaded graphic the way a program sees it: drawn into a 32-bit bitmap.
TColor DrawnPixel(TGraphic* g, int x, int y) {
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(g->Width(), g->Height());
    target.Canvas()->Draw(0, 0, g);
    return target.Canvas()->Pixel(x, y);
}

TEST(HostileFiles, ColourTableLongerThanTheDepthAllowsUsesTheFirstEntries) {
    TPicture p;
    p.LoadFromFile(Corpus("bmp4-colours256.bmp"));
    ASSERT_EQ(p.Width(), 4);
    ASSERT_EQ(p.Height(), 2);
    // Entry i of the file's table is (blue i*7, green i*13, red i*29); the top row holds 4 5 15 0.
    auto entry = [](int i) { return static_cast<TColor>(((i * 29) & 255) | (((i * 13) & 255) << 8) | (((i * 7) & 255) << 16)); };
    const int top[4] = {4, 5, 15, 0}, bottom[4] = {0, 1, 2, 3};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(DrawnPixel(p.Graphic(), x, 0), entry(top[x])) << x;
        EXPECT_EQ(DrawnPixel(p.Graphic(), x, 1), entry(bottom[x])) << x;
    }
}

TEST(HostileFiles, WhiteFirstMonochromeBitmapDrawsWithItsTable) {
    TPicture p;
    p.LoadFromFile(Corpus("bmp1-white-first.bmp"));
    ASSERT_EQ(p.Width(), 8);
    // Index 0 is white in this file: the top row is one black pixel, then white.
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(8, 2);
    target.Canvas()->Font()->SetColor(clRed);  // the text colour must not colour a DIB's pixels
    target.Canvas()->Brush()->SetColor(clBlue);
    target.Canvas()->Draw(0, 0, p.Graphic());
    EXPECT_EQ(target.Canvas()->Pixel(0, 0), clBlack);
    EXPECT_EQ(target.Canvas()->Pixel(1, 0), clWhite);
    EXPECT_EQ(target.Canvas()->Pixel(3, 1), clWhite);
    EXPECT_EQ(target.Canvas()->Pixel(4, 1), clBlack);
}

}  // namespace
