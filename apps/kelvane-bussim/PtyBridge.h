#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bus/ConverterBackend.h"
#include "sim/SimBus.h"
#include "sim/SimRig.h"

namespace kv {

// Serves the converters of a simulated bus over pseudo-terminals, one per converter: whatever a
// client writes on the slave side goes into the converter of the simulated bus, and whatever the
// converter gives to read (the echo and the devices' answers) comes out on the slave side.
//
// The bridge keeps a slave descriptor of its own open on every terminal, so that a client that
// closes its side and opens it again finds the line as it left it (raw, no hang-up).
// Single-threaded: one caller runs Step() in a loop.
class PtyBridge {
public:
    struct Options {
        bool pacing = true;       // 19200-baud wire time, both directions
        bool seedGiven = false;   // use `seed` instead of the rig's
        uint32_t seed = 1;        //
        std::string trafficPath;  // every recorded frame is written here (empty: none)
        std::string linkDir;      // DIR/kvsim0, DIR/kvsim1 ... point at the slaves (empty: none)
        // One more converter on the wire of each of these rig converters, for another console;
        // they follow the rig's converters in the numbering.
        std::vector<int> share;
    };
    struct Port {
        int converter = 0;
        std::string slavePath;
        std::string serial;
    };

    PtyBridge(SimRig rig, Options options);
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // Builds the bus, opens its converters and the terminals, makes the links and opens the
    // traffic file. False with a message when any of it fails (nothing is left behind then).
    bool Start(std::string& error);
    const std::vector<Port>& Ports() const { return ports_; }
    SimBus& Bus() { return *bus_; }

    // Waits up to `maxWaitMs` for bytes from a client, then moves everything that is due both
    // ways and lets the bus run its devices. Returns false on a failure that ends the service
    // (the message says which).
    bool Step(int maxWaitMs, std::string& error);
    // The wait Step() should be given now: short while the line is busy, longer when idle.
    int SuggestedWaitMs() const;

    // Operator actions on the simulated devices, one command a line:
    //   start MS, stop MS   the other console on the bus broadcasts a show start or stop at
    //                       show time MS (its 0x90 clock frame and its announcement)
    //   probe               the other console asks for every console on the bus
    //   on CONV ADDR        switches a device on (it announces itself when set up to)
    //   off CONV ADDR       switches a device off
    // False with the reason when the line is not a command or names no device.
    bool Command(const std::string& line, std::string& reply);
    // Commands are read from this descriptor as part of Step(); its end of file stops the
    // reading, not the service. Replies go to OnMessage.
    void SetCommandFd(int fd) { commandFd_ = fd; }
    std::function<void(const std::string&)> OnMessage;

    // Bytes a client did not read in time and that the terminal could not hold.
    uint64_t DroppedBytes() const { return droppedBytes_; }

    // Closes everything and removes the links (also done by the destructor).
    void Stop();

    // One line of the traffic file: time in ms since the start with three decimals, converter
    // (for tx the one that wrote the frame, else the first on that wire), direction (tx, rx,
    // noise) and the bytes in hex.
    static std::string TrafficLine(const SimRecord& record);

private:
    struct Line {
        int master = -1;
        int slave = -1;  // our own, keeps the terminal up between clients
        ConverterHandle handle = kNoConverterHandle;
        std::vector<uint8_t> pending;  // read from the bus, not yet taken by the terminal
    };

    bool openLine(int converter, Line& line, std::string& slavePath, std::string& error);
    bool clientToBus(Line& line, std::string& error);
    bool busToClient(Line& line, std::string& error);
    void flushPending(Line& line);
    void writeTraffic();
    void readCommands();

    SimRig rig_;
    Options options_;
    std::unique_ptr<SimBus> bus_;
    std::vector<Line> lines_;
    std::vector<Port> ports_;
    std::vector<std::string> links_;
    std::FILE* traffic_ = nullptr;
    uint32_t lastActivity_ = 0;
    bool anyActivity_ = false;
    uint64_t droppedBytes_ = 0;
    int commandFd_ = -1;
    std::string commandText_;
};

}  // namespace kv
