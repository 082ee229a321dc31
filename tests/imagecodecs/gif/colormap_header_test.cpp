// GIF colour tables (growing, reading, writing, searching, ordering by use) and the header with its
// item and list base classes.
#include <gtest/gtest.h>

#include "gif_walk.h"

namespace giftest {
namespace {

// A frame with pixels and an optional transparent index, whose active table is set by the test.
class TestFrame : public TGIFFrameLink {
public:
    TGIFColorMap* ActiveColorMap() override { return Active; }
    BYTE* IndexPixels() override { return Pixels.empty() ? nullptr : Pixels.data(); }
    std::int64_t IndexPixelCount() override { return static_cast<std::int64_t>(Pixels.size()); }
    bool HasTransparentIndex() override { return Transparent >= 0; }
    BYTE TransparentIndex() override { return static_cast<BYTE>(Transparent); }
    void SetTransparentIndex(BYTE i) override { Transparent = i; }
    void SetFramePalette(HPALETTE) override { ++PaletteResets; }
    void FrameWarning(TObject*, int, const std::string& m) override { Warnings.push_back(m); }

    TGIFColorMap* Active = nullptr;
    std::vector<BYTE> Pixels;
    int Transparent = -1;
    int PaletteResets = 0;
    std::vector<std::string> Warnings;
};

TColor Grey(int v) { return v | v << 8 | v << 16; }

TEST(GifColorMap, GrowReadWriteAndSearch) {
    TestFrame frame;
    TGIFLocalColorMap map(&frame);
    map.EnsureRoom(17);
    EXPECT_EQ(map.Capacity(), 32);
    map.EnsureRoom(200);
    EXPECT_EQ(map.Capacity(), 224);
    map.EnsureRoom(1000);
    EXPECT_EQ(map.Capacity(), 256);
    map.Reset();
    EXPECT_EQ(map.Capacity(), 0);

    TStringStream empty;
    map.WriteTable(&empty);
    EXPECT_EQ(empty.DataString(), "");
    EXPECT_EQ(map.ToPalette(), nullptr);

    map.AppendColor(0x030201);
    TStringStream one;
    map.WriteTable(&one);
    EXPECT_EQ(one.DataString(), std::string("\x01\x02\x03\0\0\0", 6));
    map.AppendColor(Grey(9));
    map.AppendColor(0x030201);
    TStringStream three;
    map.WriteTable(&three);
    EXPECT_EQ(three.DataString().size(), 12u);
    EXPECT_EQ(map.FindColor(0x030201), 2);  // unsorted: the last duplicate
    EXPECT_EQ(map.FindColor(Grey(77)), -1);
    EXPECT_EQ(map.MergeColor(Grey(9)), 1);
    EXPECT_EQ(map.MergeColor(Grey(10)), 3);

    // A table read from a stream is never sorted.
    TStringStream in(std::string("\x01\x02\x03\x04\x05\x06", 6));
    map.ReadTable(&in, 2);
    EXPECT_EQ(map.Count(), 2);
    EXPECT_FALSE(map.IsSortedByUse());
    EXPECT_EQ(map.ColorAt(1), 0x060504);
    TStringStream shortIn(std::string("\x01\x02", 2));
    EXPECT_THROW(map.ReadTable(&shortIn, 2), GIFException);

    // Out of range: warn once and use entry 0; an empty table then raises.
    TStringStream sevens(std::string(12, '\x07'));
    map.ReadTable(&sevens, 4);
    EXPECT_EQ(map.ColorAt(300), Grey(7));
    EXPECT_EQ(frame.Warnings, std::vector<std::string>{"Invalid color index"});
    map.Reset();
    try {
        map.ColorAt(0);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Color table is empty");
    }
    EXPECT_EQ(frame.Warnings.size(), 2u);
    EXPECT_THROW(map.RemoveColor(0), GIFException);

    for (int i = 0; i < 256; ++i) map.AppendColor(Grey(i));
    try {
        map.AppendColor(1);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Color table overflow");
    }
    map.RemoveColor(0);
    EXPECT_EQ(map.Count(), 255);
    EXPECT_EQ(map.ColorAt(0), Grey(1));
    HPALETTE pal = map.ToPalette();
    PALETTEENTRY e[256];
    ASSERT_EQ(ReadPaletteEntries(pal, e), 255);
    EXPECT_EQ(e[0].peRed, 1);
    EXPECT_EQ(e[0].peFlags, 4);
    TGIFLocalColorMap copy(&frame);
    copy.FromPalette(pal);
    EXPECT_EQ(copy.Count(), 255);
    EXPECT_EQ(copy.ColorAt(254), Grey(255));
    DeleteObject(ToGdiObj(pal));
    const RGBQUAD quads[2] = {{1, 2, 3, 9}, {4, 5, 6, 9}};
    copy.FromRGBQuads(quads, 2);
    EXPECT_EQ(copy.ColorAt(0), 0x010203);
    EXPECT_GT(frame.PaletteResets, 0);
}

TEST(GifColorMap, SortByUse) {
    TestFrame frame;
    TGIFLocalColorMap map(&frame);
    frame.Active = &map;
    for (int v : {10, 20, 30, 40}) map.AppendColor(Grey(v));
    // Already in order of decreasing use: nothing moves, and the unused entry 3 stays.
    frame.Pixels = {0, 0, 0, 1, 1, 2};
    EXPECT_TRUE(map.Compact());
    EXPECT_TRUE(map.IsSortedByUse());
    EXPECT_EQ(map.Count(), 4);
    EXPECT_EQ(map.FindColor(Grey(30)), 2);

    // Out of order: entries move, pixels and the transparent index follow, unused entries go.
    frame.Pixels = {2, 2, 2, 0, 2, 0, 1};
    frame.Transparent = 1;
    EXPECT_TRUE(map.SortByUse());
    EXPECT_EQ(map.Count(), 3);
    EXPECT_EQ(map.ColorAt(0), Grey(30));
    EXPECT_EQ(map.ColorAt(1), Grey(10));
    EXPECT_EQ(map.ColorAt(2), Grey(20));
    EXPECT_EQ(frame.Pixels, (std::vector<BYTE>{0, 0, 0, 1, 0, 1, 2}));
    EXPECT_EQ(frame.Transparent, 2);

    TGIFLocalColorMap single(&frame);
    single.AppendColor(1);
    EXPECT_FALSE(single.SortByUse());
}

TEST(GifColorMap, GlobalTableCountsTheBackground) {
    RecordingImage image;
    TGIFHeader header(&image);
    TestFrame frame;
    frame.Active = header.GlobalMap.get();
    image.Frames.push_back(&frame);
    for (int v : {10, 20, 30}) header.GlobalMap->AppendColor(Grey(v));
    header.SetBackgroundIndex(0);
    frame.Pixels = {1, 1, 1, 2, 2};
    EXPECT_TRUE(header.GlobalMap->Compact());
    // No pixel uses entry 0, but the screen's background does: it stays, and the index follows it.
    EXPECT_EQ(header.GlobalMap->Count(), 3);
    EXPECT_EQ(header.BackgroundIndex(), 2);
    EXPECT_EQ(header.BackgroundRGB(), Grey(10));
    EXPECT_EQ(frame.Pixels, (std::vector<BYTE>{0, 0, 0, 1, 1}));
    EXPECT_GT(image.PaletteResets, 0);
    image.Frames.clear();
    EXPECT_FALSE(header.GlobalMap->Compact());
}

TEST(GifHeader, ReadSignaturesAndTables) {
    RecordingImage image;
    const std::string screen("\x05\0\x03\0\x80\x01\0", 7);
    const std::string table("\x01\x02\x03\x04\x05\x06", 6);
    struct Case {
        std::string bytes;
        bool ok;
    };
    const Case cases[] = {
        {"GIF89a" + screen + table, true},
        {"gIf87a" + screen + table, true},
        {"GIFxyz" + screen + table, true},
        {"ABCDGIF89a" + screen + table, true},
        {"ABCDEGIF89a" + screen + table, false},
        {"GIF8", false},
    };
    for (const Case& c : cases) {
        TGIFHeader h(&image);
        TStringStream s(c.bytes);
        if (!c.ok) {
            EXPECT_THROW(h.LoadFromStream(&s), GIFException) << c.bytes;
            continue;
        }
        h.LoadFromStream(&s);
        EXPECT_EQ(h.Width(), 5);
        EXPECT_EQ(h.Height(), 3);
        EXPECT_EQ(h.BackgroundIndex(), 1);
        EXPECT_EQ(h.GlobalMap->Count(), 2);  // size code 0 reads 2 entries
        EXPECT_EQ(h.BackgroundRGB(), 0x060504);
        EXPECT_EQ(s.Position(), static_cast<std::int64_t>(c.bytes.size()));
    }
    TGIFHeader h(&image);
    TStringStream noTable("GIF89a" + std::string("\x01\0\x01\0\x00\0\0", 7));
    h.LoadFromStream(&noTable);
    EXPECT_EQ(h.GlobalMap->Count(), 0);
    TStringStream cut("GIF89a" + screen + "\x01\x02");
    try {
        h.LoadFromStream(&cut);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Premature end of data");
    }
}

TEST(GifHeader, WriteVersionFlagsAndTable) {
    RecordingImage image;
    TGIFHeader h(&image);
    h.SetWidth(300);
    h.SetHeight(2);
    for (int v : {1, 2, 3}) h.GlobalMap->AppendColor(Grey(v));
    image.Resolution = 7;
    TStringStream out;
    h.SaveToStream(&out);
    const std::string b = out.DataString();
    ASSERT_EQ(b.size(), 6u + 7 + 12);
    EXPECT_EQ(b.substr(0, 6), "GIF87a");
    EXPECT_EQ(static_cast<BYTE>(b[6]), 300 & 0xFF);
    EXPECT_EQ(static_cast<BYTE>(b[7]), 1);
    EXPECT_EQ(static_cast<BYTE>(b[10]), 0x80 | 0x70 | 1);  // table, resolution 7, 2 << 1 = 4 entries
    // Read back: 4 entries, never sorted.
    TGIFHeader back(&image);
    TStringStream in(b);
    back.LoadFromStream(&in);
    EXPECT_EQ(back.GlobalMap->Count(), 4);
    EXPECT_EQ(back.RequiredVersion(), gv87a);
    back.SetAspectRatio(49);
    EXPECT_EQ(back.RequiredVersion(), gv89a);

    image.Version = gv89a;
    TStringStream out89;
    h.SaveToStream(&out89);
    EXPECT_EQ(out89.DataString().substr(0, 6), "GIF89a");
    image.Version = gvUnknown;
    TStringStream bad;
    try {
        h.SaveToStream(&bad);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Unsupported GIF version");
    }
    // Without a global table: bit 7 clear and nothing after the descriptor.
    image.Version = gv87a;
    h.GlobalMap->Reset();
    TStringStream none;
    h.SaveToStream(&none);
    EXPECT_EQ(none.DataString().size(), 13u);
    EXPECT_EQ(static_cast<BYTE>(none.DataString()[10]) & 0x80, 0);
}

// A trivial item to exercise the owning list.
class ByteItem : public TGIFItem {
public:
    ByteItem(TGIFImageLink* image, char c, int* freed) : TGIFItem(image), C(c), Freed(freed) {}
    ~ByteItem() override { ++*Freed; }
    void SaveToStream(TStream* s) override { s->WriteBuffer(&C, 1); }
    void LoadFromStream(TStream* s) override { s->ReadBuffer(&C, 1); }
    char C;
    int* Freed;
};

class ByteList : public TGIFList {
public:
    using TGIFList::TGIFList;
    void ReadItems(TStream*) override {}
};

TEST(GifList, OwnsWritesAndDetaches) {
    RecordingImage image;
    int freed = 0;
    {
        ByteList list(&image);
        for (char c : {'a', 'b', 'c'}) list.Append(std::make_unique<ByteItem>(&image, c, &freed));
        TStringStream out;
        list.WriteItems(&out);
        EXPECT_EQ(out.DataString(), "abc");
        TGIFItem* b = list.ItemAt(1);
        EXPECT_EQ(list.Detach(b), 1);
        EXPECT_EQ(list.ItemCount(), 2);
        delete b;
        EXPECT_EQ(freed, 1);
        list.FreeAt(0);
        EXPECT_EQ(freed, 2);
        EXPECT_THROW(list.ItemAt(5), EListError);
        list.Warn(1, "x");
        EXPECT_EQ(image.Warnings, std::vector<std::string>{"x"});
    }
    EXPECT_EQ(freed, 3);
}

}  // namespace
}  // namespace giftest
