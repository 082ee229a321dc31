// The formats no reference tool here writes — Autodesk, CUT with its palette file, RLA, Photo-CD —
// and SGI variants, built byte by byte.
#include <gtest/gtest.h>

#include "imagecodecs/PictureReaders.h"
#include "imagecodecs/readers/reader_tools.h"
#include "support/tempstate.h"

using namespace readertest;

namespace {

template <class T>
Image LoadBytes(T& g, const std::string& bytes) {
    TStringStream s(bytes);
    g.LoadFromStream(&s);
    return FromBitmap(&g);
}

template <class T>
std::string ErrorOf(const std::string& bytes) {
    T g;
    TStringStream s(bytes);
    try {
        g.LoadFromStream(&s);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "(no error)";
}

TEST(AutodeskReader, PaletteOfSixBitComponentsAndRows) {
    std::string f;
    Put16(f, 0x9119);
    Put16(f, 3);
    Put16(f, 2);
    f += std::string(26, '\0');
    std::string pal(768, '\0');
    pal[3 * 1] = 63, pal[3 * 1 + 1] = 1, pal[3 * 1 + 2] = 32;  // entry 1
    f += pal + std::string("\x01\x00\x01\x00\x01\x00", 6);
    TAutodeskGraphic g;
    const Image im = LoadBytes(g, f);
    ASSERT_EQ(im.Width, 3);
    EXPECT_EQ(im.At(0, 0)[0], 252);
    EXPECT_EQ(im.At(0, 0)[1], 4);
    EXPECT_EQ(im.At(0, 0)[2], 128);
    EXPECT_EQ(im.At(1, 0)[0], 0);
    EXPECT_EQ(im.At(1, 1)[0], 252);
    EXPECT_EQ(ErrorOf<TAutodeskGraphic>("\x18\x91xxxx"), "Cannot load image. Only old style Autodesk images are supported.");
}

// A CUT file of two rows: a run of 3 of index 2, then 2 literal bytes 1 and 0.
std::string CutFile() {
    std::string f;
    Put16(f, 3);
    Put16(f, 2);
    Put16(f, 0);
    f += std::string("\x04\x00\x83\x02\x00", 5);
    f += std::string("\x05\x00\x03\x01\x00\x01\x00", 7);
    return f;
}

std::string PalFile(int entries) {
    std::string p(40, '\0');
    p[12] = static_cast<char>(entries - 1);
    std::string body;
    for (int i = 0; i < entries; ++i) {
        if (512 - p.size() % 512 < 6) p.resize((p.size() / 512 + 1) * 512, '\0');
        Put16(p, static_cast<unsigned>(i * 3));
        Put16(p, static_cast<unsigned>(i * 3 + 1));
        Put16(p, 0x100 | static_cast<unsigned>(i));  // only the low byte counts
    }
    return p;
}

TEST(CutReader, RowsWithThePaletteFileFoundInAnyCase) {
    testsupport::TempState state;
    testsupport::WriteAll(state.Path("pic.cut"), CutFile());
    // 90 entries run past the first block: an entry never crosses a block boundary.
    testsupport::WriteAll(state.Path("PIC.PAL"), PalFile(90));
    TCUTGraphic g;
    g.LoadFromFile(state.Path("pic.cut"));
    Image im = FromBitmap(&g);
    ASSERT_EQ(im.Width, 3);
    ASSERT_EQ(im.Height, 2);
    EXPECT_EQ(im.At(0, 0)[0], 6);
    EXPECT_EQ(im.At(0, 0)[1], 7);
    EXPECT_EQ(im.At(0, 0)[2], 2);
    EXPECT_EQ(im.At(1, 1)[0], 0);
    EXPECT_EQ(im.At(0, 1)[0], 3);
    HPALETTE pal = g.Palette();
    PALETTEENTRY e89{};
    GetPaletteEntries(pal, 89, 1, &e89);
    EXPECT_EQ(e89.peRed, (89 * 3) & 0xFF);
    EXPECT_EQ(e89.peBlue, 89);

    // From a stream, without a file name: the palette file remembered from the last load.
    TStringStream s(CutFile());
    g.LoadFromStream(&s);
    EXPECT_EQ(FromBitmap(&g).At(0, 0)[0], 6);
    // No palette file: the grey ramp.
    TCUTGraphic grey;
    im = LoadBytes(grey, CutFile());
    EXPECT_EQ(im.At(0, 0)[0], 2);
    EXPECT_EQ(im.At(0, 0)[2], 2);
}

std::string RlaFile(bool matte, bool bottomUp) {
    std::string h(740, '\0');
    auto put = [&](int at, unsigned v) {
        h[static_cast<std::size_t>(at)] = static_cast<char>(v >> 8);
        h[static_cast<std::size_t>(at + 1)] = static_cast<char>(v);
    };
    put(8, 0), put(10, 1);                                   // active left, right: 2 wide
    put(12, bottomUp ? 0 : 1), put(14, bottomUp ? 1 : 0);  // bottom, top: 2 high
    put(20, 3);
    put(22, matte ? 1 : 0);
    std::string rows[2];
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < (matte ? 4 : 3); ++c) {
            // One run of two samples of value 16 * r + c + 1.
            rows[r] += std::string("\x00\x02\x01", 3);
            rows[r] += static_cast<char>(16 * r + c + 1);
        }
    }
    std::string f = h;
    const std::size_t first = 740 + 8;
    Put32(f, static_cast<std::uint32_t>(first), true);
    Put32(f, static_cast<std::uint32_t>(first + rows[0].size()), true);
    return f + rows[0] + rows[1];
}

TEST(RlaReader, ChannelsMatteAndRowOrder) {
    TRLAGraphic g;
    Image im = LoadBytes(g, RlaFile(true, true));
    ASSERT_EQ(g.BitsPerPixel(), 32);
    // Bottom below top: file row 0 is the bottom scan line.
    EXPECT_EQ(im.At(0, 1)[0], 1);
    EXPECT_EQ(im.At(1, 1)[1], 2);
    EXPECT_EQ(im.At(0, 1)[2], 3);
    EXPECT_EQ(im.Alpha[2], 4);
    EXPECT_EQ(im.At(0, 0)[0], 17);
    TRLAGraphic t;
    im = LoadBytes(t, RlaFile(false, false));
    EXPECT_EQ(t.BitsPerPixel(), 24);
    EXPECT_EQ(im.At(0, 0)[0], 1);
    std::string bad = RlaFile(false, false);
    bad[21] = 2;
    EXPECT_EQ(ErrorOf<TRLAGraphic>(bad), "RLA: image must be RGB(A).");
}

// A Photo-CD file at resolution 0 (192 x 128): luma 100 everywhere, neutral chroma, but the top-left
// luma sample 200 and the top-right 0, so each turn shows where the corners went.
std::string PcdFile(int orientation) {
    std::string f(8192 + 64 * 576, '\0');
    f.replace(2048, 7, "PCD_IPI");
    for (int rec = 0; rec < 64; ++rec) {
        const std::size_t at = 8192 + static_cast<std::size_t>(rec) * 576;
        std::fill(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at + 384), '\x64');
        std::fill(f.begin() + static_cast<std::ptrdiff_t>(at + 384), f.begin() + static_cast<std::ptrdiff_t>(at + 480), static_cast<char>(156));
        std::fill(f.begin() + static_cast<std::ptrdiff_t>(at + 480), f.begin() + static_cast<std::ptrdiff_t>(at + 576), static_cast<char>(137));
    }
    f[8192] = static_cast<char>(200);
    f[8192 + 191] = 0;
    f.resize(194636, '\0');
    f[194635] = static_cast<char>(orientation);
    return f;
}

TEST(PcdReader, ColoursAndTheFourOrientations) {
    // Y 100 with neutral chroma: 135.84 -> 136 grey; Y 200: 271.7 -> 255.
    const struct {
        int Orientation, Width, Height;
        int BrightX, BrightY, DarkX, DarkY;
    } cases[] = {
        {0, 192, 128, 0, 0, 191, 0},
        {2, 192, 128, 191, 127, 0, 127},  // half turn
        {1, 128, 192, 0, 191, 0, 0},      // anticlockwise
        {3, 128, 192, 127, 0, 127, 191},  // clockwise
    };
    for (const auto& c : cases) {
        TPCDGraphic g;
        g.Resolution = 0;
        const Image im = LoadBytes(g, PcdFile(c.Orientation));
        ASSERT_EQ(im.Width, c.Width) << c.Orientation;
        ASSERT_EQ(im.Height, c.Height);
        EXPECT_EQ(im.At(c.BrightX, c.BrightY)[0], 255) << c.Orientation;
        EXPECT_EQ(im.At(c.DarkX, c.DarkY)[1], 0) << c.Orientation;
        EXPECT_EQ(im.At(c.Width / 2, c.Height / 2)[0], 136);
        EXPECT_EQ(im.At(c.Width / 2, c.Height / 2)[2], 136);
    }
    EXPECT_EQ(ErrorOf<TPCDGraphic>(std::string(3000, 'x')), "PCD: wrong image format.");
    TPCDGraphic g;
    g.Resolution = 3;
    TStringStream s(PcdFile(0));
    try {
        g.LoadFromStream(&s);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "PCD: image size currently not supported");
    }
}

TEST(PcdReader, ChromaSpreadOverThePairAndTheNextRecord) {
    // Record 0 (rows 0 and 1): blue difference 160, 164 at half columns 1 and 2, red difference 100
    // at half column 1; record 1: blue difference 170, 180 there. Everything else neutral, luma 100.
    std::string f = PcdFile(0);
    const std::size_t rec0 = 8192, rec1 = 8192 + 576;
    f[rec0 + 384 + 1] = static_cast<char>(160);
    f[rec0 + 384 + 2] = static_cast<char>(164);
    f[rec0 + 480 + 1] = static_cast<char>(100);
    f[rec1 + 384 + 1] = static_cast<char>(170);
    f[rec1 + 384 + 2] = static_cast<char>(180);
    TPCDGraphic g;
    g.Resolution = 0;
    const Image im = LoadBytes(g, f);
    // Column 2, row 0: blue 135.84 + 4 x 2.2179 = 144.71; red 135.84 - 37 x 1.8215 = 68.44;
    // green 135.84 + 37 x 0.9271435 - 4 x 0.4302726 = 168.42.
    EXPECT_EQ(im.At(2, 0)[0], 68);
    EXPECT_EQ(im.At(2, 0)[1], 168);
    EXPECT_EQ(im.At(2, 0)[2], 145);
    // Blue differences: column 3 row 0 (160 + 164) / 2 = 162 -> 149.15; column 2 row 1
    // (160 + 170) / 2 = 165 -> 155.80; column 3 row 1 (160 + 164 + 170 + 180) / 4 = 168 -> 162.45.
    EXPECT_EQ(im.At(3, 0)[2], 149);
    EXPECT_EQ(im.At(2, 1)[2], 156);
    EXPECT_EQ(im.At(3, 1)[2], 162);
}

std::string SgiHeader(int storage, int bps, int w, int h, int channels) {
    std::string f;
    Put16(f, 474, true);
    f += static_cast<char>(storage);
    f += static_cast<char>(bps);
    Put16(f, 3, true);
    Put16(f, static_cast<unsigned>(w), true);
    Put16(f, static_cast<unsigned>(h), true);
    Put16(f, static_cast<unsigned>(channels), true);
    f.resize(512, '\0');
    return f;
}

TEST(SgiReader, VerbatimStoragesTwoChannelGreyAndFaults) {
    for (int storage : {0, 2}) {
        // 2 x 1, two channels (grey and alpha): the first channel is the picture.
        TSGIGraphic g;
        const Image im = LoadBytes(g, SgiHeader(storage, 1, 2, 1, 2) + "\x10\x20\xAA\xBB");
        EXPECT_EQ(g.BitsPerPixel(), 8);
        EXPECT_EQ(im.At(0, 0)[0], 0x10);
        EXPECT_EQ(im.At(1, 0)[2], 0x20);
    }
    // Two-byte samples read as their high bytes.
    TSGIGraphic w;
    const Image im = LoadBytes(w, SgiHeader(0, 2, 2, 1, 1) + std::string("\x12\x34\x56\x78", 4));
    EXPECT_EQ(im.At(0, 0)[0], 0x12);
    EXPECT_EQ(im.At(1, 0)[0], 0x56);
    EXPECT_EQ(ErrorOf<TSGIGraphic>(std::string(512, '\1')), "Not a valid sgi, bw or rgb(a) image.");
    // Saving keeps the bitmap's own stream.
    TMemoryStream s;
    w.SaveToStream(&s);
    ASSERT_GE(s.Size(), 2);
    EXPECT_EQ(s.Data().substr(0, 2), "BM");
}

TEST(Readers, OversizedPicturesAreRefusedBeforeAnyMemoryIsTaken) {
    EXPECT_EQ(ErrorOf<TSGIGraphic>(SgiHeader(0, 1, 65535, 65535, 3)), "Invalid image dimensions");
    std::string tga(18, '\0');
    tga[2] = 2, tga[12] = tga[13] = tga[14] = tga[15] = '\xFF', tga[16] = 24;
    EXPECT_EQ(ErrorOf<TTargaGraphic>(tga), "Invalid image dimensions");
    EXPECT_EQ(ErrorOf<TPPMGraphic>("P6 100000 100000 255 "), "Invalid image dimensions");
    // A small header that claims a big picture: more than the bytes there can describe.
    EXPECT_EQ(ErrorOf<TPPMGraphic>("P5 8000 8000 255 "), "Invalid image dimensions");
}

}  // namespace
