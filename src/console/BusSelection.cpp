#include "console/BusSelection.h"

#include <QDir>
#include <QFileInfo>
#include <string>
#include <vector>

#include "bus/TtyConverterBackend.h"
#include "core/LogName.h"
#include "core/Settings.h"
#include "util/IniFile.h"

namespace kv {

namespace {

SimulatedBusFactory& Factory() {
    static SimulatedBusFactory factory;
    return factory;
}

}  // namespace

void SetSimulatedBusFactory(SimulatedBusFactory factory) {
    Factory() = std::move(factory);
}

QString DemoRigPath() {
    const QString relative = QStringLiteral("rigs/demo.rig");
    QDir dir(ProgramDirectory());
    // The program may run from its build folder, a few levels below the tree's root.
    for (int up = 0; up < 5; ++up) {
        const QString candidate = dir.filePath(relative);
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
        if (!dir.cdUp()) {
            break;
        }
    }
#ifdef KV_DATA_FROM_BIN
    // An installed program: the data folder relative to the program folder (../share/kelvane).
    const QString installed =
        QDir(QDir(ProgramDirectory()).filePath(QStringLiteral(KV_DATA_FROM_BIN)))
            .filePath(relative);
    if (QFileInfo::exists(installed)) {
        return QDir::cleanPath(installed);
    }
#endif
#ifdef KV_SOURCE_DIR
    const QString source = QDir(QStringLiteral(KV_SOURCE_DIR)).filePath(relative);
    if (QFileInfo::exists(source)) {
        return source;
    }
#endif
    return QString();
}

BusSelection SelectBus(const BusOptions& options) {
    BusSelection out;
    if (options.simulate) {
        const QString rig = options.rig.isEmpty() ? DemoRigPath() : options.rig;
        if (rig.isEmpty()) {
            out.error = QStringLiteral("the demo rig rigs/demo.rig was not found");
            return out;
        }
        if (!Factory()) {
            out.error = QStringLiteral("this program was built without the simulated bus");
            return out;
        }
        out.backend = Factory()(rig, out.error);
        if (out.backend) {
            out.simulatedRig = QFileInfo(rig).completeBaseName();
            out.error.clear();
        } else if (out.error.isEmpty()) {
            out.error = QStringLiteral("cannot load the rig %1").arg(rig);
        }
        return out;
    }
    TtyConverterBackend::Options tty;
    for (const QString& p : options.ports) {
        tty.paths.push_back(p.toStdString());
    }
    if (tty.paths.empty()) {
        IniFile settings;
        const QString path =
            options.settingsPath.isEmpty() ? DefaultSettingsFilePath() : options.settingsPath;
        if (settings.Load(path)) {
            tty.paths = TtyConverterBackend::PortsFromSettings(settings);
        }
    }
    // A path that cannot be a converter is a mistake in the command line or the settings; it
    // is named rather than listed as a converter that never answers.
    QStringList refused;
    for (const std::string& path : tty.paths) {
        const std::string why = TtyConverterBackend::NotATerminal(path);
        if (!why.empty()) {
            refused << QString::fromStdString(why);
        }
    }
    if (!refused.isEmpty()) {
        out.error = refused.join(QStringLiteral("; "));
        return out;
    }
    out.backend = std::make_shared<TtyConverterBackend>(std::move(tty));
    return out;
}

}  // namespace kv
