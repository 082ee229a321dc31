// What a GIF stream may make: logical screens under the one picture cap whatever the stream's size,
// frames under the cap and paid for by their own image data, frames wider or taller than 32768
// pixels drawn like any other, application blocks of every size read, frames cleared without
// touching the screen, pictures and lists freed without telling anyone and in one pass. Fixtures
// from gifsicle, ImageMagick and netpbm where those can make them, hostile streams byte by byte
// where no tool writes one.
#include <gtest/gtest.h>

#include <algorithm>

#include "gif_bytes.h"
#include "gif_reference.h"
#include "gif_tools.h"
#include "platform/gdi/wingdi.h"

namespace giftest {
namespace {

// Runs a command of outside tools in dir and answers the bytes of the file it made.
std::string Made(ToolDir& dir, const std::string& command, const std::string& file) {
    EXPECT_EQ(dir.Run(command), 0) << command;
    return dir.Read(file);
}

// LZW data that holds no pixel at all: minimum code size 2, then the clear and end codes.
const std::string kNoPixels("\x02\x01\x2C\x00", 4);

std::string EmptyFrame(int left, int top, int w, int h) {
    return "," + Le16(left) + Le16(top) + Le16(w) + Le16(h) + std::string(1, '\0') + kNoPixels;
}

TEST(GifLimits, ScreensBeyondTheCapAreRefused) {
    ToolDir dir;
    const std::string small = Made(dir, "convert -size 4x4 xc:red small.gif", "small.gif");
    ASSERT_EQ(small.substr(0, 3), "GIF");
    struct Case {
        const char* Name;
        std::string Gif;
    };
    // gifsicle writes the logical screen asked for; a screen of no size takes the frames' extent.
    std::string screen0 = Made(dir, "gifsicle --logical-screen 64x64 --position 60000,60000 small.gif > p.gif", "p.gif");
    ASSERT_GE(screen0.size(), 10u);
    screen0.replace(6, 4, std::string(4, '\0'));
    const Case refused[] = {
        {"12000 x 12000", Made(dir, "gifsicle --logical-screen 12000x12000 small.gif > a.gif", "a.gif")},
        {"8193 x 8192", Made(dir, "gifsicle --logical-screen 8193x8192 small.gif > c.gif", "c.gif")},
        {"65535 x 65535", Made(dir, "gifsicle --logical-screen 65535x65535 small.gif > b.gif", "b.gif")},
        {"no screen, a frame at 60000,60000", screen0},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.Name);
        Loaded l = Load(c.Gif);
        EXPECT_EQ(l.Error, "Invalid image dimensions");
        EXPECT_EQ(l.PositionAfterFailure, 0);
        // Nothing of the refused screen is kept for a still bitmap to be made of.
        ASSERT_EQ(l.Picture->Width(), 0);
        ASSERT_EQ(l.Picture->Height(), 0);
        EXPECT_EQ(l.Picture->ScreenBitmap(), nullptr);
    }
}

// Screens far larger than their frames, as gifsicle and ImageMagick write them, open whatever the
// file's size, as the C library opens them; the still bitmap is the screen with the frame drawn at
// its place only.
TEST(GifLimits, ScreensLargerThanTheirFramesOpenWhateverTheFileSize) {
    ToolDir dir;
    ASSERT_EQ(dir.Run("convert -size 100x100 xc:blue blue.gif && convert -size 1x1 xc:red red.gif"), 0);
    struct Case {
        const char* Command;
        int Width, Height;
        COLORREF Colour;
    };
    const Case cases[] = {
        {"gifsicle --logical-screen 1920x1080 blue.gif > out.gif", 1920, 1080, RGB(0, 0, 255)},
        {"gifsicle --logical-screen 8192x8192 blue.gif > out.gif", 8192, 8192, RGB(0, 0, 255)},
        {"convert red.gif -page 4000x3000+1900+1400 out.gif", 4000, 3000, RGB(255, 0, 0)},
        {"convert red.gif -page 8192x8192+0+0 out.gif", 8192, 8192, RGB(255, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Command);
        const std::string gif = Made(dir, c.Command, "out.gif");
        ASSERT_LT(gif.size(), 300u);
        const RefGif ref = RefDecode(gif);
        ASSERT_EQ(ref.Error, 0);
        ASSERT_EQ(ref.Width, c.Width);
        ASSERT_EQ(ref.Height, c.Height);
        ASSERT_EQ(ref.Frames.size(), 1u);
        Loaded l = Load(gif);
        ASSERT_EQ(l.Error, "");
        EXPECT_EQ(l.Picture->Width(), ref.Width);
        EXPECT_EQ(l.Picture->Height(), ref.Height);
        ASSERT_EQ(l.Picture->FrameCount(), 1);
        TGIFSubImage* frame = l.Picture->Frame(0);
        const RefFrame& want = ref.Frames[0];
        EXPECT_EQ(frame->Left(), want.Left);
        EXPECT_EQ(frame->Top(), want.Top);
        ASSERT_EQ(frame->Width(), want.Width);
        ASSERT_EQ(frame->Height(), want.Height);
        EXPECT_EQ(std::vector<std::uint8_t>(frame->IndexData.get(), frame->IndexData.get() + frame->IndexDataSize), want.Pixels);
        TBitmap* still = l.Picture->ScreenBitmap();
        ASSERT_NE(still, nullptr);
        ASSERT_EQ(still->Width(), c.Width);
        ASSERT_EQ(still->Height(), c.Height);
        const int right = want.Left + want.Width - 1, bottom = want.Top + want.Height - 1;
        EXPECT_EQ(gdi::BitmapPixel(still->Handle(), want.Left, want.Top) & 0xFFFFFF, c.Colour);
        EXPECT_EQ(gdi::BitmapPixel(still->Handle(), right, bottom) & 0xFFFFFF, c.Colour);
        EXPECT_NE(gdi::BitmapPixel(still->Handle(), right + 1, bottom) & 0xFFFFFF, c.Colour);
        EXPECT_NE(gdi::BitmapPixel(still->Handle(), right, bottom + 1) & 0xFFFFFF, c.Colour);
    }
}

// A comment block of `bytes` text bytes.
std::string Comment(int bytes) {
    std::string s = "\x21\xFE";
    for (int left = bytes; left > 0; left -= 255) {
        const int n = std::min(left, 255);
        s += static_cast<char>(n) + std::string(static_cast<std::size_t>(n), 'c');
    }
    return s + std::string(1, '\0');
}

// `frames` images of width x height whose image data is one LZW byte each (minimum code size 8,
// one sub-block of one byte).
std::string OneByteFrames(int frames, int width, int height) {
    std::string s;
    for (int i = 0; i < frames; ++i)
        s += "," + Le16(0) + Le16(0) + Le16(width) + Le16(height) + std::string(1, '\0') + std::string("\x08\x01\x00\x00", 4);
    return s;
}

TEST(GifLimits, FramesArePaidForByTheirOwnImageData) {
    const std::string head = GifHeader(1, 1, 1);
    auto emptyFrames = [&head](int frames, int w, int h) {
        std::string gif = head;
        for (int i = 0; i < frames; ++i) gif += EmptyFrame(0, 0, w, h);
        return gif + ";";
    };
    struct Case {
        const char* Name;
        std::string Gif;
    };
    const Case refused[] = {
        // 300 bytes claiming 20 frames of 8192 x 8192.
        {"20 frames of 8192 x 8192", emptyFrames(20, 8192, 8192)},
        // What no frame's data describes comes from one allowance for the whole stream.
        {"40 frames of 1000 x 1000", emptyFrames(40, 1000, 1000)},
        // A comment pays for no frame, wherever it stands.
        {"4 frames of 8192 x 8192, then a 64 KB comment", head + OneByteFrames(4, 8192, 8192) + Comment(65536) + ";"},
        {"60 frames of 8192 x 8192, then a 1 MB comment", head + OneByteFrames(60, 8192, 8192) + Comment(1 << 20) + ";"},
        {"a 64 KB comment, then a frame of 8192 x 8192", head + Comment(65536) + OneByteFrames(1, 8192, 8192) + ";"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.Name);
        Loaded l = Load(c.Gif);
        EXPECT_EQ(l.Error, "Invalid image dimensions");
        EXPECT_EQ(l.PositionAfterFailure, 0);
        // The C library refuses them too.
        EXPECT_NE(RefDecode(c.Gif).Error, 0);
    }
    // Frames whose data describes them load, however densely it packs them: ImageMagick's one
    // colour of 4096 x 4096; and a frame cut short that its bytes could plausibly have filled
    // loads with the rest 0.
    ToolDir dir;
    const std::string solid = Made(dir, "convert -size 4096x4096 xc:red solid.gif", "solid.gif");
    Loaded dense = Load(solid);
    ASSERT_EQ(dense.Error, "");
    ASSERT_EQ(dense.Picture->FrameCount(), 1);
    EXPECT_EQ(dense.Picture->Frame(0)->IndexDataSize, 4096 * 4096);
    const std::string whole = Made(dir, "convert -seed 7 -size 300x300 plasma:fractal -colors 64 p.gif", "p.gif");
    ASSERT_GT(whole.size(), 4000u);
    Loaded cut = Load(whole.substr(0, whole.size() / 2));
    ASSERT_EQ(cut.Error, "");
    ASSERT_EQ(cut.Picture->FrameCount(), 1);
    EXPECT_EQ(cut.Picture->Frame(0)->IndexDataSize, 300 * 300);
    EXPECT_FALSE(cut.Warnings.empty());
}

TEST(GifLimits, FramesWiderOrTallerThan32768PixelsAreDrawn) {
    ToolDir dir;
    struct Case {
        const char* Name;
        const char* Ramp;  // pgmramp arguments: a grey ramp that tells every column or row apart
        int Width, Height;
    };
    const Case cases[] = {
        {"65535 x 2", "-lr -maxval 255 65535 2", 65535, 2},
        {"2 x 65535", "-tb -maxval 255 2 65535", 2, 65535},
        {"32769 x 2", "-lr -maxval 255 32769 2", 32769, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(dir.Run(std::string("pgmramp ") + c.Ramp + " > in.pgm && pamtogif in.pgm > in.gif 2>/dev/null"), 0);
        const std::vector<std::uint8_t> grey = PnmSamples(dir.Read("in.pgm"));
        ASSERT_EQ(grey.size(), static_cast<std::size_t>(c.Width) * c.Height);
        Loaded l = Load(dir.Read("in.gif"));
        ASSERT_EQ(l.Error, "");
        TGIFSubImage* frame = l.Picture->Frame(0);
        TBitmap* built = frame->GetFrameBitmap();
        ASSERT_NE(built, nullptr);
        EXPECT_EQ(built->Width(), c.Width);
        EXPECT_EQ(built->Height(), c.Height);
        TBitmap* still = l.Picture->ScreenBitmap();
        ASSERT_NE(still, nullptr);
        ASSERT_EQ(still->Width(), c.Width);
        ASSERT_EQ(still->Height(), c.Height);
        TBitmap target;
        target.SetSize(c.Width, c.Height);
        target.Canvas()->Draw(0, 0, l.Picture.get());
        int wrongStill = 0, wrongDrawn = 0;
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x) {
                const std::uint8_t g = grey[static_cast<std::size_t>(y) * c.Width + x];
                const COLORREF want = RGB(g, g, g);
                wrongStill += (gdi::BitmapPixel(still->Handle(), x, y) & 0xFFFFFF) != want;
                wrongDrawn += (gdi::BitmapPixel(target.Handle(), x, y) & 0xFFFFFF) != want;
            }
        EXPECT_EQ(wrongStill, 0);
        EXPECT_EQ(wrongDrawn, 0);
    }
}

TEST(GifLimits, ApplicationBlocksOfTwelveTo255BytesAreReadAsUnknownData) {
    ToolDir dir;
    // gifsicle's looping block, its size byte (11) changed by one.
    const std::string looping = Made(dir, "convert -size 4x4 xc:red s.gif && gifsicle --loopcount=0 s.gif s.gif > l.gif", "l.gif");
    const std::size_t at = looping.find("NETSCAPE2.0");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(looping[at - 1], '\x0B');
    std::string damaged = looping;
    damaged[at - 1] = '\x0C';
    const auto px = Pattern(4, 2, 4);
    const std::string id = "SOMEAPP1.0X";
    struct Case {
        const char* Name;
        std::string Gif;
        std::string Identifier;
        int ImageFrames;
    };
    const Case cases[] = {
        {"NETSCAPE2.0 with size 12", damaged, "NETSCAPE2.0", 2},
        {"size 255", GifHeader(4, 2, 2) + std::string("\x21\xFF\xFF", 3) + id + std::string(244, 'z') + "\x03xyz" +
                         std::string(1, '\0') + ImageBlock(0, 0, 4, 2, px, 2) + ";",
         id, 1},
        {"size 16", GifHeader(4, 2, 2) + std::string("\x21\xFF\x10", 3) + id + "12345" + std::string(1, '\0') +
                        ImageBlock(0, 0, 4, 2, px, 2) + ";",
         id, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Loaded l = Load(c.Gif);
        ASSERT_EQ(l.Error, "");
        int images = 0;
        for (int i = 0; i < l.Picture->FrameCount(); ++i) images += !l.Picture->Frame(i)->IsBlank();
        EXPECT_EQ(images, c.ImageFrames);
        ASSERT_GE(l.Picture->FrameCount(), 1);
        TGIFSubImage* first = l.Picture->Frame(0);
        ASSERT_GE(first->FrameExtensions->ItemCount(), 1);
        auto* app = dynamic_cast<TGIFUnknownAppExtension*>(first->FrameExtensions->ItemAt(0));
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(std::string(app->Identifier.begin(), app->Identifier.end()), c.Identifier);
        // What was read is written back as an 11-byte block with its sub-blocks, and reads again.
        TStringStream out;
        l.Picture->SaveToStream(&out);
        Loaded again = Load(out.DataString());
        EXPECT_EQ(again.Error, "");
        EXPECT_EQ(again.Picture->FrameCount(), l.Picture->FrameCount());
    }
}

TEST(GifLimits, ClearingAFrameLeavesTheScreenAndAPictureGoesWithoutAWord) {
    // A 4 x 4 frame reaching past the right and bottom of an 8 x 8 screen, as a stream may place it.
    const std::string gif = GifHeader(8, 8, 2) + ImageBlock(6, 6, 4, 4, Pattern(4, 4, 4), 2) + ";";
    {
        Loaded l = Load(gif);
        ASSERT_EQ(l.Error, "");
        ASSERT_TRUE(l.Warnings.empty());
        l.Picture->Frame(0)->ClearFrame();
        EXPECT_TRUE(l.Picture->Frame(0)->IsBlank());
        EXPECT_EQ(l.Picture->Frame(0)->Width(), 0);
        EXPECT_EQ(l.Picture->Frame(0)->Height(), 0);
        EXPECT_EQ(l.Picture->Width(), 8);
        EXPECT_EQ(l.Picture->Height(), 8);
        EXPECT_TRUE(l.Warnings.empty()) << l.Warnings.front();
    }
    // Freeing the picture calls none of its handlers.
    int calls = 0;
    auto picture = std::make_unique<TGIFPicture>();
    TStringStream s(gif);
    picture->LoadFromStream(&s);
    picture->OnGIFWarning = [&calls](TObject*, int, const std::string&) { ++calls; };
    picture->OnProgress = [&calls](TObject*, TProgressStage, BYTE, bool, const RECT&, const std::string&) { ++calls; };
    picture->OnChange = [&calls](TObject*) { ++calls; };
    picture.reset();
    EXPECT_EQ(calls, 0);
}

// A list of items that note, as they go, how many items their list still held.
struct NotingItem : TGIFItem {
    NotingItem(TGIFList* list, std::vector<std::pair<int, int>>* log, int id) : TGIFItem(nullptr), List(list), Log(log), Id(id) {}
    ~NotingItem() override { Log->emplace_back(Id, List->ItemCount()); }
    void SaveToStream(TStream*) override {}
    void LoadFromStream(TStream*) override {}
    TGIFList* List;
    std::vector<std::pair<int, int>>* Log;
    int Id;
};

struct PlainList : TGIFList {
    PlainList() : TGIFList(nullptr) {}
    void ReadItems(TStream*) override {}
};

TEST(GifLists, FreeingAllTakesEveryItemOutFirstThenFreesThemInOrder) {
    std::vector<std::pair<int, int>> log;
    PlainList list;
    for (int i = 0; i < 5; ++i) list.Append(std::make_unique<NotingItem>(&list, &log, i));
    list.FreeAll();
    // Each item, looking for itself in its list, finds an empty list at once.
    const std::vector<std::pair<int, int>> want = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    EXPECT_EQ(log, want);
    EXPECT_EQ(list.ItemCount(), 0);
}

}  // namespace
}  // namespace giftest
