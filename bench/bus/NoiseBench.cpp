// False frames made by line noise: random bytes fed to the receive buffer as the bus worker
// reads them (a read every 6 ms of what has arrived at 0.521 ms a byte), counted per MB of
// noise, all codes and the clock stop 0x90 alone. Continuous noise, and noise in bursts of 1 to
// 24 bytes between quiet gaps of 2 to 50 ms. Then real traffic with glitches (a stray byte
// before a frame, noise after one, frames back to back) and the share of its frames found.
// Prints the figures; asserts nothing.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "ScriptedConverter.h"
#include "bus/Crc8.h"
#include "bus/RxFrameBuffer.h"
#include "bus/TPort.h"

namespace {

constexpr double kByteMs = 10.0 / 19200.0 * 1000.0;
constexpr double kReadEveryMs = 6.0;

struct Timed {
    double atMs;
    uint8_t byte;
};

struct Found {
    long frames = 0;
    long stops = 0;
    long real = 0;  // frames with the marker address of the real traffic
};

// Feeds the bytes as the worker would take them and parses after each read.
Found feed(const std::vector<Timed>& bytes) {
    std::array<uint8_t, 256> identity{};
    for (int i = 0; i < 256; ++i) {
        identity[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    }
    kv::RxFrameBuffer rx;
    std::vector<kv::RxFrameBuffer::Entry> out(kv::TPort::kMaxFrames);
    Found f;
    std::size_t next = 0;
    const double end = bytes.empty() ? 0 : bytes.back().atMs + 100;
    for (double now = 0; now <= end; now += kReadEveryMs) {
        std::vector<uint8_t> chunk;
        while (next < bytes.size() && bytes[next].atMs <= now) {
            chunk.push_back(bytes[next++].byte);
        }
        const auto tick = static_cast<uint32_t>(now);
        rx.Append(chunk.data(), static_cast<int>(chunk.size()), 0, tick);
        for (;;) {
            const int n = rx.Parse(out.data(), static_cast<int>(out.size()), identity);
            for (int i = 0; i < n; ++i) {
                ++f.frames;
                f.stops += out[static_cast<std::size_t>(i)].frame[0] == 0x90 ? 1 : 0;
                f.real += out[static_cast<std::size_t>(i)].frame[5] == 0xA5 &&
                                  out[static_cast<std::size_t>(i)].frame[1] == 0x5A
                              ? 1
                              : 0;
            }
            if (n < static_cast<int>(out.size())) {
                break;
            }
        }
    }
    return f;
}

// The receiver rule considered: a frame counts only when it starts after a quiet line or ends
// before one (or follows a frame that counted), the quiet seen through the arrival times the
// receiver has. stampMs 0: each byte's own wire time (the best a receiver could know);
// otherwise the time of the read that took it.
Found feedWithQuietRule(const std::vector<Timed>& bytes, double stampMs) {
    const auto stamp = [&](std::size_t i) {
        return stampMs <= 0 ? bytes[i].atMs : std::ceil(bytes[i].atMs / stampMs) * stampMs;
    };
    const double quiet = stampMs <= 0 ? 1.5 * kByteMs : stampMs / 2;
    const auto boundary = [&](std::size_t i) {
        return i == 0 || i >= bytes.size() || stamp(i) - stamp(i - 1) >= quiet;
    };
    Found f;
    std::size_t p = 0;
    std::size_t lastEnd = static_cast<std::size_t>(-1);
    while (p + 7 <= bytes.size()) {
        uint8_t w[7];
        for (int k = 0; k < 7; ++k) {
            w[k] = bytes[p + static_cast<std::size_t>(k)].byte;
        }
        if (w[0] != 0x00 && w[0] != 0xFF && kv::Crc8(w, 6) == w[6] &&
            (boundary(p) || boundary(p + 7) || p == lastEnd)) {
            ++f.frames;
            f.stops += w[0] == 0x90 ? 1 : 0;
            f.real += w[5] == 0xA5 && w[1] == 0x5A ? 1 : 0;
            p += 7;
            lastEnd = p;
            continue;
        }
        ++p;
    }
    return f;
}

void report(const char* what, const Found& f, double megabytes) {
    std::printf("%-34s %8.0f false frames per MB, %5.1f of them 0x90\n", what, f.frames / megabytes,
                f.stops / megabytes);
}

}  // namespace

int main() {
    std::mt19937 rng(12345);
    constexpr std::size_t kMB = 1 << 20;
    constexpr int kMegabytes = 4;

    std::vector<Timed> continuous;
    for (std::size_t i = 0; i < kMegabytes * kMB; ++i) {
        continuous.push_back({static_cast<double>(i) * kByteMs, static_cast<uint8_t>(rng())});
    }
    report("continuous noise:", feed(continuous), kMegabytes);
    report("  quiet rule, byte times:", feedWithQuietRule(continuous, 0), kMegabytes);
    report("  quiet rule, 6 ms reads:", feedWithQuietRule(continuous, kReadEveryMs), kMegabytes);

    std::vector<Timed> bursts;
    double t = 0;
    std::uniform_int_distribution<int> len(1, 24);
    std::uniform_real_distribution<double> gap(2.0, 50.0);
    while (bursts.size() < kMegabytes * kMB) {
        const int n = len(rng);
        for (int i = 0; i < n; ++i) {
            bursts.push_back({t, static_cast<uint8_t>(rng())});
            t += kByteMs;
        }
        t += gap(rng);
    }
    report("noise in bursts of 1-24 bytes:", feed(bursts), kMegabytes);
    report("  quiet rule, byte times:", feedWithQuietRule(bursts, 0), kMegabytes);
    report("  quiet rule, 6 ms reads:", feedWithQuietRule(bursts, kReadEveryMs), kMegabytes);

    // Real frames (marked d1 0x5A, address 0xA5) after a turnaround gap; one in four with a
    // stray byte just before it, one in four with 3 noise bytes just after, one in four
    // followed back to back by a second frame.
    std::vector<Timed> real;
    t = 0;
    long sent = 0;
    std::uniform_int_distribution<int> kind(0, 3);
    const auto put = [&](const std::vector<uint8_t>& b) {
        for (uint8_t x : b) {
            real.push_back({t, x});
            t += kByteMs;
        }
    };
    for (int i = 0; i < 20000; ++i) {
        const auto frame = kv::ScriptedConverter::Frame(static_cast<uint8_t>(0x70 + i % 32), 0x5A,
                                                        static_cast<uint8_t>(i), 0, 0, 0xA5);
        const int k = kind(rng);
        if (k == 1) {
            put({static_cast<uint8_t>(rng())});
        }
        put(frame);
        ++sent;
        if (k == 2) {
            put({static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(rng())});
        }
        if (k == 3) {
            put(frame);
            ++sent;
        }
        t += 1.0 + gap(rng);
    }
    const auto kept = [&](const char* what, const Found& r) {
        std::printf("%-34s %ld of %ld real frames found (%.3f %%)\n", what, r.real, sent,
                    100.0 * static_cast<double>(r.real) / static_cast<double>(sent));
    };
    kept("real traffic with glitches:", feed(real));
    kept("  quiet rule, byte times:", feedWithQuietRule(real, 0));
    kept("  quiet rule, 6 ms reads:", feedWithQuietRule(real, kReadEveryMs));
    return 0;
}
