#include "console/windows/TPresentWarningForm.h"

#include "console/windows/TLocalizer.h"

namespace kv {

TPresentWarningForm::TPresentWarningForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog), localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TPresentWarningForm"));
    setWindowTitle(QStringLiteral("Предупреждение"));
}

}  // namespace kv
