// The LZW decoder against the C GIF library and gifbuild's dump on streams made by gifbuild,
// pamtogif, Pillow and ImageMagick; and on small corrupt byte fixtures.
#include <gtest/gtest.h>

#include "gif_reference.h"
#include "gif_tools.h"
#include "gif_walk.h"

namespace giftest {
namespace {

void ExpectSameAsReference(const std::string& gif, const std::string& what) {
    SCOPED_TRACE(what);
    const RefGif ref = RefDecode(gif);
    ASSERT_EQ(ref.Error, 0);
    const Walk ours = WalkGif(gif);
    ASSERT_EQ(ours.Error, "");
    EXPECT_TRUE(ours.Warnings.empty()) << ours.Warnings.front();
    ASSERT_EQ(ours.Frames.size(), ref.Frames.size());
    for (std::size_t i = 0; i < ref.Frames.size(); ++i) {
        EXPECT_EQ(ours.Frames[i].Width, ref.Frames[i].Width);
        EXPECT_EQ(ours.Frames[i].Interlaced, ref.Frames[i].Interlaced);
        EXPECT_EQ(ours.Frames[i].Pixels, ref.Frames[i].Pixels) << "frame " << i;
    }
}

TEST(GifDecode, GifbuildStreamsOfEveryCodeSizeMatchTheDumpAndTheReference) {
    ToolDir dir;
    std::mt19937 rng(1401);
    struct Case {
        int w, h, bits;
        bool interlaced;
    };
    const Case cases[] = {{1, 1, 1, false}, {7, 5, 2, true},   {64, 33, 3, false}, {40, 17, 4, true},
                          {1, 90, 5, false}, {90, 1, 6, false}, {50, 50, 7, true},  {120, 80, 8, false},
                          {33, 9, 8, true},  {200, 3, 1, true}};
    for (const Case& c : cases) {
        const int colors = 1 << c.bits;
        const auto px = RandomIndices(rng, c.w, c.h, colors);
        dir.Write("in.txt", GifbuildText(c.w, c.h, colors, px, c.interlaced));
        ASSERT_EQ(dir.Run("gifbuild in.txt > out.gif && gifbuild -d out.gif > dump.txt"), 0);
        const std::string gif = dir.Read("out.gif");
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " bits " + std::to_string(c.bits);
        ExpectSameAsReference(gif, what);
        const auto dumped = ParseGifbuildDump(dir.Read("dump.txt"));
        ASSERT_EQ(dumped.size(), 1u);
        EXPECT_EQ(WalkGif(gif).Frames.at(0).Pixels, dumped[0]) << what;
        EXPECT_EQ(WalkGif(gif).Frames.at(0).Pixels, px) << what;
    }
}

TEST(GifDecode, ExtensionsBetweenFramesAreStepped) {
    ToolDir dir;
    std::mt19937 rng(1412);
    for (int disposal = 0; disposal < 4; ++disposal) {
        const auto px = RandomIndices(rng, 21, 13, 16);
        const std::string extras = "graphics control\n\tdisposal mode " + std::to_string(disposal) +
                                   "\n\tdelay 7\n\ttransparent index 3\nend\ncomment\n" + std::string(200, 'c') +
                                   "\nend\nextension 42\nraw\\x01bytes\nend\n";
        dir.Write("in.txt", GifbuildText(21, 13, 16, px, disposal % 2 == 1, extras));
        ASSERT_EQ(dir.Run("gifbuild in.txt > out.gif"), 0);
        ExpectSameAsReference(dir.Read("out.gif"), "disposal " + std::to_string(disposal));
        EXPECT_EQ(WalkGif(dir.Read("out.gif")).Frames.at(0).Pixels, px);
    }
}

TEST(GifDecode, PamtogifWithInterlaceNoLzwAndNoClear) {
    ToolDir dir;
    std::mt19937 rng(1402);
    for (const char* flags : {"", "-interlace", "-nolzw", "-noclear", "-interlace -nolzw"}) {
        for (int colors : {2, 16, 256}) {
            const auto px = RandomIndices(rng, 97, 61, colors);
            dir.Write("in.pgm", Pgm(97, 61, colors, px));
            ASSERT_EQ(dir.Run(std::string("pamtogif ") + flags + " in.pgm > out.gif 2>/dev/null"), 0);
            ExpectSameAsReference(dir.Read("out.gif"), std::string(flags) + " colors " + std::to_string(colors));
        }
    }
}

TEST(GifDecode, PillowAndImageMagickStreams) {
    ToolDir dir;
    const std::string py = PillowPython();
    // Pillow writes code size 8 for small tables and local tables on later frames.
    dir.Write("make.py",
              "from PIL import Image\nimport random\nrandom.seed(1403)\n"
              "frames=[]\n"
              "for k in range(3):\n"
              "  im=Image.new('P',(45,31))\n"
              "  im.putpalette([random.randrange(256) for i in range(3*(4+k*60))])\n"
              "  im.putdata([random.randrange(4+k*60) for i in range(45*31)])\n"
              "  frames.append(im)\n"
              "frames[0].save('pil.gif',save_all=True,append_images=frames[1:],optimize=False,interlace=True)\n");
    ASSERT_EQ(dir.Run(py + " make.py"), 0);
    ExpectSameAsReference(dir.Read("pil.gif"), "Pillow");
    ASSERT_EQ(dir.Run("convert -seed 1404 -size 80x60 plasma:fractal -colors 200 im.gif && "
                      "convert -seed 1404 -size 80x60 plasma:fractal -colors 16 -interlace GIF im2.gif"),
              0);
    ExpectSameAsReference(dir.Read("im.gif"), "ImageMagick");
    ExpectSameAsReference(dir.Read("im2.gif"), "ImageMagick interlaced");
}

// ---- Hand-made streams --------------------------------------------------------------------------

// A GIF of one w x h frame with a 4-entry global table and the given image data bytes (code size
// byte, sub-blocks, terminator), optionally followed by more.
std::string Stream(int w, int h, const std::string& data, const std::string& after = ";") {
    std::string s = "GIF89a";
    s += {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8), static_cast<char>(h & 0xFF), static_cast<char>(h >> 8)};
    s += {'\x81', 0, 0};
    s += std::string("\0\0\0\x55\x55\x55\xaa\xaa\xaa\xff\xff\xff", 12);
    s += {',', 0, 0, 0, 0, static_cast<char>(w & 0xFF), static_cast<char>(w >> 8), static_cast<char>(h & 0xFF),
          static_cast<char>(h >> 8), 0};
    return s + data + after;
}

// Packs codes (least significant bit first) at the widths given.
std::string Codes(const std::vector<std::pair<int, int>>& codes) {
    std::string out;
    std::uint64_t acc = 0;
    int bits = 0;
    for (auto [code, width] : codes) {
        acc |= static_cast<std::uint64_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits) out += static_cast<char>(acc & 0xFF);
    return out;
}

std::string Blocks(int codeSize, const std::string& data) {
    std::string s(1, static_cast<char>(codeSize));
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        s += static_cast<char>(n);
        s += data.substr(at, n);
    }
    return s + '\0';
}

TEST(GifDecode, CorruptStreamsStopWithAWarningAndKeepLaterFrames) {
    struct Case {
        const char* name;
        std::string data;
        std::vector<BYTE> pixels;  // of a 4 x 1 frame
        const char* warning;
    };
    const Case cases[] = {
        {"code size 12", Blocks(12, "\x01\x02\x03"), {0, 0, 0, 0}, "Invalid GIF data"},
        {"clear then end", Blocks(2, Codes({{4, 3}, {5, 3}})), {0, 0, 0, 0}, nullptr},
        {"forward code", Blocks(2, Codes({{4, 3}, {1, 3}, {7, 3}, {5, 3}})), {1, 0, 0, 0},
         "Circular decoder table entry"},
        // Read without the forward check, 7 then 6 would make entries 6 and 7 each other's prefix.
        {"two-entry cycle", Blocks(2, Codes({{4, 3}, {1, 3}, {7, 3}, {6, 3}, {7, 3}, {5, 3}})), {1, 0, 0, 0},
         "Circular decoder table entry"},
        {"no end code", Blocks(2, Codes({{4, 3}, {2, 3}})), {2, 0, 0, 0}, "Decoder bit buffer under-run"},
        {"first code past the table", Blocks(2, Codes({{4, 3}, {6, 3}, {5, 3}})), {0, 0, 0, 0},
         "Circular decoder table entry"},
    };
    const std::string second = std::string(",\0\0\0\0\x01\0\x01\0\0", 10) + Blocks(2, Codes({{4, 3}, {3, 3}, {5, 3}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Walk w = WalkGif(Stream(4, 1, c.data, second + ";"));
        EXPECT_EQ(w.Error, "");
        ASSERT_EQ(w.Frames.size(), 2u);
        EXPECT_EQ(w.Frames[0].Pixels, c.pixels);
        EXPECT_EQ(w.Frames[1].Pixels, std::vector<BYTE>{3}) << "the next frame is read after the corrupt one";
        if (c.warning) {
            ASSERT_EQ(w.Warnings.size(), 1u);
            EXPECT_EQ(w.Warnings[0], c.warning);
        } else {
            EXPECT_TRUE(w.Warnings.empty());
        }
    }
}

TEST(GifDecode, CutInsideASubBlockWarnsOnceAndKeepsWhatWasDecoded) {
    // A 4 x 2 frame of code size 8: clear, 10, 20, 30, 40, then the sub-block claims 20 bytes and
    // the stream ends after 5 of them (the first four codes and a bit of the fifth).
    std::string data = Blocks(8, Codes({{256, 9}, {10, 9}, {20, 9}, {30, 9}, {40, 9}, {257, 9}}));
    data = data.substr(0, 1) + "\x14" + data.substr(2, 5);
    const Walk w = WalkGif(Stream(4, 2, data, ""));
    EXPECT_EQ(w.Error, "");
    ASSERT_EQ(w.Frames.size(), 1u);
    EXPECT_EQ(w.Frames[0].Pixels, (std::vector<BYTE>{10, 20, 30, 0, 0, 0, 0, 0}));
    ASSERT_EQ(w.Warnings.size(), 1u);
    EXPECT_EQ(w.Warnings[0], "Premature end of data");
}

TEST(GifDecode, SizesThatCannotBeRead) {
    // Width 0: nothing is decoded, the data is skipped and the next frame read.
    const std::string second = std::string(",\0\0\0\0\x01\0\x01\0\0", 10) + Blocks(2, Codes({{4, 3}, {2, 3}, {5, 3}}));
    Walk w = WalkGif(Stream(0, 5, Blocks(2, Codes({{4, 3}, {1, 3}, {5, 3}})), second + ";"));
    EXPECT_EQ(w.Error, "");
    ASSERT_EQ(w.Frames.size(), 2u);
    EXPECT_TRUE(w.Frames[0].Pixels.empty());
    EXPECT_EQ(w.Frames[1].Pixels, std::vector<BYTE>{2});
    // 65535 x 65535 is above the pixel cap: refused before any memory is taken.
    w = WalkGif(Stream(65535, 65535, Blocks(2, Codes({{4, 3}, {1, 3}, {5, 3}}))));
    EXPECT_EQ(w.Error, "Invalid image dimensions");
    std::vector<BYTE> pixels(4);
    TStringStream s(Blocks(2, ""));
    EXPECT_THROW(DecodeGIFPixels(&s, pixels.data(), 8193, 8193, false, 0, nullptr), GIFException);
}

TEST(GifDecode, FirstCodesSizesTableFullAndInterlaceOrder) {
    // Code size 2: 3-bit codes, clear 4, end 5. 6 is "1 1" (the code of the next free entry).
    Walk w = WalkGif(Stream(4, 1, Blocks(2, Codes({{4, 3}, {1, 3}, {6, 3}, {0, 3}, {5, 4}}))));
    ASSERT_EQ(w.Frames.size(), 1u);
    EXPECT_EQ(w.Frames[0].Pixels, (std::vector<BYTE>{1, 1, 1, 0}));
    // Without a leading clear the first code is a pixel.
    w = WalkGif(Stream(2, 1, Blocks(2, Codes({{3, 3}, {2, 3}, {5, 3}}))));
    EXPECT_EQ(w.Frames.at(0).Pixels, (std::vector<BYTE>{3, 2}));
    // Code size 8: 9-bit codes, clear 256.
    w = WalkGif(Stream(3, 1, Blocks(8, Codes({{256, 9}, {200, 9}, {7, 9}, {258, 9}, {257, 9}}))));
    EXPECT_EQ(w.Frames.at(0).Pixels, (std::vector<BYTE>{200, 7, 200}));

    // A table that fills up and is never cleared keeps decoding at 12 bits without new entries.
    std::vector<std::pair<int, int>> codes{{4, 3}, {1, 3}};
    int nextFree = 6, width = 3;
    std::vector<BYTE> expect{1};
    while (nextFree < 4096) {
        codes.push_back({2, width});
        expect.push_back(2);
        ++nextFree;
        if (nextFree >= (1 << width) && width < 12) ++width;
    }
    for (int i = 0; i < 10; ++i) {
        codes.push_back({4095, 12});  // the last entry: "2 2"
        expect.insert(expect.end(), {2, 2});
    }
    codes.push_back({5, 12});
    const std::string data = Codes(codes);
    const int n = static_cast<int>(expect.size());
    w = WalkGif(Stream(n, 1, Blocks(2, data)));
    EXPECT_TRUE(w.Warnings.empty());
    EXPECT_EQ(w.Frames.at(0).Pixels, expect);

    // Interlaced, height 5: the rows arrive as 0, 4, 2, 1, 3.
    std::string frame = Blocks(2, Codes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {0, 4}, {5, 4}}));
    std::string s = Stream(1, 5, frame);
    s[s.size() - 1 - frame.size() - 1] = 0x40;  // the packed byte of the descriptor: interlaced
    w = WalkGif(s);
    ASSERT_EQ(w.Frames.size(), 1u);
    EXPECT_TRUE(w.Frames[0].Interlaced);
    EXPECT_EQ(w.Frames[0].Pixels, (std::vector<BYTE>{0, 3, 2, 0, 1}));
}

TEST(GifDecode, StreamStandsAfterTheTerminator) {
    const std::string data = Blocks(2, Codes({{4, 3}, {1, 3}, {5, 3}})) + "XYZ";
    // Extra sub-blocks after the end code are skipped too.
    const std::string padded = data.substr(0, data.size() - 4) + std::string("\x02\xAA\xBB\0", 4) + "XYZ";
    for (const std::string& bytes : {data, padded}) {
        TStringStream s(bytes);
        BYTE px = 9;
        DecodeGIFPixels(&s, &px, 1, 1, false, 0, nullptr);
        EXPECT_EQ(px, 1);
        EXPECT_EQ(s.ReadAll(), "XYZ");
    }
}

}  // namespace
}  // namespace giftest
