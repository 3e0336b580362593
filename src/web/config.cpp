#include "web/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QSettings>

namespace bm::web
{

namespace
{

Status wrong(const QString &path, const QString &what)
{
    return Status::failure(QStringLiteral("%1: %2").arg(path, what));
}

bool wholeNumber(const QSettings &s, const QString &key, int lo, int hi, int &out)
{
    if (!s.contains(key))
        return true;
    bool ok = false;
    const int n = s.value(key).toString().trimmed().toInt(&ok);
    if (!ok || n < lo || n > hi)
        return false;
    out = n;
    return true;
}

// The first line of a file only its owner may read or write, at most a
// kilobyte long.
Status readPassword(const QString &path, QString &out)
{
    out.clear();
    QFile f(path);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("[mail] password_file= %1 can not be read.").arg(path));
    if (f.permissions() & others)
        return Status::failure(
            QStringLiteral("[mail] password_file= %1 may be read by others than its owner: chmod 600 it.")
                .arg(path));
    const QByteArray bytes = f.read(1025);
    if (bytes.size() > 1024)
        return Status::failure(
            QStringLiteral("[mail] password_file= %1 is longer than a password.").arg(path));
    out = QString::fromUtf8(bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n')));
    if (out.endsWith(u'\r'))
        out.chop(1);
    return Status::ok();
}

// yes/no, true/false, on/off or 1/0; the fallback when not given.
bool yesOrNo(const QSettings &s, const QString &key, bool fallback, bool &out)
{
    out = fallback;
    if (!s.contains(key))
        return true;
    const QString v = s.value(key).toString().trimmed().toLower();
    if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("on")
        || v == QLatin1String("1"))
        out = true;
    else if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("off")
        || v == QLatin1String("0"))
        out = false;
    else
        return false;
    return true;
}

} // namespace

Status readConfig(const QString &path, Config &out)
{
    out = Config();
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable())
        return wrong(path, QStringLiteral("the settings file can not be read."));
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        return wrong(path, QStringLiteral("the settings file is not in INI form."));
    out.databaseUri = s.value(QStringLiteral("database/uri")).toString().trimmed();
    if (!out.databaseUri.startsWith(QLatin1String("postgresql://"))
        && !out.databaseUri.startsWith(QLatin1String("postgres://")))
        return wrong(path,
            QStringLiteral("[database] uri= must be the shared database's address "
                           "(postgresql://...); the booking page works only on a shared database."));
    out.listen = s.value(QStringLiteral("web/listen"), out.listen).toString().trimmed();
    if (QHostAddress(out.listen).isNull())
        return wrong(path, QStringLiteral("[web] listen= must be an IP address, such as 127.0.0.1."));
    if (!wholeNumber(s, QStringLiteral("web/port"), 1, 65535, out.port))
        return wrong(path, QStringLiteral("[web] port= must be a number from 1 to 65535."));
    if (!wholeNumber(s, QStringLiteral("web/requests_per_hour"), 1, 100000, out.requestsPerHour))
        return wrong(path, QStringLiteral("[web] requests_per_hour= must be a number from 1 to 100000."));
    if (!wholeNumber(s, QStringLiteral("web/threads"), 1, 256, out.threads))
        return wrong(path, QStringLiteral("[web] threads= must be a number from 1 to 256."));
    out.locale = s.value(QStringLiteral("web/locale")).toString().trimmed();
    if (!out.locale.isEmpty() && QLocale(out.locale).name() == QLatin1String("C")
        && out.locale != QLatin1String("C"))
        return wrong(path, QStringLiteral("[web] locale= must name a locale, such as en_US."));
    if (!yesOrNo(s, QStringLiteral("web/behind_proxy"), true, out.behindProxy))
        return wrong(path, QStringLiteral("[web] behind_proxy= must be yes or no."));
    const QString url = s.value(QStringLiteral("web/public_url")).toString().trimmed();
    if (!url.isEmpty()) {
        out.publicUrl = QUrl(url, QUrl::StrictMode);
        if (!out.publicUrl.isValid() || out.publicUrl.host().isEmpty()
            || (out.publicUrl.scheme() != QLatin1String("https")
                && out.publicUrl.scheme() != QLatin1String("http")))
            return wrong(path,
                QStringLiteral(
                    "[web] public_url= must be the page's address, such as https://book.example.com."));
    }
    if (!yesOrNo(s, QStringLiteral("mail/send"), true, out.sendMail))
        return wrong(path, QStringLiteral("[mail] send= must be yes or no."));
    const QString passwordFile = s.value(QStringLiteral("mail/password_file")).toString().trimmed();
    if (out.sendMail && !passwordFile.isEmpty())
        if (Status st = readPassword(file.dir().filePath(passwordFile), out.mailPassword); !st)
            return wrong(path, st.message());
    out.mailPasswordGiven = out.sendMail && !passwordFile.isEmpty();
    return Status::ok();
}

} // namespace bm::web
