// A plain walk over a GIF stream with the codec's own parts: the header, then every image (its
// descriptor, local colour table and pixels); extensions are skipped. The tests, the fuzz target and
// the benchmark read streams through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagecodecs/GifPicture.h"

namespace giftest {

struct Frame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlaced = false;
    int LocalColors = 0;
    std::vector<BYTE> Pixels;
};

struct Walk {
    int ScreenWidth = 0, ScreenHeight = 0, GlobalColors = 0, Background = 0;
    std::vector<Frame> Frames;
    std::vector<std::string> Warnings;
    std::string Error;  // the exception's text when the walk stopped on one
};

// A picture stand-in that records warnings and has no frames.
class RecordingImage : public TGIFImageLink {
public:
    void Warning(TObject*, int severity, const std::string& message) override {
        Warnings.push_back(message);
        Severities.push_back(severity);
    }
    TGIFVersion FileVersion() override { return Version; }
    int HighestResolution() override { return Resolution; }
    int FrameLinkCount() override { return static_cast<int>(Frames.size()); }
    TGIFFrameLink* FrameLink(int i) override { return Frames[static_cast<std::size_t>(i)]; }
    void SetPalette(HPALETTE) override { ++PaletteResets; }

    std::vector<std::string> Warnings;
    std::vector<int> Severities;
    std::vector<TGIFFrameLink*> Frames;
    TGIFVersion Version = gv87a;
    int Resolution = 7;
    int PaletteResets = 0;
};

// Reads the stream; never throws (an exception ends the walk and lands in Error).
Walk WalkGif(const std::string& bytes, std::int64_t pixelBudget = GIFMaxPixels);

}  // namespace giftest
