#include "console/windows/WindowTranslator.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "QtPrinters.h"
#include "console/windows/TShape.h"
#include "util/IniFile.h"

namespace kv {
namespace {

template <class T>
T* Named(QWidget* parent, const char* name) {
    auto* object = new T(parent);
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

void Apply(QWidget& window, const char* text) {
    const IniFile file = IniFile::FromBytes(QByteArray(text));
    WindowTranslator(file).TranslateWindow(&window);
}

TEST(WindowTranslator, CaptionsOfPlainKindsAndAbsentKeysLeftAlone) {
    QWidget window;
    window.setObjectName(QStringLiteral("TMainForm"));
    window.setWindowTitle(QStringLiteral("old"));
    auto* label = Named<QLabel>(&window, "WaitLabel");
    auto* untouched = Named<QLabel>(&window, "WorkLabel");
    untouched->setText(QStringLiteral("Работа"));
    auto* button = Named<QPushButton>(&window, "StartBtn");
    auto* shape = Named<TShape>(&window, "RS485");
    // A label nested in panels is still one of the window's components.
    auto* panel = new QWidget(&window);
    auto* nested = Named<QLabel>(panel, "DeepLabel");

    Apply(window,
          "[forms]\nTMainForm=Launch control\n"
          "[LABELS]\ntmainform.waitlabel=Waiting\nTMainForm.DeepLabel=Deep\n"
          "[buttons]\nTMainForm.StartBtn=<F5> Start\n"
          "[shapes]\nTMainForm.RS485=Bus link\n"
          // A key of the wrong section does nothing to a label.
          "[buttons]\nTMainForm.WorkLabel=wrong kind\n");

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Launch control"));
    EXPECT_EQ(label->text(), QStringLiteral("Waiting"));
    EXPECT_EQ(untouched->text(), QStringLiteral("Работа"));
    EXPECT_EQ(button->text(), QStringLiteral("<F5> Start"));
    EXPECT_EQ(shape->toolTip(), QStringLiteral("Bus link"));
    EXPECT_EQ(nested->text(), QStringLiteral("Deep"));
}

TEST(WindowTranslator, KeysBelongToTheirWindow) {
    QWidget main;
    main.setObjectName(QStringLiteral("TMainForm"));
    QWidget other;
    other.setObjectName(QStringLiteral("TTimerForm"));
    auto* mainLabel = Named<QLabel>(&main, "Label2");
    auto* otherLabel = Named<QLabel>(&other, "Label2");
    const char* text = "[labels]\nTTimerForm.Label2=countdown\n";
    Apply(main, text);
    Apply(other, text);
    EXPECT_EQ(mainLabel->text(), QString());
    EXPECT_EQ(otherLabel->text(), QStringLiteral("countdown"));
}

TEST(WindowTranslator, SpeedButtonPartsAndToolBarButtons) {
    QWidget window;
    window.setObjectName(QStringLiteral("TMainForm"));
    auto* hintOnly = Named<QToolButton>(&window, "UpBtn");
    hintOnly->setText(QStringLiteral("up"));
    auto* both = Named<QToolButton>(&window, "DownBtn");
    auto* bar = new QToolBar(&window);
    auto* onBar = Named<QToolButton>(bar, "BarBtn");
    onBar->setText(QStringLiteral("bar"));

    Apply(window,
          "[speedbuttons]\nTMainForm.UpBtn=Move up\nTMainForm.DownBtn=Move down|Down\n"
          "TMainForm.BarBtn=not a speed button|x\n"
          "[toolbuttons]\nTMainForm.BarBtn=Tool hint\nTMainForm.UpBtn=not a tool button\n");

    // Without "|" only the hint changes.
    EXPECT_EQ(hintOnly->toolTip(), QStringLiteral("Move up"));
    EXPECT_EQ(hintOnly->text(), QStringLiteral("up"));
    EXPECT_EQ(both->toolTip(), QStringLiteral("Move down"));
    EXPECT_EQ(both->text(), QStringLiteral("Down"));
    EXPECT_EQ(onBar->toolTip(), QStringLiteral("Tool hint"));
    EXPECT_EQ(onBar->text(), QStringLiteral("bar"));
}

TEST(WindowTranslator, ActionsAndMenuItemsAreTellApart) {
    QWidget window;
    window.setObjectName(QStringLiteral("TMainForm"));
    auto* exit = new QAction(QStringLiteral("Выход"), &window);
    exit->setObjectName(QStringLiteral("ExitAction"));
    exit->setToolTip(QStringLiteral("old hint"));
    auto* open = new QAction(QStringLiteral("Открыть"), &window);
    open->setObjectName(QStringLiteral("OpenAction"));
    open->setToolTip(QStringLiteral("old hint"));
    auto* menu = Named<QMenu>(&window, "FileMenu");
    auto* item = new QAction(QStringLiteral("Сохранить"), menu);
    item->setObjectName(QStringLiteral("SaveItem"));

    Apply(window,
          "[actions]\nTMainForm.ExitAction=Exit|Leave the program\nTMainForm.OpenAction=Open\n"
          "TMainForm.SaveItem=not an action\n"
          "[menuitems]\nTMainForm.FileMenu=File\nTMainForm.SaveItem=Save\n"
          "TMainForm.ExitAction=not a menu item\n");

    EXPECT_EQ(exit->text(), QStringLiteral("Exit"));
    EXPECT_EQ(exit->toolTip(), QStringLiteral("Leave the program"));
    // One part: the caption only.
    EXPECT_EQ(open->text(), QStringLiteral("Open"));
    EXPECT_EQ(open->toolTip(), QStringLiteral("old hint"));
    EXPECT_EQ(menu->title(), QStringLiteral("File"));
    EXPECT_EQ(item->text(), QStringLiteral("Save"));
}

TEST(WindowTranslator, ListsTabsAndComboBoxes) {
    QWidget window;
    window.setObjectName(QStringLiteral("TMainForm"));
    auto* cues = Named<QTreeWidget>(&window, "CueList");
    cues->setColumnCount(4);
    auto* tabs = Named<QTabWidget>(&window, "Pages");
    auto* page = Named<QWidget>(nullptr, "TestSheet");
    tabs->addTab(page, QStringLiteral("Тест"));
    auto* combo = Named<QComboBox>(&window, "Speed");
    combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    combo->setCurrentIndex(2);
    auto* kept = Named<QComboBox>(&window, "Kept");
    kept->addItems({QStringLiteral("x"), QStringLiteral("y")});
    kept->setCurrentIndex(1);

    Apply(window,
          "[listviews]\nTMainForm.CueList=Time|Module|Channel|Comment|surplus\n"
          "[tabsheets]\nTMainForm.TestSheet=Test\n"
          "[comboboxes]\nTMainForm.Speed=slow;fast|Speed\nTMainForm.Kept=|Hint only\n");

    ASSERT_EQ(cues->columnCount(), 4);  // the surplus part adds no column
    EXPECT_EQ(cues->headerItem()->text(0), QStringLiteral("Time"));
    EXPECT_EQ(cues->headerItem()->text(3), QStringLiteral("Comment"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Test"));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("fast"));
    // Index 2 is gone with the new items, so no selection is restored.
    EXPECT_EQ(combo->toolTip(), QStringLiteral("Speed"));
    EXPECT_NE(combo->currentIndex(), 2);
    // An empty item part keeps the items and the selection.
    EXPECT_EQ(kept->count(), 2);
    EXPECT_EQ(kept->currentIndex(), 1);
    EXPECT_EQ(kept->toolTip(), QStringLiteral("Hint only"));
}

TEST(WindowTranslator, FileFiltersBecomeQtNameFilters) {
    EXPECT_EQ(WindowTranslator::QtNameFilters(QStringLiteral("Текстовые файлы|*.txt")),
              QStringList{QStringLiteral("Текстовые файлы (*.txt)")});
    EXPECT_EQ(WindowTranslator::QtNameFilters(
                  QStringLiteral("Аудиофайлы|*.wav; *.mp3; *.wma; *.ogg|Все|*.*")),
              (QStringList{QStringLiteral("Аудиофайлы (*.wav *.mp3 *.wma *.ogg)"),
                           QStringLiteral("Все (*.*)")}));
    // A description without its mask offers nothing.
    EXPECT_EQ(WindowTranslator::QtNameFilters(QStringLiteral("Data|*.dat|Dangling")),
              QStringList{QStringLiteral("Data (*.dat)")});
    EXPECT_TRUE(WindowTranslator::QtNameFilters(QString()).isEmpty());

    QWidget window;
    window.setObjectName(QStringLiteral("TMemoryForm"));
    auto* dialog = new QFileDialog(&window);
    dialog->setObjectName(QStringLiteral("SaveDialog"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    Apply(window, "[opensavedialogs]\nTMemoryForm.SaveDialog=Black box|*.dat\n");
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Black box (*.dat)")});
}

}  // namespace
}  // namespace kv
