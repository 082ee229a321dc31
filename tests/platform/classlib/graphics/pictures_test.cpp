// Picture classes beside the bitmap: icons, metafiles, CMYK and progressive JPEGs and the JPEG
// reader's scan limit, and the order of the picture-format list that the modules' start-ups make.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/wait.h>

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

// A 45 x 37 PPM of smooth colour with fine noise: sides that are no multiple of a block or an MCU.
std::string SourcePpm() {
    std::string ppm = "P6\n45 37\n255\n";
    std::uint32_t seed = 7;
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 45; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = static_cast<int>(seed >> 29);
            const unsigned char px[3] = {static_cast<unsigned char>(x * 5 + n), static_cast<unsigned char>(y * 6 + n),
                                         static_cast<unsigned char>(255 - x * 3 - y * 2 + n)};
            ppm.append(reinterpret_cast<const char*>(px), 3);
        }
    return ppm;
}

// The samples of a PGM or PPM as djpeg writes it ("P5" or "P6", maximum 255).
struct Pnm {
    int width = 0, height = 0, channels = 0;
    const char* samples = nullptr;
};

Pnm ParsePnm(const std::string& pnm) {
    Pnm r;
    int max = 0, used = 0;
    char kind = 0;
    if (std::sscanf(pnm.c_str(), "P%c %d %d %d%n", &kind, &r.width, &r.height, &max, &used) != 4 || max != 255) return r;
    r.channels = kind == '5' ? 1 : kind == '6' ? 3 : 0;
    r.samples = pnm.data() + used + 1;
    if (pnm.size() != static_cast<std::size_t>(used + 1) + static_cast<std::size_t>(r.width) * r.height * r.channels)
        r.channels = 0;
    return r;
}

// Reads `jpegPath` through TJPEGImage and expects the very samples djpeg decodes from it: grey
// pictures as 8-bit grey rows, colour ones as 24-bit rows. djpeg ends with `djpegStatus` (2: it
// warned).
void ExpectSameAsDjpeg(const testsupport::TempState& tmp, const std::string& jpegPath, int djpegStatus = 0) {
    const std::string ref = tmp.Path("ref.pnm");
    const int status = std::system(("djpeg -pnm -outfile " + ref + " " + jpegPath + " 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(status)) << jpegPath;
    ASSERT_EQ(WEXITSTATUS(status), djpegStatus) << jpegPath;
    const std::string pnmBytes = testsupport::ReadAll(ref);
    const Pnm want = ParsePnm(pnmBytes);
    ASSERT_NE(want.channels, 0) << jpegPath;
    TStringStream s(testsupport::ReadAll(jpegPath));
    TJPEGImage j;
    j.LoadFromStream(&s);
    TBitmap* b = j.Bitmap();
    ASSERT_EQ(b->Width(), want.width) << jpegPath;
    ASSERT_EQ(b->Height(), want.height) << jpegPath;
    ASSERT_EQ(b->PixelFormat(), want.channels == 1 ? pf8bit : pf24bit) << jpegPath;
    for (int y = 0; y < want.height; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(b->ScanLine(y));
        const auto* in = reinterpret_cast<const std::uint8_t*>(want.samples) + static_cast<std::size_t>(y) * want.width * want.channels;
        for (int x = 0; x < want.width; ++x) {
            if (want.channels == 1) {
                ASSERT_EQ(row[x], in[x]) << jpegPath << " " << x << "," << y;
            } else {
                ASSERT_EQ(row[3 * x], in[3 * x + 2]) << jpegPath << " " << x << "," << y;
                ASSERT_EQ(row[3 * x + 1], in[3 * x + 1]) << jpegPath << " " << x << "," << y;
                ASSERT_EQ(row[3 * x + 2], in[3 * x]) << jpegPath << " " << x << "," << y;
            }
        }
    }
}

TEST(Jpeg, ProgressivePicturesOfCjpegAndImageMagickMatchDjpeg) {
    testsupport::TempState tmp;
    const std::string in = tmp.Path("in.ppm");
    testsupport::WriteAll(in, SourcePpm());
    const std::string out = tmp.Path("p.jpg");
    // Each command writes {out} from {in}.
    const char* makers[] = {
        "cjpeg -progressive -quality 85 -outfile {out} {in}",
        "cjpeg -progressive -grayscale -quality 85 -outfile {out} {in}",
        "cjpeg -progressive -sample 1x1 -quality 95 -outfile {out} {in}",
        "cjpeg -progressive -arithmetic -quality 85 -outfile {out} {in}",  // progressive arithmetic-coded: SOF10
        "cjpeg -progressive -arithmetic -grayscale -quality 85 -outfile {out} {in}",
        "convert {in} -interlace JPEG -quality 80 {out}",
        "convert {in} -colorspace Gray -interlace JPEG -quality 80 {out}",
    };
    for (const std::string maker : makers) {
        SCOPED_TRACE(maker);
        std::string cmd = maker;
        cmd.replace(cmd.find("{out}"), 5, out);
        cmd.replace(cmd.find("{in}"), 4, in);
        ASSERT_EQ(std::system((cmd + " 2>/dev/null").c_str()), 0);
        const std::string jpeg = testsupport::ReadAll(out);
        // A progressive frame marker: SOF2, or SOF10 when arithmetic-coded.
        ASSERT_TRUE(jpeg.find("\xff\xc2") != std::string::npos || jpeg.find("\xff\xca") != std::string::npos);
        ExpectSameAsDjpeg(tmp, out);
    }
}

// A grey progressive scan script of `scans` scans (65..100, the most cjpeg takes): the DC scan, the
// 63 AC coefficients one scan each, and the first `scans` - 64 of them sent in two halves (one bit
// first, then the rest).
std::string ScanScript(int scans) {
    const int split = scans - 64;
    std::string s = "0: 0-0, 0, 0;\n";
    for (int k = 1; k <= 63; ++k) s += "0: " + std::to_string(k) + "-" + std::to_string(k) + ", 0, " + (k <= split ? "1" : "0") + ";\n";
    for (int k = 1; k <= split; ++k) s += "0: " + std::to_string(k) + "-" + std::to_string(k) + ", 1, 0;\n";
    return s;
}

// A picture of exactly kMaxJPEGScans scans is read as djpeg reads it; the same with its last scan
// sent once more has one scan too many, which djpeg held to the same limit refuses too.
TEST(Jpeg, StreamOfMoreScansThanTheLimitIsRefusedWhenDecoded) {
    testsupport::TempState tmp;
    const std::string script = tmp.Path("scans.txt"), atLimit = tmp.Path("limit.jpg"), beyond = tmp.Path("beyond.jpg");
    testsupport::WriteAll(tmp.Path("in.ppm"), SourcePpm());
    testsupport::WriteAll(script, ScanScript(kMaxJPEGScans));
    ASSERT_EQ(std::system(("cjpeg -grayscale -quality 90 -scans " + script + " -outfile " + atLimit + " " + tmp.Path("in.ppm")).c_str()), 0);
    const std::string jpeg = testsupport::ReadAll(atLimit);
    const std::size_t lastScan = jpeg.rfind("\xff\xda"), end = jpeg.rfind("\xff\xd9");
    ASSERT_TRUE(lastScan != std::string::npos && end == jpeg.size() - 2);
    testsupport::WriteAll(beyond, jpeg.substr(0, end) + jpeg.substr(lastScan, end - lastScan) + "\xff\xd9");
    const std::string djpeg = "djpeg -maxscans " + std::to_string(kMaxJPEGScans) + " -outfile /dev/null ";
    EXPECT_EQ(std::system((djpeg + atLimit).c_str()), 0);
    EXPECT_NE(std::system((djpeg + beyond + " 2>/dev/null").c_str()), 0);

    ExpectSameAsDjpeg(tmp, atLimit);
    TStringStream s(testsupport::ReadAll(beyond));
    TJPEGImage j;
    j.LoadFromStream(&s);  // the header alone is sound
    EXPECT_EQ(j.Width(), 45);
    try {
        j.Bitmap();
        ADD_FAILURE() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "JPEG error: too many scans");
    }
}

// Found by the fuzzer: 150 bytes of one arithmetic-coded progressive scan of a grey frame 62991 x 8.
// libjpeg reads it (with a warning about two stray bytes); so does TJPEGImage, pixel for pixel.
TEST(Jpeg, WideArithmeticCodedGreyFrameMatchesDjpeg) {
    static const char kFile[] =
        "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00\x43"
        "\x00\x2d\x08\x06\x06\x07\x06\x05\x08\x07\x07\x07\x09\x09\x08\x0a\x0c\x14\x0d\x0c\x0b\x0b\x0c\x19"
        "\x12\x13\x0f\x14\x1d\x1a\x1f\x1e\x1d\x1a\x1c\x1c\x20\x24\x2e\x27\x20\x22\x2c\x23\x1c\x1c\x6c\x28"
        "\x33\x2c\xd2\xce\x30\x34\x34\x32\x1f\x27\x39\x3d\x38\x32\x3c\x2e\x33\x34\x32\xff\xca\x00\x0b\x08"
        "\x00\x08\xf6\x0f\x01\x01\x11\x00\xff\xc4\x00\x14\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00\x00\x00\x00\x05\xff\xda\x00\x08\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\xf5\x3f\x10"
        "\x32\x43\x98\x69\xff\xd9";
    testsupport::TempState tmp;
    testsupport::WriteAll(tmp.Path("wide.jpg"), std::string(kFile, sizeof kFile - 1));
    ExpectSameAsDjpeg(tmp, tmp.Path("wide.jpg"), 2);
}

}  // namespace
