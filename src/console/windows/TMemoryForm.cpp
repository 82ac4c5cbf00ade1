#include "console/windows/TMemoryForm.h"

#include "console/windows/TLocalizer.h"

namespace kv {

TMemoryForm::TMemoryForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TMemoryForm"));
    setWindowTitle(QStringLiteral("Операция с памятью пультов"));
}

}  // namespace kv
