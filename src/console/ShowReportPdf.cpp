#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <functional>

#include "console/ShowRecord.h"
#include "console/ShowReport.h"
#include "devices/TScriptCue.h"

namespace kv {

namespace {

constexpr int kDpi = 300;

QString ModeText(const ShowRecordHeader& h) {
    static const char* const kWork[] = {"automatic", "manual", "automatic + manual"};
    const QString work =
        QLatin1String(h.WorkMode < 3 ? kWork[h.WorkMode] : "unknown") + QStringLiteral(" work");
    return (h.Autonomous ? QStringLiteral("autonomous control, ")
                         : QStringLiteral("direct control, ")) +
           work;
}

QString ShowTime(int32_t ms) {
    const int64_t a = std::abs(static_cast<int64_t>(ms));
    return QStringLiteral("%1%2:%3.%4")
        .arg(ms < 0 ? QStringLiteral("-") : QString())
        .arg(a / 60000)
        .arg((a / 1000) % 60, 2, 10, QLatin1Char('0'))
        .arg(a % 1000, 3, 10, QLatin1Char('0'));
}

// Draws the pages top to bottom, starting a new page when the next line does not fit.
class PageFlow {
public:
    PageFlow(QPainter& painter, QSize page, std::function<void()> newPage)
        : painter_(painter),
          newPage_(std::move(newPage)),
          width_(page.width()),
          height_(page.height()) {}

    int Width() const { return width_; }
    int Y() const { return y_; }
    void Skip(int px) { y_ += px; }

    // Room for h more pixels, on this page or a new one.
    void Need(int h) {
        if (y_ + h > height_) {
            newPage_();
            y_ = 0;
        }
    }

    void Line(const QString& text, int pointSize, bool bold = false) {
        QFont f = painter_.font();
        f.setPointSize(pointSize);
        f.setBold(bold);
        painter_.setFont(f);
        const QFontMetrics fm(f, painter_.device());
        Need(fm.lineSpacing());
        painter_.drawText(QRect(0, y_, width_, fm.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                          fm.elidedText(text, Qt::ElideRight, width_));
        y_ += fm.lineSpacing();
    }

private:
    QPainter& painter_;
    std::function<void()> newPage_;
    int width_ = 0;
    int height_ = 0;
    int y_ = 0;
};

void DrawHeader(PageFlow& flow, const ShowRecord& record) {
    const ShowRecordHeader& h = record.Header();
    flow.Line(QStringLiteral("Show report"), 16, true);
    flow.Skip(20);
    const QStringList lines{
        QStringLiteral("Date: ") + h.Started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QStringLiteral("Console ID: %1    Slot: %2").arg(h.ConsoleId).arg(h.Slot + 1),
        QStringLiteral("Script: ") + h.ScriptFile,
        QStringLiteral("SHA-256: ") +
            (h.ScriptSha256.isEmpty() ? QStringLiteral("(file not readable)") : h.ScriptSha256),
        QStringLiteral("Soundtrack: ") +
            (h.Soundtrack.isEmpty() ? QStringLiteral("none") : h.Soundtrack),
        QStringLiteral("Modes: ") + ModeText(h),
        QStringLiteral("Start point: %1    Tempo: %2 %    Offset: %3 ms")
            .arg(ShowTime(h.StartPoint))
            .arg(h.Tempo / 10.0, 0, 'f', 1)
            .arg(h.Offset),
        QStringLiteral("Ended: %1 at %2").arg(ShowEndWord(h.End), ShowTime(h.EndPosition)),
    };
    for (const QString& l : lines) {
        flow.Line(l, 10);
    }
    for (const ShowChange& c : h.Changes) {
        flow.Line(
            c.Kind == ShowChange::What::Tempo
                ? QStringLiteral("  at %1: tempo %2 %")
                      .arg(ShowTime(c.ShowMs))
                      .arg(c.Value / 10.0, 0, 'f', 1)
                : QStringLiteral("  at %1: offset %2 ms").arg(ShowTime(c.ShowMs)).arg(c.Value),
            10);
    }
    flow.Skip(30);
    const ShowCounts n = record.Counts();
    flow.Line(QStringLiteral("Counts"), 12, true);
    flow.Line(QStringLiteral("Cues: %1    sent: %2    not sent: %3    skipped: %4    "
                             "autonomous: %5")
                  .arg(n.Cues)
                  .arg(n.Sent)
                  .arg(n.NotSent)
                  .arg(n.Skipped)
                  .arg(n.Autonomous),
              10);
    flow.Line(QStringLiteral("Checks after the show: %1 fired, %2 failed")
                  .arg(n.CheckedFired)
                  .arg(n.ChecksFailed),
              10);
    flow.Skip(30);
}

void DrawPlot(PageFlow& flow, QPainter& p, const ShowRecord& record) {
    flow.Line(QStringLiteral("Lateness against show time"), 12, true);
    const int h = kDpi * 3;  // three inches
    flow.Need(h + 40);
    const int top = flow.Y() + 10;
    const int left = 180;
    const QRect area(left, top, flow.Width() - left - 20, h - 120);

    int32_t tMin = 0;
    int32_t tMax = 1000;
    int32_t lMax = 10;
    bool any = false;
    for (const ShowRecordCue& c : record.Cues()) {
        if (!c.SentMs) {
            continue;
        }
        tMin = any ? std::min(tMin, *c.SentMs) : *c.SentMs;
        tMax = any ? std::max(tMax, *c.SentMs) : std::max(*c.SentMs, tMin + 1000);
        lMax = std::max(lMax, std::abs(*c.LatenessMs()));
        any = true;
    }
    if (tMax <= tMin) {
        tMax = tMin + 1000;
    }
    // Lateness can be negative (a cue sent early by an offset): the axis is symmetric then.
    int32_t lMin = 0;
    for (const ShowRecordCue& c : record.Cues()) {
        if (c.SentMs && *c.LatenessMs() < 0) {
            lMin = -lMax;
        }
    }
    const auto x = [&](int32_t t) {
        return area.left() +
               static_cast<int>(static_cast<int64_t>(t - tMin) * area.width() / (tMax - tMin));
    };
    const auto y = [&](int32_t l) {
        return area.bottom() -
               static_cast<int>(static_cast<int64_t>(l - lMin) * area.height() / (lMax - lMin));
    };
    p.save();
    QFont f = p.font();
    f.setPointSize(8);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(area);
    p.setPen(QPen(Qt::gray, 2, Qt::DotLine));
    if (lMin < 0) {
        p.drawLine(area.left(), y(0), area.right(), y(0));
    }
    p.setPen(Qt::black);
    p.drawText(QRect(0, area.top() - 20, left - 20, 40), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 ms").arg(lMax));
    p.drawText(QRect(0, area.bottom() - 20, left - 20, 40), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 ms").arg(lMin));
    p.drawText(QRect(area.left(), area.bottom() + 10, 400, 50), Qt::AlignLeft | Qt::AlignTop,
               ShowTime(tMin));
    p.drawText(QRect(area.right() - 400, area.bottom() + 10, 400, 50),
               Qt::AlignRight | Qt::AlignTop, ShowTime(tMax));
    p.drawText(QRect(area.left(), area.bottom() + 10, area.width(), 50), Qt::AlignHCenter,
               QStringLiteral("show time"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x50, 0xC0));
    for (const ShowRecordCue& c : record.Cues()) {
        if (c.SentMs) {
            p.drawEllipse(QPoint(x(*c.SentMs), y(*c.LatenessMs())), 9, 9);
        }
    }
    if (!any) {
        p.setPen(Qt::black);
        p.drawText(area, Qt::AlignCenter, QStringLiteral("no cue was sent"));
    }
    p.restore();
    flow.Skip(h + 20);
}

void DrawTable(PageFlow& flow, QPainter& p, const ShowRecord& record) {
    flow.Line(QStringLiteral("Cues not sent, not fired, or on a failed channel"), 12, true);
    const auto& cues = record.Cues();
    int rows = 0;
    // Column starts in pixels of the page; the result column takes what is left.
    const int cols[] = {0, 140, 400, 560, 720, 1000, 1700, 1980};
    const QStringList head{QStringLiteral("cue"),    QStringLiteral("time"),
                           QStringLiteral("module"), QStringLiteral("channel"),
                           QStringLiteral("sent"),   QStringLiteral("result"),
                           QStringLiteral("check"),  QStringLiteral("before")};
    QFont f = p.font();
    f.setPointSize(8);
    const auto row = [&](const QStringList& cells, bool bold) {
        f.setBold(bold);
        p.setFont(f);
        const QFontMetrics fm(f, p.device());
        flow.Need(fm.lineSpacing());
        for (int k = 0; k < cells.size(); ++k) {
            const int right = k + 1 < cells.size() ? cols[k + 1] - 10 : flow.Width();
            p.drawText(QRect(cols[k], flow.Y(), right - cols[k], fm.lineSpacing()),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       fm.elidedText(cells[k], Qt::ElideRight, right - cols[k]));
        }
        flow.Skip(fm.lineSpacing());
    };
    row(head, true);
    for (const int index : ShowReportTableCues(record)) {
        const auto i = static_cast<size_t>(index);
        const ShowRecordCue& c = cues[i];
        ++rows;
        row({QString::number(i + 1), ShowTime(c.Time), QString::number(c.Module),
             IsMotorCue(c.Kind) ? CueKindWord(c.Kind)
                                : QString::number(static_cast<int64_t>(c.Channel) + 1),
             c.SentMs ? ShowTime(*c.SentMs) : QString(),
             ShowReportResultText(record, static_cast<int>(i)),
             c.Check == CheckAfter::None ? QStringLiteral("-") : CheckAfterWord(c.Check),
             c.Before == Continuity::None ? QStringLiteral("-") : ContinuityWord(c.Before)},
            false);
    }
    if (rows == 0) {
        flow.Line(QStringLiteral("none: every cue was sent and found fired"), 10);
    }
}

}  // namespace

std::vector<int> ShowReportTableCues(const ShowRecord& record) {
    std::vector<int> out;
    const auto& cues = record.Cues();
    for (size_t i = 0; i < cues.size(); ++i) {
        const ShowRecordCue& c = cues[i];
        // An open channel reads the same before and after a fire: a cue on a channel the test
        // found without an igniter stays in the table although its check says fired.
        const bool testedBad = c.Before == Continuity::Unconnected || c.Before == Continuity::Error;
        if (c.Result != CueResult::Sent || c.Check != CheckAfter::Fired || testedBad) {
            out.push_back(static_cast<int>(i));
        }
    }
    return out;
}

void DrawShowReport(const ShowRecord& record, QPainter& painter, QSize page,
                    const std::function<void()>& newPage) {
    PageFlow flow(painter, page, newPage);
    DrawHeader(flow, record);
    DrawPlot(flow, painter, record);
    DrawTable(flow, painter, record);
}

std::vector<QImage> ShowReportPageImages(const ShowRecord& record) {
    // A4 at 300 dpi less the PDF's 15 mm margins.
    const QSize page(2480 - 2 * 177, 3508 - 2 * 177);
    std::vector<QImage> pages;
    QPainter painter;
    const auto start = [&] {
        pages.emplace_back(page, QImage::Format_RGB32);
        pages.back().setDotsPerMeterX(kDpi * 10000 / 254);
        pages.back().setDotsPerMeterY(kDpi * 10000 / 254);
        pages.back().fill(Qt::white);
        painter.begin(&pages.back());
    };
    start();
    DrawShowReport(record, painter, page, [&] {
        // A new image is a new painter: carry over what the PDF writer's page break keeps.
        const QFont font = painter.font();
        const QPen pen = painter.pen();
        painter.end();
        start();
        painter.setFont(font);
        painter.setPen(pen);
    });
    painter.end();
    return pages;
}

bool WriteShowReportPdf(const ShowRecord& record, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Show report ") + QFileInfo(path).completeBaseName());
        writer.setCreator(QStringLiteral("Kelvane"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            if (error) {
                *error = QStringLiteral("cannot draw the PDF");
            }
            return false;
        }
        DrawShowReport(record, painter, painter.viewport().size(), [&] { writer.newPage(); });
        painter.end();
    }
    if (!file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace kv
