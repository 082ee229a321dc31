// A headless session with one form holding a TSkinForm, and the test skin on disk.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/gdi/wingdi.h"
#include "skin/SkinForm.h"
#include "skin/skingen.h"
#include "support/tempstate.h"

namespace skintest {

class SkinFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Application->CreateForm(form);
        form->SetName("SkinHost");
        skin = new TSkinForm(form);
        skin->SetParent(form);
        form->Show();
    }

    // Writes a skin into its own folder and returns the description's program path.
    std::string Write(const std::string& name, const SkinSpec& spec,
                      const std::vector<SkinSpec::Box>& thumbs = {{0, 0, 10, 8}, {0, 0, 8, 10}}) {
        return WriteSkin("c:\\skins\\" + name + "\\", spec, thumbs);
    }
    void LoadStandard() { skin->LoadSkin(Write("standard", StandardSkin())); }

    // What the control's picture shows at (x, y).
    Rgb Pixel(int x, int y) {
        COLORREF c = gdi::BitmapPixel(skin->Picture()->Bitmap()->Handle(), x, y);
        return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
    }
    Decoded At(int x, int y) { return Decode(Pixel(x, y)); }
    // Face and area shown at (x, y); area -1 for the background.
    std::pair<int, int> FaceAt(int x, int y) {
        Decoded d = At(x, y);
        return {d.face, d.kind == Decoded::Area ? d.index : -1};
    }

    testsupport::TempState state;
    headless::TSession session;
    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
};

}  // namespace skintest
