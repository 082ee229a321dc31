// The skin description's value syntax and element lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/sysutils.h"
#include "skin/SkinDescription.h"

namespace {

std::vector<std::string> Split(const std::string& value) {
    TStringList list;
    list.Add("stale");
    SplitSkinValue(&list, value, ',');
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
    return out;
}

using Items = std::vector<std::string>;

TEST(SplitSkinValue, Table) {
    struct Case {
        std::string value;
        Items items;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a,b,c", {"a", "b", "c"}},
        {"  a ,  b", {"a ", "b"}},               // blanks before the separator stay in the item
        {"Play, 1, 2", {"Play", "1", "2"}},
        {"a,,b", {"a", "", "b"}},                // two separators: an empty item between
        {",a", {"", "a"}},                       // separator first: an empty first item
        {"a,", {"a"}},                           // separator last: no empty item
        {"a, ", {"a"}},
        {"two words,x", {"two words", "x"}},
        {"\"quoted, with comma\",x", {"quoted, with comma", "x"}},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        {"\"\",x", {"", "x"}},
        {"\"open", {"open"}},                    // no closing quote: the rest of the value
        {"\"ab\"cd,x", {"ab", "cd", "x"}},
        {"a\tb,c", {"a", "b", "c"}},             // a control character ends an item
        {"\t\x01 a", {"a"}},
        {std::string("a,b\0c", 5), {"a", "b"}},  // NUL ends the value
        {"1 ,2", {"1 ", "2"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.value), c.items) << "value: [" << c.value << "]";
}

TEST(SplitSkinValue, NumberFollowedByBlankDoesNotConvert) {
    auto items = Split("12 , 13");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_THROW(StrToInt(items[0]), EConvertError);
    EXPECT_EQ(StrToInt(items[1]), 13);
    EXPECT_EQ(StrToInt(Split("$1F")[0]), 31);
}

TEST(GetSkinFileExt, Table) {
    struct Case {
        std::string name, ext;
    } cases[] = {
        {"c:\\skins\\face.bmp", "BMP"},
        {"face.Gif", "GIF"},
        {"face.jpeg", "JPE"},
        {"face.gif.bmp", "GIF"},      // the first extension counts
        {"face.bmp.gif", "BMP"},
        {"c:\\dir.gif\\face", " "},   // only the file-name part
        {"c:face.gif", "GIF"},
        {"/tmp/x.y/face.bm", "BM"},
        {"ERROR", " "},
        {"trailing.", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSkinFileExt(c.name), c.ext) << c.name;
}

struct HotResult {
    std::string id;
    int x, y, w, h;
    bool isSwitch, state;
    std::string group, hint;
};

TEST(HotAreaLine, Versions140And150) {
    struct Case {
        int version;
        std::string line;
        bool stateBefore;
        HotResult want;
    } cases[] = {
        {140, "Play, 1, 2, 3, 4", false, {"Play", 1, 2, 3, 4, false, false, "", ""}},
        {140, "Rep, 1, 2, 3, 4, TRUE", false, {"Rep", 1, 2, 3, 4, true, true, "", ""}},
        {140, "Rep, 1, 2, 3, 4, FALSE", true, {"Rep", 1, 2, 3, 4, true, false, "", ""}},
        {140, "Rep, 1, 2, 3, 4, false", false, {"Rep", 1, 2, 3, 4, true, true, "", ""}},  // only FALSE is off
        {140, "Rep, 1, 2, 3, 4, 0", false, {"Rep", 1, 2, 3, 4, true, true, "", ""}},
        {140, "A, 1, 2, 3, 4, FALSE, Grp", false, {"A", 1, 2, 3, 4, true, false, "Grp", ""}},
        {140, "A, 1, 2, 3, 4, FALSE, Grp, extra", false, {"A", 1, 2, 3, 4, true, false, "", ""}},
        {140, "Keep, $10, 0, 1, 1", true, {"Keep", 16, 0, 1, 1, false, true, "", ""}},  // no state item: kept
        {150, "Play, 1, 2, 3, 4, Start playing", false, {"Play", 1, 2, 3, 4, false, false, "", "Start playing"}},
        {150, "Rep, 1, 2, 3, 4, Repeat, TRUE", false, {"Rep", 1, 2, 3, 4, true, true, "", "Repeat"}},
        {150, "A, 1, 2, 3, 4, hint, TRUE, Grp", false, {"A", 1, 2, 3, 4, true, true, "Grp", "hint"}},
    };
    for (const auto& c : cases) {
        HotAreaInfoRec rec;
        rec.State = c.stateBefore;
        rec.Pressed = true;
        rec.Group = "old";
        rec.Hint = "old";
        TStringList names, selections;
        ParseHotAreaLine(c.line, c.version, 0, rec, names, selections);
        HotResult got{rec.ID, rec.X, rec.Y, rec.Width, rec.Height, rec.IsSwitch, rec.State, rec.Group, rec.Hint};
        EXPECT_EQ(got.id, c.want.id) << c.line;
        EXPECT_EQ((std::vector<int>{got.x, got.y, got.w, got.h}), (std::vector<int>{c.want.x, c.want.y, c.want.w, c.want.h}))
            << c.line;
        EXPECT_EQ(got.isSwitch, c.want.isSwitch) << c.line;
        EXPECT_EQ(got.state, c.want.state) << c.line;
        EXPECT_EQ(got.group, c.want.group) << c.line;
        EXPECT_EQ(got.hint, c.want.hint) << c.line;
        EXPECT_FALSE(rec.Pressed) << c.line;
    }
}

TEST(HotAreaLine, Errors) {
    struct Case {
        int version;
        std::string line;
        std::string message;
    } cases[] = {
        {140, "Play, 1, 2, 3", "List index out of bounds (4)"},
        {150, "Play, 1, 2, 3, 4", "List index out of bounds (5)"},   // version 150 needs the hint
        {140, "Play, 1, x, 3, 4", "'x' is not a valid integer value"},
        {140, "Play, 1 , 2, 3, 4", "'1 ' is not a valid integer value"},
        {120, "Play, 1, 2, 3, 4", "List index out of bounds (-1)"},  // unknown version
    };
    for (const auto& c : cases) {
        HotAreaInfoRec rec;
        TStringList names, selections;
        try {
            ParseHotAreaLine(c.line, c.version, 0, rec, names, selections);
            ADD_FAILURE() << "no exception for " << c.line;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.message) << c.line;
        }
    }
}

TEST(HotAreaLine, GroupsIgnoreCaseAndTrackTheSelection) {
    TStringList names, selections;
    HotAreaInfoRec a, b, c;
    ParseHotAreaLine("A, 0, 0, 1, 1, FALSE, Play", 140, 0, a, names, selections);
    ParseHotAreaLine("B, 0, 0, 1, 1, TRUE, PLAY", 140, 1, b, names, selections);
    ParseHotAreaLine("C, 0, 0, 1, 1, FALSE, Other", 140, 2, c, names, selections);
    ASSERT_EQ(names.Count(), 2);
    EXPECT_EQ(names.Get(0), "Play");
    EXPECT_EQ(selections.Get(0), "1");  // B is on
    EXPECT_EQ(selections.Get(1), "-1");
    EXPECT_EQ(b.Group, "PLAY");         // the element keeps its own spelling
}

TEST(DisplayLine, Items) {
    DisplayLineValues v = ParseDisplayLine("Time, Verdana, TRUE, true, 9, $0000FF, 10, 20");
    EXPECT_EQ(v.ID, "Time");
    EXPECT_EQ(v.FontName, "Verdana");
    EXPECT_TRUE(v.Bold);
    EXPECT_FALSE(v.Italic);  // only TRUE counts
    EXPECT_EQ(v.Size, 9);
    EXPECT_EQ(v.Color, 0xFF);
    EXPECT_EQ(v.X, 10);
    EXPECT_EQ(v.Y, 20);
    EXPECT_FALSE(v.HasStyle);
    EXPECT_EQ(v.Text, "");

    struct Case {
        std::string tail;
        bool hasStyle;
        std::string style, text;
    } cases[] = {
        {"", false, "", ""},
        {", Number", true, "Number", ""},                 // 9 items: a style, no text
        {", Text, HELLO", true, "Text", "HELLO"},         // 10 items: style and text
        {", Text, HELLO, more", true, "Text", ""},        // 11 items: the text is cleared
    };
    for (const auto& c : cases) {
        DisplayLineValues d = ParseDisplayLine("D, Arial, FALSE, FALSE, 8, 0, 1, 2" + c.tail);
        EXPECT_EQ(d.HasStyle, c.hasStyle) << c.tail;
        EXPECT_EQ(d.Style, c.style) << c.tail;
        EXPECT_EQ(d.Text, c.text) << c.tail;
    }
    EXPECT_THROW(ParseDisplayLine("D, Arial, FALSE, FALSE, 8, 0, 1"), EListError);
    EXPECT_THROW(ParseDisplayLine("D, Arial, FALSE, FALSE, big, 0, 1, 2"), EConvertError);
    EXPECT_NO_THROW(ParseDisplayLine(skin::kDefaultDisplayLine));
}

TEST(TrackBarLine, ItemsAndClampedPositions) {
    struct Case {
        std::string line;
        bool horizontal;
        int position;
        std::string hint;
    } cases[] = {
        {"Vol, t.bmp, d.bmp, 1, 2, 100, H", true, 0, ""},
        {"Vol, t.bmp, d.bmp, 1, 2, 100, V, 40", false, 40, ""},
        {"Vol, t.bmp, d.bmp, 1, 2, 100, v, 40, Volume", true, 40, "Volume"},  // only "V" is vertical
        {"Vol, t.bmp, d.bmp, 1, 2, 100, H, 300", true, 100, ""},              // clamped, not wrapped
        {"Vol, t.bmp, d.bmp, 1, 2, 100, H, -5", true, 0, ""},
        {"Vol, t.bmp, d.bmp, 1, 2, 100, H, 100", true, 100, ""},
    };
    for (const auto& c : cases) {
        TrackBarLineValues v = ParseTrackBarLine(c.line);
        EXPECT_EQ(v.ID, "Vol");
        EXPECT_EQ(v.ThumbName, "t.bmp");
        EXPECT_EQ(v.DragThumbName, "d.bmp");
        EXPECT_EQ(v.X, 1);
        EXPECT_EQ(v.Y, 2);
        EXPECT_EQ(v.Length, 100);
        EXPECT_EQ(v.Horizontal, c.horizontal) << c.line;
        EXPECT_EQ(v.Position, c.position) << c.line;
        EXPECT_EQ(v.Hint, c.hint) << c.line;
    }
    EXPECT_THROW(ParseTrackBarLine("Vol, t.bmp, d.bmp, 1, 2, 100"), EListError);
    EXPECT_THROW(ParseTrackBarLine("Vol, t.bmp, d.bmp, 1, 2, 100, H, lots"), EConvertError);
}

TEST(TrackBarLine, OffsetFollowsTravel) {
    TrackBarInfoRec bar;
    bar.Length = 100;
    bar.ThumbWidth = 10;
    bar.ThumbHeight = 4;
    EXPECT_EQ(TrackBarOffset(bar, 50), 45);
    EXPECT_EQ(TrackBarOffset(bar, 100), 90);
    EXPECT_EQ(TrackBarOffset(bar, 33), 29);  // truncated
    bar.Horizontal = false;
    EXPECT_EQ(TrackBarOffset(bar, 50), 48);
    bar.Length = 4;  // no room to travel
    EXPECT_EQ(TrackBarOffset(bar, 100), 0);
    bar.Length = 2;
    EXPECT_EQ(TrackBarOffset(bar, 100), 0);
}

}  // namespace
