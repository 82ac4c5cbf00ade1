// The tty back end: the sysfs search, explicit ports, and whole exchanges over a
// pseudo-terminal whose far side the test plays (echo, answer, hang-up, return).
#include "BusTestSupport.h"
#include "PtyDevice.h"
#include "TempDir.h"
#include "bus/TtyConverterBackend.h"
#include "util/IniFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <filesystem>
#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using kv::TtyConverterBackend;
using kvtest::PtyDevice;
using kvtest::PumpUntil;

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    QFile f(QString::fromStdString(file.string()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.c_str());
}

// A tty in a fake sysfs tree: class/tty/NAME/device -> the serial port below a USB interface.
void addTty(const fs::path& root, const std::string& name, const std::string& usbPath,
            const std::string& vendor, const std::string& serial, const std::string& product) {
    const fs::path usb = root / "devices" / "usb1" / usbPath;
    const fs::path port = usb / (usbPath + ":1.0") / name;
    fs::create_directories(port);
    writeText(usb / "idVendor", vendor + "\n");
    writeText(usb / "serial", serial + "\n");
    writeText(usb / "product", product + "\n");
    writeText(port / "latency_timer", "16\n");
    fs::create_directories(root / "class" / "tty" / name);
    fs::create_directory_symlink(port, root / "class" / "tty" / name / "device");
}

std::vector<uint8_t> statusAnswer(const std::vector<uint8_t>& f) {
    if (f[0] != 0x85) {
        return {};
    }
    return kv::ScriptedConverter::Frame(0x7A, 0x01, 0x02, 0x30, 0x39, f[5]);
}

const kv::BusFrame kStatus{0x85, 0, 0, 0, 0, 5};

}  // namespace

TEST(TtyConverterBackend, PortsComeFromTheBusSectionOfTheSettings) {
    EXPECT_EQ(TtyConverterBackend::SplitPorts(QStringLiteral(" /dev/ttyUSB0 ;; /tmp/a b;")),
              (std::vector<std::string>{"/dev/ttyUSB0", "/tmp/a b"}));
    const auto ini =
        kv::IniFile::FromBytes("[settings]\nPorts=/x\n[BUS]\nports = /dev/pts/3;/dev/pts/4\n");
    EXPECT_EQ(TtyConverterBackend::PortsFromSettings(ini),
              (std::vector<std::string>{"/dev/pts/3", "/dev/pts/4"}));
    EXPECT_TRUE(TtyConverterBackend::PortsFromSettings(kv::IniFile()).empty());
}

TEST(TtyConverterBackend, SysfsSearchFindsFtdiConvertersInUsbTreeOrder) {
    TempDir dir;
    const fs::path root = dir.path().toStdString();
    addTty(root, "ttyUSB0", "1-1.10", "0403", "FT-B", "USB-RS485 B");
    addTty(root, "ttyUSB1", "1-1.2", "0403", "FT-A", "USB-RS485 A");
    addTty(root, "ttyUSB2", "1-1.3", "067b", "PL", "Other maker");
    fs::create_directories(root / "class" / "tty" / "ttyS0");
    TtyConverterBackend::Options o;
    o.sysfsRoot = root.string();
    o.devRoot = "/devx";
    TtyConverterBackend backend(o);
    uint32_t count = 0;
    ASSERT_EQ(backend.CountDevices(count), kv::ConvOk);
    ASSERT_EQ(count, 2u);
    std::string serial;
    std::string description;
    backend.SerialNumber(0, serial);
    backend.Description(0, description);
    EXPECT_EQ(serial, "FT-A");  // socket 1-1.2 before 1-1.10
    EXPECT_EQ(description, "USB-RS485 A");
    EXPECT_EQ(backend.Listing()[0].path, "/devx/ttyUSB1");
    EXPECT_EQ(fs::path(backend.Listing()[1].latencyTimer).filename(), "latency_timer");
    EXPECT_EQ(backend.SerialNumber(2, serial), kv::ConvDeviceNotFound);
}

// Runs check as an unprivileged user: root opens every device node, so as root it runs in a
// child process that has dropped to nobody. Returns what check returned ("" is success).
static std::string asOrdinaryUser(const std::function<std::string()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result = "cannot drop root";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            result = check();
        }
        const ssize_t written = ::write(pipeFds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

TEST(TtyConverterBackend, ConverterRefusingTheUserIsReportedWithItsGroup) {
    TempDir dir;
    const fs::path root = dir.path().toStdString();
    addTty(root, "ttyUSB0", "1-1.2", "0403", "FT-A", "USB-RS485 A");
    addTty(root, "ttyUSB1", "1-1.3", "0403", "FT-B", "USB-RS485 B");
    const fs::path dev = root / "dev";
    fs::create_directories(dev);
    writeText(dev / "ttyUSB0", "");
    writeText(dev / "ttyUSB1", "");
    // ttyUSB0 is for its group only; ttyUSB1 opens but is no terminal, a failure of another
    // kind that must not read as a permission problem.
    ASSERT_EQ(::chmod((dev / "ttyUSB0").c_str(), 0660), 0);
    ASSERT_EQ(::chmod((dev / "ttyUSB1").c_str(), 0666), 0);
    if (::geteuid() == 0) {
        const ::group* dialout = ::getgrnam("dialout");
        ASSERT_NE(dialout, nullptr);
        ASSERT_EQ(::chown((dev / "ttyUSB0").c_str(), 0, dialout->gr_gid), 0);
        // The ordinary user must reach the files through the test's folders.
        for (fs::path p = root; p != root.parent_path(); p = p.parent_path()) {
            ::chmod(p.c_str(), 0755);
        }
    } else {
        // Without root the file cannot change its group; no permission at all does the same.
        ASSERT_EQ(::chmod((dev / "ttyUSB0").c_str(), 0), 0);
    }
    const std::string outcome = asOrdinaryUser([&]() -> std::string {
        TtyConverterBackend::Options o;
        o.sysfsRoot = root.string();
        o.devRoot = dev.string();
        TtyConverterBackend backend(o);
        uint32_t count = 0;
        if (backend.CountDevices(count) != kv::ConvOk || count != 2) {
            return "listing";
        }
        // Listed but not yet opened: read from the permissions alone (kelvanectl ports).
        auto denied = backend.AccessDenied();
        if (denied.size() != 1 || denied[0].index != 0) {
            return "before open: " + std::to_string(denied.size());
        }
        kv::ConverterHandle handle = kv::kNoConverterHandle;
        if (backend.Open(0, handle) != kv::ConvDeviceNotOpened ||
            backend.Open(1, handle) != kv::ConvDeviceNotOpened) {
            return "open";
        }
        denied = backend.AccessDenied();
        if (denied.size() != 1) {
            return "after open: " + std::to_string(denied.size());
        }
        return denied[0].path + " " + denied[0].group;
    });
    if (::geteuid() == 0) {
        EXPECT_EQ(outcome, (dev / "ttyUSB0").string() + " dialout");
    } else {
        EXPECT_EQ(outcome.rfind((dev / "ttyUSB0").string() + " ", 0), 0u) << outcome;
    }
}

TEST(TtyConverterBackend, PtyStandsInForAConverter) {
    PtyDevice dev;
    TtyConverterBackend::Options o;
    o.paths = {dev.Path(), "/nonexistent/tty"};
    TtyConverterBackend backend(o);
    uint32_t count = 0;
    backend.CountDevices(count);
    ASSERT_EQ(count, 1u);  // a path that is not there is not listed
    kv::ConverterHandle h = 0;
    ASSERT_EQ(backend.Open(0, h), kv::ConvOk);
    // A pty has no modem lines; the calls succeed as the vendor driver's do.
    EXPECT_EQ(backend.SetDtr(h), kv::ConvOk);
    EXPECT_EQ(backend.ClrRts(h), kv::ConvOk);
    EXPECT_EQ(backend.SetBaudRate(h, 19200), kv::ConvOk);
    EXPECT_EQ(backend.SetBaudRate(h, 12345), kv::ConvInvalidBaudRate);
    EXPECT_EQ(backend.SetDataCharacteristics(h, 8, 0, 0), kv::ConvOk);
    EXPECT_EQ(backend.SetTimeouts(h, 20, 20), kv::ConvOk);

    dev.Emit({1, 2, 3});
    uint32_t waiting = 0;
    ASSERT_TRUE(PumpUntil(
        [&] { return backend.GetQueueStatus(h, waiting) == kv::ConvOk && waiting == 3; }));
    uint8_t buf[8] = {};
    uint32_t got = 0;
    EXPECT_EQ(backend.Read(h, buf, 8, got), kv::ConvOk);  // returns after the read time-out
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(backend.Read(h, buf, 1, got), kv::ConvOk);
    EXPECT_EQ(got, 0u);

    dev.HangUp();
    EXPECT_NE(backend.GetQueueStatus(h, waiting), kv::ConvOk);
    EXPECT_NE(backend.Read(h, buf, 1, got), kv::ConvOk);
    uint32_t written = 0;
    EXPECT_NE(backend.Write(h, buf, 1, written), kv::ConvOk);
    EXPECT_EQ(backend.Close(h), kv::ConvOk);
    EXPECT_EQ(backend.GetQueueStatus(h, waiting), kv::ConvInvalidHandle);
}

TEST(TtyConverterBackend, ExchangesEndToEndAndFollowTheDeviceAwayAndBack) {
    TempDir dir;
    // The settings name a stable link; the pty behind it changes when the "converter" returns.
    const std::string link = dir.file(QStringLiteral("rs485")).toStdString();
    auto dev = std::make_unique<PtyDevice>();
    fs::create_symlink(dev->Path(), link);
    dev->Serve(statusAnswer);

    TtyConverterBackend::Options o;
    o.paths = {link};
    auto backend = std::make_shared<TtyConverterBackend>(o);
    kv::TPortProto proto(16, backend);
    int lost = 0;
    int restored = 0;
    proto.OnPortLost = [&] { ++lost; };
    proto.OnPortRestored = [&] { ++restored; };
    ASSERT_TRUE(proto.OpenPort());
    EXPECT_EQ(proto.ConverterCount(), 1);

    double output = 0;
    double supply = 0;
    int flag = 0;
    EXPECT_EQ(proto.ReadStatus(5, -1, 0, output, flag, supply), kv::BusOk);
    EXPECT_DOUBLE_EQ(supply, 12.345);
    kv::BusFrame a{};
    EXPECT_EQ(proto.Request(kv::BusFrame{0x89, 0, 0, 0, 0, 5}, 0x76, -1, 0, a), kv::BusNoAnswer);

    // An announcement from the device side reaches the frame handler.
    int frames = 0;
    proto.OnFrame = [&](const kv::BusFrame& f, int c) {
        frames += (f[0] == 0x70 && c == 0) ? 1 : 0;
    };
    dev->Emit(kv::ScriptedConverter::Frame(0x70, 'O', 'k', 0, 8, 3));
    ASSERT_TRUE(PumpUntil([&] { return frames == 1; }));

    dev->HangUp();
    ASSERT_TRUE(PumpUntil([&] { return lost == 1; }));
    EXPECT_LT(proto.ReadStatus(5, -1, 0, output, flag, supply), kv::BusOk);
    PumpUntil([] { return false; }, 250);
    EXPECT_EQ(lost, 1);

    dev = std::make_unique<PtyDevice>();
    fs::remove(link);
    fs::create_symlink(dev->Path(), link);
    dev->Serve(statusAnswer);
    ASSERT_TRUE(PumpUntil([&] { return restored == 1; }));
    EXPECT_EQ(proto.ReadStatus(5, -1, 0, output, flag, supply), kv::BusOk);
    EXPECT_EQ(lost, 1);
}
