#include "console/windows/WindowTranslator.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "console/windows/TShape.h"
#include "util/IniFile.h"
#include "util/TDivStrings.h"

namespace kv {

namespace {

// Qt's own helper children (viewports, the stacked widget of a tab widget) are named "qt_..."
// and unnamed objects have no key; neither is the translator's business.
bool HasComponentName(const QObject* object) {
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

bool InsideMenu(const QObject* object) {
    return qobject_cast<QMenu*>(object->parent()) != nullptr;
}

QTabWidget* TabWidgetOfPage(QObject* object) {
    auto* page = qobject_cast<QWidget*>(object);
    if (page == nullptr || qobject_cast<QStackedWidget*>(object->parent()) == nullptr) {
        return nullptr;
    }
    auto* tabs = qobject_cast<QTabWidget*>(object->parent()->parent());
    if (tabs == nullptr || tabs->indexOf(page) < 0) {
        return nullptr;
    }
    return tabs;
}

void WalkComponents(const WindowTranslator& translator, const QString& windowName,
                    QObject* parent) {
    for (QObject* child : parent->children()) {
        if (HasComponentName(child)) {
            translator.TranslateComponent(windowName, child);
        }
        // A dialog owned by the window is one of its components, but the dialog's own
        // widgets are not. A menu is a popup window too, yet its items are the window's.
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || !widget->isWindow() || qobject_cast<QMenu*>(child) != nullptr) {
            WalkComponents(translator, windowName, child);
        }
    }
}

}  // namespace

QString WindowTranslator::WindowName(const QWidget* window) {
    if (!window->objectName().isEmpty()) {
        return window->objectName();
    }
    const QString className = QString::fromLatin1(window->metaObject()->className());
    return className.mid(className.lastIndexOf(QLatin1Char(':')) + 1);
}

QStringList WindowTranslator::QtNameFilters(const QString& filter) {
    const TDivStrings parts(filter, QLatin1Char('|'));
    QStringList result;
    // Description and mask alternate; a description left without a mask has nothing to offer.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks;
        for (const QString& mask : parts[i + 1].split(QLatin1Char(';'))) {
            if (!mask.trimmed().isEmpty()) {
                masks << mask.trimmed();
            }
        }
        if (masks.isEmpty()) {
            continue;
        }
        result << parts[i].trimmed() + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

bool WindowTranslator::Lookup(const char* section, const QString& key, QString& value) const {
    const QString name = QString::fromLatin1(section);
    if (!file_.HasKey(name, key)) {
        return false;
    }
    value = file_.Value(name, key);
    return true;
}

void WindowTranslator::TranslateWindow(QWidget* window) const {
    const QString name = WindowName(window);
    QString value;
    if (Lookup("forms", name, value)) {
        window->setWindowTitle(value);
    }
    WalkComponents(*this, name, window);
}

void WindowTranslator::TranslateComponent(const QString& windowName, QObject* c) const {
    const QString key = windowName + QLatin1Char('.') + c->objectName();
    QString value;

    if (Lookup("menuitems", key, value)) {
        if (auto* menu = qobject_cast<QMenu*>(c)) {
            menu->setTitle(value);
        } else if (auto* action = qobject_cast<QAction*>(c); action != nullptr && InsideMenu(c)) {
            action->setText(value);
        }
    }
    if (auto* shape = qobject_cast<TShape*>(c); shape != nullptr && Lookup("shapes", key, value)) {
        shape->setToolTip(value);
    }
    if (auto* dialog = qobject_cast<QFileDialog*>(c);
        dialog != nullptr && Lookup("opensavedialogs", key, value)) {
        dialog->setNameFilters(QtNameFilters(value));
    }
    if (auto* box = qobject_cast<QCheckBox*>(c);
        box != nullptr && Lookup("checkboxes", key, value)) {
        box->setText(value);
    }
    if (QTabWidget* tabs = TabWidgetOfPage(c); tabs != nullptr && Lookup("tabsheets", key, value)) {
        tabs->setTabText(tabs->indexOf(static_cast<QWidget*>(c)), value);
    }
    if (auto* label = qobject_cast<QLabel*>(c); label != nullptr && Lookup("labels", key, value)) {
        label->setText(value);
    }
    if (auto* button = qobject_cast<QPushButton*>(c);
        button != nullptr && Lookup("buttons", key, value)) {
        button->setText(value);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(c);
        radio != nullptr && Lookup("radiobuttons", key, value)) {
        radio->setText(value);
    }
    if (auto* tool = qobject_cast<QToolButton*>(c); tool != nullptr) {
        const bool onToolBar = qobject_cast<QToolBar*>(c->parent()) != nullptr;
        if (!onToolBar && Lookup("speedbuttons", key, value)) {
            const TDivStrings parts(value, QLatin1Char('|'));
            tool->setToolTip(parts[0]);
            if (parts.size() > 1) {
                tool->setText(parts[1]);
            }
        }
        if (onToolBar && Lookup("toolbuttons", key, value)) {
            tool->setToolTip(value);
        }
    }
    if (auto* group = qobject_cast<QGroupBox*>(c);
        group != nullptr && Lookup("groupboxes", key, value)) {
        group->setTitle(value);
    }
    if (auto* action = qobject_cast<QAction*>(c);
        action != nullptr && !InsideMenu(c) && Lookup("actions", key, value)) {
        const TDivStrings parts(value, QLatin1Char('|'));
        action->setText(parts[0]);
        if (parts.size() > 1) {
            action->setToolTip(parts[1]);
        }
    }
    if (auto* bar = qobject_cast<QTabBar*>(c); bar != nullptr &&
                                               qobject_cast<QTabWidget*>(c->parent()) == nullptr &&
                                               Lookup("tabsets", key, value)) {
        const TDivStrings parts(value, QLatin1Char('|'));
        const int current = bar->currentIndex();
        while (bar->count() > parts.size()) {
            bar->removeTab(bar->count() - 1);
        }
        for (int i = 0; i < parts.size(); ++i) {
            if (i < bar->count()) {
                bar->setTabText(i, parts[i]);
            } else {
                bar->addTab(parts[i]);
            }
        }
        if (current >= 0 && current < bar->count()) {
            bar->setCurrentIndex(current);
        }
    }
    if (auto* header = qobject_cast<QHeaderView*>(c);
        header != nullptr && header->model() != nullptr && Lookup("headercontrols", key, value)) {
        // Parts beyond the sections the header has are a fault of the language file: ignored.
        const TDivStrings parts(value, QLatin1Char('|'));
        for (int i = 0; i < parts.size() && i < header->count(); ++i) {
            header->model()->setHeaderData(i, header->orientation(), parts[i]);
        }
    }
    if (auto* list = qobject_cast<QTreeWidget*>(c);
        list != nullptr && Lookup("listviews", key, value)) {
        const TDivStrings parts(value, QLatin1Char('|'));
        for (int i = 0; i < parts.size() && i < list->columnCount(); ++i) {
            list->headerItem()->setText(i, parts[i]);
        }
    }
    if (auto* combo = qobject_cast<QComboBox*>(c);
        combo != nullptr && Lookup("comboboxes", key, value)) {
        const TDivStrings parts(value, QLatin1Char('|'));
        if (!parts[0].isEmpty()) {
            const int selected = combo->currentIndex();
            combo->clear();
            combo->addItems(parts[0].split(QLatin1Char(';')));
            if (selected >= 0 && selected < combo->count()) {
                combo->setCurrentIndex(selected);
            }
        }
        if (parts.size() > 1) {
            combo->setToolTip(parts[1]);
        }
    }
}

}  // namespace kv
