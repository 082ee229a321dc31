// Dorlin's start and exit with a long playlist in Dorlin.ini: the main window created and shown
// (settings read, the skin loaded, the resumed entry opened) and closed (settings written), for
// 1,000, 10,000 and 30,000 entries. Twice the entries should take about twice the time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/headless.h"
#include "platform/win/statedir.h"
#include "player/DorlinProgram.h"
#include "player/Main.h"
#include "support/tempstate.h"

namespace {

std::string PlaylistIni(int entries) {
    std::string ini = "[Genel]\r\nSarki=" + std::to_string(entries / 2) + "\r\n[Musics]\r\n";
    for (int i = 0; i < entries; ++i)
        ini += "c:\\Music\\Album " + std::to_string(i / 12) + "\\Track " + std::to_string(i) + ".mp3=\r\n";
    return ini;
}

void BM_StartAndExitWithPlaylist(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    const std::string ini = PlaylistIni(entries);
    setenv("XAUDIO_OUTPUT", "null:fast", 1);
    testsupport::TempState folder;
    dorlin::Startup();
    for (auto _ : state) {
        state.PauseTiming();
        win::MakeDirs(win::LocalPath("c:\\Dorlin"));
        testsupport::WriteAll(win::LocalPath("c:\\Dorlin\\Dorlin.ini"), ini);
        {
            headless::TSession session;
            state.ResumeTiming();
            dorlin::CreateMainForm();
            Form1->Show();
            Form1->Close();
            state.PauseTiming();
            if (Form1->PlayList()->Count() != entries) state.SkipWithError("the playlist did not come back whole");
            Application->Reset();
        }
        state.ResumeTiming();
    }
    dorlin::Shutdown();
    unsetenv("XAUDIO_OUTPUT");
    state.counters["entries"] = entries;
}
BENCHMARK(BM_StartAndExitWithPlaylist)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
