// Loading the skin's pictures: a 1024 x 1024 24-bit BMP, a quality-90 JPEG of the same picture and
// a grey progressive one, read and drawn into a 32-bit bitmap, beside Pillow (python3-pil) doing the
// same in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/classlib/graphics.h"
#include "platform/classlib/jpeg.h"
#include "support/tempstate.h"

namespace {

// The two files, written once: a smooth picture with fine noise, as skin faces are.
struct Pictures {
    testsupport::TempState temp;
    std::string bmp = temp.Path("face.bmp"), jpeg = temp.Path("face.jpg"), grey = temp.Path("grey.jpg");
    Pictures() {
        GraphicsStartup();
        JPEGStartup();
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(1024, 1024);
        std::uint32_t seed = 99;
        for (int y = 0; y < 1024; ++y) {
            auto* row = static_cast<std::uint8_t*>(b.ScanLine(y));
            for (int x = 0; x < 1024; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int n = static_cast<int>(seed >> 28);
                row[3 * x] = static_cast<std::uint8_t>((x / 4 + n) & 255);
                row[3 * x + 1] = static_cast<std::uint8_t>((y / 4 + n) & 255);
                row[3 * x + 2] = static_cast<std::uint8_t>(((x + y) / 8 + n) & 255);
            }
        }
        b.SaveToFile(bmp);
        TJPEGImage j;
        j.CompressionQuality = 90;
        j.Assign(&b);
        j.SaveToFile(jpeg);
        TJPEGImage g;
        g.SetGrayscale(true);
        g.ProgressiveEncoding = true;
        g.CompressionQuality = 90;
        g.Assign(&b);
        g.SaveToFile(grey);
    }
};

Pictures& Files() {
    static Pictures p;
    return p;
}

void LoadAndDraw(benchmark::State& state, const std::string& path) {
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(1024, 1024);
    for (auto _ : state) {
        TPicture picture;
        picture.LoadFromFile(path);
        target.Canvas()->Draw(0, 0, picture.Graphic());
        benchmark::DoNotOptimize(target.ScanLine(0));
    }
}

// Pillow's time per load of `path` (open, decode, convert to 32 bits), measured by Python itself
// over `count` loads; negative when python3-pil is missing.
double PillowSeconds(const std::string& path, int count) {
    const std::string cmd = "/usr/bin/python3 -c \"import sys,time\nfrom PIL import Image\n"
                            "p=sys.argv[1]; n=int(sys.argv[2]); Image.open(p).convert('RGBX')\n"
                            "t=time.perf_counter()\nfor _ in range(n): Image.open(p).convert('RGBX')\n"
                            "print((time.perf_counter()-t)/n)\" " +
                            path + " " + std::to_string(count) + " 2>/dev/null";
    std::FILE* f = popen(cmd.c_str(), "r");
    if (!f) return -1;
    double s = -1;
    if (std::fscanf(f, "%lf", &s) != 1) s = -1;
    pclose(f);
    return s;
}

void Pillow(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        const double s = PillowSeconds(path, 20);
        if (s < 0) {
            state.SkipWithError("python3-pil is not installed");
            return;
        }
        state.SetIterationTime(s);
    }
}

void BM_LoadBmp24(benchmark::State& state) { LoadAndDraw(state, Files().bmp); }
void BM_LoadJpegQ90(benchmark::State& state) { LoadAndDraw(state, Files().jpeg); }
void BM_PillowLoadBmp24(benchmark::State& state) { Pillow(state, Files().bmp); }
void BM_PillowLoadJpegQ90(benchmark::State& state) { Pillow(state, Files().jpeg); }
void BM_LoadGreyProgressiveJpeg(benchmark::State& state) { LoadAndDraw(state, Files().grey); }
void BM_PillowLoadGreyProgressiveJpeg(benchmark::State& state) { Pillow(state, Files().grey); }

BENCHMARK(BM_LoadBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PillowLoadBmp24)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpegQ90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PillowLoadJpegQ90)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGreyProgressiveJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PillowLoadGreyProgressiveJpeg)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
