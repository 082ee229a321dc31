// Control fonts on the desktop: the family a control names reaches its widget and resolves to the
// face fontconfig gives that name; size, weight, slant, underline, strikeout and colour reach the
// widget and the screen; a change of a font, or of the parent's font a control follows, is shown
// again; a panel's caption is painted in the panel's font, and drawn as the toolkit draws text, at
// the window's scale; a combo box's open list shows the box's; background colours of every kind
// are shown.
#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>

#include <cmath>
#include <string>
#include <vector>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/stdctrls.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/gdi/wingdi.h"
#include "skin/ButtonComps.h"
#include "fontcheck.h"

namespace desktoptest {
namespace {

class FontsTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        form = MakeForm("Yazı tipleri", 60, 60, 360, 240);
        plain = Make<TLabel>(10, 10, 160, 30, "CEP NO:");
        bold = Make<TLabel>(180, 10, 160, 30, "CEP NO:");
        for (TLabel* l : {plain, bold}) {
            l->Font()->SetName("Verdana");
            l->Font()->SetSize(15);  // points: 20 pixels at 96 pixels per inch
        }
        bold->Font()->SetStyle(fsBold);
        follower = Make<TLabel>(10, 50, 160, 20, "Cep İsim:"_w);
        edit = Make<TEdit>(180, 50, 160, 28, "");
        edit->SetText("Şükrü 0532"_w);
        list = Make<TListBox>(10, 90, 160, 80, "");
        list->Items()->Add("Merhaba dünya"_w);
        panel = Make<TPanel>(180, 90, 160, 80, "PANEL");
    }
    template <class T>
    T* Make(int l, int t, int w, int h, const std::string& caption) {
        T* c = new T(form);
        c->SetParent(form);
        c->SetBounds(l, t, w, h);
        if (!caption.empty()) c->SetCaption(caption);
        return c;
    }
    GtkWidget* Widget(TControl* c) { return static_cast<GtkWidget*>(desktop::ControlWidget(c)); }
    void ShowAndWait() {
        form->Show();
        ASSERT_TRUE(PumpUntil([&] {
            auto* w = static_cast<GtkWidget*>(desktop::FormWindow(form));
            return w && gtk_widget_get_mapped(w) && gtk_widget_get_mapped(Widget(list));
        }));
        PumpFor(200);
    }
    TForm* form = nullptr;
    TLabel *plain = nullptr, *bold = nullptr, *follower = nullptr;
    TEdit* edit = nullptr;
    TListBox* list = nullptr;
    TPanel* panel = nullptr;
};

TEST_F(FontsTest, ANamedFontReachesTheWidgetAsFontconfigResolvesIt) {
    bold->Font()->SetStyle(fsBold | fsUnderline);
    plain->Font()->SetStyle(fsStrikeOut);
    ShowAndWait();
    const WidgetFont seen = FontOf(Widget(bold));
    EXPECT_EQ(seen.Family.substr(0, 7), "Verdana") << seen.Family;
    EXPECT_EQ(seen.Weight, PANGO_WEIGHT_BOLD);
    EXPECT_NEAR(seen.Pixels, 20.0, 0.5);
    EXPECT_TRUE(seen.Underline);
    // The face drawn is the one fontconfig gives the name (a metric-compatible face where one is
    // installed, else its fallback), bold as asked.
    EXPECT_EQ(seen.Face, FontconfigFamily("Verdana", true));
    EXPECT_FALSE(seen.Face.empty());
    const WidgetFont regular = FontOf(Widget(plain));
    EXPECT_EQ(regular.Weight, PANGO_WEIGHT_NORMAL);
    EXPECT_FALSE(regular.Underline);
    EXPECT_TRUE(regular.Strikeout);
    EXPECT_FALSE(seen.Strikeout);
    // A control that names no font shows its form's: the class library's default at 11 pixels.
    const WidgetFont inherited = FontOf(Widget(follower));
    EXPECT_EQ(inherited.Family.substr(0, 13), "MS Sans Serif") << inherited.Family;
    EXPECT_NEAR(inherited.Pixels, 11.0, 0.5);
    // A positive height is the cell's: the character is that less the internal leading, as the GDI
    // measures the same font.
    follower->Font()->SetHeight(20);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ToGdiObj(follower->Font()->Handle()));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    SelectObject(dc, old);
    DeleteDC(dc);
    const int em = tm.tmHeight - tm.tmInternalLeading;
    EXPECT_LT(em, 20);
    ASSERT_TRUE(PumpUntil([&] { return std::lround(FontOf(Widget(follower)).Pixels) != 11; }));
    EXPECT_NEAR(FontOf(Widget(follower)).Pixels, em, 0.5);
}

TEST_F(FontsTest, ABoldLabelLooksBolderAndAChangeOfFontIsShownAgain) {
    ShowAndWait();
    EXPECT_TRUE(Screenshot(ShotDir() + "/fonts-labels.png"));
    // Once both are drawn.
    ASSERT_TRUE(PumpUntil([&] { return InkPixels(Widget(plain)) > 40 && InkPixels(Widget(bold)) > 40; }));
    const int thin = InkPixels(Widget(plain)), thick = InkPixels(Widget(bold));
    EXPECT_GT(thin, 40);
    EXPECT_GT(thick, thin + thin / 5) << "plain " << thin << ", bold " << thick;
    // Made bold at run time, the first label shows as the second does.
    plain->Font()->SetStyle(fsBold);
    ASSERT_TRUE(PumpUntil([&] { return FontOf(Widget(plain)).Weight == PANGO_WEIGHT_BOLD; }));
    EXPECT_TRUE(PumpUntil([&] { return std::abs(InkPixels(Widget(plain)) - thick) <= thick / 20 + 2; }))
        << "was " << thin << ", now " << InkPixels(Widget(plain)) << ", bold " << thick;
    // A label that follows its form follows the form's change.
    form->Font()->SetName("Verdana");
    form->Font()->SetStyle(fsItalic);
    ASSERT_TRUE(PumpUntil([&] { return FontOf(Widget(follower)).Style == PANGO_STYLE_ITALIC; }));
    EXPECT_EQ(FontOf(Widget(follower)).Family.substr(0, 7), "Verdana");
    EXPECT_EQ(FontOf(Widget(bold)).Style, PANGO_STYLE_NORMAL);  // it has a font of its own
}

TEST_F(FontsTest, AFontsColourReachesTheTextOfAnEditAListALabelAndAPanel) {
    const TColor blue = static_cast<TColor>(8404992);  // RGB (0, 64, 128)
    for (TControl* c : std::initializer_list<TControl*>{edit, list, bold}) {
        c->Font()->SetColor(blue);
        c->Font()->SetStyle(fsBold);
        c->Font()->SetHeight(-16);
    }
    panel->Font()->SetColor(clRed);
    panel->Font()->SetStyle(fsBold);
    panel->Font()->SetHeight(-18);
    // The focus on a button and the edit's text unselected: the text and the list's row show their
    // own colour, not the selection's.
    auto* button = Make<TButton>(10, 190, 100, 26, "Tamam");
    form->SetActiveControl(button);
    ShowAndWait();
    gtk_editable_select_region(GTK_EDITABLE(Widget(edit)), 0, 0);
    PumpFor(100);
    EXPECT_TRUE(Screenshot(ShotDir() + "/fonts-colours.png"));
    GtkWidget* tree = gtk_bin_get_child(GTK_BIN(Widget(list)));
    for (GtkWidget* w : {Widget(edit), tree, Widget(bold)}) {
        SCOPED_TRACE(G_OBJECT_TYPE_NAME(w));
        EXPECT_EQ(TextColour(w), 0x004080);
        EXPECT_TRUE(PumpUntil([&] { return PixelsOfColour(w, 0x004080, 24) > 10; }));
    }
    // The panel's caption, painted by the GDI on the form's surface, in the panel's font.
    int px = 0, py = 0;
    WidgetOrigin(Widget(panel), px, py);
    EXPECT_TRUE(PumpUntil([&] { return PixelsOfColourAt(px, py, panel->Width(), panel->Height(), 0xFF0000, 0) > 40; }));
    // With all that drawn: a plain label keeps the theme's text colour, which is not the others' blue.
    EXPECT_EQ(PixelsOfColour(Widget(plain), 0x004080, 24), 0);
}

// A background colour given to an edit field, a memo, a list or a panel is shown whatever kind of
// colour value it is: a system colour (its high bit set), black (0), a plain RGB; an enabled and a
// disabled field alike.
TEST_F(FontsTest, BackgroundColoursOfEveryKindAreShown) {
    struct Case {
        const char* name;
        TColor colour;
        bool enabled;
    };
    const Case cases[] = {
        {"clInfoBk", clInfoBk, true},
        {"clInactiveBorder, disabled", clInactiveBorder, false},
        {"clBlack", clBlack, true},
        {"RGB (0, 128, 192)", static_cast<TColor>(0xC08000), true},
    };
    auto* memo = Make<TMemo>(10, 180, 160, 50, "");
    memo->SetText("Dorlin"_w);
    ShowAndWait();
    GtkWidget* tree = gtk_bin_get_child(GTK_BIN(Widget(list)));
    GtkWidget* text = gtk_bin_get_child(GTK_BIN(Widget(memo)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (TControl* control : std::initializer_list<TControl*>{edit, list, memo, panel}) {
            control->ParentColor = false;
            control->Color = c.colour;
            control->SetEnabled(c.enabled);
            control->Invalidate();
        }
        const COLORREF ref = static_cast<COLORREF>(ColorToRGB(c.colour));
        const long rgb = (static_cast<long>(GetRValue(ref)) << 16) | (GetGValue(ref) << 8) | GetBValue(ref);
        for (GtkWidget* w : {Widget(edit), tree, text, Widget(panel)}) {
            SCOPED_TRACE(G_OBJECT_TYPE_NAME(w));
            const int area = gtk_widget_get_allocated_width(w) * gtk_widget_get_allocated_height(w);
            // The list's view rounds a channel by one.
            EXPECT_TRUE(PumpUntil([&] { return area > 0 && PixelsOfColour(w, rgb, 1) > area / 2; }))
                << std::hex << "0x" << rgb << " on " << PixelsOfColour(w, rgb, 1) << " of " << std::dec << area;
        }
    }
}

// How text looks on the screen within a rectangle of device pixels (as a screenshot holds them):
// pixels of the text's colour, of the ground, and between the two (the edges an anti-aliased
// renderer draws).
struct InkSeen {
    int text = 0, ground = 0, between = 0;
};
InkSeen LookAtInk(const std::string& shot, int x, int y, int width, int height, long textRgb, long groundRgb) {
    InkSeen seen;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(shot.c_str(), nullptr);
    if (!pb) return seen;
    const int stride = gdk_pixbuf_get_rowstride(pb), channels = gdk_pixbuf_get_n_channels(pb);
    const guchar* pixels = gdk_pixbuf_get_pixels(pb);
    auto near = [](const guchar* p, long rgb, int tolerance) {
        return std::abs(p[0] - static_cast<int>((rgb >> 16) & 0xFF)) <= tolerance &&
               std::abs(p[1] - static_cast<int>((rgb >> 8) & 0xFF)) <= tolerance &&
               std::abs(p[2] - static_cast<int>(rgb & 0xFF)) <= tolerance;
    };
    for (int row = y; row < y + height && row < gdk_pixbuf_get_height(pb); ++row)
        for (int col = x; col < x + width && col < gdk_pixbuf_get_width(pb); ++col) {
            const guchar* p = pixels + row * stride + col * channels;
            if (near(p, textRgb, 40)) ++seen.text;
            else if (near(p, groundRgb, 6)) ++seen.ground;
            else ++seen.between;
        }
    g_object_unref(pb);
    return seen;
}

}  // namespace

// GDK's window scale of the X display, forced for the windows made from then on.
extern "C" void gdk_x11_display_set_window_scale(GdkDisplay* display, gint scale);

namespace {

// Text the programs draw themselves on a form (a panel's caption here, as link labels, painted
// buttons and the send window's header are drawn) is drawn as the toolkit draws its own: with
// anti-aliased edges, and at the window's scale on a display of scale 2 (crisp strokes, not the
// 1x drawing scaled up).
TEST_F(FontsTest, OwnerDrawnTextIsDrawnAsTheToolkitDrawsItAtTheWindowsScale) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        gdk_x11_display_set_window_scale(gdk_display_get_default(), scale);
        TForm* f = nullptr;
        Application->CreateForm(f);
        f->SetName("Scaled" + std::to_string(scale));
        f->BorderStyle = bsSingle;
        f->SetBounds(40, 40, 260, 120);
        auto* caption = new TPanel(f);
        caption->SetParent(f);
        caption->SetBounds(10, 10, 240, 60);
        caption->BevelOuter = bvNone;
        caption->SetCaption("Mesaj Gönderildi"_w);
        caption->Font()->SetName("Verdana");
        caption->Font()->SetHeight(-15);
        f->Show();
        auto* w = static_cast<GtkWidget*>(desktop::ControlWidget(caption));
        ASSERT_TRUE(PumpUntil([&] { return w && gtk_widget_get_mapped(w); }));
        ASSERT_EQ(gtk_widget_get_scale_factor(w), scale);
        PumpFor(300);
        const std::string shot = ShotDir() + "/owner-drawn-" + std::to_string(scale) + "x.png";
        ASSERT_TRUE(Screenshot(shot));
        int x = 0, y = 0;
        WidgetOrigin(w, x, y);
        const COLORREF face = static_cast<COLORREF>(ColorToRGB(clBtnFace));
        const long ground = (static_cast<long>(GetRValue(face)) << 16) | (GetGValue(face) << 8) | GetBValue(face);
        const InkSeen seen = LookAtInk(shot, x * scale, y * scale, caption->Width() * scale, caption->Height() * scale, 0x000000, ground);
        ASSERT_GT(seen.text, 20 * scale * scale) << "no caption on screen";
        const std::string counts = "text " + std::to_string(seen.text) + ", between " + std::to_string(seen.between);
        // Edges between the text and the ground: an anti-aliased renderer's.
        EXPECT_GT(seen.between, seen.text / 4) << counts;
        // At scale 2 the strokes are drawn at the screen's pixels: more of the text's colour than of
        // the blur a 1x drawing scaled up is made of.
        if (scale == 2) {
            EXPECT_GT(seen.text, seen.between) << counts;
        }
        delete f;
        PumpFor(100);
    }
    gdk_x11_display_set_window_scale(gdk_display_get_default(), 1);
}

// A caption that sizes itself to its text as the screen measures it and writes it from its left
// edge, clipped to its bounds (as an autosized link label does).
class TFittedCaption : public TGraphicControl {
public:
    explicit TFittedCaption(TComponent* owner) : TGraphicControl(owner) {}
    void Fit() {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, ToGdiObj(Font()->Handle()));
        SIZE size{};
        GetTextExtentPoint32A(dc, Caption().data(), static_cast<int>(Caption().size()), &size);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        SetBounds(Left(), Top(), size.cx, size.cy);
    }

protected:
    void Paint() override {
        RECT r{0, 0, Width(), Height()};
        HDC dc = Canvas->Handle();
        HGDIOBJ old = SelectObject(dc, ToGdiObj(Font()->Handle()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0);
        DrawTextA(dc, Caption().data(), static_cast<int>(Caption().size()), &r, DT_LEFT | DT_SINGLELINE);
        SelectObject(dc, old);
    }
};

// A caption the toolkit lays out wider than the faces' own advances measure it ("MS Sans Serif"
// is drawn in another family than the GDI's metric twin of it) is written where each owner-drawn
// control puts its text by its measure, and shows from its first letter to its last: a fitted
// caption, the skin's square button at each alignment and its bevelled button.
TEST_F(FontsTest, AnOwnerDrawnCaptionWiderInTheToolkitShowsItsFirstAndLastLetters) {
    const std::string text = "Şarkı listesi açık";  // UTF-8
    auto* holder = Make<TPanel>(0, 0, 360, 240, "");
    holder->BevelOuter = bvNone;
    auto make = [&](auto* c, int top) {
        c->SetParent(holder);
        c->SetBounds(10, top, c->Width() + 40, c->Height() + 4);
        c->SetCaption(cp1254::FromUtf8(text));
        c->Font()->SetName("MS Sans Serif");
        c->Font()->SetSize(8);
        c->Font()->SetStyle(0);
        c->Font()->SetColor(clBlack);
        return c;
    };
    auto* fitted = make(new TFittedCaption(form), 10);
    fitted->Fit();
    struct Case {
        const char* name;
        TGraphicControl* control;
        int inset;         // the edges drawn in black (frames, strips) lie outside
        int (*left)(int width, int textWidth);  // where the control writes a text of that width
    };
    std::vector<Case> cases{{"fitted caption", fitted, 0, [](int, int) { return 0; }}};
    for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
        auto* b = make(new TSquareButton(form), 40 + 30 * static_cast<int>(cases.size() - 1));
        b->SetAlignment(a);
        b->SetColorBorder(clBtnFace);
        static const char* names[] = {"square button, left", "square button, right", "square button, centred"};
        int (*left)(int, int) = a == taLeftJustify    ? +[](int, int) { return 6; }
                                : a == taRightJustify ? +[](int w, int tw) { return w - tw - 7; }
                                                      : +[](int w, int tw) { return w / 2 - tw / 2; };
        cases.push_back({names[a], b, 0, left});
    }
    auto* bevelled = make(new TAOLButton(form), 140);
    bevelled->SetColor(clBtnFace);
    bevelled->SetRaiseColor(clBtnFace);
    bevelled->SetBounds(bevelled->Left(), bevelled->Top(), bevelled->Width() + 30, bevelled->Height());
    cases.push_back({"bevelled button", bevelled, 3, [](int w, int tw) { return w / 2 - tw / 2; }});
    ShowAndWait();
    const std::string shot = ShotDir() + "/fonts-owner-drawn-captions.png";
    ASSERT_TRUE(Screenshot(shot));
    int hx = 0, hy = 0;
    WidgetOrigin(Widget(holder), hx, hy);
    const COLORREF face = static_cast<COLORREF>(ColorToRGB(clBtnFace));
    const long ground = (static_cast<long>(GetRValue(face)) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    const ToolkitLine expected = ToolkitLayout("MS Sans Serif", 11, false, text);
    ASSERT_EQ(std::abs(fitted->Font()->Height()), 11);
    // The toolkit's layout is wider than the faces' advances: the case the check is about.
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, ToGdiObj(fitted->Font()->Handle()));
    SIZE faces{};
    const std::string cp = cp1254::FromUtf8(text);
    GetTextExtentPoint32A(memory, cp.data(), static_cast<int>(cp.size()), &faces);
    SelectObject(memory, old);
    DeleteDC(memory);
    ASSERT_GT(expected.width, faces.cx + 4);
    // The screen measures as the toolkit lays out.
    EXPECT_EQ(fitted->Width(), expected.width);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGraphicControl* g = c.control;
        const InkSpan seen = InkColumns(shot, hx + g->Left() + c.inset, hy + g->Top() + c.inset, g->Width() - 2 * c.inset,
                                        g->Height() - 2 * c.inset, ground);
        ASSERT_GE(seen.left, 0) << "no caption on screen";
        EXPECT_NEAR(seen.left, hx + g->Left() + c.left(g->Width(), expected.width) + expected.inkLeft, 1)
            << "the first letters are not where the control writes them";
        EXPECT_NEAR(seen.Width(), expected.inkWidth, 2) << "shown " << seen.Width() << " of " << expected.inkWidth;
    }
}

// The widgets under `w` (itself included) of a GTK type.
struct TCollect {
    GType Type;
    std::vector<GtkWidget*> Found;
    void Walk(GtkWidget* w) {
        if (G_TYPE_CHECK_INSTANCE_TYPE(w, Type)) Found.push_back(w);
        if (GTK_IS_CONTAINER(w))
            gtk_container_forall(
                GTK_CONTAINER(w), [](GtkWidget* child, gpointer self) { static_cast<TCollect*>(self)->Walk(child); },
                this);
    }
};

TEST_F(FontsTest, AComboBoxsOpenListShowsTheBoxsFont) {
    auto* combo = Make<TComboBox>(10, 190, 160, 26, "");
    combo->Style = csDropDownList;
    for (const char* p : {"532", "533", "535"}) combo->Items()->Add(p);
    combo->Font()->SetName("Verdana");
    combo->Font()->SetStyle(fsBold);
    ShowAndWait();
    GtkWidget* box = Widget(combo);
    ASSERT_TRUE(XDo("mousemove 0 0"));
    int x = 0, y = 0;
    WidgetOrigin(box, x, y);
    ASSERT_TRUE(XDo("mousemove " + std::to_string(x + 20) + " " + std::to_string(y + 12) + " click 1"));
    AtkObject* a = gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(box));
    ASSERT_TRUE(a && GTK_IS_ACCESSIBLE(a));
    GtkWidget* popup = gtk_accessible_get_widget(GTK_ACCESSIBLE(a));
    ASSERT_TRUE(popup);
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(popup); }));
    TCollect items{GTK_TYPE_CELL_VIEW, {}};
    items.Walk(popup);
    ASSERT_GE(items.Found.size(), 3u);
    for (GtkWidget* item : items.Found) {
        const WidgetFont f = FontOf(item);
        EXPECT_EQ(f.Family.substr(0, 7), "Verdana") << f.Family;
        EXPECT_EQ(f.Weight, PANGO_WEIGHT_BOLD);
    }
    EXPECT_TRUE(Screenshot(ShotDir() + "/fonts-combo.png"));
    ASSERT_TRUE(XDo("key Escape"));
}

}  // namespace
}  // namespace desktoptest
