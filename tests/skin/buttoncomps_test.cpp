// The owner-drawn buttons as a person sees and uses them: their looks rendered, the mouse through
// the form's window, the events.
#include <gtest/gtest.h>

#include "platform/classlib/application.h"
#include "platform/classlib/formrender.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/gdi/pngio.h"
#include "skin/ButtonComps.h"
#include "support/tempstate.h"

namespace {

constexpr std::uint32_t kFace = 0xFF3469A5;   // Color 10840372
constexpr std::uint32_t kRaise = 0xFF8AA2D7;  // RaiseColor 14131850
constexpr std::uint32_t kBlack = 0xFF000000;

class Buttons : public ::testing::Test {
protected:
    void SetUp() override {
        Application->CreateForm(form);
        form->SetName("Host");
        form->SetBounds(0, 0, 300, 100);
        aol = new TAOLButton(form);
        aol->SetName("Tamam");
        aol->SetParent(form);
        aol->SetBounds(10, 10, 89, 23);
        square = new TSquareButton(form);
        square->SetName("Web");
        square->SetParent(form);
        square->SetBounds(150, 10, 113, 17);
        form->Show();
    }
    gdi::PngImage Render() {
        gdi::PngImage img;
        const std::string file = state.Path("buttons.png");
        EXPECT_TRUE(headless::RenderFormPng(form, file));
        EXPECT_TRUE(gdi::ReadPng(file, img));
        return img;
    }
    // The AOL button's pixel at (x, y) of the button.
    std::uint32_t A(const gdi::PngImage& img, int x, int y) { return img.At(10 + x, 10 + y); }
    std::uint32_t S(const gdi::PngImage& img, int x, int y) { return img.At(150 + x, 10 + y); }

    testsupport::TempState state;
    headless::TSession session;
    TForm* form = nullptr;
    TAOLButton* aol = nullptr;
    TSquareButton* square = nullptr;
};

TEST_F(Buttons, DefaultsAndCaptionFromTheName) {
    EXPECT_EQ(aol->Caption(), "Tamam");
    EXPECT_EQ(aol->Width(), 89);
    EXPECT_EQ(aol->Height(), 23);
    EXPECT_EQ(aol->Color(), static_cast<TColor>(10840372));
    EXPECT_EQ(aol->RaiseColor(), static_cast<TColor>(14131850));
    EXPECT_TRUE(aol->ShowHint());
    EXPECT_EQ(square->Caption(), "Web");
    EXPECT_EQ(square->BorderWidth(), 2);
    EXPECT_EQ(square->Alignment(), taLeftJustify);
}

TEST_F(Buttons, AolLooks) {
    auto img = Render();
    EXPECT_EQ(A(img, 0, 0), kBlack);       // frame
    EXPECT_EQ(A(img, 1, 10), kRaise);      // light strip, left
    EXPECT_EQ(A(img, 40, 2), kRaise);      // light strip, top
    EXPECT_EQ(A(img, 87, 10), kBlack);     // dark strip, right
    EXPECT_EQ(A(img, 40, 21), kBlack);     // dark strip, bottom
    EXPECT_EQ(A(img, 5, 5), kFace);

    int downs = 0, ups = 0, clicks = 0;
    aol->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    aol->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
    aol->OnClick = [&](TObject*) { ++clicks; };
    headless::MouseMove(form, 50, 20);
    headless::MouseDown(form, 50, 20);
    img = Render();
    EXPECT_EQ(aol->Look(), TButtonLook::Pressed);
    EXPECT_EQ(A(img, 40, 1), kBlack);      // the black line at the top
    EXPECT_EQ(A(img, 1, 10), kFace);       // no light strips
    // Released outside: it stays pressed until the pointer leaves.
    headless::MouseUp(form, 200, 80);
    EXPECT_EQ(aol->Look(), TButtonLook::Pressed);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(clicks, 0);
    headless::MouseMove(form, 280, 90);
    EXPECT_EQ(aol->Look(), TButtonLook::Normal);
    // A click ends in the normal look.
    headless::Click(aol);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(aol->Look(), TButtonLook::Normal);
}

TEST_F(Buttons, DisabledButtonsNeitherChangeNorFire) {
    int events = 0;
    aol->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++events; };
    aol->OnClick = [&](TObject*) { ++events; };
    square->OnClick = [&](TObject*) { ++events; };
    aol->SetButtonEnabled(false);
    square->SetButtonEnabled(false);
    const auto before = Render();
    headless::MouseDown(form, 50, 20);
    EXPECT_EQ(A(Render(), 40, 1), A(before, 40, 1));
    headless::MouseUp(form, 50, 20);
    headless::MouseMove(form, 200, 15);
    EXPECT_EQ(square->Look(), TButtonLook::Normal);
    headless::Click(square);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(A(Render(), 5, 5), kFace);  // not greyed
}

TEST_F(Buttons, SquareAlignmentAndHover) {
    struct Case {
        TAlignment a;
        int x;
    } cases[] = {{taLeftJustify, 6}, {taRightJustify, 113 - 40 - 7}, {taCenter, 113 / 2 - 20}};
    for (auto c : cases) {
        square->SetAlignment(c.a);
        EXPECT_EQ(square->CaptionX(40), c.x);
    }
    EXPECT_EQ(square->CaptionX(40), 36);
    square->SetAlignment(taRightJustify);
    EXPECT_EQ(square->CaptionX(40), 66);

    auto img = Render();
    EXPECT_EQ(S(img, 0, 5), kBlack);   // left border strip
    EXPECT_EQ(S(img, 50, 16), kBlack); // bottom border strip
    // A new hover border shows at the next hover, not at once.
    square->ColorOverBorder = clRed;
    EXPECT_EQ(S(Render(), 0, 5), kBlack);
    headless::MouseMove(form, 200, 15);
    EXPECT_EQ(square->Look(), TButtonLook::Hover);
    EXPECT_EQ(S(Render(), 0, 5), 0xFFFF0000u);
    // Pressed: the down border colour; released over it: the hover look again.
    headless::MouseDown(form, 200, 15);
    EXPECT_EQ(S(Render(), 0, 5), 0xFFFFFFFFu);
    headless::MouseUp(form, 200, 15);
    EXPECT_EQ(square->Look(), TButtonLook::Hover);
    headless::MouseMove(form, 20, 80);
    EXPECT_EQ(square->Look(), TButtonLook::Normal);
}

}  // namespace
