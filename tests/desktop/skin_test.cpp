// The skinned window on the desktop: frameless, in the shape of its mask (drawn and taking input
// only inside it), painted from the skin's faces, and moved by a drag on its face.
#include <gtk/gtk.h>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/desktop/desktop.h"
#include "platform/win/winuser.h"
#include "skin/SkinForm.h"
#include "skingen.h"

namespace desktoptest {
namespace {

long Rgb(skintest::Rgb c) { return (static_cast<long>(c.r) << 16) | (c.g << 8) | c.b; }

class SkinWindowTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Application->CreateForm(form);
        form->SetName("SkinHost");
        form->SetBounds(200, 150, 10, 10);
        skin = new TSkinForm(form);
        skin->SetParent(form);
        skin->LoadSkin(skintest::WriteSkin("c:\\skins\\standard\\", skintest::StandardSkin()));
        form->Show();
        ASSERT_TRUE(PumpUntil([&] {
            auto* w = static_cast<GtkWidget*>(desktop::FormWindow(form));
            return w && gtk_widget_get_mapped(w);
        }));
        PumpFor(150);
    }
    GtkWindow* Window() { return static_cast<GtkWindow*>(desktop::FormWindow(form)); }
    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
};

TEST_F(SkinWindowTest, TheWindowIsFramelessInTheMasksShapeAndShowsTheFace) {
    EXPECT_FALSE(gtk_window_get_decorated(Window()));
    int w = 0, h = 0;
    gtk_window_get_size(Window(), &w, &h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    int x, y;
    gtk_window_get_position(Window(), &x, &y);
    // Inside: the normal face's background and a hot area; the cut corners show the screen behind.
    const long behind = ScreenPixel(x - 5, y - 5);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(x + 150, y + 50) == Rgb(skintest::FaceBackground(skintest::kUp)); }, 2000))
        << std::hex << ScreenPixel(x + 150, y + 50);
    EXPECT_EQ(ScreenPixel(x + 20, y + 20), Rgb(skintest::FaceArea(skintest::kUp, 0)));
    EXPECT_EQ(ScreenPixel(x + 1, y + 1), behind);
    EXPECT_EQ(ScreenPixel(x + 198, y + 98), behind);
    EXPECT_TRUE(Screenshot("/tmp/desktop-shots/skin.png"));
    // A press on a hot area shows its pressed face and tells the owner.
    std::string pressed;
    skin->OnMouseDownNotify = [&](const std::string& id, TMouseButton, TShiftState, int, int) { pressed = id; };
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 20) + " " + std::to_string(y + 20) + " mousedown 1"));
    EXPECT_TRUE(PumpUntil([&] { return pressed == "Play"; })) << pressed;
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(x + 20, y + 20) == Rgb(skintest::FaceArea(skintest::kDown, 0)); }, 2000))
        << std::hex << ScreenPixel(x + 20, y + 20);
    ASSERT_TRUE(XDo("mouseup 1"));
    PumpFor(50);
}

TEST_F(SkinWindowTest, APressOutsideTheShapeDoesNotReachTheSkin) {
    int x, y;
    gtk_window_get_position(Window(), &x, &y);
    int downs = 0;
    TWndMethod old = form->WindowProc;
    form->WindowProc = [&, old](TMessage& m) {
        if (m.Msg == WM_LBUTTONDOWN) ++downs;
        old(m);
    };
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 1) + " " + std::to_string(y + 1) + " click 1"));
    PumpFor(200);
    EXPECT_EQ(downs, 0);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 20) + " " + std::to_string(y + 20) + " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return downs == 1; }));
    ASSERT_TRUE(XDo("mouseup 1"));
    form->WindowProc = old;
}

TEST_F(SkinWindowTest, ADragOnTheFaceMovesTheWindowAndTheForm) {
    int x, y;
    gtk_window_get_position(Window(), &x, &y);
    const int left = form->Left(), top = form->Top();
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 150) + " " + std::to_string(y + 50) + " mousedown 1"));
    PumpFor(100);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 170) + " " + std::to_string(y + 60)));
    PumpFor(50);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 210) + " " + std::to_string(y + 90)));
    PumpFor(50);
    ASSERT_TRUE(XDo("mouseup 1"));
    EXPECT_TRUE(PumpUntil([&] { return form->Left() == left + 60 && form->Top() == top + 40; }))
        << form->Left() << "," << form->Top();
    int nx, ny;
    gtk_window_get_position(Window(), &nx, &ny);
    EXPECT_EQ(nx, x + 60);
    EXPECT_EQ(ny, y + 40);
    // The face moved with it.
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(nx + 20, ny + 20) == Rgb(skintest::FaceArea(skintest::kUp, 0)); }, 2000));
}

}  // namespace
}  // namespace desktoptest
