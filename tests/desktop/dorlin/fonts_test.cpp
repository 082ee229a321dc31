// The fonts of Dorlin's about box on the desktop: its title label navy and bold, and its three
// owner-drawn buttons' captions written in blue bold Arial on the window's surface.
#include <gtk/gtk.h>

#include "display.h"
#include "fontcheck.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/desktop/desktop.h"
#include "player/AboutFrm.h"
#include "skin/ButtonComps.h"

namespace desktoptest {
namespace {

class DorlinFontsTest : public DesktopTest {};

TEST_F(DorlinFontsTest, TheAboutBoxTitleIsNavyBoldAndItsButtonsWriteBlueBoldArial) {
    TAboutForm* about = nullptr;
    Application->CreateForm(about);
    about->SetLeft(40);
    about->SetTop(40);
    about->Show();
    auto* window = static_cast<GtkWidget*>(desktop::FormWindow(about));
    ASSERT_TRUE(PumpUntil([&] { return window && gtk_widget_get_mapped(window); }));
    PumpFor(300);
    auto* title = static_cast<GtkWidget*>(desktop::ControlWidget(about->Label1));
    const WidgetFont f = FontOf(title);
    EXPECT_EQ(f.Weight, PANGO_WEIGHT_BOLD);
    EXPECT_EQ(TextColour(title), 0x000080);
    EXPECT_TRUE(PumpUntil([&] { return PixelsOfColour(title, 0x000080, 40) > 10; }));
    // The buttons paint themselves with their font: a bold Arial caption in pure blue (the GDI draws
    // text without blending), more of it than the same caption in the regular weight.
    EXPECT_EQ(about->SquareButton1->Font()->Name(), "Arial");
    // Where the client area lies on the screen: the memo's widget sits at the memo's bounds in it.
    int cx = 0, cy = 0;
    WidgetOrigin(static_cast<GtkWidget*>(desktop::ControlWidget(about->Memo1)), cx, cy);
    cx -= about->Memo1->Left();
    cy -= about->Memo1->Top();
    TSquareButton* b = about->SquareButton1;
    auto blue = [&] { return PixelsOfColourAt(cx + b->Left(), cy + b->Top(), b->Width(), b->Height(), 0x0000FF, 0); };
    EXPECT_TRUE(Screenshot(ShotDir() + "/dorlin-fonts-about.png"));
    ASSERT_TRUE(PumpUntil([&] { return blue() > 30; }));
    const int boldInk = blue();
    b->Font()->SetStyle(0);
    b->Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return blue() < boldInk; }));
    about->Hide();
}

}  // namespace
}  // namespace desktoptest
