#pragma once

#include <QObject>
#include <QString>
#include <vector>

class QWidget;

namespace kv {

class IniFile;

// Placed on each translatable window: registers its owner window when created and forgets it
// when destroyed, so that one Translate() at start-up reaches every window in creation order.
// Main thread only, like the windows themselves.
class TLocalizer : public QObject {
    Q_OBJECT
public:
    explicit TLocalizer(QWidget* owner);
    ~TLocalizer() override;

    QWidget* Owner() const { return owner_; }

    // Loads the message list if it is still empty, then applies the language file to one
    // window, or to every registered window when given none. Without a language file the
    // windows keep their own texts.
    static void Translate(QWidget* window = nullptr);

    // The registered windows in registration order.
    static std::vector<QWidget*> RegisteredWindows();

private:
    static void TranslateOne(QWidget* window, const IniFile* file);

    QWidget* owner_;
};

}  // namespace kv
