// The skin under the mouse: hot areas, switches, groups, track bars, hover, hints and moving the
// window, driven through the form's window as the window system would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/headless_mouse.h"
#include "platform/classlib/hints.h"
#include "platform/win/capture.h"
#include "skin/skinfixture.h"

namespace skintest {
namespace {

struct Note {
    std::string kind;  // "down", "up", "move", "bar"
    std::string id;
    int value = 0;     // button, or the bar's position
    bool operator==(const Note& o) const { return kind == o.kind && id == o.id && value == o.value; }
};
std::ostream& operator<<(std::ostream& os, const Note& n) { return os << n.kind << ":" << n.id << ":" << n.value; }

class SkinMouse : public SkinFixture {
protected:
    void SetUp() override {
        SkinFixture::SetUp();
        skin->OnMouseDownNotify = [this](const std::string& id, TMouseButton b, TShiftState, int, int) {
            notes.push_back({"down", id, static_cast<int>(b)});
        };
        skin->OnMouseUpNotify = [this](const std::string& id, TMouseButton b, TShiftState, int, int) {
            notes.push_back({"up", id, static_cast<int>(b)});
        };
        skin->OnTrackBarNotify = [this](const std::string& id, int pos) { notes.push_back({"bar", id, pos}); };
    }
    void Click(int x, int y, TMouseButton b = mbLeft) {
        headless::MouseDown(form, x, y, b);
        headless::MouseUp(form, x, y, b);
    }
    std::vector<Note> Take() {
        auto n = notes;
        notes.clear();
        return n;
    }
    RECT WindowRect() {
        RECT r{};
        GetWindowRect(form->Handle(), &r);
        return r;
    }
    std::vector<Note> notes;
};

TEST_F(SkinMouse, PressHereReleaseThere) {
    LoadStandard();
    headless::MouseDown(form, 15, 15);
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kDown), 0));  // pressed face while held
    EXPECT_TRUE(skin->HotAreas()[0].Pressed);
    headless::MouseUp(form, 45, 15);
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "Play", mbLeft}, {"up", "Repeat", mbLeft}}));
    EXPECT_FALSE(skin->HotAreas()[0].Pressed);  // nothing stays held once the button is up
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kUp), 0));
    EXPECT_FALSE(skin->GetButtonDown("Repeat"));  // released over it, not pressed: no toggle
}

TEST_F(SkinMouse, RightButtonPressesNothingAndDoesNotMove) {
    LoadStandard();
    const int loops = win::MoveLoopCount();
    headless::MouseDown(form, 15, 15, mbRight);
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kUp), 0));
    headless::MouseUp(form, 15, 15, mbRight);
    EXPECT_EQ(win::MoveLoopCount(), loops);
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "", mbRight}, {"up", "Play", mbRight}}));
}

TEST_F(SkinMouse, OverlappingAreasOnlyTheFirstReacts) {
    LoadStandard();
    headless::MouseDown(form, 145, 15);
    EXPECT_EQ(FaceAt(135, 15), std::make_pair(int(kDown), 4));
    EXPECT_EQ(FaceAt(165, 15), std::make_pair(int(kUp), 5));
    EXPECT_FALSE(skin->HotAreas()[5].Pressed);
    headless::MouseUp(form, 145, 15);
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "Over", mbLeft}, {"up", "Over", mbLeft}}));
}

TEST_F(SkinMouse, SwitchesAndRadioGroups) {
    LoadStandard();
    Click(45, 15);
    EXPECT_TRUE(skin->GetButtonDown("Repeat"));
    EXPECT_EQ(FaceAt(45, 15).first, kDown);
    Click(45, 15);
    EXPECT_FALSE(skin->GetButtonDown("Repeat"));
    EXPECT_EQ(FaceAt(45, 15).first, kUp);

    Click(105, 15);  // EqB: EqA goes off
    EXPECT_TRUE(skin->GetButtonDown("EqB"));
    EXPECT_FALSE(skin->GetButtonDown("EqA"));
    EXPECT_EQ(skin->GroupSelections().Get(0), "3");
    EXPECT_EQ(FaceAt(75, 15).first, kUp);
    EXPECT_EQ(FaceAt(105, 15).first, kDown);
    Click(105, 15);  // the selected one again: stays on
    EXPECT_TRUE(skin->GetButtonDown("EqB"));
    EXPECT_FALSE(skin->GetButtonDown("EqA"));

    // Code sets states without touching the selection.
    skin->SetButtonDown("EqA", true);
    EXPECT_TRUE(skin->GetButtonDown("EqA"));
    EXPECT_EQ(skin->GroupSelections().Get(0), "3");
    EXPECT_FALSE(skin->GetButtonDown("nothing"));
}

TEST_F(SkinMouse, TrackClicksJumpTheThumb) {
    LoadStandard();  // Vol: x 10, length 100, thumb 10 wide
    skin->SetTrackBarPos("Vol", 100);  // thumb out of the way, at 100..110
    struct Case {
        int dx;
        int position, offset;
    } cases[] = {{50, 50, 45}, {2, 0, 0}, {99, 100, 90}, {30, 27, 24}};
    for (const auto& c : cases) {
        // Keep the thumb away from the click point.
        skin->SetTrackBarPos("Vol", c.dx < 50 ? 100 : 0);
        Take();
        Click(10 + c.dx, 82);
        EXPECT_EQ(skin->GetTrackBarPos("Vol"), c.position) << c.dx;
        EXPECT_EQ(skin->TrackBars()[0].ThumbOffset, c.offset) << c.dx;
        std::vector<Note> n = Take();
        ASSERT_EQ(n.size(), 3u) << c.dx;
        EXPECT_EQ(n[0], (Note{"bar", "Vol", c.position}));
        EXPECT_EQ(n[1], (Note{"down", "Vol", mbLeft}));
        EXPECT_EQ(Decode(Pixel(10 + c.offset + 1, 82)).kind, Decoded::Thumb) << c.dx;
    }
    skin->SetTrackBarPos("Vol", 50);
    EXPECT_EQ(skin->TrackBars()[0].ThumbOffset, 45);
    EXPECT_TRUE(Take().empty());  // code moves the bar silently
}

TEST_F(SkinMouse, SetTrackBarPosClamps) {
    LoadStandard();
    struct Case {
        int value, stored;
    } cases[] = {{0, 0}, {100, 100}, {150, 100}, {-1, 0}, {300, 100}, {37, 37}};
    for (const auto& c : cases) {
        skin->SetTrackBarPos("Bal", c.value);
        EXPECT_EQ(skin->GetTrackBarPos("Bal"), c.stored) << c.value;
        EXPECT_EQ(skin->TrackBars()[1].ThumbOffset, 50 * c.stored / 100) << c.value;
    }
    skin->SetTrackBarPos("nothing", 20);
    EXPECT_EQ(skin->GetTrackBarPos("nothing"), 0);
}

TEST_F(SkinMouse, DraggingAVerticalThumbKeepsTheGrabDistance) {
    LoadStandard();  // Bal: y 10, length 60, thumb 8 x 10, offset 25 (thumb at 35..45)
    headless::MouseDown(form, 182, 38);
    EXPECT_EQ(skin->DraggedTrackBar(), 1);
    headless::MouseMove(form, 182, 50);  // offset 50 - 10 - 3 = 37: position 74
    EXPECT_EQ(skin->GetTrackBarPos("Bal"), 74);
    EXPECT_EQ(skin->TrackBars()[1].ThumbOffset, 37);
    Decoded d = At(182, 10 + 37 + 1);
    EXPECT_EQ(d.kind, Decoded::Thumb);
    EXPECT_TRUE(d.dragging);  // the dragging thumb while held
    headless::MouseMove(form, 182, 95);  // beyond the track's end: the thumb stays
    EXPECT_EQ(skin->GetTrackBarPos("Bal"), 74);
    headless::MouseMove(form, 182, 12);  // would go before the start: clamped to 0
    EXPECT_EQ(skin->GetTrackBarPos("Bal"), 0);
    headless::MouseUp(form, 182, 12);
    EXPECT_EQ(skin->DraggedTrackBar(), -1);
    EXPECT_FALSE(At(182, 11).dragging);
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "Bal", mbLeft}, {"bar", "Bal", 74}, {"bar", "Bal", 0}, {"up", "", mbLeft}}));
}

TEST_F(SkinMouse, AreaOverATrackReportsTheBar) {
    SkinSpec spec = StandardSkin();
    spec.hotLines.push_back("Knob, 50, 78, 20, 12, knob");
    spec.areas.push_back({50, 78, 20, 12});
    skin->LoadSkin(Write("overlap", spec));
    headless::MouseDown(form, 60, 82);
    EXPECT_TRUE(skin->HotAreas()[6].Pressed);
    EXPECT_EQ(skin->GetTrackBarPos("Vol"), 50);
    headless::MouseUp(form, 60, 82);
    EXPECT_EQ(Take(), (std::vector<Note>{{"bar", "Vol", 50}, {"down", "Vol", mbLeft}, {"up", "Knob", mbLeft}}));
}

TEST_F(SkinMouse, TrackWithoutTravelStaysAtZero) {
    SkinSpec spec = StandardSkin();
    spec.trackLines = {"Tiny, thumb1.bmp, drag1.bmp, 10, 80, 10, H, 50", "Short, thumb2.bmp, drag2.bmp, 180, 10, 4, V, 80"};
    skin->LoadSkin(Write("tiny", spec));
    EXPECT_EQ(skin->TrackBars()[0].ThumbOffset, 0);
    EXPECT_EQ(skin->TrackBars()[1].ThumbOffset, 0);
    headless::MouseDown(form, 15, 82);
    headless::MouseMove(form, 18, 82);
    headless::MouseUp(form, 18, 82);
    headless::MouseDown(form, 182, 12);
    headless::MouseMove(form, 182, 13);
    headless::MouseUp(form, 182, 13);
    EXPECT_EQ(skin->GetTrackBarPos("Tiny"), 0);
    EXPECT_EQ(skin->GetTrackBarPos("Short"), 0);
    skin->SetTrackBarPos("Tiny", 60);
    EXPECT_EQ(skin->TrackBars()[0].ThumbOffset, 0);
}

TEST_F(SkinMouse, HoverFaceComesAndGoes) {
    LoadStandard();
    headless::MouseMove(form, 15, 15);
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kOn), 0));
    EXPECT_TRUE(skin->RepaintPending());
    headless::MouseMove(form, 45, 15);  // straight onto the next area: the first loses its hover face
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kUp), 0));
    EXPECT_EQ(FaceAt(45, 15), std::make_pair(int(kOn), 1));
    headless::MouseMove(form, 100, 50);
    EXPECT_EQ(FaceAt(45, 15), std::make_pair(int(kUp), 1));

    SkinSpec spec = StandardSkin();
    spec.withHover = false;
    skin->LoadSkin(Write("nohover", spec));
    headless::MouseMove(form, 15, 15);
    EXPECT_EQ(FaceAt(15, 15), std::make_pair(int(kUp), 0));
}

TEST_F(SkinMouse, HintsFollowTheElementUnderThePointer) {
    LoadStandard();
    skin->SetShowHint(true);
    struct Case {
        int x, y;
        bool shows;
        std::string hint;
    } cases[] = {
        {15, 15, true, "Play it"}, {45, 15, true, "Repeat"}, {50, 84, true, "Volume"},
        {182, 60, true, "Balance"}, {100, 50, false, ""}, {145, 15, true, "first"},
    };
    for (const auto& c : cases) {
        headless::MouseMove(form, c.x, c.y);
        THintInfo info;
        EXPECT_EQ(hints::ShowHintNow(skin, c.x, c.y, info), c.shows) << c.x << "," << c.y;
        EXPECT_EQ(info.HintStr, c.hint) << c.x << "," << c.y;
        if (c.shows) {
            EXPECT_TRUE(IsRectEmpty(&info.CursorRect));
            EXPECT_EQ(info.CursorRect.right, 0);
        }
    }
    // Hints of other controls pass unchanged.
    auto* other = new TSkinForm(form);
    delete other;
    TControl plain(nullptr);
    plain.Hint = "plain";
    plain.SetShowHint(true);
    THintInfo info;
    EXPECT_TRUE(hints::ShowHintNow(&plain, 1, 1, info));
    EXPECT_EQ(info.HintStr, "plain");
}

TEST_F(SkinMouse, PressOnNothingMovesTheWindow) {
    LoadStandard();
    form->SetBounds(300, 200, form->Width(), form->Height());
    const RECT start = WindowRect();
    RECT atNotify{};
    skin->OnMouseDownNotify = [&](const std::string& id, TMouseButton, TShiftState, int, int) {
        notes.push_back({"down", id, 0});
        atNotify = WindowRect();
    };
    const int loops = win::MoveLoopCount();
    ASSERT_TRUE(headless::PostMouseDown(form, 100, 50));
    ASSERT_TRUE(headless::PostMouseMove(form, 110, 55));
    ASSERT_TRUE(headless::PostMouseMove(form, 400, 300));  // far outside: the held button keeps it
    ASSERT_TRUE(headless::PostMouseMove(form, 130, 70));
    ASSERT_TRUE(headless::PostMouseUp(form, 130, 70));
    headless::Pump();
    EXPECT_EQ(win::MoveLoopCount(), loops + 1);
    const RECT end = WindowRect();
    EXPECT_EQ(end.left, start.left + 30);
    EXPECT_EQ(end.top, start.top + 20);
    EXPECT_EQ(end.right - end.left, 200);
    EXPECT_EQ(atNotify.left, end.left);  // the notify comes after the move loop
    // The loop took the release: no mouse-up reached the control.
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "", 0}}));

    // The next gesture reaches the control as usual.
    ASSERT_TRUE(headless::PostMouseDown(form, 15, 15));
    ASSERT_TRUE(headless::PostMouseUp(form, 15, 15));
    headless::Pump();
    EXPECT_EQ(Take(), (std::vector<Note>{{"down", "Play", 0}, {"up", "Play", mbLeft}}));
    EXPECT_EQ(WindowRect().left, end.left);
}

TEST_F(SkinMouse, PressOutsideTheShapeGoesNowhere) {
    LoadStandard();
    EXPECT_FALSE(headless::PostMouseDown(form, 1, 1));  // a cut corner
    EXPECT_FALSE(headless::PostMouseMove(form, 2, 2));
    EXPECT_FALSE(headless::PostMouseUp(form, 1, 1));
    headless::Pump();
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(headless::InWindowShape(form, 100, 50));
}

TEST_F(SkinMouse, CaptureMovesBetweenWindows) {
    LoadStandard();
    TForm* other = nullptr;
    Application->CreateForm(other);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(form->Handle()), nullptr);
    EXPECT_EQ(GetCapture(), form->Handle());
    // While the skinned window holds the mouse, a press outside its shape reaches it.
    EXPECT_TRUE(headless::PostMouseDown(form, 1, 1));
    EXPECT_TRUE(headless::PostMouseUp(form, 1, 1));
    EXPECT_EQ(SetCapture(other->Handle()), form->Handle());
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    headless::Pump();
    SetCapture(other->Handle());
    delete other;  // a destroyed window loses the capture
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinMouse, RepaintRules) {
    LoadStandard();
    auto mark = [&] { skin->Canvas()->SetPixel(100, 50, TColor(0x00ABCDEF)); };
    auto marked = [&] { return Pixel(100, 50) == Rgb{0xEF, 0xCD, 0xAB}; };
    mark();
    skin->SetButtonDown("nothing", true);
    EXPECT_TRUE(marked());  // no such area: no repaint
    skin->SetText("nothing", "x");
    EXPECT_FALSE(marked());  // always repaints
    mark();
    skin->SetButtonDown("Play", false);
    EXPECT_FALSE(marked());
    EXPECT_EQ(skin->IndexOfHotArea("EqB"), 3);
    EXPECT_EQ(skin->IndexOfHotArea("eqb"), -1);
    EXPECT_EQ(skin->GetHotAreaID(5), "Under");
    EXPECT_EQ(skin->GetHotAreaID(6), "");
    EXPECT_EQ(skin->GetHotAreaID(-1), "");
}

}  // namespace
}  // namespace skintest
