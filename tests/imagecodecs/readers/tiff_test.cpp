// The TIFF reader against libtiff's and netpbm's own output of the same files, and hand-built
// files for what no tool writes (Lab, YCbCr, unsorted directories, inline SHORT strip tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "imagecodecs/PictureReaders.h"
#include "imagecodecs/readers/reader_tools.h"
#include "support/tempstate.h"

using namespace readertest;

namespace {

struct ToolCase {
    const char* Name;
    bool Grey;
    int Colours;      // 0: true colour
    const char* Make;  // shell command: %in (a PNM) -> %out (a TIFF)
    int Bits;          // expected bitmap depth
};

std::string Subst(std::string s, const std::string& in, const std::string& out) {
    for (std::size_t p; (p = s.find("%in")) != std::string::npos;) s.replace(p, 3, in);
    for (std::size_t p; (p = s.find("%out")) != std::string::npos;) s.replace(p, 4, out);
    return s;
}

class TiffTools : public ::testing::TestWithParam<ToolCase> {};

TEST_P(TiffTools, PixelsMatchTifftopnm) {
    const ToolCase& c = GetParam();
    testsupport::TempState state;
    const std::string src = state.Path("src.pnm"), tif = state.Path("x.tif"), ref = state.Path("ref.pnm");
    // Odd sizes: rows that do not end on a byte or a strip boundary.
    WritePNM(src, Pattern(61, 37, 7, c.Colours, c.Grey), c.Grey);
    ASSERT_TRUE(Shell(Subst(c.Make, src, tif)));
    ASSERT_TRUE(Shell("tifftopnm " + tif + " > " + ref));
    TTIFFGraphic g;
    LoadInto(g, tif);
    EXPECT_EQ(g.BitsPerPixel(), c.Bits);
    EXPECT_EQ(Difference(FromBitmap(&g), ReadPNM(ref)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TiffTools,
    ::testing::Values(
        ToolCase{"rgb_none", false, 0, "pnmtotiff -truecolor -none %in > %out", 24},
        ToolCase{"rgb_lzw", false, 0, "pnmtotiff -truecolor -lzw %in > %out", 24},
        ToolCase{"rgb_lzw_predictor", false, 0, "pnmtotiff -truecolor -lzw -predictor=2 %in > %out", 24},
        ToolCase{"rgb_packbits", false, 0, "pnmtotiff -truecolor -packbits %in > %out", 24},
        ToolCase{"rgb_big_endian_strips", false, 0, "pnmtotiff -truecolor %in > %out.a && tiffcp -B -c lzw:2 -r 5 %out.a %out", 24},
        ToolCase{"rgb_little_endian_strips", false, 0, "pnmtotiff -truecolor %in > %out.a && tiffcp -L -c packbits -r 3 %out.a %out", 24},
        ToolCase{"grey_lzw", true, 0, "pnmtotiff -lzw %in > %out", 8},
        ToolCase{"grey_miniswhite", true, 0, "pnmtotiff -miniswhite %in > %out", 8},
        ToolCase{"grey_predictor_strips", true, 0, "pnmtotiff %in > %out.a && tiffcp -c lzw:2 -r 4 %out.a %out", 8},
        ToolCase{"palette", false, 40, "pnmtotiff -lzw %in > %out", 8},
        ToolCase{"palette_big_endian", false, 40, "pnmtotiff %in > %out.a && tiffcp -B -r 7 %out.a %out", 8},
        ToolCase{"rgb16", false, 0, "convert %in -depth 16 -compress none %out", 24},
        ToolCase{"rgb16_big_endian_predictor", false, 0, "convert %in -depth 16 %out.a.tif && tiffcp -B -c lzw:2 %out.a.tif %out", 24},
        ToolCase{"grey16", true, 0, "convert %in -depth 16 -compress lzw %out", 8}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TiffReader, BilevelPicturesBothWays) {
    testsupport::TempState state;
    const std::string src = state.Path("src.pgm");
    WritePNM(src, Pattern(21, 9, 3, 2, true), true);
    for (const char* opt : {"-minisblack", "-miniswhite"}) {
        const std::string tif = state.Path(std::string("b") + opt + ".tif"), ref = state.Path("ref.pbm");
        ASSERT_TRUE(Shell("pgmtopbm -threshold " + src + " | pnmtotiff -g4 " + opt + " > /dev/null; pgmtopbm -threshold " + src +
                        " | pnmtotiff " + opt + " > " + tif));
        ASSERT_TRUE(Shell("tifftopnm " + tif + " > " + ref));
        TTIFFGraphic g;
        LoadInto(g, tif);
        EXPECT_EQ(g.BitsPerPixel(), 1) << opt;
        EXPECT_EQ(Difference(FromBitmap(&g), ReadPNM(ref)), 0) << opt;
    }
}

// Sixteen grey levels in 4 bits, black is zero (ImageMagick) and white is zero (the same file
// with its photometric tag set by tiffset): the levels run 0, 17, ..., 255 as libtiff reads them.
TEST(TiffReader, FourBitGreySpansTheWholeRange) {
    testsupport::TempState state;
    const std::string src = state.Path("src.pgm");
    const int w = 19, h = 6;
    std::string grey = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey += static_cast<char>((x + 5 * y) % 16 * 17);
    testsupport::WriteAll(src, grey);
    const std::string black = state.Path("black.tif"), white = state.Path("white.tif");
    ASSERT_TRUE(Shell("convert " + src + " -depth 4 -compress none " + black));
    ASSERT_TRUE(Shell("cp " + black + " " + white + " && tiffset -s 262 0 " + white));
    for (const std::string& tif : {black, white}) {
        const std::string ref = tif + ".pgm";
        ASSERT_TRUE(Shell("tifftopnm " + tif + " 2>/dev/null | pnmdepth 255 > " + ref));
        TTIFFGraphic g;
        LoadInto(g, tif);
        EXPECT_EQ(g.BitsPerPixel(), 4) << tif;
        EXPECT_EQ(Difference(FromBitmap(&g), ReadPNM(ref)), 0) << tif;
    }
    TTIFFGraphic g;
    LoadInto(g, black);
    EXPECT_EQ(Difference(FromBitmap(&g), ReadPNM(src)), 0);
}

TEST(TiffReader, CmykWithinOneOfImageMagick) {
    testsupport::TempState state;
    const std::string src = state.Path("src.ppm"), tif = state.Path("c.tif"), ref = state.Path("ref.ppm");
    WritePNM(src, Pattern(33, 17, 5));
    for (const char* depth : {"8", "16"}) {
        ASSERT_TRUE(Shell(std::string("convert ") + src + " -colorspace CMYK -depth " + depth + " -compress none " + tif));
        ASSERT_TRUE(Shell("convert " + tif + " -depth 8 ppm:" + ref));
        TTIFFGraphic g;
        LoadInto(g, tif);
        const int d = Difference(FromBitmap(&g), ReadPNM(ref));
        EXPECT_GE(d, 0) << depth;
        EXPECT_LE(d, 1) << depth;
    }
}

TEST(TiffReader, RgbaFromPillowKeepsAlpha) {
    testsupport::TempState state;
    const std::string tif = state.Path("a.tif");
    ASSERT_TRUE(Shell(Python() + " -c \"from PIL import Image; im = Image.new('RGBA', (5, 3)); "
                               "im.putdata([(x * 40, y * 80, 7, x * 10 + y) for y in range(3) for x in range(5)]); "
                               "im.save('" + tif + "', compression='tiff_lzw')\""));
    TTIFFGraphic g;
    LoadInto(g, tif);
    ASSERT_EQ(g.BitsPerPixel(), 32);
    const Image im = FromBitmap(&g);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(im.At(x, y)[0], x * 40);
            EXPECT_EQ(im.At(x, y)[1], y * 80);
            EXPECT_EQ(im.At(x, y)[2], 7);
            EXPECT_EQ(im.Alpha[static_cast<std::size_t>(y * 5 + x)], x * 10 + y);
        }
}

// A hand-built little- or big-endian TIFF: the entries as given (their order kept), the values
// that do not fit in an entry placed after the directory, then the strips.
struct Tag {
    std::uint16_t Id, Type;
    std::vector<std::uint32_t> Values;
};

std::string BuildTiff(std::vector<Tag> tags, const std::vector<std::string>& strips, bool big = false) {
    std::string f = big ? "MM" : "II";
    Put16(f, 42, big);
    Put32(f, 8, big);
    const std::size_t dirSize = 2 + tags.size() * 12 + 4;
    std::string extra;
    std::size_t dataAt = 8 + dirSize;
    // Strip offsets are filled in once the extra values' size is known.
    auto size = [](std::uint16_t t) { return t == 3 ? 2u : t == 4 ? 4u : 1u; };
    std::size_t extraBytes = 0;
    for (const auto& t : tags)
        if (t.Values.size() * size(t.Type) > 4) extraBytes += t.Values.size() * size(t.Type);
    std::size_t stripAt = dataAt + extraBytes;
    for (auto& t : tags)
        if (t.Id == 273 && t.Values.empty()) {
            for (const auto& s : strips) {
                t.Values.push_back(static_cast<std::uint32_t>(stripAt));
                stripAt += s.size();
            }
        }
    std::string dir;
    Put16(dir, static_cast<unsigned>(tags.size()), big);
    for (const auto& t : tags) {
        Put16(dir, t.Id, big);
        Put16(dir, t.Type, big);
        Put32(dir, static_cast<std::uint32_t>(t.Values.size()), big);
        std::string v;
        for (auto x : t.Values) {
            if (t.Type == 3) Put16(v, x, big);
            else if (t.Type == 4) Put32(v, x, big);
            else v += static_cast<char>(x);
        }
        if (v.size() <= 4) {
            v.resize(4, '\0');
            dir += v;
        } else {
            Put32(dir, static_cast<std::uint32_t>(dataAt + extra.size()), big);
            extra += v;
        }
    }
    Put32(dir, 0, big);
    f += dir + extra;
    for (const auto& s : strips) f += s;
    return f;
}

Image LoadBytes(const std::string& bytes, TTIFFGraphic& g) {
    TStringStream s(bytes);
    g.LoadFromStream(&s);
    return FromBitmap(&g);
}

std::string Rgb(std::initializer_list<int> v) {
    std::string s;
    for (int x : v) s += static_cast<char>(x);
    return s;
}

TEST(TiffReader, UnsortedDirectoryAndInlineShortStripTables) {
    // Two strips of one row each; the strip tables are SHORT arrays held in the entries themselves,
    // and the directory lists its tags out of order.
    const std::vector<std::string> strips = {Rgb({10, 20, 30, 40, 50, 60}), Rgb({70, 80, 90, 100, 110, 120})};
    std::vector<Tag> tags = {{262, 3, {2}}, {256, 3, {2}}, {257, 3, {2}}, {258, 3, {8, 8, 8}}, {277, 3, {3}},
                             {278, 3, {1}}, {279, 3, {6, 6}}, {273, 3, {}}};
    TTIFFGraphic g;
    const Image im = LoadBytes(BuildTiff(tags, strips), g);
    ASSERT_EQ(im.Width, 2);
    ASSERT_EQ(im.Height, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(im.RGB.begin(), im.RGB.end()),
              (std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120}));
}

TEST(TiffReader, ShortLastStripIsZeroFilled) {
    std::vector<Tag> tags = {{256, 3, {2}}, {257, 3, {2}}, {258, 3, {8}}, {262, 3, {1}}, {273, 4, {}}, {279, 4, {4}}};
    TTIFFGraphic g;
    const Image im = LoadBytes(BuildTiff(tags, {Rgb({1, 2, 3})}), g);
    ASSERT_EQ(im.Height, 2);
    EXPECT_EQ(im.At(0, 0)[0], 1);
    EXPECT_EQ(im.At(1, 0)[0], 2);
    EXPECT_EQ(im.At(0, 1)[0], 3);
    EXPECT_EQ(im.At(1, 1)[0], 0);
}

TEST(TiffReader, FourBitPaletteTakesThirdsOfTheColourMap) {
    std::vector<std::uint32_t> map;
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 16; ++j) map.push_back(static_cast<std::uint32_t>(((c * 16 + j) * 5) << 8 | 0x7F));
    std::vector<Tag> tags = {{256, 3, {4}}, {257, 3, {1}}, {258, 3, {4}}, {262, 3, {3}}, {273, 4, {}}, {279, 4, {2}}, {320, 3, map}};
    TTIFFGraphic g;
    const Image im = LoadBytes(BuildTiff(tags, {Rgb({0x01, 0xF3})}), g);
    EXPECT_EQ(g.BitsPerPixel(), 4);
    const int pixels[4] = {0, 1, 15, 3};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(im.At(x, 0)[0], pixels[x] * 5);
        EXPECT_EQ(im.At(x, 0)[1], (16 + pixels[x]) * 5);
        EXPECT_EQ(im.At(x, 0)[2], (32 + pixels[x]) * 5);
    }
}

TEST(TiffReader, LabAndYCbCrAgainstHandComputedValues) {
    // Lab: white, mid grey, a red, and a dark colour on the linear branch (L below 7.9996).
    std::vector<Tag> lab = {{256, 3, {4}}, {257, 3, {1}}, {258, 3, {8, 8, 8}}, {262, 3, {8}}, {273, 4, {}}, {277, 3, {3}}, {279, 4, {12}}};
    TTIFFGraphic g;
    Image im = LoadBytes(BuildTiff(lab, {Rgb({255, 0, 0, 128, 0, 0, 136, 80, 67, 10, 5, 0xFD})}), g);
    // L 99.6: fy 0.99655, X = Y = Z = 0.98969: red 252.18, green and blue 252.43.
    // L 50: Y 0.18419: 46.92 and 46.97. L 53.1, a 80, b 67: 249.07, -2.44, 5.20.
    // L 3.9, a 5, b -3: Y 0.004325, X 0.005609, Z 0.006251: 1.82, 0.82, 1.67.
    const int want[4][3] = {{252, 252, 252}, {47, 47, 47}, {249, 0, 5}, {2, 1, 2}};
    for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(im.At(x, 0)[c], want[x][c]) << x << "," << c;
    // YCbCr 1x1 subsampled: Y 100, Cb 128, Cr 228 -> red 100 + 140.2 = 240, green 100 - 71.4 = 29, blue 100.
    std::vector<Tag> ycc = {{256, 3, {1}}, {257, 3, {1}}, {258, 3, {8, 8, 8}}, {262, 3, {6}}, {273, 4, {}}, {277, 3, {3}},
                            {279, 4, {3}}, {530, 3, {1, 1}}};
    im = LoadBytes(BuildTiff(ycc, {Rgb({100, 128, 228})}), g);
    EXPECT_EQ(im.At(0, 0)[0], 240);
    EXPECT_EQ(im.At(0, 0)[1], 29);
    EXPECT_EQ(im.At(0, 0)[2], 100);
}

TEST(TiffReader, FaultsRaiseTheirMessages) {
    const std::vector<Tag> good = {{256, 3, {1}}, {257, 3, {1}}, {258, 3, {8}}, {262, 3, {1}}, {273, 4, {}}, {279, 4, {1}}};
    auto with = [&](std::uint16_t id, std::vector<std::uint32_t> v) {
        std::vector<Tag> t = good;
        bool found = false;
        for (auto& x : t)
            if (x.Id == id) x.Values = v, found = true;
        if (!found) t.push_back({id, 3, v});
        std::sort(t.begin(), t.end(), [](const Tag& a, const Tag& b) { return a.Id < b.Id; });
        return BuildTiff(t, {Rgb({9})});
    };
    std::string badVersion = BuildTiff(good, {Rgb({9})});
    badVersion[2] = 43;
    const struct {
        std::string Bytes;
        const char* Message;
    } cases[] = {
        {badVersion, "Invalid TIFF file."},
        {with(256, {0}), "Invalid TIFF file."},
        {with(257, {0}), "Invalid TIFF file."},
        {with(259, {7}), "TIFF: Unknown compression scheme"},
        {with(322, {16}), "Invalid TIFF file."},                                            // tiled
        {BuildTiff({{256, 3, {1}}, {257, 3, {1}}, {258, 3, {16}}, {262, 3, {3}}, {273, 4, {}}, {279, 4, {2}}, {320, 4, {8}}},
                   {Rgb({9, 9}) + std::string(3 * 65536 * 2, '\0')}),
         "Invalid TIFF file."},  // a 16-bit palette: more colours than a bitmap palette holds
        {BuildTiff({{256, 3, {60000}}, {257, 3, {60000}}, {258, 3, {8}}, {262, 3, {1}}, {273, 4, {}}, {279, 4, {1}}}, {Rgb({9})}),
         "Invalid image dimensions"},
        {"II*", "Stream read error"},
    };
    for (const auto& c : cases) {
        TTIFFGraphic g;
        TStringStream s(c.Bytes);
        try {
            g.LoadFromStream(&s);
            ADD_FAILURE() << "no error, expected " << c.Message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.Message);
        }
    }
    // Separate planes of three samples are refused; for one sample the planar setting means nothing.
    std::vector<Tag> planar = {{256, 3, {1}}, {257, 3, {1}}, {258, 3, {8, 8, 8}}, {262, 3, {2}}, {273, 4, {}}, {277, 3, {3}},
                               {279, 4, {3}}, {284, 3, {2}}};
    {
        TTIFFGraphic g;
        TStringStream s(BuildTiff(planar, {Rgb({1, 2, 3})}));
        try {
            g.LoadFromStream(&s);
            ADD_FAILURE() << "planar file read";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Invalid TIFF file.");
        }
        TTIFFGraphic one;
        TStringStream s1(with(284, {2}));
        EXPECT_NO_THROW(one.LoadFromStream(&s1));
    }
    // A corrupt LZW strip.
    std::vector<Tag> lzw = good;
    lzw.push_back({259, 3, {5}});
    lzw[5].Values = {3};
    std::sort(lzw.begin(), lzw.end(), [](const Tag& a, const Tag& b) { return a.Id < b.Id; });
    TTIFFGraphic g;
    TStringStream s(BuildTiff(lzw, {Rgb({0xFF, 0x80, 0x00})}));
    try {
        g.LoadFromStream(&s);
        ADD_FAILURE() << "no LZW error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "TIF LZW: invalid opcode.");
    }
}

TEST(TiffReader, SavingRaises) {
    TTIFFGraphic g;
    TMemoryStream s;
    EXPECT_THROW(g.SaveToStream(&s), EInvalidGraphicOperation);
    EXPECT_EQ(s.Size(), 0);
}

}  // namespace
