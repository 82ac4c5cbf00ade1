#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "CtlCommand.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return kv::RunKelvanectl(arguments, out, err);
}
