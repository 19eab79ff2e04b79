// Real-time playing through ALSA's pulse device into a PulseAudio null sink
// that the test starts itself: the blocks keep the stream's pace, and a block
// is heard on the sink's monitor soon after it is rendered, not several
// blocks later.
#include <gtest/gtest.h>
#include <poll.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fsound.h"
#include "fsound_stats.h"
#include "fsound_test_support.h"

using namespace fsound_test;

namespace {

constexpr int kMarked = 8;  // the one block that is not silence

// Silence, except one block, whose render time is noted.
struct Marker {
    std::atomic<int> blocks{0};
    Clock::time_point at[64];

    static signed char render(FSOUND_STREAM*, void* block, int length, void* self) {
        auto& m = *static_cast<Marker*>(self);
        const int n = m.blocks.load();
        if (n < 64) m.at[n] = Clock::now();
        auto* samples = static_cast<std::int16_t*>(block);
        for (int i = 0; i < length / 2; ++i) samples[i] = n == kMarked ? 8000 : 0;
        m.blocks.store(n + 1);
        return 1;
    }
};

// Reads the sink's monitor and notes when the first sound arrives.
struct Listener {
    std::atomic<bool> heard{false};
    Clock::time_point at;

    void run(std::stop_token stop, int fd) {
        std::int16_t buf[256];
        while (!stop.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) == 0) continue;
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) return;
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n / 2; ++i)
                if (buf[i] != 0 && !heard.load()) {
                    at = now;
                    heard.store(true);
                }
        }
    }
};

}  // namespace

TEST(PulseSink, BlocksKeepThePaceAndAreHeardWithinABlockOfRendering) {
    PulseServer server;
    ASSERT_TRUE(server.ready()) << "no PulseAudio server";
    setenv("ALSA_CONFIG_PATH", alsaConfig("fsound_pulse.conf").c_str(), 1);

    ASSERT_EQ(FSOUND_SetOutput(OUTPUT_ALSA), 1);
    ASSERT_EQ(FSOUND_SetDriver(driverNamed("pulse")), 1);
    ASSERT_EQ(FSOUND_Init(kRate, 32, 0), 1) << FSOUND_GetError();
    Marker m;
    FSOUND_STREAM* s = FSOUND_Stream_Create(Marker::render, kBlockBytes, kMode, kRate, &m);
    ASSERT_NE(s, nullptr) << FSOUND_GetError();

    Child monitor(
        {"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=5", "-d", "s.monitor"},
        true);
    ASSERT_TRUE(monitor.running());
    Listener listener;
    std::jthread listening([&](std::stop_token stop) { listener.run(stop, monitor.out()); });
    ASSERT_EQ(FSOUND_Stream_Play(0, s), 0) << FSOUND_GetError();

    // A fresh null sink may take up to its two-second idle timer to start
    // consuming; the pace is measured from then on.
    const bool marked = waitFor([&] { return listener.heard.load(); }, 15.0);
    FsoundStreamStats stats{};
    fsoundStreamStats(s, &stats);
    FSOUND_Stream_Close(s);
    FSOUND_Close();
    listening.request_stop();
    listening.join();
    monitor.stop();
    ASSERT_TRUE(marked) << "the marked block never reached the sink's monitor";
    ASSERT_GT(m.blocks.load(), kMarked);

    const double span = std::chrono::duration<double>(m.at[kMarked] - m.at[2]).count();
    const double error = span / ((kMarked - 2) * kBlockSeconds) - 1;
    const double delay = std::chrono::duration<double>(listener.at - m.at[kMarked]).count();
    std::printf("PulseAudio pacing: %d blocks in %.4f s, error %+.3f%%\n", kMarked - 2, span, 100 * error);
    std::printf("render to heard on the monitor: %.1f ms; PortAudio's own figure %.1f ms\n", 1000 * delay,
                1000 * stats.renderToPlay);
    std::printf("device buffers: %d..%d frames per callback, output latency %.1f ms\n", stats.minDeviceFrames,
                stats.maxDeviceFrames, 1000 * stats.outputLatency);
    RecordProperty("pacing_error_percent", std::to_string(100 * error));
    RecordProperty("render_to_heard_ms", std::to_string(1000 * delay));

    EXPECT_LT(std::fabs(error), 0.10);
    EXPECT_GT(delay, 0.0);
    EXPECT_LT(delay, kBlockSeconds) << "the device holds more than a block";
    EXPECT_LT(stats.maxDeviceFrames, 8192);
}
