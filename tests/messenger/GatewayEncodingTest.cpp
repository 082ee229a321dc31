// The gateway bodies' value encoders and the window holds.
#include <gtest/gtest.h>

#include "messenger/GatewayForm.h"
#include "messenger/WindowHolds.h"
#include "platform/classlib/forms.h"

using messenger::EncodeExactValue;
using messenger::EncodeFormValue;
using messenger::EncodeSuggestionValue;

TEST(GatewayEncoding, TableOfValues) {
    struct Case { std::string in, form, suggestion, exact; };
    const Case cases[] = {
        {"", "", "", ""},
        {"\xC7i\xF0 \xF6rdek 'x'", "Cig+%F6rdek+%27x%27", "Cig+%F6rdek+x", "%C7i%F0+%F6rdek+%27x%27"},
        {"1.2.3.4", "1%2E2%2E3%2E4", "1%2E2%2E3%2E4", "1%2E2%2E3%2E4"},
        {"a\r\nb", "a%0D%0Ab", "a%0D%0Ab", "a%0D%0Ab"},
        {"\xC7\xD0\xDC\xDD\xDE\xE7\xF0\xFC\xFD\xFE", "CGUIScguis", "CGUIScguis",
         "%C7%D0%DC%DD%DE%E7%F0%FC%FD%FE"},
        {"\xD6\xF6", "%D6%F6", "%D6%F6", "%D6%F6"},
        {"AZaz09", "AZaz09", "AZaz09", "AZaz09"},
        {std::string("\0\xFF", 2), "%00%FF", "%00%FF", "%00%FF"},
        {"+&=%", "%2B%26%3D%25", "%2B%26%3D%25", "%2B%26%3D%25"},
        {"a&b c\xFE=%+", "a%26b+cs%3D%25%2B", "a%26b+cs%3D%25%2B", "a%26b+c%FE%3D%25%2B"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeFormValue(c.in), c.form) << c.in;
        EXPECT_EQ(EncodeSuggestionValue(c.in), c.suggestion) << c.in;
        EXPECT_EQ(EncodeExactValue(c.in), c.exact) << c.in;
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
