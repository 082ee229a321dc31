// The messenger's start and exit with a large address book: the default user's tolvar17.ini and a
// registry user's keys, beside the floor of the same work done by hand (read the file and split its
// lines; write it once with one sync).
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/registry.h"
#include "platform/registry/registry.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace {

constexpr int kContacts = 10000;
constexpr int kTexts = 1000;

std::string Number(int i) { return "90532" + std::to_string(1000000 + i); }

std::string SeededIni() {
    std::string s = "[Ayarlar]\r\nToplam=" + std::to_string(kContacts) + "\r\n";
    for (int i = 1; i <= kContacts; ++i)
        s += "[" + std::to_string(i) + "]\r\nisim=Kisi " + std::to_string(i) + "\r\nnumara=" + Number(i) + "\r\n";
    s += "[Mesaj]\r\nToplam=" + std::to_string(kTexts) + "\r\n";
    for (int i = 0; i < kTexts; ++i) s += "Mesaj" + std::to_string(i) + "=Mesaj metni " + std::to_string(i) + "\r\n";
    return s;
}

std::string IniPath() { return win::WindowsDir() + "/tolvar17.ini"; }

std::unique_ptr<headless::TSession> StartProgram() {
    auto session = std::make_unique<headless::TSession>();
    tolvar::CreateForms();
    tolvar::ShowMainForm();
    headless::Pump();
    return session;
}

void ExitWithYes() {
    headless::Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
}

void BM_DefaultUserStart(benchmark::State& state) {
    testsupport::TempState temp;
    testsupport::WriteAll(IniPath(), SeededIni());
    for (auto _ : state) {
        auto session = StartProgram();
        if (Form1->ListBox1->Items()->Count() != kContacts) state.SkipWithError("book not loaded");
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
}

// Times the exit's write-back alone: `prepare` seeds the state and makes the book (untimed).
template <typename Prepare>
void TimeExits(benchmark::State& state, Prepare prepare) {
    testsupport::TempState temp;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = prepare();
        state.ResumeTiming();
        ExitWithYes();
        if (!headless::Halted()) state.SkipWithError("exit did not end the program");
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
}

void BM_DefaultUserExit(benchmark::State& state) {
    const std::string seeded = SeededIni();
    TimeExits(state, [&] {
        testsupport::WriteAll(IniPath(), seeded);
        auto session = StartProgram();
        Form1->ListBox1->Items()->Add("Yeni");
        Form1->ListBox2->Items()->Add(Number(0));
        return session;
    });
}

void BM_RegistryUserExit(benchmark::State& state) {
    TimeExits(state, [] {
        reg::ReloadHives();
        auto session = StartProgram();
        Form1->ListBox1->Items()->Clear();
        Form1->ListBox2->Items()->Clear();
        for (int i = 0; i < kContacts; ++i) {
            Form1->ListBox1->Items()->Add("Kisi " + std::to_string(i));
            Form1->ListBox2->Items()->Add(Number(i));
        }
        Form1->MakeRegistryUserCurrent("mehmet");
        return session;
    });
}

// The floor: the same file read and split into lines, and written once with one sync.
void BM_FloorReadAndSplit(benchmark::State& state) {
    testsupport::TempState temp;
    testsupport::WriteAll(IniPath(), SeededIni());
    for (auto _ : state) {
        std::string bytes;
        win::ReadFile(IniPath(), bytes);
        size_t lines = 0;
        for (size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; ++at) ++lines;
        benchmark::DoNotOptimize(lines);
    }
}

void BM_FloorWriteOnce(benchmark::State& state) {
    testsupport::TempState temp;
    const std::string seeded = SeededIni();
    for (auto _ : state) win::WriteFileAtomic(IniPath(), seeded, 0600);
}

}  // namespace

BENCHMARK(BM_DefaultUserStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DefaultUserExit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_RegistryUserExit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FloorReadAndSplit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorWriteOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
