// The renderer on one thread while another edits the patch, as the program
// runs. Meant for ThreadSanitizer: every shared field must be race-free.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "patch.h"
#include "renderer.h"

TEST(Threads, RenderWhileTheMainThreadPlays) {
    createPatch();
    note = 58;
    screen = nullptr;
    testing::internal::CaptureStdout();

    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<unsigned char> block(STREAM_BYTES);
        while (!done.load()) {
            renderStream(nullptr, block.data(), STREAM_BYTES, &osc1);
            blocks.fetch_add(1);
        }
    });

    Oscillator* oscs[] = {&osc1, &lfo1, &lfo2, &lfo3, &lfo4};
    for (int i = 0; i < 400 || blocks.load() < 8; ++i) {
        if (i % 7 == 0) env.trigger();
        if (i % 11 == 0) env.release();
        note = 50 + i % 20;
        Oscillator& o = *oscs[i % 5];
        o.type = 1 + i % 5;
        o.freq = static_cast<float>(o.freq) + 0.5f;
        o.ampl = static_cast<float>(o.ampl) - 0.01f;
        o.phase = 1.0f;
        o.print();  // reads what the renderer writes
        std::this_thread::yield();
    }
    done = true;
    audio.join();
    testing::internal::GetCapturedStdout();
    EXPECT_GE(blocks.load(), 8);
}
