// The LZW and run-length encoders: every stream read back by the C GIF library, giftopnm, Pillow
// and our decoder with identical indices; a property test over runs, code sizes and shapes; the
// sub-block writer and the edges of the code stream.
#include <gtest/gtest.h>

#include <sstream>

#include "gif_reference.h"
#include "gif_tools.h"
#include "gif_walk.h"

namespace giftest {
namespace {

enum class Coder { LZW, RLE };

std::unique_ptr<TGIFEncoder> MakeEncoder(Coder coder) {
    if (coder == Coder::LZW) return std::make_unique<TLZWEncoder>();
    return std::make_unique<TRLEEncoder>();
}

std::string EncodeData(Coder coder, int bits, int limit, const std::vector<BYTE>& px, bool interlaced, int h, int w) {
    TStringStream out;
    MakeEncoder(coder)->Encode(&out, bits, limit, px.empty() ? nullptr : px.data(), interlaced, h, w);
    return out.DataString();
}

// A whole GIF: header with a grey global table of 2^bits entries, one frame, the trailer.
std::string EncodeGif(Coder coder, int w, int h, int bits, const std::vector<BYTE>& px, bool interlaced) {
    RecordingImage image;
    image.Resolution = bits - 1;
    TGIFHeader header(&image);
    header.SetWidth(w);
    header.SetHeight(h);
    const int colors = 1 << bits;
    for (int i = 0; i < colors; ++i) {
        const int v = colors > 1 ? i * 255 / (colors - 1) : 0;
        header.GlobalMap->AppendColor(v | v << 8 | v << 16);
    }
    TStringStream out;
    header.SaveToStream(&out);
    const char d[10] = {',', 0, 0, 0, 0, static_cast<char>(w & 0xFF), static_cast<char>(w >> 8),
                        static_cast<char>(h & 0xFF), static_cast<char>(h >> 8), static_cast<char>(interlaced ? 0x40 : 0)};
    out.WriteBuffer(d, 10);
    out.WriteString(EncodeData(coder, bits, colors, px, interlaced, h, w));
    out.WriteString(";");
    return out.DataString();
}

void ExpectReadBack(const std::string& gif, const std::vector<BYTE>& px, const std::string& what) {
    SCOPED_TRACE(what);
    const RefGif ref = RefDecode(gif);
    ASSERT_EQ(ref.Error, 0);
    ASSERT_EQ(ref.Frames.size(), 1u);
    EXPECT_EQ(ref.Frames[0].Pixels, px);
    const Walk ours = WalkGif(gif);
    EXPECT_TRUE(ours.Warnings.empty());
    ASSERT_EQ(ours.Frames.size(), 1u);
    EXPECT_EQ(ours.Frames[0].Pixels, px);
}

TEST(GifEncode, PropertyRunsCodeSizesAndShapes) {
    std::mt19937 rng(1405);
    std::vector<std::pair<int, int>> shapes{{1, 1}, {1, 300}, {300, 1}, {255, 1}, {256, 1}, {1, 255}, {16, 16},
                                            {17, 15}, {257, 3}};
    for (int bits = 2; bits <= 8; ++bits)
        for (auto [w, h] : shapes)
            for (Coder coder : {Coder::LZW, Coder::RLE})
                for (bool interlaced : {false, true}) {
                    const auto px = RandomIndices(rng, w, h, 1 << bits);
                    ExpectReadBack(EncodeGif(coder, w, h, bits, px, interlaced), px,
                                   std::string(coder == Coder::LZW ? "lzw " : "rle ") + std::to_string(w) + "x" +
                                       std::to_string(h) + " bits " + std::to_string(bits) +
                                       (interlaced ? " interlaced" : ""));
                }
}

TEST(GifEncode, LargePicturesFillTheTableAndClear) {
    // Noise fills the 4096-entry table many times; long runs make the run coder reach 12 bits.
    std::mt19937 rng(1406);
    std::vector<BYTE> noise(512 * 300), runs(600 * 400);
    for (auto& p : noise) p = static_cast<BYTE>(rng() & 0xFF);
    for (std::size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<BYTE>((i / 997) % 3);
    for (Coder coder : {Coder::LZW, Coder::RLE}) {
        ExpectReadBack(EncodeGif(coder, 512, 300, 8, noise, false), noise, "noise");
        ExpectReadBack(EncodeGif(coder, 600, 400, 2, runs, false), runs, "runs");
        std::vector<BYTE> one(700 * 500, 1);
        ExpectReadBack(EncodeGif(coder, 700, 500, 1 + 1, one, true), one, "one colour");
    }
}

TEST(GifEncode, OutsideReadersGetTheSameIndices) {
    ToolDir dir;
    const std::string py = PillowPython();
    std::mt19937 rng(1407);
    for (int bits : {1, 3, 8})
        for (Coder coder : {Coder::LZW, Coder::RLE})
            for (bool interlaced : {false, true}) {
                const int w = 83, h = 29, colors = 1 << std::max(bits, 1);
                const int codeBits = std::max(bits, 1);
                const auto px = RandomIndices(rng, w, h, colors);
                dir.Write("t.gif", EncodeGif(coder, w, h, std::max(codeBits, 1), px, interlaced));
                const std::string what = std::to_string(bits) + (coder == Coder::LZW ? " lzw" : " rle");
                {
                    ASSERT_EQ(dir.Run("giftopnm t.gif > t.pnm 2>/dev/null"), 0) << what;
                    const auto grey = PnmSamples(dir.Read("t.pnm"));
                    ASSERT_EQ(grey.size(), px.size());
                    for (std::size_t i = 0; i < px.size(); ++i)
                        ASSERT_EQ(grey[i], px[i] * 255 / (colors - 1)) << what << " pixel " << i;
                }
                {
                    ASSERT_EQ(dir.Run(py + " -c \"from PIL import Image; im=Image.open('t.gif'); "
                                           "open('t.idx','wb').write(bytes(im.getdata()))\""),
                              0);
                    const std::string idx = dir.Read("t.idx");
                    EXPECT_EQ(std::vector<BYTE>(idx.begin(), idx.end()), px) << what << " (Pillow)";
                }
            }
}

TEST(GifEncode, EdgesOfTheCodeStream) {
    // Two colours are written with minimum code size 2.
    std::vector<BYTE> px{0, 1, 1, 0};
    std::string data = EncodeData(Coder::LZW, 1, 2, px, false, 1, 4);
    EXPECT_EQ(static_cast<BYTE>(data[0]), 2);
    // No pixels: the code size, one sub-block with the end code, the terminator.
    for (Coder coder : {Coder::LZW, Coder::RLE}) {
        EXPECT_EQ(EncodeData(coder, 2, 4, {}, false, 0, 0), std::string("\x02\x01\x05\x00", 4));
        EXPECT_EQ(EncodeData(coder, 8, 256, px, false, 4, 0), std::string("\x08\x02\x01\x01\x00", 5));
    }
    // A pixel equal to the colour limit is refused before anything is written.
    for (Coder coder : {Coder::LZW, Coder::RLE}) {
        TStringStream out;
        auto e = MakeEncoder(coder);
        const std::vector<BYTE> bad{0, 1, 2, 3, 4, 0};
        try {
            e->Encode(&out, 2, 4, bad.data(), false, 1, 6);
            ADD_FAILURE() << "no exception";
        } catch (const GIFException& ex) {
            EXPECT_EQ(ex.Message, "Color not in color table");
        }
        EXPECT_EQ(out.DataString(), "");
    }
    // Pixels must also fit the code size: 7 cannot be written with 2-bit literals.
    const std::vector<BYTE> wide{0, 7};
    TStringStream narrow;
    EXPECT_THROW(TLZWEncoder().Encode(&narrow, 2, 256, wide.data(), false, 1, 2), GIFException);
    EXPECT_EQ(narrow.DataString(), "");
    // Interlaced height 3 is walked as rows 0, 2, 1; height 1 as row 0 (the decoder puts them back).
    for (int h : {1, 2, 3, 5, 9}) {
        std::vector<BYTE> rows(static_cast<std::size_t>(h) * 2);
        for (int y = 0; y < h; ++y) rows[2 * y] = rows[2 * y + 1] = static_cast<BYTE>(y);
        for (Coder coder : {Coder::LZW, Coder::RLE}) {
            const std::string d = EncodeData(coder, 4, 16, rows, true, h, 2);
            TStringStream s(d);
            std::vector<BYTE> linear(rows.size());
            DecodeGIFPixels(&s, linear.data(), 2, h, false, 0, nullptr);
            std::vector<BYTE> order;
            for (int y = 0; y < h; ++y) order.push_back(linear[2 * y]);
            std::vector<BYTE> expect;
            for (int start : {0, 4, 2, 1})
                for (int y = start; y < h; y += start == 0 ? 8 : start * 2) expect.push_back(static_cast<BYTE>(y));
            EXPECT_EQ(order, expect) << "height " << h;
        }
    }
}

TEST(GifEncode, SubBlockWriter) {
    auto written = [](int n) {
        TStringStream target;
        {
            TGIFWriter w(&target, nullptr);
            const std::string bytes(static_cast<std::size_t>(n), 'x');
            w.Write(bytes.data(), n);
        }
        return target.DataString();
    };
    EXPECT_EQ(written(255).size(), 256u);  // one full sub-block, no empty one
    EXPECT_EQ(static_cast<BYTE>(written(255)[0]), 255);
    const std::string two = written(256);
    ASSERT_EQ(two.size(), 258u);
    EXPECT_EQ(static_cast<BYTE>(two[256]), 1);
    EXPECT_EQ(written(0), "");
    TStringStream target;
    TGIFWriter w(&target, nullptr);
    char b;
    try {
        w.Read(&b, 1);
        ADD_FAILURE();
    } catch (const GIFException&) {
        ADD_FAILURE() << "the general exception, not a GIF one";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Invalid stream operation");
    }
    EXPECT_THROW(w.Seek(0, soFromBeginning), Exception);
}

TEST(GifEncode, HashTableVisitsEverySlot) {
    // Keys whose home slots cover the whole doubling orbit of slot 17 (half the table) and then more
    // keys at home 17: the probe must leave the orbit to find room, and find every key again.
    std::vector<std::vector<std::uint32_t>> byHome(THashTable::Size);
    for (std::uint32_t k = 0; k < (1u << 20) - 1; ++k) byHome[THashTable::HashOf(k)].push_back(k);
    std::vector<std::uint32_t> keys;
    int h = 17;
    do {
        keys.push_back(byHome[h].back());
        h = 2 * h % THashTable::Size;
    } while (h != 17);
    for (int i = 0; i < 20; ++i) keys.push_back(byHome[17][i]);
    ASSERT_LT(keys.size(), 4096u);
    THashTable t;
    for (std::size_t i = 0; i < keys.size(); ++i) t.StoreCode(keys[i], static_cast<int>(i));
    for (std::size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(t.FindCode(keys[i]), static_cast<int>(i)) << i;
    EXPECT_EQ(t.FindCode(byHome[17][30]), -1);
    t.ResetTable();
    EXPECT_EQ(t.FindCode(keys[0]), -1);
}

TEST(GifEncode, TriangleCount) {
    EXPECT_EQ(TriangleCount(1, 100), 1);
    EXPECT_EQ(TriangleCount(3, 100), 2);   // 1 + 2
    EXPECT_EQ(TriangleCount(4, 100), 3);   // 1 + 2 + (1)
    EXPECT_EQ(TriangleCount(10, 100), 4);  // 1 + 2 + 3 + 4
    EXPECT_EQ(TriangleCount(11, 100), 5);
    EXPECT_EQ(TriangleCount(21, 5), 8);    // a full ramp of 15 pixels (5 codes), then 6 pixels (3 codes)
}

}  // namespace
}  // namespace giftest
