// Making the audio fixtures and reading WAV files.
#include "support/audiofixtures.h"

#include <stdlib.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "support/tempstate.h"

namespace testsupport {

std::string Sh(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Run(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
    if (!p) throw std::runtime_error("cannot run " + command);
    std::string out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p.get())) > 0) out.append(buf.data(), n);
    const int rc = pclose(p.release());
    if (rc != 0) throw std::runtime_error("failed (" + std::to_string(rc) + "): " + command);
    return out;
}

namespace {

std::string gDir;

void RemoveDir() {
    if (!gDir.empty()) RemoveTree(gDir);
}

AudioFixtures Make() {
    char tmpl[] = "/tmp/audiofx-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
    gDir = tmpl;
    std::atexit(RemoveDir);
    AudioFixtures f;
    f.dir = gDir;
    auto p = [&](const char* n) { return f.dir + "/" + n; };
    // sox -R: repeatable noise.
    Run("sox -R -n -r 44100 -c 2 -b 16 " + Sh(p("tones.wav")) + " synth 3 sine 440 sine 1000 gain -6");
    Run("sox -R -n -r 44100 -c 2 -b 16 " + Sh(p("noise.wav")) + " synth 2.5 pinknoise sine 300 gain -8");
    Run("sox -R -n -r 22050 -c 1 -b 16 " + Sh(p("mono.wav")) + " synth 2 sine 500 gain -6");
    Run("sox -R -n -r 48000 -c 2 -b 16 " + Sh(p("l2.wav")) + " synth 2 sine 700 sine 350 gain -6");
    f.cbr = p("cbr.mp3");
    f.vbrTag = p("vbr-tag.mp3");
    f.vbrNoTag = p("vbr-notag.mp3");
    f.mono22 = p("mono22.mp3");
    f.layer2 = p("layer2.mp2");
    Run("lame --quiet -b 128 --cbr " + Sh(p("tones.wav")) + " " + Sh(f.cbr));
    Run("lame --quiet -V 4 " + Sh(p("noise.wav")) + " " + Sh(f.vbrTag));
    Run("lame --quiet -V 4 -t " + Sh(p("noise.wav")) + " " + Sh(f.vbrNoTag));
    Run("lame --quiet -m m -b 48 " + Sh(p("mono.wav")) + " " + Sh(f.mono22));
    Run("twolame --quiet -b 192 " + Sh(p("l2.wav")) + " " + Sh(f.layer2));
    f.text = p("notes.txt");
    WriteAll(f.text, "These are the notes of a song, not a song.\n");
    f.truncated = p("truncated.mp3");
    WriteAll(f.truncated, ReadAll(f.cbr).substr(0, 300));
    // 6 s behind an ID3v2 tag, VBR with the info tag, cut to 60 % of its bytes: the tag still says 6 s.
    Run("sox -R -n -r 44100 -c 2 -b 16 " + Sh(p("six.wav")) + " synth 6 pinknoise sine 440 gain -8");
    const std::string whole = p("six.mp3");
    Run("lame --quiet -V 4 --add-id3v2 --tt Cut " + Sh(p("six.wav")) + " " + Sh(whole));
    const std::string bytes = ReadAll(whole);
    f.cutTagged = p("cut-tagged.mp3");
    WriteAll(f.cutTagged, bytes.substr(0, bytes.size() * 6 / 10));
    f.tagged = whole;
    // Two tracks joined as `cat` joins them: the first one's tag counts only the first.
    Run("sox -R -n -r 44100 -c 2 -b 16 " + Sh(p("tones2.wav")) + " synth 3 sine 660 sine 1500 gain -6");
    Run("lame --quiet -b 128 --cbr " + Sh(p("tones2.wav")) + " " + Sh(p("cbr2.mp3")));
    f.joined = p("joined.mp3");
    WriteAll(f.joined, ReadAll(f.cbr) + ReadAll(p("cbr2.mp3")));
    return f;
}

std::uint32_t U32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8) |
                                      (static_cast<unsigned char>(s[at + 2]) << 16) |
                                      (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24));
}

}  // namespace

const AudioFixtures& Audio() {
    static const AudioFixtures f = Make();
    return f;
}

Pcm ReadWav(const std::string& path) {
    const std::string s = ReadAll(path);
    if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0)
        throw std::runtime_error(path + " is not a WAV file");
    Pcm pcm;
    bool haveFmt = false;
    for (std::size_t at = 12; at + 8 <= s.size();) {
        const std::string id = s.substr(at, 4);
        std::size_t size = U32(s, at + 4);
        const std::size_t body = at + 8;
        size = std::min(size, s.size() - body);
        if (id == "fmt " && size >= 16) {
            pcm.channels = static_cast<unsigned char>(s[body + 2]) | (static_cast<unsigned char>(s[body + 3]) << 8);
            pcm.rate = static_cast<int>(U32(s, body + 4));
            haveFmt = true;
        } else if (id == "data") {
            pcm.samples.resize(size / 2);
            std::memcpy(pcm.samples.data(), s.data() + body, pcm.samples.size() * 2);
            if (!haveFmt) throw std::runtime_error(path + ": data before fmt");
            return pcm;
        }
        at = body + size + (size & 1);
    }
    throw std::runtime_error(path + " has no data chunk");
}

Pcm ReferenceDecode(const std::string& mp3, const std::string& options) {
    const std::string out = mp3 + ".ref.wav";
    Run("mpg123 -q " + options + " -w " + Sh(out) + " " + Sh(mp3));
    Pcm pcm = ReadWav(out);
    std::remove(out.c_str());
    return pcm;
}

double SoxDuration(const std::string& path) { return std::stod(Run("soxi -D " + Sh(path))); }

}  // namespace testsupport
