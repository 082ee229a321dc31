// Where a player's decoded samples go: the sound device (out123), nowhere (the null outputs with
// their clocks), or a WAV file. Every output takes 16-bit signed interleaved samples.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace xaudio {

// How the player paces its decoding for an output.
enum class Pace {
    Self,     // the output blocks by itself (a device) or takes everything at once (a file)
    Wall,     // the player waits for the wall clock
    Virtual,  // the player waits for its virtual clock (AdvanceNullClock)
    None,     // as fast as decoding goes
};

class Output {
public:
    virtual ~Output() = default;
    // Begins a stream of the given format; false when the output refuses it.
    virtual bool Start(long rate, int channels) = 0;
    // Plays `bytes` bytes of samples; false on a failure.
    virtual bool Play(const void* data, std::size_t bytes) = 0;
    virtual void Pause() {}
    virtual void Resume() {}
    // Drops what is queued (stop, seek).
    virtual void Drop() {}
    // Waits until what is queued has been played (end of a track).
    virtual void Drain() {}
    // Ends the stream; a later Start begins a new one.
    virtual void Stop() {}
    virtual Pace Pacing() const = 0;
    virtual bool IsDevice() const { return false; }
};

// The output for an output name ("device", "null", "null:fast", "null:manual", "wav:PATH").
// Returns nullptr for a name it does not know or a device or file that cannot be opened;
// `error` then says why.
std::unique_ptr<Output> MakeOutput(const std::string& name, std::string& error);

}  // namespace xaudio
