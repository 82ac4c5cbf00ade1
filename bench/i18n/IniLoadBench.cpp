// Load time of big settings and language files: a file of N keys read as the settings file
// (the thresholds looked up) and as the language file (the message list filled). Prints the
// wall time of each; the console reads both once at start-up.
//
//   kv_bench_ini_load [KEYS]    (default 100000)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/Settings.h"
#include "i18n/Localizer.h"
#include "util/IniFile.h"

namespace {

QByteArray BigFile(int keys, const char* section) {
    QByteArray text;
    text.reserve(keys * 24);
    text += "[keys]\r\nStartBtn=116\r\n[settings]\r\nConnectResist=\"25.5\"\r\n[";
    text += section;
    text += "]\r\n";
    for (int i = 0; i < keys; ++i) {
        // Every tenth name repeats an earlier one, as a careless translator's file might.
        const int name = i % 10 == 9 ? i - 5 : i;
        text += "Key" + QByteArray::number(name) + "=Text number " + QByteArray::number(i) + "\r\n";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kelvanex.ini"));
    const QString lng = dir.filePath(QStringLiteral("kelvanex.lng"));
    for (const auto& [path, section] : {std::pair{ini, "settings"}, std::pair{lng, "strings"}}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(BigFile(keys, section)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    QElapsedTimer t;
    t.start();
    const kv::ConsoleSettings s = kv::ReadConsoleSettings(ini);
    const double settingsMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    kv::SetLanguageFilePath(lng);
    t.restart();
    kv::EnsureMessagesLoaded();
    const double messagesMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    // The windows' translation asks for the same file again: it must not be parsed again.
    t.restart();
    for (int window = 0; window < 7; ++window) {
        kv::LanguageFile();
    }
    const double windowsMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    std::printf("keys per file:               %d\n", keys);
    std::printf("settings file read:          %8.1f ms (ConnectResist %.1f)\n", settingsMs,
                s.ConnectResist);
    std::printf("language file, messages:     %8.1f ms (%d messages)\n", messagesMs,
                kv::LoadedMessageCount());
    std::printf("language file, 7 windows:    %8.1f ms (%d parse(s) in all)\n", windowsMs,
                kv::LanguageFileParseCount());
    return 0;
}
