// Whole GIF pictures from gifsicle, ImageMagick and Pillow against the C GIF library and against
// ImageMagick's composites; written animations checked by gifdiff; the still bitmap; the
// registration, the clipboard, copying, sizes; files read as their bytes in memory; frames made
// from bitmaps and the optimisation edits.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gif_bytes.h"
#include "gif_clock.h"
#include "gif_reference.h"
#include "gif_reference_ext.h"
#include "gif_tools.h"
#include "platform/classlib/clipboard.h"

namespace giftest {
namespace {

std::unique_ptr<TGIFPicture> LoadBytes(const std::string& bytes, std::vector<std::string>* warnings = nullptr) {
    auto p = std::make_unique<TGIFPicture>();
    if (warnings) p->OnGIFWarning = [warnings](TObject*, int, const std::string& m) { warnings->push_back(m); };
    TStringStream s(bytes);
    p->LoadFromStream(&s);
    return p;
}

std::string SaveBytes(TGIFPicture* p) {
    TStringStream s;
    p->SaveToStream(&s);
    return s.DataString();
}

// Frames, controls and the loop count of ours against the C library on the same bytes.
void ExpectSameAsLibrary(const std::string& gif, const std::string& what) {
    SCOPED_TRACE(what);
    const RefGif ref = RefDecode(gif);
    ASSERT_EQ(ref.Error, 0);
    const std::vector<RefControl> controls = RefControls(gif);
    std::vector<std::string> warnings;
    auto p = LoadBytes(gif, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(p->Width(), ref.Width);
    EXPECT_EQ(p->Height(), ref.Height);
    std::vector<TGIFSubImage*> images;
    for (int i = 0; i < p->FrameCount(); ++i)
        if (!p->Frame(i)->IsBlank()) images.push_back(p->Frame(i));
    ASSERT_EQ(images.size(), ref.Frames.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        TGIFSubImage* f = images[i];
        EXPECT_EQ(f->Left(), ref.Frames[i].Left);
        EXPECT_EQ(f->Top(), ref.Frames[i].Top);
        EXPECT_EQ(f->Width(), ref.Frames[i].Width);
        EXPECT_EQ(f->Height(), ref.Frames[i].Height);
        EXPECT_EQ(f->LocalColors->Count() > 0, ref.Frames[i].LocalColors > 0);
        EXPECT_EQ(FramePixels(f), ref.Frames[i].Pixels);
        const RefControl& c = controls.at(i);
        ASSERT_EQ(f->ControlBlock != nullptr, c.Present);
        if (c.Present) {
            EXPECT_EQ(f->ControlBlock->DelayTime(), c.Delay);
            EXPECT_EQ(f->ControlBlock->DisposalMethod(), c.Disposal);
            EXPECT_EQ(f->IsTransparent ? f->ControlBlock->TransparentColorIndex() : -1, c.Transparent);
        }
        int loop = -1;
        for (int k = 0; k < f->FrameExtensions->ItemCount(); ++k)
            if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(f->FrameExtensions->ItemAt(k))) loop = l->LoopCount;
        EXPECT_EQ(loop, c.LoopCount);
    }
}

// Frames drawn by ImageMagick: a navy screen, then small coloured boxes.
void MakeBoxes(ToolDir& dir) {
    ASSERT_EQ(dir.Run("convert -size 40x30 xc:navy -fill gray -draw 'rectangle 3,3 20,12' bg.gif && "
                      "convert -size 10x8 xc:red -fill white -draw 'point 2,2' a.gif && "
                      "convert -size 12x6 xc:lime b.gif && "
                      "convert -size 7x9 xc:yellow -fill black -draw 'line 0,0 6,8' c.gif"),
              0);
}

TEST(GifPictureFiles, GifsicleAnimationsReadAsTheCLibraryReadsThem) {
    ToolDir dir;
    MakeBoxes(dir);
    struct Case {
        std::string Command, What;
    };
    const Case cases[] = {
        {"gifsicle -l3 -d7 --logical-screen 40x30 bg.gif --position 5,5 a.gif --position 20,10 b.gif c.gif", "loops, delays, offsets"},
        {"gifsicle -O3 -l -d12 --logical-screen 40x30 bg.gif --position 5,5 a.gif --position 6,5 a.gif "
         "--position 20,10 b.gif",
         "-O3 with endless loop"},
        {"gifsicle --logical-screen 40x30 -d5 --disposal=background bg.gif --disposal=previous --position 3,4 a.gif "
         "--disposal=none -t '#FF0000' --position 9,9 a.gif",
         "disposals and transparency"},
        {"gifsicle --comment hello -i bg.gif a.gif", "interlaced, comment"},
        {"gifsicle --app-extension MYAPPLIC1.0 payload bg.gif a.gif", "application extension"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(dir.Run(c.Command + " > anim.gif"), 0) << c.Command;
        const std::string gif = dir.Read("anim.gif");
        ExpectSameAsLibrary(gif, c.What);
        // Written back, the animation is the same to gifdiff and to the C library.
        auto p = LoadBytes(gif);
        dir.Write("ours.gif", SaveBytes(p.get()));
        EXPECT_EQ(dir.Run("gifdiff anim.gif ours.gif"), 0) << c.What;
        ExpectSameAsLibrary(dir.Read("ours.gif"), c.What + " (written)");
    }
}

// A file is read through a buffer: what it gives is what its bytes in memory give, across the
// buffer's edges (long extension chains, large image data), and the file stands after the trailer
// when the read succeeds and where the read began when it fails.
TEST(GifPictureFiles, FilesReadAsTheirBytesInMemory) {
    ToolDir dir;
    MakeBoxes(dir);
    ASSERT_EQ(dir.Run("gifsicle -l3 -d7 --comment hello --logical-screen 40x30 bg.gif --position 5,5 a.gif "
                      "--position 20,10 b.gif c.gif > anim.gif && "
                      "convert -seed 5 -size 700x500 plasma:fractal -colors 256 plasma.gif"),
              0);
    std::string chain = GifHeader(8, 8, 2);
    for (int i = 0; i < 30000; ++i) chain += Gce(i % 4, i);
    chain += ImageBlock(0, 0, 8, 8, Pattern(8, 8, 4), 2) + std::string("\x21\xFE\x03" "abc" "\x00", 7) + ";";
    const std::string inputs[] = {dir.Read("anim.gif"), dir.Read("plasma.gif"), chain};
    for (const std::string& gif : inputs) {
        SCOPED_TRACE(gif.size());
        dir.Write("in.gif", gif);
        TGIFPicture fromFile;
        fromFile.LoadFromFile(dir.Path("in.gif"));
        auto fromMemory = LoadBytes(gif);
        ASSERT_EQ(fromFile.FrameCount(), fromMemory->FrameCount());
        for (int i = 0; i < fromFile.FrameCount(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(FramePixels(fromFile.Frame(i)), FramePixels(fromMemory->Frame(i)));
            EXPECT_EQ(fromFile.Frame(i)->FrameExtensions->ItemCount(), fromMemory->Frame(i)->FrameExtensions->ItemCount());
        }
        EXPECT_EQ(SaveBytes(&fromFile), SaveBytes(fromMemory.get()));
    }
    // Where the file stands afterwards, with bytes before and after the picture.
    const std::string refused = GifHeader(12000, 12000, 1) + ImageBlock(0, 0, 1, 1, {1}, 1) + ";";
    const std::string pictures[] = {inputs[0], refused};
    for (const std::string& gif : pictures) {
        dir.Write("in.gif", "front" + gif + "back");
        TFileStream file(dir.Path("in.gif"), fmOpenRead);
        file.SetPosition(5);
        TGIFPicture p;
        bool failed = false;
        try {
            p.LoadFromStream(&file);
        } catch (const GIFException&) {
            failed = true;
        }
        EXPECT_EQ(failed, &gif == &pictures[1]);
        EXPECT_EQ(file.Position(), failed ? 5 : static_cast<std::int64_t>(5 + gif.size()));
    }
}

TEST(GifPictureFiles, PillowDurationsAndLoopsArriveInUnitsOfTenMilliseconds) {
    const std::string py = PillowPython();
    ToolDir dir;
    dir.Write("make.py",
              "from PIL import Image\n"
              "f=[Image.new('P',(9,5),i) for i in range(3)]\n"
              "for i,im in enumerate(f): im.putpalette([0,0,0,255,0,0,0,255,0]+[9]*759)\n"
              "f[0].save('p.gif',save_all=True,append_images=f[1:],duration=[70,120,30],loop=2,disposal=2)\n");
    ASSERT_EQ(dir.Run(py + " make.py"), 0);
    const std::string gif = dir.Read("p.gif");
    ExpectSameAsLibrary(gif, "Pillow");
    auto p = LoadBytes(gif);
    std::vector<int> delays;
    for (int i = 0; i < p->FrameCount(); ++i)
        if (!p->Frame(i)->IsBlank()) delays.push_back(p->Frame(i)->FrameDelay());
    EXPECT_EQ(delays, (std::vector<int>{7, 12, 3}));
}

// Our painter's composite after each frame against ImageMagick's -coalesce, for opaque frames with
// disposal none, keep and restore-to-background. Where ImageMagick shows nothing (restored
// background), ours shows the backdrop colour.
TEST(GifPictureFiles, CompositesOfAnimationsMatchImageMagickCoalesce) {
    ToolDir dir;
    MakeBoxes(dir);
    const std::string cmds[] = {
        "gifsicle --logical-screen 40x30 --disposal=none bg.gif --position 5,5 a.gif --position 20,10 b.gif "
        "--position 30,2 c.gif",
        "gifsicle --logical-screen 40x30 --disposal=asis bg.gif --disposal=background --position 5,5 a.gif "
        "--disposal=asis --position 8,7 b.gif --disposal=background --position 30,2 c.gif --position 0,20 a.gif",
        "gifsicle -O3 --logical-screen 40x30 bg.gif --position 5,5 a.gif --position 6,6 a.gif --position 20,10 b.gif",
    };
    for (const std::string& cmd : cmds) {
        SCOPED_TRACE(cmd);
        ASSERT_EQ(dir.Run(cmd + " > anim.gif && convert anim.gif -coalesce -depth 8 rgba:co.raw"), 0);
        const std::string raw = dir.Read("co.raw");
        auto p = LoadBytes(dir.Read("anim.gif"));
        const int w = p->Width(), h = p->Height();
        ASSERT_EQ(raw.size() % (static_cast<std::size_t>(w) * h * 4), 0u);
        const std::size_t frames = raw.size() / (static_cast<std::size_t>(w) * h * 4);
        p->BackdropColor = 0x3377AA;
        TBitmap target;
        target.SetSize(w, h);
        std::size_t shown = 0;
        int mismatches = 0;
        p->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) {
            ASSERT_LT(shown, frames);
            const unsigned char* f = reinterpret_cast<const unsigned char*>(raw.data()) + shown * w * h * 4;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const unsigned char* px = f + (static_cast<std::size_t>(y) * w + x) * 4;
                    const COLORREF ours = gdi::BitmapPixel(target.Handle(), x, y) & 0xFFFFFF;
                    const COLORREF want = px[3] == 255 ? RGB(px[0], px[1], px[2]) : 0x3377AA;
                    if (ours != want && mismatches++ < 5)
                        ADD_FAILURE() << "frame " << shown << " at " << x << "," << y << ": " << std::hex << ours
                                      << " want " << want;
                }
            ++shown;
        };
        p->Paint(target.Canvas(), RECT{0, 0, w, h}, poAnimated);
        EXPECT_EQ(shown, frames);
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(GifPictureFiles, TheStillBitmapShowsFrameZeroOnTheLogicalScreen) {
    ToolDir dir;
    MakeBoxes(dir);
    // Offset within a larger screen: the screen's size, frame 0 at its offset.
    ASSERT_EQ(dir.Run("gifsicle --logical-screen 40x30 --position 7,5 a.gif b.gif > s.gif && "
                      "convert 's.gif[0]' -coalesce -depth 8 rgba:s.raw"),
              0);
    auto p = LoadBytes(dir.Read("s.gif"));
    TBitmap* still = p->ScreenBitmap();
    ASSERT_NE(still, nullptr);
    ASSERT_EQ(still->Width(), 40);
    ASSERT_EQ(still->Height(), 30);
    const std::string raw = dir.Read("s.raw");
    ASSERT_EQ(raw.size(), 40u * 30 * 4);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const unsigned char* px = reinterpret_cast<const unsigned char*>(raw.data()) + (y * 40 + x) * 4;
            if (px[3] != 255) continue;
            ASSERT_EQ(gdi::BitmapPixel(still->Handle(), x, y) & 0xFFFFFF, RGB(px[0], px[1], px[2])) << x << "," << y;
        }
    EXPECT_EQ(gdi::BitmapPixel(still->Handle(), 7 + 2, 5 + 2) & 0xFFFFFF, 0xFFFFFFu);  // the white point of a.gif
    EXPECT_EQ(gdi::BitmapPixel(still->Handle(), 8, 6) & 0xFFFFFF, 0x0000FFu);        // red
    // The same picture again is the cached bitmap.
    EXPECT_EQ(p->ScreenBitmap(), still);

    // A first frame of exactly the screen's size is copied, offset or not.
    ASSERT_EQ(dir.Run("gifsicle --logical-screen 10x8 --position 0,0 a.gif > t.gif"), 0);
    auto q = LoadBytes(dir.Read("t.gif"));
    TBitmap* copy = q->ScreenBitmap();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Width(), 10);
    EXPECT_EQ(gdi::BitmapPixel(copy->Handle(), 2, 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(gdi::BitmapPixel(copy->Handle(), 0, 0) & 0xFFFFFF, 0x0000FFu);
}

TEST(GifPictureFiles, FramesWithoutALocalTableKeepTheGlobalColoursAfterTheStillBitmap) {
    // Frame 0 has a local table of reds; frame 1 uses the global greys.
    const std::string gif = GifHeader(4, 4, 2) + ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 3), 2, false, 2) +
                            ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), 2) + ";";
    auto p = LoadBytes(gif);
    TBitmap* still = p->ScreenBitmap();
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(gdi::BitmapPixel(still->Handle(), 0, 0) & 0xFFFFFF, 0x0000FFu);
    TBitmap* second = p->Frame(1)->GetFrameBitmap();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(gdi::BitmapPixel(second->Handle(), 0, 0) & 0xFFFFFF, 0x555555u);
}

// ---- Registration and clipboard ----------------------------------------------------------------

class GifModule : public ::testing::Test {
protected:
    void SetUp() override { GIFStartup(); }
    void TearDown() override {
        GIFShutdown();
        ClipboardShutdown();
    }
};

TEST_F(GifModule, RegistersGifInThePictureFormatListAndAsAClipboardFormat) {
    TGraphicClass cls;
    ASSERT_TRUE(TPicture::FindFileFormat("GIF", &cls));
    EXPECT_STREQ(cls.Name, "TGIFPicture");
    bool described = false;
    for (const auto& f : TPicture::FileFormats())
        if (f.Extension == "gif") described = f.Description == "GIF Image";
    EXPECT_TRUE(described);
    EXPECT_EQ(GIFClipboardFormat(), RegisterClipboardFormatA("gif image"));
    EXPECT_GE(GIFClipboardFormat(), 0xC000);
    GIFShutdown();
    EXPECT_FALSE(TPicture::FindFileFormat("gif", &cls));
    GIFStartup();
}

TEST_F(GifModule, TheClipboardCarriesTheWholeStreamAndTheStillBitmap) {
    const auto a = Pattern(6, 5, 4), b = Pattern(6, 5, 4, 2);
    const std::string gif = GifHeader(6, 5, 2) + LoopBlock(4) + Gce(2, 9) + ImageBlock(0, 0, 6, 5, a, 2) +
                            Gce(1, 3) + ImageBlock(0, 0, 6, 5, b, 2) + ";";
    auto p = LoadBytes(gif);
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    WORD format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    p->SaveToClipboardFormat(format, data, palette);
    EXPECT_EQ(format, CF_BITMAP);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(SetClipboardData(CF_BITMAP, data), nullptr);
    if (palette) DeleteObject(ToGdiObj(palette));
    ASSERT_TRUE(IsClipboardFormatAvailable(GIFClipboardFormat()));

    TGIFPicture back;
    back.LoadFromClipboardFormat(GIFClipboardFormat(), nullptr, nullptr);
    EXPECT_EQ(SaveBytes(&back), SaveBytes(p.get()));
    EXPECT_EQ(back.FrameCount(), 2);

    TGIFPicture fromBitmap;
    fromBitmap.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr);
    ASSERT_EQ(fromBitmap.FrameCount(), 1);
    EXPECT_EQ(fromBitmap.Width(), 6);
    TBitmap* still = fromBitmap.ScreenBitmap();
    EXPECT_EQ(gdi::BitmapPixel(still->Handle(), 1, 0) & 0xFFFFFF, 0x555555u);  // a(1, 0) = index 1

    try {
        fromBitmap.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr);
        ADD_FAILURE() << "loaded";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Unsupported clipboard format");
    }
    // A picture of extensions only has no still bitmap: its stream alone goes to the clipboard.
    auto comment = LoadBytes(GifHeader(0, 0, 0) + Comment("only words") + ";");
    ASSERT_FALSE(comment->Empty());
    format = CF_TEXT;
    data = reinterpret_cast<HANDLE>(1);
    comment->SaveToClipboardFormat(format, data, palette);
    EXPECT_EQ(format, 0);
    EXPECT_EQ(data, nullptr);
    TGIFPicture words;
    words.LoadFromClipboardFormat(GIFClipboardFormat(), nullptr, nullptr);
    EXPECT_EQ(SaveBytes(&words), SaveBytes(comment.get()));
    CloseClipboard();
    // Placing needs an open clipboard.
    try {
        p->SaveToClipboardFormat(format, data, palette);
        ADD_FAILURE() << "stored";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Failed to store GIF on clipboard");
    }
}

// ---- The picture's own operations --------------------------------------------------------------

TEST(GifPicture, EmptySelfAndNilAssignmentsAndSizes) {
    TGIFPicture empty;
    EXPECT_EQ(empty.ScreenBitmap(), nullptr);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_TRUE(empty.Empty());

    const auto a = Pattern(20, 10, 4);
    auto p = LoadBytes(GifHeader(110, 10, 2) + ImageBlock(90, 0, 20, 10, a, 2) + ";");
    const std::string before = SaveBytes(p.get());
    p->Assign(p.get());
    EXPECT_EQ(SaveBytes(p.get()), before);
    try {
        p->SetWidth(100);
        ADD_FAILURE() << "narrowed";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Image width too small for contained frames");
    }
    EXPECT_EQ(p->Width(), 110);
    p->SetWidth(120);
    EXPECT_EQ(p->Width(), 120);
    p->Assign(nullptr);
    EXPECT_TRUE(p->Empty());
}

TEST(GifPicture, AssignCopiesFramesAndKeepsTheTargetsOwnHandlers) {
    const auto a = Pattern(5, 5, 4);
    auto src = LoadBytes(GifHeader(5, 5, 2) + LoopBlock(2) + Gce(1, 4) + ImageBlock(0, 0, 5, 5, a, 2) + Comment("c") +
                         ";");
    int sourceProgress = 0, ownProgress = 0, ownWarnings = 0;
    src->OnProgress = [&](TObject*, TProgressStage, BYTE, bool, const RECT&, const std::string&) { ++sourceProgress; };
    TGIFPicture copy;
    copy.OnProgress = [&](TObject*, TProgressStage, BYTE, bool, const RECT&, const std::string&) { ++ownProgress; };
    copy.OnGIFWarning = [&](TObject*, int, const std::string&) { ++ownWarnings; };
    copy.Assign(src.get());
    EXPECT_GT(sourceProgress, 0);
    EXPECT_EQ(SaveBytes(&copy), SaveBytes(src.get()));
    ASSERT_TRUE(copy.OnProgress);
    ASSERT_TRUE(copy.OnGIFWarning);
    const int seen = ownProgress;
    TStringStream s;
    copy.SaveToStream(&s);
    EXPECT_GT(ownProgress, seen);
    // A frame placed past the screen warns through the target's own handler.
    copy.Frame(0)->SetLeft(3);
    EXPECT_GT(ownWarnings, 0);
}

TEST(GifPicture, FramesFromBitmapsTakeTheirColoursAndTransparency) {
    TGIFPicture p;
    p.ReductionMethod = crNone;
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(6, 4);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(RECT{0, 0, 6, 4});
    b.Canvas()->Brush()->SetColor(clBlue);
    b.Canvas()->FillRect(RECT{0, 0, 3, 2});
    auto frame = std::make_unique<TGIFSubImage>(&p);
    frame->Assign(&b);
    EXPECT_EQ(frame->Width(), 6);
    EXPECT_EQ(frame->LocalColors->Count(), 2);
    const BYTE blue = frame->PixelAt(0, 0), red = frame->PixelAt(5, 3);
    EXPECT_NE(blue, red);
    EXPECT_EQ(frame->LocalColors->ColorAt(blue), clBlue);
    EXPECT_EQ(frame->LocalColors->ColorAt(red), clRed);
    // A transparent bitmap: the bottom-left colour (red) becomes a transparent index.
    b.SetTransparent(true);
    frame->Assign(&b);
    ASSERT_NE(frame->ControlBlock, nullptr);
    EXPECT_TRUE(frame->IsTransparent);
    EXPECT_EQ(frame->PixelAt(5, 3), frame->ControlBlock->TransparentColorIndex());
    EXPECT_NE(frame->PixelAt(0, 0), frame->ControlBlock->TransparentColorIndex());
    EXPECT_TRUE(frame->HasMaskBitmap());

    // 257 colours cannot be kept without reduction.
    TBitmap many;
    many.SetPixelFormat(pf24bit);
    many.SetSize(257, 1);
    for (int x = 0; x < 257; ++x) many.Canvas()->SetPixel(x, 0, RGB(static_cast<BYTE>(x), static_cast<BYTE>(x / 256), 7));
    try {
        frame->Assign(&many);
        ADD_FAILURE() << "imported";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Color table overflow");
    }
}

TEST(GifPicture, MasksAreWordAlignedAndTrimmingEmptiesAllTransparentFrames) {
    // Width 9, the transparent index 2 only in the last column.
    std::vector<std::uint8_t> px(9 * 3, 1);
    for (int y = 0; y < 3; ++y) px[static_cast<std::size_t>(y) * 9 + 8] = 2;
    auto p = LoadBytes(GifHeader(9, 3, 2) + Gce(0, 0, 2) + ImageBlock(0, 0, 9, 3, px, 2) + ";");
    TGIFSubImage* f = p->Frame(0);
    ASSERT_TRUE(f->HasMaskBitmap());
    BITMAP info{};
    ASSERT_NE(GetObjectA(ToGdiObj(f->Mask()), sizeof info, &info), 0);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 9);
    for (int y = 0; y < 3; ++y) {
        EXPECT_NE(gdi::BitmapPixel(f->Mask(), 8, y) & 0xFFFFFF, 0u);
        EXPECT_EQ(gdi::BitmapPixel(f->Mask(), 7, y) & 0xFFFFFF, 0u);
    }
    // Trimming drops the transparent column.
    f->TrimTransparentEdges();
    EXPECT_EQ(f->Width(), 8);
    EXPECT_EQ(f->Left(), 0);
    // A frame of nothing but its transparent index is emptied.
    auto q = LoadBytes(GifHeader(4, 4, 2) + Gce(0, 0, 2) + ImageBlock(0, 0, 4, 4, std::vector<std::uint8_t>(16, 2), 2) + ";");
    q->Frame(0)->TrimTransparentEdges();
    EXPECT_TRUE(q->Frame(0)->IsBlank());
}

TEST(GifPicture, BlankingUnchangedPixelsNeverTakesAnIndexTheFrameDrawsWith) {
    // Frame 1 repeats frame 0 on its top row. Frame 2 (transparent, index 3, no local table) is the
    // frame whose index could be reused; frame 1 draws with 3, so a new entry must be appended.
    std::vector<std::uint8_t> f0(16, 1), f1(16, 3), f2(16, 0);
    for (int x = 0; x < 4; ++x) f1[static_cast<std::size_t>(x)] = 1;
    std::string gif = GifHeader(4, 4, 2);
    gif.erase(13);  // keep the screen, rebuild the table with 3 colours used of 4
    gif[10] = static_cast<char>(0x81);
    gif += std::string("\x00\x00\x00\x55\x55\x55\xAA\xAA\xAA\xFF\xFF\xFF", 12);
    gif += ImageBlock(0, 0, 4, 4, f0, 2) + ImageBlock(0, 0, 4, 4, f1, 2) + Gce(0, 0, 3) + ImageBlock(0, 0, 4, 4, f2, 2) + ";";
    auto p = LoadBytes(gif);
    ASSERT_EQ(p->FrameCount(), 3);
    TGIFSubImage* f = p->Frame(1);
    f->BlankUnchangedPixels(p->Frame(0));
    ASSERT_NE(f->ControlBlock, nullptr);
    const int t = f->ControlBlock->TransparentColorIndex();
    EXPECT_NE(t, 3);
    EXPECT_EQ(f->PixelAt(0, 0), t);
    EXPECT_EQ(f->PixelAt(0, 1), 3);  // still drawn
    EXPECT_TRUE(f->IsTransparent);

    // Against a previous frame that restores to the background nothing changes.
    auto q = LoadBytes(GifHeader(4, 4, 2) + Gce(2, 0) + ImageBlock(0, 0, 4, 4, f0, 2) + ImageBlock(0, 0, 4, 4, f0, 2) + ";");
    q->Frame(1)->BlankUnchangedPixels(q->Frame(0));
    EXPECT_EQ(FramePixels(q->Frame(1)), f0);
    EXPECT_EQ(q->Frame(1)->ControlBlock, nullptr);
}

TEST(GifPicture, CompactingCarriesDelaysAndTheLoopingBlock) {
    // Frame 0 holds the loop and is all transparent: it goes, its delay is carried to nothing
    // before it, and the looping block moves to the new frame 0.
    const std::vector<std::uint8_t> clear(16, 2), solid(16, 1);
    auto p = LoadBytes(GifHeader(4, 4, 2) + LoopBlock(5) + Gce(1, 9, 2) + ImageBlock(0, 0, 4, 4, clear, 2) +
                       Gce(1, 4, 2) + ImageBlock(0, 0, 4, 4, solid, 2) + Gce(1, 6, 2) + ImageBlock(0, 0, 4, 4, clear, 2) + ";");
    p->Compact(goCrop, crNone, dtNearest, 8);
    ASSERT_EQ(p->FrameCount(), 1);
    TGIFSubImage* f = p->Frame(0);
    EXPECT_EQ(f->FrameDelay(), 4 + 6);
    int loop = -1;
    for (int k = 0; k < f->FrameExtensions->ItemCount(); ++k)
        if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(f->FrameExtensions->ItemAt(k))) loop = l->LoopCount;
    EXPECT_EQ(loop, 5);
    EXPECT_EQ(RefControls(SaveBytes(p.get())).at(0).LoopCount, 5);
}

// What a synchronous painter shows after each frame, as the target's pixels.
std::vector<std::vector<COLORREF>> Composites(TGIFPicture* p) {
    NoWaitClock clock;
    SetGIFPainterClock(&clock);
    TBitmap target;
    target.SetSize(p->Width(), p->Height());
    target.Canvas()->Brush()->SetColor(0x123456);
    target.Canvas()->FillRect(RECT{0, 0, p->Width(), p->Height()});
    std::vector<std::vector<COLORREF>> shown;
    p->PainterEvents.OnAfterFramePaint = [&](TGIFPainter*) {
        std::vector<COLORREF> px;
        for (int y = 0; y < p->Height(); ++y)
            for (int x = 0; x < p->Width(); ++x) px.push_back(gdi::BitmapPixel(target.Handle(), x, y) & 0xFFFFFF);
        shown.push_back(px);
    };
    p->Paint(target.Canvas(), RECT{0, 0, p->Width(), p->Height()}, poAnimated | poTransparent);
    SetGIFPainterClock(nullptr);
    return shown;
}

TEST(GifPicture, CompactingNeverChangesWhatTheAnimationShows) {
    const std::vector<std::uint8_t> full1(16, 1), full2(16, 2), box3(4, 3), box0(4, 0);
    std::vector<std::uint8_t> bordered(16, 2);  // index 2 transparent around a 2x2 block of 3
    bordered[5] = bordered[6] = bordered[9] = bordered[10] = 3;
    std::vector<std::uint8_t> repeat = full1;  // frame 0 again but for one pixel
    repeat[7] = 3;
    struct Case {
        std::string What, Gif;
        int Steps;
    };
    const Case cases[] = {
        // A full frame that restores to the background, then a smaller opaque frame inside it: the
        // background must still show around the small frame.
        {"restore around a smaller frame",
         GifHeader(4, 4, 2, "89a", 2) + Gce(2, 3) + ImageBlock(0, 0, 4, 4, full1, 2) + Gce(1, 3) +
             ImageBlock(0, 0, 2, 2, box3, 2) + Gce(1, 3) + ImageBlock(2, 2, 2, 2, box0, 2) + ";",
         goCleanup},
        // A small frame that restores to the background under a full opaque frame.
        {"restore under a covering frame",
         GifHeader(4, 4, 2, "89a", 2) + Gce(1, 3) + ImageBlock(0, 0, 4, 4, full1, 2) + Gce(2, 3) +
             ImageBlock(1, 1, 2, 2, box3, 2) + Gce(1, 3) + ImageBlock(0, 0, 4, 4, full2, 2) + ";",
         goCleanup},
        {"repeated pixels", GifHeader(4, 4, 2) + Gce(1, 3) + ImageBlock(0, 0, 4, 4, full1, 2) + Gce(1, 3) +
                                ImageBlock(0, 0, 4, 4, repeat, 2) + ";",
         goMerge},
        {"transparent borders", GifHeader(4, 4, 2) + Gce(1, 3) + ImageBlock(0, 0, 4, 4, full1, 2) + Gce(1, 3, 2) +
                                    ImageBlock(0, 0, 4, 4, bordered, 2) + ";",
         goCrop},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto before = LoadBytes(c.Gif);
        const auto want = Composites(before.get());
        ASSERT_EQ(want.size(), 3u - (c.Steps == goCleanup ? 0 : 1));
        for (int steps : {c.Steps, goAll & ~goReduceColors}) {
            auto p = LoadBytes(c.Gif);
            p->Compact(steps, crNone, dtNearest, 8);
            EXPECT_EQ(Composites(p.get()), want) << steps;
        }
    }
    // The covered frame's disposal no longer matters and is dropped; the other is kept.
    auto covered = LoadBytes(cases[1].Gif);
    covered->Compact(goCleanup, crNone, dtNearest, 8);
    EXPECT_EQ(covered->Frame(1)->ControlBlock->DisposalMethod(), 0);
    auto around = LoadBytes(cases[0].Gif);
    around->Compact(goCleanup, crNone, dtNearest, 8);
    EXPECT_EQ(around->Frame(0)->ControlBlock->DisposalMethod(), 2);
}

}  // namespace
}  // namespace giftest

namespace giftest {
namespace {

TEST(GifPicture, TransparentAndTiledDrawingOfAFrame) {
    // A 3x2 frame at (1, 1) of a 4x3 screen: index 3 (white) is transparent, index 1 grey.
    const std::vector<std::uint8_t> px{1, 3, 1, 3, 1, 3};
    auto p = LoadBytes(GifHeader(4, 3, 2) + Gce(0, 0, 3) + ImageBlock(1, 1, 3, 2, px, 2) + ";");
    auto canvasOf = [](int w, int h) {
        auto b = std::make_unique<TBitmap>();
        b->SetSize(w, h);
        b->Canvas()->Brush()->SetColor(clRed);
        b->Canvas()->FillRect(RECT{0, 0, w, h});
        return b;
    };
    auto at = [](TBitmap* b, int x, int y) { return gdi::BitmapPixel(b->Handle(), x, y) & 0xFFFFFF; };
    // Transparent, stretched twice: the frame lands at (2, 2), its transparent pixels keep the red.
    p->PaintOptions = poTransparent;
    auto b = canvasOf(8, 6);
    b->Canvas()->StretchDraw(RECT{0, 0, 8, 6}, p.get());
    EXPECT_EQ(at(b.get(), 0, 0), 0x0000FFu);  // outside the frame
    EXPECT_EQ(at(b.get(), 2, 2), 0x555555u);  // (0, 0) of the frame, grey
    EXPECT_EQ(at(b.get(), 4, 2), 0x0000FFu);  // (1, 0), transparent
    EXPECT_EQ(at(b.get(), 5, 3), 0x0000FFu);
    EXPECT_EQ(at(b.get(), 7, 5), 0x0000FFu);  // (2, 1), transparent
    // Opaque: the white shows.
    p->PaintOptions = 0;
    auto c = canvasOf(4, 3);
    c->Canvas()->Draw(0, 0, p.get());
    EXPECT_EQ(at(c.get(), 2, 1), 0xFFFFFFu);
    // Tiled: the frame repeats every screen width and height from its own offset.
    p->PaintOptions = poTiled;
    auto t = canvasOf(10, 7);
    t->Canvas()->StretchDraw(RECT{0, 0, 10, 7}, p.get());
    EXPECT_EQ(at(t.get(), 1, 1), 0x555555u);
    EXPECT_EQ(at(t.get(), 5, 1), 0x555555u);
    EXPECT_EQ(at(t.get(), 9, 4), 0x555555u);
    EXPECT_EQ(at(t.get(), 0, 0), 0x0000FFu);
    EXPECT_EQ(at(t.get(), 4, 3), 0x0000FFu);
    // A copy takes the frame's built bitmap but not its mask: the mask is made when it is first
    // drawn transparent, and the drawing uses the bitmap built with it.
    ASSERT_NE(p->Frame(0)->GetFrameBitmap(), nullptr);
    TGIFPicture copy;
    copy.Assign(p.get());
    copy.PaintOptions = poTransparent;
    auto d = canvasOf(4, 3);
    d->Canvas()->Draw(0, 0, &copy);
    EXPECT_EQ(at(d.get(), 1, 1), 0x555555u);
    EXPECT_EQ(at(d.get(), 2, 1), 0x0000FFu);  // transparent
    EXPECT_EQ(at(d.get(), 0, 0), 0x0000FFu);
}

}  // namespace
}  // namespace giftest

namespace giftest {
namespace {

TEST(GifPicture, DitheredFramesUseTheColourCubeAndKeepTheirMask) {
    // Colours on the cube's grid come through the ditherer unchanged; index 2 is transparent.
    std::string gif = GifHeader(5, 3, 2);
    const unsigned char table[12] = {0, 0, 0, 51, 102, 153, 255, 255, 255, 204, 0, 51};
    gif.replace(13, 12, reinterpret_cast<const char*>(table), 12);
    const std::vector<std::uint8_t> px{0, 1, 2, 3, 1, 3, 2, 1, 0, 0, 1, 1, 2, 3, 3};
    auto p = LoadBytes(gif + Gce(0, 0, 2) + ImageBlock(0, 0, 5, 3, px, 2) + ";");
    p->PaintOptions = poDither;  // dither whatever the display
    ASSERT_TRUE(p->ShouldDither());
    TGIFSubImage* f = p->Frame(0);
    TBitmap* b = f->GetFrameBitmap();
    ASSERT_NE(b, nullptr);
    PALETTEENTRY cube[256];
    ASSERT_GE(GetPaletteEntries(f->GetFramePalette(), 0, 256, cube), 216u);
    EXPECT_EQ(cube[36 * 1 + 6 * 2 + 3].peRed, 51);  // entry 36r + 6g + b of the cube
    EXPECT_EQ(cube[36 * 1 + 6 * 2 + 3].peGreen, 102);
    EXPECT_EQ(cube[36 * 1 + 6 * 2 + 3].peBlue, 153);
    ASSERT_TRUE(f->HasMaskBitmap());
    b = f->GetFrameBitmap();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int i = px[static_cast<std::size_t>(y) * 5 + x];
            const bool masked = (gdi::BitmapPixel(f->Mask(), x, y) & 0xFFFFFF) != 0;
            EXPECT_EQ(masked, i == 2) << x << "," << y;
            if (i == 2) continue;
            EXPECT_EQ(gdi::BitmapPixel(b->Handle(), x, y) & 0xFFFFFF, RGB(table[3 * i], table[3 * i + 1], table[3 * i + 2]))
                << x << "," << y;
        }
}

}  // namespace
}  // namespace giftest
