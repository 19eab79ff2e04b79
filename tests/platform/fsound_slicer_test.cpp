// The block slicer offline: device buffers of any size receive the stream's
// blocks whole and in order, and the callback runs only when a block is used up.
#include "fsound_slicer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A callback that numbers its bytes across blocks and can stop after a count.
struct Source {
    int calls = 0;
    int stopAfter = -1;  // the call that returns 0
    std::uint8_t next = 1;

    static signed char render(FSOUND_STREAM*, void* block, int length, void* self) {
        auto& s = *static_cast<Source*>(self);
        auto* bytes = static_cast<std::uint8_t*>(block);
        for (int i = 0; i < length; ++i) {
            bytes[i] = s.next;
            s.next = static_cast<std::uint8_t>(s.next % 255 + 1);  // never 0, so silence stands out
        }
        return ++s.calls == s.stopAfter ? 0 : 1;
    }
};

std::vector<std::uint8_t> expectedBytes(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    std::uint8_t next = 1;
    for (auto& b : v) {
        b = next;
        next = static_cast<std::uint8_t>(next % 255 + 1);
    }
    return v;
}

constexpr int kLength = 32768;

}  // namespace

TEST(BlockSlicer, DeviceBuffersOfAnySizeGetTheBlocksInOrderAndRenderOnlyWhenUsedUp) {
    for (const std::size_t slice : {4u, 380u, 8192u, 32768u, 32772u, 100000u}) {
        SCOPED_TRACE(slice);
        Source src;
        std::vector<std::byte> block(kLength);
        BlockSlicer slicer(nullptr, &Source::render, &src, block.data(), kLength);
        std::vector<std::uint8_t> out;
        std::vector<std::byte> buf(slice);
        while (out.size() < 5 * kLength) {
            ASSERT_TRUE(slicer.fill(buf.data(), slice));
            for (std::byte b : buf) out.push_back(static_cast<std::uint8_t>(b));
            // Exactly as many blocks as the bytes handed out have begun.
            EXPECT_EQ(src.calls, static_cast<int>((out.size() + kLength - 1) / kLength));
        }
        EXPECT_EQ(out, expectedBytes(out.size()));
    }
}

TEST(BlockSlicer, AStopFromTheCallbackPlaysThatBlockThenSilenceAndNoFurtherCall) {
    Source src;
    src.stopAfter = 2;
    std::vector<std::byte> block(kLength);
    BlockSlicer slicer(nullptr, &Source::render, &src, block.data(), kLength);
    std::vector<std::byte> buf(5000);
    std::vector<std::uint8_t> out;
    bool more = true;
    while (more) {
        more = slicer.fill(buf.data(), buf.size());
        for (std::byte b : buf) out.push_back(static_cast<std::uint8_t>(b));
        ASSERT_LT(out.size(), 4u * kLength);
    }
    EXPECT_EQ(src.calls, 2);
    ASSERT_EQ(out.size(), 70000u);  // the fill holding the last byte of block 2 ends it
    const auto expected = expectedBytes(2 * kLength);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + 2 * kLength, out.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_FALSE(slicer.fill(buf.data(), buf.size()));
    EXPECT_EQ(src.calls, 2);
}

TEST(BlockSlicer, AStopThatEndsExactlyAtABufferEdgeEndsThere) {
    Source src;
    src.stopAfter = 1;
    std::vector<std::byte> block(kLength);
    BlockSlicer slicer(nullptr, &Source::render, &src, block.data(), kLength);
    std::vector<std::byte> buf(kLength / 2);
    EXPECT_TRUE(slicer.fill(buf.data(), buf.size()));
    EXPECT_FALSE(slicer.fill(buf.data(), buf.size()));
    EXPECT_EQ(src.calls, 1);
}

TEST(BlockSlicer, ReportsWhereInAFillANewBlockBegins) {
    Source src;
    std::vector<std::byte> block(kLength);
    BlockSlicer slicer(nullptr, &Source::render, &src, block.data(), kLength);
    std::vector<std::byte> buf(20000);
    slicer.fill(buf.data(), buf.size());
    EXPECT_EQ(slicer.renderedAt(), 0);
    slicer.fill(buf.data(), buf.size());  // bytes 20000..39999: block 2 starts at 32768
    EXPECT_EQ(slicer.renderedAt(), 12768);
    slicer.fill(buf.data(), 1000);  // inside block 2
    EXPECT_EQ(slicer.renderedAt(), -1);
}
