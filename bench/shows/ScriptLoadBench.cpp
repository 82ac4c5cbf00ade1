// Load rate of a large script: 100 000 cues of mixed fire and motor lines, UTF-8, shuffled
// times so that the sort has work to do. Prints the time per load and cues per second.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>

#include "shows/TProjectList.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    constexpr int kCues = 100000;
    QByteArray text;
    QRandomGenerator rng(7);
    for (int i = 0; i < kCues; ++i) {
        const int ms = static_cast<int>(rng.bounded(3600000));
        const QString t = QStringLiteral("%1:%2.%3")
                              .arg(ms / 60000)
                              .arg((ms / 1000) % 60, 2, 10, QChar('0'))
                              .arg(ms % 1000, 3, 10, QChar('0'));
        if (i % 10 == 9) {
            text += (t + QStringLiteral(" 20 #LT#2.5#50 поворот\r\n")).toUtf8();
        } else {
            text +=
                (t + QStringLiteral(" %1 %2 Залп %3\r\n").arg(1 + i % 99).arg(1 + i % 512).arg(i))
                    .toUtf8();
        }
    }
    kv::TProjectList list;
    constexpr int kRounds = 5;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < kRounds; ++r) {
        list.LoadFromBytes(text, QStringLiteral("big.txt"));
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6 / kRounds;
    std::printf("script load: %d cues, %.1f MB, %.1f ms per load, %.0f cues/s (loaded %d)\n", kCues,
                text.size() / 1e6, ms, kCues / (ms / 1000.0), list.Count());
    return list.Count() == kCues ? 0 : 1;
}
