// The pacing thread of output 0.
#include "fsound_nosound.h"

#include <chrono>
#include <cstdint>
#include <system_error>

bool NoSoundPacer::start() noexcept {
    if (thread_.joinable()) return true;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void NoSoundPacer::stop() noexcept {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // stopped from its own callback: it ends after this call
        return;
    }
    thread_.join();
}

void NoSoundPacer::run() noexcept {
    using namespace std::chrono;
    const auto origin = steady_clock::now();
    const std::int64_t frames = length_ / 4;
    // Block n is due at origin + n blocks, reckoned from the origin each
    // time so that waking late never accumulates into drift.
    for (std::int64_t n = 1;; ++n) {
        if (callback_(stream_, block_, length_, userdata_) == 0) return;
        const std::int64_t played = n * frames;
        const auto due = origin + seconds(played / rate_) + nanoseconds((played % rate_) * 1'000'000'000 / rate_);
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_until(lock, due, [this] { return stopping_; })) return;
    }
}
