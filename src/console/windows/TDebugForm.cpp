#include "console/windows/TDebugForm.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "console/ConsoleDialogs.h"
#include "console/DebugSyncTest.h"

namespace kv {

TDebugForm::TDebugForm(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("TDebugForm"));
    setWindowTitle(QStringLiteral("Отладка"));
    auto* layout = new QVBoxLayout(this);
    DeviceList = new QTreeWidget(this);
    DeviceList->setObjectName(QStringLiteral("DeviceList"));
    DeviceList->setRootIsDecorated(false);
    DeviceList->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Каналов"),
                                 QStringLiteral("Версия"), QStringLiteral("Напряжение, в"),
                                 QStringLiteral("Связь, %"), QStringLiteral("Синх., мс")});
    DeviceList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    DeviceList->header()->setStretchLastSection(false);
    // Every column in view without scrolling, and room for a rig's modules: the sync column,
    // last, is what the window is for.
    int columns = 0;
    for (int i = 0; i < DeviceList->columnCount(); ++i) {
        columns += DeviceList->header()->sectionSizeHint(i);
    }
    DeviceList->setMinimumSize(columns + 2 * DeviceList->frameWidth() + 24,
                               DeviceList->fontMetrics().height() * 12);
    layout->addWidget(DeviceList);
    ClockLabel = new QLabel(QStringLiteral("00:00:00"), this);
    ClockLabel->setObjectName(QStringLiteral("ClockLabel"));
    QFont large = ClockLabel->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.5);
    ClockLabel->setFont(large);
    layout->addWidget(ClockLabel);
    auto* buttons = new QHBoxLayout();
    TestBtn = new QPushButton(QStringLiteral("Тест"), this);
    TestBtn->setObjectName(QStringLiteral("TestBtn"));
    StopBtn = new QPushButton(QStringLiteral("Стоп"), this);
    StopBtn->setObjectName(QStringLiteral("StopBtn"));
    CloseBtn = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    buttons->addWidget(TestBtn);
    buttons->addWidget(StopBtn);
    buttons->addStretch(1);
    buttons->addWidget(CloseBtn);
    layout->addLayout(buttons);
    connect(TestBtn, &QPushButton::clicked, this, [this] {
        if (test_) {
            test_->Start();
        }
        FollowTest();
    });
    connect(StopBtn, &QPushButton::clicked, this, [this] {
        if (test_) {
            test_->Stop();
        }
        FollowTest();
    });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
}

// A test left running would fire channel 1 of every module; the test's own destructor stops it.
TDebugForm::~TDebugForm() = default;

namespace {

// The test's question and refusal, in boxes over this window.
class DebugDialogs : public ConsoleDialogs {
public:
    explicit DebugDialogs(QWidget& window) : window_(window) {}
    bool Confirm(const QString& caption, const QString& text) override {
        return QMessageBox::question(&window_, caption, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    void ShowError(const QString& text) override {
        QMessageBox::warning(&window_, QStringLiteral("Ошибка"), text);
    }

private:
    QWidget& window_;
};

}  // namespace

void TDebugForm::Attach(ConsoleWiring& wiring, const ClockTestPermission& permission) {
    dialogs_ = std::make_unique<DebugDialogs>(*this);
    test_ = std::make_unique<DebugSyncTest>(wiring);
    test_->SetPermission(&permission);
    test_->SetDialogs(*dialogs_);
    connect(test_.get(), &DebugSyncTest::Changed, this, &TDebugForm::Redraw);
}

void TDebugForm::Detach() {
    test_.reset();
}

void TDebugForm::FollowTest() {
    // Enter presses what comes next: "Тест" while idle, "Стоп" while the clocks run, so a
    // second Enter never leaves the test running.
    QPushButton* next = test_ && test_->Running() ? StopBtn : TestBtn;
    next->setDefault(true);
    next->setFocus(Qt::OtherFocusReason);
}

void TDebugForm::Open() {
    if (test_ && !test_->Running()) {
        test_->Reset();
    }
    Redraw();
    FollowTest();
    // Modal: while its clocks run, the main window takes no command (no arming, no start).
    exec();
}

void TDebugForm::Redraw() {
    if (!test_) {
        return;
    }
    const auto& rows = test_->Rows();
    if (DeviceList->topLevelItemCount() != static_cast<int>(rows.size())) {
        DeviceList->clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            new QTreeWidgetItem(DeviceList);
        }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        const DebugSyncTest::Row& row = rows[i];
        QTreeWidgetItem* item = DeviceList->topLevelItem(static_cast<int>(i));
        item->setText(0, QString::number(row.address));
        item->setText(1, QString::number(row.channels));
        item->setText(2, QString::number(row.version));
        item->setText(3, row.voltage);
        item->setText(4, row.link);
        item->setText(5, row.sync);
    }
    ClockLabel->setText(test_->ClockText());
}

void TDebugForm::done(int result) {
    if (test_) {
        test_->Stop();
    }
    QDialog::done(result);
}

void TDebugForm::closeEvent(QCloseEvent* event) {
    if (test_) {
        test_->Stop();
    }
    QDialog::closeEvent(event);
}

}  // namespace kv
