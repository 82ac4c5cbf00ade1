#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace kv {

class ConsoleSession;

struct DeviceRowFields;

// The device list: one fixed-pitch row of 28 characters per module (address 1..199) in the bus
// manager's order, coloured by its mode or red when its last exchange failed, under the count
// of all devices on the bus. A poll rewrites one row; only a change of the list rebuilds them.
class DevicePanel : public QWidget {
    Q_OBJECT
public:
    explicit DevicePanel(QWidget* parent = nullptr);

    // Rebuilds the rows: one per entry, each the device list index it stands for.
    void SetRows(const std::vector<int>& deviceIndices);
    void SetRow(int deviceIndex, const DeviceRowFields& fields);
    // A module whose values are out of date: its row greyed, with the text given.
    void SetStaleRow(int deviceIndex, const QString& text);
    void SetTotal(const QString& text);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    QString RowText(int row) const;
    QString RowStyle(int row) const;

    // Draws a row for each module of the session's bus, fresh or stale, and the device count.
    void Bind(ConsoleSession& session);
    void Rebuild();
    void ShowDevice(int deviceIndex);
    void ShowTotal();

private:
    struct Row {
        int deviceIndex;
        QLabel* label;
    };
    QLabel* total_;
    QVBoxLayout* rowsLayout_;
    std::vector<Row> rows_;
    ConsoleSession* session_ = nullptr;
};

}  // namespace kv
