#include "mail/settings.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QRegularExpression>

namespace bm::mailsettings
{

namespace M = field::MailSettings;

namespace
{

QString where(const QString &path)
{
    return path.isEmpty() ? databasePath() : path;
}

Status failed(const QString &what, const Status &why)
{
    const Status s = Status::failure(QStringLiteral("%1: %2").arg(what, why.message()));
    qCWarning(dataLog).noquote() << s.message();
    return s;
}

const QString keyName = QString::fromLatin1(schema::keyColumn);
const QStringList fields { M::Server, M::Port, M::Security, M::User, M::SenderAddress, M::SenderName,
    M::GuideAddress };

Settings trimmed(Settings s)
{
    for (QString *v :
        { &s.server, &s.port, &s.security, &s.user, &s.senderAddress, &s.senderName, &s.guideAddress })
        *v = v->trimmed();
    return s;
}

bool hasControl(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return true;
    return false;
}

int portNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    return digits.match(text).hasMatch() ? text.toInt() : 0;
}

Status refuse(Field which, Field *field, const QString &message)
{
    if (field)
        *field = which;
    return Status::failure(message);
}

QVariant kept(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

Status check(const Settings &typed, Field *field)
{
    if (field)
        *field = Field::None;
    const Settings s = trimmed(typed);
    const QString example = QStringLiteral("like guide@example.com");
    if (s.server.isEmpty())
        return refuse(Field::Server, field,
            QStringLiteral("Please enter the Server: the name of your mail server, like smtp.example.com."));
    if (!mail::plausibleHost(s.server))
        return refuse(Field::Server, field,
            QStringLiteral("The Server \"%1\" is not a host name or address, like smtp.example.com.")
                .arg(s.server));
    const int port = portNumber(s.port);
    if (port < 1 || port > 65535)
        return refuse(Field::Port, field,
            QStringLiteral("Please enter the Port as a whole number from 1 to 65535 (usually 587 for "
                           "STARTTLS, 465 for TLS)."));
    if (s.security != QLatin1String(none) && s.security != QLatin1String(startTls)
        && s.security != QLatin1String(tls))
        return refuse(Field::Security, field,
            QStringLiteral("The Security must be %1, %2 or %3.")
                .arg(QLatin1String(none), QLatin1String(startTls), QLatin1String(tls)));
    if (hasControl(s.user))
        return refuse(Field::User, field, QStringLiteral("The User holds a character that can not be sent."));
    if (s.senderAddress.isEmpty())
        return refuse(Field::SenderAddress, field,
            QStringLiteral("Please enter the Sender Address: the address your clients' mail comes from, %1.")
                .arg(example));
    if (!mail::plausibleAddress(s.senderAddress))
        return refuse(Field::SenderAddress, field,
            QStringLiteral("The Sender Address \"%1\" is not one mail address, %2.")
                .arg(s.senderAddress, example));
    if (hasControl(s.senderName))
        return refuse(Field::SenderName, field,
            QStringLiteral("The Sender Name holds a character that can not be sent."));
    if (!s.guideAddress.isEmpty() && !mail::plausibleAddress(s.guideAddress))
        return refuse(Field::GuideAddress, field,
            QStringLiteral("The Guide's Address \"%1\" is not one mail address, %2. Leave it empty to use "
                           "the e-mail of your guide details.")
                .arg(s.guideAddress, example));
    return Status::ok();
}

Status read(Settings &settings, const QString &path)
{
    settings = Settings();
    db::Query q(where(path));
    QStringList quoted;
    for (const QString &f : fields)
        quoted << schema::quoted(f);
    if (Status s = q.run(QStringLiteral("SELECT %2 FROM %1 ORDER BY %3 LIMIT 1")
                             .arg(schema::quoted(QLatin1String(table::MailSettings)),
                                 quoted.join(QLatin1String(", ")), keyName));
        !s)
        return failed(QStringLiteral("The mail settings could not be read"), s);
    if (!q.next()) {
        if (!q.status())
            return failed(QStringLiteral("The mail settings could not be read"), q.status());
        return Status::ok();
    }
    Settings r;
    r.server = q.value(M::Server).toString();
    // A port or security never kept leaves the usual one.
    if (const QVariant port = q.value(M::Port); !port.isNull())
        r.port = port.toString();
    if (const QVariant security = q.value(M::Security); !security.isNull())
        r.security = security.toString();
    r.user = q.value(M::User).toString();
    r.senderAddress = q.value(M::SenderAddress).toString();
    r.senderName = q.value(M::SenderName).toString();
    r.guideAddress = q.value(M::GuideAddress).toString();
    settings = r;
    return Status::ok();
}

Status write(const Settings &typed, const QString &path)
{
    const QString what = QStringLiteral("The mail settings could not be saved");
    if (Status s = check(typed); !s)
        return s;
    const Settings s = trimmed(typed);
    const QVariantList values { kept(s.server), QString::number(portNumber(s.port)), s.security, kept(s.user),
        s.senderAddress, kept(s.senderName), kept(s.guideAddress) };
    const QString table = QLatin1String(table::MailSettings);
    QStringList set, quoted;
    for (const QString &f : fields) {
        set << schema::quoted(f) + QStringLiteral(" = ?");
        quoted << schema::quoted(f);
    }
    db::Transaction t(where(path));
    if (Status st = t.begin(); !st)
        return failed(what, st);
    db::Written written;
    if (Status st = t.write(table,
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = (SELECT min(%3) FROM %1)")
                .arg(schema::quoted(table), set.join(QLatin1String(", ")), keyName),
            values, &written);
        !st)
        return failed(what, st);
    if (written.rowsAffected == 0)
        if (Status st = t.write(table,
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(schema::quoted(table), quoted.join(QLatin1String(", ")),
                        QStringList(fields.size(), QStringLiteral("?")).join(QLatin1String(", "))),
                values);
            !st)
            return failed(what, st);
    if (Status st = t.commit(); !st)
        return failed(what, st);
    return Status::ok();
}

QString keyringKey(const Settings &typed)
{
    const Settings s = trimmed(typed);
    if (s.user.isEmpty())
        return QString();
    return QStringLiteral("smtp:%1@%2").arg(s.user, s.server.toLower());
}

Status forSending(
    const Settings &typed, const QString &password, mail::SmtpSettings &smtp, mail::Mailbox &from)
{
    if (Status s = check(typed); !s)
        return s;
    const Settings s = trimmed(typed);
    smtp = mail::SmtpSettings();
    smtp.host = s.server;
    smtp.port = portNumber(s.port);
    smtp.security = s.security == QLatin1String(none) ? mail::Security::None
        : s.security == QLatin1String(tls)            ? mail::Security::Tls
                                                      : mail::Security::StartTls;
    smtp.user = s.user;
    smtp.password = s.user.isEmpty() ? QString() : password;
    from = { s.senderAddress, s.senderName };
    return Status::ok();
}

} // namespace bm::mailsettings
