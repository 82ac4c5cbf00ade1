#pragma once

#include <QWidget>

class QLabel;

namespace kv {

class ConsoleSession;
class CueListView;
class SlotStrip;

// The launch page of the main window: the eight slots, the current project's name and its cue
// list.
class LaunchPage : public QWidget {
    Q_OBJECT
public:
    explicit LaunchPage(QWidget* parent = nullptr);
    void Bind(ConsoleSession& session);

    SlotStrip* Slots = nullptr;
    QLabel* ProjectName = nullptr;
    CueListView* Cues = nullptr;
};

}  // namespace kv
