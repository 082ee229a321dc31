// The link label rendered into a form's PNG and read back by colour: the shadow's side and offset,
// the disabled look, the vertical layout; its size from the caption; the mouse-over colour; what a
// click opens.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "messenger/LinkLabel.h"
#include "platform/classlib/application.h"
#include "platform/classlib/formrender.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/gdi/pngio.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace {

struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;  // inclusive
    bool Empty() const { return right < 0; }
};

// The bounding box of the pixels of one colour (0xRRGGBB) in a rendered PNG (within `within`).
Box BoxOf(const gdi::PngImage& png, std::uint32_t rgb, RECT within = RECT{0, 0, INT_MAX, INT_MAX}) {
    Box b;
    for (int y = std::max(0, within.top); y < std::min(png.height, within.bottom); ++y)
        for (int x = std::max(0, within.left); x < std::min(png.width, within.right); ++x)
            if ((png.At(x, y) & 0xFFFFFF) == rgb) {
                b.left = std::min(b.left, x);
                b.top = std::min(b.top, y);
                b.right = std::max(b.right, x);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

constexpr std::uint32_t kBlack = 0x000000, kRed = 0xFF0000, kNavy = 0x000080;

class LinkLabel : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<headless::TSession>();
        Application->CreateForm(form_);
        form_->SetBounds(0, 0, 200, 120);
        label_ = new TLinkLabel(form_);
        label_->SetParent(form_);
        label_->SetLeft(20);
        label_->SetTop(10);
        label_->Font()->SetColor(clBlack);
        label_->Font()->SetHeight(-16);
        label_->SetShadowColor(clRed);
        label_->SetCaption("WMW");
        form_->Show();
        shell::ClearRecordedRequests();
    }
    void TearDown() override { session_.reset(); }

    gdi::PngImage Render() {
        const std::string path = state_.Path("render.png");
        EXPECT_TRUE(headless::RenderFormPng(form_, path));
        gdi::PngImage png;
        EXPECT_TRUE(gdi::ReadPng(path, png));
        return png;
    }

    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
    TForm* form_ = nullptr;
    TLinkLabel* label_ = nullptr;
};

}  // namespace

TEST_F(LinkLabel, TheShadowLiesOnItsSideBySize) {
    struct Case {
        TShadowPosition pos;
        int dx, dy;  // where the shadow lies relative to the text
    } cases[] = {{spLeftTop, -3, -3}, {spLeftBottom, -3, 3}, {spRightBottom, 3, 3}, {spRightTop, 3, -3}};
    label_->SetShadowSize(3);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.pos);
        label_->SetShadowPos(k.pos);
        gdi::PngImage png = Render();
        Box text = BoxOf(png, kBlack), shadow = BoxOf(png, kRed);
        ASSERT_FALSE(text.Empty());
        ASSERT_FALSE(shadow.Empty());
        EXPECT_EQ(shadow.left - text.left, k.dx);
        EXPECT_EQ(shadow.top - text.top, k.dy);
        EXPECT_EQ(shadow.right - shadow.left, text.right - text.left);
        // Both lie inside the control, which AutoSize made to fit them.
        EXPECT_GE(std::min(text.left, shadow.left), label_->Left() + 1);
        EXPECT_LE(std::max(text.right, shadow.right), label_->Left() + label_->Width() - 1);
        EXPECT_GE(std::min(text.top, shadow.top), label_->Top());
        EXPECT_LE(std::max(text.bottom, shadow.bottom), label_->Top() + label_->Height() - 1);
    }
    // Size 0: no shadow shows.
    label_->SetShadowSize(0);
    gdi::PngImage png = Render();
    EXPECT_FALSE(BoxOf(png, kBlack).Empty());
    EXPECT_TRUE(BoxOf(png, kRed).Empty());
}

TEST_F(LinkLabel, ADisabledLinkIsEmbossedEvenWithoutAShadow) {
    label_->SetShadowSize(0);
    label_->SetTransparent(false);
    label_->Color = static_cast<int>(clNavy);
    label_->SetEnabled(false);
    gdi::PngImage png = Render();
    EXPECT_FALSE(BoxOf(png, kNavy).Empty());  // the background is painted
    EXPECT_TRUE(BoxOf(png, kBlack).Empty());
    const std::uint32_t gray = static_cast<std::uint32_t>(ColorToRGB(clGrayText));
    const std::uint32_t highlight = static_cast<std::uint32_t>(ColorToRGB(clBtnHighlight));
    auto swap = [](std::uint32_t bgr) { return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF); };
    const RECT inside{label_->Left(), label_->Top(), label_->Left() + label_->Width(), label_->Top() + label_->Height()};
    Box text = BoxOf(png, swap(gray), inside), shadow = BoxOf(png, swap(highlight), inside);
    ASSERT_FALSE(text.Empty());
    ASSERT_FALSE(shadow.Empty());
    // The text covers the shadow's upper left; its lower right edge shows one pixel further out.
    EXPECT_EQ(shadow.right - text.right, 1);
    EXPECT_EQ(shadow.bottom - text.bottom, 1);
}

TEST_F(LinkLabel, LayoutMovesTheCaptionDown) {
    label_->SetAutoSize(false);
    label_->SetShadowSize(0);
    label_->SetBounds(20, 10, 120, 90);
    label_->SetLayout(tlTop);
    Box top = BoxOf(Render(), kBlack);
    label_->SetLayout(tlBottom);
    Box bottom = BoxOf(Render(), kBlack);
    label_->SetLayout(tlCenter);
    Box center = BoxOf(Render(), kBlack);
    ASSERT_FALSE(top.Empty());
    EXPECT_LT(top.top, 10 + 10);
    EXPECT_GT(bottom.bottom, 10 + 90 - 10);
    EXPECT_LE(bottom.bottom, 10 + 90 - 1);
    const int moved = bottom.top - top.top;
    EXPECT_NEAR(center.top - top.top, moved / 2, 1);
}

TEST_F(LinkLabel, AutoSizeFollowsTheCaptionAndKeepsARightEdge) {
    const int w1 = label_->Width(), h1 = label_->Height();
    label_->SetCaption("WMWWMW");
    EXPECT_GT(label_->Width(), w1 + 20);
    EXPECT_EQ(label_->Height(), h1);
    label_->SetShadowSize(5);
    EXPECT_EQ(label_->Height(), h1 + 4);
    label_->SetAlignment(taRightJustify);
    const int right = label_->Left() + label_->Width();
    label_->SetCaption("WMWWMWWMW");
    EXPECT_EQ(label_->Left() + label_->Width(), right);
    EXPECT_LT(label_->Left(), 20);
    label_->SetAutoSize(false);
    label_->SetCaption("W");
    EXPECT_EQ(label_->Left() + label_->Width(), right);
}

TEST_F(LinkLabel, MouseOverTakesTheLinkColour) {
    label_->LinkColor = clRed;
    label_->SetShadowSize(0);
    label_->Perform(CM_MOUSEENTER);
    EXPECT_EQ(label_->Font()->Color(), clRed);
    EXPECT_FALSE(BoxOf(Render(), kRed).Empty());
    label_->Perform(CM_MOUSELEAVE);
    EXPECT_EQ(label_->Font()->Color(), clBlack);
    EXPECT_TRUE(BoxOf(Render(), kRed).Empty());
}

TEST_F(LinkLabel, AClickOpensTheURL) {
    int clicks = 0;
    label_->OnClick = [&](TObject*) { ++clicks; };
    label_->SetCaption("info@marendo.example");
    EXPECT_EQ(label_->Cursor, TLinkLabel::crHandPoint);
    EXPECT_TRUE(label_->Transparent());
    headless::Click(label_);
    label_->URLType = utHttps;
    label_->Click();
    label_->URLTypeAdd = false;
    label_->SetCaption("www.marendo.example/yardim");
    label_->Click();
    auto r = shell::RecordedRequests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].file, "mailto:info@marendo.example");
    EXPECT_EQ(r[0].show, 4);
    EXPECT_EQ(r[0].hwnd, form_->Handle());
    EXPECT_EQ(r[1].file, "https://info@marendo.example");
    EXPECT_EQ(r[2].file, "www.marendo.example/yardim");
    // Nothing to open: OnClick still fires.
    label_->URLEnabled = false;
    label_->Click();
    label_->URLEnabled = true;
    label_->SetCaption("");
    EXPECT_FALSE(label_->LaunchURL());
    label_->Click();
    EXPECT_EQ(shell::RecordedRequests().size(), 3u);
    EXPECT_EQ(clicks, 5);
}

TEST_F(LinkLabel, TheAcceleratorFocusesItsControlAndARemovedControlIsForgotten) {
    auto* edit = new TEdit(form_);
    edit->SetParent(form_);
    auto* other = new TEdit(form_);
    other->SetParent(form_);
    other->SetFocus();
    label_->SetCaption("&Posta");
    EXPECT_EQ(label_->Perform(CM_DIALOGCHAR, 'p'), 0) << "no focus control: not handled";
    label_->SetFocusControl(edit);
    EXPECT_EQ(label_->Perform(CM_DIALOGCHAR, 'x'), 0);
    EXPECT_EQ(form_->ActiveControl(), other);
    EXPECT_EQ(label_->Perform(CM_DIALOGCHAR, 'p'), 1);
    EXPECT_EQ(form_->ActiveControl(), edit);
    label_->SetShowAccelChar(false);
    other->SetFocus();
    EXPECT_EQ(label_->Perform(CM_DIALOGCHAR, 'p'), 0);
    delete edit;
    EXPECT_EQ(label_->FocusControl(), nullptr);
}
