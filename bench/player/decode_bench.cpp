// Decoding a 10-minute MP3 as fast as it goes: the decoder library to its null output (commands,
// decoding thread, notifications through the message loop) beside mpg123's own command-line
// decoder on the same file (`mpg123 -t`: decode, no output), in one run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/classlib/messages.h"
#include "platform/xaudio/xaudio.h"
#include "support/audiofixtures.h"
#include "support/msgpump.h"

namespace {

const std::string& LongSong() {
    static const std::string path = [] {
        const std::string dir = testsupport::Audio().dir;
        testsupport::Run("sox -R -n -r 44100 -c 2 -b 16 " + testsupport::Sh(dir + "/long.wav") +
                         " synth 600 pinknoise sine 440 gain -8");
        testsupport::Run("lame --quiet -b 192 " + testsupport::Sh(dir + "/long.wav") + " " + testsupport::Sh(dir + "/long.mp3"));
        return dir + "/long.mp3";
    }();
    return path;
}

void BM_XaudioToNullOutput(benchmark::State& state) {
    const std::string song = LongSong();
    for (auto _ : state) {
        XA_PlayerHandle player = 0;
        bool ended = false;
        long notes = 0;
        HWND wnd = AllocateHWnd([&](TMessage& msg) {
            XA_Message m{};
            if (control_win32_params_to_message(player, &m, msg.Msg, msg.WParam, msg.LParam) != XA_SUCCESS) return;
            ++notes;
            ended |= m.code == XA_MSG_NOTIFY_PLAYER_STATE && m.data[0] == XA_PLAYER_STATE_EOS;
        });
        player_new(&player, &wnd);
        control_message_send_S(player, XA_MSG_SET_OUTPUT_NAME, "null:fast");
        control_message_send_S(player, XA_MSG_COMMAND_INPUT_OPEN, song.c_str());
        control_message_send_N(player, XA_MSG_COMMAND_PLAY);
        if (!testsupport::PumpUntil([&] { return ended; }, 120000)) state.SkipWithError("the song did not end");
        player_delete(player);
        DeallocateHWnd(wnd);
        state.counters["notifications"] = static_cast<double>(notes);
    }
}
BENCHMARK(BM_XaudioToNullOutput)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Mpg123CommandLine(benchmark::State& state) {
    const std::string cmd = "mpg123 -q -t " + testsupport::Sh(LongSong()) + " >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("mpg123 failed");
}
BENCHMARK(BM_Mpg123CommandLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
