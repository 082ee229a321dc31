// MPEG audio fixtures made at test time by real encoders (sox for the signals, lame for Layer III,
// twolame for Layer II), once per test program, in a private temporary folder; plus reading the
// PCM of WAV files and running the reference command-line decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct AudioFixtures {
    std::string dir;
    std::string cbr;        // 3 s, 44.1 kHz stereo tones, 128 kbit/s CBR Layer III
    std::string vbrTag;     // 2.5 s, 44.1 kHz stereo noise and tone, VBR with the info tag
    std::string vbrNoTag;   // the same without the info tag
    std::string mono22;     // 2 s, 22.05 kHz mono MPEG-2 Layer III
    std::string layer2;     // 2 s, 48 kHz stereo Layer II
    std::string text;       // a text file
    std::string truncated;  // the first 300 bytes of cbr
    std::string cutTagged;  // 6 s with an ID3v2 tag and the info tag, cut to 60 % of its bytes
    std::string tagged;     // that 6 s file whole: ID3v2 tag, info tag, frames, ID3v1 tag
    std::string joined;     // cbr and another 3 s of CBR joined end to end (cat): two info tags
};

// Made on first use; the folder is removed when the program ends.
const AudioFixtures& Audio();

// Runs a shell command; its standard output, or throws with the command on a failure.
std::string Run(const std::string& command);
// Quotes a path for the shell.
std::string Sh(const std::string& s);

struct Pcm {
    int rate = 0, channels = 0;
    std::vector<std::int16_t> samples;  // interleaved
};
// The 16-bit PCM of a WAV file (its "fmt " and "data" chunks); throws when it is not one.
Pcm ReadWav(const std::string& path);

// Decodes with mpg123 into a WAV file (extra options before the input, e.g. "-E eq.txt").
Pcm ReferenceDecode(const std::string& mp3, const std::string& options = "");

// soxi -D of a file, in seconds.
double SoxDuration(const std::string& path);

}  // namespace testsupport
