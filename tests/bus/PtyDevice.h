#pragma once

// The far side of a pseudo-terminal acting as a converter with one device behind it: it echoes
// every byte written to the line (as RS485 does) and answers each 7-byte frame after a
// turnaround, optionally paced at the wire speed of 19200 baud. Used by the tty back-end tests
// and the exchange benchmark.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kvtest {

class PtyDevice {
public:
    // Answer to a frame (seven bytes as written); empty for none.
    using Responder = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& frame)>;

    static constexpr auto kByteTime = std::chrono::microseconds(521);  // 10 bits at 19200 baud

    PtyDevice() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        path_ = ::ptsname(master_);
        // Raw at once, or the line discipline rewrites and echoes bytes before the port is
        // opened; the descriptor is kept so the setting holds.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        ::tcgetattr(slave_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    ~PtyDevice() { HangUp(); }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }

    // Starts serving the line on a thread of its own.
    void Serve(Responder responder, std::chrono::microseconds turnaround = {}, bool pace = false) {
        responder_ = std::move(responder);
        turnaround_ = turnaround;
        pace_ = pace;
        running_ = true;
        thread_ = std::thread([this] { loop(); });
    }

    // Bytes from the device side, unasked.
    void Emit(const std::vector<uint8_t>& bytes) { put(bytes); }

    // The far side goes away: the converter is unplugged.
    void HangUp() {
        running_ = false;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (slave_ >= 0) {
            ::close(slave_);
            slave_ = -1;
        }
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    int FramesSeen() const { return frames_.load(); }

private:
    void put(const std::vector<uint8_t>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (pace_) {
                spinFor(kByteTime);
                (void)!::write(master_, &bytes[i], 1);
            } else {
                (void)!::write(master_, bytes.data() + i, bytes.size() - i);
                break;
            }
        }
    }

    static void spinFor(std::chrono::microseconds d) {
        const auto until = std::chrono::steady_clock::now() + d;
        while (std::chrono::steady_clock::now() < until) {
        }
    }

    void loop() {
        std::vector<uint8_t> frame;
        while (running_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || (p.revents & POLLIN) == 0) {
                continue;
            }
            uint8_t buf[64];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) {
                continue;
            }
            // The line gives back what was sent, byte by byte as it goes out.
            put(std::vector<uint8_t>(buf, buf + n));
            frame.insert(frame.end(), buf, buf + n);
            while (frame.size() >= 7) {
                const std::vector<uint8_t> one(frame.begin(), frame.begin() + 7);
                frame.erase(frame.begin(), frame.begin() + 7);
                ++frames_;
                const std::vector<uint8_t> answer =
                    responder_ ? responder_(one) : std::vector<uint8_t>{};
                if (!answer.empty()) {
                    if (turnaround_.count() > 0) {
                        spinFor(turnaround_);
                    }
                    put(answer);
                }
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    Responder responder_;
    std::chrono::microseconds turnaround_{};
    bool pace_ = false;
    std::atomic<bool> running_{false};
    std::atomic<int> frames_{0};
    std::thread thread_;
};

}  // namespace kvtest
