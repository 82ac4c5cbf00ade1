#include "i18n/MessageTable.h"

#include <array>

namespace kv {

namespace {

// clang-format off
constexpr std::array<MessageDefault, 162> kMessages = {{
    {Msg::Blank, " ", nullptr},
    {Msg::AudioDeviceInitFailed, "Ошибка инициализации аудио-устройства", nullptr},
    {Msg::ConnectedDeviceTotal, "Всего подключенных устройств:", nullptr},
    {Msg::ConverterCount, "Преобразователей:", nullptr},
    {Msg::ModuleCount, "Пультов:", nullptr},
    {Msg::RadioUnitCount, "Блоков радиосвязи:", nullptr},
    {Msg::RemoteControlCount, "ПДУ(Р):", nullptr},
    {Msg::LaunchControlVersion, "Управление запуском (версия:", nullptr},
    {Msg::VersionLabel, "версия:", nullptr},
    {Msg::ExtendedEdition, "(расширенная)", nullptr},
    {Msg::ForcingOnModule, "Включение форсирования, пульт:", nullptr},
    {Msg::ForcingOffModule, "Выключение форсирования, пульт:", nullptr},
    {Msg::ManualFireModule, "Ручной запуск, пульт:", nullptr},
    {Msg::ChannelSuffix, ", канал:", nullptr},
    {Msg::StepFireModule, "Пошаговый запуск, пульт:", nullptr},
    {Msg::TempoChanged, "Изменение темпа:", nullptr},
    {Msg::OffsetChanged, "Изменение смещения:", nullptr},
    {Msg::StartPointSet, "Установка точки начала:", nullptr},
    {Msg::ConverterError, "Ошибка преобразователя", nullptr},
    {Msg::ConverterConnected, "Преобразователь подключен", nullptr},
    {Msg::ChannelTestModule, "Тест канала, пульт:", "Тест каналов, пульт:"},
    {Msg::ChannelCountSuffix, ", каналов:", nullptr},
    {Msg::ConnectedCountSuffix, ", подключено:", nullptr},
    {Msg::Searching, "Поиск...", nullptr},
    {Msg::Waiting, "Ожидание", nullptr},
    {Msg::MotorCentre, "ЦЕНТР", nullptr},
    {Msg::MotorLeft, "ВЛЕВО", nullptr},
    {Msg::MotorRight, "ВПРАВО", nullptr},
    {Msg::MotorRotateLeft, "Л. ВРАЩ.", nullptr},
    {Msg::MotorRotateRight, "П. ВРАЩ.", nullptr},
    {Msg::ProjectStart, "Запуск проекта", nullptr},
    {Msg::ProjectLabel, "Проект:", nullptr},
    {Msg::SoundtrackLabel, "Фонограмма:", nullptr},
    {Msg::ModeAutomatic, "автомат", nullptr},
    {Msg::ModeManual, "ручной", nullptr},
    {Msg::ModeAutomaticManual, "автомат, ручной", nullptr},
    {Msg::ControlAutonomous, "автономный", nullptr},
    {Msg::ControlDirect, "прямое управление", nullptr},
    {Msg::ModesLabel, "Режимы:", nullptr},
    {Msg::TempoLabel, "Темп:", nullptr},
    {Msg::OffsetLabel, "смещение:", nullptr},
    {Msg::StartPointBySoundtrack, "Точка запуска: по фонограмме", nullptr},
    {Msg::StartPointLabel, "Точка запуска:", nullptr},
    {Msg::ProjectStop, "Остановка проекта", nullptr},
    {Msg::EmergencyStop, "Экстренная остановка!", "Получена внешняя команда остановки"},
    {Msg::ScriptHasMissingModules, "В сценарии обнаружены неподключенные пульты...", nullptr},
    {Msg::ScriptMayPlayIncorrectly, "Сценарий может быть воспроизведен некорректно...", nullptr},
    {Msg::ChannelStateUnknown, "неизвестно", nullptr},
    {Msg::ChannelStateConnected, "подключен", nullptr},
    {Msg::ChannelStateNotConnected, "неподключен", nullptr},
    {Msg::ChannelStateError, "ошибка", nullptr},
    {Msg::StateSuffix, ", состояние:", nullptr},
    {Msg::ConnectedChannelsTitle, "подключенные каналы", nullptr},
    {Msg::ModuleIdLabel, "Пульт, ID=", nullptr},
    {Msg::ConnectedChannelCount, "Подключенных каналов:", nullptr},
    {Msg::ChannelNumberLabel, "Канал №", nullptr},
    {Msg::ConfirmEraseScripts, "Вы действительно хотите удалить сценарий во всех пультах?", nullptr},
    {Msg::Confirmation, "Подтверждение", nullptr},
    {Msg::ProgramExit, "Выход из программы", nullptr},
    {Msg::SwitchedOn, "включено", nullptr},
    {Msg::SwitchedOff, "выключено", nullptr},
    {Msg::ChangeNumber, "Изменение номера", nullptr},
    {Msg::EnterNewModuleNumber, "Введите новый номер пульта:", nullptr},
    {Msg::ModuleNumberChangeFailed, "Ошибка изменения номера пульта.", nullptr},
    {Msg::Error, "Ошибка", nullptr},
    {Msg::NumberChangeUnsupported, "Данная версия пульта не поддерживает изменение номера.", nullptr},
    {Msg::Warning, "Предупреждение", nullptr},
    {Msg::SwitchOffConnectedModules, "Необходимо выключить подключенные пульты.", nullptr},
    {Msg::TimeToStart, "Время до запуска:", nullptr},
    {Msg::WaitingForStartCommand, "Ожидание команды запуска...", nullptr},
    {Msg::WritingRemoteScript, "Запись сценария в ПДУ(Р)...", nullptr},
    {Msg::WritingModuleScripts, "Запись сценария в пульты...", nullptr},
    {Msg::PutRemoteInWriteMode, "Переведите ПДУР в режим записи и нажмите <ОК>.", nullptr},
    {Msg::TakeRemoteOutOfWriteMode, "Переведите ПДУР из режима записи и нажмите <ОК>.", nullptr},
    {Msg::VerifyingRemoteScript, "Проверка сценария в ПДУ(Р)...", nullptr},
    {Msg::VerifyingModuleScripts, "Проверка сценария в пультах...", nullptr},
    {Msg::ModuleLabel, "Пульт:", nullptr},
    {Msg::ModuleChannelSuffix, ", канал:", nullptr},
    {Msg::ErasingModuleScripts, "Удаление сценария в пультах...", nullptr},
    {Msg::ReadingBlackBox, "Чтение показаний \"черного ящика\"...", nullptr},
    {Msg::DeviceError, "Ошибка устройства.", nullptr},
    {Msg::TransferError, "Ошибка передачи данных.", nullptr},
    {Msg::TransferTimedOut, "Ошибка передачи данных (истекло время ожидания).", nullptr},
    {Msg::ScriptMismatch, "Несовпадение сценария в пультах.", nullptr},
    {Msg::OperationAborted, "Операция прервана.", nullptr},
    {Msg::Success, "Успешно", nullptr},
    {Msg::MessageTitle, "Сообщение", nullptr},
    {Msg::OperationSucceeded, "Операция успешно завершена", nullptr},
    {Msg::SoundtrackLoadFailed, "Ошибка загрузки фонограммы", nullptr},
    {Msg::ErrorCaption, "Ошибка", nullptr},
    {Msg::FiredModule, "Запуск, пульт:", nullptr},
    {Msg::FiredChannelSuffix, ", канал:", nullptr},
    {Msg::ScriptLoadFailedLine, "Ошибка загрузки сценария (строка:", nullptr},
    {Msg::ExternalStartAt, "Внешняя команда запуска, время:", nullptr},
    {Msg::ExternalStartCancelled, "Внешняя команда запуска - отменено", nullptr},
    // Added after the others so that existing language files keep their numbering: the result
    // of a memory operation the device's firmware does not support had no text.
    {Msg::FirmwareUnsupported, "Версия прошивки не поддерживает операцию.", nullptr},
    // A converter the user may not open, and where an installed program keeps its files.
    {Msg::ConverterAccessDenied, "Нет доступа к преобразователю", nullptr},
    {Msg::AddUserToGroup, "- добавьте пользователя в группу", nullptr},
    {Msg::LogInAgain, "и войдите в систему заново", nullptr},
    {Msg::ProgramFiles, "Файлы программы (настройки, язык, журналы):", nullptr},
    // Refusals and warnings that protect the show: cues a cue record cannot carry, a start
    // time already passed, a remote operation without a remote, and the debug test that
    // overwrites channel 1 of every module.
    {Msg::ScriptHasUnsendableCues, "В сценарии есть команды, которые невозможно передать по шине (пульт, канал, время).", nullptr},
    {Msg::TimeSuffix, ", время:", nullptr},
    {Msg::CountdownPassed, "Время запуска уже прошло.", nullptr},
    {Msg::RemoteNotConnected, "ПДУ(Р) не подключен.", nullptr},
    {Msg::ConfirmSyncTest, "Тест запишет в память каждого найденного пульта запуск канала 1 через 1 час (вместо команды сценария для этого канала) и запустит часы шоу всех устройств на шине: пульт в режиме пуска со сценарием в памяти начнет его отрабатывать. Все найденные пульты сейчас в режиме теста. Продолжить?", nullptr},
    {Msg::SyncTestStarted, "Тест синхронизации пультов запущен", nullptr},
    {Msg::SyncTestStopped, "Тест синхронизации пультов остановлен. Сценарий в памяти пультов изменен: запишите сценарий снова.", nullptr},
    // The remote control's own erase, which had been logged under the modules' title.
    {Msg::ErasingRemoteScript, "Удаление сценария в ПДУ(Р)...", nullptr},
    // A cue whose fire frame never left the console: its module is not on the bus, the channel
    // is outside every module, or the send failed (then the bus result's text is the reason).
    {Msg::FireFailedModule, "Запуск не выполнен, пульт:", nullptr},
    {Msg::ModuleNotFound, "модуль не найден", nullptr},
    {Msg::ChannelOutOfRange, "канал вне диапазона", nullptr},
    // A show refuses to charge HV outputs to a voltage nobody computed.
    {Msg::MeasuredChargeVoltageModule, "Напряжение заряда по измерению, пульт:", nullptr},
    {Msg::ResistanceSuffix, ", сопротивление, Ом:", nullptr},
    {Msg::VoltageSuffix, ", напряжение, В:", nullptr},
    {Msg::StartRefusedNoChargeVoltage, "Старт невозможен, не рассчитано напряжение заряда ВВ:", nullptr},
    {Msg::ModuleWord, "пульт", nullptr},
    {Msg::ChannelsWord, "каналы", nullptr},
    // Writing the remote control while modules are registered: a question, not a notice.
    {Msg::SwitchOffModulesAndOk, "Выключите пульты и нажмите <ОК>.", nullptr},
    // The script and soundtrack dialogs' own filters (61 and 62 are the forcing words).
    {Msg::TextFileFilter, "Текстовые файлы|*.txt", nullptr},
    {Msg::SoundFileFilter, "Аудиофайлы|*.wav; *.mp3; *.wma; *.ogg", nullptr},
    // A charge from the HV test page is asked for and logged.
    {Msg::HvChargeModule, "Заряд ВВ, пульт:", nullptr},
    {Msg::ConfirmHvCharge, "Зарядить конденсатор пульта ВВ?", nullptr},
    // The module mode commands, and the modules whose mode did not read back as asked.
    {Msg::TestModeModules, "Режим теста, пультов:", nullptr},
    {Msg::FireModeModules, "Режим пуска, пультов:", nullptr},
    {Msg::ModeNotConfirmedModules, "Режим не подтвержден, пульты:", nullptr},
    {Msg::CheckModeOnSite, "Проверьте режим этих пультов на месте.", nullptr},
    // Numbered apart from the messages above, so that texts added elsewhere keep their numbers.
    // The clock test refused: it starts the show clock of every device on the bus.
    {Msg::SyncTestRefusedNotIdle, "Тест синхронизации не запущен: пульт управления не в ожидании, идет шоу или отсчет до запуска.", nullptr},
    {Msg::SyncTestRefusedNotInTestMode, "Тест синхронизации не запущен, не в режиме теста пульты:", nullptr},
    // A manual HV launch still charging when the show was stopped is not fired.
    {Msg::CancelledByStop, "отменен остановкой", nullptr},
    // A show that ran to its end is not started again from there.
    {Msg::ScriptPlayedToEnd, "Сценарий отработан до конца. Новый запуск: <F4> В начало или выбор точки запуска.", nullptr},
    {Msg::CountdownCancelled, "Отсчет до запуска отменен", nullptr},
    // The black-box read: words asked again, a module given up, the file without it. 
    {Msg::BlackBoxModule, "Черный ящик, пульт:", nullptr},
    {Msg::RetriesSuffix, ", повторных запросов:", nullptr},
    {Msg::UnreadWordSuffix, ", не прочитано слово:", nullptr},
    {Msg::BlackBoxIncomplete, "Черный ящик прочитан не полностью, пропущены пульты:", nullptr},
    // What the threads that time the show were granted, logged once; and how to get more.
    {Msg::FiringThreadsRealTime, "Потоки запуска: реальное время, приоритет", nullptr},
    {Msg::FiringThreadsNoRealTime, "Потоки запуска: без реального времени, nice", nullptr},
    {Msg::MemoryLocked, ", память закреплена", nullptr},
    {Msg::OnlyStacksLocked, ", закреплен только стек потоков", nullptr},
    {Msg::MemoryNotLocked, ", память не закреплена", nullptr},
    {Msg::RealTimeHowTo, "(больше: пользователь в группе dialout, /etc/security/limits.d/95-kelvane.conf, новый вход в систему)", nullptr},
    // A fire frame that left whose echo did not come back in time.
    {Msg::FrameSentEchoLate, "(кадр передан, эхо не получено вовремя)", nullptr},
    // Following timecode: lock, loss, return, jumps, the start and the cues passed over.
    {Msg::TimecodeLocked, "Таймкод: синхронизация, кадров/с:", nullptr},
    {Msg::TimecodeLost, "Таймкод: потеря сигнала, время:", nullptr},
    {Msg::TimecodeRestored, "Таймкод: сигнал восстановлен, кадров/с:", nullptr},
    {Msg::TimecodeJumpForward, "Таймкод: скачок вперёд, время:", nullptr},
    {Msg::TimecodeJumpBack, "Таймкод: скачок назад, время:", nullptr},
    {Msg::TimecodeLostShowContinues, "Таймкод: нет сигнала, шоу продолжается по своим часам", nullptr},
    {Msg::TimecodeLostShowStopped, "Таймкод: нет сигнала, шоу остановлено", nullptr},
    {Msg::TimecodeShowStart, "Таймкод: старт шоу", nullptr},
    {Msg::TimecodeStartMidShow, "Таймкод: старт с середины шоу, время:", nullptr},
    {Msg::TimecodeSkipped, "Таймкод: пропущено, время:", nullptr},
    {Msg::TimecodeSkippedModule, ", пульт:", nullptr},
    {Msg::TimecodeSkippedChannel, ", канал:", nullptr},
    // The timecode lamp beside the show clock.
    {Msg::LtcNoSignal, "LTC: нет сигнала", nullptr},
    {Msg::LtcLocked, "LTC: захват", nullptr},
    {Msg::LtcFreewheel, "LTC: свободный ход", nullptr},
    {Msg::LtcOwnClock, "LTC: свои часы", nullptr},
    // The tempo keys on a show that follows timecode, and a source that cannot run.
    {Msg::TempoIgnoredOnTimecode, "Темп не действует: шоу идет по таймкоду", nullptr},
    {Msg::StartRefusedTimecodeSource, "Старт невозможен, источник таймкода:", nullptr},
    // An armed slot that follows timecode listens and starts the show on it.
    {Msg::ArmedWaitingForTimecode, "Пульт взведен: ожидание таймкода", nullptr},
    // The timecode reached the show's zero while a start was not allowed: the wait ends.
    {Msg::TimecodeStartRefusedWaitEnded, "Таймкод: старт невозможен, ожидание таймкода прекращено", nullptr},
}};
// clang-format on

}  // namespace

std::span<const MessageDefault> MessageDefaults() {
    return kMessages;
}

QString DefaultMessage(Msg msg, MsgVariant variant) {
    for (const MessageDefault& m : kMessages) {
        if (m.id == msg) {
            const char* text =
                variant == MsgVariant::Alternative && m.alternative ? m.alternative : m.text;
            return QString::fromUtf8(text);
        }
    }
    return QString();
}

}  // namespace kv
