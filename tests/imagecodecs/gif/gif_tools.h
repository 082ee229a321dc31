// Fixtures made at test time by outside tools (gifbuild, pamtogif, giftopnm, Pillow, ImageMagick)
// in a private temporary folder, and seeded random pictures.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace giftest {

class ToolDir {
public:
    ToolDir();
    ~ToolDir();
    ToolDir(const ToolDir&) = delete;
    ToolDir& operator=(const ToolDir&) = delete;
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    // Runs a shell command inside the folder; its exit status.
    int Run(const std::string& command) const;

private:
    std::string dir_;
};

// The Debian python that has Pillow (scripts/setup checks that it imports).
std::string PillowPython();

// A picture of indices below colors: seeded noise mixed with runs.
std::vector<std::uint8_t> RandomIndices(std::mt19937& rng, int width, int height, int colors);

// gifbuild input for one frame with a grey map of `colors` entries and a hex raster.
std::string GifbuildText(int width, int height, int colors, const std::vector<std::uint8_t>& pixels,
                         bool interlaced, const std::string& extras = "");
// A binary PGM of the indices (maxval colors - 1).
std::string Pgm(int width, int height, int colors, const std::vector<std::uint8_t>& pixels);
// The raster rows of every image of a gifbuild -d dump, as indices.
std::vector<std::vector<std::uint8_t>> ParseGifbuildDump(const std::string& dump);
// The grey levels of a binary PGM/PPM (first channel), as read by giftopnm output.
std::vector<std::uint8_t> PnmSamples(const std::string& pnm, int* width = nullptr, int* height = nullptr);

}  // namespace giftest
