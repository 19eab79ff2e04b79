// Test and measurement hook: what the device side of a playing stream has
// seen so far. Not part of the operations the program uses.
#pragma once

#include <cstdint>

#include "fsound.h"

struct FsoundStreamStats {
    std::int64_t deviceCallbacks;  // 0 for output 0, which has no device
    std::int64_t deviceFrames;
    int minDeviceFrames;  // frames per device callback
    int maxDeviceFrames;
    double outputLatency;  // seconds, as the device reported when opened
    double renderToPlay;   // seconds from the latest block's render to its first frame playing; -1 unknown
};

// False (and nothing written) for a handle that is not an open stream.
bool fsoundStreamStats(FSOUND_STREAM* stream, FsoundStreamStats* stats);
