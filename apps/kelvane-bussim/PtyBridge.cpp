#include "PtyBridge.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sstream>

#include "core/Clock.h"
#include "sim/SimConsole.h"

namespace kv {

namespace {

// What the bridge holds for a client that does not read; more is dropped, as a converter's
// receive buffer overflows.
constexpr std::size_t kPendingLimit = 65536;
// Step() waits this long at most while bytes are moving, and this long when the line is idle.
constexpr int kBusyWaitMs = 1;
constexpr int kIdleWaitMs = 10;
constexpr uint32_t kBusyWindowMs = 500;

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool setRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

PtyBridge::PtyBridge(SimRig rig, Options options) : rig_(std::move(rig)), options_(options) {}

PtyBridge::~PtyBridge() {
    Stop();
}

std::string PtyBridge::TrafficLine(const SimRecord& record) {
    static const char* const kHex = "0123456789ABCDEF";
    char head[64];
    std::snprintf(head, sizeof head, "%llu.%03llu %d %s",
                  static_cast<unsigned long long>(record.timeUs / 1000),
                  static_cast<unsigned long long>(record.timeUs % 1000), record.converter,
                  SimDirectionName(record.direction));
    std::string line = head;
    for (uint8_t b : record.bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0x0F];
    }
    return line;
}

bool PtyBridge::openLine(int converter, Line& line, std::string& slavePath, std::string& error) {
    line.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.master < 0) {
        error = errnoText("cannot open a pseudo-terminal");
        return false;
    }
    char name[PATH_MAX];
    if (::grantpt(line.master) != 0 || ::unlockpt(line.master) != 0 ||
        ::ptsname_r(line.master, name, sizeof name) != 0) {
        error = errnoText("cannot unlock a pseudo-terminal");
        return false;
    }
    slavePath = name;
    // Raw before any client opens it, or the line discipline would echo and rewrite bytes.
    if (!setRaw(line.master)) {
        error = errnoText("cannot set " + slavePath + " raw");
        return false;
    }
    line.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.slave < 0) {
        error = errnoText("cannot open " + slavePath);
        return false;
    }
    ConverterHandle h = kNoConverterHandle;
    if (bus_->Open(static_cast<uint32_t>(converter), h) != ConvOk ||
        bus_->SetBaudRate(h, 19200) != ConvOk ||
        bus_->SetDataCharacteristics(h, 8, 0, 0) != ConvOk ||
        bus_->SetTimeouts(h, 0, 0) != ConvOk) {
        error = "cannot open simulated converter " + std::to_string(converter);
        if (h != kNoConverterHandle) {
            bus_->Close(h);
        }
        return false;
    }
    line.handle = h;
    return true;
}

bool PtyBridge::Start(std::string& error) {
    Stop();
    if (options_.seedGiven) {
        rig_.options.seed = options_.seed;
    }
    rig_.options.pacing = options_.pacing;
    // The recorder is only worth its memory when someone reads it.
    rig_.options.maxRecords = options_.trafficPath.empty() ? 0 : 100000;
    bus_ = rig_.Build();
    const int rigConverters = bus_->ConverterTotal();
    for (const int of : options_.share) {
        if (of < 0 || of >= rigConverters) {
            error = "--share " + std::to_string(of) + ": the rig has converters 0 to " +
                    std::to_string(rigConverters - 1);
            Stop();
            return false;
        }
        bus_->AddConverter(
            {}, "USB-RS485 (simulated), on the wire of converter " + std::to_string(of), of);
    }
    const int total = bus_->ConverterTotal();
    lines_.resize(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) {
        Port port;
        port.converter = i;
        bus_->SerialNumber(static_cast<uint32_t>(i), port.serial);
        if (!openLine(i, lines_[static_cast<std::size_t>(i)], port.slavePath, error)) {
            Stop();
            return false;
        }
        ports_.push_back(port);
    }
    if (!options_.linkDir.empty()) {
        for (const Port& port : ports_) {
            const std::string link = options_.linkDir + "/kvsim" + std::to_string(port.converter);
            struct stat st {};
            if (::lstat(link.c_str(), &st) == 0) {
                // A link left by an earlier run is replaced; anything else is not ours to remove.
                if (!S_ISLNK(st.st_mode) || ::unlink(link.c_str()) != 0) {
                    error = link + " exists and is not a link that can be replaced";
                    Stop();
                    return false;
                }
            }
            if (::symlink(port.slavePath.c_str(), link.c_str()) != 0) {
                error = errnoText("cannot make the link " + link);
                Stop();
                return false;
            }
            links_.push_back(link);
        }
    }
    if (!options_.trafficPath.empty()) {
        traffic_ = std::fopen(options_.trafficPath.c_str(), "w");
        if (!traffic_) {
            error = errnoText("cannot write " + options_.trafficPath);
            Stop();
            return false;
        }
        std::fputs("# time-ms converter direction bytes\n", traffic_);
        std::fflush(traffic_);
    }
    lastActivity_ = TickCount();
    return true;
}

void PtyBridge::Stop() {
    if (traffic_) {
        writeTraffic();
        std::fclose(traffic_);
        traffic_ = nullptr;
    }
    for (std::size_t i = 0; i < links_.size(); ++i) {
        // Only a link that still points at our terminal; another run may have taken the name.
        char target[PATH_MAX];
        const ssize_t n = ::readlink(links_[i].c_str(), target, sizeof target - 1);
        if (n > 0 && i < ports_.size() &&
            std::string(target, static_cast<std::size_t>(n)) == ports_[i].slavePath) {
            ::unlink(links_[i].c_str());
        }
    }
    links_.clear();
    for (Line& line : lines_) {
        if (line.handle != kNoConverterHandle && bus_) {
            bus_->Close(line.handle);
        }
        if (line.slave >= 0) {
            ::close(line.slave);
        }
        if (line.master >= 0) {
            ::close(line.master);
        }
    }
    lines_.clear();
    ports_.clear();
}

int PtyBridge::SuggestedWaitMs() const {
    for (const Line& line : lines_) {
        if (!line.pending.empty()) {
            return kBusyWaitMs;
        }
    }
    return anyActivity_ && ElapsedSince(lastActivity_) < kBusyWindowMs ? kBusyWaitMs : kIdleWaitMs;
}

bool PtyBridge::clientToBus(Line& line, std::string& error) {
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(line.master, buf, sizeof buf);
        if (n > 0) {
            uint32_t written = 0;
            const ConverterStatus st =
                bus_->Write(line.handle, buf, static_cast<uint32_t>(n), written);
            if (st != ConvOk) {
                error = "the simulated converter refused a write (status " +
                        std::to_string(static_cast<int>(st)) + ")";
                return false;
            }
            lastActivity_ = TickCount();
            anyActivity_ = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        // With our own slave descriptor open the master never hangs up; if it does, the
        // terminal is gone.
        error = n == 0 ? std::string("a pseudo-terminal closed") : errnoText("pseudo-terminal");
        return false;
    }
}

void PtyBridge::flushPending(Line& line) {
    while (!line.pending.empty()) {
        const ssize_t n = ::write(line.master, line.pending.data(), line.pending.size());
        if (n > 0) {
            line.pending.erase(line.pending.begin(), line.pending.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        break;  // full: the client is not reading; the rest waits for POLLOUT
    }
}

bool PtyBridge::busToClient(Line& line, std::string& error) {
    uint32_t avail = 0;
    const ConverterStatus qs = bus_->GetQueueStatus(line.handle, avail);
    if (qs != ConvOk) {
        error =
            "the simulated converter failed (status " + std::to_string(static_cast<int>(qs)) + ")";
        return false;
    }
    while (avail > 0) {
        uint8_t buf[4096];
        uint32_t got = 0;
        const uint32_t want = avail < sizeof buf ? avail : static_cast<uint32_t>(sizeof buf);
        if (bus_->Read(line.handle, buf, want, got) != ConvOk || got == 0) {
            break;
        }
        avail -= got;
        const std::size_t room =
            line.pending.size() < kPendingLimit ? kPendingLimit - line.pending.size() : 0;
        const std::size_t keep = got < room ? got : room;
        line.pending.insert(line.pending.end(), buf, buf + keep);
        droppedBytes_ += got - keep;
        lastActivity_ = TickCount();
        anyActivity_ = true;
    }
    flushPending(line);
    return true;
}

void PtyBridge::writeTraffic() {
    if (!traffic_ || !bus_) {
        return;
    }
    const auto records = bus_->TakeRecords();
    if (records.empty()) {
        return;
    }
    for (const SimRecord& r : records) {
        const std::string text = TrafficLine(r);
        std::fputs(text.c_str(), traffic_);
        std::fputc('\n', traffic_);
    }
    std::fflush(traffic_);
}

bool PtyBridge::Command(const std::string& line, std::string& reply) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) {
        reply = "empty command";
        return false;
    }
    long long a = -1, b = -1;
    const bool one = static_cast<bool>(in >> a);
    const bool two = one && static_cast<bool>(in >> b);
    std::string rest;
    if (in >> rest) {
        reply = "too many values: " + line;
        return false;
    }
    if (word == "start" || word == "stop" || word == "probe") {
        if ((word == "probe") == one || (one && (a < 0 || a > 6553500)) || two) {
            reply = word == "probe" ? "usage: probe" : "usage: " + word + " MS (0 to 6553500)";
            return false;
        }
        for (int c = 0; c < bus_->ConverterTotal(); ++c) {
            auto lock = bus_->Lock();
            auto* console = bus_->FindAs<SimConsole>(255, c);
            if (!console) {
                continue;
            }
            const int ms = static_cast<int>(a);
            bus_->Act(c, [&](SimSegment& segment, SimTimeUs now) {
                if (word == "start") {
                    console->BroadcastStart(ms, now, segment);
                } else if (word == "stop") {
                    console->BroadcastStop(ms, now, segment);
                } else {
                    console->BroadcastProbe(now, segment);
                }
            });
            reply = "console " + std::to_string(console->ConsoleId()) + " on converter " +
                    std::to_string(c) + ": " + word +
                    (one ? " at " + std::to_string(ms) + " ms" : "");
            return true;
        }
        reply = "no other console on the bus";
        return false;
    }
    if (word == "on" || word == "off") {
        if (!two || a < 0 || a >= bus_->ConverterTotal() || b < 0 || b > 255) {
            reply = "usage: " + word + " CONVERTER ADDRESS";
            return false;
        }
        const int c = static_cast<int>(a);
        const int address = static_cast<int>(b);
        if (bus_->Find(address, c) == nullptr) {
            reply = "no device at address " + std::to_string(address) + " on converter " +
                    std::to_string(c);
            return false;
        }
        if (word == "on") {
            bus_->SwitchOn(c, address);
        } else {
            bus_->SwitchOff(c, address);
        }
        reply = "device " + std::to_string(address) + " on converter " + std::to_string(c) +
                " switched " + word;
        return true;
    }
    reply = "unknown command '" + word + "' (start, stop, probe, on, off)";
    return false;
}

void PtyBridge::readCommands() {
    // One read per readable poll, so that a blocking descriptor (a terminal, a pipe) never
    // holds up the bus.
    char buf[1024];
    ssize_t n = 0;
    do {
        n = ::read(commandFd_, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        commandText_.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        commandFd_ = -1;  // end of the commands; the service goes on
    }
    std::size_t nl;
    while ((nl = commandText_.find('\n')) != std::string::npos) {
        std::string line = commandText_.substr(0, nl);
        commandText_.erase(0, nl + 1);
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        std::string reply;
        const bool ok = Command(line, reply);
        if (OnMessage) {
            OnMessage(ok ? reply : "refused: " + reply);
        }
    }
    if (commandText_.size() > 4096) {
        commandText_.clear();  // no line end in sight: not commands
    }
}

bool PtyBridge::Step(int maxWaitMs, std::string& error) {
    std::vector<pollfd> fds;
    fds.reserve(lines_.size() + 1);
    for (const Line& line : lines_) {
        const short events =
            static_cast<short>(POLLIN | (line.pending.empty() ? 0 : static_cast<short>(POLLOUT)));
        fds.push_back(pollfd{line.master, events, 0});
    }
    if (commandFd_ >= 0) {
        fds.push_back(pollfd{commandFd_, POLLIN, 0});
    }
    const int r = ::poll(fds.data(), fds.size(), maxWaitMs);
    if (r < 0 && errno != EINTR) {
        error = errnoText("poll");
        return false;
    }
    for (std::size_t i = 0; r > 0 && i < lines_.size(); ++i) {
        if ((fds[i].revents & POLLNVAL) != 0) {
            error = "a pseudo-terminal descriptor went bad";
            return false;
        }
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
            !clientToBus(lines_[i], error)) {
            return false;
        }
    }
    if (r > 0 && commandFd_ >= 0 && fds.back().revents != 0) {
        readCommands();
    }
    for (Line& line : lines_) {
        if (!busToClient(line, error)) {
            return false;
        }
    }
    bus_->Pump();
    writeTraffic();
    return true;
}

}  // namespace kv
