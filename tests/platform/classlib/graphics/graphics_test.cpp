// The class library's graphics: bitmaps, canvases, the picture-format list, JPEG, TImage.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/classlib/graphics.h"
#include "platform/classlib/imagectl.h"
#include "platform/classlib/jpeg.h"
#include "support/tempstate.h"

namespace {

TEST(Colors, SystemColoursResolveFromTheTable) {
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0);
    EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFF);
    EXPECT_EQ(StringToColor("clBlue"), 0xFF0000);
    EXPECT_EQ(StringToColor("$00102030"), 0x102030);
    EXPECT_THROW(StringToColor("nope"), EConvertError);
}

TEST(Bitmap, GrowingKeepsThePictureAndFillsWhite) {
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    b.SetSize(2, 2);
    b.Canvas()->SetPixel(1, 1, clRed);
    b.SetSize(4, 3);
    EXPECT_EQ(b.Canvas()->Pixel(1, 1), clRed);
    EXPECT_EQ(b.Canvas()->Pixel(3, 2), clWhite);
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), clWhite);
}

TEST(Bitmap, PixelFormatsConvertAndScanLinesAreTopDownAndAligned) {
    struct Case { TPixelFormat pf; int bpp; int stride5; };
    const Case cases[] = {{pf1bit, 1, 4}, {pf4bit, 4, 4}, {pf8bit, 8, 8}, {pf15bit, 16, 12},
                          {pf16bit, 16, 12}, {pf24bit, 24, 16}, {pf32bit, 32, 20}};
    for (const Case& c : cases) {
        TBitmap b;
        b.SetSize(5, 2);
        b.Canvas()->SetPixel(0, 0, clBlack);  // row 0 is the top row
        b.SetPixelFormat(c.pf);
        EXPECT_EQ(b.BitsPerPixel(), c.bpp);
        EXPECT_EQ(b.ScanLineBytes(), c.stride5);
        EXPECT_EQ(b.Canvas()->Pixel(0, 0), clBlack) << c.bpp;
        EXPECT_EQ(b.Canvas()->Pixel(4, 1), clWhite) << c.bpp;
        auto* row0 = static_cast<unsigned char*>(b.ScanLine(0));
        auto* row1 = static_cast<unsigned char*>(b.ScanLine(1));
        EXPECT_EQ(row1 - row0, c.stride5);
        if (c.bpp >= 24) {  // top-left black in the first row in memory, white below it
            EXPECT_EQ(row0[0] + row0[1] + row0[2], 0);
            EXPECT_EQ(row1[0] + row1[1] + row1[2], 3 * 255);
        }
        EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
        // Saved and loaded again: same format, same pixels.
        TMemoryStream s;
        b.SaveToStream(&s);
        s.SetPosition(0);
        TBitmap again;
        again.LoadFromStream(&s);
        EXPECT_EQ(again.BitsPerPixel(), c.bpp);
        EXPECT_EQ(again.Canvas()->Pixel(0, 0), clBlack);
        EXPECT_EQ(again.Canvas()->Pixel(4, 1), clWhite);
    }
    TBitmap m;
    m.SetMonochrome(true);
    EXPECT_TRUE(m.Monochrome());
}

// A palette bitmap made deeper keeps its own colours: BMP files of 2 and 16 colours that netpbm
// wrote, loaded (their colour table comes with the handle, no palette is set) and converted.
TEST(Bitmap, DeeperPaletteFormatsKeepTheBitmapsOwnColours) {
    struct Case {
        int FileBits;
        TPixelFormat To;
        int Colours;
    };
    const Case cases[] = {{4, pf8bit, 16}, {1, pf8bit, 2}, {1, pf4bit, 2}};
    // Colours no default table holds.
    const unsigned char palette[16][3] = {{200, 40, 90},  {13, 117, 201}, {250, 250, 3},  {7, 7, 9},
                                          {91, 180, 60},  {222, 133, 44}, {3, 66, 99},    {160, 10, 170},
                                          {45, 210, 190}, {120, 120, 121}, {251, 199, 230}, {77, 33, 11},
                                          {30, 90, 30},   {190, 160, 100}, {101, 102, 250}, {244, 5, 66}};
    testsupport::TempState tmp;
    for (const Case& c : cases) {
        const int w = 29, h = 7;
        std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ppm.append(reinterpret_cast<const char*>(palette[(x * 7 + y * 3) % c.Colours]), 3);
        const std::string src = tmp.Path("src.ppm"), bmp = tmp.Path("src.bmp");
        testsupport::WriteAll(src, ppm);
        ASSERT_EQ(std::system(("ppmtobmp -bpp " + std::to_string(c.FileBits) + " " + src + " > " + bmp + " 2>/dev/null").c_str()), 0);
        TBitmap b;
        b.LoadFromFile(bmp);
        ASSERT_EQ(b.BitsPerPixel(), c.FileBits);
        b.SetPixelFormat(c.To);
        ASSERT_EQ(b.PixelFormat(), c.To);
        int changed = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned char* want = palette[(x * 7 + y * 3) % c.Colours];
                changed += b.Canvas()->Pixel(x, y) != static_cast<TColor>(RGB(want[0], want[1], want[2]));
            }
        EXPECT_EQ(changed, 0) << c.FileBits << " bits to " << b.BitsPerPixel();
    }
}

TEST(Bitmap, DrawingFiresOnChangeAndTransparentDrawSkipsTheKey) {
    TBitmap src;
    src.SetSize(3, 1);
    int changes = 0;
    src.OnChange = [&](TObject*) { ++changes; };
    src.Canvas()->SetPixel(0, 0, clLime);
    src.Canvas()->SetPixel(2, 0, clLime);
    EXPECT_EQ(changes, 2);
    src.SetTransparentColor(clLime);
    src.SetTransparent(true);
    TBitmap dst;
    dst.SetSize(3, 1);
    dst.Canvas()->Brush()->SetColor(clNavy);
    dst.Canvas()->FillRect(Rect(0, 0, 3, 1));
    dst.Canvas()->Draw(0, 0, &src);
    EXPECT_EQ(dst.Canvas()->Pixel(0, 0), clNavy);
    EXPECT_EQ(dst.Canvas()->Pixel(1, 0), clWhite);
    EXPECT_EQ(dst.Canvas()->Pixel(2, 0), clNavy);
    TBitmap bad;
    TStringStream junk("not a bitmap");
    EXPECT_THROW(bad.LoadFromStream(&junk), EInvalidGraphic);
}

TEST(Canvas, ClearBrushTextLeavesTheBackground) {
    TBitmap b;
    b.SetSize(60, 20);
    TCanvas* c = b.Canvas();
    c->Font()->SetName("Arial");
    c->Font()->SetSize(10);
    EXPECT_EQ(c->Font()->Height(), -13);
    c->Font()->SetColor(clRed);
    c->Brush()->SetColor(clYellow);
    c->TextOut(0, 0, "Wg");  // solid brush: the cell is yellow
    EXPECT_EQ(c->Pixel(c->TextWidth("Wg") - 1, c->TextHeight("Wg") - 1) == clYellow ||
                  c->Pixel(c->TextWidth("Wg") - 1, c->TextHeight("Wg") - 1) == clRed, true);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(30, 0, "Wg");
    bool yellow = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 30; x < 60; ++x) yellow = yellow || c->Pixel(x, y) == clYellow;
    EXPECT_FALSE(yellow);
    RECT clip = c->ClipRect();
    EXPECT_EQ(clip.right, 60);
    EXPECT_EQ(clip.bottom, 20);
}

TEST(PictureFormats, ListLookupAndErrors) {
    testsupport::TempState tmp;
    TPicture p;
    try {
        p.LoadFromFile(tmp.Path("ERROR"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.)");
    }
    try {
        p.LoadFromFile(tmp.Path("x.XYZ"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
    }
    std::string missing = tmp.Path("missing.bmp");
    try {
        p.LoadFromFile(missing);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot open file " + missing);
    }
    TGraphicClass c;
    ASSERT_TRUE(TPicture::FindFileFormat("JPG", &c));
    EXPECT_EQ(c.Type, std::type_index(typeid(TJPEGImage)));
    // Newest registration first; unregistering removes the class and its descendants.
    struct TMyBitmap : TBitmap {
        const char* ClassName() const override { return "TMyBitmap"; }
    };
    TPicture::RegisterFileFormat<TMyBitmap>("BMP", "Mine");
    ASSERT_TRUE(TPicture::FindFileFormat("bmp", &c));
    EXPECT_EQ(c.Type, std::type_index(typeid(TMyBitmap)));
    TBitmap b;
    b.SetSize(2, 2);
    b.SaveToFile(tmp.Path("a.bmp"));
    p.LoadFromFile(tmp.Path("a.bmp"));
    EXPECT_NE(dynamic_cast<TMyBitmap*>(p.Graphic()), nullptr);
    TPicture::UnregisterGraphicClass<TMyBitmap>();
    ASSERT_TRUE(TPicture::FindFileFormat("bmp", &c));
    EXPECT_EQ(c.Type, std::type_index(typeid(TBitmap)));
}

TEST(Jpeg, FileMadeByCjpegLoadsThroughTheFormatList) {
    testsupport::TempState tmp;
    // Four flat 8x8 blocks, so the lossy code keeps each block's colour close.
    std::string ppm = "P6\n16 16\n255\n";
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            unsigned char px[3] = {static_cast<unsigned char>(x < 8 ? 250 : 0), static_cast<unsigned char>(y < 8 ? 0 : 250), 40};
            ppm.append(reinterpret_cast<char*>(px), 3);
        }
    testsupport::WriteAll(tmp.Path("in.ppm"), ppm);
    std::string cmd = "cjpeg -quality 95 -outfile " + tmp.Path("face.JPG") + " " + tmp.Path("in.ppm");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    TPicture p;
    p.LoadFromFile(tmp.Path("face.JPG"));
    auto* j = dynamic_cast<TJPEGImage*>(p.Graphic());
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(p.Width(), 16);
    EXPECT_EQ(p.Height(), 16);
    TBitmap b;
    b.SetSize(16, 16);
    b.Canvas()->Draw(0, 0, j);
    auto near = [](TColor c, int r, int g, int bl) {
        return std::abs((c & 0xFF) - r) < 12 && std::abs(((c >> 8) & 0xFF) - g) < 12 && std::abs(((c >> 16) & 0xFF) - bl) < 12;
    };
    EXPECT_TRUE(near(b.Canvas()->Pixel(3, 3), 250, 0, 40));
    EXPECT_TRUE(near(b.Canvas()->Pixel(12, 12), 0, 250, 40));
    // A broken file fails with the graphic error and leaves the picture as it was.
    testsupport::WriteAll(tmp.Path("bad.jpg"), "\xFF\xD8garbage");
    EXPECT_THROW(p.LoadFromFile(tmp.Path("bad.jpg")), EInvalidGraphic);
    EXPECT_EQ(p.Graphic(), j);
    // Bitmap to JPEG and back.
    TJPEGImage out;
    out.Assign(&b);
    TMemoryStream s;
    out.SaveToStream(&s);
    s.SetPosition(0);
    TJPEGImage in;
    in.LoadFromStream(&s);
    EXPECT_EQ(in.Width(), 16);
    EXPECT_EQ(s.Position(), s.Size());
}

TEST(Image, PaintsItsPictureThroughTheFormPaintPath) {
    TImage img(nullptr);
    img.SetBounds(2, 1, 4, 4);
    img.Canvas()->Brush()->SetColor(clBlue);
    img.Canvas()->FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(img.Picture()->Width(), 4);
    TBitmap target;
    target.SetSize(8, 8);
    PaintGraphicControl(&img, target.Canvas()->Handle(), 0, 0);
    EXPECT_EQ(target.Canvas()->Pixel(2, 1), clBlue);
    EXPECT_EQ(target.Canvas()->Pixel(5, 4), clBlue);
    EXPECT_EQ(target.Canvas()->Pixel(6, 5), clWhite);
    EXPECT_EQ(target.Canvas()->Pixel(1, 1), clWhite);
    img.Picture()->SetGraphic(nullptr);
    TJPEGImage j;
    img.Picture()->SetGraphic(&j);
    EXPECT_THROW(img.Canvas(), EInvalidOperation);
}

}  // namespace
