#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

// How to add commands to kelvanectl: write a new source file in this folder (the CMake file
// takes every *.cpp) and register the group with a file-scope registrar, for example
//
//   namespace kv {
//   namespace {
//   int RunPlay(CtlContext& ctx, const QStringList& args) { ... return 0; }
//   const CtlRegistrar kPlayCommands{
//       {QStringLiteral("play"), QStringLiteral("PROJECT [--from MS]"),
//        QStringLiteral("play a show on the bus"), RunPlay},
//   };
//   }  // namespace
//   }  // namespace kv
//
// CtlContext gives the bus objects (Wiring(), Controls(), Proto()), the search (Search,
// Resolve), output (Line, Info, Json, PrintDevice) and the failure exits (Fail: status 1 with
// the exchange result; Usage: status 2). A command returns its exit status.

namespace kv {

class ConverterBackend;
class CtlContext;

// One command of kelvanectl. run gets the words after the command name and returns the exit
// status (0 success, 1 a device or bus failure, 2 a usage error).
struct CtlCommand {
    QString name;
    QString usage;    // arguments after the name, for the help text
    QString summary;  // one line
    std::function<int(CtlContext& ctx, const QStringList& args)> run;
};

// The command table, filled at start-up by the registrars of each source file.
void RegisterCtlCommand(CtlCommand command);
const std::vector<CtlCommand>& CtlCommands();
const CtlCommand* FindCtlCommand(const QString& name);

struct CtlRegistrar {
    CtlRegistrar(std::initializer_list<CtlCommand> commands);
};

// Runs kelvanectl with its arguments (without the program name): global options, then one
// command. Returns the exit status. backend, when given, replaces the converters the options
// would choose (tests run the tool over in-memory or simulated converters).
int RunKelvanectl(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  std::shared_ptr<ConverterBackend> backend = nullptr,
                  const QString& simulatedRig = QString());

// Whether the arguments ask for a printable (PDF) show report, which needs Qt's GUI part.
bool WantsPrintableReport(int argc, char** argv);

}  // namespace kv
