// File names between the programs and the file system: every byte of the code page's high half
// names its own file, the character iconv's CP1254 table gives it, and the file dialog's way back
// gives the same path again; a name the code page cannot hold gets the box that says which part of
// it holds the characters.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/cp1254.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/filecase.h"
#include "platform/classlib/headless.h"
#include "platform/win/statedir.h"
#include "support/audiofixtures.h"
#include "support/tempstate.h"

namespace {

// iconv's reading of one byte as CP1254 (UTF-8); false when its table leaves the byte undefined.
bool IconvReads(unsigned char byte, std::string& utf8) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "\\%03o", byte);
    try {
        utf8 = testsupport::Run(std::string("printf '") + octal + "' | iconv -f CP1254 -t UTF-8");
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

TEST(ProgramFileNames, EveryByteOfTheHighHalfNamesItsOwnFileAsIconvReadsIt) {
    headless::TSession session;
    std::set<std::string> names;
    for (int b = 0x80; b <= 0xFF; ++b) {
        SCOPED_TRACE(b);
        const std::string byte(1, static_cast<char>(b));
        const std::string path = "/srv/M" + "ü"_w + "zik/a" + byte + "b.mp3";
        const std::string local = win::LocalPath(path);
        std::string peer;
        if (IconvReads(static_cast<unsigned char>(b), peer)) {
            EXPECT_EQ(local, "/srv/Müzik/a" + peer + "b.mp3");
            EXPECT_EQ(cp1254::ToUtf8(byte), peer) << "the texts' conversion is the same table";
        } else {
            // A byte the code page leaves undefined names the C1 control character of its number.
            EXPECT_EQ(cp1254::ToUnicode(static_cast<unsigned char>(b)), char32_t{0xFFFD});
            EXPECT_EQ(local, "/srv/Müzik/a\xC2" + byte + "b.mp3");
        }
        // The file dialog's way back gives the program the same path, without a box.
        std::string back;
        EXPECT_TRUE(ProgramFileName(local, back));
        EXPECT_EQ(back, path);
        names.insert(local);
    }
    EXPECT_EQ(names.size(), 128u) << "two program paths name one file";
    EXPECT_TRUE(headless::Headless().Boxes().empty());
}

TEST(ProgramFileNames, ANameTheCodePageCannotHoldGetsABoxNamingThePartThatHoldsTheCharacters) {
    struct Case {
        const char* name;    // UTF-8 as the file system (or the person typing it) has it
        bool typed;
        const char* fault;   // the part named, as shown; nullptr: the name is taken
        bool folder;
        const char* shown;   // the whole name as shown (nullptr: the name itself)
    } cases[] = {
        {"/home/ali/Музыка/song.mp3", false, "Музыка", true, nullptr},
        {"/home/ali/Müzik/Песня.mp3", false, "Песня.mp3", false, nullptr},
        {"/home/ali/Музыка/日本の歌.mp3", false, "Музыка", true, nullptr},  // the outermost part
        {"/home/ali/Müzik/S\xCC\xA7" "arkı.mp3", false, "S\xCC\xA7" "arkı.mp3", false, nullptr},
        {"/home/ali/Müzik/a\\b.mp3", false, "a\\b.mp3", false, nullptr},  // the programs divide at '\'
        {"/home/ali/Müzik/bozuk \xFE.mp3", false, "bozuk \xEF\xBF\xBD.mp3", false,
         "/home/ali/Müzik/bozuk \xEF\xBF\xBD.mp3"},
        {"/home/ali/\xC0\xAF.mp3", false, "\xEF\xBF\xBD\xEF\xBF\xBD.mp3", false, "/home/ali/\xEF\xBF\xBD\xEF\xBF\xBD.mp3"},
        {"c:\\Müzik\\Песня.mp3", true, "Песня.mp3", false, nullptr},
        {"c:\\Музыка\\song.mp3", true, "Музыка", true, nullptr},
        {"c:\\Müzik\\Şarkı – 1.mp3", true, nullptr, false, nullptr},
        {"/home/ali/Müzik/Don’t Stop….mp3", false, nullptr, false, nullptr},
    };
    headless::TSession session;
    Application->Title = "Dorlin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        headless::Headless().ClearRecords();
        std::string path = "unchanged";
        const bool taken = ProgramFileName(c.name, path, c.typed);
        const auto& boxes = headless::Headless().Boxes();
        if (!c.fault) {
            EXPECT_TRUE(taken);
            EXPECT_EQ(path, cp1254::FromUtf8(c.name));
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        EXPECT_FALSE(taken);
        EXPECT_EQ(path, "unchanged");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, "Dorlin");
        EXPECT_EQ(boxes[0].Flags, MB_OK | MB_ICONWARNING);
        EXPECT_TRUE(boxes[0].TextUtf8);
        const std::string whole = c.shown ? c.shown : c.name;
        EXPECT_EQ(boxes[0].Text,
                  c.folder ? "\"" + std::string(c.fault) + "\" klasörünün adında bu programın kullanamadığı karakterler var:\n" +
                                 whole + "\nKlasörün adını değiştirin ya da başka bir klasör seçin."
                           : "\"" + std::string(c.fault) + "\" dosyasının adında bu programın kullanamadığı karakterler var:\n" +
                                 whole + "\nDosyanın adını değiştirin ya da başka bir dosya seçin.");
    }
}

// A companion file found ignoring letter case comes back as the program's own name of it, the
// code page's letters and punctuation included, and never as its "_" twin.
TEST(ProgramFileNames, AFileFoundIgnoringCaseIsNamedAsTheProgramNamesIt) {
    testsupport::TempState state;
    const std::string folder = state.Path("Müzik");
    ASSERT_TRUE(win::MakeDirs(folder));
    testsupport::WriteAll(folder + "/Şarkı _ 1.PAL", "twin");
    testsupport::WriteAll(folder + "/Şarkı – 1.PAL", "x");
    const std::string programFolder = cp1254::FromUtf8(folder) + "\\";
    const std::string found = FindFileIgnoringCase(programFolder + "Şarkı – 1.pal"_w);
    EXPECT_EQ(found, programFolder + "Şarkı – 1.PAL"_w);
    EXPECT_EQ(win::LocalPath(found), folder + "/Şarkı – 1.PAL");
}

}  // namespace
