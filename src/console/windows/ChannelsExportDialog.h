#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kv {

class TControls;

// F4 in test mode: the connected channels of every module into a text file the operator names.
class ChannelsExportDialog {
public:
    // The operator's side of the export; the defaults are the console's dialogs.
    struct Ui {
        // The file name chosen in the save dialog that proposes `proposed`; empty: cancelled.
        std::function<QString(const QString& proposed)> AskName;
        // Whether an existing file may be replaced.
        std::function<bool(const QString& file)> ConfirmOverwrite;
        // The system's message of a failed write ("Ошибка").
        std::function<void(const QString& message)> ShowError;
    };
    static Ui DialogUi(QWidget* parent);

    // Runs the export. Returns whether a file was written.
    static bool Run(const TControls& controls, const Ui& ui);
    static bool Run(QWidget* parent, const TControls& controls) {
        return Run(controls, DialogUi(parent));
    }

    // The save dialog's filter as the language file writes it.
    static QString Filter();
};

}  // namespace kv
