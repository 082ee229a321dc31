// Loading a skin, the window's size and shape, and what the skin paints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/classlib/cp1254.h"
#include "platform/classlib/formrender.h"
#include "platform/classlib/hints.h"
#include "platform/classlib/stdctrls.h"
#include "platform/gdi/pngio.h"
#include "platform/win/statedir.h"
#include "skin/skinfixture.h"

namespace skintest {
namespace {

using SkinLoad = SkinFixture;

TEST_F(SkinLoad, StandardSkinSizesShapesAndParses) {
    int changed = 0;
    skin->OnSkinChanged = [&](TObject* sender) {
        EXPECT_EQ(sender, skin);
        ++changed;
    };
    const std::string file = Write("standard", StandardSkin());
    skin->LoadSkin(file);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(skin->SkinFile(), "");  // loading never stores the name
    EXPECT_EQ(skin->Version(), 150);
    EXPECT_EQ(form->BorderStyle, bsNone);
    EXPECT_EQ(form->ClientWidth(), 200);
    EXPECT_EQ(form->ClientHeight(), 100);
    EXPECT_EQ(skin->Width(), 200);
    EXPECT_EQ(skin->Align(), alClient);
    EXPECT_TRUE(skin->HoverEnabled());

    HRGN rgn = gdi::WindowRegion(form->Handle());
    ASSERT_NE(rgn, nullptr);
    EXPECT_FALSE(PtInRegion(rgn, 0, 0));      // cut corners
    EXPECT_FALSE(PtInRegion(rgn, 199, 99));
    EXPECT_TRUE(PtInRegion(rgn, 5, 0));
    EXPECT_TRUE(PtInRegion(rgn, 100, 50));

    ASSERT_EQ(skin->HotAreas().size(), 6u);
    const auto& eqa = skin->HotAreas()[2];
    EXPECT_EQ(eqa.ID, "EqA");
    EXPECT_EQ(eqa.Group, "Bands");
    EXPECT_TRUE(eqa.IsSwitch);
    EXPECT_TRUE(eqa.State);
    EXPECT_EQ(skin->GroupSelections().Get(0), "2");
    ASSERT_EQ(skin->Displays().size(), 2u);
    EXPECT_EQ(skin->Displays()[0].Style, "Number");
    EXPECT_EQ(skin->Displays()[0].Font->Name(), "Arial");
    EXPECT_EQ(skin->Displays()[0].Font->Charset(), 1);
    ASSERT_EQ(skin->TrackBars().size(), 2u);
    const auto& bal = skin->TrackBars()[1];
    EXPECT_FALSE(bal.Horizontal);
    EXPECT_EQ(bal.ThumbWidth, 8);
    EXPECT_EQ(bal.ThumbHeight, 10);
    EXPECT_EQ(bal.Position, 50);
    EXPECT_EQ(bal.ThumbOffset, 25);  // (60 - 10) * 50 / 100
    EXPECT_EQ(bal.Hint, "Balance");
}

TEST_F(SkinLoad, PaintsFacesThumbsAndGlyphs) {
    LoadStandard();
    EXPECT_EQ(FaceAt(100, 50), std::make_pair(int(kUp), -1));
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kUp), 0));    // Play, not pressed
    EXPECT_EQ(FaceAt(45, 15), std::make_pair(int(kUp), 1));    // Repeat, off
    EXPECT_EQ(FaceAt(75, 15), std::make_pair(int(kDown), 2));  // EqA, on
    EXPECT_EQ(FaceAt(105, 15), std::make_pair(int(kUp), 3));

    // "0123" in digit glyphs 4 pixels wide at (10, 40).
    for (int i = 0; i < 4; ++i) {
        Decoded d = At(10 + i * 4 + 1, 42);
        EXPECT_EQ(d.kind, Decoded::Digit) << i;
        EXPECT_EQ(d.index, i);
    }
    EXPECT_EQ(At(10 + 4 * 4 + 1, 42).kind, Decoded::Background);
    // "AB" from row 0 of the letters.
    EXPECT_EQ(At(11, 62).row, 0);
    EXPECT_EQ(At(11, 62).column, 0);
    EXPECT_EQ(At(15, 62).column, 1);
    // Thumbs: Vol at its start, Bal 25 pixels down its track.
    Decoded vol = At(12, 82);
    EXPECT_EQ(vol.kind, Decoded::Thumb);
    EXPECT_EQ(vol.index, 0);
    EXPECT_FALSE(vol.dragging);
    EXPECT_EQ(At(182, 10 + 25 + 1).kind, Decoded::Thumb);
    EXPECT_EQ(At(182, 10 + 25 + 1).index, 1);
    EXPECT_EQ(At(182, 10 + 24).kind, Decoded::Background);
}

TEST_F(SkinLoad, DigitAndLetterDisplaysReadBackAsGlyphs) {
    LoadStandard();
    auto digits = [&](int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) {
            Decoded d = At(10 + i * 4 + 1, 42);
            out.push_back(d.kind == Decoded::Digit ? d.index : -1);
        }
        return out;
    };
    skin->SetText("Time", "02:35");  // a colon is not a digit: the blank glyph
    EXPECT_EQ(digits(5), (std::vector<int>{0, 2, 10, 3, 5}));
    skin->SetText("Time", "9 x");
    EXPECT_EQ(digits(3), (std::vector<int>{9, 10, 10}));

    auto cells = [&](int n) {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < n; ++i) {
            Decoded d = At(10 + i * 4 + 1, 62);
            out.emplace_back(d.row, d.column);
        }
        return out;
    };
    skin->SetText("Title", std::string("aA1(") + "Ş"_w + "?z");
    EXPECT_EQ(cells(7), (std::vector<std::pair<int, int>>{{2, 0}, {0, 0}, {1, 1}, {1, 10}, {1, 10}, {0, 28}, {2, 25}}));
}

TEST_F(SkinLoad, HoverAndPressedFacesFollowTheDescription) {
    struct Case {
        const char* name;
        bool withHover, withDown;
        bool hover;
        int pressedFace;
    } cases[] = {
        {"all", true, true, true, kDown},
        {"nohover", false, true, false, kDown},  // no MouseOnBitmap: no hover effect
        {"noneboth", false, false, false, kUp},  // neither: the pressed face is the normal face
    };
    for (const auto& c : cases) {
        SkinSpec spec = StandardSkin();
        spec.withHover = c.withHover;
        spec.withDown = c.withDown;
        skin->LoadSkin(Write(c.name, spec));
        EXPECT_EQ(skin->HoverEnabled(), c.hover) << c.name;
        EXPECT_EQ(FaceAt(75, 15).first, c.pressedFace) << c.name;  // EqA is on
    }
    // Same name for hover and pressed, written out: hover off all the same.
    SkinSpec same = StandardSkin();
    same.onName = same.downName;
    skin->LoadSkin(Write("same", same));
    EXPECT_FALSE(skin->HoverEnabled());
}

TEST_F(SkinLoad, Version140LinesHaveNoHint) {
    SkinSpec spec = StandardSkin();
    spec.version = "";  // no [Version]: 140
    spec.hotLines = {"Play, 10, 10, 20, 20", "Tag, 40, 10, 20, 20, Play it"};
    spec.areas.resize(2);
    skin->LoadSkin(Write("v140", spec));
    EXPECT_EQ(skin->Version(), 140);
    EXPECT_FALSE(skin->HotAreas()[0].IsSwitch);
    EXPECT_EQ(skin->HotAreas()[1].Hint, "");
    EXPECT_TRUE(skin->HotAreas()[1].IsSwitch);  // item 5 is the state there, and not "FALSE"
    EXPECT_TRUE(skin->HotAreas()[1].State);
}

TEST_F(SkinLoad, FailuresReachTheCaller) {
    auto message = [&](const std::string& file) -> std::string {
        try {
            skin->LoadSkin(file);
        } catch (const Exception& e) {
            return e.Message;
        }
        return "(loaded)";
    };
    // No description at all.
    EXPECT_EQ(message("c:\\skins\\none\\skin.ini"), "Cannot open file c:\\skins\\none\\skin.ini");

    SkinSpec missing = StandardSkin();
    missing.upName = "gone.bmp";
    std::string file = Write("missing", missing);
    std::remove(win::LocalPath("c:\\skins\\missing\\gone.bmp").c_str());
    EXPECT_EQ(message(file), "Cannot open file c:\\skins\\missing\\gone.bmp");

    SkinSpec gif = StandardSkin();
    gif.upName = "face.gif";
    // The GIF path reads the file itself: BMP bytes under a GIF name are no GIF.
    EXPECT_EQ(message(Write("gif", gif)), "Invalid GIF signature");
    SkinSpec tga = StandardSkin();
    tga.upName = "face.tga";
    EXPECT_EQ(message(Write("tga", tga)), "Unknown picture file extension (.tga)");

    SkinSpec badNumber = StandardSkin();
    badNumber.hotLines[1] = "Repeat, 40, ten, 20, 20, Repeat, FALSE";
    EXPECT_EQ(message(Write("badnumber", badNumber)), "'ten' is not a valid integer value");

    SkinSpec shortLine = StandardSkin();
    shortLine.displayLines[0] = "Time, Arial, FALSE, FALSE, 8, 0, 10";
    EXPECT_EQ(message(Write("short", shortLine)), "List index out of bounds (7)");

    SkinSpec badVersion = StandardSkin();
    badVersion.version = "120";
    EXPECT_EQ(message(Write("v120", badVersion)), "Unsupported skin version 120");
    badVersion.hotLines.clear();
    EXPECT_EQ(message(Write("v120empty", badVersion)), "Unsupported skin version 120");

    SkinSpec noTrackLine = StandardSkin();
    noTrackLine.trackLines.pop_back();
    std::string f = Write("notrack", noTrackLine);
    // Claim two bars with one line: the second takes the default, whose pictures have no extension.
    std::string ini = testsupport::ReadAll(win::LocalPath(f));
    ini.replace(ini.find("[TRACKBARINFO]\r\nCount=1"), 23, "[TRACKBARINFO]\r\nCount=2");
    testsupport::WriteAll(win::LocalPath(f), ini);
    EXPECT_EQ(message(f), "Unknown picture file extension (.)");
}

// A count of elements above the lines its section holds is a fault of the skin, said before
// anything is made for the elements (2,000,000,000 hot areas were once "std::bad_alloc").
TEST_F(SkinLoad, CountsAboveTheSectionsLinesAreSaid) {
    struct Case {
        const char* Name;
        const char* Section;
        const char* Count;   // the standard skin's count in that section
        const char* Claim;
        const char* Message;
    };
    const Case cases[] = {
        {"hot2g", "HOTAREAINFO", "6", "2000000000",
         "Invalid skin c:\\skins\\hot2g\\skin.ini: [HOTAREAINFO] Count=2000000000, but the section has 7 lines"},
        {"display5m", "DISPLAYINFO", "2", "5000000",
         "Invalid skin c:\\skins\\display5m\\skin.ini: [DISPLAYINFO] Count=5000000, but the section has 3 lines"},
        {"track4", "TRACKBARINFO", "2", "4",
         "Invalid skin c:\\skins\\track4\\skin.ini: [TRACKBARINFO] Count=4, but the section has 3 lines"},
        // Within the bound a missing line still takes its default, whose pictures have no extension.
        {"track3", "TRACKBARINFO", "2", "3", "Unknown picture file extension (.)"},
    };
    for (const Case& c : cases) {
        const std::string file = Write(c.Name, StandardSkin());
        std::string ini = testsupport::ReadAll(win::LocalPath(file));
        const std::string from = std::string("[") + c.Section + "]\r\nCount=" + c.Count + "\r\n";
        const std::size_t at = ini.find(from);
        ASSERT_NE(at, std::string::npos) << c.Name;
        ini.replace(at, from.size(), std::string("[") + c.Section + "]\r\nCount=" + c.Claim + "\r\n");
        testsupport::WriteAll(win::LocalPath(file), ini);
        std::string message = "(loaded)";
        try {
            skin->LoadSkin(file);
        } catch (const Exception& e) {
            message = e.Message;
        }
        EXPECT_EQ(message, c.Message) << c.Name;
    }
}

TEST_F(SkinLoad, SecondSkinReusesElements) {
    LoadStandard();
    skin->SetButtonDown("Repeat", true);
    SkinSpec second = StandardSkin();
    second.hotLines[1] = "Repeat, 40, 10, 20, 20, Repeat";  // no state item: the state stays
    second.displayLines[0] = "Time, Arial, TRUE, FALSE, 8, $0000FF, 10, 40";  // 8 items: style kept
    second.withDigits = false;  // the digit glyphs of the first skin stay
    second.trackLines.pop_back();
    second.displayLines.pop_back();
    skin->LoadSkin(Write("second", second));
    EXPECT_TRUE(skin->GetButtonDown("Repeat"));
    EXPECT_FALSE(skin->HotAreas()[1].IsSwitch);
    ASSERT_EQ(skin->Displays().size(), 1u);
    EXPECT_EQ(skin->Displays()[0].Style, "Number");
    EXPECT_EQ(skin->Displays()[0].Text, "");
    EXPECT_EQ(skin->Displays()[0].Font->Style(), fsBold);
    EXPECT_EQ(skin->Displays()[0].Font->Color(), clRed);
    EXPECT_EQ(skin->NumbersBitmap()->Width(), 44);
    ASSERT_EQ(skin->TrackBars().size(), 1u);
    skin->SetText("Time", "7");
    EXPECT_EQ(At(11, 42).index, 7);
}

TEST_F(SkinLoad, RadioGroupsStartAfreshWithEveryLoad) {
    LoadStandard();  // group Bands: EqA (index 2) selected
    SkinSpec second = StandardSkin();
    second.hotLines = {
        "Play, 10, 10, 20, 20, Play it",
        "Repeat, 40, 10, 20, 20, Repeat, FALSE",
        "Mute, 70, 10, 20, 20, Mute, TRUE",        // index 2 is no group member now
        "EqB, 100, 10, 20, 20, B, FALSE, Bands",
    };
    second.areas.resize(4);
    skin->LoadSkin(Write("second", second));
    EXPECT_EQ(skin->GroupSelections().Get(0), "-1");
    headless::MouseDown(form, 105, 15);
    headless::MouseUp(form, 105, 15);
    EXPECT_TRUE(skin->GetButtonDown("EqB"));
    EXPECT_TRUE(skin->GetButtonDown("Mute"));  // a stale selection must not switch it off
}

TEST_F(SkinLoad, JpegFaceFromARealEncoder) {
    SkinSpec spec = StandardSkin();
    const std::string folder = "c:\\skins\\jpeg\\";
    std::string file = WriteSkin(folder, spec);
    // Turn the normal face into a JPEG with the system's encoder.
    const std::string bmp = win::LocalPath(folder + "up.bmp"), jpg = win::LocalPath(folder + "up.jpg");
    std::string cmd = "cjpeg -quality 95 -outfile '" + jpg + "' '" + bmp + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string ini = testsupport::ReadAll(win::LocalPath(file));
    ini.replace(ini.find("MouseUpBitmap=up.bmp"), 20, "MouseUpBitmap=up.jpg");
    testsupport::WriteAll(win::LocalPath(file), ini);
    skin->LoadSkin(file);
    EXPECT_EQ(skin->UpBitmap()->Width(), 200);
    EXPECT_EQ(skin->UpBitmap()->Height(), 100);
    // A lossy face: close to the colour written, within the encoder's error.
    Rgb c = Pixel(100, 50), want = FaceBackground(kUp);
    EXPECT_NEAR(c.r, want.r, 12);
    EXPECT_NEAR(c.g, want.g, 12);
    EXPECT_NEAR(c.b, want.b, 12);
}

TEST_F(SkinLoad, RenderedPngShowsTheSkinAndItsShape) {
    LoadStandard();
    const std::string png = "c:\\render\\skin.png";
    win::MakeDirs(win::LocalPath("c:\\render"));
    ASSERT_TRUE(headless::RenderFormPng(form, png));
    gdi::PngImage img;
    ASSERT_TRUE(gdi::ReadPng(win::LocalPath(png), img));
    ASSERT_EQ(img.width, 200);
    ASSERT_EQ(img.height, 100);
    auto decode = [&](int x, int y) {
        std::uint32_t p = img.At(x, y);
        return Decode(Rgb{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                          static_cast<std::uint8_t>(p)});
    };
    EXPECT_EQ(img.At(0, 0) >> 24, 0u);      // outside the region: transparent
    EXPECT_EQ(img.At(199, 99) >> 24, 0u);
    EXPECT_EQ(img.At(100, 50) >> 24, 255u);
    EXPECT_EQ(decode(100, 50).kind, Decoded::Background);
    EXPECT_EQ(decode(75, 15).face, kDown);
    EXPECT_EQ(decode(75, 15).index, 2);
    EXPECT_EQ(decode(10 + 4 * 3 + 1, 42).index, 3);
    EXPECT_EQ(decode(12, 82).kind, Decoded::Thumb);
}

TEST_F(SkinLoad, PlacementAndProperties) {
    auto* panel = new TGroupBox(form);
    panel->SetParent(form);
    auto* stray = new TSkinForm(form);
    try {
        stray->SetParent(panel);
        ADD_FAILURE() << "placed on a group box";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Please Drop on a Form");
    }
    EXPECT_EQ(skin->SkinEditor(), "Run Editor");
    skin->SetSkinEditor("something");
    EXPECT_EQ(skin->SkinEditor(), "Run Editor");
    skin->SetSkinFile("a.ini");
    skin->SetSkinFile("");
    EXPECT_EQ(skin->SkinFile(), "a.ini");
    EXPECT_EQ(skin->KeyColor(), clWhite);
    EXPECT_EQ(skin->Tolerance(), clBlack);
    EXPECT_EQ(skin->Version(), 150);
}

TEST_F(SkinLoad, KeyColourTakesEffectAtTheNextLoad) {
    SkinSpec spec = StandardSkin();
    std::string file = Write("key", spec);
    skin->SetKeyColor(clBlack);  // now the body is cut away and the white corners stay
    skin->LoadSkin(file);
    HRGN rgn = gdi::WindowRegion(form->Handle());
    ASSERT_NE(rgn, nullptr);
    EXPECT_TRUE(PtInRegion(rgn, 0, 0));
    EXPECT_FALSE(PtInRegion(rgn, 100, 50));
}

TEST_F(SkinLoad, HintHandlerGoesBackToTheOneReplaced) {
    EXPECT_EQ(hints::CurrentShowHintOwner(), skin);
    auto* second = new TSkinForm(form);
    EXPECT_EQ(hints::CurrentShowHintOwner(), second);
    auto* third = new TSkinForm(form);
    delete second;  // out of order: the handler stays with the third
    EXPECT_EQ(hints::CurrentShowHintOwner(), third);
    delete third;
    EXPECT_EQ(hints::CurrentShowHintOwner(), skin);
}

}  // namespace
}  // namespace skintest
