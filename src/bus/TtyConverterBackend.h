#pragma once

#include "bus/ConverterBackend.h"

#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kv {

class IniFile;

// USB-RS485 converters driven through the kernel's serial driver. Without explicit paths the
// converters are the ttys whose USB device has vendor ID 0403, found in sysfs and listed in the
// order of their place on the USB tree (stable across reboots and replugging into the same
// socket), with the USB serial number and product string. Explicit device paths replace the
// search; any tty works, a pseudo-terminal included, which is how simulated buses and tests
// stand in for converters.
//
// Modem-line calls that the device refuses (a pty has no modem lines) succeed, as the vendor
// driver's do. A device that went away (unplugged, far side of a pty closed) fails
// GetQueueStatus and every read and write from then on; it is listed again once its device
// node is back.
class TtyConverterBackend final : public ConverterBackend {
public:
    struct Options {
        // Device paths to use instead of the sysfs search, in list order.
        std::vector<std::string> paths;
        std::string sysfsRoot = "/sys";
        std::string devRoot = "/dev";
        // Asks the driver for low latency (ASYNC_LOW_LATENCY, a 1 ms FTDI latency timer) where
        // the kernel and the file permissions allow it.
        bool lowLatency = true;
    };

    TtyConverterBackend();
    explicit TtyConverterBackend(Options options);
    ~TtyConverterBackend() override;
    TtyConverterBackend(const TtyConverterBackend&) = delete;
    TtyConverterBackend& operator=(const TtyConverterBackend&) = delete;

    // The explicit ports of the settings: section "bus", key "Ports", paths separated by ";"
    // (blanks around a path are dropped, empty entries ignored).
    static std::vector<std::string> PortsFromSettings(const IniFile& settings);
    static std::vector<std::string> SplitPorts(const QString& text);
    // Why an explicit path can be no converter ("/dev/zero is not a terminal"), or empty when
    // it is a terminal or not there now (an unplugged converter may come back). Regular files,
    // folders, FIFOs and sockets are refused from their file type; a character device is opened
    // for a moment to ask whether it is a terminal.
    static std::string NotATerminal(const std::string& path);

    // Whether the last Open could set the FTDI latency timer or the low-latency flag.
    bool LowLatencyApplied() const;

    ConverterStatus CountDevices(uint32_t& count) override;
    ConverterStatus SerialNumber(uint32_t index, std::string& serial) override;
    ConverterStatus Description(uint32_t index, std::string& description) override;
    ConverterStatus Open(uint32_t index, ConverterHandle& handle) override;
    ConverterStatus Close(ConverterHandle handle) override;
    ConverterStatus SetBaudRate(ConverterHandle handle, uint32_t baud) override;
    ConverterStatus SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                           uint8_t stopBits, uint8_t parity) override;
    ConverterStatus SetFlowControl(ConverterHandle handle, uint16_t flow, uint8_t xon,
                                   uint8_t xoff) override;
    ConverterStatus SetTimeouts(ConverterHandle handle, uint32_t readMs, uint32_t writeMs) override;
    ConverterStatus Purge(ConverterHandle handle, uint32_t mask) override;
    ConverterStatus SetDtr(ConverterHandle handle) override;
    ConverterStatus ClrRts(ConverterHandle handle) override;
    ConverterStatus Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                         uint32_t& got) override;
    ConverterStatus Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                          uint32_t& written) override;
    ConverterStatus GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) override;
    // Listed converters whose node refused this user (EACCES on open, or no read and write
    // access now), with the node's group.
    std::vector<ConverterAccessDenied> AccessDenied() override;

    // A converter as listed: device node, USB serial and product, latency timer file.
    struct Listed {
        std::string path;
        std::string serial;
        std::string description;
        std::string latencyTimer;  // empty when the device has none
    };
    // The converters the last CountDevices found.
    std::vector<Listed> Listing() const;

private:
    struct Tty;

    std::shared_ptr<Tty> Find(ConverterHandle handle) const;
    std::vector<Listed> ScanSysfs() const;
    std::vector<Listed> ScanExplicit() const;
    bool DescribeFromSysfs(const std::string& ttyName, Listed& out) const;
    void ApplyLowLatency(Tty& tty, const Listed& listed);

    Options options_;
    mutable std::mutex mutex_;
    std::vector<Listed> listing_;
    std::map<ConverterHandle, std::shared_ptr<Tty>> open_;
    ConverterHandle nextHandle_ = 1;
    std::set<std::string> refused_;  // paths whose last open failed for lack of permission
    bool lowLatencyApplied_ = false;
};

}  // namespace kv
