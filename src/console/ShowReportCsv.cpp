#include <QSaveFile>
#include <QStringList>

#include "console/ShowRecord.h"
#include "console/ShowReport.h"
#include "devices/TScriptCue.h"

namespace kv {

namespace {

// RFC 4180 quoting: a field with a separator, a quote or a line break is quoted, its quotes
// doubled. Reasons come from the language file and may hold any of them.
QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Optional(const std::optional<int32_t>& value) {
    return value ? QString::number(*value) : QString();
}

}  // namespace

QString ShowReportResultText(const ShowRecord& record, int index) {
    const ShowRecordCue& c = record.Cues()[static_cast<size_t>(index)];
    const QString word = CueResultWord(c.Result);
    if (c.Result == CueResult::NotSent && !c.Reason.isEmpty()) {
        return word + QLatin1Char('(') + c.Reason + QLatin1Char(')');
    }
    return word;
}

QByteArray ShowReportCsv(const ShowRecord& record) {
    QString out = QLatin1String(kShowReportColumns) + QStringLiteral("\r\n");
    const auto& cues = record.Cues();
    for (size_t i = 0; i < cues.size(); ++i) {
        const ShowRecordCue& c = cues[i];
        const bool motor = IsMotorCue(c.Kind);
        QStringList row{QString::number(i + 1),
                        QString::number(c.Time),
                        QString::number(c.Module),
                        motor ? QString() : QString::number(static_cast<int64_t>(c.Channel) + 1),
                        CueKindWord(c.Kind),
                        Optional(c.SentMs),
                        Optional(c.LatenessMs()),
                        CsvField(ShowReportResultText(record, static_cast<int>(i))),
                        CheckAfterWord(c.Check),
                        ContinuityWord(c.Before)};
        out += row.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

bool WriteShowReportCsv(const ShowRecord& record, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    const QByteArray bytes = ShowReportCsv(record);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

bool WriteShowReport(const ShowRecord& record, const QString& path, QString* error) {
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        return WriteShowReportPdf(record, path, error);
    }
    return WriteShowReportCsv(record, path, error);
}

QString ShowReportBaseName(const QDateTime& started, int slot) {
    return started.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
           QStringLiteral("_slot%1").arg(slot + 1);
}

}  // namespace kv
