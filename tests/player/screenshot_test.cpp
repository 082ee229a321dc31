// What a person sees of the default skin: the main window and the equalizer window rendered to
// PNG, with the song's title and times showing in the displays and the corners cut by the mask.
#include "playerfixture.h"

#include <filesystem>

#include "platform/classlib/formrender.h"
#include "platform/gdi/pngio.h"
#include "player/EQualizer.h"

namespace playertest {
namespace {

class Screenshot : public PlayerFixture {
protected:
    // Pixels of a rectangle that differ from the colour of its top-left pixel.
    static int Inked(const gdi::PngImage& img, int l, int t, int r, int b) {
        const std::uint32_t ground = img.At(l, t);
        int n = 0;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) n += img.At(x, y) != ground;
        return n;
    }
};

TEST_F(Screenshot, TheMainWindowShowsTitleAndTimes) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);
    const auto& a = testsupport::Audio();
    WriteIni("[Musics]\n" + a.cbr + "=\n");
    Start();
    Click("BUTTON_PLAY");
    xaudio::AdvanceNullClock(form->Player->PlayerHandle(), 1100);
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_POS") == "00:01" && Text("TEXT_LEN") == "00:03"; }));
    const std::string file = state.Path("dorlin.png");
    ASSERT_TRUE(headless::RenderFormPng(form, file));
    gdi::PngImage img;
    ASSERT_TRUE(gdi::ReadPng(file, img));
    ASSERT_EQ(img.width, 400);
    ASSERT_EQ(img.height, 132);
    EXPECT_EQ(img.At(0, 0) >> 24, 0u);            // a cut corner
    EXPECT_EQ(img.At(200, 66) >> 24, 255u);       // the body
    EXPECT_GT(Inked(img, 14, 24, 200, 40), 40);   // the song title
    EXPECT_GT(Inked(img, 14, 44, 52, 56), 20);    // "00:01" in the letter glyphs
    EXPECT_GT(Inked(img, 62, 44, 100, 56), 20);   // "00:03"
    // The two times differ where their last digits are.
    int differ = 0;
    for (int y = 44; y < 55; ++y)
        for (int x = 0; x < 35; ++x) differ += img.At(16 + x, y) != img.At(64 + x, y);
    EXPECT_GT(differ, 5);
    // Every button has its label: ink inside each button's face.
    for (const auto& h : form->Skin->HotAreas())
        EXPECT_GT(Inked(img, h.X + 3, h.Y + 3, h.X + h.Width - 2, h.Y + h.Height - 2), 3) << h.ID;
    // Kept beside the test tree for a person to look at.
    testsupport::WriteAll(std::filesystem::current_path().string() + "/dorlin-main.png", testsupport::ReadAll(file));
}

TEST_F(Screenshot, TheEqualizerWindowShowsItsBars) {
    WriteIni("[Genel]\nEQ=80,40,0,-40,-80,0,0,0,0,0\n");
    Start();
    bool rendered = false;
    gdi::PngImage img;
    headless::Headless().QueueModalAction([&](TCustomForm* f) {
        const std::string file = state.Path("eq.png");
        rendered = headless::RenderFormPng(f, file) && gdi::ReadPng(file, img);
        testsupport::WriteAll(std::filesystem::current_path().string() + "/dorlin-equalizer.png", testsupport::ReadAll(file));
        f->Close();
    });
    form->ShowEqualizer();
    ASSERT_TRUE(rendered);
    ASSERT_EQ(img.width, 305);
    // The thumbs of bands 1 and 5 sit at the top and the bottom of their tracks.
    auto thumbRow = [&](int bar) {
        const int x = 16 + bar * 27 + 7;
        for (int y = 22; y < 104; ++y)
            if ((img.At(x, y) & 0xFFFFFF) == 0xC8CEDC) return y;  // the thumb's face colour
        return -1;
    };
    EXPECT_EQ(thumbRow(0), 23);
    EXPECT_EQ(thumbRow(4), 22 + 74 + 1);
    EXPECT_GT(thumbRow(1), thumbRow(0));
    EXPECT_LT(thumbRow(1), thumbRow(2));
}

}  // namespace
}  // namespace playertest
