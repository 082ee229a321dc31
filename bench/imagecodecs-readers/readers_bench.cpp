// Decode speed of the picture readers: a 4096 x 4096 LZW + predictor TIFF, a run-length Targa, an
// 8-bit PCX and a P6 PPM of the same picture, each beside a reference reading the same bytes in
// the same run (libtiff in-process for TIFF; netpbm's converters, whole processes, for the others).
// The files are made once by netpbm and libtiff's tools in a temporary folder, removed at exit.
//
// Every figure is CPU time (manual time): the thread's own for the in-process readers, the
// children's user and system time for the converters, so a machine busy with other work slows
// neither side more than the other and the ratios hold.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imagecodecs/PictureReaders.h"

namespace {

constexpr int kSide = 4096;

struct Files {
    std::string Dir, Tiff, Targa, Pcx, Ppm;
    std::string TiffBytes, TargaBytes, PcxBytes, PpmBytes;
};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void Sh(const std::string& cmd) {
    if (std::system(cmd.c_str()) != 0) std::abort();
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ChildSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return sec(u.ru_utime) + sec(u.ru_stime);
}

const Files& TheFiles() {
    static Files f = [] {
        Files x;
        static char dir[] = "/tmp/bench_readers_XXXXXX";
        x.Dir = mkdtemp(dir);
        std::atexit([] {
            if (std::system((std::string("rm -rf ") + dir).c_str()) != 0) std::fputs("could not remove the files\n", stderr);
        });
        // A picture with smooth areas, edges and some noise, as scanned or rendered pictures have.
        std::string ppm = "P6\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n";
        ppm.resize(ppm.size() + std::size_t{kSide} * kSide * 3);
        auto* p = reinterpret_cast<unsigned char*>(ppm.data() + ppm.size() - std::size_t{kSide} * kSide * 3);
        unsigned s = 1;
        for (int y = 0; y < kSide; ++y)
            for (int xx = 0; xx < kSide; ++xx) {
                s = s * 1103515245u + 12345u;
                const int noise = static_cast<int>((s >> 16) & 3);
                const bool block = ((xx / 256) + (y / 256)) % 3 == 0;
                *p++ = static_cast<unsigned char>(block ? 200 : (xx / 16 + noise) & 255);
                *p++ = static_cast<unsigned char>(block ? 40 : (y / 16 + noise) & 255);
                *p++ = static_cast<unsigned char>(((xx + y) / 32) & 255);
            }
        x.Ppm = x.Dir + "/p.ppm";
        std::ofstream(x.Ppm, std::ios::binary) << ppm;
        x.Tiff = x.Dir + "/p.tif";
        x.Targa = x.Dir + "/p.tga";
        x.Pcx = x.Dir + "/p.pcx";
        Sh("pnmtotiff -truecolor " + x.Ppm + " > " + x.Dir + "/raw.tif 2>/dev/null && tiffcp -c lzw:2 -r 16 " + x.Dir + "/raw.tif " + x.Tiff);
        Sh("pamtotga -rgb " + x.Ppm + " > " + x.Targa + " 2>/dev/null");
        Sh("pnmquant 256 " + x.Ppm + " 2>/dev/null | ppmtopcx -8bit > " + x.Pcx + " 2>/dev/null");
        x.TiffBytes = Slurp(x.Tiff);
        x.TargaBytes = Slurp(x.Targa);
        x.PcxBytes = Slurp(x.Pcx);
        x.PpmBytes = Slurp(x.Ppm);
        return x;
    }();
    return f;
}

// Each side reads the file's bytes from memory and makes a new picture every time.
template <class T>
void Ours(benchmark::State& state, const std::string& bytes) {
    TStringStream s(bytes);
    for (auto _ : state) {
        const double start = ThreadSeconds();
        s.SetPosition(0);
        {
            T g;
            g.LoadFromStream(&s);
            benchmark::DoNotOptimize(g.ScanLine(g.Height() - 1));
        }
        state.SetIterationTime(ThreadSeconds() - start);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

void BM_Tiff_Ours(benchmark::State& s) { Ours<TTIFFGraphic>(s, TheFiles().TiffBytes); }
void BM_Targa_Ours(benchmark::State& s) { Ours<TTargaGraphic>(s, TheFiles().TargaBytes); }
void BM_Pcx_Ours(benchmark::State& s) { Ours<TPCXGraphic>(s, TheFiles().PcxBytes); }
void BM_Ppm_Ours(benchmark::State& s) { Ours<TPPMGraphic>(s, TheFiles().PpmBytes); }

// libtiff reading the same bytes from memory, every strip decoded (predictor undone) into one
// buffer made before the loop: libtiff is timed on decoding alone, while our side also makes its
// bitmap each time.
struct Mem {
    const std::string* Bytes;
    toff_t Pos = 0;
};
tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t n) {
    auto* m = static_cast<Mem*>(h);
    const toff_t left = m->Bytes->size() > m->Pos ? m->Bytes->size() - m->Pos : 0;
    const tsize_t k = static_cast<tsize_t>(std::min<toff_t>(left, static_cast<toff_t>(n)));
    std::memcpy(buf, m->Bytes->data() + m->Pos, static_cast<std::size_t>(k));
    m->Pos += static_cast<toff_t>(k);
    return k;
}
tsize_t MemWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Mem*>(h);
    m->Pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->Pos + off : m->Bytes->size() + off;
    return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<Mem*>(h)->Bytes->size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

void BM_Tiff_Libtiff(benchmark::State& state) {
    const std::string& bytes = TheFiles().TiffBytes;
    std::unique_ptr<unsigned char[]> out(new unsigned char[std::size_t{kSide} * kSide * 3]);
    std::memset(out.get(), 0, std::size_t{kSide} * kSide * 3);
    for (auto _ : state) {
        const double start = ThreadSeconds();
        Mem m{&bytes};
        TIFF* t = TIFFClientOpen("mem", "rm", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
        const tstrip_t n = TIFFNumberOfStrips(t);
        const tsize_t size = TIFFStripSize(t);
        for (tstrip_t i = 0; i < n; ++i) TIFFReadEncodedStrip(t, i, out.get() + static_cast<std::size_t>(i) * static_cast<std::size_t>(size), -1);
        TIFFClose(t);
        benchmark::DoNotOptimize(out.get());
        state.SetIterationTime(ThreadSeconds() - start);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

// netpbm's converters: whole processes reading the file and writing a PPM to /dev/null.
void Converter(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        const double start = ChildSeconds();
        Sh(command + " > /dev/null 2>&1");
        state.SetIterationTime(ChildSeconds() - start);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}
void BM_Targa_Tgatoppm(benchmark::State& s) { Converter(s, "tgatoppm " + TheFiles().Targa); }
void BM_Pcx_Pcxtoppm(benchmark::State& s) { Converter(s, "pcxtoppm " + TheFiles().Pcx); }
void BM_Ppm_Pnmtopnm(benchmark::State& s) { Converter(s, "pamtopnm " + TheFiles().Ppm); }

BENCHMARK(BM_Tiff_Ours)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff_Libtiff)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Targa_Ours)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Targa_Tgatoppm)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcx_Ours)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcx_Pcxtoppm)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ppm_Ours)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ppm_Pnmtopnm)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
