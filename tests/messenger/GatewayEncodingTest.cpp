// The gateway bodies' value encoders and the window holds.
#include <gtest/gtest.h>

#include "messenger/GatewayForm.h"
#include "messenger/WindowHolds.h"
#include "platform/classlib/forms.h"

using messenger::EncodeFormValue;
using messenger::EncodeSuggestionValue;

TEST(GatewayEncoding, TableOfValues) {
    struct Case { std::string in, form, suggestion; };
    const Case cases[] = {
        {"", "", ""},
        {"\xC7i\xF0 \xF6rdek 'x'", "Cig+%F6rdek+%27x%27", "Cig+%F6rdek+x"},
        {"1.2.3.4", "1%2E2%2E3%2E4", "1%2E2%2E3%2E4"},
        {"a\r\nb", "a%0D%0Ab", "a%0D%0Ab"},
        {"\xC7\xD0\xDC\xDD\xDE\xE7\xF0\xFC\xFD\xFE", "CGUIScguis", "CGUIScguis"},
        {"\xD6\xF6", "%D6%F6", "%D6%F6"},
        {"AZaz09", "AZaz09", "AZaz09"},
        {std::string("\0\xFF", 2), "%00%FF", "%00%FF"},
        {"+&=%", "%2B%26%3D%25", "%2B%26%3D%25"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeFormValue(c.in), c.form) << c.in;
        EXPECT_EQ(EncodeSuggestionValue(c.in), c.suggestion) << c.in;
    }
}

TEST(WindowHolds, TheLastHoldEnablesAgain) {
    TForm form(nullptr);
    EXPECT_TRUE(form.Enabled());
    messenger::HoldDisabled(&form);
    {
        messenger::TWindowHold second(&form);
        EXPECT_EQ(messenger::HoldCount(&form), 2);
    }
    EXPECT_FALSE(form.Enabled()) << "one hold is still there";
    messenger::ReleaseHold(&form);
    EXPECT_TRUE(form.Enabled());
    messenger::ReleaseHold(&form);  // no hold: nothing happens
    EXPECT_TRUE(form.Enabled());
    EXPECT_EQ(messenger::HoldCount(&form), 0);
}
