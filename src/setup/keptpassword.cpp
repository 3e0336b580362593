#include "setup/keptpassword.h"

#include "platform/failures.h"
#include "platform/keyring.h"

#include <QLabel>
#include <QLineEdit>

namespace bm
{

KeptPassword::KeptPassword(QWidget *parent, const QString &toolTip)
    : m_field(new QLineEdit(parent))
    , m_note(new QLabel(parent))
{
    m_field->setObjectName(QStringLiteral("txtPassword"));
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setToolTip(toolTip);
    m_note->setObjectName(QStringLiteral("lblKeyring"));
    m_note->setWordWrap(true);
    m_note->hide();
}

QString KeptPassword::text() const
{
    return m_field->text();
}

void KeptPassword::say(const Status &status)
{
    m_note->setText(status.message());
    m_note->setVisible(!status);
    if (!status)
        platform::logFailure(status);
}

void KeptPassword::load(const QString &key)
{
    m_read.clear();
    m_known = true;
    if (!key.isEmpty()) {
        bool found = false;
        const Status s = platform::readSecret(key, m_read, found);
        m_known = s.isOk();
        say(s);
    }
    m_field->setText(m_read);
}

bool KeptPassword::changed() const
{
    return m_field->text() != m_read;
}

Status KeptPassword::keep(const QString &before, const QString &after)
{
    const QString password = m_field->text();
    Status s = Status::ok();
    if (!after.isEmpty()) {
        if (!password.isEmpty() && (after != before || !m_known || password != m_read))
            s = platform::writeSecret(after, password);
        else if (password.isEmpty() && after == before && m_known && !m_read.isEmpty())
            s = platform::removeSecret(after); // emptied: the login has no password now
    }
    // A password stays with its own login and server only.
    if (s && !before.isEmpty() && before != after)
        s = platform::removeSecret(before);
    m_known = s.isOk();
    m_read = s ? password : QString();
    say(s);
    return s;
}

} // namespace bm
