// Picture classes beside the bitmap: icons, metafiles, CMYK JPEGs, and the order of the
// picture-format list that the modules' start-ups make.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/classlib/graphics.h"
#include "platform/classlib/jpeg.h"
#include "platform/gdi/bmpcodec.h"
#include "support/tempstate.h"

namespace {

// 12 x 10 pixels of changing colour; every pixel with x + y below 4 is transparent.
std::string SourcePam() {
    std::string pam = "P7\nWIDTH 12\nHEIGHT 10\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            unsigned char px[4] = {static_cast<unsigned char>(x * 20), static_cast<unsigned char>(y * 25),
                                   static_cast<unsigned char>(200 - x * 10), static_cast<unsigned char>(x + y < 4 ? 0 : 255)};
            pam.append(reinterpret_cast<char*>(px), 4);
        }
    return pam;
}

TEST(PictureFormats, ModulesRegisterInModuleOrderAndLookupRunsFromTheNewest) {
    std::vector<std::string> order;
    for (const auto& f : TPicture::FileFormats()) order.push_back(f.Extension);
    const std::vector<std::string> want = {"wmf", "emf", "ico", "bmp", "jpeg", "jpg"};
    ASSERT_GE(order.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 6), want);
    // A later module's row wins until it shuts down.
    struct TLaterIcon : TIcon {
        const char* ClassName() const override { return "TLaterIcon"; }
    };
    TPicture::RegisterFileFormat<TLaterIcon>("ICO", "Later icons");
    TGraphicClass c;
    ASSERT_TRUE(TPicture::FindFileFormat("ico", &c));
    EXPECT_EQ(c.Type, std::type_index(typeid(TLaterIcon)));
    TPicture::UnregisterGraphicClass<TLaterIcon>();
    ASSERT_TRUE(TPicture::FindFileFormat("ico", &c));
    EXPECT_EQ(c.Type, std::type_index(typeid(TIcon)));
    // JPEG's shutdown takes its two rows and nothing else; its start-up brings them back.
    JPEGShutdown();
    EXPECT_FALSE(TPicture::FindFileFormat("jpg", nullptr));
    EXPECT_TRUE(TPicture::FindFileFormat("bmp", nullptr));
    JPEGStartup();
    EXPECT_TRUE(TPicture::FindFileFormat("jpeg", nullptr));
}

TEST(Icon, FileMadeByImageMagickDrawsThroughItsMask) {
    testsupport::TempState tmp;
    testsupport::WriteAll(tmp.Path("in.pam"), SourcePam());
    const std::string cmd = "convert " + tmp.Path("in.pam") + " " + tmp.Path("x.ico") + " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    TPicture p;
    p.LoadFromFile(tmp.Path("x.ico"));
    auto* icon = dynamic_cast<TIcon*>(p.Graphic());
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->Width(), 12);
    ASSERT_EQ(icon->Height(), 10);
    EXPECT_THROW(icon->SetWidth(3), EInvalidGraphicOperation);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(12, 10);
    target.Canvas()->Brush()->SetColor(clLime);
    target.Canvas()->FillRect(Rect(0, 0, 12, 10));
    target.Canvas()->Draw(0, 0, icon);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const TColor want = x + y < 4 ? clLime : static_cast<TColor>((x * 20) | ((y * 25) << 8) | ((200 - x * 10) << 16));
            ASSERT_EQ(target.Canvas()->Pixel(x, y), want) << x << "," << y;
        }
    // The bytes read are the bytes written.
    icon->SaveToFile(tmp.Path("again.ico"));
    EXPECT_EQ(testsupport::ReadAll(tmp.Path("again.ico")), testsupport::ReadAll(tmp.Path("x.ico")));
}

TEST(Metafile, IsRefusedWithItsOwnMessage) {
    testsupport::TempState tmp;
    for (const char* name : {"a.wmf", "b.EMF"}) {
        testsupport::WriteAll(tmp.Path(name), std::string("\xD7\xCD\xC6\x9A\0\0", 6));
        TPicture p;
        try {
            p.LoadFromFile(tmp.Path(name));
            ADD_FAILURE() << name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Metafiles are not supported") << name;
        }
    }
}

TEST(Jpeg, CmykPictureMatchesDjpeg) {
    testsupport::TempState tmp;
    testsupport::WriteAll(tmp.Path("in.pam"), SourcePam());
    // ImageMagick writes CMYK JPEGs in Adobe's inverted form (with the Adobe marker).
    std::string cmd = "convert " + tmp.Path("in.pam") + " -alpha off -colorspace CMYK -quality 92 " + tmp.Path("c.jpg") +
                      " 2>/dev/null && djpeg -bmp -outfile " + tmp.Path("ref.bmp") + " " + tmp.Path("c.jpg");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string jpeg = testsupport::ReadAll(tmp.Path("c.jpg"));
    ASSERT_NE(jpeg.find("Adobe"), std::string::npos);
    const std::string ref = testsupport::ReadAll(tmp.Path("ref.bmp"));
    std::string why;
    HBITMAP want = gdi::ReadBmp(reinterpret_cast<const std::uint8_t*>(ref.data()), ref.size(), true, nullptr, &why);
    ASSERT_NE(want, nullptr) << why;
    TPicture p;
    p.LoadFromFile(tmp.Path("c.jpg"));
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(12, 10);
    target.Canvas()->Draw(0, 0, p.Graphic());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(static_cast<COLORREF>(target.Canvas()->Pixel(x, y)), gdi::BitmapPixel(want, x, y)) << x << "," << y;
    DeleteObject(ToGdiObj(want));
}

}  // namespace
