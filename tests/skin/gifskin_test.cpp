// A skin whose pictures are GIF files made by ImageMagick from the BMP test skin loads and paints
// exactly as its BMP twin: the same size, shape and pixels on every face.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gdi/wingdi.h"
#include "platform/win/statedir.h"
#include "skin/skinfixture.h"

namespace skintest {
namespace {

using GifSkin = SkinFixture;

// Every pixel of the three faces and the mask, as the loaded skin holds them.
std::vector<COLORREF> Faces(TSkinForm* skin) {
    std::vector<COLORREF> out;
    for (TBitmap* b : {skin->UpBitmap(), skin->OnBitmap(), skin->DownBitmap(), skin->MaskBitmap()}) {
        if (!b) {
            out.push_back(CLR_INVALID);
            continue;
        }
        out.push_back(static_cast<COLORREF>(b->Width() << 16 | b->Height()));
        for (int y = 0; y < b->Height(); ++y)
            for (int x = 0; x < b->Width(); ++x) out.push_back(gdi::BitmapPixel(b->Handle(), x, y) & 0xFFFFFF);
    }
    return out;
}

TEST_F(GifSkin, GifFacesAndMaskPaintAsTheirBmpTwins) {
    const std::string bmpFile = Write("bmptwin", StandardSkin());
    skin->LoadSkin(bmpFile);
    const std::vector<COLORREF> bmpFaces = Faces(skin);
    std::vector<COLORREF> bmpShown;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const Rgb p = Pixel(x, y);
            bmpShown.push_back(RGB(p.r, p.g, p.b));
        }

    SkinSpec spec = StandardSkin();
    spec.maskName = "mask.gif";
    spec.upName = "up.GIF";
    spec.onName = "on.gif";
    spec.downName = "down.gif";
    const std::string folder = "c:\\skins\\giftwin\\";
    const std::string gifFile = WriteSkin(folder, spec);
    // The generator wrote BMP bytes under the GIF names: ImageMagick turns each into a real GIF.
    for (const std::string& name : {spec.maskName, spec.upName, spec.onName, spec.downName}) {
        const std::string path = win::LocalPath(folder + name);
        const std::string cmd = "convert 'bmp:" + path + "' 'gif:" + path + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        ASSERT_EQ(testsupport::ReadAll(path).substr(0, 3), "GIF");
    }
    skin->LoadSkin(gifFile);
    EXPECT_EQ(Faces(skin), bmpFaces);
    std::vector<COLORREF> gifShown;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const Rgb p = Pixel(x, y);
            gifShown.push_back(RGB(p.r, p.g, p.b));
        }
    EXPECT_EQ(gifShown, bmpShown);
    EXPECT_EQ(form->ClientWidth(), 200);
}

// Writes the test skin into its own folder with a GIF mask that ImageMagick made from the BMP one
// and gifsicle gave the logical screen `screen`; the description's path, and the mask's in path.
std::string SkinWithMaskScreen(const std::string& name, const std::string& screen, std::string& path) {
    SkinSpec spec = StandardSkin();
    spec.maskName = "mask.gif";
    const std::string folder = "c:\\skins\\" + name + "\\";
    const std::string file = WriteSkin(folder, spec);
    path = win::LocalPath(folder + spec.maskName);
    const std::string cmd = "convert 'bmp:" + path + "' 'gif:" + path + "' && gifsicle -b --logical-screen " + screen + " '" + path + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return file;
}

// A mask GIF whose logical screen is far larger than its image, as gifsicle writes it, loads
// whatever its file's size: the window takes the screen's size, and the screen's pixels outside the
// image are cut away, so the window's shape is that of its BMP twin.
TEST_F(GifSkin, AMaskWithALargeScreenAroundItsImageShapesTheWindowAsItsBmpTwin) {
    skin->LoadSkin(Write("bmptwin", StandardSkin()));
    HRGN twin = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(CombineRgn(twin, gdi::WindowRegion(form->Handle()), nullptr, RGN_COPY), ERROR);
    std::string path;
    const std::string file = SkinWithMaskScreen("largescreen", "4000x3000", path);
    ASSERT_LT(testsupport::ReadAll(path).size(), 2000u);
    skin->LoadSkin(file);
    ASSERT_NE(skin->MaskBitmap(), nullptr);
    EXPECT_EQ(skin->MaskBitmap()->Width(), 4000);
    EXPECT_EQ(skin->MaskBitmap()->Height(), 3000);
    EXPECT_EQ(form->ClientWidth(), 4000);
    EXPECT_EQ(form->ClientHeight(), 3000);
    HRGN shaped = gdi::WindowRegion(form->Handle());
    ASSERT_NE(shaped, nullptr);
    EXPECT_TRUE(EqualRgn(shaped, twin));
    DeleteObject(ToGdiObj(twin));
}

// A mask GIF whose logical screen claims 12000 x 12000 pixels around its small image is refused
// when it is read, before the skin sizes any bitmap to that screen.
TEST_F(GifSkin, AMaskWithAScreenBeyondThePictureCapIsRefusedBeforeAnyBitmapIsSized) {
    std::string path;
    const std::string file = SkinWithMaskScreen("hugescreen", "12000x12000", path);
    try {
        skin->LoadSkin(file);
        ADD_FAILURE() << "the skin loaded";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Invalid image dimensions");
    }
    ASSERT_NE(skin->MaskBitmap(), nullptr);
    EXPECT_LT(skin->MaskBitmap()->Width(), 12000);
}

}  // namespace
}  // namespace skintest
