// A real ALSA device: the test configuration's "capture" PCM writes every
// byte it plays to a file, over a null PCM that plays as fast as the CPU
// allows. What it wrote must be exactly the callback's blocks, in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "fsound.h"
#include "fsound_stats.h"
#include "fsound_test_support.h"

using namespace fsound_test;
using namespace std::chrono_literals;

namespace {

class AlsaCapture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSA_CONFIG_PATH", alsaConfig("fsound_test.conf").c_str(), 1);
        setenv("KEYSYNTH_CAPTURE_FILE", capture_.c_str(), 1);
        ASSERT_EQ(FSOUND_SetOutput(OUTPUT_ALSA), 1);
        ASSERT_EQ(FSOUND_GetOutput(), OUTPUT_ALSA);
        ASSERT_EQ(FSOUND_SetDriver(driverNamed("capture")), 1);
        ASSERT_EQ(FSOUND_Init(kRate, 32, 0), 1) << FSOUND_GetError();
    }
    void TearDown() override { FSOUND_Close(); }

    FSOUND_STREAM* play(Recorder& r) {
        FSOUND_STREAM* s = FSOUND_Stream_Create(Recorder::render, kBlockBytes, kMode, kRate, &r);
        r.expectedStream = s;
        EXPECT_NE(s, nullptr) << FSOUND_GetError();
        EXPECT_EQ(FSOUND_Stream_Play(0, s), 0) << FSOUND_GetError();
        return s;
    }

    // What the device wrote, without the silence it starts (and may end) with.
    std::vector<std::uint8_t> played() {
        auto bytes = readFile(capture_);
        const auto first = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
        EXPECT_EQ((first - bytes.begin()) % 4, 0) << "leading silence of part of a frame";
        bytes.erase(bytes.begin(), first);
        while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
        return bytes;
    }

    static std::vector<std::uint8_t> produced(int blocks) {
        std::vector<std::uint8_t> bytes(std::size_t(blocks) * kBlockBytes);
        for (std::int64_t f = 0; f < std::int64_t{blocks} * (kBlockBytes / 4); ++f) {
            std::int16_t lr[2];
            Recorder::frame(f, lr);
            std::memcpy(&bytes[4 * f], lr, 4);  // the machine is little-endian, like the frames
        }
        return bytes;
    }

    TempDir dir_;
    std::string capture_ = dir_.file("played.raw");
};

}  // namespace

TEST_F(AlsaCapture, TheDevicePlaysExactlyTheBlocksTheCallbackProducedInOrder) {
    Recorder r;
    r.stopAfter = 12;  // the null PCM has no pace of its own: the stream ends itself
    FSOUND_STREAM* s = play(r);
    ASSERT_TRUE(waitFor([&] { return r.blocks.load() == 12; }, 10.0));
    // Let the device finish the last block, then make sure.
    std::size_t size = 0;
    waitFor(
        [&] {
            const auto now = readFile(capture_).size();
            const bool still = now == size && now >= 12u * kBlockBytes;
            size = now;
            std::this_thread::sleep_for(20ms);
            return still;
        },
        10.0);
    FsoundStreamStats stats{};
    ASSERT_TRUE(fsoundStreamStats(s, &stats));
    ASSERT_EQ(FSOUND_Stream_Close(s), 1);
    std::printf("ALSA capture: %d frames per device callback (%d..%d), output latency %.1f ms\n", stats.minDeviceFrames,
                stats.minDeviceFrames, stats.maxDeviceFrames, 1000 * stats.outputLatency);

    EXPECT_EQ(r.blocks.load(), 12);
    EXPECT_EQ(r.badCalls.load(), 0);
    const auto bytes = played();
    ASSERT_EQ(bytes.size(), 12u * kBlockBytes);
    EXPECT_TRUE(bytes == produced(12));
    EXPECT_LT(stats.maxDeviceFrames, 8192) << "the device was handed whole blocks, not small buffers";
}

TEST_F(AlsaCapture, CloseMidStreamLeavesAPrefixOfTheBlocksAndNoLaterCallback) {
    Recorder r;
    r.dwell = 5ms;  // so that Close meets a callback in progress
    FSOUND_STREAM* s = play(r);
    ASSERT_TRUE(waitFor([&] { return r.blocks.load() >= 20 && r.inside.load() == 1; }, 10.0));
    ASSERT_EQ(FSOUND_Stream_Close(s), 1);
    EXPECT_EQ(r.inside.load(), 0);
    const int blocks = r.blocks.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(r.blocks.load(), blocks);
    EXPECT_EQ(r.badCalls.load(), 0);

    // Everything handed out was played: all blocks but the last, which
    // may have been cut short when the device stopped.
    const auto bytes = played();
    const auto all = produced(blocks);
    EXPECT_GE(bytes.size(), std::size_t(blocks - 1) * kBlockBytes);
    ASSERT_LE(bytes.size(), all.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), all.begin()));
}

namespace {

std::atomic<bool> windowClosed{false};

void closeWindowAtExit() {
    windowClosed.store(true);
    std::this_thread::sleep_for(200ms);
}

signed char checkWindow(FSOUND_STREAM*, void* block, int length, void*) {
    if (windowClosed.load()) _exit(3);
    std::memset(block, 1, length);
    return 1;
}

[[noreturn]] void exitWhilePlaying() {
    std::atexit(closeWindowAtExit);
    setenv("ALSA_CONFIG_PATH", alsaConfig("fsound_test.conf").c_str(), 1);
    setenv("KEYSYNTH_CAPTURE_FILE", "/dev/null", 1);
    FSOUND_SetOutput(OUTPUT_ALSA);
    FSOUND_SetDriver(driverNamed("capture"));
    if (!FSOUND_Init(kRate, 32, 0)) _exit(4);
    if (FSOUND_Stream_Play(0, FSOUND_Stream_Create(checkWindow, kBlockBytes, kMode, kRate, nullptr)) < 0) _exit(5);
    std::this_thread::sleep_for(30ms);
    std::exit(0);
}

}  // namespace

TEST(AlsaExit, ExitStopsTheDeviceStreamBeforeEarlierExitHandlersRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhilePlaying(), ::testing::ExitedWithCode(0), "");
}
