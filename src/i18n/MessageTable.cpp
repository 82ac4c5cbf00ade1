#include "i18n/MessageTable.h"

#include <array>

namespace kv {

namespace {

// clang-format off
constexpr std::array<MessageDefault, 162> kMessages = {{
    {0, " ", nullptr},
    {1, "Ошибка инициализации аудио-устройства", nullptr},
    {2, "Всего подключенных устройств:", nullptr},
    {3, "Преобразователей:", nullptr},
    {4, "Пультов:", nullptr},
    {5, "Блоков радиосвязи:", nullptr},
    {6, "ПДУ(Р):", nullptr},
    {7, "Управление запуском (версия:", nullptr},
    {8, "версия:", nullptr},
    {9, "(расширенная)", nullptr},
    {10, "Включение форсирования, пульт:", nullptr},
    {11, "Выключение форсирования, пульт:", nullptr},
    {12, "Ручной запуск, пульт:", nullptr},
    {13, ", канал:", nullptr},
    {14, "Пошаговый запуск, пульт:", nullptr},
    {15, "Изменение темпа:", nullptr},
    {16, "Изменение смещения:", nullptr},
    {18, "Установка точки начала:", nullptr},
    {19, "Ошибка преобразователя", nullptr},
    {20, "Преобразователь подключен", nullptr},
    {21, "Тест канала, пульт:", "Тест каналов, пульт:"},
    {22, ", каналов:", nullptr},
    {23, ", подключено:", nullptr},
    {24, "Поиск...", nullptr},
    {25, "Ожидание", nullptr},
    {27, "ЦЕНТР", nullptr},
    {28, "ВЛЕВО", nullptr},
    {29, "ВПРАВО", nullptr},
    {30, "Л. ВРАЩ.", nullptr},
    {31, "П. ВРАЩ.", nullptr},
    {32, "Запуск проекта", nullptr},
    {33, "Проект:", nullptr},
    {34, "Фонограмма:", nullptr},
    {35, "автомат", nullptr},
    {36, "ручной", nullptr},
    {37, "автомат, ручной", nullptr},
    {38, "автономный", nullptr},
    {39, "прямое управление", nullptr},
    {40, "Режимы:", nullptr},
    {41, "Темп:", nullptr},
    {42, "смещение:", nullptr},
    {43, "Точка запуска: по фонограмме", nullptr},
    {44, "Точка запуска:", nullptr},
    {45, "Остановка проекта", nullptr},
    {46, "Экстренная остановка!", "Получена внешняя команда остановки"},
    {47, "В сценарии обнаружены неподключенные пульты...", nullptr},
    {48, "Сценарий может быть воспроизведен некорректно...", nullptr},
    {49, "неизвестно", nullptr},
    {50, "подключен", nullptr},
    {51, "неподключен", nullptr},
    {52, "ошибка", nullptr},
    {53, ", состояние:", nullptr},
    {54, "подключенные каналы", nullptr},
    {55, "Пульт, ID=", nullptr},
    {56, "Подключенных каналов:", nullptr},
    {57, "Канал №", nullptr},
    {58, "Вы действительно хотите удалить сценарий во всех пультах?", nullptr},
    {59, "Подтверждение", nullptr},
    {60, "Выход из программы", nullptr},
    {61, "включено", nullptr},
    {62, "выключено", nullptr},
    {63, "Изменение номера", nullptr},
    {64, "Введите новый номер пульта:", nullptr},
    {65, "Ошибка изменения номера пульта.", nullptr},
    {66, "Ошибка", nullptr},
    {67, "Данная версия пульта не поддерживает изменение номера.", nullptr},
    {68, "Предупреждение", nullptr},
    {69, "Необходимо выключить подключенные пульты.", nullptr},
    {70, "Время до запуска:", nullptr},
    {71, "Ожидание команды запуска...", nullptr},
    {72, "Запись сценария в ПДУ(Р)...", nullptr},
    {73, "Запись сценария в пульты...", nullptr},
    {74, "Переведите ПДУР в режим записи и нажмите <ОК>.", nullptr},
    {75, "Переведите ПДУР из режима записи и нажмите <ОК>.", nullptr},
    {76, "Проверка сценария в ПДУ(Р)...", nullptr},
    {77, "Проверка сценария в пультах...", nullptr},
    {78, "Пульт:", nullptr},
    {79, ", канал:", nullptr},
    {80, "Удаление сценария в пультах...", nullptr},
    {81, "Чтение показаний \"черного ящика\"...", nullptr},
    {82, "Ошибка устройства.", nullptr},
    {83, "Ошибка передачи данных.", nullptr},
    {84, "Ошибка передачи данных (истекло время ожидания).", nullptr},
    {85, "Несовпадение сценария в пультах.", nullptr},
    {86, "Операция прервана.", nullptr},
    {87, "Успешно", nullptr},
    {88, "Сообщение", nullptr},
    {89, "Операция успешно завершена", nullptr},
    {90, "Ошибка загрузки фонограммы", nullptr},
    {91, "Ошибка", nullptr},
    {92, "Запуск, пульт:", nullptr},
    {93, ", канал:", nullptr},
    {94, "Ошибка загрузки сценария (строка:", nullptr},
    {95, "Внешняя команда запуска, время:", nullptr},
    {96, "Внешняя команда запуска - отменено", nullptr},
    // Added after the others so that existing language files keep their numbering: the result
    // of a memory operation the device's firmware does not support had no text.
    {97, "Версия прошивки не поддерживает операцию.", nullptr},
    // A converter the user may not open, and where an installed program keeps its files.
    {98, "Нет доступа к преобразователю", nullptr},
    {99, "- добавьте пользователя в группу", nullptr},
    {100, "и войдите в систему заново", nullptr},
    {101, "Файлы программы (настройки, язык, журналы):", nullptr},
    // Refusals and warnings that protect the show: cues a cue record cannot carry, a start
    // time already passed, a remote operation without a remote, and the debug test that
    // overwrites channel 1 of every module.
    {102, "В сценарии есть команды, которые невозможно передать по шине (пульт, канал, время).", nullptr},
    {103, ", время:", nullptr},
    {104, "Время запуска уже прошло.", nullptr},
    {105, "ПДУ(Р) не подключен.", nullptr},
    {106, "Тест запишет в память каждого найденного пульта запуск канала 1 через 1 час (вместо команды сценария для этого канала) и запустит часы шоу всех устройств на шине: пульт в режиме пуска со сценарием в памяти начнет его отрабатывать. Все найденные пульты сейчас в режиме теста. Продолжить?", nullptr},
    {107, "Тест синхронизации пультов запущен", nullptr},
    {108, "Тест синхронизации пультов остановлен. Сценарий в памяти пультов изменен: запишите сценарий снова.", nullptr},
    // The remote control's own erase, which had been logged under the modules' title.
    {109, "Удаление сценария в ПДУ(Р)...", nullptr},
    // A cue whose fire frame never left the console: its module is not on the bus, the channel
    // is outside every module, or the send failed (then the bus result's text is the reason).
    {110, "Запуск не выполнен, пульт:", nullptr},
    {111, "модуль не найден", nullptr},
    {112, "канал вне диапазона", nullptr},
    // A show refuses to charge HV outputs to a voltage nobody computed.
    {113, "Напряжение заряда по измерению, пульт:", nullptr},
    {114, ", сопротивление, Ом:", nullptr},
    {115, ", напряжение, В:", nullptr},
    {116, "Старт невозможен, не рассчитано напряжение заряда ВВ:", nullptr},
    {117, "пульт", nullptr},
    {118, "каналы", nullptr},
    // Writing the remote control while modules are registered: a question, not a notice.
    {119, "Выключите пульты и нажмите <ОК>.", nullptr},
    // The script and soundtrack dialogs' own filters (61 and 62 are the forcing words).
    {120, "Текстовые файлы|*.txt", nullptr},
    {121, "Аудиофайлы|*.wav; *.mp3; *.wma; *.ogg", nullptr},
    // A charge from the HV test page is asked for and logged.
    {122, "Заряд ВВ, пульт:", nullptr},
    {123, "Зарядить конденсатор пульта ВВ?", nullptr},
    // The module mode commands, and the modules whose mode did not read back as asked.
    {124, "Режим теста, пультов:", nullptr},
    {125, "Режим пуска, пультов:", nullptr},
    {126, "Режим не подтвержден, пульты:", nullptr},
    {127, "Проверьте режим этих пультов на месте.", nullptr},
    // Numbered apart from the messages above, so that texts added elsewhere keep their numbers.
    // The clock test refused: it starts the show clock of every device on the bus.
    {130, "Тест синхронизации не запущен: пульт управления не в ожидании, идет шоу или отсчет до запуска.", nullptr},
    {131, "Тест синхронизации не запущен, не в режиме теста пульты:", nullptr},
    // A manual HV launch still charging when the show was stopped is not fired.
    {132, "отменен остановкой", nullptr},
    // A show that ran to its end is not started again from there.
    {133, "Сценарий отработан до конца. Новый запуск: <F4> В начало или выбор точки запуска.", nullptr},
    {134, "Отсчет до запуска отменен", nullptr},
    // The black-box read: words asked again, a module given up, the file without it. 
    {135, "Черный ящик, пульт:", nullptr},
    {136, ", повторных запросов:", nullptr},
    {137, ", не прочитано слово:", nullptr},
    {138, "Черный ящик прочитан не полностью, пропущены пульты:", nullptr},
    // What the threads that time the show were granted, logged once; and how to get more.
    {160, "Потоки запуска: реальное время, приоритет", nullptr},
    {161, "Потоки запуска: без реального времени, nice", nullptr},
    {162, ", память закреплена", nullptr},
    {163, ", закреплен только стек потоков", nullptr},
    {164, ", память не закреплена", nullptr},
    {165, "(больше: пользователь в группе dialout, /etc/security/limits.d/95-kelvane.conf, новый вход в систему)", nullptr},
    // A fire frame that left whose echo did not come back in time.
    {170, "(кадр передан, эхо не получено вовремя)", nullptr},
    // Following timecode: lock, loss, return, jumps, the start and the cues passed over.
    {400, "Таймкод: синхронизация, кадров/с:", nullptr},
    {401, "Таймкод: потеря сигнала, время:", nullptr},
    {402, "Таймкод: сигнал восстановлен, кадров/с:", nullptr},
    {403, "Таймкод: скачок вперёд, время:", nullptr},
    {404, "Таймкод: скачок назад, время:", nullptr},
    {405, "Таймкод: нет сигнала, шоу продолжается по своим часам", nullptr},
    {406, "Таймкод: нет сигнала, шоу остановлено", nullptr},
    {407, "Таймкод: старт шоу", nullptr},
    {408, "Таймкод: старт с середины шоу, время:", nullptr},
    {409, "Таймкод: пропущено, время:", nullptr},
    {410, ", пульт:", nullptr},
    {411, ", канал:", nullptr},
    // The timecode lamp beside the show clock.
    {412, "LTC: нет сигнала", nullptr},
    {413, "LTC: захват", nullptr},
    {414, "LTC: свободный ход", nullptr},
    {415, "LTC: свои часы", nullptr},
    // The tempo keys on a show that follows timecode, and a source that cannot run.
    {416, "Темп не действует: шоу идет по таймкоду", nullptr},
    {417, "Старт невозможен, источник таймкода:", nullptr},
    // An armed slot that follows timecode listens and starts the show on it.
    {418, "Пульт взведен: ожидание таймкода", nullptr},
    // The timecode reached the show's zero while a start was not allowed: the wait ends.
    {419, "Таймкод: старт невозможен, ожидание таймкода прекращено", nullptr},
}};
// clang-format on

}  // namespace

std::span<const MessageDefault> MessageDefaults() {
    return kMessages;
}

QString DefaultMessage(int number, int variant) {
    for (const MessageDefault& m : kMessages) {
        if (m.number == number) {
            const char* text = variant == 1 && m.alternative ? m.alternative : m.text;
            return QString::fromUtf8(text);
        }
    }
    return QString();
}

}  // namespace kv
