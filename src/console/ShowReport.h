#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class QPainter;

namespace kv {

class ShowRecord;

// The columns of the CSV form, in order.
inline constexpr const char* kShowReportColumns =
    "cue,time_ms,module,channel,kind,sent_ms,lateness_ms,result,check_after,continuity_before";

// The CSV form: the column line, then one line per cue of the script, UTF-8 with CR LF.
QByteArray ShowReportCsv(const ShowRecord& record);
// The result column of one cue: "sent", "not_sent(reason)", "skipped", "autonomous".
QString ShowReportResultText(const ShowRecord& record, int index);

// Writes the CSV form; the file is replaced whole or not at all. False with a reason on failure.
bool WriteShowReportCsv(const ShowRecord& record, const QString& path, QString* error = nullptr);
// Writes the printable form (PDF): header, counts, the lateness plot and the table of every cue
// not sent or whose check did not find it fired. Needs a QGuiApplication (fonts).
bool WriteShowReportPdf(const ShowRecord& record, const QString& path, QString* error = nullptr);
// The cues of the printable form's table: not sent, not found fired, or on a channel that
// failed its test before the show.
std::vector<int> ShowReportTableCues(const ShowRecord& record);
// Draws the printable form on a painter, page after page of the given size; newPage moves the
// painter to a fresh page. The PDF writer and the page images share it.
void DrawShowReport(const ShowRecord& record, QPainter& painter, QSize page,
                    const std::function<void()>& newPage);
// The printable form's pages as images at the PDF's resolution, for a look without a PDF reader.
std::vector<QImage> ShowReportPageImages(const ShowRecord& record);
// Writes the form the name asks for: ".pdf" (any case) the printable one, anything else CSV.
bool WriteShowReport(const ShowRecord& record, const QString& path, QString* error = nullptr);

// "2026-12-10_20-15-03_slot3": the name of a show's report files, without the extension, from
// its start and its slot (0-based).
QString ShowReportBaseName(const QDateTime& started, int slot);

}  // namespace kv
