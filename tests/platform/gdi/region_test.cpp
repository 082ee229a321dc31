// Regions: band lists built from rectangles, combined, tested, compared.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/gdi/wingdi.h"

namespace {

// The region of the opaque pixels of a mask, one rectangle per horizontal run, made in batches of
// at most `batch` rectangles joined with RGN_OR (batch 0: one request).
HRGN RegionOfMask(const std::vector<std::vector<bool>>& opaque, std::size_t batch) {
    std::vector<RECT> all;
    for (int y = 0; y < static_cast<int>(opaque.size()); ++y) {
        int w = static_cast<int>(opaque[y].size());
        for (int x = 0; x < w;) {
            if (!opaque[y][x]) { ++x; continue; }
            int x0 = x;
            while (x < w && opaque[y][x]) ++x;
            all.push_back(RECT{x0, y, x, y + 1});
        }
    }
    auto make = [](const RECT* r, std::size_t n) {
        std::vector<unsigned char> buf(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
        auto* d = reinterpret_cast<RGNDATA*>(buf.data());
        d->rdh = RGNDATAHEADER{};
        d->rdh.nCount = static_cast<DWORD>(n);
        if (n) std::memcpy(d->Buffer, r, n * sizeof(RECT));
        return ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), d);
    };
    if (batch == 0) return make(all.data(), all.size());
    HRGN result = nullptr;
    for (std::size_t i = 0; i < all.size() || (i == 0 && !result); i += batch) {
        std::size_t n = std::min(batch, all.size() - std::min(i, all.size()));
        HRGN part = make(all.data() + std::min(i, all.size()), n);
        if (!result) {
            result = part;
        } else {
            CombineRgn(result, result, part, RGN_OR);
            DeleteObject(ToGdiObj(part));
        }
        if (all.empty()) break;
    }
    return result;
}

TEST(Region, RandomMasksContainExactlyTheOpaquePixels) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 60);
        int density = static_cast<int>(rng() % 101);
        std::vector<std::vector<bool>> m(h, std::vector<bool>(w));
        for (auto& row : m)
            for (std::size_t x = 0; x < row.size(); ++x) row[x] = static_cast<int>(rng() % 100) < density;
        HRGN r = RegionOfMask(m, 0);
        ASSERT_NE(r, nullptr);
        RECT box{};
        int type = GetRgnBox(r, &box);
        bool any = false;
        for (int y = -1; y <= h; ++y)
            for (int x = -1; x <= w; ++x) {
                bool want = y >= 0 && y < h && x >= 0 && x < w && m[y][x];
                any = any || want;
                ASSERT_EQ(PtInRegion(r, x, y) != 0, want) << "round " << round << " at " << x << "," << y;
                if (want) {
                    EXPECT_TRUE(x >= box.left && x < box.right && y >= box.top && y < box.bottom);
                }
            }
        EXPECT_EQ(type == NULLREGION, !any);
        DeleteObject(ToGdiObj(r));
    }
}

TEST(Region, ManyRunsBuiltInBatchesEqualOneRequest) {
    // A checkerboard-like mask of 100 x 100 with about 2500 runs, more than one batch of 2000.
    std::vector<std::vector<bool>> m(100, std::vector<bool>(100));
    std::mt19937 rng(7);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) m[y][x] = ((x / 2 + y) % 2 == 0) || rng() % 7 == 0;
    HRGN one = RegionOfMask(m, 0);
    for (std::size_t batch : {2000u, 100u}) {
        HRGN pieces = RegionOfMask(m, batch);
        EXPECT_TRUE(EqualRgn(one, pieces)) << "batch " << batch;
        DeleteObject(ToGdiObj(pieces));
    }
    DWORD bytes = GetRegionData(one, 0, nullptr);
    EXPECT_GT((bytes - sizeof(RGNDATAHEADER)) / sizeof(RECT), 0u);
    DeleteObject(ToGdiObj(one));
}

TEST(Region, EmptyMaskGivesAnEmptyRegion) {
    std::vector<std::vector<bool>> m(5, std::vector<bool>(5, false));
    for (std::size_t batch : {0u, 2000u}) {
        HRGN r = RegionOfMask(m, batch);
        ASSERT_NE(r, nullptr);
        RECT box{1, 1, 1, 1};
        EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
        EXPECT_TRUE(IsRectEmpty(&box));
        DeleteObject(ToGdiObj(r));
    }
}

TEST(Region, RowWithOpaqueEndsGivesTwoRectangles) {
    std::vector<std::vector<bool>> m = {{true, false, false, true}};
    HRGN r = RegionOfMask(m, 0);
    DWORD need = GetRegionData(r, 0, nullptr);
    std::vector<unsigned char> buf(need);
    ASSERT_EQ(GetRegionData(r, need, reinterpret_cast<RGNDATA*>(buf.data())), need);
    auto* d = reinterpret_cast<RGNDATA*>(buf.data());
    ASSERT_EQ(d->rdh.nCount, 2u);
    auto* rects = reinterpret_cast<RECT*>(d->Buffer);
    EXPECT_EQ(rects[0].left, 0);
    EXPECT_EQ(rects[0].right, 1);
    EXPECT_EQ(rects[1].left, 3);
    EXPECT_EQ(rects[1].right, 4);
    DeleteObject(ToGdiObj(r));
}

TEST(Region, CombineModesAgreeWithPointSets) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), d = CreateRectRgn(0, 0, 0, 0);
    struct Case { int mode; bool (*in)(bool, bool); };
    const Case cases[] = {
        {RGN_AND, [](bool x, bool y) { return x && y; }},
        {RGN_OR, [](bool x, bool y) { return x || y; }},
        {RGN_XOR, [](bool x, bool y) { return x != y; }},
        {RGN_DIFF, [](bool x, bool y) { return x && !y; }},
    };
    for (const Case& c : cases) {
        CombineRgn(d, a, b, c.mode);
        for (int y = -1; y < 17; ++y)
            for (int x = -1; x < 17; ++x)
                ASSERT_EQ(PtInRegion(d, x, y) != 0, c.in(PtInRegion(a, x, y) != 0, PtInRegion(b, x, y) != 0))
                    << "mode " << c.mode << " at " << x << "," << y;
    }
    // Touching rectangles merge: equality is of point sets, not of how they were made.
    HRGN left = CreateRectRgn(0, 0, 5, 10), right = CreateRectRgn(5, 0, 10, 10);
    CombineRgn(d, left, right, RGN_OR);
    EXPECT_TRUE(EqualRgn(d, a));
    RECT box{};
    EXPECT_EQ(GetRgnBox(d, &box), SIMPLEREGION);
    for (HRGN h : {a, b, d, left, right}) DeleteObject(ToGdiObj(h));
}

TEST(Region, ExtCreateRegionRejectsShortBuffers) {
    std::vector<unsigned char> buf(sizeof(RGNDATAHEADER) + sizeof(RECT));
    auto* d = reinterpret_cast<RGNDATA*>(buf.data());
    d->rdh = RGNDATAHEADER{};
    d->rdh.nCount = 2;  // claims more rectangles than the block holds
    EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), d), nullptr);
    d->rdh.nCount = 1;
    *reinterpret_cast<RECT*>(d->Buffer) = RECT{1, 2, 3, 4};
    HRGN r = ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), d);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(PtInRegion(r, 2, 3));
    DeleteObject(ToGdiObj(r));
}

TEST(Region, JoiningIntoItselfEqualsJoiningIntoAThirdRegion) {
    // dst == a takes the appending path: random rectangle sets above, overlapping and below.
    std::mt19937 rng(77);
    auto randomRgn = [&](int top, int rows) {
        std::vector<unsigned char> buf(sizeof(RGNDATAHEADER) + 12 * sizeof(RECT));
        auto* d = reinterpret_cast<RGNDATA*>(buf.data());
        d->rdh = RGNDATAHEADER{};
        d->rdh.nCount = 12;
        RECT* r = reinterpret_cast<RECT*>(d->Buffer);
        for (int i = 0; i < 12; ++i) {
            const int l = static_cast<int>(rng() % 50), t = top + static_cast<int>(rng() % rows);
            r[i] = RECT{l, t, l + 1 + static_cast<int>(rng() % 20), t + 1 + static_cast<int>(rng() % 6)};
        }
        return ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), d);
    };
    for (int round = 0; round < 200; ++round) {
        const int topB = static_cast<int>(rng() % 40);
        HRGN a = randomRgn(0, 20), b = randomRgn(topB, 20);
        HRGN expect = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(CombineRgn(expect, a, b, RGN_OR), ERROR);
        ASSERT_NE(CombineRgn(a, a, b, RGN_OR), ERROR);
        ASSERT_TRUE(EqualRgn(a, expect)) << "round " << round;
        for (HRGN h : {a, b, expect}) DeleteObject(ToGdiObj(h));
    }
}

}  // namespace

