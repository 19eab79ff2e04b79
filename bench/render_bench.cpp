// Cost of one 8192-frame block against the floor: one double sin a frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "patch.h"
#include "renderer.h"

namespace {

constexpr int FRAMES = STREAM_BYTES / 4;

// Times the benchmark's loop itself, for two plain figures: nanoseconds per
// frame, and the real-time factor (a block's duration over its render time).
class Figures {
public:
    explicit Figures(benchmark::State& state) : state_(state), start_(Clock::now()) {}
    ~Figures() {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        const double perBlock = seconds / static_cast<double>(state_.iterations());
        state_.counters["ns_per_frame"] = perBlock / FRAMES * 1e9;
        state_.counters["realtime_factor"] = (static_cast<double>(FRAMES) / MIX_RATE) / perBlock;
    }

private:
    using Clock = std::chrono::steady_clock;
    benchmark::State& state_;
    Clock::time_point start_;
};

// The least any exact sine or pulse voice must do: one sin per frame, over
// the arguments the oscillator produces (6.28 to 69).
void BM_SinFloor(benchmark::State& state) {
    float pos = 0.0f;
    Figures figures(state);
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < FRAMES; ++i) {
            pos = static_cast<float>(pos + 440.0 / 44100.0);
            if (pos > 10.0f) pos = static_cast<float>(pos - 10.0);
            sum += std::sin((pos + 1.0) * 6.2831853);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_SinFloor);

enum Patch { START, ROUTED_SINES, SPIKES };

void BM_Render(benchmark::State& state) {
    createPatch();
    note = 61;
    screen = nullptr;
    switch (static_cast<Patch>(state.range(0))) {
        case START:
            break;
        case ROUTED_SINES:
            lfo2.freq = 5.0f, lfo2.ampl = 0.3f;
            lfo3.freq = 3.0f, lfo3.ampl = 0.5f;
            lfo4.freq = 7.0f, lfo4.ampl = 0.2f;
            break;
        case SPIKES:
            osc1.type = WAVE_SPIKES;
            for (Oscillator* lfo : {&lfo1, &lfo2, &lfo3, &lfo4}) {
                lfo->type = WAVE_SPIKES;
                lfo->freq = 3.0f;
            }
            break;
    }
    std::vector<unsigned char> block(STREAM_BYTES);
    Figures figures(state);
    for (auto _ : state) {
        // Sound the decay from its start on every block: a level that moves,
        // and no segment message in the figures.
        env.segment = SEGMENT_DECAY;
        env.active = 1;
        env.elapsed = 0.0f;
        renderStream(nullptr, block.data(), STREAM_BYTES, nullptr);
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_Render)->ArgName("start_routed_spikes")->Arg(START)->Arg(ROUTED_SINES)->Arg(SPIKES);

}  // namespace
