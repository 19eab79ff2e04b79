// Output 0: no device at all, but the stream keeps its real pace. A thread of
// its own renders one block per block duration on the steady clock and
// discards it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "fsound.h"

class NoSoundPacer {
public:
    NoSoundPacer(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata, std::byte* block, int length,
                 int rate) noexcept
        : stream_(stream), callback_(callback), userdata_(userdata), block_(block), length_(length), rate_(rate) {}
    ~NoSoundPacer() { stop(); }
    NoSoundPacer(const NoSoundPacer&) = delete;
    NoSoundPacer& operator=(const NoSoundPacer&) = delete;

    // False when the thread cannot be started. A second start does nothing.
    bool start() noexcept;
    // Returns when no callback runs any more and none follows.
    void stop() noexcept;

private:
    void run() noexcept;

    FSOUND_STREAM* stream_;
    FSOUND_STREAMCALLBACK callback_;
    void* userdata_;
    std::byte* block_;
    int length_;
    int rate_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
