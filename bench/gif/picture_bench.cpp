// Whole GIF pictures beside the C GIF library and ImageMagick, in one run: load plus the still
// bitmap of a 100-frame 320 x 240 animation optimised by gifsicle -O3 and of a 2048 x 2048
// plasma. The C library path is DGifSlurp on memory with frame 0 composited onto an RGB screen
// here; ImageMagick's reader is its `convert` program decoding the same bytes (process start
// included). Also: loading from a file (the plasma, and a picture behind 250,000 control
// extensions) beside the C library's file reader; every frame of the animation composited by our
// painter and by the C path, and the freeing of a picture of a hundred thousand or a million
// comments, or of a hundred thousand frames.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imagecodecs/GifPicture.h"
#include "imagecodecs/gif/gif_bytes.h"
#include "imagecodecs/gif/gif_clock.h"
#include "imagecodecs/gif/gif_reference_memory.h"
#include "support/tempstate.h"

namespace {

struct Made {
    std::string Dir;
    std::string Animation, Plasma;
};

const Made& Inputs() {
    static Made m = [] {
        Made r;
        char tmpl[] = "/tmp/gifpicbench.XXXXXX";
        r.Dir = mkdtemp(tmpl);
        std::string frames;
        for (int i = 0; i < 99; ++i)
            frames += " \\( -clone 0 -fill red -draw 'rectangle " + std::to_string(3 * i) + "," + std::to_string(2 * i) + " " +
                      std::to_string(3 * i + 24) + "," + std::to_string(2 * i + 18) + "' \\)";
        const std::string anim = "cd '" + r.Dir + "' && convert -seed 1415 -size 320x240 plasma:fractal -colors 200" + frames +
                                 " -delay 4 -loop 0 raw.gif && gifsicle -O3 raw.gif > anim.gif && "
                                 "convert -seed 1414 -size 2048x2048 plasma:fractal -colors 256 plasma.gif";
        if (std::system(anim.c_str()) != 0) std::fprintf(stderr, "picture bench: making the inputs failed\n");
        r.Animation = testsupport::ReadAll(r.Dir + "/anim.gif");
        r.Plasma = testsupport::ReadAll(r.Dir + "/plasma.gif");
        return r;
    }();
    return m;
}

const std::string& Bytes(int which) { return which == 0 ? Inputs().Animation : Inputs().Plasma; }
const char* Name(int which) { return which == 0 ? "anim100x320x240-O3" : "plasma2048"; }

void BM_OursLoadStill(benchmark::State& state) {
    const std::string& gif = Bytes(static_cast<int>(state.range(0)));
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        TGIFPicture p;
        TStringStream s(gif);
        p.LoadFromStream(&s);
        benchmark::DoNotOptimize(p.ScreenBitmap());
    }
}

// Draws image i of a slurped file onto an RGB screen, honouring its transparent colour.
void Composite(GifFileType* gif, int i, std::vector<std::uint32_t>& screen) {
    const SavedImage& im = gif->SavedImages[i];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const int w = im.ImageDesc.Width, h = im.ImageDesc.Height;
    for (int y = 0; y < h; ++y) {
        const int sy = im.ImageDesc.Top + y;
        if (sy >= gif->SHeight) break;
        const GifByteType* row = im.RasterBits + static_cast<std::size_t>(y) * w;
        std::uint32_t* out = screen.data() + static_cast<std::size_t>(sy) * gif->SWidth;
        for (int x = 0; x < w; ++x) {
            const int sx = im.ImageDesc.Left + x;
            if (sx >= gif->SWidth) break;
            if (row[x] == gcb.TransparentColor || !map || row[x] >= map->ColorCount) continue;
            const GifColorType c = map->Colors[row[x]];
            out[sx] = c.Red | (c.Green << 8) | (c.Blue << 16);
        }
    }
}

void BM_CLibraryLoadStill(benchmark::State& state) {
    const std::string& gif = Bytes(static_cast<int>(state.range(0)));
    state.SetLabel(Name(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        giftest::RefMemorySource src{&gif};
        int error = 0;
        GifFileType* g = giftest::RefOpenMemory(src, &error);
        if (!g || DGifSlurp(g) != GIF_OK) {
            state.SkipWithError("DGifSlurp failed");
            break;
        }
        std::vector<std::uint32_t> screen(static_cast<std::size_t>(g->SWidth) * g->SHeight, 0xFFFFFF);
        if (g->ImageCount > 0) Composite(g, 0, screen);
        benchmark::DoNotOptimize(screen.data());
        DGifCloseFile(g, &error);
    }
}

void BM_ImageMagickLoadStill(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    state.SetLabel(Name(which));
    const std::string file = Inputs().Dir + (which == 0 ? "/anim.gif" : "/plasma.gif");
    const std::string cmd = "convert '" + file + "[0]' rgb:/dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("convert failed");
            break;
        }
}

void BM_OursEveryFrame(benchmark::State& state) {
    giftest::NoWaitClock clock;
    SetGIFPainterClock(&clock);
    TGIFPicture p;
    TStringStream s(Inputs().Animation);
    p.LoadFromStream(&s);
    TBitmap target;
    target.SetSize(p.Width(), p.Height());
    for (auto _ : state) p.Paint(target.Canvas(), RECT{0, 0, p.Width(), p.Height()}, poAnimated | poTransparent);
    SetGIFPainterClock(nullptr);
    state.counters["frames"] = p.FrameCount();
}

void BM_CLibraryEveryFrame(benchmark::State& state) {
    const std::string& gif = Inputs().Animation;
    giftest::RefMemorySource src{&gif};
    int error = 0;
    GifFileType* g = giftest::RefOpenMemory(src, &error);
    if (!g || DGifSlurp(g) != GIF_OK) {
        state.SkipWithError("DGifSlurp failed");
        return;
    }
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(g->SWidth) * g->SHeight, 0xFFFFFF);
    for (auto _ : state)
        for (int i = 0; i < g->ImageCount; ++i) Composite(g, i, screen);
    DGifCloseFile(g, &error);
}

// The files of the file loads: the plasma, and a 4 x 4 picture behind a chain of 250,000 graphic
// control extensions.
const std::string& LoadFile(int which) {
    static const std::string chain = [] {
        std::string gif = giftest::GifHeader(4, 4, 1);
        for (int i = 0; i < 250000; ++i) gif += giftest::Gce(0, i % 100);
        gif += giftest::ImageBlock(0, 0, 4, 4, giftest::Pattern(4, 4, 2), 1) + ";";
        const std::string path = Inputs().Dir + "/chain.gif";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(gif.data(), 1, gif.size(), f) != gif.size()) std::fprintf(stderr, "picture bench: %s\n", path.c_str());
        if (f) std::fclose(f);
        return path;
    }();
    static const std::string plasma = Inputs().Dir + "/plasma.gif";
    return which == 0 ? plasma : chain;
}
const char* LoadFileName(int which) { return which == 0 ? "plasma2048" : "gce250000"; }

// Loading from a file, as the skin engine does.
void BM_OursLoadFile(benchmark::State& state) {
    const std::string& file = LoadFile(static_cast<int>(state.range(0)));
    state.SetLabel(LoadFileName(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        TGIFPicture p;
        p.LoadFromFile(file);
        benchmark::DoNotOptimize(p.FrameCount());
    }
}

void BM_CLibraryLoadFile(benchmark::State& state) {
    const std::string& file = LoadFile(static_cast<int>(state.range(0)));
    state.SetLabel(LoadFileName(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        int error = 0;
        GifFileType* g = DGifOpenFileName(file.c_str(), &error);
        if (!g || DGifSlurp(g) != GIF_OK) {
            state.SkipWithError("DGifSlurp failed");
            if (g) DGifCloseFile(g, &error);
            break;
        }
        benchmark::DoNotOptimize(g->ImageCount);
        DGifCloseFile(g, &error);
    }
}

// A 4 x 4 picture behind n empty comments (kind 0), or n frames of one pixel each (kind 1).
const std::string& ManyItems(int kind, int n) {
    static std::map<std::pair<int, int>, std::string> made;
    std::string& gif = made[{kind, n}];
    if (!gif.empty()) return gif;
    gif = giftest::GifHeader(4, 4, 1);
    const std::string item = kind == 0 ? std::string("\x21\xFE\x00", 3) : giftest::ImageBlock(0, 0, 1, 1, {1}, 1);
    gif.reserve(gif.size() + item.size() * static_cast<std::size_t>(n) + 64);
    for (int i = 0; i < n; ++i) gif += item;
    gif += giftest::ImageBlock(0, 0, 4, 4, giftest::Pattern(4, 4, 2), 1) + ";";
    return gif;
}

// Freeing a picture of many items, which is linear in their number.
void BM_OursFreeManyItems(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0)), n = static_cast<int>(state.range(1));
    const std::string& gif = ManyItems(kind, n);
    state.SetLabel(kind == 0 ? "comments" : "frames");
    for (auto _ : state) {
        state.PauseTiming();
        auto p = std::make_unique<TGIFPicture>();
        TStringStream s(gif);
        p->LoadFromStream(&s);
        state.ResumeTiming();
        p.reset();
    }
    state.counters["items"] = n;
}

}  // namespace

BENCHMARK(BM_OursFreeManyItems)
    ->Args({0, 100000})
    ->Args({0, 1000000})
    ->Args({1, 100000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_OursLoadStill)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CLibraryLoadStill)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickLoadStill)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursLoadFile)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CLibraryLoadFile)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursEveryFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CLibraryEveryFrame)->Unit(benchmark::kMillisecond);
