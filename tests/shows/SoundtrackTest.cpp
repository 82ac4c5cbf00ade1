#include <gtest/gtest.h>

#include <QFile>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "AudioFixtures.h"
#include "FakeClock.h"
#include "TempDir.h"
#include "core/Clock.h"
#include "shows/AudioSystem.h"
#include "shows/TBassPlayer.h"

using namespace kv;

namespace {

// Waits in real time for the output thread to catch up with a fake clock.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 400; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

class SoundtrackTest : public ::testing::Test {
protected:
    void SetUp() override { SelectAudioOutput(AudioOutput::Null); }
    void TearDown() override { SelectAudioOutput(AudioOutput::Device); }
    TempDir dir_;
};

std::vector<int16_t> ReadAll(TBassFile& f) {
    std::vector<int16_t> pcm(static_cast<size_t>(f.LengthBytes() / 2 + 4096));
    const int64_t got = f.ReadData(pcm.data(), static_cast<int64_t>(pcm.size() * 2));
    pcm.resize(static_cast<size_t>(got / 2));
    return pcm;
}

// The lag (in frames, within +-range) at which the piece best matches the reference.
int BestLag(const std::vector<int16_t>& ref, int64_t at, const std::vector<int16_t>& piece,
            int channels, int range) {
    int best = 0;
    double bestErr = -1;
    const int64_t frames = static_cast<int64_t>(piece.size()) / channels;
    for (int lag = -range; lag <= range; ++lag) {
        double err = 0;
        for (int64_t i = 0; i < frames; i += 4) {
            const int64_t r = (at + lag + i) * channels;
            if (r < 0 || r >= static_cast<int64_t>(ref.size())) {
                err += 1e9;
                continue;
            }
            const double d =
                double(ref[static_cast<size_t>(r)]) - piece[static_cast<size_t>(i * channels)];
            err += d * d;
        }
        if (bestErr < 0 || err < bestErr) {
            bestErr = err;
            best = lag;
        }
    }
    return best;
}

}  // namespace

class SoundtrackFormatTest : public SoundtrackTest,
                             public ::testing::WithParamInterface<const char*> {};

// Every offered format loads with its own rate and channels, a length near the true two
// seconds, and a seek that lands where sequential decoding puts the same sound.
TEST_P(SoundtrackFormatTest, LoadsWithLengthAndSeeksToTheRightSound) {
    const QString ext = GetParam();
    QString reason;
    const QString path = kvtest::MakeSweep(dir_.path(), ext, 2.0, 44100, 2, &reason);
    if (path.isEmpty()) {
        GTEST_SKIP() << reason.toStdString();
    }
    TBassPlayer player;
    player.SetFileName(path);
    player.OpenStream();
    ASSERT_TRUE(player.Loaded());
    EXPECT_EQ(player.Channels(), 2);
    EXPECT_EQ(player.SampleRate(), 44100);
    EXPECT_EQ(player.BytesPerSecond(), 44100u * 4);
    EXPECT_NEAR(player.LengthMs(), 2000, ext == "wav" ? 0 : 60);

    // The source the file was encoded from is the truth every position is measured against.
    TBassFile source;
    source.SetFileName(kvtest::MakeSweep(dir_.path(), "wav", 2.0, 44100, 2, &reason));
    source.OpenStream();
    ASSERT_TRUE(source.Loaded());
    const std::vector<int16_t> truth = ReadAll(source);
    // WMA timestamps are whole milliseconds; the rest is sample-exact.
    const int tolerance = ext == "wma" ? 44100 * 5 / 1000 : 0;

    TBassFile decoded;
    decoded.SetFileName(path);
    decoded.OpenStream();
    ASSERT_TRUE(decoded.Loaded());
    const std::vector<int16_t> all = ReadAll(decoded);
    // What the decoder delivers is what the length announced, give or take a packet.
    EXPECT_NEAR(static_cast<double>(all.size() * 2), static_cast<double>(decoded.LengthBytes()),
                ext == "wav" ? 0 : 4 * 2048);
    // Played from the start, 0.5 s in is the sound of 0.5 s.
    const std::vector<int16_t> early(all.begin() + 22050 * 2, all.begin() + (22050 + 4096) * 2);
    EXPECT_LE(std::abs(BestLag(truth, 22050, early, 2, 3000)), tolerance);

    player.SeekTo(1234);
    EXPECT_EQ(player.SoundPosition(), 1234);
    EXPECT_FALSE(player.IsSoundPlaying());
    std::vector<int16_t> piece(4096 * 2);
    ASSERT_EQ(player.ReadData(piece.data(), 4096 * 4), 4096 * 4);
    const int64_t target = player.BytesOfMs(1234) / 4;
    const int lag = BestLag(truth, target, piece, 2, 3000);
    EXPECT_LE(std::abs(lag), tolerance) << "lag " << lag;
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundtrackFormatTest,
                         ::testing::Values("wav", "mp3", "ogg", "wma"));

TEST_F(SoundtrackTest, ByteConversionsAndExactPcmPositions) {
    const QString path = kvtest::WriteRampWav(dir_.file("ramp.wav"), 44100, 44100 * 3);
    TBassPlayer p;
    p.SetFileName(path);
    p.OpenStream();
    ASSERT_TRUE(p.Loaded());
    EXPECT_EQ(p.LengthBytes(), 44100 * 3 * 4);
    EXPECT_EQ(p.LengthMs(), 3000);
    EXPECT_EQ(p.BytesOfMs(1000), 176400);
    // Ties to even: 0.5 byte-ms cases. 1/176.4 ms is not a tie; 2.5 bytes would be.
    EXPECT_EQ(p.MsOfBytes(176400), 1000);
    EXPECT_EQ(p.MsOfBytes(88), 0);  // 0.4988... ms

    p.SetPositionBytes(176400);
    EXPECT_EQ(p.PositionBytes(), 176400);
    int16_t frame[2] = {0, 0};
    ASSERT_EQ(p.ReadData(frame, 4), 4);
    EXPECT_EQ(frame[0], 44100 % 32768);
    EXPECT_EQ(frame[1], -(44100 % 32768));
    EXPECT_EQ(p.PositionBytes(), 176404);

    // Byte reads walk through a frame and keep the position in bytes.
    p.SetPositionBytes(8);
    EXPECT_EQ(p.ReadByte(), 2);
    EXPECT_EQ(p.PositionBytes(), 9);
    EXPECT_EQ(p.ReadByte(), 0);
    uint8_t rest[3] = {};
    ASSERT_EQ(p.ReadData(rest, 3), 3);
    EXPECT_EQ(rest[0], 0xFE);  // -2, low byte
    EXPECT_EQ(rest[2], 3);     // next frame's left sample
    EXPECT_EQ(p.PositionBytes(), 13);

    // Past the end: the position sits at the end and nothing more is read.
    p.SetPositionBytes(p.LengthBytes() + 1000);
    EXPECT_TRUE(p.AtEnd());
    EXPECT_EQ(p.ReadByte(), -1);
}

TEST_F(SoundtrackTest, PositionFollowsTheFramesTheOutputConsumed) {
    FakeClock clock(1000);
    ScopedClock scoped(clock);
    const QString path = kvtest::WriteRampWav(dir_.file("ramp.wav"), 44100, 44100 * 2);
    TBassPlayer p;
    p.SetFileName(path);
    p.OpenStream();
    ASSERT_TRUE(p.Loaded());

    p.PlayFrom(500);
    EXPECT_TRUE(p.IsSoundPlaying());
    EXPECT_EQ(p.SoundPosition(), 500);
    clock.Advance(300);
    EXPECT_TRUE(WaitFor([&] { return p.SoundPosition() == 800; })) << p.SoundPosition();

    p.StopSound();
    EXPECT_FALSE(p.IsSoundPlaying());
    clock.Advance(700);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(p.SoundPosition(), 800);

    // Seeking while stopped does not start it; playing to the end stops it by itself.
    p.SeekTo(100);
    EXPECT_EQ(p.SoundPosition(), 100);
    EXPECT_FALSE(p.IsSoundPlaying());
    p.PlayFrom(1900);
    clock.Advance(400);
    EXPECT_TRUE(WaitFor([&] { return !p.IsSoundPlaying(); }));
    EXPECT_EQ(p.SoundPosition(), 2000);
    EXPECT_TRUE(p.AtEnd());

    // Played again from the start after the end.
    p.PlayFrom(0);
    clock.Advance(250);
    EXPECT_TRUE(WaitFor([&] { return p.SoundPosition() == 250; })) << p.SoundPosition();
    p.StopSound();
}

TEST_F(SoundtrackTest, NothingLoadedIsHarmless) {
    TBassPlayer p;
    EXPECT_FALSE(p.Loaded());
    EXPECT_EQ(p.SoundPosition(), 0);
    p.SeekTo(1000);
    EXPECT_EQ(p.SoundPosition(), 0);
    EXPECT_FALSE(p.IsSoundPlaying());

    p.SetFileName(dir_.file("missing.mp3"));
    p.OpenStream();
    EXPECT_FALSE(p.Loaded());

    // Text posing as a soundtrack does not load; neither does a truncated WAV header.
    p.SetFileName(dir_.write("notes.mp3", QByteArray("this is no sound file\r\n").repeated(200)));
    p.OpenStream();
    EXPECT_FALSE(p.Loaded());
    p.SetFileName(dir_.write("cut.wav", QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16)));
    p.OpenStream();
    EXPECT_FALSE(p.Loaded());
    EXPECT_EQ(p.SoundPosition(), 0);
}

TEST_F(SoundtrackTest, AudioReadyFollowsTheInstanceCounter) {
    EXPECT_FALSE(AudioReady());
    {
        TBassPlayer a;
        EXPECT_TRUE(AudioReady());
        {
            TBassFile b;
            EXPECT_TRUE(AudioReady());
        }
        EXPECT_TRUE(AudioReady());
    }
    EXPECT_FALSE(AudioReady());
}

// A sound device that cannot open is reported as not ready; nothing falls back to the null
// output, and a load fails cleanly.
TEST_F(SoundtrackTest, FailingDeviceIsNotReplacedByTheNullOutput) {
    SelectAudioOutput(AudioOutput::Device);
    const QByteArray old = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    {
        TBassPlayer p;
        EXPECT_FALSE(AudioReady());
        p.SetFileName(kvtest::WriteRampWav(dir_.file("ramp.wav"), 8000, 800));
        p.OpenStream();
        EXPECT_FALSE(p.Loaded());
        EXPECT_EQ(p.SoundPosition(), 0);
    }
    if (old.isNull()) {
        qunsetenv("SDL_AUDIODRIVER");
    } else {
        qputenv("SDL_AUDIODRIVER", old);
    }
}

// The audio library must not take the stop signals: a SIGTERM it catches becomes a quit event
// that nobody reads, and a show could not be stopped by it.
TEST_F(SoundtrackTest, TheSoundDeviceLeavesTheStopSignalsAlone) {
    SelectAudioOutput(AudioOutput::Device);
    const QByteArray old = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "dummy");
    struct sigaction before[2]{};
    ::sigaction(SIGTERM, nullptr, &before[0]);
    ::sigaction(SIGINT, nullptr, &before[1]);
    {
        TBassPlayer p;
        struct sigaction during {};
        ::sigaction(SIGTERM, nullptr, &during);
        EXPECT_EQ(during.sa_handler, before[0].sa_handler) << "SIGTERM";
        ::sigaction(SIGINT, nullptr, &during);
        EXPECT_EQ(during.sa_handler, before[1].sa_handler) << "SIGINT";
    }
    if (old.isNull()) {
        qunsetenv("SDL_AUDIODRIVER");
    } else {
        qputenv("SDL_AUDIODRIVER", old);
    }
}

TEST_F(SoundtrackTest, MonoAndOtherRatesKeepTheirOwnFormat) {
    QString reason;
    const QString path = kvtest::MakeSweep(dir_.path(), "wav", 1.0, 22050, 1, &reason);
    if (path.isEmpty()) {
        GTEST_SKIP() << reason.toStdString();
    }
    TBassPlayer p;
    p.SetFileName(path);
    p.OpenStream();
    ASSERT_TRUE(p.Loaded());
    EXPECT_EQ(p.Channels(), 1);
    EXPECT_EQ(p.BytesPerSecond(), 22050u * 2);
    EXPECT_EQ(p.LengthMs(), 1000);
    p.SeekTo(500);
    EXPECT_EQ(p.PositionBytes(), 22050);
}
