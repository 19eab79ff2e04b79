// The audio system's use of PortAudio: a scoped, quiet library session with
// its device queries, and one 16-bit stereo output stream fed by a
// BlockSlicer. PortAudio's error codes become ours here and nowhere else.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <cstdint>

#include "fsound_slicer.h"
#include "realtime.h"

// Our error code for a PortAudio failure; `otherwise` for failures that have
// no closer match (3 when opening, 5 when starting).
int audioErrorFromPortAudio(PaError err, int otherwise) noexcept;

// Pa_Initialize with ALSA's and JACK's complaints kept off the console, and
// Pa_Terminate at the end of the scope.
class PortAudioSession {
public:
    PortAudioSession() noexcept;
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

    bool ok() const noexcept { return status_ == paNoError; }

    // Index of the host API of that type, or -1 when this platform lacks it.
    PaHostApiIndex hostApi(PaHostApiTypeId type) const noexcept;
    PaHostApiIndex defaultHostApi() const noexcept;
    PaHostApiTypeId hostApiType(PaHostApiIndex api) const noexcept;

    // The host API's devices that can play two channels or more, counted
    // from 0; device() gives paNoDevice for an index out of range.
    int outputDeviceCount(PaHostApiIndex api) const noexcept;
    PaDeviceIndex outputDevice(PaHostApiIndex api, int index) const noexcept;
    const char* deviceName(PaDeviceIndex device) const noexcept;
    PaDeviceIndex defaultOutputDevice(PaHostApiIndex api) const noexcept;

    // Our error code (0 when playable) for 16-bit stereo at `rate` frames/s.
    int checkFormat(PaDeviceIndex device, int rate) const noexcept;

private:
    PaError status_;
};

// What the device side of a stream has seen, for tests and measurements.
struct DeviceCounters {
    std::atomic<std::int64_t> callbacks{0};
    std::atomic<std::int64_t> frames{0};
    std::atomic<std::int32_t> minFrames{0};
    std::atomic<std::int32_t> maxFrames{0};
    std::atomic<std::int32_t> renderToPlayMicros{-1};
    static_assert(std::atomic<std::int64_t>::is_always_lock_free);
};

// One output stream, opened on a device, closed at the end of the scope.
class PortAudioOutput {
public:
    explicit PortAudioOutput(BlockSlicer& source) noexcept : source_(source) {}
    ~PortAudioOutput();
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    // Each returns our error code, 0 on success.
    int open(PaDeviceIndex device, int rate) noexcept;
    int start() noexcept;
    // Returns when no device callback runs any more and none follows;
    // `drain` first lets the device play what it has been given.
    void stop(bool drain) noexcept;

    double outputLatency() const noexcept;
    const DeviceCounters& counters() const noexcept { return counters_; }

private:
    static int onDevice(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                        PaStreamCallbackFlags flags, void* self) KEYSYNTH_NONBLOCKING;

    BlockSlicer& source_;
    PaStream* stream_ = nullptr;
    double rate_ = 0;
    DeviceCounters counters_;
};
