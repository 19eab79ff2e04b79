// Hands a stream's fixed-size blocks to the device in whatever slices the
// device asks for. The stream callback is asked for the next whole block only
// once the last one has been used up, so a device with small buffers hears a
// block about as soon as it is rendered.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "fsound.h"

class BlockSlicer {
public:
    BlockSlicer(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata, std::byte* block,
                int length) noexcept
        : stream_(stream), callback_(callback), userdata_(userdata), block_(block), length_(length), used_(length) {}

    // Fills `bytes` bytes of device memory. Returns false once every block of
    // the stream has been handed out (its callback said stop); the rest of
    // `out` is then silence. Runs on the device's thread: no allocation, no
    // lock, no system call here.
    bool fill(std::byte* out, std::size_t bytes) noexcept {
        renderedAt_ = -1;
        std::size_t done = 0;
        while (done < bytes) {
            if (used_ == length_) {
                if (ended_) {
                    std::memset(out + done, 0, bytes - done);
                    return false;
                }
                ended_ = callback_(stream_, block_, length_, userdata_) == 0;
                used_ = 0;
                renderedAt_ = static_cast<long>(done);
            }
            const std::size_t n = std::min(bytes - done, static_cast<std::size_t>(length_ - used_));
            std::memcpy(out + done, block_ + used_, n);
            used_ += static_cast<int>(n);
            done += n;
        }
        return !(ended_ && used_ == length_);
    }

    // Byte offset in the latest fill at which a newly rendered block starts,
    // or -1 when that fill only continued an earlier block.
    long renderedAt() const noexcept { return renderedAt_; }

private:
    FSOUND_STREAM* stream_;
    FSOUND_STREAMCALLBACK callback_;
    void* userdata_;
    std::byte* block_;
    int length_;
    int used_;  // bytes of the current block already handed out
    bool ended_ = false;
    long renderedAt_ = -1;
};
