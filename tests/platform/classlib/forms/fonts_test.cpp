// Control fonts: a form's own font, children that follow their parent's font until they are given
// one of their own, the notifications each change sends (to the control, its peer and its
// children), and graphic controls painting with their font, on screen and in the headless render.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/formrender.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/imagectl.h"
#include "platform/classlib/stdctrls.h"
#include "platform/gdi/pngio.h"
#include "support/tempstate.h"

namespace {

// A backend that counts each control's font notifications.
class TCountingBackend : public TBackend {
public:
    std::map<const TControl*, int> FontChanges;
    class TPeer : public TControlPeer {
    public:
        TPeer(TCountingBackend* b, TControl* c) : B(b), C(c) {}
        void FontChanged() override { ++B->FontChanges[C]; }
        TCountingBackend* B;
        TControl* C;
    };
    std::unique_ptr<TControlPeer> CreatePeer(TControl* control) override {
        return std::make_unique<TPeer>(this, control);
    }
    int MessageBox(const TMessageBoxRequest&) override { return IDOK; }
    bool FileDialog(TFileDialogRequest&) override { return false; }
};

// A graphic control that writes its caption with its canvas as it stands at Paint.
class TCaptionBox : public TGraphicControl {
public:
    explicit TCaptionBox(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 120, 30); }
    const char* ClassName() const override { return "TCaptionBox"; }
    std::string PaintedWith;  // name and style of the canvas font at the last Paint

protected:
    void Paint() override {
        PaintedWith = Canvas->Font()->Name() + "/" + std::to_string(Canvas->Font()->Style());
        Canvas->Brush()->SetStyle(bsClear);
        Canvas->TextOut(2, 2, Caption());
    }
};

class FontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = SetBackend(&backend);
        Application->CreateForm(form);
        form->SetName("Form1");
        panel = Make<TPanel>(form);
        label = Make<TLabel>(panel);
        edit = Make<TEdit>(form);
    }
    void TearDown() override {
        Application->Reset();
        SetBackend(previous);
    }
    template <class T>
    T* Make(TWinControl* parent) {
        T* c = new T(form);
        c->SetParent(parent);
        return c;
    }
    static bool SameFont(const TFont* a, const TFont* b) {
        return a->Name() == b->Name() && a->Height() == b->Height() && a->Style() == b->Style() &&
               a->Color() == b->Color();
    }
    headless::TSession session;
    TCountingBackend backend;
    TBackend* previous = nullptr;
    TForm* form = nullptr;
    TPanel* panel = nullptr;
    TLabel* label = nullptr;
    TEdit* edit = nullptr;
};

TEST_F(FontsTest, AFormHasTheDefaultFontOfItsOwnAndItsControlsTakeIt) {
    EXPECT_FALSE(form->ParentFont());
    EXPECT_EQ(form->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(form->Font()->Size(), 8);
    EXPECT_EQ(form->Font()->Height(), -11);
    EXPECT_EQ(form->Font()->Style(), 0u);
    for (TControl* c : std::vector<TControl*>{panel, label, edit}) {
        EXPECT_TRUE(c->ParentFont()) << c->ClassName();
        EXPECT_TRUE(SameFont(c->Font(), form->Font())) << c->ClassName();
    }
    // A control placed on a parent whose font was set already takes that font.
    panel->Font()->SetName("Verdana");
    auto* late = Make<TLabel>(panel);
    EXPECT_EQ(late->Font()->Name(), "Verdana");
    EXPECT_TRUE(late->ParentFont());
}

TEST_F(FontsTest, AChangeReachesEveryFollowerAtAnyDepthButNotAControlWithAFontOfItsOwn) {
    edit->Font()->SetStyle(fsBold);
    EXPECT_FALSE(edit->ParentFont());
    form->Font()->SetName("Verdana");
    form->Font()->SetHeight(-13);
    form->Font()->SetColor(static_cast<TColor>(8404992));
    // The panel follows the form, and the label on the panel follows the panel.
    for (TControl* c : std::vector<TControl*>{panel, label}) {
        EXPECT_TRUE(SameFont(c->Font(), form->Font())) << c->ClassName();
        EXPECT_TRUE(c->ParentFont()) << c->ClassName();
    }
    // The edit keeps its own font: the form's default with bold, not Verdana.
    EXPECT_EQ(edit->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(edit->Font()->Height(), -11);
    EXPECT_EQ(edit->Font()->Style(), fsBold);
    // Given back to its parent, it takes the parent's font as it is now.
    edit->SetParentFont(true);
    EXPECT_TRUE(edit->ParentFont());
    EXPECT_TRUE(SameFont(edit->Font(), form->Font()));
    // A panel given a font of its own passes that on, and the form's next change stops at it.
    panel->Font()->SetStyle(fsItalic);
    form->Font()->SetName("Arial");
    EXPECT_EQ(panel->Font()->Name(), "Verdana");
    EXPECT_EQ(label->Font()->Style(), fsItalic);
    EXPECT_EQ(label->Font()->Name(), "Verdana");
    EXPECT_EQ(edit->Font()->Name(), "Arial");
}

TEST_F(FontsTest, SetFontCopiesTheFontAndMovingToAnotherParentTakesItsFont) {
    TFont bold;
    bold.SetName("Arial");
    bold.SetStyle(fsBold | fsUnderline);
    label->SetFont(&bold);
    EXPECT_FALSE(label->ParentFont());
    EXPECT_TRUE(SameFont(label->Font(), &bold));
    bold.SetName("Times New Roman");  // a copy, not the caller's object
    EXPECT_EQ(label->Font()->Name(), "Arial");
    // A follower moved onto another parent takes that parent's font.
    form->Font()->SetName("Verdana");
    auto* other = Make<TPanel>(form);
    other->Font()->SetName("Courier New");
    edit->SetParent(other);
    EXPECT_EQ(edit->Font()->Name(), "Courier New");
    EXPECT_TRUE(edit->ParentFont());
}

TEST_F(FontsTest, EachChangeTellsTheControlItsPeerAndItsFollowersOnce) {
    std::vector<UINT> seen;
    TWndMethod old = label->WindowProc;
    label->WindowProc = [&](TMessage& m) {
        if (m.Msg == CM_FONTCHANGED || m.Msg == CM_PARENTFONTCHANGED) seen.push_back(m.Msg);
        old(m);
    };
    backend.FontChanges.clear();
    panel->Font()->SetColor(clNavy);
    EXPECT_EQ(seen, (std::vector<UINT>{CM_PARENTFONTCHANGED, CM_FONTCHANGED}));
    EXPECT_EQ(backend.FontChanges[panel], 1);
    EXPECT_EQ(backend.FontChanges[label], 1);
    EXPECT_EQ(backend.FontChanges[form], 0);
    EXPECT_EQ(backend.FontChanges[edit], 0);
    // The label's own change: once, and it tells nobody else.
    seen.clear();
    backend.FontChanges.clear();
    label->Font()->SetStyle(fsBold);
    EXPECT_EQ(seen, std::vector<UINT>{CM_FONTCHANGED});
    EXPECT_EQ(backend.FontChanges[label], 1);
    EXPECT_EQ(backend.FontChanges[panel], 0);
    // Taking back a parent's font that is the same as its own changes nothing and tells nobody.
    label->Font()->SetStyle(0);
    seen.clear();
    backend.FontChanges.clear();
    label->SetParentFont(true);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(backend.FontChanges[label], 0);
    // A parent change that leaves the follower's font as it was tells it nothing either.
    seen.clear();
    form->Font()->SetColor(clRed);  // the panel has a colour of its own now
    EXPECT_EQ(seen, std::vector<UINT>{});
}

// The dark pixels of a 32-bit bitmap (text drawn black on white).
int DarkPixels(TBitmap& b) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if ((ColorToRGB(b.Canvas()->Pixel(x, y)) & 0xFFFFFF) == 0) ++n;
    return n;
}

TEST_F(FontsTest, AGraphicControlPaintsWithItsOwnFont) {
    auto* box = Make<TCaptionBox>(form);
    box->SetCaption("CEP NO:");
    box->Font()->SetName("Arial");
    box->Font()->SetColor(clBlack);
    auto paint = [&](TFontStyles style) {
        box->Font()->SetStyle(style);
        TBitmap b;
        b.SetSize(120, 30);
        b.Canvas()->Brush()->SetColor(clWhite);
        b.Canvas()->FillRect(Rect(0, 0, 120, 30));
        PaintGraphicControl(box, b.Canvas()->Handle(), -box->Left(), -box->Top());
        return DarkPixels(b);
    };
    const int plain = paint(0);
    EXPECT_EQ(box->PaintedWith, "Arial/0");
    const int bold = paint(fsBold);
    EXPECT_EQ(box->PaintedWith, "Arial/" + std::to_string(fsBold));
    EXPECT_GT(plain, 20);
    EXPECT_GT(bold, plain + plain / 5) << "plain " << plain << ", bold " << bold;
}

TEST_F(FontsTest, TheHeadlessRenderWritesAFollowersTextInItsParentsFontAndColour) {
    testsupport::TempState state;
    auto* box = Make<TCaptionBox>(form);
    box->SetCaption("Tolvar");
    box->SetBounds(10, 10, 120, 30);
    form->SetBounds(0, 0, 160, 60);
    form->Font()->SetName("Verdana");
    form->Font()->SetHeight(-20);
    form->Font()->SetColor(static_cast<TColor>(8404992));  // blue 128, green 64, red 0
    EXPECT_EQ(box->Font()->Height(), -20);
    const std::string path = state.Path("render.png");
    ASSERT_TRUE(headless::RenderFormPng(form, path));
    gdi::PngImage image;
    ASSERT_TRUE(gdi::ReadPng(path, image));
    int coloured = 0, bottom = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if ((image.At(x, y) & 0xFFFFFF) == 0x004080) {
                ++coloured;
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(coloured, 30);
    // A 20-pixel font reaches below the 8-point default's rows.
    EXPECT_GE(bottom, 10 + 16);
    EXPECT_EQ(box->PaintedWith, "Verdana/0");
}

}  // namespace
