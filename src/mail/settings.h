#pragma once

#include "core/status.h"
#include "mail/message.h"
#include "mail/smtp.h"

#include <QString>

// The guide's mail server, as the one record of Mail Settings keeps it. The
// password is not here: it lives in the desktop's keyring under
// keyringKey(), and whoever sends reads it from there and hands it in.
namespace bm::mailsettings
{

// The kept words of the Security field.
inline constexpr char none[] = "None";
inline constexpr char startTls[] = "STARTTLS";
inline constexpr char tls[] = "TLS";

// The values as typed and kept, text all of them: what another program or
// desk wrote is shown as it is, and check() says what is wrong with it.
struct Settings {
    QString server;
    QString port = QStringLiteral("587");
    QString security = QLatin1String(startTls);
    QString user; // empty: the server takes mail without a login
    QString senderAddress;
    QString senderName;
    QString guideAddress; // the guide's own mail; empty: the guide details' e-mail
    bool operator==(const Settings &) const = default;
};

// A field of the record, to name the one check() refused.
enum class Field { None, Server, Port, Security, User, SenderAddress, SenderName, GuideAddress };

// Whether the settings can be kept: a server's host name or address, a
// port from 1 to 65535, a known security, a plausible sender's address and,
// if given, a plausible guide's address; no control characters anywhere.
// The failure names the field, which also goes into field when given.
[[nodiscard]] Status check(const Settings &settings, Field *field = nullptr);

// Reads the record of the database at path (empty: the program's). Without
// one the defaults above stand.
[[nodiscard]] Status read(Settings &settings, const QString &path = QString());

// Checks the settings (leading and trailing blanks trimmed) and writes them
// into the record, which is added when there is none. Nothing is written
// when a value is refused.
[[nodiscard]] Status write(const Settings &settings, const QString &path = QString());

// The keyring's key of the login's password, "smtp:<user>@<server>"; empty
// without a user, when there is no password to keep.
QString keyringKey(const Settings &settings);

// The settings as the mail library sends with them, with the password
// read from the keyring, and the sender's mailbox. Fails as check() does.
[[nodiscard]] Status forSending(
    const Settings &settings, const QString &password, mail::SmtpSettings &smtp, mail::Mailbox &from);

} // namespace bm::mailsettings
