#include "console/windows/CueListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include "console/ConsoleSession.h"
#include "console/CueOutcomes.h"
#include "console/ShowControl.h"
#include "console/ShowTexts.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

namespace kv {

CueListView::CueListView(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("CueList"));
    setColumnCount(4);
    setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Пульт"),
                               QStringLiteral("Канал"), QStringLiteral("Комментарии")});
    horizontalHeader()->setObjectName(QStringLiteral("CueListHeader"));
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    // The arrow keys move the selection in automatic work mode; Tab is the test key.
    setTabKeyNavigation(false);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    setFont(big);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(big).height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics(big);
    // Room for the outcome mark before the time.
    setColumnWidth(0, metrics.horizontalAdvance(QStringLiteral("\u2716 00:00:00.000")) + 16);
    setColumnWidth(1, metrics.horizontalAdvance(QStringLiteral("Пульт")) + 24);
    setColumnWidth(2, metrics.horizontalAdvance(QStringLiteral("П. ВРАЩ.")) + 16);
}

namespace {

// The time cell's own text, kept apart from the outcome mark put before it.
constexpr int kPlainTextRole = Qt::UserRole + 1;

}  // namespace

void CueListView::SetOutcome(int row, const CueRowLook& look) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* cell = item(row, c);
        if (cell == nullptr) {
            continue;
        }
        if (c == 0) {
            QVariant plain = cell->data(kPlainTextRole);
            if (!plain.isValid()) {
                plain = cell->text();
                cell->setData(kPlainTextRole, plain);
            }
            cell->setText(look.Mark + plain.toString());
        }
        cell->setBackground(look.Background.isEmpty() ? QBrush() : QBrush(QColor(look.Background)));
        cell->setForeground(look.Text.isEmpty() ? QBrush() : QBrush(QColor(look.Text)));
        QFont f = font();
        f.setBold(look.Bold);
        cell->setFont(f);
        cell->setToolTip(look.ToolTip);
    }
}

void CueListView::SetRows(const std::vector<Row>& rows) {
    setUpdatesEnabled(false);
    clearContents();
    setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            if (c == 1 || c == 2) {
                item->setTextAlignment(Qt::AlignCenter);
            }
            setItem(r, c, item);
        }
    }
    setUpdatesEnabled(true);
}

int CueListView::VisibleRows() const {
    const int rowHeight = verticalHeader()->defaultSectionSize();
    return rowHeight > 0 ? viewport()->height() / rowHeight : 0;
}

void CueListView::CentreOn(int next) {
    if (next < 0 || next >= rowCount()) {
        return;
    }
    const int ahead = next + VisibleRows() / 2;
    if (ahead < rowCount()) {
        scrollToItem(item(ahead, 0), QAbstractItemView::EnsureVisible);
    }
    SelectCue(next);
}

void CueListView::SelectCue(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    setCurrentCell(row, 0);
    selectRow(row);
    scrollToItem(item(row, 0), QAbstractItemView::EnsureVisible);
}

void CueListView::keyboardSearch(const QString& /*search*/) {}

void CueListView::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    const bool plain =
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (arrow && plain) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    event->ignore();
}

int CueListView::SelectedCue() const {
    const QList<QTableWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

}  // namespace kv

namespace kv {

void CueListView::Bind(ConsoleSession& session) {
    ShowControl& show = session.Show();
    connect(&show, &ShowControl::ShowViewChanged, this, [this, &session] {
        const TProjectList& project = session.Show().CurrentProject();
        std::vector<Row> rows;
        rows.reserve(static_cast<size_t>(project.Count()));
        for (int i = 0; i < project.Count(); ++i) {
            const auto cells = CueRowTexts(project.Cue(i));
            rows.push_back({cells[0], cells[1], cells[2], cells[3]});
        }
        SetRows(rows);
    });
    connect(&show, &ShowControl::PositionChanged, this, [this, &session] {
        const int next = session.Player().NextCue;
        if (next < rowCount()) {
            CentreOn(next);
        }
    });
    connect(&show, &ShowControl::CueSelected, this, &CueListView::SelectCue);
    connect(&session, &ConsoleSession::CueOutcomeChanged, this, [this, &session](int cue) {
        SetOutcome(cue, CueRowLookFor(session.Outcomes().At(cue)));
    });
    connect(&session, &ConsoleSession::OutcomesCleared, this, [this](int from) {
        for (int i = from; i < rowCount(); ++i) {
            SetOutcome(i, CueRowLook{});
        }
    });
}

}  // namespace kv
