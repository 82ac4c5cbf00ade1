#include "console/windows/TDebugForm.h"

namespace kv {

TDebugForm::TDebugForm(QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("TDebugForm"));
    setWindowTitle(QStringLiteral("Отладка"));
}

}  // namespace kv
