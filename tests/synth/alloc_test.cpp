// A render call must not allocate: every malloc and operator new in the
// process is counted while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "patch.h"
#include "renderer.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

extern "C" void* malloc(std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}

void* operator new(std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }

TEST(Alloc, RenderingABlockAllocatesNothing) {
    createPatch();
    note = 61;
    screen = nullptr;
    std::vector<unsigned char> block(STREAM_BYTES);
    testing::internal::CaptureStdout();
    for (int wave : {WAVE_SINE, WAVE_RAMP, WAVE_RAMP_CENTRED, WAVE_PULSE, WAVE_SPIKES}) {
        env.trigger();
        for (Oscillator* o : {&osc1, &lfo1, &lfo2, &lfo3, &lfo4}) {
            o->type = wave;
            o->freq = 5.0f;
        }
        for (int i = 0; i < 14; ++i) {  // crosses the end of the attack and its message
            counting = true;
            renderStream(nullptr, block.data(), STREAM_BYTES, nullptr);
            counting = false;
        }
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(allocations.load(), 0);
}
