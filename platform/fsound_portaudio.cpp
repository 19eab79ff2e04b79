// PortAudio behind the audio system: quiet session, device queries, and the
// output stream whose callback slices the stream's blocks to device size.
#include "fsound_portaudio.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kChannels = 2;
constexpr int kFrameBytes = 4;  // 16-bit stereo

void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA's probing of every configured PCM, JACK's attempt to reach a server
// and PortAudio's own failed-check lines all print to stderr; none of it is
// for the user, who gets one error message from us. ALSA's go to a handler
// that drops them; the rest is sent to /dev/null for the length of a call
// that probes devices (control calls on the main thread, never a callback).
class QuietStderr {
public:
    QuietStderr() noexcept {
        snd_lib_error_set_handler(ignoreAlsaMessage);
        std::fflush(stderr);
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

PaError quietInitialize() noexcept {
    QuietStderr quiet;
    return Pa_Initialize();
}

PaStreamParameters outputParameters(PaDeviceIndex device) noexcept {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = kChannels;
    p.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    p.suggestedLatency = info ? info->defaultLowOutputLatency : 0.0;
    p.hostApiSpecificStreamInfo = nullptr;
    return p;
}

}  // namespace

int audioErrorFromPortAudio(PaError err, int otherwise) noexcept {
    switch (err) {
        case paNoError:
            return AUDIO_OK;
        case paInvalidSampleRate:
        case paSampleFormatNotSupported:
        case paInvalidChannelCount:
            return AUDIO_ERR_FORMAT;
        case paDeviceUnavailable:
            return AUDIO_ERR_BUSY;
        case paInsufficientMemory:
            return AUDIO_ERR_MEMORY;
        case paNotInitialized:
        case paInvalidDevice:
        case paInvalidHostApi:
            return AUDIO_ERR_INIT;
        default:
            return otherwise;
    }
}

PortAudioSession::PortAudioSession() noexcept : status_(quietInitialize()) {}

PortAudioSession::~PortAudioSession() {
    if (ok()) Pa_Terminate();
}

PaHostApiIndex PortAudioSession::hostApi(PaHostApiTypeId type) const noexcept {
    if (!ok()) return -1;
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    return api >= 0 ? api : -1;
}

PaHostApiIndex PortAudioSession::defaultHostApi() const noexcept {
    if (!ok()) return -1;
    const PaHostApiIndex api = Pa_GetDefaultHostApi();
    return api >= 0 ? api : -1;
}

PaHostApiTypeId PortAudioSession::hostApiType(PaHostApiIndex api) const noexcept {
    const PaHostApiInfo* info = ok() && api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    return info ? info->type : paInDevelopment;
}

int PortAudioSession::outputDeviceCount(PaHostApiIndex api) const noexcept {
    const PaHostApiInfo* info = ok() && api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (!info) return 0;
    int count = 0;
    for (int i = 0; i < info->deviceCount; ++i) {
        const PaDeviceInfo* dev = Pa_GetDeviceInfo(Pa_HostApiDeviceIndexToDeviceIndex(api, i));
        if (dev && dev->maxOutputChannels >= kChannels) ++count;
    }
    return count;
}

PaDeviceIndex PortAudioSession::outputDevice(PaHostApiIndex api, int index) const noexcept {
    const PaHostApiInfo* info = ok() && api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (!info || index < 0) return paNoDevice;
    for (int i = 0; i < info->deviceCount; ++i) {
        const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(api, i);
        const PaDeviceInfo* dev = Pa_GetDeviceInfo(device);
        if (dev && dev->maxOutputChannels >= kChannels && index-- == 0) return device;
    }
    return paNoDevice;
}

const char* PortAudioSession::deviceName(PaDeviceIndex device) const noexcept {
    const PaDeviceInfo* dev = ok() && device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
    return dev ? dev->name : nullptr;
}

PaDeviceIndex PortAudioSession::defaultOutputDevice(PaHostApiIndex api) const noexcept {
    const PaHostApiInfo* info = ok() && api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (!info || info->defaultOutputDevice < 0) return paNoDevice;
    const PaDeviceInfo* dev = Pa_GetDeviceInfo(info->defaultOutputDevice);
    return dev && dev->maxOutputChannels >= kChannels ? info->defaultOutputDevice : paNoDevice;
}

int PortAudioSession::checkFormat(PaDeviceIndex device, int rate) const noexcept {
    if (!ok() || device < 0) return AUDIO_ERR_INIT;
    const PaStreamParameters out = outputParameters(device);
    QuietStderr quiet;
    return audioErrorFromPortAudio(Pa_IsFormatSupported(nullptr, &out, rate), AUDIO_ERR_INIT);
}

PortAudioOutput::~PortAudioOutput() { stop(false); }

int PortAudioOutput::open(PaDeviceIndex device, int rate) noexcept {
    const PaStreamParameters out = outputParameters(device);
    rate_ = rate;
    // Small device buffers: PortAudio picks the period for the device's low
    // latency and the slicer spreads each block across the callbacks.
    QuietStderr quiet;
    const PaError err = Pa_OpenStream(&stream_, nullptr, &out, rate, paFramesPerBufferUnspecified,
                                      paClipOff | paDitherOff, onDevice, this);
    if (err != paNoError) stream_ = nullptr;
    return audioErrorFromPortAudio(err, AUDIO_ERR_INIT);
}

int PortAudioOutput::start() noexcept {
    if (!stream_) return AUDIO_ERR_PLAY;
    // A stream whose callback has said stop stays at its end.
    if (Pa_IsStreamStopped(stream_) == 0) return AUDIO_OK;
    QuietStderr quiet;
    return audioErrorFromPortAudio(Pa_StartStream(stream_), AUDIO_ERR_PLAY);
}

void PortAudioOutput::stop(bool drain) noexcept {
    if (!stream_) return;
    // Both calls join PortAudio's callback thread before returning.
    if (drain)
        Pa_StopStream(stream_);
    else
        Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
}

double PortAudioOutput::outputLatency() const noexcept {
    const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(stream_) : nullptr;
    return info ? info->outputLatency : 0.0;
}

int PortAudioOutput::onDevice(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                              PaStreamCallbackFlags, void* self) KEYSYNTH_NONBLOCKING {
    auto& out = *static_cast<PortAudioOutput*>(self);
    const bool more = out.source_.fill(static_cast<std::byte*>(output), frames * kFrameBytes);

    // Only this thread writes the counters: plain loads and stores suffice.
    DeviceCounters& c = out.counters_;
    const auto n = static_cast<std::int32_t>(frames);
    const std::int64_t calls = c.callbacks.load(std::memory_order_relaxed);
    if (calls == 0 || n < c.minFrames.load(std::memory_order_relaxed)) c.minFrames.store(n, std::memory_order_relaxed);
    if (n > c.maxFrames.load(std::memory_order_relaxed)) c.maxFrames.store(n, std::memory_order_relaxed);
    c.callbacks.store(calls + 1, std::memory_order_relaxed);
    c.frames.store(c.frames.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    const long at = out.source_.renderedAt();
    if (at >= 0 && time && time->outputBufferDacTime > 0) {
        const double delay = time->outputBufferDacTime + (at / kFrameBytes) / out.rate_ - time->currentTime;
        c.renderToPlayMicros.store(static_cast<std::int32_t>(delay * 1e6), std::memory_order_relaxed);
    }
    return more ? paContinue : paComplete;
}
