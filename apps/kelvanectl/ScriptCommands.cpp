// "script check FILE": the cues of a script file as the player will see them, or its load error.
#include "CtlCommand.h"
#include "CtlContext.h"
#include "devices/TScriptCue.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

QString KindText(int32_t kind) {
    switch (kind) {
        case ckCentre:
            return QStringLiteral("centre");
        case ckLeft:
            return QStringLiteral("left");
        case ckRight:
            return QStringLiteral("right");
        case ckRotateLeft:
            return QStringLiteral("rotate-left");
        case ckRotateRight:
            return QStringLiteral("rotate-right");
        default:
            return QStringLiteral("fire");
    }
}

int RunScript(CtlContext& ctx, const QStringList& args) {
    if (args.size() != 2 || args[0] != QLatin1String("check")) {
        return ctx.Usage(QStringLiteral("script check FILE"));
    }
    TProjectList list;
    if (const ScriptLoadError e = list.LoadFromFile(args[1])) {
        ctx.Info(e.message);
        return 1;
    }
    ctx.Info(QStringLiteral("%1: %2 cues, last at %3 ms")
                 .arg(list.Name)
                 .arg(list.Count())
                 .arg(list.LastTime()));
    for (int i = 0; i < list.Count(); ++i) {
        const TScriptCue& c = list.Cue(i);
        QString params;
        if (IsMotorCue(c.Kind)) {
            params = QStringLiteral("%1 %2").arg(c.Param1).arg(c.Param2);
        }
        ctx.Line(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                     .arg(c.Time)
                     .arg(c.Module)
                     .arg(IsMotorCue(c.Kind) ? QStringLiteral("-")
                                             : QString::number(static_cast<int64_t>(c.Channel) + 1))
                     .arg(KindText(c.Kind), params, c.Description));
    }
    return 0;
}

const CtlRegistrar kScriptCommands{
    {QStringLiteral("script"), QStringLiteral("check FILE"),
     QStringLiteral("parse a script file: cues in time order (ms, module, channel, kind, "
                    "parameters, description) or the load error with its line"),
     RunScript}};

}  // namespace

}  // namespace kv
