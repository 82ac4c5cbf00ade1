#pragma once

#include <QString>
#include <QTableWidget>
#include <array>
#include <vector>

#include "console/CueOutcomes.h"

namespace kv {

class ConsoleSession;

// The cue list of the current script: "Время", "Пульт", "Канал", "Комментарии". While a show
// runs the next cue is kept in the middle of the list. The keys move its selection only as the
// console's keys describe it (Page Up/Down and step firing through SelectCue, the arrows in
// automatic work mode).
class CueListView : public QTableWidget {
    Q_OBJECT
public:
    using Row = std::array<QString, 4>;

    explicit CueListView(QWidget* parent = nullptr);

    void SetRows(const std::vector<Row>& rows);
    // Marks a row with what became of its cue in the show: the mark before its time, its
    // colours and tooltip. An empty look takes the mark away.
    void SetOutcome(int row, const CueRowLook& look);
    // Scrolls so that the row `next` + half the visible rows is in view, then selects and focuses
    // row `next`: the next cue sits in the middle while the show runs.
    void CentreOn(int next);
    // Selects, focuses and scrolls to a row (Page Up/Down, step firing).
    void SelectCue(int row);
    // The selected cue, or -1.
    int SelectedCue() const;
    int VisibleRows() const;

    // The list has no type-ahead search: a typed digit must never move the selection (and with
    // it the start point that Enter takes from it).
    void keyboardSearch(const QString& search) override;

    // Draws the current script, each cue's outcome and the show's position; selects the cue
    // the session names.
    void Bind(ConsoleSession& session);

protected:
    // Only Up and Down move the selection from the keyboard (the arrows of automatic work mode);
    // every other key goes on to the window unused.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kv
