// The SGI, Targa, PCX, PPM and GIF readers against netpbm's and ImageMagick's output of the same
// files, and the Targa writer read back by ImageMagick, netpbm and Pillow.
#include <gtest/gtest.h>

#include "imagecodecs/PictureReaders.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"
#include "imagecodecs/readers/reader_tools.h"
#include "support/tempstate.h"

using namespace readertest;

namespace {

std::string Subst(std::string s, const std::string& in, const std::string& out) {
    for (std::size_t p; (p = s.find("%in")) != std::string::npos;) s.replace(p, 3, in);
    for (std::size_t p; (p = s.find("%out")) != std::string::npos;) s.replace(p, 4, out);
    return s;
}

enum class Reader { SGI, Targa, PCX, PPM, GIF };

std::unique_ptr<TBitmap> Load(Reader r, const std::string& path) {
    std::unique_ptr<TBitmap> g;
    switch (r) {
        case Reader::SGI: g = std::make_unique<TSGIGraphic>(); break;
        case Reader::Targa: g = std::make_unique<TTargaGraphic>(); break;
        case Reader::PCX: g = std::make_unique<TPCXGraphic>(); break;
        case Reader::PPM: g = std::make_unique<TPPMGraphic>(); break;
        case Reader::GIF: g = std::make_unique<TGIFGraphic>(); break;
    }
    TFileStream f(path, fmOpenRead);
    g->LoadFromStream(&f);
    return g;
}

struct ToolCase {
    const char* Name;
    Reader Kind;
    bool Grey;
    int Colours;
    int Width, Height;
    const char* Make;    // %in (PNM) -> %out
    const char* Oracle;  // %in (the file) -> %out (PNM)
    int Bits;
};

class ToolFiles : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolFiles, PixelsMatchTheReference) {
    const ToolCase& c = GetParam();
    testsupport::TempState state;
    const std::string src = state.Path("src.pnm"), file = state.Path("file"), ref = state.Path("ref.pnm");
    WritePNM(src, Pattern(c.Width, c.Height, 11, c.Colours, c.Grey), c.Grey);
    ASSERT_TRUE(Shell(Subst(c.Make, src, file)));
    ASSERT_TRUE(Shell(Subst(c.Oracle, file, ref)));
    auto g = Load(c.Kind, file);
    EXPECT_EQ(g->BitsPerPixel(), c.Bits);
    EXPECT_EQ(Difference(FromBitmap(g.get()), ReadPNM(ref)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ToolFiles,
    ::testing::Values(
        ToolCase{"sgi_rle", Reader::SGI, false, 0, 45, 23, "pnmtosgi -rle %in > %out", "sgitopnm %in > %out", 24},
        ToolCase{"sgi_verbatim", Reader::SGI, false, 0, 45, 23, "pnmtosgi -verbatim %in > %out", "sgitopnm %in > %out", 24},
        ToolCase{"sgi_grey_rle", Reader::SGI, true, 0, 30, 7, "pnmtosgi -rle %in > %out", "sgitopnm %in > %out", 8},
        ToolCase{"sgi_16bit_rle", Reader::SGI, false, 0, 19, 5, "pnmdepth 65535 %in | pnmtosgi -rle > %out", "sgitopnm %in | pnmdepth 255 > %out", 24},
        ToolCase{"sgi_16bit_verbatim", Reader::SGI, false, 0, 19, 5, "pnmdepth 65535 %in | pnmtosgi -verbatim > %out", "sgitopnm %in | pnmdepth 255 > %out", 24},
        ToolCase{"sgi_rgba_magick", Reader::SGI, false, 0, 17, 9, "convert %in -alpha opaque -depth 8 sgi:%out", "convert sgi:%in -depth 8 ppm:%out", 32},
        ToolCase{"tga_rgb_rle", Reader::Targa, false, 0, 140, 6, "pamtotga -rgb %in > %out", "tgatoppm %in > %out", 24},
        ToolCase{"tga_rgb_raw", Reader::Targa, false, 0, 40, 6, "pamtotga -rgb -norle %in > %out", "tgatoppm %in > %out", 24},
        ToolCase{"tga_cmap_rle", Reader::Targa, false, 50, 33, 8, "pamtotga -cmap %in > %out", "tgatoppm %in > %out", 8},
        ToolCase{"tga_grey_rle", Reader::Targa, true, 0, 33, 8, "pamtotga -mono %in > %out", "tgatoppm %in > %out", 8},
        ToolCase{"tga_magick_rle_bottom_up", Reader::Targa, false, 0, 200, 5, "convert %in -compress RLE tga:%out", "tgatoppm %in > %out", 24},
        ToolCase{"tga_magick_alpha", Reader::Targa, false, 0, 20, 5, "convert %in -alpha opaque tga:%out", "tgatoppm %in > %out", 32},
        ToolCase{"pcx_24bit", Reader::PCX, false, 0, 41, 13, "ppmtopcx -24bit %in > %out", "pcxtoppm %in > %out", 24},
        ToolCase{"pcx_8bit", Reader::PCX, false, 200, 41, 13, "ppmtopcx -8bit %in > %out", "pcxtoppm %in > %out", 8},
        ToolCase{"pcx_4planes", Reader::PCX, false, 12, 43, 13, "ppmtopcx -planes 4 %in > %out", "pcxtoppm %in > %out", 4},
        ToolCase{"pcx_mono", Reader::PCX, true, 2, 10, 4, "pgmtopbm -threshold %in | ppmtopcx > %out", "pcxtoppm %in > %out", 1},
        ToolCase{"pcx_magick_8bit", Reader::PCX, false, 100, 31, 9, "convert %in -type palette pcx:%out", "convert pcx:%in -depth 8 ppm:%out", 8},
        ToolCase{"ppm_p6", Reader::PPM, false, 0, 23, 11, "cp %in %out", "cp %in %out", 24},
        ToolCase{"ppm_p3_plain", Reader::PPM, false, 0, 23, 11, "pnmtoplainpnm %in > %out", "pamtopnm %in > %out", 24},
        ToolCase{"pgm_p5", Reader::PPM, true, 0, 23, 11, "cp %in %out", "cp %in %out", 8},
        ToolCase{"pgm_p2_plain", Reader::PPM, true, 0, 23, 11, "pnmtoplainpnm %in > %out", "pamtopnm %in > %out", 8},
        // netpbm writes a bilevel map for a 1-bit picture whatever the name says.
        ToolCase{"pbm_p4_named_ppm", Reader::PPM, true, 2, 37, 11, "pgmtopbm -threshold %in > %out", "cp %in %out", 1},
        ToolCase{"pbm_p1_plain_named_ppm", Reader::PPM, true, 2, 37, 11, "pgmtopbm -threshold %in | pnmtoplainpnm > %out", "pamtopnm %in > %out", 1},
        ToolCase{"ppm_16bit", Reader::PPM, false, 0, 23, 11, "pnmdepth 65535 %in > %out", "cp %in %out", 24},
        ToolCase{"ppm_maxval_15", Reader::PPM, false, 0, 23, 11, "pnmdepth 15 %in > %out", "pnmdepth 255 %in > %out", 24},
        ToolCase{"gif_netpbm", Reader::GIF, false, 60, 37, 21, "pnmquant 64 %in | pamtogif > %out", "giftopnm %in > %out", 8},
        ToolCase{"gif_interlaced", Reader::GIF, false, 60, 37, 21, "pnmquant 64 %in | pamtogif -interlace > %out", "giftopnm %in > %out", 8},
        ToolCase{"gif_tiny", Reader::GIF, false, 3, 2, 1, "pnmquant 4 %in | pamtogif > %out", "giftopnm %in > %out", 8},
        ToolCase{"gif_magick_big", Reader::GIF, false, 0, 150, 90, "convert %in -colors 256 gif:%out", "giftopnm %in > %out", 8}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Targa by hand -----------------------------------------------------------------------------

std::string TgaHeader(int idLength, int mapType, int type, int first, int mapLength, int entryBits, int w, int h, int depth,
                      int descriptor) {
    std::string s;
    s += static_cast<char>(idLength);
    s += static_cast<char>(mapType);
    s += static_cast<char>(type);
    Put16(s, static_cast<unsigned>(first));
    Put16(s, static_cast<unsigned>(mapLength));
    s += static_cast<char>(entryBits);
    Put16(s, 0);
    Put16(s, 0);
    Put16(s, static_cast<unsigned>(w));
    Put16(s, static_cast<unsigned>(h));
    s += static_cast<char>(depth);
    s += static_cast<char>(descriptor);
    return s;
}

Image LoadTga(const std::string& bytes, TTargaGraphic& g) {
    TStringStream s(bytes);
    g.LoadFromStream(&s);
    return FromBitmap(&g);
}

TEST(TargaReader, FifteenAndSixteenBitPixelsAndPacketsAcrossRows) {
    // 2 x 2, 16 bits, bottom row first; one run packet of 3 pixels covers the bottom row and the
    // first pixel of the top row, then a raw packet of one.
    for (int depth : {15, 16}) {
        std::string f = TgaHeader(0, 0, 10, 0, 0, 0, 2, 2, depth, 0);
        f += static_cast<char>(0x82);
        Put16(f, 0x7C00);  // red
        f += static_cast<char>(0x00);
        Put16(f, 0x001F);  // blue
        TTargaGraphic g;
        const Image im = LoadTga(f, g);
        EXPECT_EQ(g.PixelFormat(), pf15bit);
        ASSERT_EQ(im.Height, 2);
        EXPECT_EQ(im.At(0, 1)[0], 248) << depth;  // bottom row: red
        EXPECT_EQ(im.At(1, 1)[0], 248);
        EXPECT_EQ(im.At(0, 0)[0], 248);  // top row starts with the rest of the run
        EXPECT_EQ(im.At(1, 0)[2], 248);
        EXPECT_EQ(im.At(1, 0)[0], 0);
    }
}

TEST(TargaReader, ColourMapFromItsFirstIndexAndSixteenBitEntries) {
    std::string f = TgaHeader(3, 1, 1, 5, 2, 16, 2, 1, 8, 0x20) + "abc";
    Put16(f, 0x03E0);  // entry 5: green
    Put16(f, 0x7FFF);  // entry 6: white
    f += "\x05\x06";
    TTargaGraphic g;
    const Image im = LoadTga(f, g);
    EXPECT_EQ(g.ImageID(), "abc");
    EXPECT_EQ(im.At(0, 0)[1], 248);
    EXPECT_EQ(im.At(0, 0)[0], 0);
    EXPECT_EQ(im.At(1, 0)[0], 248);
    EXPECT_EQ(im.At(1, 0)[2], 248);
}

TEST(TargaReader, GreyFileSkipsItsColourMap) {
    std::string f = TgaHeader(0, 1, 3, 0, 2, 24, 2, 1, 8, 0x20) + std::string(6, '\x55') + "\x10\xF0";
    TTargaGraphic g;
    const Image im = LoadTga(f, g);
    EXPECT_EQ(im.At(0, 0)[0], 0x10);
    EXPECT_EQ(im.At(1, 0)[2], 0xF0);
}

TEST(TargaReader, TypeZeroKeepsTheSizeAndFaultsRaise) {
    TTargaGraphic g;
    LoadTga(TgaHeader(0, 0, 0, 0, 0, 0, 7, 3, 24, 0), g);
    EXPECT_EQ(g.Width(), 7);
    EXPECT_EQ(g.Height(), 3);
    for (const std::string& bad : {TgaHeader(0, 0, 2, 0, 0, 0, 4, 4, 24, 0) + "short", std::string("\0\0\2", 3)}) {
        TTargaGraphic b;
        TStringStream s(bad);
        try {
            b.LoadFromStream(&s);
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Targa: invalid image");
        }
    }
}

// ---- The Targa writer --------------------------------------------------------------------------

TEST(TargaWriter, FilesReadBackByThreePeers) {
    testsupport::TempState state;
    const Image src = Pattern(300, 4, 21);  // rows longer than one packet holds
    const std::string ppm = state.Path("src.ppm");
    WritePNM(ppm, src);
    for (TPixelFormat pf : {pf24bit, pf32bit, pf8bit}) {
        TTargaGraphic g;
        {
            TPPMGraphic p;
            LoadInto(p, ppm);
            g.Assign(&p);
        }
        if (pf == pf8bit) {
            // Few colours, so the conversion keeps them exactly.
            const Image few = Pattern(300, 4, 21, 20);
            WritePNM(ppm, few);
            TPPMGraphic p;
            LoadInto(p, ppm);
            g.Assign(&p);
        }
        g.SetPixelFormat(pf);
        const Image want = FromBitmap(&g);
        const std::string tga = state.Path("out.tga");
        g.SaveToFile(tga);
        const std::string bytes = testsupport::ReadAll(tga);
        ASSERT_GE(bytes.size(), 18u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[17]), 0x20);
        EXPECT_EQ(static_cast<unsigned char>(bytes[2]), pf == pf8bit ? 9 : 10);
        const std::string a = state.Path("a.ppm"), b = state.Path("b.ppm"), c = state.Path("c.ppm");
        ASSERT_TRUE(Shell("tgatoppm " + tga + " > " + a));
        ASSERT_TRUE(Shell("convert tga:" + tga + " -alpha off -depth 8 ppm:" + b));
        ASSERT_TRUE(Shell(Python() + " -c \"from PIL import Image; Image.open('" + tga + "').convert('RGB').save('" + c + "', 'PPM')\""));
        for (const std::string& out : {a, b, c}) EXPECT_EQ(Difference(want, ReadPNM(out)), 0) << out << " " << pf;
        TTargaGraphic back;
        LoadInto(back, tga);
        EXPECT_EQ(Difference(want, FromBitmap(&back)), 0);
    }
}

TEST(TargaWriter, SixteenBitPixelsAreWrittenAsFiveFiveFive) {
    TTargaGraphic g;
    g.SetPixelFormat(pf16bit);
    g.SetSize(2, 1);
    auto* row = static_cast<std::uint16_t*>(g.ScanLine(0));
    row[0] = 0xF800;  // 5-6-5 red
    row[1] = 0x07E0;  // 5-6-5 green
    TMemoryStream s;
    g.SaveToStream(&s);
    s.SetPosition(0);
    TTargaGraphic back;
    back.LoadFromStream(&s);
    const Image im = FromBitmap(&back);
    EXPECT_EQ(im.At(0, 0)[0], 248);
    EXPECT_EQ(im.At(0, 0)[1], 0);
    EXPECT_EQ(im.At(1, 0)[1], 248);
    EXPECT_EQ(im.At(1, 0)[0], 0);
}

TEST(TargaWriter, FourBitPicturesAskBeforeTheyAreConverted) {
    headless::TSession session;
    headless::THeadlessBackend& hl = headless::Headless();
    TTargaGraphic g;
    g.SetPixelFormat(pf4bit);
    g.SetSize(5, 2);
    TMemoryStream cancelled;
    hl.QueueBoxAnswer(IDCANCEL);
    g.SaveToStream(&cancelled);
    EXPECT_EQ(cancelled.Size(), 0);
    EXPECT_EQ(g.PixelFormat(), pf4bit);
    ASSERT_EQ(hl.Boxes().size(), 1u);
    EXPECT_EQ(hl.Boxes()[0].Text, "Targa image: 1 or 4 bit color depth not allowed. Convert to 256 colors?");
    EXPECT_EQ(hl.Boxes()[0].Icon, "warning");
    EXPECT_EQ(hl.Boxes()[0].Buttons, (std::vector<int>{IDOK, IDCANCEL}));
    TMemoryStream saved;
    hl.QueueBoxAnswer(IDOK);
    g.SaveToStream(&saved);
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    ASSERT_GT(saved.Size(), 18 + 768);
    EXPECT_EQ(static_cast<unsigned char>(saved.Data()[1]), 1);  // colour map type
    EXPECT_EQ(static_cast<unsigned char>(saved.Data()[2]), 9);
    EXPECT_EQ(static_cast<unsigned char>(saved.Data()[5]) | (static_cast<unsigned char>(saved.Data()[6]) << 8), 256);
}

// A 16-colour BMP saved as Targa keeps its colours through the conversion to 256 colours.
TEST(TargaWriter, AFourBitBmpKeepsItsColours) {
    headless::TSession session;
    testsupport::TempState state;
    const std::string src = state.Path("src.ppm"), bmp = state.Path("src.bmp"), tga = state.Path("out.tga"),
                      back = state.Path("back.ppm");
    const Image few = Pattern(37, 23, 9, 16);
    WritePNM(src, few);
    ASSERT_TRUE(Shell("ppmtobmp -bpp 4 " + src + " > " + bmp + " 2>/dev/null"));
    TTargaGraphic g;
    {
        TBitmap b;
        b.LoadFromFile(bmp);
        ASSERT_EQ(b.BitsPerPixel(), 4);
        g.Assign(&b);
    }
    headless::Headless().QueueBoxAnswer(IDOK);
    g.SaveToFile(tga);
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    ASSERT_TRUE(Shell("tgatoppm " + tga + " > " + back));
    EXPECT_EQ(Difference(few, ReadPNM(back)), 0);
}

TEST(TargaWriter, UncompressedModeAndEmptyBitmap) {
    TTargaGraphic g;
    TMemoryStream empty;
    g.SaveToStream(&empty);
    EXPECT_EQ(empty.Size(), 0);
    g.SetPixelFormat(pf24bit);
    g.SetSize(3, 2);
    TMemoryStream s;
    g.WriteTarga(&s, false);
    EXPECT_EQ(s.Size(), 18 + 3 * 2 * 3);
    EXPECT_EQ(static_cast<unsigned char>(s.Data()[2]), 2);
}

TEST(TargaWriter, AFullDeviceRaisesTheWriteError) {
    // /dev/full takes no byte: the first write of each mode stores fewer bytes than asked.
    TTargaGraphic g;
    g.SetPixelFormat(pf24bit);
    g.SetSize(3, 2);
    for (bool compressed : {true, false}) {
        TFileStream full("/dev/full", fmOpenWrite);
        try {
            g.WriteTarga(&full, compressed);
            ADD_FAILURE() << "no error, compressed " << compressed;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Targa: could not write image data");
        }
    }
}

// ---- PCX, PPM, GIF by hand ---------------------------------------------------------------------

TEST(PcxReader, EndPaletteOnlyAfterItsMark) {
    // An 8-bit picture whose last 769 bytes do not start with 0x0C: not a palette, all pixels kept.
    std::string h(128, '\0');
    h[0] = 10, h[1] = 5, h[2] = 0, h[3] = 8, h[65] = 1;
    h[8] = 0, h[10] = 0;  // 1 x 1... widened below
    h[8] = static_cast<char>(799 & 0xFF), h[9] = static_cast<char>(799 >> 8);  // width 800
    h[66] = static_cast<char>(800 & 0xFF), h[67] = static_cast<char>(800 >> 8);
    h[68] = 2;  // grey
    std::string pixels(800, '\x07');
    pixels[799] = 9;
    TPCXGraphic g;
    TStringStream s(h + pixels);
    g.LoadFromStream(&s);
    const Image im = FromBitmap(&g);
    EXPECT_EQ(im.At(0, 0)[0], 7);
    EXPECT_EQ(im.At(799, 0)[0], 9);
}

TEST(PcxReader, DataThatEndsEarlyLeavesTheRestZero) {
    // 4 x 3, 8 bits, grey; one run of 6 bytes of 5: the first line, half the second, no third.
    std::string h(128, '\0');
    h[0] = 10, h[1] = 5, h[2] = 1, h[3] = 8, h[65] = 1;
    h[8] = 3, h[10] = 2, h[66] = 4, h[68] = 2;
    TPCXGraphic g;
    TStringStream s(h + "\xC6\x05");
    g.LoadFromStream(&s);
    const Image im = FromBitmap(&g);
    ASSERT_EQ(im.Width, 4);
    ASSERT_EQ(im.Height, 3);
    const int want[3][4] = {{5, 5, 5, 5}, {5, 5, 0, 0}, {0, 0, 0, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(im.At(x, y)[0], want[y][x]) << x << "," << y;
}

TEST(PcxReader, FaultsAndSaving) {
    std::string h(128, '\0');
    h[0] = 11;
    for (auto [mark, bits, planes, message] : {std::tuple{11, 8, 1, "Not a PCX or SCR file."}, std::tuple{10, 2, 1, "PCX: wrong pixel format"},
                                               std::tuple{205, 8, 2, "PCX: wrong pixel format"}}) {
        h[0] = static_cast<char>(mark), h[3] = static_cast<char>(bits), h[65] = static_cast<char>(planes);
        TPCXGraphic g;
        TStringStream s(h);
        try {
            g.LoadFromStream(&s);
            ADD_FAILURE() << message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, message);
        }
    }
    TPCXGraphic g;
    TMemoryStream out;
    EXPECT_THROW(g.SaveToStream(&out), EInvalidGraphicOperation);
    TPCDGraphic d;
    EXPECT_THROW(d.SaveToStream(&out), EInvalidGraphicOperation);
}

// Sixteen grey levels written by ppmtopcx in four planes with its palette in level order, the
// header marked grey as ppmtopcx leaves it unmarked: white is 255, as the header's palette says.
TEST(PcxReader, FourBitGreyRunsFromBlackToWhite) {
    testsupport::TempState state;
    const std::string src = state.Path("src.pgm"), pal = state.Path("pal.ppm"), pcx = state.Path("g.pcx"),
                      ref = state.Path("ref.ppm");
    const int w = 21, h = 5;
    std::string grey = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n", levels = "P6\n16 1\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey += static_cast<char>((x + 3 * y) % 16 * 17);
    for (int j = 0; j < 16; ++j) levels += std::string(3, static_cast<char>(j * 17));
    testsupport::WriteAll(src, grey);
    testsupport::WriteAll(pal, levels);
    ASSERT_TRUE(Shell("ppmtopcx -palette=" + pal + " " + src + " > " + pcx));
    std::string bytes = testsupport::ReadAll(pcx);
    ASSERT_EQ(bytes[65], 4);
    bytes[68] = 2;
    testsupport::WriteAll(pcx, bytes);
    ASSERT_TRUE(Shell("pcxtoppm " + pcx + " > " + ref));
    TPCXGraphic g;
    LoadInto(g, pcx);
    EXPECT_EQ(g.BitsPerPixel(), 4);
    const Image im = FromBitmap(&g);
    EXPECT_EQ(Difference(im, ReadPNM(ref)), 0);
    EXPECT_EQ(Difference(im, ReadPNM(src)), 0);
}

Image LoadPpm(const std::string& bytes, TPPMGraphic& g) {
    TStringStream s(bytes);
    g.LoadFromStream(&s);
    return FromBitmap(&g);
}

TEST(PpmReader, HeaderTokensCommentsAndTheEndOfTheFile) {
    TPPMGraphic g;
    Image im = LoadPpm(std::string("P6 2 1 255\n") + "\x01\x02\x03\x04\x05\x06", g);
    ASSERT_EQ(im.Width, 2);
    EXPECT_EQ(im.At(1, 0)[2], 6);
    im = LoadPpm("P2\n# a comment\n3 # width\n1\n255\n10 20\n30", g);  // the last number ends the file
    ASSERT_EQ(im.Width, 3);
    EXPECT_EQ(im.At(2, 0)[0], 30);
    // Bilevel maps: 1 bit, 1 is black; plain digits need no blanks between them.
    im = LoadPpm("P1\n3 2\n1 0# a comment\n1\n001\n", g);
    EXPECT_EQ(g.BitsPerPixel(), 1);
    ASSERT_EQ(im.Width, 3);
    ASSERT_EQ(im.Height, 2);
    const int plain[2][3] = {{0, 255, 0}, {255, 255, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(im.At(x, y)[0], plain[y][x]) << x << "," << y;
    im = LoadPpm("P4\n10 1\n\x81\x40", g);
    ASSERT_EQ(im.Width, 10);
    const int packed[10] = {0, 255, 255, 255, 255, 255, 255, 0, 255, 0};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(im.At(x, 0)[1], packed[x]) << x;
    for (const char* cut : {"P1\n2 1\n1", "P4\n9 1\n\xFF"}) {
        TPPMGraphic e;
        EXPECT_THROW(LoadPpm(cut, e), Exception) << cut;
    }
}

TEST(PpmReader, Faults) {
    const struct {
        std::string Bytes;
        const char* Message;
    } cases[] = {{"", "Not a valid ppm file."},
                 {"Q6\n1 1 255\n", "Not a valid ppm file."},
                 {"P6\n2 2 255\nabc", "PPM: Stream read error."},
                 {"P3\n1 1\n", "PPM: Stream read error."},
                 {"Px\n", "'x' is not a valid integer value"}};
    for (const auto& c : cases) {
        TPPMGraphic g;
        TStringStream s(c.Bytes);
        try {
            g.LoadFromStream(&s);
            ADD_FAILURE() << c.Message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.Message);
        }
    }
}

// Sides up to the bitmaps' limit of 65536 pixels are made; a longer side within the pixel cap is
// the reader's own "Invalid image dimensions", never a bitmap that cannot be made.
TEST(PpmReader, SidesUpToTheBitmapLimitLoadAndLongerOnesAreRefused) {
    testsupport::TempState state;
    const struct {
        int Width, Height;
        const char* Error;  // nullptr: loads
    } cases[] = {{65536, 8, nullptr}, {8, 65536, nullptr}, {70000, 8, "Invalid image dimensions"},
                 {8, 70000, "Invalid image dimensions"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        const std::string file = state.Path("g.pgm");
        ASSERT_TRUE(Shell("pgmramp -lr -maxval 255 " + std::to_string(c.Width) + " " + std::to_string(c.Height) + " > " + file));
        TPPMGraphic g;
        try {
            LoadInto(g, file);
            EXPECT_EQ(c.Error, nullptr);
            EXPECT_EQ(g.Width(), c.Width);
            EXPECT_EQ(g.Height(), c.Height);
            const Image im = FromBitmap(&g);
            const Image want = ReadPNM(file);
            EXPECT_EQ(im.RGB, want.RGB);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.Error ? c.Error : "(loads)");
        }
    }
}

TEST(GifReader, ATruncatedFileKeepsWhatItHoldsAndTheRestIsIndexZero) {
    testsupport::TempState state;
    const std::string src = state.Path("s.ppm"), gif = state.Path("a.gif");
    WritePNM(src, Pattern(40, 30, 4, 16));
    ASSERT_TRUE(Shell("pnmquant 16 " + src + " | pamtogif > " + gif));
    const std::string bytes = testsupport::ReadAll(gif);
    TGIFGraphic full, cut;
    TStringStream s1(bytes), s2(bytes.substr(0, bytes.size() * 3 / 5));
    full.LoadFromStream(&s1);
    cut.LoadFromStream(&s2);
    ASSERT_EQ(cut.Width(), 40);
    std::vector<std::uint8_t> a, b;
    for (int y = 0; y < 30; ++y) {
        const auto* ra = static_cast<const std::uint8_t*>(full.ScanLine(y));
        const auto* rb = static_cast<const std::uint8_t*>(cut.ScanLine(y));
        a.insert(a.end(), ra, ra + 40);
        b.insert(b.end(), rb, rb + 40);
    }
    std::size_t same = 0;
    while (same < a.size() && a[same] == b[same]) ++same;
    EXPECT_GT(same, 100u);
    EXPECT_LT(same, a.size());
    for (std::size_t i = same; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << "pixel " << i << ", the data ends near " << same;
}

// The image's own data pays for its pixels: a frame of 8192 x 8192 whose data is one LZW byte is
// refused, however large a comment stands beside it; with data that describes it, it loads.
TEST(GifReader, AnImageIsPaidForByItsOwnDataNotByAComment) {
    std::string comment = "!\xFE";
    for (int i = 0; i < 257; ++i) comment += "\xFF" + std::string(255, 'c');
    comment += std::string(1, '\0');
    const std::string head = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13) + std::string(6, '\xFF');
    const std::string frame = std::string(",\0\0\0\0\0\x20\0\x20\0", 10) + std::string("\x08\x01\x00\x00", 4);
    for (const std::string& gif : {head + comment + frame + ";", head + frame + comment + ";"}) {
        TGIFGraphic g;
        TStringStream s(gif);
        try {
            g.LoadFromStream(&s);
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Invalid image dimensions");
        }
    }
    testsupport::TempState state;
    const std::string gif = state.Path("solid.gif");
    ASSERT_TRUE(Shell("convert -size 4096x4096 xc:red " + gif));
    TGIFGraphic solid;
    TStringStream s(testsupport::ReadAll(gif));
    solid.LoadFromStream(&s);
    EXPECT_EQ(solid.Width(), 4096);
    EXPECT_EQ(solid.Height(), 4096);
}

TEST(GifReader, ZeroBytesInExtensionsEarlyTrailerAndFaults) {
    testsupport::TempState state;
    const std::string src = state.Path("s.ppm"), gif = state.Path("a.gif");
    WritePNM(src, Pattern(9, 4, 2, 4));
    ASSERT_TRUE(Shell("pnmquant 4 " + src + " | pamtogif > " + gif));
    std::string bytes = testsupport::ReadAll(gif);
    const std::size_t at = 13 + 3 * (2 << (static_cast<unsigned char>(bytes[10]) & 7));
    // A comment extension of zero bytes inside its sub-blocks, before the image.
    const std::string withComment = bytes.substr(0, at) + std::string("!\xFE\x03\0\0\0\0", 7) + bytes.substr(at);
    TGIFGraphic a, b;
    TStringStream s1(bytes), s2(withComment);
    a.LoadFromStream(&s1);
    b.LoadFromStream(&s2);
    EXPECT_EQ(Difference(FromBitmap(&a), FromBitmap(&b)), 0);
    EXPECT_EQ(a.Width(), 9);

    TGIFGraphic e;
    TStringStream s3(bytes.substr(0, at) + ";");
    e.LoadFromStream(&s3);
    EXPECT_TRUE(e.Empty());
    TGIFGraphic bad;
    TStringStream s4("GIT89a" + bytes.substr(6));
    try {
        bad.LoadFromStream(&s4);
        ADD_FAILURE();
    } catch (const Exception& x) {
        EXPECT_EQ(x.Message, "Not a valid GIF file.");
    }
}

}  // namespace
