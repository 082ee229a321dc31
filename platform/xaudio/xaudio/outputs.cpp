// The outputs of a player: the sound device through out123, the null outputs and the WAV writer.
#include "platform/xaudio/xaudio/outputs.h"

#include <mpg123.h>
#include <out123.h>

#include <cstring>

#include "platform/win/statedir.h"

namespace xaudio {

namespace {

class DeviceOutput : public Output {
public:
    ~DeviceOutput() override {
        if (FAo) {
            out123_drop(FAo);
            out123_close(FAo);
            out123_del(FAo);
        }
    }
    bool Open(std::string& error) {
        FAo = out123_new();
        if (!FAo) {
            error = "cannot make the audio output";
            return false;
        }
        out123_param2(FAo, OUT123_FLAGS, OUT123_QUIET, 0.0, nullptr);
        // The sound servers and kernel drivers only: modules that accept samples without a device
        // behind them would leave the player writing into nothing, or block it.
        if (out123_open(FAo, "pulse,alsa,oss,sndio", nullptr) != OUT123_OK) {
            error = std::string("no sound device (") + out123_strerror(FAo) + ")";
            return false;
        }
        return true;
    }
    bool Start(long rate, int channels) override {
        if (FStarted) out123_stop(FAo);
        FStarted = out123_start(FAo, rate, channels, MPG123_ENC_SIGNED_16) == OUT123_OK;
        return FStarted;
    }
    bool Play(const void* data, std::size_t bytes) override {
        return out123_play(FAo, const_cast<void*>(data), bytes) == bytes;
    }
    void Pause() override { out123_pause(FAo); }
    void Resume() override { out123_continue(FAo); }
    void Drop() override { out123_drop(FAo); }
    void Drain() override { out123_drain(FAo); }
    void Stop() override {
        if (FStarted) out123_stop(FAo);
        FStarted = false;
    }
    Pace Pacing() const override { return Pace::Self; }
    bool IsDevice() const override { return true; }

private:
    out123_handle* FAo = nullptr;
    bool FStarted = false;
};

class NullOutput : public Output {
public:
    explicit NullOutput(Pace pace) : FPace(pace) {}
    bool Start(long, int) override { return true; }
    bool Play(const void*, std::size_t) override { return true; }
    Pace Pacing() const override { return FPace; }

private:
    Pace FPace;
};

void Put16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// A canonical 44-byte header PCM WAV file; the sizes are written when the stream ends.
class WavOutput : public Output {
public:
    explicit WavOutput(std::string path) : FPath(std::move(path)) {}
    ~WavOutput() override { Stop(); }
    bool Start(long rate, int channels) override {
        Stop();
        FFile = std::fopen(FPath.c_str(), "wb");
        if (!FFile) return false;
        FRate = rate;
        FChannels = channels;
        FData = 0;
        return WriteHeader();
    }
    bool Play(const void* data, std::size_t bytes) override {
        if (!FFile) return false;
        if (std::fwrite(data, 1, bytes, FFile) != bytes) return false;
        FData += bytes;
        return true;
    }
    void Drain() override {
        if (FFile) std::fflush(FFile);
    }
    void Stop() override {
        if (!FFile) return;
        std::fseek(FFile, 0, SEEK_SET);
        WriteHeader();
        std::fclose(FFile);
        FFile = nullptr;
    }
    Pace Pacing() const override { return Pace::None; }

private:
    bool WriteHeader() {
        unsigned char h[44];
        std::memcpy(h, "RIFF", 4);
        Put32(h + 4, static_cast<std::uint32_t>(36 + FData));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        Put32(h + 16, 16);
        Put16(h + 20, 1);
        Put16(h + 22, static_cast<unsigned>(FChannels));
        Put32(h + 24, static_cast<std::uint32_t>(FRate));
        Put32(h + 28, static_cast<std::uint32_t>(FRate * FChannels * 2));
        Put16(h + 32, static_cast<unsigned>(FChannels * 2));
        Put16(h + 34, 16);
        std::memcpy(h + 36, "data", 4);
        Put32(h + 40, static_cast<std::uint32_t>(FData));
        return std::fwrite(h, 1, sizeof h, FFile) == sizeof h;
    }
    std::string FPath;
    std::FILE* FFile = nullptr;
    long FRate = 44100;
    int FChannels = 2;
    std::size_t FData = 0;
};

}  // namespace

std::unique_ptr<Output> MakeOutput(const std::string& name, std::string& error) {
    if (name == "null") return std::make_unique<NullOutput>(Pace::Wall);
    if (name == "null:fast") return std::make_unique<NullOutput>(Pace::None);
    if (name == "null:manual") return std::make_unique<NullOutput>(Pace::Virtual);
    if (name.rfind("wav:", 0) == 0 && name.size() > 4) {
        std::string path = win::LocalPath(name.substr(4));
        std::FILE* probe = std::fopen(path.c_str(), "ab");
        if (!probe) {
            error = "cannot write " + path;
            return nullptr;
        }
        std::fclose(probe);
        return std::make_unique<WavOutput>(path);
    }
    if (name == "device" || name.empty()) {
        auto d = std::make_unique<DeviceOutput>();
        if (!d->Open(error)) return nullptr;
        return d;
    }
    error = "unknown output \"" + name + "\"";
    return nullptr;
}

}  // namespace xaudio
