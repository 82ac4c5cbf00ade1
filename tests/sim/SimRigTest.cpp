// The rig file format: what each line kind and key sets, every refusal with its line, and the
// shipped demo rig against the built-in one.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "sim/SimFiringModule.h"
#include "sim/SimRig.h"

namespace kv {
namespace {

SimRig parseOk(const std::string& text) {
    SimRig rig;
    std::string error;
    EXPECT_TRUE(SimRig::Parse(text, rig, error)) << error;
    return rig;
}

std::string parseError(const std::string& text) {
    SimRig rig;
    rig.options.seed = 4242;
    std::string error;
    EXPECT_FALSE(SimRig::Parse(text, rig, error)) << text;
    EXPECT_EQ(rig.options.seed, 4242u) << "a refused rig must leave the target alone";
    return error;
}

std::string pattern(const SimFaultPattern& p) {
    // Replays the pattern on copies to show which of the first ten events it hits.
    SimFaultPattern copy = p;
    std::mt19937 rng(1);
    std::string out;
    for (int i = 0; i < 10; ++i) {
        out += copy.Hit(rng) ? 'x' : '.';
    }
    return out;
}

std::string faults(const SimFaults& f) {
    std::ostringstream o;
    o << "lose " << pattern(f.loseAnswer) << " drop " << pattern(f.dropRequest) << " corrupt "
      << pattern(f.corrupt) << " late " << pattern(f.late) << "/" << f.lateMs << " noise "
      << pattern(f.noise) << "/" << f.noiseBytes;
    return o.str();
}

// Everything a rig sets, one line per converter and device, for comparing two rigs.
std::string describe(const SimRig& rig) {
    std::ostringstream o;
    o << "bus pacing=" << rig.options.pacing << " turnaround=" << rig.options.turnaroundUs
      << " seed=" << rig.options.seed << "\n";
    for (const auto& c : rig.converters) {
        o << "converter " << c.serial << " '" << c.description << "' " << faults(c.faults) << "\n";
        for (const auto& d : c.devices) {
            o << "  " << SimDeviceKindName(d.kind) << " @" << d.address << " v" << std::hex
              << d.version << std::dec << " ch=" << d.channels << " type=" << d.typeLetter
              << " ohms=" << d.defaultOhms << " [";
            for (int i = 0; i < d.channels; ++i) {
                o << d.Ohms(i) << ",";
            }
            o << "] supply=" << d.supplyVolts << " out=" << d.outputVolts
              << " temp=" << d.temperature << " mode=" << d.mode << " forcing=" << d.forcing
              << " relay=" << d.relayTag << " announce=" << d.announce << " powered=" << d.powered
              << " erase=" << d.eraseMs << "/" << d.fastEraseMs << "/" << d.remoteEraseMs
              << " measure=" << d.measureMs << " bb=" << d.blackBoxLength << "/" << d.blackBoxSeed
              << " slots=" << d.slotCapacity << " energy=" << d.energy
              << " charge=" << d.chargeVoltsPerSecond << " console=" << d.consoleId << "/"
              << d.consoleMajor << "/" << int(d.consoleState) << "/" << int(d.consolePlayKind)
              << " recording=" << d.recording << " " << faults(d.faults) << "\n";
        }
    }
    return o.str();
}

TEST(SimRigParse, EveryKeyOfADeviceLineLands) {
    const SimRig rig = parseOk(
        "bus pacing=yes turnaround-us=0x5DC seed=99\n"
        "converter serial=LEFT description=\"left bank #1\"  # the quote keeps its hash\n"
        "module address=12 version=36b channels=8 type=B ohm.2=open ohm.8=35 ohms=2.5 "
        "supply=13.1 output=23.5 temp=-4 mode=test forcing=on relay=5 announce=on powered=no "
        "erase-ms=10 fast-erase-ms=11 remote-erase-ms=12 measure-ms=0 blackbox-length=0x40 "
        "blackbox-seed=7 slots=64 energy=30 charge-rate=450.5 lose=seq:2,1 drop=rate:0.5 "
        "corrupt=all late=seq:3 late-ms=200 noise=off noise-bytes=9\r\n");
    EXPECT_TRUE(rig.options.pacing);
    EXPECT_EQ(rig.options.turnaroundUs, 1500u);
    EXPECT_EQ(rig.options.seed, 99u);
    ASSERT_EQ(rig.converters.size(), 1u);
    EXPECT_EQ(rig.converters[0].serial, "LEFT");
    EXPECT_EQ(rig.converters[0].description, "left bank #1");
    ASSERT_EQ(rig.converters[0].devices.size(), 1u);
    const SimDeviceConfig& d = rig.converters[0].devices[0];
    EXPECT_EQ(d.kind, SimDeviceKind::FiringModule);
    EXPECT_EQ(d.address, 12);
    EXPECT_EQ(d.version, 0x36B);
    EXPECT_EQ(d.channels, 8);
    EXPECT_EQ(d.typeLetter, 'B');
    EXPECT_EQ(d.Ohms(0), 2.5);
    EXPECT_TRUE(std::isinf(d.Ohms(1)));
    EXPECT_EQ(d.Ohms(2), 2.5);  // between listed channels: the default given after them
    EXPECT_EQ(d.Ohms(7), 35.0);
    EXPECT_DOUBLE_EQ(d.supplyVolts, 13.1);
    EXPECT_DOUBLE_EQ(d.outputVolts, 23.5);
    EXPECT_EQ(d.temperature, -4);
    EXPECT_EQ(d.mode, 1);
    EXPECT_EQ(d.forcing, 0);
    EXPECT_EQ(d.relayTag, 5);
    EXPECT_TRUE(d.announce);
    EXPECT_FALSE(d.powered);
    EXPECT_EQ(d.eraseMs, 10u);
    EXPECT_EQ(d.fastEraseMs, 11u);
    EXPECT_EQ(d.remoteEraseMs, 12u);
    EXPECT_EQ(d.measureMs, 0u);
    EXPECT_EQ(d.blackBoxLength, 0x40u);
    EXPECT_EQ(d.blackBoxSeed, 7u);
    EXPECT_EQ(d.slotCapacity, 64);
    EXPECT_EQ(d.energy, 30);
    EXPECT_DOUBLE_EQ(d.chargeVoltsPerSecond, 450.5);
    EXPECT_EQ(pattern(d.faults.loseAnswer), "xx........");
    EXPECT_TRUE(d.faults.dropRequest.Active());
    EXPECT_EQ(pattern(d.faults.corrupt), "xxxxxxxxxx");
    EXPECT_EQ(pattern(d.faults.late), "..x.......");
    EXPECT_EQ(d.faults.lateMs, 200u);
    EXPECT_FALSE(d.faults.noise.Active());
    EXPECT_EQ(d.faults.noiseBytes, 9u);
}

TEST(SimRigParse, KindsGetTheirDefaultsAndConvertersTheirFaults) {
    const SimRig rig = parseOk(
        "# only comments and blanks before\n"
        "\n"
        "   \t\n"
        "converter lose=seq:2 noise=all noise-bytes=1\n"
        "module address=1\n"
        "hv address=2\n"
        "motor address=3\n"
        "radio address=250\n"
        "remote\n"
        "console id=5 major=4 state=0x21 play=2\n"
        "console id=6\n"
        "converter\n");
    EXPECT_FALSE(rig.options.pacing);
    EXPECT_EQ(rig.options.turnaroundUs, 1000u);
    ASSERT_EQ(rig.converters.size(), 2u);
    EXPECT_EQ(rig.converters[0].serial, "KVSIM1");
    EXPECT_EQ(rig.converters[1].serial, "KVSIM2");
    EXPECT_EQ(rig.converters[1].description, "USB-RS485 (simulated)");
    EXPECT_EQ(pattern(rig.converters[0].faults.loseAnswer), ".x........");
    EXPECT_EQ(rig.converters[0].faults.noiseBytes, 1u);
    EXPECT_TRUE(rig.converters[1].devices.empty());
    const auto& d = rig.converters[0].devices;
    ASSERT_EQ(d.size(), 7u);
    EXPECT_EQ(d[0].channels, 16);
    EXPECT_EQ(d[0].typeLetter, 'A');
    EXPECT_EQ(d[0].version, 0x46B);
    EXPECT_EQ(d[1].kind, SimDeviceKind::HvModule);
    EXPECT_EQ(d[1].channels, 4);
    EXPECT_EQ(d[1].typeLetter, 'Q');
    EXPECT_EQ(d[2].kind, SimDeviceKind::MotorModule);
    EXPECT_EQ(d[2].typeLetter, 'P');
    EXPECT_EQ(d[3].kind, SimDeviceKind::RadioUnit);
    EXPECT_EQ(d[3].version, 0x146);
    EXPECT_EQ(d[4].kind, SimDeviceKind::RemoteControl);
    EXPECT_EQ(d[4].address, 0);
    EXPECT_EQ(d[5].address, 255);
    EXPECT_EQ(d[5].consoleId, 5);
    EXPECT_EQ(d[5].consoleMajor, 4);
    EXPECT_EQ(d[5].consoleState, 0x21);
    EXPECT_EQ(d[5].consolePlayKind, 2);
    EXPECT_EQ(d[6].consoleId, 6);
    EXPECT_FALSE(d[0].faults.loseAnswer.Active());  // converter faults stay on the converter

    // Built, the converters keep their order and serials and the segment gets its faults.
    auto bus = rig.Build();
    ASSERT_EQ(bus->ConverterTotal(), 2);
    std::string serial;
    ASSERT_EQ(bus->SerialNumber(1, serial), ConvOk);
    EXPECT_EQ(serial, "KVSIM2");
    EXPECT_EQ(pattern(bus->Segment(0).Faults().loseAnswer), ".x........");
    EXPECT_NE(bus->Find(2, 0), nullptr);
    EXPECT_EQ(bus->Find(2, 1), nullptr);
    EXPECT_NE(bus->FindAs<SimFiringModule>(3), nullptr);
}

TEST(SimRigParse, RefusalsNameTheLine) {
    std::string seventeenConverters;
    for (int i = 0; i < 17; ++i) {
        seventeenConverters += "converter\n";
    }
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "a rig needs at least one converter"},
        {"# nothing\nbus seed=1\n", "a rig needs at least one converter"},
        {"module address=1\n", "line 1: a device needs a converter line above it"},
        {"converter\nlamp address=1\n", "line 2: unknown line kind 'lamp'"},
        {"converter\n\nmodule address=1 colour=red\n", "line 3: unknown setting 'colour'"},
        {"converter colour=red\n", "line 1: unknown converter setting 'colour'"},
        {"bus speed=fast\n", "line 1: bad bus setting speed=fast"},
        {"bus pacing=maybe\n", "line 1: bad bus setting pacing=maybe"},
        {"bus turnaround-us=-1\n", "line 1: bad bus setting"},
        {"converter\nmodule address=1 channels\n", "line 2: expected key=value at 'channels'"},
        {"converter\nmodule =1\n", "line 2: expected key=value"},
        {"converter description=\"open\n", "line 1: unterminated quote after description"},
        {"converter\nmodule\n", "line 2: a module needs an address"},
        {"converter\nmodule address=240\n", "line 2: address 240 does not suit a module"},
        {"converter\nradio address=7\n", "line 2: address 7 does not suit a radio"},
        {"converter\nremote address=3\n", "line 2: address 3 does not suit a remote"},
        {"converter\nmodule address=256\n", "line 2: address must be a whole number from 0 to 255"},
        {"converter\nmodule address=1x\n", "line 2: address must be a whole number"},
        {"converter\nmodule address=1 version=46\n", "line 2: version must be three hex digits"},
        {"converter\nmodule address=1 version=4G1\n", "line 2: version must be three hex"},
        {"converter\nmodule address=1 type=AB\n", "line 2: type must be one letter"},
        {"converter\nmodule address=1 ohms=-2\n", "line 2: ohms must be a number"},
        {"converter\nmodule address=1 ohms=nan\n", "line 2: ohms must be a number"},
        {"converter\nmodule address=1 ohm.0=2\n", "line 2: ohm.N takes a channel number"},
        {"converter\nmodule address=1 ohm.x=2\n", "line 2: ohm.N takes a channel number"},
        {"converter\nmodule address=1 channels=8 ohm.9=2\n",
         "line 2: ohm.9 is beyond the channel count"},
        {"converter\nmodule address=1 mode=fire\n", "line 2: mode must be launch or test"},
        {"converter\nmodule address=1 forcing=1\n", "line 2: forcing must be on or off"},
        {"converter\nmodule address=1 announce=perhaps\n", "line 2: announce must be yes or no"},
        {"converter\nmodule address=1 temp=100\n", "line 2: temp must be a whole number"},
        {"converter\nmodule address=1 lose=sometimes\n", "line 2: fault pattern must be"},
        {"converter\nmodule address=1 lose=rate:1.5\n", "line 2: rate must be a number"},
        {"converter\nmodule address=1 lose=seq:0\n", "line 2: sequence entries are event"},
        {"converter\nmodule address=1 lose=seq:1,,2\n", "line 2: sequence entries are event"},
        {"converter late-ms=-5\n", "line 1: late-ms must be a whole number"},
        {"converter\nmodule address=1\nhv address=1\n",
         "line 3: two devices answer at the same address on one converter"},
        {"converter\nconsole id=4\nconsole id=4\n",
         "line 3: two devices answer at the same address on one converter"},
        {"converter\nmodule address=1 version=-1F\n", "line 2: version must be three hex"},
        {"converter\nmodule address=1 lose=rate:nan\n", "line 2: rate must be a number"},
        {"converter\nmodule address=1 lose=rate:NaN\n", "line 2: rate must be a number"},
        {"converter\nmodule address=0x-5\n", "line 2: address must be a whole number"},
        {seventeenConverters, "line 17: a rig has at most 16 converters"},
    };
    for (const auto& c : cases) {
        const std::string error = parseError(c.text);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "rig: " << c.text << "\nerror: " << error;
    }
}

TEST(SimRigParse, SameAddressOnTwoConvertersIsAllowed) {
    const SimRig rig = parseOk("converter\nmodule address=1\nconverter\nmodule address=1\n");
    EXPECT_EQ(rig.converters.size(), 2u);
}

TEST(SimRigLoad, FileErrorsNameTheFile) {
    SimRig rig;
    std::string error;
    EXPECT_FALSE(SimRig::Load("/nonexistent/dir/x.rig", rig, error));
    EXPECT_NE(error.find("/nonexistent/dir/x.rig"), std::string::npos);
}

TEST(SimRigDemo, ShippedFileIsTheBuiltInRig) {
    SimRig fromFile;
    std::string error;
    ASSERT_TRUE(SimRig::Load(KV_DEMO_RIG, fromFile, error)) << error;
    SimRig builtIn;
    ASSERT_TRUE(SimRig::Parse(SimRig::DemoText(), builtIn, error)) << error;
    EXPECT_EQ(describe(fromFile), describe(SimRig::Demo()));
    EXPECT_EQ(describe(builtIn), describe(SimRig::Demo()));

    // What the demo is for: firing modules of three generations with 16 to 40 channels and
    // some igniters open or out of band, one of each other kind, two radio units, a console.
    const SimRig demo = SimRig::Demo();
    std::map<SimDeviceKind, int> count;
    std::set<int> versions;
    int open = 0, outOfBand = 0;
    for (const auto& c : demo.converters) {
        for (const auto& d : c.devices) {
            ++count[d.kind];
            if (d.kind == SimDeviceKind::FiringModule) {
                versions.insert(d.version);
                EXPECT_GE(d.channels, 16);
                EXPECT_LE(d.channels, 40);
                for (int i = 0; i < d.channels; ++i) {
                    open += std::isinf(d.Ohms(i)) ? 1 : 0;
                    outOfBand += !std::isinf(d.Ohms(i)) && (d.Ohms(i) < 1 || d.Ohms(i) > 10);
                }
            }
        }
    }
    EXPECT_EQ(count[SimDeviceKind::FiringModule], 3);
    EXPECT_EQ(versions.size(), 3u);
    EXPECT_EQ(count[SimDeviceKind::HvModule], 1);
    EXPECT_EQ(count[SimDeviceKind::MotorModule], 1);
    EXPECT_EQ(count[SimDeviceKind::RadioUnit], 2);
    EXPECT_EQ(count[SimDeviceKind::RemoteControl], 1);
    EXPECT_EQ(count[SimDeviceKind::Console], 1);
    EXPECT_GE(open, 2);
    EXPECT_GE(outOfBand, 2);
}

TEST(SimFaultPattern, RatesAndSequencesHitWhatTheySay) {
    std::mt19937 rng(3);
    SimFaultPattern quarter = SimFaultPattern::Rate(0.25);
    int hits = 0;
    for (int i = 0; i < 4000; ++i) {
        hits += quarter.Hit(rng) ? 1 : 0;
    }
    EXPECT_GT(hits, 850);
    EXPECT_LT(hits, 1150);
    SimFaultPattern seq = SimFaultPattern::Sequence({5, 2});
    EXPECT_EQ(pattern(seq), ".x..x.....");
    for (int i = 0; i < 5; ++i) {
        seq.Hit(rng);
    }
    seq.Restart();
    EXPECT_TRUE(!seq.Hit(rng) && seq.Hit(rng));  // the sequence applies again from the start
}

}  // namespace
}  // namespace kv
