// One player object: its decoding thread, its command queue and the notifications it has posted
// and not yet had converted.
#pragma once

#include <mpg123.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/xaudio/xaudio.h"
#include "platform/xaudio/xaudio/outputs.h"

namespace xaudio {

struct Command {
    int code = 0;
    int a = 0, b = 0, c = 0;
    std::string s1, s2;
    std::vector<std::uint8_t> blob;
    bool hasBlob = false;
};

// A posted notification: the record, and what its pointer slots (1-based) stand for.
struct Notice {
    std::uint32_t seq = 0;
    XA_Message rec{};
    std::vector<std::string> texts;            // slots 1..n
    std::optional<XA_EqualizerInfo> equalizer;  // slot n+1
};

class Player {
public:
    Player(XA_PlayerHandle handle, HWND window);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Queues a command; false after the player has exited.
    bool Send(Command cmd);
    int Convert(XA_Message* message, UINT msg, WPARAM wParam, LPARAM lParam);
    const void* Pointer(std::uint32_t slot) const;
    void AdvanceClock(unsigned ms);
    int Priority = 0;

private:
    void Run();
    void Handle(const Command& c);
    void Post(Notice n);
    void Notify(std::uint32_t code, std::initializer_list<std::pair<int, std::uint32_t>> fields = {});
    void NotifyText(std::uint32_t code, const std::string& text);
    void Ack(int command);
    void Nack(int command, int code);
    void Error(std::uint8_t source, int code, const std::string& text);
    void Debug(const std::string& text);

    void Open(const std::string& name);
    void CloseInput();
    void Play();
    void Pause();
    void Stop(bool notify);
    void Seek(std::uint32_t offset, std::uint32_t range);
    bool EnsureOutput();
    void CloseOutput();
    void ApplyEqualizer();
    void DecodeSome();
    void Reanchor();
    void SetState(std::uint8_t state);
    void ReportPosition(bool force);

    XA_PlayerHandle FHandle;
    HWND FWindow;

    // Shared with the senders and the converter.
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<Command> FCommands;
    std::deque<Notice> FPending;
    std::uint32_t FNextSeq = 1;
    bool FExited = false;
    bool FQuit = false;
    long long FBudgetUs = 0;  // what the virtual clock still lets play
    Notice FConverted;        // the last converted notification (its pointers stay valid)

    // The decoding thread's own.
    mpg123_handle* FMh = nullptr;
    bool FInputOpen = false;
    std::string FInputName;
    long FRate = 44100;
    int FChannels = 2;
    off_t FTotal = 0;  // samples per channel
    off_t FSkip = 0;   // samples at the head of the stream that are not played (a delay the library keeps)
    off_t FPlayed = 0;
    std::uint8_t FState = XA_PLAYER_STATE_STOPPED;
    std::unique_ptr<Output> FOutput;
    bool FOutputStarted = false;
    std::string FOutputName;
    std::uint32_t FRange = XA_DEFAULT_POSITION_RANGE;
    std::uint32_t FGranularity = XA_DEFAULT_TIMECODE_GRANULARITY;
    std::int64_t FLastOffset = -1;
    std::int64_t FLastTick = -1;
    std::uint8_t FMaster = 100, FPcm = 100, FBalance = 50;
    bool FMuted = false;
    std::optional<XA_EqualizerInfo> FEqualizer;
    int FQuality = 0, FMode = 0, FDebugLevel = 0;
    std::uint32_t FMask = 0xFFFFFFFFu;
    std::vector<unsigned char> FBuffer;
    std::chrono::steady_clock::time_point FAnchorTime;
    off_t FAnchorPlayed = 0;

    std::thread FThread;
};

}  // namespace xaudio
