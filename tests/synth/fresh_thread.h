// Runs a function on a new thread, whose random generator starts afresh.
#pragma once

#include <thread>
#include <utility>

template <typename F>
auto onFreshThread(F f) {
    decltype(f()) result{};
    std::thread([&] { result = f(); }).join();
    return result;
}

// The generator's sequence written out independently of the engine.
struct ReferenceRandom {
    unsigned state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};
