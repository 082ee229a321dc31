// The gateway bodies field by field, and the program's generator.
#include <gtest/gtest.h>

#include "messenger/GatewayForm.h"
#include "platform/codepage/cp1254.h"

using namespace messenger;

TEST(GatewayBodies, FieldsInOrderEveryValueEncoded) {
    struct Case {
        std::string body, want;
    } cases[] = {
        {NormalBody("905320000000", "abc", "", "1.2.3.4"), "telno=905320000000&mesaj=abc%2D&ip=1%2E2%2E3%2E4"},
        {Normal2Body(1, "905320000000", "a b", "Tolvar", "0.8.219.51"),
         "smsid=1&telno=905320000000&mesaj=a+b%2DTolvar&ip=0%2E8%2E219%2E51"},
        {Normal2Body(2, "905320000000", "Şu"_w, "S", "1.1.1.1"), "smsid=2&telno=905320000000&mesaj=Su%2DS&ip=1%2E1%2E1%2E1"},
        {SuperOnlineBody("1.2.3.4", "535", "1234567", "p&w d", "905320000000", "merha", "Tolvar"),
         "IP=1.2.3.4&gsmss=535&gsmnmr=1234567&password=p%26w+d&gsmssto=532&gsmnmrto=0000000&mesaj=merha&kalan=133"},
        // The login's values and the numbers keep every byte: a Turkish letter is not folded.
        {SuperOnlineBody("1.2.3.4", "53\xFE", "12\xFD", "a&b c\xFE=%+", "90\xC7" "320000000", "\xFEu", ""),
         "IP=1.2.3.4&gsmss=53%FE&gsmnmr=12%FD&password=a%26b+c%FE%3D%25%2B&gsmssto=%C732&gsmnmrto=0000000"
         "&mesaj=su&kalan=142"},
        {NormalBody("90532\xFE", "\xFEu", "", "1.2.3.4"), "telno=90532%FE&mesaj=su%2D&ip=1%2E2%2E3%2E4"},
        // A number too short for a prefix and subscriber digits gives what is there.
        {SuperOnlineBody("9.9.9.9", "532", "1", "x", "9053", "t", ""),
         "IP=9.9.9.9&gsmss=532&gsmnmr=1&password=x&gsmssto=53&gsmnmrto=&mesaj=t&kalan=143"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.body, c.want);
    EXPECT_NE(SuperOnlineBody("1.2.3.4", "532", "1", "x", "905320000000", std::string(150, 'a'), "Tolvar")
                  .find("&kalan=-12"),
              std::string::npos)
        << "the remaining count may be negative";
}

TEST(GatewayBodies, TheGeneratorDrawsTheSameSequenceEveryRun) {
    RandSeed = 0;
    EXPECT_EQ(DrawDottedAddress(255, 0), "0.8.219.51");
    EXPECT_EQ(DrawDottedAddress(255, 0), "69.171.81.41");
    EXPECT_EQ(DrawDottedAddress(254, 1), "95.109.21.121");
    RandSeed = 0;
    EXPECT_EQ(Random(255), 0u);
    EXPECT_EQ(RandSeed, 1u);
    EXPECT_EQ(Random(255), 8u);
    EXPECT_EQ(RandSeed, 134775814u);
}

TEST(GatewayBodies, TheSuccessWordMayBeFollowedOnlyByLineEndsAndBlanks) {
    struct Case {
        std::string body;
        bool success;
    } cases[] = {
        {"YOLLANDI", true},        {"YOLLANDI\r\n", true},      {"YOLLANDI \t\r\n\n", true},
        {" YOLLANDI", false},      {"\r\nYOLLANDI", false},     {"yollandi", false},
        {"YOLLAND", false},        {"YOLLANDIX", false},        {"xYOLLANDI", false},
        {"", false},               {"\r\n", false},             {std::string("YOLLANDI\0", 9), false},
        {"YOLLANDI\r\nx", false},  {std::string(9000, 'x') + "YOLLANDI", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSuccessAnswer(c.body), c.success) << c.body;
}
