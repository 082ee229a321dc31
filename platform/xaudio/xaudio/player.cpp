// The player object: commands handled on its decoding thread, samples decoded with libmpg123,
// shaped (volume, balance, equalizer) and handed to its output, notifications posted in order.
#include "platform/xaudio/xaudio/player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/statedir.h"
#include "platform/win/winuser.h"
#include "platform/xaudio/xaudio/infotag.h"

namespace xaudio {

namespace {

constexpr std::size_t kChunkBytes = 1152 * 2 * 2 * 2;  // two Layer III frames of 16-bit stereo
// The samples by which a Layer III decoder's output lags its input, which the delay an encoder
// writes in its info tag leaves out.
constexpr off_t kDecoderDelay = 529;

void PutByte(XA_Message& m, int at, std::uint32_t v) { m.data[at] = static_cast<std::uint8_t>(v); }
void PutWord(XA_Message& m, int at, std::uint32_t v) {
    m.data[at] = static_cast<std::uint8_t>(v);
    m.data[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void PutDword(XA_Message& m, int at, std::uint32_t v) {
    PutWord(m, at, v & 0xFFFF);
    PutWord(m, at + 2, v >> 16);
}

// Field widths of Notify's (offset, value) pairs: the offset's high bits say the width.
constexpr int kByte = 0x100, kWord = 0x200, kDword = 0x400;

std::once_flag gLibInit;

}  // namespace

Player::Player(XA_PlayerHandle handle, HWND window) : FHandle(handle), FWindow(window) {
    std::call_once(gLibInit, [] { mpg123_init(); });
    int err = 0;
    FMh = mpg123_new(nullptr, &err);
    if (FMh) {
        mpg123_param(FMh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_format_none(FMh);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(FMh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    FBuffer.resize(kChunkBytes);
    FThread = std::thread([this] { Run(); });
}

Player::~Player() {
    {
        std::lock_guard lock(FMutex);
        FQuit = true;
    }
    FWake.notify_all();
    if (FThread.joinable()) FThread.join();
    FOutput.reset();
    if (FMh) {
        mpg123_close(FMh);
        mpg123_delete(FMh);
    }
}

bool Player::Send(Command cmd) {
    {
        std::lock_guard lock(FMutex);
        if (FExited || FQuit) return false;
        FCommands.push_back(std::move(cmd));
    }
    FWake.notify_all();
    return true;
}

void Player::AdvanceClock(unsigned ms) {
    {
        std::lock_guard lock(FMutex);
        FBudgetUs += static_cast<long long>(ms) * 1000;
    }
    FWake.notify_all();
}

int Player::Convert(XA_Message* message, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!message || msg != XA_WM_NOTIFY || wParam != FHandle) return XA_ERROR_NOT_A_MESSAGE;
    std::lock_guard lock(FMutex);
    const auto seq = static_cast<std::uint32_t>(lParam);
    // Notifications arrive in posting order; older ones whose message never arrived are dropped.
    while (!FPending.empty() && FPending.front().seq != seq &&
           static_cast<std::int32_t>(seq - FPending.front().seq) > 0)
        FPending.pop_front();
    if (FPending.empty() || FPending.front().seq != seq) return XA_ERROR_NOT_A_MESSAGE;
    FConverted = std::move(FPending.front());
    FPending.pop_front();
    *message = FConverted.rec;
    return XA_SUCCESS;
}

const void* Player::Pointer(std::uint32_t slot) const {
    std::lock_guard lock(FMutex);
    if (slot >= 1 && slot <= FConverted.texts.size()) return FConverted.texts[slot - 1].c_str();
    if (FConverted.equalizer && slot == FConverted.texts.size() + 1) return &*FConverted.equalizer;
    return nullptr;
}

void Player::Post(Notice n) {
    std::lock_guard lock(FMutex);
    n.seq = FNextSeq++;
    const std::uint32_t seq = n.seq;
    FPending.push_back(std::move(n));
    if (!PostMessageA(FWindow, XA_WM_NOTIFY, FHandle, static_cast<LPARAM>(seq))) FPending.pop_back();
}

void Player::Notify(std::uint32_t code, std::initializer_list<std::pair<int, std::uint32_t>> fields) {
    Notice n;
    n.rec.code = code;
    for (auto [at, v] : fields) {
        const int off = at & 0xFF;
        if (at & kByte) PutByte(n.rec, off, v);
        else if (at & kWord) PutWord(n.rec, off, v);
        else PutDword(n.rec, off, v);
    }
    Post(std::move(n));
}

void Player::NotifyText(std::uint32_t code, const std::string& text) {
    Notice n;
    n.rec.code = code;
    n.texts.push_back(text);
    PutDword(n.rec, 0, 1);
    Post(std::move(n));
}

void Player::Ack(int command) { Notify(XA_MSG_NOTIFY_ACK, {{kByte | 0, static_cast<std::uint32_t>(command)}}); }

void Player::Nack(int command, int code) {
    Notify(XA_MSG_NOTIFY_NACK, {{kByte | 0, static_cast<std::uint32_t>(command)},
                                {kWord | 2, static_cast<std::uint32_t>(static_cast<std::uint16_t>(code))}});
}

void Player::Error(std::uint8_t source, int code, const std::string& text) {
    Notice n;
    n.rec.code = XA_MSG_NOTIFY_ERROR;
    PutByte(n.rec, 0, source);
    PutWord(n.rec, 2, static_cast<std::uint16_t>(code));
    n.texts.push_back(text);
    PutDword(n.rec, 4, 1);
    Post(std::move(n));
}

void Player::Debug(const std::string& text) {
    Notice n;
    n.rec.code = XA_MSG_NOTIFY_DEBUG;
    PutByte(n.rec, 0, XA_SOURCE_OUTPUT);
    PutByte(n.rec, 1, 1);
    n.texts.push_back(text);
    PutDword(n.rec, 4, 1);
    Post(std::move(n));
}

void Player::Run() {
    Notify(XA_MSG_NOTIFY_READY);
    std::unique_lock lock(FMutex);
    for (;;) {
        if (FQuit) return;
        if (!FCommands.empty()) {
            Command c = std::move(FCommands.front());
            FCommands.pop_front();
            lock.unlock();
            Handle(c);
            lock.lock();
            if (c.code == XA_MSG_COMMAND_EXIT) {
                FExited = true;
                FCommands.clear();
                return;
            }
            continue;
        }
        if (FState != XA_PLAYER_STATE_PLAYING) {
            FWake.wait(lock, [&] { return FQuit || !FCommands.empty(); });
            continue;
        }
        const Pace pace = FOutput ? FOutput->Pacing() : Pace::None;
        if (pace == Pace::Virtual && FBudgetUs <= 0) {
            FWake.wait(lock, [&] { return FQuit || !FCommands.empty() || FBudgetUs > 0; });
            continue;
        }
        if (pace == Pace::Wall) {
            // Stay at most a fifth of a second ahead of the wall clock.
            const auto ahead = std::chrono::microseconds((FPlayed - FAnchorPlayed) * 1000000LL / std::max(1L, FRate));
            const auto due = FAnchorTime + ahead - std::chrono::milliseconds(200);
            if (std::chrono::steady_clock::now() < due) {
                FWake.wait_until(lock, due, [&] { return FQuit || !FCommands.empty(); });
                continue;
            }
        }
        lock.unlock();
        DecodeSome();
        lock.lock();
    }
}

void Player::Handle(const Command& c) {
    switch (c.code) {
    case XA_MSG_COMMAND_EXIT:
        Stop(false);
        CloseInput();
        FOutput.reset();
        Notify(XA_MSG_NOTIFY_EXITED);
        break;
    case XA_MSG_COMMAND_PING: Notify(XA_MSG_NOTIFY_PONG, {{kDword | 0, static_cast<std::uint32_t>(c.a)}}); break;
    case XA_MSG_COMMAND_PLAY: Play(); break;
    case XA_MSG_COMMAND_PAUSE:
        if (!FInputOpen) return Nack(c.code, XA_ERROR_NO_INPUT);
        Pause();
        break;
    case XA_MSG_COMMAND_STOP:
        if (!FInputOpen) return Nack(c.code, XA_ERROR_NO_INPUT);
        Stop(true);
        break;
    case XA_MSG_COMMAND_INPUT_SEEK:
        if (!FInputOpen) return Nack(c.code, XA_ERROR_NO_INPUT);
        if (c.b <= 0 || c.a < 0 || c.a > c.b) return Nack(c.code, XA_ERROR_INVALID_PARAMETERS);
        Seek(static_cast<std::uint32_t>(c.a), static_cast<std::uint32_t>(c.b));
        break;
    case XA_MSG_COMMAND_INPUT_OPEN: Open(c.s1); break;
    case XA_MSG_COMMAND_INPUT_CLOSE:
        Stop(false);
        CloseInput();
        Ack(c.code);
        break;
    case XA_MSG_COMMAND_OUTPUT_OPEN:
        if (!c.s1.empty()) FOutputName = c.s1;
        // A track does not play on into an output that is gone: it stops (and rewinds) first.
        if (FState == XA_PLAYER_STATE_PLAYING || FState == XA_PLAYER_STATE_PAUSED) Stop(true);
        CloseOutput();
        if (!EnsureOutput()) return Nack(c.code, XA_ERROR_OUTPUT_FAILED);
        Ack(c.code);
        break;
    case XA_MSG_COMMAND_OUTPUT_CLOSE:
    case XA_MSG_COMMAND_OUTPUT_RESET:
        if (FState == XA_PLAYER_STATE_PLAYING || FState == XA_PLAYER_STATE_PAUSED) Stop(true);
        CloseOutput();
        Ack(c.code);
        break;
    case XA_MSG_COMMAND_OUTPUT_DRAIN:
        if (FOutput && FOutputStarted) FOutput->Drain();
        Ack(c.code);
        break;
    case XA_MSG_COMMAND_OUTPUT_MUTE:
    case XA_MSG_COMMAND_OUTPUT_UNMUTE:
        FMuted = c.code == XA_MSG_COMMAND_OUTPUT_MUTE;
        Ack(c.code);
        break;
    case XA_MSG_SET_PLAYER_MODE: FMode = c.a; [[fallthrough]];
    case XA_MSG_GET_PLAYER_MODE: Notify(XA_MSG_NOTIFY_PLAYER_MODE, {{kDword | 0, static_cast<std::uint32_t>(FMode)}}); break;
    case XA_MSG_GET_INPUT_NAME: NotifyText(XA_MSG_NOTIFY_INPUT_NAME, FInputName); break;
    case XA_MSG_SET_INPUT_POSITION_RANGE:
        if (c.a <= 0) return Nack(c.code, XA_ERROR_INVALID_PARAMETERS);
        FRange = static_cast<std::uint32_t>(c.a);
        FLastOffset = -1;
        [[fallthrough]];
    case XA_MSG_GET_INPUT_POSITION_RANGE: Notify(XA_MSG_NOTIFY_INPUT_POSITION_RANGE, {{kDword | 0, FRange}}); break;
    case XA_MSG_SET_INPUT_TIMECODE_GRANULARITY:
        if (c.a <= 0) return Nack(c.code, XA_ERROR_INVALID_PARAMETERS);
        FGranularity = static_cast<std::uint32_t>(c.a);
        FLastTick = -1;
        [[fallthrough]];
    case XA_MSG_GET_INPUT_TIMECODE_GRANULARITY:
        Notify(XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY, {{kDword | 0, FGranularity}});
        break;
    case XA_MSG_SET_OUTPUT_NAME:
        FOutputName = c.s1;
        if (FState == XA_PLAYER_STATE_PLAYING || FState == XA_PLAYER_STATE_PAUSED) Stop(true);
        CloseOutput();
        [[fallthrough]];
    case XA_MSG_GET_OUTPUT_NAME: NotifyText(XA_MSG_NOTIFY_OUTPUT_NAME, FOutputName.empty() ? "device" : FOutputName); break;
    case XA_MSG_SET_OUTPUT_VOLUME:
        // 255 in a place keeps that value; others are clamped to 0..100.
        if (c.a != 255) FBalance = static_cast<std::uint8_t>(std::min(c.a & 0xFF, 100));
        if (c.b != 255) FPcm = static_cast<std::uint8_t>(std::min(c.b & 0xFF, 100));
        if (c.c != 255) FMaster = static_cast<std::uint8_t>(std::min(c.c & 0xFF, 100));
        [[fallthrough]];
    case XA_MSG_GET_OUTPUT_VOLUME:
        Notify(XA_MSG_NOTIFY_OUTPUT_VOLUME, {{kByte | 0, FMaster}, {kByte | 1, FPcm}, {kByte | 2, FBalance}});
        break;
    case XA_MSG_SET_CODEC_QUALITY: FQuality = c.a & 0xFF; [[fallthrough]];
    case XA_MSG_GET_CODEC_QUALITY: Notify(XA_MSG_NOTIFY_CODEC_QUALITY, {{kByte | 0, static_cast<std::uint32_t>(FQuality)}}); break;
    case XA_MSG_SET_CODEC_EQUALIZER:
        if (c.hasBlob) {
            XA_EqualizerInfo eq;
            std::memcpy(&eq, c.blob.data(), sizeof eq);
            FEqualizer = eq;
        } else {
            FEqualizer.reset();
        }
        ApplyEqualizer();
        Ack(c.code);
        break;
    case XA_MSG_GET_CODEC_EQUALIZER: {
        Notice n;
        n.rec.code = XA_MSG_NOTIFY_CODEC_EQUALIZER;
        XA_EqualizerInfo flat{};
        n.equalizer = FEqualizer ? *FEqualizer : flat;
        PutDword(n.rec, 0, 1);
        Post(std::move(n));
        break;
    }
    case XA_MSG_SET_NOTIFICATION_MASK: FMask = static_cast<std::uint32_t>(c.a); [[fallthrough]];
    case XA_MSG_GET_NOTIFICATION_MASK: Notify(XA_MSG_NOTIFY_NOTIFICATION_MASK, {{kDword | 0, FMask}}); break;
    case XA_MSG_SET_DEBUG_LEVEL: FDebugLevel = c.a & 0xFF; [[fallthrough]];
    case XA_MSG_GET_DEBUG_LEVEL: Notify(XA_MSG_NOTIFY_DEBUG_LEVEL, {{kByte | 0, static_cast<std::uint32_t>(FDebugLevel)}}); break;
    default: Nack(c.code, XA_ERROR_NOT_SUPPORTED); break;
    }
}

void Player::SetState(std::uint8_t state) {
    FState = state;
    Notify(XA_MSG_NOTIFY_PLAYER_STATE, {{kByte | 0, state}});
}

void Player::CloseInput() {
    if (!FInputOpen) return;
    mpg123_close(FMh);
    FInputOpen = false;
    FInputName.clear();
    Notify(XA_MSG_NOTIFY_INPUT_STATE, {{kByte | 0, XA_INPUT_STATE_CLOSED}});
}

void Player::Open(const std::string& name) {
    if (FState == XA_PLAYER_STATE_PLAYING || FState == XA_PLAYER_STATE_PAUSED) Stop(true);
    CloseInput();
    FState = XA_PLAYER_STATE_STOPPED;
    const std::string path = win::LocalPath(name);
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_frameinfo info{};
    bool ok = FMh && mpg123_open(FMh, path.c_str()) == MPG123_OK;
    if (ok) ok = mpg123_getformat(FMh, &rate, &channels, &encoding) == MPG123_OK && rate > 0 && channels > 0;
    // The exact length: an encoder's info tag with its delay and padding gives it when the bytes it
    // counts are the file's audio (the tag also counts the frames). Any other stream is scanned
    // through once: one without the delay, a file cut shorter than its tag says, and files joined
    // end to end, whose first tag counts only the first.
    long delay = -1;
    double unused = 0;
    if (ok && mpg123_getstate(FMh, MPG123_ENC_DELAY, &delay, &unused) != MPG123_OK) delay = -1;
    off_t skip = 0;
    if (ok && (delay < 0 || !InfoTagCountsTheFile(path))) {
        const off_t tagFrames = mpg123_framelength(FMh);
        ok = mpg123_scan(FMh) == MPG123_OK;
        // A scan that finds fewer frames than the tag counts makes the library drop the tag's trim
        // of the delay at the head of the stream: those samples are skipped here instead, so that
        // what plays is what a decoder trusting the tag's delay gives.
        if (ok && delay >= 0 && mpg123_framelength(FMh) < tagFrames) {
            skip = static_cast<off_t>(delay) + kDecoderDelay;
            ok = mpg123_seek(FMh, skip, SEEK_SET) == skip;
        }
    }
    if (ok) ok = mpg123_info(FMh, &info) == MPG123_OK;
    const off_t total = ok ? mpg123_length(FMh) - skip : 0;
    if (!ok || total <= 0) {
        if (FMh) mpg123_close(FMh);
        Nack(XA_MSG_COMMAND_INPUT_OPEN, XA_ERROR_OPEN_FAILED);
        return;
    }
    FInputOpen = true;
    FInputName = name;
    FRate = rate;
    FChannels = channels;
    FTotal = total;
    FSkip = skip;
    FPlayed = 0;
    FLastOffset = -1;
    FLastTick = -1;
    ApplyEqualizer();
    Notify(XA_MSG_NOTIFY_INPUT_STATE, {{kByte | 0, XA_INPUT_STATE_OPEN}});
    NotifyText(XA_MSG_NOTIFY_INPUT_NAME, name);
    Notify(XA_MSG_NOTIFY_INPUT_CAPS, {{kDword | 0, 1}});  // seekable
    const std::uint32_t level = info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 3;
    const std::uint32_t mode = info.mode == MPG123_M_STEREO ? 0 : info.mode == MPG123_M_JOINT ? 1 : info.mode == MPG123_M_DUAL ? 2 : 3;
    Notify(XA_MSG_NOTIFY_INPUT_STREAM_INFO, {{kByte | 0, level},
                                             {kByte | 1, static_cast<std::uint32_t>(info.layer)},
                                             {kWord | 2, static_cast<std::uint32_t>(info.bitrate)},
                                             {kWord | 4, static_cast<std::uint32_t>(info.rate)},
                                             {kByte | 6, mode}});
    Notify(XA_MSG_NOTIFY_INPUT_DURATION,
           {{kDword | 0, static_cast<std::uint32_t>(std::llround(static_cast<double>(total) / rate))}});
    ReportPosition(true);
    Ack(XA_MSG_COMMAND_INPUT_OPEN);
}

bool Player::EnsureOutput() {
    if (FOutput) return true;
    const char* env = std::getenv("XAUDIO_OUTPUT");
    const std::string name = env && *env ? env : FOutputName.empty() ? "device" : FOutputName;
    std::string why;
    FOutput = MakeOutput(name, why);
    if (!FOutput && (name == "device" || name.empty())) {
        const std::string notice = why + ": playing to the null output";
        std::fprintf(stderr, "xaudio: %s\n", notice.c_str());
        Debug(notice);
        FOutput = MakeOutput("null", why);
    }
    if (!FOutput) {
        Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_FAILED, why);
        return false;
    }
    Notify(XA_MSG_NOTIFY_OUTPUT_STATE, {{kByte | 0, XA_OUTPUT_STATE_OPEN}});
    return true;
}

void Player::CloseOutput() {
    if (!FOutput) return;
    if (FOutputStarted) FOutput->Stop();
    FOutputStarted = false;
    FOutput.reset();
    Notify(XA_MSG_NOTIFY_OUTPUT_STATE, {{kByte | 0, XA_OUTPUT_STATE_CLOSED}});
}

void Player::Reanchor() {
    FAnchorTime = std::chrono::steady_clock::now();
    FAnchorPlayed = FPlayed;
}

void Player::Play() {
    if (!FInputOpen) return Nack(XA_MSG_COMMAND_PLAY, XA_ERROR_NO_INPUT);
    if (FState == XA_PLAYER_STATE_PLAYING) return Ack(XA_MSG_COMMAND_PLAY);
    if (!EnsureOutput()) return Nack(XA_MSG_COMMAND_PLAY, XA_ERROR_OUTPUT_FAILED);
    if (FState == XA_PLAYER_STATE_EOS) {
        mpg123_seek(FMh, FSkip, SEEK_SET);
        FPlayed = 0;
        FLastOffset = FLastTick = -1;
    }
    if (!FOutputStarted) {
        if (!FOutput->Start(FRate, FChannels)) {
            Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_FAILED, "the output refused the stream");
            return Nack(XA_MSG_COMMAND_PLAY, XA_ERROR_OUTPUT_FAILED);
        }
        FOutputStarted = true;
    } else if (FState == XA_PLAYER_STATE_PAUSED) {
        FOutput->Resume();
    }
    Reanchor();
    SetState(XA_PLAYER_STATE_PLAYING);
    ReportPosition(true);
}

void Player::Pause() {
    if (FState != XA_PLAYER_STATE_PLAYING) return;
    if (FOutput && FOutputStarted) FOutput->Pause();
    SetState(XA_PLAYER_STATE_PAUSED);
}

void Player::Stop(bool notify) {
    const bool wasActive = FState != XA_PLAYER_STATE_STOPPED;
    if (FOutput && FOutputStarted) {
        FOutput->Drop();
        FOutput->Stop();
    }
    FOutputStarted = false;
    if (FInputOpen) mpg123_seek(FMh, FSkip, SEEK_SET);
    FPlayed = 0;
    FState = XA_PLAYER_STATE_STOPPED;
    if (!notify) return;
    if (wasActive) SetState(XA_PLAYER_STATE_STOPPED);
    ReportPosition(true);
}

void Player::Seek(std::uint32_t offset, std::uint32_t range) {
    const off_t target = static_cast<off_t>(static_cast<long double>(FTotal) * offset / range);
    const off_t at = mpg123_seek(FMh, FSkip + std::min(target, FTotal), SEEK_SET);
    if (at < FSkip) return Nack(XA_MSG_COMMAND_INPUT_SEEK, XA_ERROR_SEEK_FAILED);
    if (FOutput && FOutputStarted) FOutput->Drop();
    FPlayed = at - FSkip;
    if (FState == XA_PLAYER_STATE_EOS) FState = XA_PLAYER_STATE_STOPPED;
    Reanchor();
    ReportPosition(true);
    Ack(XA_MSG_COMMAND_INPUT_SEEK);
}

void Player::ApplyEqualizer() {
    if (!FMh) return;
    if (!FEqualizer) {
        mpg123_reset_eq(FMh);
        return;
    }
    for (int band = 0; band < 32; ++band) {
        mpg123_eq(FMh, MPG123_LEFT, band, std::pow(10.0, FEqualizer->left[band] * 0.15 / 20.0));
        mpg123_eq(FMh, MPG123_RIGHT, band, std::pow(10.0, FEqualizer->right[band] * 0.15 / 20.0));
    }
}

void Player::ReportPosition(bool force) {
    std::int64_t offset = FTotal > 0 ? static_cast<std::int64_t>(static_cast<long double>(FPlayed) * FRange / FTotal) : 0;
    // The end of the stream is told by the player state alone.
    offset = std::min<std::int64_t>(offset, FRange - 1);
    if (force || offset != FLastOffset) {
        FLastOffset = offset;
        Notify(XA_MSG_NOTIFY_INPUT_POSITION, {{kDword | 0, static_cast<std::uint32_t>(offset)}, {kDword | 4, FRange}});
    }
    const std::int64_t ms = FPlayed * 1000LL / std::max(1L, FRate);
    const std::int64_t tick = ms / FGranularity;
    if (force || tick != FLastTick) {
        FLastTick = tick;
        const std::int64_t shown = tick * FGranularity;
        const std::int64_t s = shown / 1000;
        Notify(XA_MSG_NOTIFY_INPUT_TIMECODE, {{kByte | 0, static_cast<std::uint32_t>(s / 3600)},
                                              {kByte | 1, static_cast<std::uint32_t>(s / 60 % 60)},
                                              {kByte | 2, static_cast<std::uint32_t>(s % 60)},
                                              {kByte | 3, static_cast<std::uint32_t>(shown % 1000 / 10)}});
    }
}

void Player::DecodeSome() {
    std::size_t done = 0;
    const int r = mpg123_read(FMh, FBuffer.data(), FBuffer.size(), &done);
    if (r == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0, enc = 0;
        mpg123_getformat(FMh, &rate, &channels, &enc);
        if (rate != FRate || channels != FChannels) {
            FRate = rate;
            FChannels = channels;
            FOutput->Start(FRate, FChannels);
            Reanchor();
        }
    }
    if (done > 0) {
        auto* s = reinterpret_cast<std::int16_t*>(FBuffer.data());
        const std::size_t n = done / 2;
        const double level = FMuted ? 0.0 : FMaster / 100.0 * (FPcm / 100.0);
        double left = level, right = level;
        if (FChannels == 2) {
            if (FBalance > 50) left *= (100 - FBalance) / 50.0;
            if (FBalance < 50) right *= FBalance / 50.0;
        }
        if (left != 1.0 || right != 1.0) {
            for (std::size_t i = 0; i < n; ++i) {
                const double f = FChannels == 2 && (i & 1) ? right : left;
                s[i] = static_cast<std::int16_t>(std::lround(s[i] * f));
            }
        }
        if (!FOutput->Play(FBuffer.data(), done)) {
            if (!FOutput->IsDevice()) {
                Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_FAILED, "the output failed");
                Stop(true);
                return;
            }
            // A device that stops taking samples: the track goes on, paced, without sound.
            const std::string notice = "the sound device failed: playing to the null output";
            std::fprintf(stderr, "xaudio: %s\n", notice.c_str());
            Debug(notice);
            std::string why;
            FOutput = MakeOutput("null", why);
            FOutput->Start(FRate, FChannels);
            Reanchor();
        }
        const off_t frames = static_cast<off_t>(done / (2 * static_cast<std::size_t>(FChannels)));
        FPlayed += frames;
        if (FOutput->Pacing() == Pace::Virtual) {
            std::lock_guard lock(FMutex);
            FBudgetUs -= frames * 1000000LL / std::max(1L, FRate);
        }
        ReportPosition(false);
    }
    if (r == MPG123_DONE || (r != MPG123_OK && r != MPG123_NEW_FORMAT && done == 0)) {
        if (r != MPG123_DONE) Error(XA_SOURCE_CODEC, XA_ERROR_INVALID_FRAME, mpg123_strerror(FMh));
        FOutput->Drain();
        FOutput->Stop();
        FOutputStarted = false;
        SetState(XA_PLAYER_STATE_EOS);
    }
}

}  // namespace xaudio
