// The decompressors on their own: the Targa encoder's packets, each run-length scheme's edge cases,
// LZW code widths and faults, and the bounds every decoder keeps.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "platform/classlib/sysutils.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class D>
Bytes DecodeInto(D& d, const Bytes& in, std::size_t outSize, std::uint8_t fill = 0xEE) {
    Bytes out(outSize + 16, fill);
    const std::uint8_t* src = in.data();
    d.Decode(src, out.data(), static_cast<std::uint32_t>(in.size()), static_cast<std::uint32_t>(outSize));
    for (std::size_t i = outSize; i < out.size(); ++i) EXPECT_EQ(out[i], fill) << "written past the output at " << i;
    out.resize(outSize);
    return out;
}

TEST(TargaRLE, EncoderPackets) {
    const Bytes abc = {1, 2, 3};
    Bytes t(TargaRLEBound(3, 1));
    ASSERT_EQ(EncodeTargaRLE(abc.data(), t.data(), 3, 1), 5u);
    EXPECT_EQ(Bytes(t.begin(), t.begin() + 5), (Bytes{1, 1, 2, 0, 3}));  // raw A B, raw C
    const Bytes aaab = {7, 7, 7, 9};
    ASSERT_EQ(EncodeTargaRLE(aaab.data(), t.data(), 4, 1), 4u);
    EXPECT_EQ(Bytes(t.begin(), t.begin() + 4), (Bytes{0x82, 7, 0, 9}));  // run of 3, raw B
    const Bytes same(300 * 3, 0x42);
    Bytes big(TargaRLEBound(300, 3));
    ASSERT_EQ(EncodeTargaRLE(same.data(), big.data(), 300, 3), 12u);
    EXPECT_EQ(big[0], 0xFF);
    EXPECT_EQ(big[4], 0xFF);
    EXPECT_EQ(big[8], 0x80 | 43);  // 128, 128, 44
}

TEST(TargaRLE, DecoderRunsRawPacketsAndCuts) {
    const Bytes run = {0x82, 1, 2, 3};
    Bytes out(9);
    EXPECT_EQ(DecodeTargaRLE(run.data(), run.size(), out.data(), out.size(), 24), 4u);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3}));
    // A packet that crosses the count is cut there; the source counts whole.
    Bytes small(4, 0xEE);
    EXPECT_EQ(DecodeTargaRLE(run.data(), run.size(), small.data(), 2, 24), 4u);
    EXPECT_EQ(small, (Bytes{1, 2, 0xEE, 0xEE}));
    // A raw packet that claims more than the source holds stops at the source's end.
    const Bytes raw = {0x05, 9, 9};
    Bytes r(6, 0);
    EXPECT_EQ(DecodeTargaRLE(raw.data(), raw.size(), r.data(), r.size(), 8), 3u);
    EXPECT_EQ(r, (Bytes{9, 9, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeTargaRLE(run.data(), run.size(), out.data(), out.size(), 12), 0u);
}

TEST(TargaRLE, PacketsCarriedFromRowToRow) {
    // A raw packet of 3 and a run of 3 over rows of 2 one-byte pixels.
    const Bytes packets = {0x02, 1, 2, 3, 0x82, 9};
    TTargaRLEState carry;
    Bytes rows(6, 0);
    std::size_t used = 0;
    for (int r = 0; r < 3; ++r) used += DecodeTargaRLE(packets.data() + used, packets.size() - used, rows.data() + 2 * r, 2, 8, &carry);
    EXPECT_EQ(rows, (Bytes{1, 2, 3, 9, 9, 9}));
    EXPECT_EQ(used, packets.size());
}

TEST(RunLengthDecoders, EdgeCasesOfEachScheme) {
    TPackbitsRLE pb;
    EXPECT_EQ(DecodeInto(pb, {0x80, 0x00, 5, 0xFE, 6}, 4), (Bytes{5, 6, 6, 6}));  // -128 skipped, 0 copies one
    TPCXRLE pcx;
    EXPECT_EQ(DecodeInto(pcx, {0xC0, 9, 0xC5, 4, 3}, 4), (Bytes{4, 4, 4, 4}));  // 0xC0 writes nothing; run cut
    TSGIRLE sgi;
    sgi.SampleSize = 2;
    EXPECT_EQ(DecodeInto(sgi, {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x02, 0x9A, 0xBC, 0, 0}, 4), (Bytes{0x12, 0x56, 0x9A, 0x9A}));
    sgi.SampleSize = 1;
    EXPECT_EQ(DecodeInto(sgi, {0x83, 1, 2, 3, 0x02, 7, 0x00, 0x01, 9}, 6, 0), (Bytes{1, 2, 3, 7, 7, 0}));  // 0 ends the row
    TRLADecoder rla;
    EXPECT_EQ(DecodeInto(rla, {0x02, 5, 0xFE, 1, 2}, 5), (Bytes{5, 5, 5, 1, 2}));
    TCUTRLE cut;
    const Bytes row = {9, 0, 0x83, 4, 0x02, 1, 2, 0, 0xAA};
    const std::uint8_t* src = row.data();
    Bytes out(5, 0);
    cut.Decode(src, out.data(), static_cast<std::uint32_t>(row.size()), 5);
    EXPECT_EQ(out, (Bytes{4, 4, 4, 1, 2}));
    EXPECT_EQ(src, row.data() + 8);  // just past the 0
}

// A TIFF-style LZW code stream (most significant bit first) of the given codes at the widths the
// decoder must use: 9 bits until next free reaches 511, then 10 and so on.
Bytes PackMsb(const std::vector<std::pair<unsigned, unsigned>>& codes) {
    Bytes out;
    std::uint64_t acc = 0;
    unsigned bits = 0;
    for (auto [code, width] : codes) {
        acc = (acc << width) | code;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc >> (bits - 8)));
            bits -= 8;
        }
    }
    if (bits) out.push_back(static_cast<std::uint8_t>(acc << (8 - bits)));
    return out;
}

TEST(LZWDecoders, TiffWidthGrowsOneCodeEarly) {
    // Literals 0..252 define entries 258..510 (253 codes define 252 entries after the first), so
    // the code after literal 253 has defined 510 and next free is 511: from there codes are 10 bits.
    std::vector<std::pair<unsigned, unsigned>> codes = {{256, 9}};
    for (unsigned i = 0; i <= 253; ++i) codes.push_back({i, 9});
    codes.push_back({300, 10});  // entry 300 = "42 43"
    codes.push_back({257, 10});
    TTIFFLZW lzw;
    const Bytes out = DecodeInto(lzw, PackMsb(codes), 256);
    for (unsigned i = 0; i <= 253; ++i) ASSERT_EQ(out[i], i);
    EXPECT_EQ(out[254], 42);
    EXPECT_EQ(out[255], 43);
    // Written with the change one code later (GIF's rule), the 9-bit 300 and the following bits
    // read as the 10-bit code 600, which is not defined.
    codes[codes.size() - 2].second = 9;
    TTIFFLZW late;
    EXPECT_THROW(DecodeInto(late, PackMsb(codes), 256, 0), Exception);
}

TEST(LZWDecoders, InvalidCodesRaise) {
    TTIFFLZW tiff;
    try {
        DecodeInto(tiff, PackMsb({{256, 9}, {65, 9}, {400, 9}}), 10);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "TIF LZW: invalid opcode.");
    }
    // GIF, code size 2: clear 4, end 5; code 7 right after a literal is above next free (6).
    TGIFLZW gif;
    gif.InitialCodeSize = 2;
    try {
        DecodeInto(gif, {2, 0xCC, 0x01}, 10);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "GIF LZW: invalid opcode.");
    }
}

TEST(Decoders, NeverReadOrWritePastTheirBuffers) {
    // Random input into every decoder: the sanitizers catch an overread of the exact-size input
    // copy, Run's guard bytes an overwrite.
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        Bytes in(rng() % 300);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        const std::size_t outSize = rng() % 200;
        TTIFFLZW a;
        TGIFLZW b;
        b.InitialCodeSize = static_cast<std::uint8_t>(2 + rng() % 7);
        TPackbitsRLE c;
        TPCXRLE d;
        TSGIRLE e;
        e.SampleSize = static_cast<std::uint8_t>(1 + rng() % 2);
        TCUTRLE f;
        TRLADecoder g;
        auto guarded = [&](auto& dec) {
            try {
                DecodeInto(dec, in, outSize);
            } catch (const Exception&) {
            }
        };
        guarded(a), guarded(b), guarded(c), guarded(d), guarded(e), guarded(f), guarded(g);
        Bytes t(outSize + 8, 0xEE);
        DecodeTargaRLE(in.data(), in.size(), t.data(), outSize, 8 * static_cast<int>(1 + rng() % 4));
        for (std::size_t i = outSize; i < t.size(); ++i) ASSERT_EQ(t[i], 0xEE);
    }
}

}  // namespace
