// A 32-bit value shared between the main thread and the audio thread.
// Each read and write is one whole relaxed atomic access: no lock, no
// ordering, just no torn or undefined data race.
#pragma once

#include <atomic>
#include <cstdint>

template <typename T>
class Relaxed {
    static_assert(sizeof(T) == 4 && std::atomic<T>::is_always_lock_free);

public:
    constexpr Relaxed(T v = T{}) noexcept : v_(v) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;

    operator T() const noexcept { return v_.load(std::memory_order_relaxed); }
    Relaxed& operator=(T v) noexcept {
        v_.store(v, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<T> v_;
};

using SharedFloat = Relaxed<float>;
using SharedInt = Relaxed<std::int32_t>;
