#include "platform/messages.h"

#include <QMessageBox>

namespace bm::platform
{

namespace
{

class QtMessages : public MessageService
{
public:
    Answer show(const Message &m, QWidget *parent) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(m.caption);
        box.setText(m.text);
        switch (m.icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (m.buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
        }
        if (m.buttons == Buttons::YesNoCancel) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            switch (box.exec()) {
            case QMessageBox::Yes:
                return Answer::Yes;
            case QMessageBox::No:
                return Answer::No;
            default:
                return Answer::Cancel;
            }
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }
};

QtMessages production;
MessageService *current = &production;

} // namespace

MessageService &messageService()
{
    return *current;
}

void setMessageService(MessageService *service)
{
    current = service ? service : &production;
}

Answer message(const QString &text, Icon icon, Buttons buttons, const QString &caption, QWidget *parent)
{
    return current->show(Message { text, icon, buttons, caption }, parent);
}

} // namespace bm::platform
