// GIF codec speed beside the C GIF library, in one run: decoding (our walk against DGifSlurp on
// memory) of a 2048 x 2048 256-colour plasma, a 4096 x 4096 two-colour picture and interlaced copies
// of both, made with ImageMagick at a fixed seed; LZW encoding (against EGifSpew) of the same
// pixels, with the output size of each as a counter.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "imagecodecs/gif/gif_reference.h"
#include "imagecodecs/gif/gif_walk.h"
#include "support/tempstate.h"

namespace {

struct Input {
    std::string Name, Convert;
};
const Input kInputs[] = {
    {"plasma2048", "-size 2048x2048 plasma:fractal -colors 256"},
    {"plasma2048i", "-size 2048x2048 plasma:fractal -colors 256 -interlace GIF"},
    {"twotone4096", "-size 4096x4096 plasma:fractal -colors 2"},
    {"twotone4096i", "-size 4096x4096 plasma:fractal -colors 2 -interlace GIF"},
};

// The file of an input, made once per run in a private folder.
const std::string& File(int which) {
    static std::map<int, std::string> made;
    auto it = made.find(which);
    if (it != made.end()) return it->second;
    char tmpl[] = "/tmp/gifbench.XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string path = dir + "/in.gif";
    const std::string cmd = "convert -seed 1414 " + kInputs[which].Convert + " '" + path + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "bench_gif: %s failed\n", cmd.c_str());
    std::string bytes = testsupport::ReadAll(path);
    testsupport::RemoveTree(dir);
    return made[which] = std::move(bytes);
}

void SetRate(benchmark::State& state, const std::vector<std::uint8_t>& px) {
    state.counters["Mpix/s"] =
        benchmark::Counter(static_cast<double>(px.size()) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodeOurs(benchmark::State& state) {
    const std::string& gif = File(static_cast<int>(state.range(0)));
    state.SetLabel(kInputs[state.range(0)].Name);
    giftest::Walk w;
    for (auto _ : state) {
        w = giftest::WalkGif(gif);
        benchmark::DoNotOptimize(w.Frames.data());
    }
    if (w.Frames.empty() || !w.Warnings.empty()) state.SkipWithError("decode failed");
    else SetRate(state, w.Frames[0].Pixels);
}

void BM_DecodeLibgif(benchmark::State& state) {
    const std::string& gif = File(static_cast<int>(state.range(0)));
    state.SetLabel(kInputs[state.range(0)].Name);
    giftest::RefGif r;
    for (auto _ : state) {
        r = giftest::RefDecode(gif);
        benchmark::DoNotOptimize(r.Frames.data());
    }
    if (r.Frames.empty() || r.Error) state.SkipWithError("decode failed");
    else SetRate(state, r.Frames[0].Pixels);
}

// The pixels of an input (non-interlaced inputs only), decoded once.
const giftest::Frame& Pixels(int which) {
    static std::map<int, giftest::Frame> frames;
    auto it = frames.find(which);
    if (it == frames.end()) it = frames.emplace(which, giftest::WalkGif(File(which)).Frames.at(0)).first;
    return it->second;
}

template <class Encoder>
void BM_EncodeOursWith(benchmark::State& state) {
    const giftest::Frame& f = Pixels(static_cast<int>(state.range(0)));
    state.SetLabel(kInputs[state.range(0)].Name);
    const int bits = state.range(0) < 2 ? 8 : 1;
    std::int64_t size = 0;
    for (auto _ : state) {
        TMemoryStream out;
        Encoder e;
        e.Encode(&out, bits, 1 << bits, f.Pixels.data(), false, f.Height, f.Width);
        size = out.Size();
        benchmark::DoNotOptimize(out.Memory());
    }
    state.counters["bytes"] = static_cast<double>(size);
    SetRate(state, f.Pixels);
}
void BM_EncodeOurs(benchmark::State& state) { BM_EncodeOursWith<TLZWEncoder>(state); }
void BM_EncodeOursRLE(benchmark::State& state) { BM_EncodeOursWith<TRLEEncoder>(state); }

void BM_EncodeLibgif(benchmark::State& state) {
    const giftest::Frame& f = Pixels(static_cast<int>(state.range(0)));
    state.SetLabel(kInputs[state.range(0)].Name);
    const int bits = state.range(0) < 2 ? 8 : 1;
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string out = giftest::RefEncode(f.Width, f.Height, f.Pixels, bits, false);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    // Header, table and trailer of the reference file are left out, as in ours.
    state.counters["bytes"] = static_cast<double>(size) - (13 + 3 * (1 << bits) + 10 + 1);
    SetRate(state, f.Pixels);
}

BENCHMARK(BM_DecodeOurs)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLibgif)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOurs)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeLibgif)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOursRLE)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
