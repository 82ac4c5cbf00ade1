#include "console/windows/TExtStartForm.h"

#include "console/windows/TLocalizer.h"

namespace kv {

TExtStartForm::TExtStartForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog), localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TExtStartForm"));
    setWindowTitle(QStringLiteral("Запуск"));
}

}  // namespace kv
