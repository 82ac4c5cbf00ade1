#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include "TempDir.h"
#include "core/EventLog.h"

// Points the event log at a fresh file for one test and reads back what was written.
class LogCapture {
public:
    LogCapture() {
        kv::ResetEventLogForTesting();
        kv::SetLogLevel(1);
        kv::SetLogFileName(dir_.file(QStringLiteral("test.log")));
    }
    ~LogCapture() { kv::ResetEventLogForTesting(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList Lines() const {
        QFile f(dir_.file(QStringLiteral("test.log")));
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }
    // Lines containing text.
    QStringList With(const QString& text) const { return Lines().filter(text); }

private:
    TempDir dir_;
};
