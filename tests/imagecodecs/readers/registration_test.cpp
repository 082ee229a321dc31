// The readers' 22 rows of the picture-format list: their order, their texts, which class a name
// finds while the readers are registered and after they leave (the full GIF class registered
// before them comes back), and loading through a picture.
#include <gtest/gtest.h>

#include "imagecodecs/GifPicture.h"
#include "imagecodecs/PictureReaders.h"
#include "imagecodecs/readers/reader_tools.h"
#include "platform/classlib/jpeg.h"
#include "support/tempstate.h"

using namespace readertest;

namespace {

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        GraphicsStartup();
        GIFStartup();
        JPEGStartup();
        before_ = TPicture::FileFormats().size();
        PictureReadersStartup();
    }
    void TearDown() override {
        PictureReadersShutdown();
        JPEGShutdown();
        GIFShutdown();
        GraphicsShutdown();
    }
    static std::string ClassFor(const std::string& ext) {
        TGraphicClass c;
        return TPicture::FindFileFormat(ext, &c) ? c.Name : "(none)";
    }
    std::size_t before_ = 0;
};

TEST_F(Registration, TwentyTwoRowsInTheirOrder) {
    const auto all = TPicture::FileFormats();
    ASSERT_EQ(all.size(), before_ + 22);
    const char* expected[22][3] = {
        {"win", "Truevision images", "TTargaGraphic"},      {"vst", "Truevision images", "TTargaGraphic"},
        {"vda", "Truevision images", "TTargaGraphic"},      {"tiff", "TIFF images", "TTIFFGraphic"},
        {"tif", "TIFF images", "TTIFFGraphic"},             {"tga", "Truevision images", "TTargaGraphic"},
        {"sgi", "SGI true color images", "TSGIGraphic"},    {"scr", "Word 5.x screen capture images", "TPCXGraphic"},
        {"rla", "SGI Wavefront images", "TRLAGraphic"},     {"rgba", "SGI true color images", "TSGIGraphic"},
        {"rgb", "SGI true color images", "TSGIGraphic"},    {"ppm", "Portable pixel map images", "TPPMGraphic"},
        {"pgm", "Portable grayscale images", "TPPMGraphic"}, {"pic", "Autodesk images", "TAutodeskGraphic"},
        {"pcx", "ZSoft PCX images", "TPCXGraphic"},         {"pcd", "Kodak Photo-CD images", "TPCDGraphic"},
        {"pcc", "ZSoft PCC images", "TPCXGraphic"},         {"icb", "Truevision images", "TTargaGraphic"},
        {"gif", "CompuServe images", "TGIFGraphic"},        {"cut", "Dr. Halo images", "TCUTGraphic"},
        {"cel", "Autodesk images", "TAutodeskGraphic"},     {"bw", "SGI black/white images", "TSGIGraphic"},
    };
    for (std::size_t i = 0; i < 22; ++i) {
        const auto& row = all[before_ + i];
        EXPECT_EQ(row.Extension, expected[i][0]) << i;
        EXPECT_EQ(row.Description, expected[i][1]) << i;
        EXPECT_STREQ(row.Class.Name, expected[i][2]) << i;
    }
}

TEST_F(Registration, GifGoesToTheFirstFrameReaderUntilTheReadersShutDown) {
    EXPECT_EQ(ClassFor("gif"), "TGIFGraphic");
    EXPECT_EQ(ClassFor("GIF"), "TGIFGraphic");
    EXPECT_EQ(ClassFor("jpg"), "TJPEGImage");
    PictureReadersShutdown();
    EXPECT_EQ(ClassFor("gif"), "TGIFPicture");
    EXPECT_EQ(ClassFor("tif"), "(none)");
    PictureReadersStartup();
}

TEST_F(Registration, PicturesLoadByNameInAnyCase) {
    testsupport::TempState state;
    const std::string ppm = state.Path("a.ppm");
    WritePNM(ppm, Pattern(6, 4, 9));
    ASSERT_TRUE(Shell("pnmtotiff -lzw " + ppm + " > " + state.Path("skin.TIF") + " && ppmtopcx -24bit " + ppm + " > " +
                      state.Path("a.b.Pcx")));
    for (const char* name : {"skin.TIF", "a.b.Pcx", "a.ppm"}) {
        TPicture p;
        p.LoadFromFile(state.Path(name));
        ASSERT_NE(p.Graphic(), nullptr);
        EXPECT_EQ(p.Width(), 6) << name;
        EXPECT_EQ(Difference(FromBitmap(static_cast<TBitmap*>(p.Graphic())), ReadPNM(ppm)), 0) << name;
    }
    TPicture p;
    for (const char* name : {"noextension", "x.jpe"}) {
        try {
            p.LoadFromFile(state.Path(name));
            ADD_FAILURE() << name;
        } catch (const Exception& e) {
            EXPECT_NE(e.Message.find("Unknown picture file extension"), std::string::npos) << e.Message;
        }
    }
}

}  // namespace
