#pragma once

#include <QWidget>

class QPushButton;

namespace kv {

class ConsoleSession;

// The command buttons of the launch panel, each with the key that also presses it:
// "<F2> Сценарий", "<F3> Фонограмма", "<F4> В начало", "<F5> Старт", "<F6> Стоп",
// "<F8> Запись", "<F9> Проверка", and the two that stay down while their mode lasts,
// "<TAB> Тест" and "<F10> Поиск" (laid out by the main window beside the device list).
class CommandButtons : public QWidget {
    Q_OBJECT
public:
    explicit CommandButtons(QWidget* parent = nullptr);

    QPushButton* ProjectBtn = nullptr;
    QPushButton* SoundBtn = nullptr;
    QPushButton* BeginBtn = nullptr;
    QPushButton* StartBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* SaveBtn = nullptr;
    QPushButton* CheckBtn = nullptr;
    QPushButton* TestBtn = nullptr;
    QPushButton* SearchBtn = nullptr;
    // Forwards the command keys to the session and draws their enabling.
    void Bind(ConsoleSession& session);
    void Refresh();

private:
    ConsoleSession* session_ = nullptr;
};

}  // namespace kv
