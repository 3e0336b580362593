#include "calsync/config.h"

#include "calsync/courier.h"
#include "core/apppaths.h"
#include "core/log.h"
#include "db/sharedchoice.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPointer>
#include <QSaveFile>
#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace bm::calsync
{

namespace
{

const char group[] = "calendar";

bool hasControl(const QString &text)
{
    return std::any_of(
        text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// An http(s) address with a host and without a login in it.
bool webAddress(const QString &text, bool allowWebcal = false)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && url.userInfo().isEmpty() && !hasControl(text)
        && (scheme == QLatin1String("https") || scheme == QLatin1String("http")
            || (allowWebcal && scheme == QLatin1String("webcal")));
}

Config trimmed(const Config &c)
{
    Config t = c;
    t.server = c.server.trimmed();
    t.user = c.user.trimmed();
    t.calendarUrl = c.calendarUrl.trimmed();
    t.calendarName = c.calendarName.simplified();
    t.guide = c.guide.trimmed();
    t.subscription = c.subscription.trimmed();
    t.busyAddresses.clear();
    for (const QString &a : c.busyAddresses)
        if (!a.trimmed().isEmpty() && !t.busyAddresses.contains(a.trimmed()))
            t.busyAddresses << a.trimmed();
    return t;
}

QPointer<Courier> &courier()
{
    static QPointer<Courier> c;
    return c;
}

} // namespace

Status check(const Config &config)
{
    const Config c = trimmed(config);
    if (!c.server.isEmpty() && !webAddress(c.server))
        return Status::failure(
            QStringLiteral("The server's address must be a web address like "
                           "https://dav.example.com/, without a user name or password in it."));
    if (hasControl(c.user) || c.user.size() > 200)
        return Status::failure(QStringLiteral("The user name can not be used."));
    if (!c.calendarUrl.isEmpty() && !webAddress(c.calendarUrl))
        return Status::failure(QStringLiteral("A calendar's address can not be used: choose the calendars "
                                              "again with Find Calendars."));
    if (!c.subscription.isEmpty() && !webAddress(c.subscription, true))
        return Status::failure(QStringLiteral("\"%1\" is not a calendar's web address (https://... or "
                                              "webcal://...).")
                                   .arg(c.subscription.left(100)));
    for (const QString &a : c.busyAddresses)
        if (!webAddress(a))
            return Status::failure(
                QStringLiteral("A calendar's address can not be used: choose the calendars "
                               "again with Find Calendars."));
    if (c.server.isEmpty() && (!c.calendarUrl.isEmpty() || !c.busyAddresses.isEmpty()))
        return Status::failure(QStringLiteral("Please enter the server's address."));
    return Status::ok();
}

Status readConfig(Config &config)
{
    QSettings s(sharedchoice::settingsFile(), QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        return Status::failure(QStringLiteral("The settings file %1 can not be read.")
                                   .arg(QDir::toNativeSeparators(sharedchoice::settingsFile())));
    s.beginGroup(QLatin1String(group));
    Config c;
    c.server = s.value(QStringLiteral("server")).toString();
    c.user = s.value(QStringLiteral("user")).toString();
    c.calendarUrl = s.value(QStringLiteral("calendar")).toString();
    c.calendarName = s.value(QStringLiteral("calendarName")).toString();
    c.busyAddresses = s.value(QStringLiteral("busy")).toStringList();
    c.subscription = s.value(QStringLiteral("subscription")).toString();
    c.reminders = s.value(QStringLiteral("reminders"), false).toBool();
    c.guide = s.value(QStringLiteral("guide")).toString();
    config = trimmed(c);
    return Status::ok();
}

Status writeConfig(const Config &config)
{
    if (const Status s = check(config); !s)
        return s;
    const Config c = trimmed(config);
    QSettings s(sharedchoice::settingsFile(), QSettings::IniFormat);
    s.beginGroup(QLatin1String(group));
    s.setValue(QStringLiteral("server"), c.server);
    s.setValue(QStringLiteral("user"), c.user);
    s.setValue(QStringLiteral("calendar"), c.calendarUrl);
    s.setValue(QStringLiteral("calendarName"), c.calendarName);
    s.setValue(QStringLiteral("busy"), c.busyAddresses);
    s.setValue(QStringLiteral("subscription"), c.subscription);
    s.setValue(QStringLiteral("reminders"), c.reminders);
    s.setValue(QStringLiteral("guide"), c.guide);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        return Status::failure(QStringLiteral("The settings file %1 can not be written.")
                                   .arg(QDir::toNativeSeparators(sharedchoice::settingsFile())));
    return Status::ok();
}

QString keyringKey(const Config &config)
{
    const Config c = trimmed(config);
    if (c.user.isEmpty())
        return {};
    return QStringLiteral("calendar:%1@%2").arg(c.user, QUrl(c.server).host().toLower());
}

QString journalPath(const Config &config, const QString &location)
{
    const Config c = trimmed(config);
    QByteArray what;
    for (const QString &part : { location, c.calendarUrl })
        what += part.toUtf8() + '\n';
    const QByteArray digest = QCryptographicHash::hash(what, QCryptographicHash::Sha256).toHex().left(16);
    return QDir(appFolder())
        .filePath(QStringLiteral("calendar-sync-%1.state").arg(QString::fromLatin1(digest)));
}

LastRound readLastRound()
{
    QSettings s(sharedchoice::settingsFile(), QSettings::IniFormat);
    s.beginGroup(QLatin1String(group));
    LastRound r;
    r.when = QDateTime::fromString(s.value(QStringLiteral("lastWhen")).toString(), Qt::ISODate);
    r.ok = s.value(QStringLiteral("lastOk"), true).toBool();
    r.state = s.value(QStringLiteral("lastState")).toString().left(500);
    return r;
}

void writeLastRound(const LastRound &round)
{
    QSettings s(sharedchoice::settingsFile(), QSettings::IniFormat);
    s.beginGroup(QLatin1String(group));
    s.setValue(QStringLiteral("lastWhen"), round.when.toUTC().toString(Qt::ISODate));
    s.setValue(QStringLiteral("lastOk"), round.ok);
    s.setValue(QStringLiteral("lastState"), round.state);
}

QString logPath()
{
    return QDir(appFolder()).filePath(QStringLiteral("calendar-sync.log"));
}

void appendToLog(const QDateTime &when, const QStringList &lines)
{
    constexpr qint64 kept = 256 * 1024;
    QFile file(logPath());
    if (file.exists() && file.size() > kept && file.open(QIODevice::ReadOnly)) {
        // The older half goes, from a line's start.
        file.seek(file.size() - kept / 2);
        file.readLine();
        const QByteArray rest = file.readAll();
        file.close();
        QSaveFile shorter(logPath());
        if (shorter.open(QIODevice::WriteOnly)) {
            shorter.write(rest);
            if (!shorter.commit())
                qCWarning(dataLog).noquote() << "The calendar sync's log could not be shortened.";
        }
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        qCWarning(dataLog).noquote() << "The calendar sync's log can not be written:" << file.errorString();
        return;
    }
    const QByteArray stamp = when.toLocalTime().toString(Qt::ISODate).toUtf8();
    for (const QString &line : lines)
        file.write(stamp + ' ' + line.simplified().toUtf8() + '\n');
}

QStringList lastLogLines(int count)
{
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    file.seek(std::max<qint64>(0, file.size() - 64 * 1024));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (file.size() > 64 * 1024 && !lines.isEmpty())
        lines.removeFirst(); // begun in its middle
    return lines.mid(std::max<qsizetype>(0, lines.size() - count));
}

Courier *programCourier()
{
    return courier().data();
}

void setProgramCourier(Courier *c)
{
    courier() = c;
}

} // namespace bm::calsync
