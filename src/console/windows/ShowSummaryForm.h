#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;

namespace kv {

class ShowRecord;

// The counts of the show just ended, in a small window beside the main one: fired, not sent,
// skipped, checks failed. It is shown without taking the focus from the main window (the stop
// key and the next show's keys must still reach it); clicked into, Enter or its button opens the
// printable report.
class ShowSummaryForm : public QDialog {
    Q_OBJECT
public:
    explicit ShowSummaryForm(QWidget* parent = nullptr);

    // Fills the counts from the record and the files of its report (the PDF among them), and
    // shows the window if it is hidden.
    void ShowReport(const ShowRecord& record, const QStringList& files);
    QString CountsText() const;
    QString PdfFile() const { return pdf_; }
    // Opens the printable report; false when there is none.
    bool OpenPdf();

    // How a file is opened; the desktop's viewer unless a test sets another.
    std::function<bool(const QString& file)> OpenFile;

private:
    QLabel* counts_ = nullptr;
    QPushButton* open_ = nullptr;
    QString pdf_;
};

}  // namespace kv
