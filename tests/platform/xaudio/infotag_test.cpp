// The info tag's extent, read from files the encoders wrote: the stream a tag counts ends where a
// whole file ends (behind an ID3v2 tag too), a cut file ends before it, and streams without a
// Layer III info tag have none.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/xaudio/xaudio/infotag.h"
#include "support/audiofixtures.h"
#include "support/tempstate.h"

namespace {

std::optional<std::uint64_t> EndOf(const std::string& bytes) {
    return xaudio::InfoTagStreamEnd([&](std::uint64_t at, std::uint8_t* to, std::size_t n) -> std::size_t {
        if (at >= bytes.size()) return 0;
        const std::size_t got = std::min<std::size_t>(n, bytes.size() - at);
        bytes.copy(reinterpret_cast<char*>(to), got, at);
        return got;
    });
}

TEST(InfoTag, ExtentOfTheStreamsEncodersWrote) {
    const auto& a = testsupport::Audio();
    // MPEG-2 with one channel: the tag after the shortest side information.
    testsupport::TempState state;
    const std::string monoWav = state.Path("mono.wav"), monoVbr = state.Path("mono-vbr.mp3");
    testsupport::Run("sox -R -n -r 22050 -c 1 -b 16 " + testsupport::Sh(monoWav) + " synth 2 sine 500 gain -6");
    testsupport::Run("lame --quiet -m m -V 6 " + testsupport::Sh(monoWav) + " " + testsupport::Sh(monoVbr));
    struct Case {
        std::string file;
        bool tagged;
    };
    const Case cases[] = {
        {a.cbr, true},     {a.vbrTag, true},  {a.vbrNoTag, false}, {a.mono22, false},
        {a.layer2, false}, {a.text, false},   {a.truncated, true},  {monoVbr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = testsupport::ReadAll(c.file);
        const auto end = EndOf(bytes);
        ASSERT_EQ(end.has_value(), c.tagged);
        if (c.file == a.truncated) {
            EXPECT_EQ(*end, testsupport::ReadAll(a.cbr).size());
            EXPECT_TRUE(xaudio::ShorterThanItsInfoTag(c.file));
        } else if (c.tagged) {
            EXPECT_EQ(*end, bytes.size());
            EXPECT_FALSE(xaudio::ShorterThanItsInfoTag(c.file));
        } else {
            EXPECT_TRUE(xaudio::ShorterThanItsInfoTag(c.file));  // only a scan tells its length
        }
    }
    // Behind an ID3v2 tag: the cut file's tag still counts the whole stream.
    const std::string cut = testsupport::ReadAll(a.cutTagged);
    ASSERT_EQ(cut.compare(0, 3, "ID3"), 0);
    const auto end = EndOf(cut);
    ASSERT_TRUE(end.has_value());
    EXPECT_GT(*end, cut.size() * 16 / 10);
    EXPECT_LT(*end, cut.size() * 17 / 10);
    EXPECT_TRUE(xaudio::ShorterThanItsInfoTag(a.cutTagged));
    EXPECT_TRUE(xaudio::ShorterThanItsInfoTag(a.dir + "/missing.mp3"));
}

}  // namespace
