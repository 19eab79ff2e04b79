// Output 0: the pacing thread calls the callback at the stream's real pace,
// stops for good when closed, and is stopped before other exit handlers run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fsound.h"
#include "fsound_test_support.h"

using namespace fsound_test;
using namespace std::chrono_literals;

namespace {

class NoSound : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FSOUND_SetOutput(OUTPUT_NOSOUND), 1);
        ASSERT_EQ(FSOUND_Init(kRate, 32, 0), 1);
    }
    void TearDown() override { FSOUND_Close(); }

    FSOUND_STREAM* play(Recorder& r) {
        FSOUND_STREAM* s = FSOUND_Stream_Create(Recorder::render, kBlockBytes, kMode, kRate, &r);
        r.expectedStream = s;
        EXPECT_NE(s, nullptr);
        EXPECT_EQ(FSOUND_Stream_Play(0, s), 0);
        return s;
    }
};

}  // namespace

TEST_F(NoSound, BlocksComeAtTheStreamsPaceWithoutDrift) {
    Recorder r;
    const auto start = Clock::now();
    FSOUND_STREAM* s = play(r);
    ASSERT_TRUE(waitFor([&] { return r.blocks.load() >= 7; }, 5.0));
    FSOUND_Stream_Close(s);
    EXPECT_EQ(r.badCalls.load(), 0);

    // The first block is asked for at once; six more take six block lengths.
    EXPECT_LT(std::chrono::duration<double>(r.at[0] - start).count(), 0.1 * kBlockSeconds);
    const double span = r.secondsBetween(0, 6);
    const double error = span / (6 * kBlockSeconds) - 1;
    std::printf("no-sound pacing: 6 blocks in %.4f s, expected %.4f s, error %+.3f%%\n", span, 6 * kBlockSeconds,
                100 * error);
    RecordProperty("pacing_error_percent", std::to_string(100 * error));
    EXPECT_LT(std::fabs(error), 0.10);
    for (int i = 1; i <= 6; ++i) {  // each block on its own time, not late by a sum of waits
        const double late = r.secondsBetween(0, i) - i * kBlockSeconds;
        EXPECT_LT(std::fabs(late), 0.1 * kBlockSeconds) << "block " << i;
    }
}

TEST_F(NoSound, NoCallbackRunsOrFollowsOnceCloseReturns) {
    Recorder r;
    r.dwell = 40ms;  // so that Close meets a callback in progress
    FSOUND_STREAM* s = play(r);
    ASSERT_TRUE(waitFor([&] { return r.blocks.load() >= 1 && r.inside.load() == 1; }, 5.0));
    ASSERT_EQ(FSOUND_Stream_Close(s), 1);
    EXPECT_EQ(r.inside.load(), 0);
    const int after = r.blocks.load();
    std::this_thread::sleep_for(std::chrono::duration<double>(2.5 * kBlockSeconds));
    EXPECT_EQ(r.blocks.load(), after);
}

TEST_F(NoSound, ACallbackThatSaysStopIsNotCalledAgain) {
    Recorder r;
    r.stopAfter = 2;
    FSOUND_STREAM* s = play(r);
    std::this_thread::sleep_for(std::chrono::duration<double>(4 * kBlockSeconds));
    EXPECT_EQ(r.blocks.load(), 2);
    EXPECT_EQ(FSOUND_Stream_Play(0, s), 0);  // playing already; nothing restarts
    EXPECT_EQ(FSOUND_Stream_Close(s), 1);
    EXPECT_EQ(r.blocks.load(), 2);
}

namespace {

// Stands for the program's window shutdown, registered before the audio
// system: any callback after it would touch a closed window.
std::atomic<bool> windowClosed{false};

void closeWindowAtExit() {
    windowClosed.store(true);
    std::this_thread::sleep_for(std::chrono::duration<double>(2.5 * kBlockSeconds));
}

signed char checkWindow(FSOUND_STREAM*, void*, int, void*) {
    if (windowClosed.load()) _exit(3);
    return 1;
}

[[noreturn]] void exitWhilePlaying() {
    std::atexit(closeWindowAtExit);
    FSOUND_SetOutput(OUTPUT_NOSOUND);
    FSOUND_Init(kRate, 32, 0);
    FSOUND_Stream_Play(0, FSOUND_Stream_Create(checkWindow, kBlockBytes, kMode, kRate, nullptr));
    std::this_thread::sleep_for(std::chrono::duration<double>(1.5 * kBlockSeconds));
    std::exit(0);
}

}  // namespace

TEST(NoSoundExit, ExitStopsTheStreamBeforeEarlierExitHandlersRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhilePlaying(), ::testing::ExitedWithCode(0), "");
}
