// The check byte and the scan that finds frames in received bytes.
#include "ScriptedConverter.h"
#include "bus/Crc8.h"
#include "bus/RxFrameBuffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

using kv::RxFrameBuffer;

namespace {

std::array<uint8_t, 256> identity() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    }
    return t;
}

std::vector<uint8_t> frame(uint8_t code, uint8_t address = 7) {
    return kv::ScriptedConverter::Frame(code, 1, 2, 3, 4, address);
}

struct Parsed {
    std::vector<RxFrameBuffer::Entry> frames;
};

Parsed parse(RxFrameBuffer& rx, int maxFrames = 128) {
    std::vector<RxFrameBuffer::Entry> out(static_cast<std::size_t>(maxFrames));
    const int n = rx.Parse(out.data(), maxFrames, identity());
    out.resize(static_cast<std::size_t>(n));
    return Parsed{out};
}

}  // namespace

TEST(Crc8, KnownValues) {
    const uint8_t a[] = {0x80, 0x00, 0x01, 0x02, 0x03, 0x05};
    const uint8_t b[] = {0x84, 0x03, 0x00, 0x80, 0x00, 0x05};
    EXPECT_EQ(kv::Crc8(a, 6), 0x40);
    EXPECT_EQ(kv::Crc8(b, 6), 0x25);
    EXPECT_EQ(kv::Crc8(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xA1);
    EXPECT_EQ(kv::Crc8(a, 0), 0x00);
}

TEST(RxFrameBuffer, GarbageBeforeAFrameGoesWithIt) {
    RxFrameBuffer rx;
    std::vector<uint8_t> bytes = {0x13, 0x37, 0x42};
    const auto f = frame(0x70);
    bytes.insert(bytes.end(), f.begin(), f.end());
    rx.Append(bytes.data(), 3, 0);
    rx.Append(bytes.data() + 3, 7, 2);
    const Parsed p = parse(rx);
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(p.frames[0].frame[0], 0x70);
    EXPECT_EQ(p.frames[0].frame[5], 7);
    EXPECT_EQ(p.frames[0].converter, 2);  // the converter of the frame's first byte
    EXPECT_EQ(rx.Length(), 0);
}

TEST(RxFrameBuffer, GarbageAloneShrinksToItsLastSixBytesWhichMayStartAFrame) {
    RxFrameBuffer rx;
    const std::vector<uint8_t> junk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    rx.Append(junk.data(), static_cast<int>(junk.size()), 1);
    EXPECT_TRUE(parse(rx).frames.empty());
    ASSERT_EQ(rx.Length(), 6);
    EXPECT_EQ(rx.Bytes()[0], 5);
    // The rest of a frame arrives: the six kept bytes are no frame, but the scan still finds
    // one that starts among them.
    RxFrameBuffer rx2;
    const auto f = frame(0x70);
    std::vector<uint8_t> head = {9, 9, 9, 9};
    head.insert(head.end(), f.begin(), f.begin() + 4);
    rx2.Append(head.data(), static_cast<int>(head.size()), 0);
    EXPECT_TRUE(parse(rx2).frames.empty());
    rx2.Append(f.data() + 4, 3, 0);
    ASSERT_EQ(parse(rx2).frames.size(), 1u);
}

TEST(RxFrameBuffer, BackToBackFramesComeOutInOrder) {
    RxFrameBuffer rx;
    auto a = frame(0x70, 1);
    const auto b = frame(0x90, 0);
    a.insert(a.end(), b.begin(), b.end());
    rx.Append(a.data(), static_cast<int>(a.size()), 0);
    const Parsed p = parse(rx);
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_EQ(p.frames[0].frame[0], 0x70);
    EXPECT_EQ(p.frames[1].frame[0], 0x90);
}

TEST(RxFrameBuffer, CodesZeroAndFFAreNeverFramesEvenWithARightCheckByte) {
    for (uint8_t code : {uint8_t{0x00}, uint8_t{0xFF}}) {
        RxFrameBuffer rx;
        const auto bad = frame(code);
        rx.Append(bad.data(), 7, 0);
        EXPECT_TRUE(parse(rx).frames.empty()) << int(code);
        // Skipped one byte at a time: a real frame right behind it is found.
        const auto good = frame(0x70);
        rx.Append(good.data(), 7, 0);
        const Parsed p = parse(rx);
        ASSERT_EQ(p.frames.size(), 1u) << int(code);
        EXPECT_EQ(p.frames[0].frame[0], 0x70);
    }
}

TEST(RxFrameBuffer, AddressGoesThroughTheIncomingTable) {
    RxFrameBuffer rx;
    const auto f = frame(0x70, 9);
    rx.Append(f.data(), 7, 0);
    auto table = identity();
    table[9] = 42;
    RxFrameBuffer::Entry e;
    ASSERT_EQ(rx.Parse(&e, 1, table), 1);
    EXPECT_EQ(e.frame[5], 42);
}

TEST(RxFrameBuffer, BoundsHoldAndTheRestWaitsForTheNextParse) {
    RxFrameBuffer rx;
    // More frames than one parse takes.
    const auto f = frame(0x70);
    for (int i = 0; i < 130; ++i) {
        rx.Append(f.data(), 7, 0);
    }
    EXPECT_EQ(parse(rx).frames.size(), 128u);
    EXPECT_EQ(rx.Length(), 14);
    EXPECT_EQ(parse(rx).frames.size(), 2u);
    // A full buffer takes no more, and says so.
    RxFrameBuffer full;
    std::vector<uint8_t> big(RxFrameBuffer::kCapacity + 100, 0x55);
    EXPECT_EQ(full.Append(big.data(), static_cast<int>(big.size()), 0), RxFrameBuffer::kCapacity);
    EXPECT_EQ(full.Space(), 0);
    EXPECT_EQ(full.Append(big.data(), 1, 0), 0);
}
