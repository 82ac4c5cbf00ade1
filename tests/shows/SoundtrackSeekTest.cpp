// After a seek, in every format, the first sample the output gets is the sound of the position
// the player reports: at the start, in the middle and in the last second (for Ogg, its last
// page, whose timestamps the demuxer gets wrong).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "AudioFixtures.h"
#include "TempDir.h"
#include "shows/AudioSystem.h"
#include "shows/TBassPlayer.h"

using namespace kv;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kToleranceFrames = kRate * 5 / 1000;  // 5 ms

std::vector<int16_t> DecodeAll(const QString& path) {
    TBassFile f;
    f.SetFileName(path);
    f.OpenStream();
    std::vector<int16_t> pcm(static_cast<size_t>(f.LengthBytes() / 2 + 4096));
    const int64_t got = f.ReadData(pcm.data(), static_cast<int64_t>(pcm.size() * 2));
    pcm.resize(static_cast<size_t>(std::max<int64_t>(0, got / 2)));
    return pcm;
}

// Where in the source the piece comes from, relative to `at` (frames, within +-range): the
// lag of least squared difference, left channel, every second frame.
int64_t SourceLag(const std::vector<int16_t>& source, int64_t at, const std::vector<int16_t>& piece,
                  int64_t range) {
    const int64_t frames = static_cast<int64_t>(piece.size()) / kChannels;
    const int64_t total = static_cast<int64_t>(source.size()) / kChannels;
    int64_t best = 0;
    double bestErr = -1;
    for (int64_t lag = -range; lag <= range; ++lag) {
        if (at + lag < 0 || at + lag + frames > total) {
            continue;
        }
        double err = 0;
        for (int64_t i = 0; i < frames && (bestErr < 0 || err < bestErr); i += 2) {
            const double d = double(source[static_cast<size_t>((at + lag + i) * kChannels)]) -
                             piece[static_cast<size_t>(i * kChannels)];
            err += d * d;
        }
        if (bestErr < 0 || err < bestErr) {
            bestErr = err;
            best = lag;
        }
    }
    return best;
}

class SoundtrackSeekTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { SelectAudioOutput(AudioOutput::Null); }
    void TearDown() override { SelectAudioOutput(AudioOutput::Device); }
    TempDir dir_;
};

}  // namespace

TEST_P(SoundtrackSeekTest, FirstSoundAfterASeekIsTheSoundOfThePosition) {
    const QString ext = GetParam();
    QString reason;
    const QString path = kvtest::MakeNoise(dir_.path(), ext, 6.0, kRate, kChannels, &reason);
    if (path.isEmpty()) {
        GTEST_SKIP() << "cannot make the test file: " << reason.toStdString();
    }
    const std::vector<int16_t> source =
        DecodeAll(kvtest::MakeNoise(dir_.path(), "wav", 6.0, kRate, kChannels, &reason));
    ASSERT_EQ(source.size(), static_cast<size_t>(6 * kRate * kChannels));

    TBassPlayer player;
    player.SetFileName(path);
    player.OpenStream();
    ASSERT_TRUE(player.Loaded());
    // Compared from 60 ms after the seek on: a WMA file's first frame is silence by nature.
    constexpr int64_t kSkip = kRate * 60 / 1000;
    constexpr int64_t kPiece = 2048;
    for (const int ms : {0, 3000, 5300, 5600, 5850}) {
        player.SeekTo(ms);
        EXPECT_EQ(player.SoundPosition(), ms) << ext.toStdString();
        EXPECT_LE(player.SoundPosition(), player.LengthMs());
        std::vector<int16_t> read(static_cast<size_t>((kSkip + kPiece) * kChannels));
        const int64_t bytes = static_cast<int64_t>(read.size() * sizeof(int16_t));
        ASSERT_EQ(player.ReadData(read.data(), bytes), bytes) << ms;
        EXPECT_LE(player.SoundPosition(), player.LengthMs());
        const std::vector<int16_t> piece(read.begin() + kSkip * kChannels, read.end());
        const int64_t at = player.BytesOfMs(ms) / (2 * kChannels) + kSkip;
        const int64_t lag = SourceLag(source, at, piece, kRate * 3 / 4);
        EXPECT_LE(std::abs(lag), kToleranceFrames)
            << ext.toStdString() << " at " << ms << " ms: the sound is " << lag * 1000 / kRate
            << " ms off the position";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundtrackSeekTest,
                         ::testing::Values("wav", "mp3", "ogg", "wma"));
