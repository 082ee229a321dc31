// The equalizer's arithmetic: positions and gains, the gain list of the settings file and the
// decoder's record; and the hint table.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/codepage/cp1254.h"
#include "player/Main.h"

namespace {

TEST(EqualizerMath, PositionsAndGains) {
    struct Case {
        int gain, pos;
    } toPos[] = {{0, 50}, {80, 0}, {-80, 100}, {5, 47}, {4, 48}, {-4, 52}, {12, 42}, {40, 25}};
    for (auto c : toPos) EXPECT_EQ(dorlin::PosFromGain(c.gain), c.pos) << c.gain;
    struct Back {
        int pos, gain;
    } toGain[] = {{50, 0}, {0, 80}, {100, -80}, {49, 2}, {47, 5}, {25, 40}, {51, -2}};
    for (auto c : toGain) EXPECT_EQ(dorlin::GainFromPos(c.pos), c.gain) << c.pos;
}

TEST(EqualizerMath, GainLists) {
    struct Case {
        std::string text;
        TEQValues want;
        int reports;
    } cases[] = {
        {"0,0,0,0,0,0,0,0,0,0,", {}, 0},
        {"1,2,3", {1, 2, 3, 7, 7, 7, 7, 7, 7, 7}, 0},
        {"1,2,3,", {1, 2, 3, 7, 7, 7, 7, 7, 7, 7}, 0},
        {"-80,80,0,1,2,3,4,5,6,7,8,9", {-80, 80, 0, 1, 2, 3, 4, 5, 6, 7}, 0},
        {"1,,3", {1, 0, 3, 7, 7, 7, 7, 7, 7, 7}, 1},
        {"x,2", {0, 2, 7, 7, 7, 7, 7, 7, 7, 7}, 1},
        {"0x10,$20", {16, 32, 7, 7, 7, 7, 7, 7, 7, 7}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TEQValues v;
        v.fill(7);
        if (c.text == "0,0,0,0,0,0,0,0,0,0,") v.fill(5);
        int reports = 0;
        std::string last;
        dorlin::StrToEQValues(c.text, v, [&](const std::string& m) {
            ++reports;
            last = m;
        });
        EXPECT_EQ(v, c.want);
        EXPECT_EQ(reports, c.reports);
        if (c.text == "x,2") {
            EXPECT_EQ(last, "'x' is not a valid integer value");
        }
    }
    EXPECT_EQ(dorlin::EQValuesToStr({-80, 80, 0, 1, 2, 3, 4, 5, 6, 7}), "-80,80,0,1,2,3,4,5,6,7");
}

TEST(EqualizerMath, RecordSpreadsTheTenGainsOverThe32Bands) {
    const auto r = dorlin::EqualizerRecord({1, 2, 3, 4, 5, 6, 7, 8, 9, -10});
    for (int band = 0; band < 32; ++band) {
        const int gain = band < 27 ? band / 3 + 1 : -10;
        EXPECT_EQ(r.left[band], gain) << band;
        EXPECT_EQ(r.right[band], gain) << band;
    }
    // A gain outside -128..127 (an edited file) goes as its low byte.
    EXPECT_EQ(dorlin::EqualizerRecord({300}).left[0], 44);
}

TEST(Hints, EveryButtonHasItsText) {
    EXPECT_EQ(dorlin::HintText("BUTTON_PLAY"), cp1254::FromUtf8("Başla"));
    EXPECT_EQ(dorlin::HintText("BUTTON_EXIT"), cp1254::FromUtf8("Çıkış"));
    EXPECT_EQ(dorlin::HintText("BUTTON_PREV"), cp1254::FromUtf8("Önceki Şarkı"));
    EXPECT_EQ(dorlin::HintText("BUTTON_EQUALIZER"), "Ekolayzer");
    EXPECT_EQ(dorlin::HintText("button_play"), "");  // the window upper-cases before it asks
    EXPECT_EQ(dorlin::HintText(""), "");
    EXPECT_EQ(dorlin::HintText("TRACKBAR_POS"), "");
}

TEST(PlayListOrder, NextAndPrevWrap) {
    TPlayList p;
    p.Next();
    EXPECT_EQ(p.Current, "");  // empty list: nothing to move to
    p.Add("a");
    p.Add("b");
    p.Add("c");
    p.Index = 3;
    p.Next();
    EXPECT_EQ(p.Index, 1);
    EXPECT_EQ(p.Current, "a");
    p.Prev();
    EXPECT_EQ(p.Index, 3);
    EXPECT_EQ(p.Current, "c");
    p.Index = 17;  // a stored position outside the list
    p.Next();
    EXPECT_EQ(p.Index, 1);
    TStringList other;
    other.Add("x");
    other.Add("y");
    p.Assign(&other);
    EXPECT_EQ(p.Index, 0);
    EXPECT_EQ(p.Current, "x");
    EXPECT_EQ(p.Count(), 2);
    EXPECT_EQ(p.IndexOf("Y"), 1);  // lookups ignore case
}

// A stored place at either end of the int range (Sarki=2147483647 or -2147483648) wraps like any
// other place outside the list, without stepping past the range.
TEST(PlayListOrder, PlacesAtTheEndsOfTheRangeWrap) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        std::int32_t From;
        bool Forward;
        std::int32_t To;
    };
    const Case cases[] = {
        {kMax, true, 1}, {kMin, true, 1}, {kMax, false, 3}, {kMin, false, 3},
        {-1, true, 1},   {0, true, 1},    {4, false, 3},    {1, false, 3},
        {2, true, 3},    {3, false, 2},
    };
    TPlayList p;
    p.Add("a");
    p.Add("b");
    p.Add("c");
    for (const Case& c : cases) {
        p.Index = c.From;
        if (c.Forward) p.Next();
        else p.Prev();
        EXPECT_EQ(p.Index, c.To) << c.From << (c.Forward ? " next" : " prev");
        EXPECT_EQ(p.Current, p.Get(c.To - 1));
    }
}

}  // namespace
