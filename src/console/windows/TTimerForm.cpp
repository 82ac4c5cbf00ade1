#include "console/windows/TTimerForm.h"

#include "console/windows/TLocalizer.h"

namespace kv {

TTimerForm::TTimerForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TTimerForm"));
    setWindowTitle(QStringLiteral("Ожидание запуска"));
}

}  // namespace kv
