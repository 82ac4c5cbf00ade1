#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <utility>

#include "TempDir.h"

namespace kvtest {

// One tool run's output and event log: each run gets --log-dir in its own temporary folder,
// and what it printed stays here until the next run.
struct CtlRun {
    TempDir dir;
    QString out;
    QString err;

    // run(args, out, err) calls the tool's entry with the converters the test chose.
    template <class Entry>
    int Run(QStringList args, Entry&& run) {
        out.clear();
        err.clear();
        QTextStream o(&out);
        QTextStream e(&err);
        args.prepend(dir.file(QStringLiteral("logs")));
        args.prepend(QStringLiteral("--log-dir"));
        return std::forward<Entry>(run)(args, o, e);
    }

    // Every log file of the folder, in name order.
    QString Log() const {
        QString all;
        const QDir logs(dir.file(QStringLiteral("logs")));
        for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) {
            QFile f(logs.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                all += QString::fromUtf8(f.readAll());
            }
        }
        return all;
    }

    // The log's lines without their time stamps.
    QStringList LogLines() const {
        QStringList lines;
        for (const QString& line : Log().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            lines << line.mid(line.indexOf(QStringLiteral(": ")) + 2);
        }
        return lines;
    }

    // The printed lines as JSON objects (--json), each line checked to parse.
    QList<QJsonObject> Objects() const {
        QList<QJsonObject> list;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error{};
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            list << doc.object();
        }
        return list;
    }
};

}  // namespace kvtest
