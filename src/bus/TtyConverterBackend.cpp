#include "bus/TtyConverterBackend.h"

#include "core/Clock.h"
#include "util/IniFile.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace kv {

struct TtyConverterBackend::Tty {
    explicit Tty(int f, std::string p) : fd(f), path(std::move(p)) {}
    ~Tty() {
        if (fd >= 0) {
            // A pseudo-terminal keeps the exclusive flag after its last close while the far
            // side stays open, which would refuse the next open to anyone but root.
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
    }
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    int fd;
    std::string path;
    uint32_t readTimeout = 0;
    uint32_t writeTimeout = 0;
    std::mutex lineMutex;  // one termios read-modify-write at a time
};

namespace {

std::string readLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// Orders "ttyUSB2" before "ttyUSB10" and "1-1.2" before "1-1.10".
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])) != 0) {
                ++ei;
            }
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])) != 0) {
                ++ej;
            }
            const unsigned long na = std::strtoul(a.substr(i, ei - i).c_str(), nullptr, 10);
            const unsigned long nb = std::strtoul(b.substr(j, ej - j).c_str(), nullptr, 10);
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

bool speedOf(uint32_t baud, speed_t& speed) {
    static const std::pair<uint32_t, speed_t> table[] = {
        {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},   {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& [b, s] : table) {
        if (b == baud) {
            speed = s;
            return true;
        }
    }
    return false;
}

// A call that failed because the device is gone reads as an I/O error.
ConverterStatus ioFailure() {
    return errno == EBADF ? ConvInvalidHandle : ConvIoError;
}

// The device hung up: a closed pty master, an unplugged USB converter.
bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0) {
        return true;
    }
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// The name of a device node's group ("dialout" for USB serial devices on Debian), or its
// number when the group has no name.
std::string nodeGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::string();
    }
    group g{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getgrgid_r(st.st_gid, &g, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->gr_name;
    }
    return std::to_string(st.st_gid);
}

// Modem-line ioctls that a device without modem lines (a pty) refuses.
bool refusedModemCall(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

template <typename F>
ConverterStatus changeLine(int fd, std::mutex& m, F&& change) {
    std::lock_guard lock(m);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return ioFailure();
    }
    const ConverterStatus s = change(tio);
    if (s != ConvOk) {
        return s;
    }
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 ? ConvOk : ioFailure();
}

}  // namespace

TtyConverterBackend::TtyConverterBackend() : TtyConverterBackend(Options{}) {}

TtyConverterBackend::TtyConverterBackend(Options options) : options_(std::move(options)) {}

TtyConverterBackend::~TtyConverterBackend() = default;

std::vector<std::string> TtyConverterBackend::SplitPorts(const QString& text) {
    std::vector<std::string> out;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString path = part.trimmed();
        if (!path.isEmpty()) {
            out.push_back(path.toStdString());
        }
    }
    return out;
}

std::string TtyConverterBackend::NotATerminal(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    const char* what = nullptr;
    if (S_ISREG(st.st_mode)) {
        what = "a regular file";
    } else if (S_ISDIR(st.st_mode)) {
        what = "a folder";
    } else if (S_ISFIFO(st.st_mode)) {
        what = "a FIFO";
    } else if (S_ISSOCK(st.st_mode)) {
        what = "a socket";
    } else if (!S_ISCHR(st.st_mode)) {
        what = "no character device";
    } else {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // Busy or not permitted yet: it may well be a converter, whose open reports it.
            return {};
        }
        const bool terminal = ::isatty(fd) != 0;
        ::close(fd);
        if (!terminal) {
            what = "a device that is no terminal";
        }
    }
    return what ? path + " is not a terminal (" + what + ")" : std::string();
}

std::vector<std::string> TtyConverterBackend::PortsFromSettings(const IniFile& settings) {
    return SplitPorts(settings.Value(QStringLiteral("bus"), QStringLiteral("Ports")));
}

bool TtyConverterBackend::LowLatencyApplied() const {
    std::lock_guard lock(mutex_);
    return lowLatencyApplied_;
}

std::vector<TtyConverterBackend::Listed> TtyConverterBackend::Listing() const {
    std::lock_guard lock(mutex_);
    return listing_;
}

bool TtyConverterBackend::DescribeFromSysfs(const std::string& ttyName, Listed& out) const {
    std::error_code ec;
    const fs::path classDir = fs::path(options_.sysfsRoot) / "class" / "tty" / ttyName;
    const fs::path device = fs::canonical(classDir / "device", ec);
    if (ec) {
        return false;
    }
    // The USB device is the first ancestor with a vendor ID; the interface and the serial
    // driver's port sit below it.
    for (fs::path dir = device; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec)) {
            continue;
        }
        if (readLine(dir / "idVendor") != "0403") {
            return false;
        }
        out.serial = readLine(dir / "serial");
        out.description = readLine(dir / "product");
        const fs::path timer = device / "latency_timer";
        out.latencyTimer = fs::exists(timer, ec) ? timer.string() : std::string();
        return true;
    }
    return false;
}

std::vector<TtyConverterBackend::Listed> TtyConverterBackend::ScanSysfs() const {
    struct Found {
        std::string order;
        Listed listed;
    };
    std::vector<Found> found;
    std::error_code ec;
    const fs::path classTty = fs::path(options_.sysfsRoot) / "class" / "tty";
    for (fs::directory_iterator it(classTty, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        Listed l;
        if (!DescribeFromSysfs(name, l)) {
            continue;
        }
        l.path = (fs::path(options_.devRoot) / name).string();
        std::error_code ec2;
        const fs::path device = fs::canonical(it->path() / "device", ec2);
        found.push_back(Found{ec2 ? name : device.string(), std::move(l)});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return naturalLess(a.order, b.order); });
    std::vector<Listed> out;
    out.reserve(found.size());
    for (Found& f : found) {
        out.push_back(std::move(f.listed));
    }
    return out;
}

std::vector<TtyConverterBackend::Listed> TtyConverterBackend::ScanExplicit() const {
    std::vector<Listed> out;
    for (const std::string& path : options_.paths) {
        std::error_code ec;
        // A path that is not there now (unplugged, pty closed) is not a converter now.
        if (!fs::exists(path, ec)) {
            continue;
        }
        // A file, folder or FIFO is never a converter (the programs refuse such paths up
        // front; this keeps one that appears later out of the list).
        if (!fs::is_character_file(path, ec)) {
            continue;
        }
        Listed l;
        l.path = path;
        const fs::path real = fs::canonical(path, ec);
        if (ec || !DescribeFromSysfs(real.filename().string(), l)) {
            l.serial = fs::path(path).filename().string();
            l.description = path;
            l.latencyTimer.clear();
        }
        out.push_back(std::move(l));
    }
    return out;
}

ConverterStatus TtyConverterBackend::CountDevices(uint32_t& count) {
    std::vector<Listed> listing = options_.paths.empty() ? ScanSysfs() : ScanExplicit();
    std::lock_guard lock(mutex_);
    listing_ = std::move(listing);
    count = static_cast<uint32_t>(listing_.size());
    return ConvOk;
}

ConverterStatus TtyConverterBackend::SerialNumber(uint32_t index, std::string& serial) {
    std::lock_guard lock(mutex_);
    if (index >= listing_.size()) {
        return ConvDeviceNotFound;
    }
    serial = listing_[index].serial;
    return ConvOk;
}

ConverterStatus TtyConverterBackend::Description(uint32_t index, std::string& description) {
    std::lock_guard lock(mutex_);
    if (index >= listing_.size()) {
        return ConvDeviceNotFound;
    }
    description = listing_[index].description;
    return ConvOk;
}

void TtyConverterBackend::ApplyLowLatency(Tty& tty, const Listed& listed) {
    bool applied = false;
    serial_struct ss{};
    if (::ioctl(tty.fd, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        applied = ::ioctl(tty.fd, TIOCSSERIAL, &ss) == 0;
    }
    if (!listed.latencyTimer.empty()) {
        // The FTDI chip holds received bytes up to this many ms before it sends a USB packet;
        // 16 ms by default, longer than a whole frame on the wire. Writable by root only.
        std::ofstream timer(listed.latencyTimer);
        timer << "1\n";
        timer.flush();
        applied = applied || static_cast<bool>(timer);
    }
    lowLatencyApplied_ = applied;
}

ConverterStatus TtyConverterBackend::Open(uint32_t index, ConverterHandle& handle) {
    handle = kNoConverterHandle;
    Listed listed;
    {
        std::lock_guard lock(mutex_);
        if (index >= listing_.size()) {
            return ConvDeviceNotFound;
        }
        listed = listing_[index];
    }
    const int fd = ::open(listed.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            std::lock_guard lock(mutex_);
            refused_.insert(listed.path);
        }
        return error == ENOENT ? ConvDeviceNotFound : ConvDeviceNotOpened;
    }
    {
        std::lock_guard lock(mutex_);
        refused_.erase(listed.path);
    }
    auto tty = std::make_shared<Tty>(fd, listed.path);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return ConvDeviceNotOpened;  // not a terminal device
    }
    // Raw bytes, 19200 8N1 until configured otherwise, no flow control, reads return at once
    // (the time-outs are ours).
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return ConvDeviceNotOpened;
    }
    // Another program on the same converter would steal the answers.
    ::ioctl(fd, TIOCEXCL);
    std::lock_guard lock(mutex_);
    if (options_.lowLatency) {
        ApplyLowLatency(*tty, listed);
    }
    handle = nextHandle_++;
    open_[handle] = std::move(tty);
    return ConvOk;
}

std::vector<ConverterAccessDenied> TtyConverterBackend::AccessDenied() {
    std::vector<Listed> listing;
    std::set<std::string> refused;
    {
        std::lock_guard lock(mutex_);
        listing = listing_;
        refused = refused_;
    }
    std::vector<ConverterAccessDenied> out;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const std::string& path = listing[i].path;
        const bool denied = refused.count(path) != 0 ||
                            (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES);
        if (denied) {
            out.push_back(ConverterAccessDenied{static_cast<uint32_t>(i), path, nodeGroup(path)});
        }
    }
    return out;
}

std::shared_ptr<TtyConverterBackend::Tty> TtyConverterBackend::Find(ConverterHandle handle) const {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second;
}

ConverterStatus TtyConverterBackend::Close(ConverterHandle handle) {
    std::shared_ptr<Tty> tty;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle);
        if (it == open_.end()) {
            return ConvInvalidHandle;
        }
        tty = std::move(it->second);
        open_.erase(it);
    }
    // The descriptor closes with the last user (a read still running on the other thread).
    return ConvOk;
}

ConverterStatus TtyConverterBackend::SetBaudRate(ConverterHandle handle, uint32_t baud) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    speed_t speed{};
    if (!speedOf(baud, speed)) {
        return ConvInvalidBaudRate;
    }
    return changeLine(tty->fd, tty->lineMutex, [&](termios& tio) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        return ConvOk;
    });
}

ConverterStatus TtyConverterBackend::SetDataCharacteristics(ConverterHandle handle,
                                                            uint8_t wordLength, uint8_t stopBits,
                                                            uint8_t parity) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    tcflag_t size = 0;
    switch (wordLength) {
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return ConvInvalidParameter;
    }
    if ((stopBits != 0 && stopBits != 2) || parity > 4) {
        return ConvInvalidParameter;
    }
    return changeLine(tty->fd, tty->lineMutex, [&](termios& tio) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
        tio.c_cflag |= size;
        if (stopBits == 2) {
            tio.c_cflag |= CSTOPB;
        }
        switch (parity) {
            case 1:
                tio.c_cflag |= PARENB | PARODD;
                break;
            case 2:
                tio.c_cflag |= PARENB;
                break;
            case 3:
                tio.c_cflag |= PARENB | CMSPAR | PARODD;
                break;
            case 4:
                tio.c_cflag |= PARENB | CMSPAR;
                break;
            default:
                break;
        }
        return ConvOk;
    });
}

ConverterStatus TtyConverterBackend::SetFlowControl(ConverterHandle handle, uint16_t flow,
                                                    uint8_t xon, uint8_t xoff) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    if (flow == 0x0200) {
        return ConvNotSupported;  // the serial driver has no DTR/DSR handshake
    }
    if (flow != 0 && flow != 0x0100 && flow != 0x0400) {
        return ConvInvalidParameter;
    }
    return changeLine(tty->fd, tty->lineMutex, [&](termios& tio) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        if (flow == 0x0100) {
            tio.c_cflag |= CRTSCTS;
        } else if (flow == 0x0400) {
            tio.c_iflag |= IXON | IXOFF;
            tio.c_cc[VSTART] = static_cast<cc_t>(xon);
            tio.c_cc[VSTOP] = static_cast<cc_t>(xoff);
        }
        return ConvOk;
    });
}

ConverterStatus TtyConverterBackend::SetTimeouts(ConverterHandle handle, uint32_t readMs,
                                                 uint32_t writeMs) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    std::lock_guard lock(tty->lineMutex);
    tty->readTimeout = readMs;
    tty->writeTimeout = writeMs;
    return ConvOk;
}

ConverterStatus TtyConverterBackend::Purge(ConverterHandle handle, uint32_t mask) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    ConverterStatus s = ConvOk;
    if ((mask & ConvPurgeRx) != 0 && ::tcflush(tty->fd, TCIFLUSH) != 0) {
        s |= ioFailure();
    }
    if ((mask & ConvPurgeTx) != 0 && ::tcflush(tty->fd, TCOFLUSH) != 0) {
        s |= ioFailure();
    }
    return s;
}

ConverterStatus TtyConverterBackend::SetDtr(ConverterHandle handle) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    int bits = TIOCM_DTR;
    if (::ioctl(tty->fd, TIOCMBIS, &bits) != 0 && !refusedModemCall(errno)) {
        return ioFailure();
    }
    return ConvOk;
}

ConverterStatus TtyConverterBackend::ClrRts(ConverterHandle handle) {
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    int bits = TIOCM_RTS;
    if (::ioctl(tty->fd, TIOCMBIC, &bits) != 0 && !refusedModemCall(errno)) {
        return ioFailure();
    }
    return ConvOk;
}

ConverterStatus TtyConverterBackend::Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                                          uint32_t& got) {
    got = 0;
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    uint32_t timeout = 0;
    {
        std::lock_guard lock(tty->lineMutex);
        timeout = tty->readTimeout;
    }
    const uint32_t start = TickCount();
    while (got < count) {
        const ssize_t n = ::read(tty->fd, buffer + got, count - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return ConvIoError;
        }
        // Nothing now. With VMIN 0 an idle line also reads 0, so only the poll tells a hang-up.
        const uint32_t elapsed = ElapsedSince(start);
        const int remaining = elapsed >= timeout ? 0 : static_cast<int>(timeout - elapsed);
        pollfd p{tty->fd, POLLIN, 0};
        const int r = ::poll(&p, 1, remaining);
        if (r < 0 && errno != EINTR) {
            return ConvIoError;
        }
        // A hung-up line polls readable and reads 0 for ever; bytes still held before the
        // hang-up were taken by the read above.
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return ConvIoError;
        }
        if (r == 0) {
            break;  // the read time-out ran out
        }
    }
    return ConvOk;
}

ConverterStatus TtyConverterBackend::Write(ConverterHandle handle, const uint8_t* buffer,
                                           uint32_t count, uint32_t& written) {
    written = 0;
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    uint32_t timeout = 0;
    {
        std::lock_guard lock(tty->lineMutex);
        timeout = tty->writeTimeout;
    }
    const uint32_t start = TickCount();
    while (written < count) {
        const ssize_t n = ::write(tty->fd, buffer + written, count - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return ConvIoError;
        }
        const uint32_t elapsed = ElapsedSince(start);
        if (elapsed >= timeout) {
            return ConvOtherError;  // the driver did not take the bytes in time
        }
        pollfd p{tty->fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(timeout - elapsed)) < 0 && errno != EINTR) {
            return ConvIoError;
        }
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return ConvIoError;
        }
    }
    return ConvOk;
}

ConverterStatus TtyConverterBackend::GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) {
    rxBytes = 0;
    const auto tty = Find(handle);
    if (!tty) {
        return ConvInvalidHandle;
    }
    if (hungUp(tty->fd)) {
        return ConvIoError;
    }
    int n = 0;
    if (::ioctl(tty->fd, FIONREAD, &n) != 0) {
        return ConvIoError;
    }
    rxBytes = static_cast<uint32_t>(std::max(n, 0));
    return ConvOk;
}

}  // namespace kv
