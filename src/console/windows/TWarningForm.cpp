#include "console/windows/TWarningForm.h"

#include "console/windows/TLocalizer.h"

namespace kv {

TWarningForm::TWarningForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TWarningForm"));
    setWindowTitle(QStringLiteral("Предупреждение"));
}

}  // namespace kv
