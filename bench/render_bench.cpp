// Cost of one 8192-frame block against the floor: one double sin a frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "patch.h"
#include "renderer.h"

namespace {

constexpr int FRAMES = STREAM_BYTES / 4;

void report(benchmark::State& state) {
    using benchmark::Counter;
    state.counters["ns/frame"] = Counter(FRAMES * 1e-9, Counter::kIsIterationInvariantRate | Counter::kInvert);
    // block duration over render time
    state.counters["realtime_x"] = Counter(static_cast<double>(FRAMES) / MIX_RATE, Counter::kIsIterationInvariantRate);
}

// The least any exact sine or pulse voice must do: one sin per frame, over
// the arguments the oscillator produces (6.28 to 69).
void BM_SinFloor(benchmark::State& state) {
    float pos = 0.0f;
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < FRAMES; ++i) {
            pos = static_cast<float>(pos + 440.0 / 44100.0);
            if (pos > 10.0f) pos = static_cast<float>(pos - 10.0);
            sum += std::sin((pos + 1.0) * 6.2831853);
        }
        benchmark::DoNotOptimize(sum);
    }
    report(state);
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
    for (auto _ : state) {
        // Sound the decay from its start on every block: a level that moves,
        // and no segment message in the figures.
        env.segment = SEGMENT_DECAY;
        env.active = 1;
        env.elapsed = 0.0f;
        renderStream(nullptr, block.data(), STREAM_BYTES, nullptr);
        benchmark::DoNotOptimize(block.data());
    }
    report(state);
}
BENCHMARK(BM_Render)->ArgName("start_routed_spikes")->Arg(START)->Arg(ROUTED_SINES)->Arg(SPIKES);

}  // namespace
