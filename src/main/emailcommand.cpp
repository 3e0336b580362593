#include "main/emailcommand.h"

#include "platform/messages.h"
#include "platform/shell.h"

namespace bm::view
{

void emailTo(const QString &address, const QString &name, QWidget *parent)
{
    using namespace platform;
    if (address.isEmpty()) {
        warn(QStringLiteral("There is no email address for ") + name + QStringLiteral("."), parent);
        return;
    }
    if (!openMail(address))
        message(QStringLiteral("Can't find Email program.\nThis command may not work if you are not using MS "
                               "Outlook."),
            Icon::Exclamation, Buttons::Ok, QStringLiteral("Email Program not found"), parent);
}

} // namespace bm::view
