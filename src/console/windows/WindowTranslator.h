#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace kv {

class IniFile;

// Applies the component sections of a language file to one window. The language file names
// component kinds of the original toolkit; each kind stands for one Qt class here:
//
//   section           kind              Qt class                          what is set
//   "forms"           window            the top-level QWidget             window title
//   "menuitems"       menu item         QMenu, or QAction inside a QMenu  title / text
//   "shapes"          shape             TShape                            tool tip
//   "opensavedialogs" file dialog       QFileDialog                       name filters
//   "checkboxes"      check box         QCheckBox                         text
//   "tabsheets"       tab sheet         a page widget of a QTabWidget     its tab's text
//   "labels"          label             QLabel                            text
//   "buttons"         push button       QPushButton                       text
//   "radiobuttons"    radio button      QRadioButton                      text
//   "speedbuttons"    speed button      QToolButton not on a QToolBar     tip | text
//   "toolbuttons"     tool button       QToolButton on a QToolBar         tool tip
//   "groupboxes"      group box         QGroupBox                         title
//   "actions"         action            QAction not inside a QMenu        text | tip
//   "tabsets"         tab set           QTabBar not inside a QTabWidget   the tabs
//   "headercontrols"  header control    QHeaderView                       section texts
//   "listviews"       list view         QTreeWidget                       column titles
//   "comboboxes"      combo box         QComboBox                         items ; | tip
//
// The key of a component is the window's name, ".", the component's object name; the
// window's name is its object name (every window of the console sets it to its class name).
class WindowTranslator {
public:
    explicit WindowTranslator(const IniFile& file) : file_(file) {}

    // Caption from "forms", then every named component below the window.
    void TranslateWindow(QWidget* window) const;
    // The rows of the table above that fit the component, each on its own.
    void TranslateComponent(const QString& windowName, QObject* component) const;

    // The name a window's keys start with.
    static QString WindowName(const QWidget* window);

    // A file filter of the language file ("Text files|*.txt|All|*.*", masks separated by
    // ";") as Qt name filters ("Text files (*.txt)", "All (*.*)").
    static QStringList QtNameFilters(const QString& filter);

private:
    bool Lookup(const char* section, const QString& key, QString& value) const;

    const IniFile& file_;
};

}  // namespace kv
