// The audio system's operations: output and driver choice, initialisation,
// user streams and the error code of the last failure. Outputs other than 0
// play through PortAudio; output 0 is paced by a thread of its own.
#include "fsound.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "fsound_nosound.h"
#include "fsound_portaudio.h"
#include "fsound_slicer.h"
#include "fsound_stats.h"

namespace {

constexpr float kVersion = 3.74f;
constexpr int kRate = 44100;
constexpr unsigned kModeNeeded = STREAM_16BITS | STREAM_STEREO | STREAM_SIGNED;
constexpr int kPlatformDefault = -1;  // no output chosen yet: the platform's default host API
const char* const kNoSoundDriver = "No sound";

struct OutputApi {
    int code;
    PaHostApiTypeId type;
};

// Output codes that name a PortAudio host API. OUTPUT_ESD has none and so
// always falls back to the platform's default.
constexpr OutputApi kOutputApis[] = {
    {OUTPUT_WAVEOUT, paMME}, {OUTPUT_DIRECTSOUND, paDirectSound}, {OUTPUT_OSS, paOSS}, {OUTPUT_ALSA, paALSA},
    {OUTPUT_ASIO, paASIO},
};

bool isOutputCode(int code) {
    return code == OUTPUT_NOSOUND || code == OUTPUT_ESD ||
           std::any_of(std::begin(kOutputApis), std::end(kOutputApis),
                       [code](const OutputApi& m) { return m.code == code; });
}

}  // namespace

// A user stream: its block, and either a device stream or the no-sound pacer.
struct FSOUND_STREAM {
    FSOUND_STREAM(FSOUND_STREAMCALLBACK callback, int length, void* userdata)
    noexcept
        : block(new (std::nothrow) std::byte[length]()),
          slicer(this, callback, userdata, block.get(), length),
          pacer(this, callback, userdata, block.get(), length, kRate) {}

    // Returns when no callback runs any more and none follows.
    void stop(bool drain) noexcept {
        if (device) device->stop(drain);
        pacer.stop();
    }

    std::unique_ptr<std::byte[]> block;
    BlockSlicer slicer;
    NoSoundPacer pacer;                       // output 0
    std::unique_ptr<PortAudioOutput> device;  // every other output
    int channel = -1;                         // -1 until played
};

namespace {

struct AudioSystem {
    std::mutex mutex;                           // control calls only; no callback ever takes it
    std::optional<PortAudioSession> portAudio;  // from first use to FSOUND_Close
    int requested = kPlatformDefault;
    bool resolved = false;  // output and hostApi below follow `requested`
    int output = OUTPUT_NOSOUND;
    PaHostApiIndex hostApi = -1;
    int driver = -1;  // -1: the output's default device
    bool initialised = false;
    PaDeviceIndex device = paNoDevice;
    int error = AUDIO_OK;
    std::vector<FSOUND_STREAM*> streams;
    bool exitHandlerRegistered = false;
};

AudioSystem& audio() {
    static AudioSystem system;
    return system;
}

void closeEverything(AudioSystem& a, bool drain) {
    for (FSOUND_STREAM* s : a.streams) {
        s->stop(drain);
        delete s;
    }
    a.streams.clear();
    a.initialised = false;
    a.device = paNoDevice;
    a.portAudio.reset();
    a.resolved = false;
}

// Exit may begin while a stream plays (Escape in the window). Registered
// after the program's own exit handlers, this runs before them, so no
// callback touches what they shut down.
void stopAtExit() {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    closeEverything(a, false);
}

void registerExitHandler(AudioSystem& a) {
    if (a.exitHandlerRegistered) return;
    a.exitHandlerRegistered = std::atexit(stopAtExit) == 0;
}

PortAudioSession& session(AudioSystem& a) {
    if (!a.portAudio) {
        a.portAudio.emplace();
        registerExitHandler(a);
    }
    return *a.portAudio;
}

int codeOfHostApi(PaHostApiTypeId type, int requested) {
    for (const OutputApi& m : kOutputApis)
        if (m.type == type) return m.code;
    return requested;  // a default host API that no code names
}

// Settles the output in effect: the requested host API where the platform
// has it, else the platform's default one.
void resolveOutput(AudioSystem& a) {
    if (a.resolved) return;
    a.resolved = true;
    a.hostApi = -1;
    a.output = a.requested;
    if (a.requested == OUTPUT_NOSOUND) return;
    PortAudioSession& pa = session(a);
    for (const OutputApi& m : kOutputApis)
        if (m.code == a.requested) a.hostApi = pa.hostApi(m.type);
    if (a.hostApi < 0) a.hostApi = pa.defaultHostApi();
    if (a.hostApi >= 0) a.output = codeOfHostApi(pa.hostApiType(a.hostApi), a.requested);
}

int driverCount(AudioSystem& a) {
    resolveOutput(a);
    if (a.output == OUTPUT_NOSOUND) return 1;
    return session(a).outputDeviceCount(a.hostApi);
}

template <typename T>
T fail(AudioSystem& a, int code, T result) {
    a.error = code;
    return result;
}

bool isOpen(const AudioSystem& a, const FSOUND_STREAM* s) {
    return s && std::find(a.streams.begin(), a.streams.end(), s) != a.streams.end();
}

}  // namespace

float FSOUND_GetVersion() { return kVersion; }

signed char FSOUND_SetOutput(int output) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (a.initialised) return fail(a, AUDIO_ERR_ALREADY_INITIALISED, static_cast<signed char>(0));
    if (!isOutputCode(output)) return fail(a, AUDIO_ERR_INVALID_PARAM, static_cast<signed char>(0));
    a.requested = output;
    a.resolved = false;
    a.driver = -1;  // driver indices belong to an output
    resolveOutput(a);
    a.error = AUDIO_OK;
    return 1;
}

int FSOUND_GetOutput() {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    resolveOutput(a);
    return a.output;
}

int FSOUND_GetNumDrivers() {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    return driverCount(a);
}

const char* FSOUND_GetDriverName(int driver) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (driver < 0 || driver >= driverCount(a))
        return fail(a, AUDIO_ERR_INVALID_PARAM, static_cast<const char*>(nullptr));
    a.error = AUDIO_OK;
    if (a.output == OUTPUT_NOSOUND) return kNoSoundDriver;
    PortAudioSession& pa = session(a);
    return pa.deviceName(pa.outputDevice(a.hostApi, driver));
}

signed char FSOUND_SetDriver(int driver) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (a.initialised) return fail(a, AUDIO_ERR_ALREADY_INITIALISED, static_cast<signed char>(0));
    if (driver < 0 || driver >= driverCount(a)) return fail(a, AUDIO_ERR_INVALID_PARAM, static_cast<signed char>(0));
    a.driver = driver;
    a.error = AUDIO_OK;
    return 1;
}

signed char FSOUND_Init(int mixRate, int softwareChannels, unsigned int) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    constexpr signed char failed = 0;
    if (a.initialised) return fail(a, AUDIO_ERR_ALREADY_INITIALISED, failed);
    if (mixRate != kRate || softwareChannels < 0) return fail(a, AUDIO_ERR_INVALID_PARAM, failed);
    resolveOutput(a);
    a.device = paNoDevice;
    if (a.output != OUTPUT_NOSOUND) {
        PortAudioSession& pa = session(a);
        const PaDeviceIndex device =
            a.driver < 0 ? pa.defaultOutputDevice(a.hostApi) : pa.outputDevice(a.hostApi, a.driver);
        if (device == paNoDevice) return fail(a, AUDIO_ERR_INIT, failed);
        if (const int code = pa.checkFormat(device, mixRate)) return fail(a, code, failed);
        a.device = device;
    }
    a.initialised = true;
    registerExitHandler(a);
    a.error = AUDIO_OK;
    return 1;
}

int FSOUND_GetError() {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    return a.error;
}

FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int length, unsigned int mode, int sampleRate,
                                    void* userdata) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    FSOUND_STREAM* const none = nullptr;
    if (!a.initialised) return fail(a, AUDIO_ERR_NOT_INITIALISED, none);
    if (!callback || length <= 0 || length % 4 != 0 || (mode & kModeNeeded) != kModeNeeded || sampleRate != kRate)
        return fail(a, AUDIO_ERR_INVALID_PARAM, none);

    std::unique_ptr<FSOUND_STREAM> s(new (std::nothrow) FSOUND_STREAM(callback, length, userdata));
    if (!s || !s->block) return fail(a, AUDIO_ERR_MEMORY, none);
    if (a.output != OUTPUT_NOSOUND) {
        s->device.reset(new (std::nothrow) PortAudioOutput(s->slicer));
        if (!s->device) return fail(a, AUDIO_ERR_MEMORY, none);
        if (const int code = s->device->open(a.device, sampleRate)) return fail(a, code, none);
    }
    a.streams.push_back(s.get());
    a.error = AUDIO_OK;
    return s.release();
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (!a.initialised) return fail(a, AUDIO_ERR_NOT_INITIALISED, -1);
    if (!isOpen(a, stream) || channel < -1) return fail(a, AUDIO_ERR_INVALID_PARAM, -1);
    if (stream->channel >= 0) return stream->channel;  // already playing
    if (stream->device) {
        if (const int code = stream->device->start()) return fail(a, code, -1);
    } else if (!stream->pacer.start()) {
        return fail(a, AUDIO_ERR_PLAY, -1);
    }
    stream->channel = channel < 0 ? 0 : channel;  // -1 asks for any channel
    a.error = AUDIO_OK;
    return stream->channel;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    constexpr signed char failed = 0;
    if (!a.initialised) return fail(a, AUDIO_ERR_NOT_INITIALISED, failed);
    if (!isOpen(a, stream)) return fail(a, AUDIO_ERR_INVALID_PARAM, failed);
    a.streams.erase(std::find(a.streams.begin(), a.streams.end(), stream));
    stream->stop(true);
    delete stream;
    a.error = AUDIO_OK;
    return 1;
}

void FSOUND_Close() {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    closeEverything(a, true);
}

bool fsoundStreamStats(FSOUND_STREAM* stream, FsoundStreamStats* stats) {
    AudioSystem& a = audio();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (!isOpen(a, stream) || !stats) return false;
    *stats = FsoundStreamStats{0, 0, 0, 0, 0.0, -1.0};
    if (!stream->device) return true;
    const DeviceCounters& c = stream->device->counters();
    constexpr auto relaxed = std::memory_order_relaxed;
    stats->deviceCallbacks = c.callbacks.load(relaxed);
    stats->deviceFrames = c.frames.load(relaxed);
    stats->minDeviceFrames = c.minFrames.load(relaxed);
    stats->maxDeviceFrames = c.maxFrames.load(relaxed);
    stats->outputLatency = stream->device->outputLatency();
    const int micros = c.renderToPlayMicros.load(relaxed);
    stats->renderToPlay = micros < 0 ? -1.0 : micros / 1e6;
    return true;
}
