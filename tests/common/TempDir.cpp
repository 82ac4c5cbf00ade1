#include "TempDir.h"

#include <QFile>
#include <stdexcept>

TempDir::TempDir() {
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = file(name);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write test file " + p.toStdString());
    }
    return p;
}

QByteArray TempDir::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}
