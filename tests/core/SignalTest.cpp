#include "core/Signal.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kv {
namespace {

TEST(SignalTest, EveryListenerHearsEachEmissionInConnectionOrder) {
    Signal<int> changed;
    std::vector<int> heard;
    Connections keep;
    keep += changed.Connect([&](int v) { heard.push_back(v); });
    keep += changed.Connect([&](int v) { heard.push_back(v * 10); });
    changed(3);
    EXPECT_EQ(heard, (std::vector<int>{3, 30}));
}

TEST(SignalTest, AConnectionEndsWithItsHolderWhicheverGoesFirst) {
    int calls = 0;
    auto signal = std::make_unique<Signal<>>();
    {
        ScopedConnection c = signal->Connect([&] { ++calls; });
        (*signal)();
    }
    (*signal)();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(signal->Empty());

    // The signal going first leaves the holder's connection inert.
    ScopedConnection late = signal->Connect([&] { ++calls; });
    signal.reset();
    late = ScopedConnection();
    EXPECT_EQ(calls, 1);
}

TEST(SignalTest, AListenerMayDisconnectAnotherOrConnectOneDuringAnEmission) {
    Signal<> s;
    int first = 0;
    int second = 0;
    int added = 0;
    Connection secondConnection;
    Connections keep;
    keep += s.Connect([&] {
        ++first;
        secondConnection.Disconnect();
        keep += s.Connect([&] { ++added; });
    });
    secondConnection = s.Connect([&] { ++second; });
    s();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);  // disconnected before its turn: not called
    EXPECT_EQ(added, 0);   // connected during the emission: heard from the next one
    s();
    EXPECT_EQ(added, 1);
}

}  // namespace
}  // namespace kv
