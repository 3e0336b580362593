#pragma once

#include <QString>

class QWidget;

namespace bm::platform
{

enum class Icon { None, Information, Exclamation, Question, Critical };
// With Yes and No, Yes is the default; Escape is No, or Cancel where there is one.
enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct Message {
    QString text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    QString caption = QStringLiteral("Brindlemoor");
};

// Every message box of the program goes through this seam. Production shows
// a modal QMessageBox; tests script the answers and record every box.
class MessageService
{
public:
    virtual ~MessageService() = default;
    virtual Answer show(const Message &message, QWidget *parent) = 0;
};

MessageService &messageService();
void setMessageService(MessageService *service); // nullptr restores production

// Shows one box and returns the answer.
Answer message(const QString &text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
    const QString &caption = QStringLiteral("Brindlemoor"), QWidget *parent = nullptr);

// The usual kinds of box, by icon.
inline void inform(const QString &text, QWidget *parent = nullptr)
{
    message(text, Icon::Information, Buttons::Ok, QStringLiteral("Brindlemoor"), parent);
}
inline void warn(const QString &text, QWidget *parent = nullptr)
{
    message(text, Icon::Exclamation, Buttons::Ok, QStringLiteral("Brindlemoor"), parent);
}
inline void stop(const QString &text, QWidget *parent = nullptr)
{
    message(text, Icon::Critical, Buttons::Ok, QStringLiteral("Brindlemoor"), parent);
}
inline bool askYesNo(const QString &text, const QString &caption, QWidget *parent = nullptr)
{
    return message(text, Icon::Question, Buttons::YesNo, caption, parent) == Answer::Yes;
}
// Yes, No or Cancel: "Save the changes?" before they would be lost.
inline Answer askYesNoCancel(const QString &text, const QString &caption, QWidget *parent = nullptr)
{
    return message(text, Icon::Question, Buttons::YesNoCancel, caption, parent);
}

} // namespace bm::platform
