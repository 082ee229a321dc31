// Outside tools and seeded pictures for the GIF tests (see gif_tools.h).
#include "gif_tools.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "support/tempstate.h"

namespace giftest {

ToolDir::ToolDir() {
    char tmpl[] = "/tmp/giftest.XXXXXX";
    const char* made = mkdtemp(tmpl);
    dir_ = made ? made : "/tmp";
}

ToolDir::~ToolDir() {
    if (dir_ != "/tmp") testsupport::RemoveTree(dir_);
}

void ToolDir::Write(const std::string& name, const std::string& bytes) const { testsupport::WriteAll(Path(name), bytes); }
std::string ToolDir::Read(const std::string& name) const { return testsupport::ReadAll(Path(name)); }

int ToolDir::Run(const std::string& command) const {
    const std::string cmd = "cd '" + dir_ + "' && " + command;
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string PillowPython() {
    return "/usr/bin/python3";
}

std::vector<std::uint8_t> RandomIndices(std::mt19937& rng, int width, int height, int colors) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(width) * height);
    std::uniform_int_distribution<int> color(0, colors - 1), run(1, 40), kind(0, 3);
    std::size_t i = 0;
    while (i < p.size()) {
        const int c = color(rng);
        const int n = kind(rng) == 0 ? run(rng) : 1;
        for (int k = 0; k < n && i < p.size(); ++k) p[i++] = static_cast<std::uint8_t>(c);
    }
    return p;
}

std::string GifbuildText(int width, int height, int colors, const std::vector<std::uint8_t>& pixels,
                         bool interlaced, const std::string& extras) {
    std::ostringstream s;
    s << "screen width " << width << "\nscreen height " << height << "\nscreen colors " << colors << "\nscreen map\n";
    for (int i = 0; i < colors; ++i) {
        const int v = colors > 1 ? i * 255 / (colors - 1) : 0;
        s << "\trgb " << v << " " << v << " " << v << "\n";
    }
    s << "end\nimage\n";
    if (interlaced) s << "image interlaced\n";
    s << "image bits " << width << " by " << height << " hex\n";
    char hex[3];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::snprintf(hex, sizeof hex, "%02x", pixels[static_cast<std::size_t>(y) * width + x]);
            s << hex;
        }
        s << "\n";
    }
    s << extras;
    return s.str();
}

std::string Pgm(int width, int height, int colors, const std::vector<std::uint8_t>& pixels) {
    std::string s = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
                    std::to_string(std::max(colors - 1, 1)) + "\n";
    s.append(pixels.begin(), pixels.end());
    return s;
}

std::vector<std::vector<std::uint8_t>> ParseGifbuildDump(const std::string& dump) {
    std::vector<std::vector<std::uint8_t>> images;
    std::istringstream in(dump);
    std::string line;
    std::map<char, int> keys;
    bool newMap = true;
    while (std::getline(in, line)) {
        const auto is = line.rfind(" is ");
        if (line.find("rgb ") != std::string::npos && is != std::string::npos) {
            if (newMap) keys.clear();
            newMap = false;
            keys[line[is + 4]] = static_cast<int>(keys.size());
            continue;
        }
        if (line == "end") newMap = true;
        int w = 0, h = 0;
        if (std::sscanf(line.c_str(), "image bits %d by %d", &w, &h) == 2) {
            std::vector<std::uint8_t> px;
            for (int y = 0; y < h && std::getline(in, line); ++y) {
                if (static_cast<int>(line.size()) >= 2 * w && w > 0 && keys.empty()) {
                    for (int x = 0; x < w; ++x) px.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(2 * x, 2), nullptr, 16)));
                } else {
                    for (int x = 0; x < w && x < static_cast<int>(line.size()); ++x) px.push_back(static_cast<std::uint8_t>(keys[line[x]]));
                }
            }
            images.push_back(std::move(px));
        }
    }
    return images;
}

std::vector<std::uint8_t> PnmSamples(const std::string& pnm, int* width, int* height) {
    std::istringstream in(pnm);
    std::string magic;
    int w = 0, h = 0, maxval = 1;
    in >> magic >> w >> h;
    if (magic != "P4") in >> maxval;
    in.get();
    std::vector<std::uint8_t> out;
    if (magic == "P4") {  // one bit a pixel, 1 = black, rows padded to bytes
        std::string row(static_cast<std::size_t>((w + 7) / 8), '\0');
        for (int y = 0; y < h; ++y) {
            in.read(row.data(), static_cast<std::streamsize>(row.size()));
            for (int x = 0; x < w; ++x) out.push_back((row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255);
        }
    } else {
        const int channels = magic == "P6" ? 3 : 1;
        for (int i = 0; i < w * h; ++i) {
            char px[3];
            in.read(px, channels);
            out.push_back(static_cast<std::uint8_t>(px[0]));
        }
    }
    if (width) *width = w;
    if (height) *height = h;
    return out;
}

}  // namespace giftest
