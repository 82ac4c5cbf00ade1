// kelvane-bussim as a separate program, driven through the tty back end like a real converter:
// start-up lines, exchanges with the devices of a small rig, a client that closes and reopens
// its terminals, the traffic file and the links, and the exit on SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "BusSimProcess.h"
#include "TempDir.h"
#include "bus/TPortProto.h"
#include "bus/TtyConverterBackend.h"

namespace {

using kvtest::BusSimProcess;

const char* const kRig =
    "# two converters, one device kind each\n"
    "converter serial=BSIM-A\n"
    "module address=5 version=46B channels=16 ohms=2.2 ohm.3=open temp=19\n"
    "converter serial=BSIM-B description=\"second bank\"\n"
    "module address=9 version=160 channels=24 mode=test\n"
    "radio address=240 version=120\n";

std::string readAll(const QString& path) {
    std::ifstream in(path.toStdString());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class BusSimTest : public ::testing::Test {
protected:
    void SetUp() override { kv::InitBusGlobals(); }

    std::unique_ptr<kv::TPortProto> connect(const BusSimProcess& sim) {
        kv::TtyConverterBackend::Options o;
        o.paths = sim.Paths();
        auto proto =
            std::make_unique<kv::TPortProto>(16, std::make_shared<kv::TtyConverterBackend>(o));
        EXPECT_TRUE(proto->OpenPort());
        return proto;
    }

    TempDir dir;
};

TEST_F(BusSimTest, ServesTheRigThroughTheTtyBackEnd) {
    const QString rig = dir.write("small.rig", kRig);
    const QString traffic = dir.file("traffic.txt");
    const QString links = dir.file("links");
    ASSERT_EQ(::mkdir(links.toLocal8Bit().constData(), 0755), 0);

    BusSimProcess sim;
    ASSERT_TRUE(
        sim.Start(KV_BUSSIM_BINARY, {"--traffic", traffic.toStdString(), "--link",
                                     links.toStdString(), "--seed", "5", rig.toStdString()}));
    ASSERT_TRUE(sim.WaitReady());
    // Exactly one line per converter, in order, then ready.
    ASSERT_EQ(sim.Lines().size(), 3u);
    ASSERT_EQ(sim.Ports().size(), 2u);
    EXPECT_EQ(sim.Ports()[0].converter, 0);
    EXPECT_EQ(sim.Ports()[0].serial, "BSIM-A");
    EXPECT_EQ(sim.Ports()[1].converter, 1);
    EXPECT_EQ(sim.Ports()[1].serial, "BSIM-B");
    EXPECT_EQ(sim.Ports()[0].path.rfind("/dev/pts/", 0), 0u);
    EXPECT_NE(sim.Ports()[0].path, sim.Ports()[1].path);
    char target[256] = {};
    ASSERT_GT(::readlink((links + "/kvsim1").toLocal8Bit().constData(), target, sizeof target - 1),
              0);
    EXPECT_EQ(std::string(target), sim.Ports()[1].path);

    {
        auto proto = connect(sim);
        int version = 0;
        EXPECT_EQ(proto->ReadVersion(5, -1, 0, version), kv::BusOk);
        EXPECT_EQ(version, 0x46B);
        EXPECT_EQ(proto->ReadVersion(9, -1, 1, version), kv::BusOk);
        EXPECT_EQ(version, 0x160);
        EXPECT_EQ(proto->ReadVersion(240, -1, 1, version), kv::BusOk);
        EXPECT_EQ(version, 0x120);
        // Each device is only on its own converter's segment.
        EXPECT_EQ(proto->ReadVersion(9, -1, 0, version), kv::BusNoAnswer);

        int channels = 0;
        EXPECT_EQ(proto->QueryChannels(5, -1, 0, channels), kv::BusOk);
        EXPECT_EQ(channels, 16);

        double out = 0, supply = 0;
        int flag = 2;
        EXPECT_EQ(proto->ReadStatus(9, -1, 1, out, flag, supply), kv::BusOk);
        EXPECT_EQ(flag, 1);  // test mode
        EXPECT_NEAR(supply, 12.4, 1e-9);

        proto->SetAnswerTimeout(200);
        double v = 0;
        EXPECT_EQ(proto->MeasureChannel(5, 0, -1, 0, v), kv::BusOk);
        EXPECT_NEAR(v * 100, 2.2, 1e-9);
        EXPECT_EQ(proto->MeasureChannel(5, 2, -1, 0, v), kv::BusOk);
        EXPECT_GT(v * 100, 1000.0);  // the open igniter
        proto->SetAnswerTimeout(kv::TPort::kDefaultAnswerTimeoutMs);

        int temp = 0;
        EXPECT_EQ(proto->ReadTemperature(5, -1, 0, temp), kv::BusOk);
        EXPECT_EQ(temp, 19);

        EXPECT_EQ(proto->ReadVersion(77, -1, 0, version), kv::BusNoAnswer);

        // The operator's search closes and reopens the terminals: the line keeps working.
        ASSERT_TRUE(proto->ReopenPort());
        EXPECT_EQ(proto->ReadVersion(5, -1, 0, version), kv::BusOk);
        EXPECT_EQ(version, 0x46B);
    }
    // The client let go of its exclusive claim, so an unprivileged client may open it next.
    for (const auto& port : sim.Ports()) {
        const int fd = ::open(port.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        int exclusive = -1;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << port.path;
        ::close(fd);
    }
    // A new client after the first one went away entirely.
    {
        auto proto = connect(sim);
        int version = 0;
        EXPECT_EQ(proto->ReadVersion(9, -1, 1, version), kv::BusOk);
        EXPECT_EQ(version, 0x160);
    }

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    // Links removed, traffic written: the version request to module 5 and its answer.
    struct stat st {};
    EXPECT_NE(::lstat((links + "/kvsim0").toLocal8Bit().constData(), &st), 0);
    const std::string text = readAll(traffic);
    EXPECT_EQ(text.rfind("# time-ms converter direction bytes\n", 0), 0u);
    EXPECT_NE(text.find(" 0 tx 80 00 01 02 03 05 "), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find(" 0 rx 7F 56 34 36 42 05 "), std::string::npos);
    EXPECT_NE(text.find(" 1 tx 80 00 01 02 03 09 "), std::string::npos);
}

// Waits, dispatching the link's notifications, until the condition holds.
bool dispatchUntil(kv::TPortProto& proto, const std::function<bool()>& done, int ms = 3000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        proto.DispatchPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST_F(BusSimTest, CommandsMakeTheOtherConsoleAndTheDevicesAct) {
    const QString rig =
        dir.write("console.rig", "converter\nmodule address=5 announce=yes\nconsole id=77\n");
    const QString err = dir.file("stderr.txt");
    BusSimProcess sim;
    ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {"--commands", "--no-pacing", rig.toStdString()},
                          err.toStdString(), true));
    ASSERT_TRUE(sim.WaitReady());
    kv::TtyConverterBackend::Options o;
    o.paths = sim.Paths();
    kv::TPortProto proto(16, std::make_shared<kv::TtyConverterBackend>(o));
    std::vector<kv::BusFrame> heard;
    proto.OnFrame = [&](const kv::BusFrame& f, int) { heard.push_back(f); };
    ASSERT_TRUE(proto.OpenPort());
    auto heardCode = [&](uint8_t code, uint8_t d3) {
        return [&heard, code, d3] {
            for (const auto& f : heard) {
                if (f[0] == code && f[3] == d3) {
                    return true;
                }
            }
            return false;
        };
    };

    // A show start from the other console: its clock frame with the run flag at 1.5 s, then
    // its start announcement with its ID; the module on the segment runs its clock from there.
    ASSERT_TRUE(sim.WriteStdin("start 1500\n"));
    ASSERT_TRUE(dispatchUntil(proto, heardCode(0x10, 77)));
    EXPECT_TRUE(heardCode(0x90, 0x80)());
    int clock = 0;
    char type = 0;
    ASSERT_EQ(proto.ReadClock(5, -1, 0, clock, type), kv::BusOk);
    EXPECT_GE(clock, 1500);
    ASSERT_TRUE(sim.WriteStdin("stop 2000\n"));
    ASSERT_TRUE(dispatchUntil(proto, heardCode(0x11, 77)));
    EXPECT_TRUE(heardCode(0x90, 0x00)());

    // Switching a device off silences it; on again, it announces itself and answers.
    int version = 0;
    ASSERT_TRUE(sim.WriteStdin("off 0 5\nbogus\noff 0 99\n"));
    ASSERT_TRUE(
        dispatchUntil(proto, [&] { return readAll(err).find("address 99") != std::string::npos; }));
    EXPECT_EQ(proto.ReadVersion(5, -1, 0, version), kv::BusNoAnswer);
    ASSERT_TRUE(sim.WriteStdin("on 0 5\n"));
    ASSERT_TRUE(dispatchUntil(proto, [&] {
        for (const auto& f : heard) {
            if (f[0] == 0x70 && f[5] == 5) {
                return true;
            }
        }
        return false;
    }));
    EXPECT_EQ(proto.ReadVersion(5, -1, 0, version), kv::BusOk);
    const std::string text = readAll(err);
    EXPECT_NE(text.find("refused: unknown command 'bogus'"), std::string::npos) << text;
    EXPECT_NE(text.find("refused: no device at address 99 on converter 0"), std::string::npos);
    // The end of the commands does not end the service.
    sim.CloseStdin();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(proto.ReadVersion(5, -1, 0, version), kv::BusOk);
    proto.ClosePort();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST_F(BusSimTest, SharedTerminalsPutTwoConsolesOnOneWire) {
    const QString rig = dir.write("small.rig", kRig);
    const QString traffic = dir.file("traffic.txt");
    const QString links = dir.file("links");
    ASSERT_EQ(::mkdir(links.toLocal8Bit().constData(), 0755), 0);
    BusSimProcess sim;
    ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {"--no-pacing", "--share", "0", "--share", "1",
                                             "--traffic", traffic.toStdString(), "--link",
                                             links.toStdString(), rig.toStdString()}));
    ASSERT_TRUE(sim.WaitReady());
    ASSERT_EQ(sim.Ports().size(), 4u);
    EXPECT_EQ(sim.Ports()[2].converter, 2);
    EXPECT_EQ(sim.Ports()[2].serial, "KVSIM3");
    EXPECT_EQ(sim.Ports()[3].serial, "KVSIM4");
    char target[256] = {};
    ASSERT_GT(::readlink((links + "/kvsim3").toLocal8Bit().constData(), target, sizeof target - 1),
              0);
    EXPECT_EQ(std::string(target), sim.Ports()[3].path);

    // Console A on the rig's terminals, console B on the shared ones, in the same order.
    auto connectTo = [](const std::vector<std::string>& paths) {
        kv::TtyConverterBackend::Options o;
        o.paths = paths;
        return std::make_unique<kv::TPortProto>(16, std::make_shared<kv::TtyConverterBackend>(o));
    };
    auto a = connectTo({sim.Ports()[0].path, sim.Ports()[1].path});
    auto b = connectTo({sim.Ports()[2].path, sim.Ports()[3].path});
    ASSERT_TRUE(a->OpenPort());
    ASSERT_TRUE(b->OpenPort());
    // Both reach every device of the wire their terminal is on.
    int version = 0;
    EXPECT_EQ(a->ReadVersion(5, -1, 0, version), kv::BusOk);
    EXPECT_EQ(b->ReadVersion(5, -1, 0, version), kv::BusOk);
    EXPECT_EQ(version, 0x46B);
    EXPECT_EQ(b->ReadVersion(9, -1, 1, version), kv::BusOk);
    EXPECT_EQ(version, 0x160);
    EXPECT_EQ(b->ReadVersion(9, -1, 0, version), kv::BusNoAnswer);
    // What A broadcasts reaches B on both wires, and B acts on it once.
    std::vector<int> announcedOn;
    b->OnFrame = [&](const kv::BusFrame& f, int converter) {
        if (f[0] == 0x10 && f[1] == 0 && f[2] == 12) {
            announcedOn.push_back(converter);
        }
    };
    ASSERT_EQ(a->AnnounceStart(1200), kv::BusOk);
    ASSERT_TRUE(dispatchUntil(*b, [&] { return !announcedOn.empty(); }));
    dispatchUntil(
        *b, [] { return false; }, 300);
    EXPECT_EQ(announcedOn.size(), 1u);
    a->ClosePort();
    b->ClosePort();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);

    // The traffic names the converter that wrote each request; answers carry the wire's first.
    const std::string text = readAll(traffic);
    EXPECT_NE(text.find(" 0 tx 80 00 01 02 03 05 "), std::string::npos) << text.substr(0, 600);
    EXPECT_NE(text.find(" 2 tx 80 00 01 02 03 05 "), std::string::npos);
    EXPECT_NE(text.find(" 3 tx 80 00 01 02 03 09 "), std::string::npos);
    EXPECT_NE(text.find(" 1 rx 7F 56 31 36 30 09 "), std::string::npos);
    EXPECT_EQ(text.find(" 2 rx "), std::string::npos);
    EXPECT_NE(text.find(" 0 tx 10 00 0C"), std::string::npos) << "the announcement on both wires";
    EXPECT_NE(text.find(" 1 tx 10 00 0C"), std::string::npos);

    // A converter the rig does not have, or no number, is refused.
    for (const char* of : {"2", "x", "16"}) {
        BusSimProcess bad;
        ASSERT_TRUE(bad.Start(KV_BUSSIM_BINARY, {"--share", of, rig.toStdString()},
                              dir.file("bad.txt").toStdString()));
        EXPECT_EQ(bad.Wait(), 2) << of;
        EXPECT_NE(readAll(dir.file("bad.txt")).find("--share"), std::string::npos) << of;
    }
}

TEST_F(BusSimTest, UnpacedServiceAndStopOnSigint) {
    const QString rig = dir.write("one.rig", "converter\nmodule address=3 version=140\n");
    BusSimProcess sim;
    ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {"--no-pacing", rig.toStdString()}));
    ASSERT_TRUE(sim.WaitReady());
    ASSERT_EQ(sim.Ports().size(), 1u);
    EXPECT_EQ(sim.Ports()[0].serial, "KVSIM1");
    {
        auto proto = connect(sim);
        for (int i = 0; i < 20; ++i) {
            int version = 0;
            ASSERT_EQ(proto->ReadVersion(3, -1, 0, version), kv::BusOk) << "round " << i;
            ASSERT_EQ(version, 0x140);
        }
    }
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST_F(BusSimTest, BadRigsAndUsageExitWithTwo) {
    const QString err = dir.file("stderr.txt");
    {
        const QString rig =
            dir.write("bad.rig", "converter\nmodule address=4\nmodule address=5 colour=red\n");
        BusSimProcess sim;
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {rig.toStdString()}, err.toStdString()));
        EXPECT_FALSE(sim.WaitReady(5000));
        EXPECT_EQ(sim.Wait(), 2);
        const std::string text = readAll(err);
        EXPECT_NE(text.find("line 3"), std::string::npos) << text;
        EXPECT_NE(text.find("colour"), std::string::npos) << text;
    }
    // Limits the console relies on: at most 16 converters, no negative version, a fault rate
    // that is a number.
    std::string seventeen;
    for (int i = 0; i < 17; ++i) {
        seventeen += "converter\n";
    }
    for (const auto& [text, line] : {std::pair<std::string, std::string>{seventeen, "line 17"},
                                     {"converter\nmodule address=4 version=-1F\n", "line 2"},
                                     {"converter\nmodule address=4 lose=rate:nan\n", "line 2"}}) {
        const QString rig = dir.write("bad.rig", QByteArray::fromStdString(text));
        BusSimProcess sim;
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {rig.toStdString()}, err.toStdString()));
        EXPECT_EQ(sim.Wait(), 2) << text;
        EXPECT_NE(readAll(err).find(line), std::string::npos) << readAll(err);
    }
    {
        BusSimProcess sim;
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {dir.file("missing.rig").toStdString()},
                              err.toStdString()));
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_NE(readAll(err).find("missing.rig"), std::string::npos);
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--seed", "x", "a.rig"},
                                                 {"--bogus", "a.rig"},
                                                 {"a.rig", "b.rig"},
                                                 {"--traffic"}}) {
        BusSimProcess sim;
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, args, err.toStdString()));
        EXPECT_EQ(sim.Wait(), 2) << (args.empty() ? std::string("(no arguments)") : args[0]);
    }
    {
        // A link name taken by something that is not a link is refused, not overwritten.
        const QString rig = dir.write("ok.rig", "converter\nmodule address=3\n");
        dir.write("kvsim0", "keep me");
        BusSimProcess sim;
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY,
                              {"--link", dir.path().toStdString(), rig.toStdString()},
                              err.toStdString()));
        EXPECT_EQ(sim.Wait(), 1);
        EXPECT_EQ(dir.read("kvsim0"), QByteArray("keep me"));
    }
}

}  // namespace
