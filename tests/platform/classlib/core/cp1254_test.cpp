#include "platform/classlib/cp1254.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/classlib/sysutils.h"

namespace {

// The bytes the code page leaves unassigned.
const std::set<int> kUnassigned = {0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E};

TEST(Cp1254, EveryAssignedByteRoundTripsThroughUtf8) {
    int assigned = 0;
    for (int b = 0; b < 256; ++b) {
        char32_t cp = cp1254::ToUnicode(static_cast<unsigned char>(b));
        if (kUnassigned.count(b)) {
            EXPECT_EQ(cp, char32_t{0xFFFD}) << std::hex << b;
            continue;
        }
        ++assigned;
        EXPECT_NE(cp, char32_t{0xFFFD}) << std::hex << b;
        EXPECT_EQ(cp1254::FromUnicode(cp), b) << std::hex << b;
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(cp1254::FromUtf8(cp1254::ToUtf8(one)), one) << std::hex << b;
    }
    EXPECT_EQ(assigned, 249);

    std::string all;
    for (int b = 0; b < 256; ++b)
        if (!kUnassigned.count(b)) all += static_cast<char>(b);
    EXPECT_EQ(cp1254::FromUtf8(cp1254::ToUtf8(all)), all);
}

TEST(Cp1254, TurkishLettersMapToTheirCodePoints) {
    struct Case {
        unsigned char byte;
        char32_t cp;
    } cases[] = {
        {0xD0, 0x011E}, {0xF0, 0x011F},  // Ğ ğ
        {0xDD, 0x0130}, {0xFD, 0x0131},  // İ ı
        {0xDE, 0x015E}, {0xFE, 0x015F},  // Ş ş
        {0xC7, 0x00C7}, {0xE7, 0x00E7},  // Ç ç
        {0xD6, 0x00D6}, {0xF6, 0x00F6},  // Ö ö
        {0xDC, 0x00DC}, {0xFC, 0x00FC},  // Ü ü
        {0x80, 0x20AC},                  // euro sign
    };
    for (auto c : cases) EXPECT_EQ(cp1254::ToUnicode(c.byte), c.cp) << std::hex << int(c.byte);
    // Latin-1 letters that the code page replaced are not in it.
    for (char32_t cp : {char32_t{0xD0}, char32_t{0xDD}, char32_t{0xDE}, char32_t{0xF0}, char32_t{0xFD},
                        char32_t{0xFE}, char32_t{0x017D}, char32_t{0x4E2D}})
        EXPECT_EQ(cp1254::FromUnicode(cp), -1) << std::hex << static_cast<unsigned>(cp);
}

TEST(Cp1254, LiteralsGiveCodePageBytes) {
    EXPECT_EQ("Çıkış"_w, std::string("\xC7\xFDk\xFD\xFE"));
    EXPECT_EQ("ĞÜŞİÖÇ ğüşiöç"_w, std::string("\xD0\xDC\xDE\xDD\xD6\xC7 \xF0\xFC\xFEi\xF6\xE7"));
    EXPECT_EQ("plain"_w, "plain");
    EXPECT_EQ(""_w, "");
    EXPECT_EQ("€"_w, "\x80");
    EXPECT_EQ(cp1254::ToUtf8("Çıkış"_w), "Çıkış");
}

TEST(Cp1254, Utf8InputThatDoesNotFit) {
    EXPECT_EQ(cp1254::FromUtf8("a\xE4\xB8\xAD" "b"), "a?b");      // a character outside the page
    EXPECT_EQ(cp1254::FromUtf8("\xF0\x9F\x98\x80"), "?");         // four-byte sequence
    EXPECT_EQ(cp1254::FromUtf8("x\xC7"), "x\xC7");                // truncated: taken as Latin-1 Ç
    EXPECT_EQ(cp1254::FromUtf8("\xFD"), "?");                     // Latin-1 ý is not in the page
    EXPECT_EQ(cp1254::FromUtf8("\xC3" "A"), "\xC3" "A");          // bad continuation byte
}

TEST(Cp1254, CaseFoldingPairs) {
    struct Case {
        unsigned char lower, upper;
    } pairs[] = {
        {'a', 'A'}, {'z', 'Z'}, {0xE7, 0xC7} /*ç Ç*/, {0xF0, 0xD0} /*ğ Ğ*/, {0xFE, 0xDE} /*ş Ş*/,
        {0xF6, 0xD6} /*ö Ö*/, {0xFC, 0xDC} /*ü Ü*/, {0x9A, 0x8A} /*š Š*/, {0x9C, 0x8C} /*œ Œ*/,
        {0xFF, 0x9F} /*ÿ Ÿ*/,
    };
    for (auto p : pairs) {
        EXPECT_EQ(cp1254::FoldUpper(p.lower), p.upper) << std::hex << int(p.lower);
        EXPECT_EQ(cp1254::FoldUpper(p.upper), p.upper) << std::hex << int(p.upper);
    }
    // All four Turkish i's compare equal ignoring case.
    for (int c : {int{'i'}, int{'I'}, 0xFD, 0xDD})
        EXPECT_EQ(cp1254::FoldUpper(static_cast<unsigned char>(c)), 'I') << std::hex << c;
    // Non-letters stay.
    for (int c : {int{'1'}, int{'@'}, 0xF7, 0xD7, 0xDF})
        EXPECT_EQ(cp1254::FoldUpper(static_cast<unsigned char>(c)), c) << std::hex << c;

    EXPECT_TRUE(SameText("ÇIĞLIK"_w, "çığlık"_w));
    EXPECT_TRUE(SameText("İSTANBUL"_w, "istanbul"));
    EXPECT_TRUE(SameText("Şeker"_w, "ŞEKER"_w));
    EXPECT_FALSE(SameText("Şeker"_w, "Seker"));
    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareText("abcd", "ABC"), 0);
}

}  // namespace
