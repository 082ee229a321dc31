// The fonts Tolvar's windows are designed with, as the desktop shows them: the contact window's
// bold labels and Verdana name field, the history list's Verdana in blue, the news window's bold
// blue announcements, and the wait window's white label and bold bar; and the lists' and memos'
// own background colours.
#include <gtk/gtk.h>

#include "display.h"
#include "fontcheck.h"
#include "tolvarscreen.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "messenger/Unit18.h"
#include "messenger/Unit4.h"
#include "messenger/Unit7.h"
#include "platform/classlib/forms.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace desktoptest {
namespace {

class TolvarFontsTest : public TolvarScreenTest {
protected:
    void SetUp() override {
        StartTolvar("[Ayarlar]\r\nToplam=1\r\n[1]\r\nisim=Ayşe\r\nnumara=905431234567\r\n"
                    "[Mesaj]\r\nToplam=1\r\nMesaj0=Bu akşam görüşürüz\r\n");
    }
};

TEST_F(TolvarFontsTest, TheNewContactWindowsLabelsAreBoldAndItsNameFieldIsVerdana) {
    Form4->Show();
    ASSERT_TRUE(Mapped(Form4));
    PumpFor(200);
    for (TControl* label : {static_cast<TControl*>(Form4->Label2), static_cast<TControl*>(Form4->Label4)}) {
        const WidgetFont f = FontOf(Widget(label));
        EXPECT_EQ(f.Weight, PANGO_WEIGHT_BOLD) << cp1254::ToUtf8(label->Caption());
        EXPECT_EQ(f.Family.substr(0, 13), "MS Sans Serif") << f.Family;
    }
    const WidgetFont name = FontOf(Widget(Form4->Edit1));
    EXPECT_EQ(name.Family.substr(0, 7), "Verdana") << name.Family;
    EXPECT_EQ(name.Weight, PANGO_WEIGHT_NORMAL);
    EXPECT_EQ(name.Face, FontconfigFamily("Verdana", false));
    // The fields beside it keep the form's font.
    EXPECT_EQ(FontOf(Widget(Form4->Edit5)).Family.substr(0, 13), "MS Sans Serif");
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-fonts-Form4.png"));
}

TEST_F(TolvarFontsTest, TheHistoryListShowsItsTextsInVerdanaOf13PixelsInBlue) {
    ASSERT_EQ(Form15->ListBox1->Items()->Count(), 1);
    Form15->Show();
    ASSERT_TRUE(Mapped(Form15));
    PumpFor(300);
    GtkWidget* tree = gtk_bin_get_child(GTK_BIN(Widget(Form15->ListBox1)));
    const WidgetFont f = FontOf(tree);
    EXPECT_EQ(f.Family.substr(0, 7), "Verdana") << f.Family;
    EXPECT_NEAR(f.Pixels, 13.0, 0.5);
    EXPECT_EQ(TextColour(tree), 0x004080);  // 8404992: blue 128, green 64, red 0
    // Nothing is chosen, so the row's text is drawn in that blue (its strokes' cores; their edges
    // blend into white).
    EXPECT_TRUE(PumpUntil([&] { return PixelsOfColour(tree, 0x004080, 40) > 10; }));
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-fonts-Form15.png"));
}

TEST_F(TolvarFontsTest, TheNewsWindowsAnnouncementsAreBoldAndBlue) {
    Form7->Memo1->SetText("Yeni sürüm çıktı"_w);
    Form7->Memo2->SetText("Hazır mesajlar"_w);
    Form7->Show();
    ASSERT_TRUE(Mapped(Form7));
    PumpFor(300);
    for (TMemo* memo : {Form7->Memo1, Form7->Memo2}) {
        GtkWidget* text = gtk_bin_get_child(GTK_BIN(Widget(memo)));
        EXPECT_EQ(FontOf(text).Weight, PANGO_WEIGHT_BOLD);
        EXPECT_TRUE(PumpUntil([&] { return PixelsOfColour(text, 0x004080, 40) > 10; }));
    }
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-fonts-Form7.png"));
}

TEST_F(TolvarFontsTest, TheMainListAndTheNewsMemosShowTheirOwnBackgrounds) {
    auto mostlyOf = [](GtkWidget* w, long rgb, int tolerance = 0) {
        const int area = gtk_widget_get_allocated_width(w) * gtk_widget_get_allocated_height(w);
        return PumpUntil([&] { return area > 0 && PixelsOfColour(w, rgb, tolerance) > area / 2; });
    };
    // 16776697: blue 255, green 254, red 249 (the list's view rounds a channel by one).
    EXPECT_TRUE(mostlyOf(gtk_bin_get_child(GTK_BIN(Widget(Form1->ListBox1))), 0xF9FEFF, 1));
    Form7->Memo1->SetText("Yeni sürüm çıktı"_w);
    Form7->Show();
    ASSERT_TRUE(Mapped(Form7));
    // 16056063: blue 244, green 254, red 255.
    EXPECT_TRUE(mostlyOf(gtk_bin_get_child(GTK_BIN(Widget(Form7->Memo1))), 0xFFFEF4));
    EXPECT_TRUE(mostlyOf(gtk_bin_get_child(GTK_BIN(Widget(Form7->Memo2))), 0xFFFEF4));
}

TEST_F(TolvarFontsTest, TheWaitWindowsLabelIsWhiteVerdanaAndItsBarBold) {
    Form18->Show();
    ASSERT_TRUE(Mapped(Form18));
    PumpFor(200);
    const WidgetFont label = FontOf(Widget(Form18->Label1));
    EXPECT_EQ(label.Family.substr(0, 7), "Verdana") << label.Family;
    EXPECT_EQ(TextColour(Widget(Form18->Label1)), 0xFFFFFF);
    EXPECT_EQ(FontOf(Widget(Form18->Edit1)).Weight, PANGO_WEIGHT_BOLD);
    // The bar is disabled and still shows its own colour, RGB (0, 64, 128).
    EXPECT_EQ(TextColour(Widget(Form18->Edit1)), 0x004080);
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-fonts-Form18.png"));
    Form18->Hide();
}

}  // namespace
}  // namespace desktoptest
