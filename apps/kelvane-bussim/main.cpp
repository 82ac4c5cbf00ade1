// kelvane-bussim: serves a simulated bus over pseudo-terminals, one per converter, so that the
// console, kelvanectl or any tty client can talk to virtual devices through the tty back end.
// --share adds converters on the wire of another, so that two consoles share one bus.
//
// stdout gets one line per converter, "converter INDEX SLAVE-PATH SERIAL", then "ready"; the
// program then runs until SIGINT or SIGTERM. Diagnostics go to stderr.
#include <signal.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "PtyBridge.h"
#include "sim/SimRig.h"

namespace {

volatile sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

void usage(std::FILE* to) {
    std::fputs(
        "usage: kelvane-bussim [options] RIG\n"
        "       kelvane-bussim [options] --demo\n"
        "Serves the simulated bus of a rig file over pseudo-terminals, one per converter.\n"
        "  --demo          serve the built-in demo rig instead of a file\n"
        "  --no-pacing     bytes take no wire time (default: 19200 baud, 0.521 ms a byte)\n"
        "  --traffic FILE  write every frame on the bus to FILE as it goes\n"
        "  --seed N        seed of the faults and reply delays (default: the rig's)\n"
        "  --link DIR      make DIR/kvsim0, DIR/kvsim1 ... point at the terminals\n"
        "  --share C       one more terminal on the wire of the rig's converter C, for a\n"
        "                  second console (repeatable; numbered after the rig's converters)\n"
        "  --commands      read commands from stdin, one a line:\n"
        "                    start MS, stop MS  the other console broadcasts a show start/stop\n"
        "                    probe              the other console asks for every console\n"
        "                    on C A, off C A    switch device A on converter C on or off\n"
        "Prints 'converter INDEX PATH SERIAL' for each converter, then 'ready'.\n"
        "Runs until SIGINT or SIGTERM. Exit status: 0 stopped, 1 failure, 2 bad usage or rig.\n",
        to);
}

bool parseNumber(const std::string& text, uint32_t& value) {
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && p == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
    kv::PtyBridge::Options options;
    std::string rigPath;
    bool demo = false;
    bool commands = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kelvane-bussim: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        }
        if (a == "--no-pacing") {
            options.pacing = false;
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--commands") {
            commands = true;
        } else if (a == "--traffic") {
            if (!value(options.trafficPath)) {
                return 2;
            }
        } else if (a == "--link") {
            if (!value(options.linkDir)) {
                return 2;
            }
        } else if (a == "--share") {
            std::string s;
            if (!value(s)) {
                return 2;
            }
            uint32_t of = 0;
            if (!parseNumber(s, of) || of >= static_cast<uint32_t>(kv::SimRig::kMaxConverters)) {
                std::fprintf(stderr, "kelvane-bussim: --share takes a converter number\n");
                return 2;
            }
            options.share.push_back(static_cast<int>(of));
        } else if (a == "--seed") {
            std::string s;
            if (!value(s)) {
                return 2;
            }
            if (!parseNumber(s, options.seed)) {
                std::fprintf(stderr, "kelvane-bussim: --seed takes a number from 0 to %u\n",
                             0xFFFFFFFFu);
                return 2;
            }
            options.seedGiven = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "kelvane-bussim: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else if (rigPath.empty()) {
            rigPath = a;
        } else {
            std::fprintf(stderr, "kelvane-bussim: one rig only (%s)\n", a.c_str());
            return 2;
        }
    }
    if (rigPath.empty() == !demo) {
        usage(stderr);
        return 2;
    }

    kv::SimRig rig;
    std::string error;
    if (demo) {
        rig = kv::SimRig::Demo();
    } else if (!kv::SimRig::Load(rigPath, rig, error)) {
        std::fprintf(stderr, "kelvane-bussim: %s\n", error.c_str());
        return 2;
    }
    const std::size_t total = rig.converters.size() + options.share.size();
    for (const int of : options.share) {
        if (static_cast<std::size_t>(of) >= rig.converters.size()) {
            std::fprintf(stderr, "kelvane-bussim: --share %d: the rig has %zu converter(s)\n", of,
                         rig.converters.size());
            return 2;
        }
    }
    if (total > static_cast<std::size_t>(kv::SimRig::kMaxConverters)) {
        std::fprintf(stderr, "kelvane-bussim: %zu converters, a console uses at most %d\n", total,
                     kv::SimRig::kMaxConverters);
        return 2;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: poll() returns at once on a signal
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    kv::PtyBridge bridge(std::move(rig), options);
    if (!bridge.Start(error)) {
        std::fprintf(stderr, "kelvane-bussim: %s\n", error.c_str());
        return 1;
    }
    if (commands) {
        bridge.SetCommandFd(0);
        bridge.OnMessage = [](const std::string& text) {
            std::fprintf(stderr, "kelvane-bussim: %s\n", text.c_str());
        };
    }
    std::fprintf(
        stderr, "kelvane-bussim: SIMULATED BUS, no real devices; %s%s\n",
        options.pacing ? "paced at 19200 baud" : "not paced",
        options.trafficPath.empty() ? "" : ("; traffic to " + options.trafficPath).c_str());
    for (const auto& port : bridge.Ports()) {
        std::printf("converter %d %s %s\n", port.converter, port.slavePath.c_str(),
                    port.serial.c_str());
    }
    std::printf("ready\n");
    std::fflush(stdout);

    int status = 0;
    while (!gStop) {
        if (!bridge.Step(bridge.SuggestedWaitMs(), error)) {
            std::fprintf(stderr, "kelvane-bussim: %s\n", error.c_str());
            status = 1;
            break;
        }
    }
    if (bridge.DroppedBytes() > 0) {
        std::fprintf(stderr, "kelvane-bussim: %llu bytes no client read were dropped\n",
                     static_cast<unsigned long long>(bridge.DroppedBytes()));
    }
    bridge.Stop();
    return status;
}
