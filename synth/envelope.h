// Envelope: the voice's gate-driven level. A trigger starts a 100,000-frame
// attack up to 1.0, followed by a 1,000,000-frame decay down to 0.0; a
// release silences it at once. The level is halved at the end of every
// running tick, so it never exceeds 0.5.
//
// States (active, segment):
//   Idle      0, 0 or 3   tick does nothing
//   Attack    1, 0        counts, ramps up, then Decay ("Segment [0]")
//   Decay     1, 1        counts, ramps down, then Idle ("Segment [1]")
//   Released  1, 3        halves the level, until the next trigger
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "realtime.h"
#include "relaxed.h"

struct EnvelopeSegment {
    float duration;  // thousands of frames
    float target;    // level set when the segment ends
};

enum : std::int32_t {
    SEGMENT_ATTACK = 0,
    SEGMENT_DECAY = 1,
    SEGMENT_RELEASED = 3,
};

// trigger and release run on the main thread, tick on the audio thread; the
// fields are shared without a lock and stored in a fixed order.
class Envelope {
public:
    SharedFloat elapsed;  // frames counted in the current segment, a whole number
    SharedInt segment;    // SEGMENT_ATTACK, SEGMENT_DECAY or SEGMENT_RELEASED
    SharedInt active;     // 1 while running
    SharedFloat level;    // output level, read by the renderer
    const std::array<EnvelopeSegment, 2> segments{{{100.0f, 1.0f}, {1000.0f, 0.0f}}};

    Envelope() noexcept;

    void trigger();  // prints "\nTRIG\n", restarts the attack
    void release();  // prints "UNTRIG\n", level 0.0
    void tick() noexcept;
};

inline void Envelope::tick() noexcept {
    if (active != 1) return;
    const std::int32_t k = segment;  // read once: a release mid-tick never indexes with 3
    if (k < SEGMENT_RELEASED) {
        const float e = static_cast<float>(static_cast<double>(elapsed) + 1.0);
        elapsed = e;
        const double length = static_cast<double>(segments[k].duration) * 1000.0;
        if (length > static_cast<double>(e)) {
            const double target = segments[0].target;  // both ramps use the attack's target
            const float p = static_cast<float>(target * static_cast<double>(e));
            if (k == SEGMENT_ATTACK)
                level = static_cast<float>(static_cast<double>(p) / length);
            else
                level = static_cast<float>(target - static_cast<double>(p) / length);
        } else {
            level = segments[k].target;
            elapsed = 0.0f;
            {
                [[maybe_unused]] AllowedIoOnAudioThread allowed;
                std::printf("Segment [%d]\n", k);
            }
            segment = k + 1;
            if (k + 1 > SEGMENT_DECAY) {
                level = 0.0f;
                active = 0;
                segment = SEGMENT_ATTACK;
            }
        }
    }
    level = static_cast<float>(static_cast<double>(level) / 2.0);
}
