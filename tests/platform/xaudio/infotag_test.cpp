// The info tag's extent, read from files the encoders wrote: the stream a tag counts ends where a
// whole file's audio ends (behind an ID3v2 tag and before an ID3v1 tag too), a cut file ends
// before it and files joined end to end go on after it; streams without a Layer III info tag have
// none.
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
    const std::size_t cbrBytes = testsupport::ReadAll(a.cbr).size();
    const std::size_t taggedBytes = testsupport::ReadAll(a.tagged).size();
    struct Case {
        std::string file;
        std::optional<std::uint64_t> end;  // where the stream the tag counts ends
        bool counts;                       // the tag counts the file's audio exactly
    };
    const Case cases[] = {
        {a.cbr, cbrBytes, true},
        {a.vbrTag, testsupport::ReadAll(a.vbrTag).size(), true},
        {monoVbr, testsupport::ReadAll(monoVbr).size(), true},
        // An ID3v2 tag before the stream, an ID3v1 tag after it.
        {a.tagged, taggedBytes - 128, true},
        {a.truncated, cbrBytes, false},
        {a.cutTagged, taggedBytes - 128, false},
        // Joined end to end: the first tag counts the first file alone.
        {a.joined, cbrBytes, false},
        // No Layer III info tag: only a scan tells the length.
        {a.vbrNoTag, std::nullopt, false},
        {a.mono22, std::nullopt, false},
        {a.layer2, std::nullopt, false},
        {a.text, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(EndOf(testsupport::ReadAll(c.file)), c.end);
        EXPECT_EQ(xaudio::InfoTagCountsTheFile(c.file), c.counts);
    }
    EXPECT_EQ(testsupport::ReadAll(a.tagged).compare(0, 3, "ID3"), 0);
    EXPECT_FALSE(xaudio::InfoTagCountsTheFile(a.dir + "/missing.mp3"));
}

}  // namespace
