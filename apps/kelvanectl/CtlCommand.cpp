#include "CtlCommand.h"

#include <algorithm>

namespace kv {

namespace {

// Function-local so that registrars in other files may run first.
std::vector<CtlCommand>& Table() {
    static std::vector<CtlCommand> table;
    return table;
}

}  // namespace

void RegisterCtlCommand(CtlCommand command) {
    auto& table = Table();
    const auto pos =
        std::lower_bound(table.begin(), table.end(), command.name,
                         [](const CtlCommand& c, const QString& name) { return c.name < name; });
    table.insert(pos, std::move(command));
}

const std::vector<CtlCommand>& CtlCommands() {
    return Table();
}

const CtlCommand* FindCtlCommand(const QString& name) {
    for (const CtlCommand& c : Table()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

CtlRegistrar::CtlRegistrar(std::initializer_list<CtlCommand> commands) {
    for (const CtlCommand& c : commands) {
        RegisterCtlCommand(c);
    }
}

bool WantsPrintableReport(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--report" &&
            QByteArray(argv[i + 1]).toLower().endsWith(".pdf")) {
            return true;
        }
    }
    return false;
}

}  // namespace kv
