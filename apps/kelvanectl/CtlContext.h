#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace kv {

class ConsoleSession;
class ConsoleWiring;
class ConverterBackend;
class TCommonDevice;
class TControls;
class TPortProto;

// What every command of kelvanectl shares: the global options, the console session (the same
// objects the console is built of, made on first use) and the output.
class CtlContext {
public:
    struct Options {
        QStringList ports;      // --port PATH, repeatable
        bool simulate = false;  // --simulate [RIG]
        QString rig;            // empty: the demo rig
        QString logDir;         // --log-dir DIR
        bool json = false;      // --json
        // Converters made by the caller instead of from the options above (tests).
        std::shared_ptr<ConverterBackend> backend;
        QString simulatedRig;
    };

    // out and err receive the tool's output; they must outlive the context.
    CtlContext(Options options, QTextStream& out, QTextStream& err);
    ~CtlContext();
    CtlContext(const CtlContext&) = delete;
    CtlContext& operator=(const CtlContext&) = delete;

    const Options& Opts() const { return options_; }

    // The converters chosen by the options (explicit ports, simulated rig, settings, search).
    // nullptr with a message on stderr when they cannot be had.
    std::shared_ptr<ConverterBackend> Backend();
    // The console session over Backend(), bus opened: its show objects wait until a command
    // that plays asks for them (ConsoleSession::BuildShow), so that no other command opens the
    // sound device or answers the other consoles. nullptr when there is no back end.
    ConsoleSession* Session();
    // The session's wiring. nullptr when there is no back end.
    ConsoleWiring* Wiring();
    TControls& Controls();
    TPortProto& Proto();

    // Lets the bus worker hand over unsolicited frames and link events.
    void Pump(int ms = 0);

    // Runs cycles full search cycles (256 addresses each) with the console's search command,
    // event log lines included.
    void Search(int cycles);
    // Probes address and registers what answers there (identify and poll, as the search does).
    // Returns the exchange result; device is set on success.
    int Register(int address, TCommonDevice*& device);
    // The devices named by args (addresses, or "all" / nothing: one search cycle). Fails with a
    // message when an address does not answer.
    bool Resolve(const QStringList& args, QList<TCommonDevice*>& devices, int& failure);

    // Output. Text goes to stdout; with --json device objects go to stdout and text to stderr.
    void Line(const QString& text);
    void Info(const QString& text);  // stderr with --json, stdout otherwise
    void Warn(const QString& text);  // "kelvanectl: " and the text on stderr
    void Json(const QJsonObject& object);
    void PrintDevice(const TCommonDevice& device, bool withChannels);
    static QJsonObject DeviceJson(const TCommonDevice& device, bool withChannels);
    static QString DeviceText(const TCommonDevice& device);
    static QString ChannelText(const TCommonDevice& device, int channel);

    // A failure: the message and the exchange result on stderr; returns exit status 1.
    int Fail(const QString& message, int result);
    // A failure that is no exchange result (a file that cannot be written): the message, 1.
    int FailPlain(const QString& message);
    // A usage error: returns exit status 2.
    int Usage(const QString& message);

    // A device operation that failed although the command went on (a channel that could not be
    // measured): the command ends with status 1 all the same.
    void NoteFailure(int result, const QString& message);
    // Whether a converter was lost (or could not be opened) while the command ran.
    bool BusLost() const { return busLost_; }
    // The exit status of the command that returned status: 1 instead of 0 when a device
    // operation failed, the bus was lost or the event log stopped being written; 2 instead of
    // 1 when the command was refused on its input (a usage error, a bus the options could not
    // give).
    int Finish(int status);

    // Address 0..255 or -1 when the text is none.
    static int ParseAddress(const QString& text);

private:
    // The first failure of the event log, once on stderr.
    void ReportLogFailure();

    Options options_;
    QTextStream& out_;
    QTextStream& err_;
    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<ConsoleSession> session_;
    QString simulatedRig_;
    bool busRefused_ = false;
    bool refused_ = false;  // a usage error was reported
    bool backendTried_ = false;
    bool busLost_ = false;
    int failures_ = 0;
    int lastFailure_ = 0;
    QString failureMessage_;
    bool logFailureReported_ = false;
};

}  // namespace kv
