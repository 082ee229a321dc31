// Tolvar's about box on the desktop, at the display's scale 1 and 2: its two link labels show their
// addresses whole, read back from a screenshot beside the same text laid out by the toolkit on
// its own, each sized to the text as the toolkit draws it.
#include <gtk/gtk.h>

#include <string>

#include "display.h"
#include "fontcheck.h"
#include "tolvarscreen.h"
#include "messenger/LinkLabel.h"
#include "messenger/Unit10.h"
#include "platform/classlib/graphics.h"
#include "platform/gdi/wingdi.h"

// GDK's window scale of the X display, forced for the windows made from then on.
extern "C" void gdk_x11_display_set_window_scale(GdkDisplay* display, gint scale);

namespace desktoptest {
namespace {

class TolvarAboutTest : public TolvarScreenTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { StartTolvar("[Ayarlar]\r\nToplam=0\r\n"); }
    void TearDown() override {
        if (gdk_display_get_default()) gdk_x11_display_set_window_scale(gdk_display_get_default(), 1);
        TolvarScreenTest::TearDown();
    }
};

TEST_P(TolvarAboutTest, TheLinkLabelsShowTheirAddressesWhole) {
    const int scale = GetParam();
    // The about box's window is made when it is first shown, at the scale of then.
    gdk_x11_display_set_window_scale(gdk_display_get_default(), scale);
    Form10->Show();
    ASSERT_TRUE(Mapped(Form10));
    ASSERT_EQ(gtk_widget_get_scale_factor(Window(Form10)), scale);
    PumpFor(300);
    const std::string shot = ShotDir() + "/tolvar-about-" + std::to_string(scale) + "x.png";
    ASSERT_TRUE(Screenshot(shot));
    // The client area's place on the screen: the first label's widget lies at its bounds in it.
    int cx = 0, cy = 0;
    WidgetOrigin(Widget(Form10->Label1), cx, cy);
    cx -= Form10->Label1->Left();
    cy -= Form10->Label1->Top();
    const COLORREF face = static_cast<COLORREF>(ColorToRGB(clBtnFace));  // the box's ground
    const long ground = (static_cast<long>(GetRValue(face)) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    for (TLinkLabel* link : {Form10->LinkLabel1, Form10->LinkLabel2}) {
        const std::string caption = cp1254::ToUtf8(link->Caption());
        SCOPED_TRACE(caption);
        TFont* font = link->Font();
        const ToolkitLine expected = ToolkitLayout(font->Name(), std::abs(font->Height()), false, caption);
        ASSERT_GT(expected.inkWidth, 40);
        // Sized to the caption as it is drawn: the layout's width, a pixel each side and the shadow's.
        EXPECT_EQ(link->Width(), expected.width + 2 + link->ShadowSize());
        // The whole row the label stands on, beyond its bounds on both sides.
        const InkSpan seen = InkColumns(shot, (cx + 2) * scale, (cy + link->Top()) * scale,
                                        (Form10->ClientWidth() - 4) * scale, link->Height() * scale, ground);
        ASSERT_GE(seen.left, 0) << "no caption on screen ";
        // The text starts where the label writes it (its left, a pixel in, the shadow's offset) and
        // spans the whole layout's ink: neither end is cut off.
        const int textLeft = (cx + link->Left() + 1 + link->ShadowSize() + expected.inkLeft) * scale;
        EXPECT_NEAR(seen.left, textLeft, 1 + scale) << "the caption's first letters are not shown";
        EXPECT_NEAR(seen.Width(), expected.inkWidth * scale, 2 * scale)
            << "shown " << seen.Width() << " pixels of " << expected.inkWidth * scale;
    }
    Form10->Hide();
}

INSTANTIATE_TEST_SUITE_P(Scales, TolvarAboutTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& i) { return "Scale" + std::to_string(i.param); });

}  // namespace
}  // namespace desktoptest
