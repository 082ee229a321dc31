#include "platform/classlib/sysutils.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using I = std::int64_t;

TEST(StrToInt, AcceptedForms) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"0", 0}, {"42", 42}, {"+42", 42}, {"-42", -42}, {"007", 7},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"$FF", 255}, {"$ff", 255}, {"0x1A", 26}, {"0X1a", 26}, {"-$10", -16}, {"-0x10", -16},
        {"$7FFFFFFF", INT_MAX}, {"$FFFFFFFF", -1}, {"0x80000000", INT_MIN},
    };
    for (auto c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
        EXPECT_EQ(StrToIntDef(c.text, 99), c.value) << c.text;
    }
}

TEST(StrToInt, RejectedFormsRaiseConvertErrorOrGiveTheDefault) {
    const char* cases[] = {
        "", " ", "-", "+", "$", "0x", "12a", "a12", " 12", "12 ", "1.5", "1e3", "--1", "+-1", "$G", "0x1G",
        "2147483648", "-2147483649", "99999999999999999999", "$100000000", "0x1FFFFFFFF", "12\n",
    };
    for (const char* c : cases) {
        EXPECT_EQ(StrToIntDef(c, -77), -77) << '"' << c << '"';
        int out = 5;
        EXPECT_FALSE(TryStrToInt(c, out)) << c;
        try {
            StrToInt(c);
            ADD_FAILURE() << '"' << c << "\" accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + c + "' is not a valid integer value");
        }
    }
}

TEST(Format, Conversions) {
    struct Case {
        const char* fmt;
        std::initializer_list<FormatArg> args;
        const char* out;
    };
    const Case cases[] = {
        {"%s and %s", {std::string("a"), std::string("b")}, "a and b"},
        {"%d|%5d|%-5d|", {I{7}, I{-7}, I{7}}, "7|   -7|7    |"},
        {"%.3d %.3d %.1d", {I{7}, I{-7}, I{1234}}, "007 -007 1234"},
        {"%u", {I{-1}}, "4294967295"},
        {"%x %X %.4X", {I{255}, I{255}, I{255}}, "ff FF 00FF"},
        {"%X", {I{-1}}, "FFFFFFFF"},
        {"%c%c", {'o', 'k'}, "ok"},
        {"100%%", {}, "100%"},
        {"%.2s|%4s|%-4s|", {std::string("abcdef"), std::string("ab"), std::string("ab")}, "ab|  ab|ab  |"},
        {"%s", {I{12}}, "12"},
        {"no args", {}, "no args"},
        {"List index out of bounds (%d)", {I{-1}}, "List index out of bounds (-1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.out) << c.fmt;
}

TEST(Format, BadFormatsRaiseConvertError) {
    EXPECT_THROW(Format("%d", {}), EConvertError);                  // missing argument
    EXPECT_THROW(Format("%d", {std::string("x")}), EConvertError);  // wrong argument type
    EXPECT_THROW(Format("%q", {I{1}}), EConvertError);              // unknown conversion
    EXPECT_THROW(Format("50%", {I{1}}), EConvertError);             // cut short
}

TEST(Copy, ClipsIndexAndCount) {
    struct Case {
        int index, count;
        const char* out;
    } cases[] = {
        {1, 3, "abc"}, {2, 2, "bc"}, {4, 100, "def"}, {6, 1, "f"}, {7, 1, ""}, {100, 5, ""},
        {0, 2, "ab"}, {-5, 2, "ab"}, {2, 0, ""}, {2, -1, ""}, {1, INT_MAX, "abcdef"},
    };
    for (auto c : cases) EXPECT_EQ(Copy("abcdef", c.index, c.count), c.out) << c.index << "," << c.count;
    EXPECT_EQ(Copy("", 1, 1), "");
    EXPECT_EQ(Pos("cd", "abcdef"), 3);
    EXPECT_EQ(Pos("x", "abcdef"), 0);
    EXPECT_EQ(Pos("", "abcdef"), 0);
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim("\x01x\x1F"), "x");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("\xC7 "), "\xC7") << "code-page letters above 0x7F are kept";
}

TEST(FileNames, PathNameAndExtensionWithBackslashes) {
    struct Case {
        const char* name;
        const char* path;
        const char* file;
        const char* ext;
    } cases[] = {
        {"C:\\Program Files\\App\\skin.ini", "C:\\Program Files\\App\\", "skin.ini", ".ini"},
        {"dir/sub/file.tar.gz", "dir/sub/", "file.tar.gz", ".gz"},
        {"C:file.txt", "C:", "file.txt", ".txt"},
        {"noext", "", "noext", ""},
        {"dir.d\\noext", "dir.d\\", "noext", ""},
        {"trailing\\", "trailing\\", "", ""},
        {"", "", "", ""},
    };
    for (auto c : cases) {
        EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
        EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
        EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    }
    EXPECT_EQ(ChangeFileExt("a\\b.txt", ".bak"), "a\\b.bak");
    EXPECT_EQ(ChangeFileExt("a.d\\b", ".bak"), "a.d\\b.bak");
}

TEST(Strings, CaseAndComparisonHelpers) {
    EXPECT_EQ(UpperCase("abc\xE7"), "ABC\xE7") << "ASCII only";
    EXPECT_EQ(LowerCase("ABC\xC7"), "abc\xC7");
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_NE(CompareText("\xE7", "\xC7"), 0) << "ASCII only";
    EXPECT_LT(AnsiCompareStr("B", "a"), 0) << "byte order";
    EXPECT_EQ(IntToStr(-123), "-123");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
}

}  // namespace
