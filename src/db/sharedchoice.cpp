#include "db/sharedchoice.h"

#include "core/log.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <libpq-fe.h>

namespace bm::sharedchoice
{

namespace
{

const char group[] = "database";
const char key[] = "uri";

Status written(QSettings &settings)
{
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return Status::failure(QStringLiteral("The settings file %1 can not be written.")
                                   .arg(QDir::toNativeSeparators(settingsFile())));
    return Status::ok();
}

// libpq's own reading of a connection string: its keywords and values.
bool parse(const QString &uri, QList<std::pair<QString, QString>> &options, QString *error)
{
    char *why = nullptr;
    PQconninfoOption *all = PQconninfoParse(uri.toUtf8().constData(), &why);
    if (!all) {
        if (error)
            *error = why ? QString::fromUtf8(why).trimmed() : QStringLiteral("it can not be read");
        PQfreemem(why);
        return false;
    }
    for (PQconninfoOption *o = all; o->keyword; ++o)
        if (o->val)
            options.append({ QString::fromUtf8(o->keyword), QString::fromUtf8(o->val) });
    PQconninfoFree(all);
    return true;
}

} // namespace

QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Brindlemoor/Brindlemoor.conf"));
}

QString chosenServer()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(group));
    return settings.value(QLatin1String(key)).toString().trimmed();
}

Status chooseServer(const QString &uri)
{
    const QString trimmed = uri.trimmed();
    QList<std::pair<QString, QString>> options;
    QString error;
    if (!trimmed.startsWith(QLatin1String("postgresql://"))
        && !trimmed.startsWith(QLatin1String("postgres://")))
        return Status::failure(
            QStringLiteral("The shared database must be given as a postgresql:// address."));
    if (!parse(trimmed, options, &error))
        return Status::failure(
            QStringLiteral("The address of the shared database can not be read (%1).").arg(error));
    for (const auto &[name, value] : options)
        if (name == QLatin1String("password"))
            return Status::failure(
                QStringLiteral("The address holds a password, and no password is ever kept in the settings. "
                               "Give the address without it and put the password in the file .pgpass "
                               "in your home folder."));
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(group));
    settings.setValue(QLatin1String(key), trimmed);
    settings.endGroup();
    if (Status s = written(settings); !s)
        return s;
    qCInfo(dataLog).noquote() << QStringLiteral("The shared database is now %1.").arg(trimmed);
    return Status::ok();
}

Status chooseFile()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(group));
    settings.remove(QLatin1String(key));
    settings.endGroup();
    return written(settings);
}

QString uriOf(const Parts &parts)
{
    auto encoded = [](const QString &text, const char *keep = "") {
        return QString::fromLatin1(QUrl::toPercentEncoding(text.trimmed(), keep));
    };
    const QString host = parts.host.trimmed();
    // A local socket is named by its folder, in the query, as libpq wants
    // it; a server by its name or address, before the database.
    const bool socket = host.startsWith(QLatin1Char('/'));
    QStringList query;
    QString uri = QStringLiteral("postgresql://");
    if (socket) {
        query << QStringLiteral("host=") + encoded(host, "/");
        if (parts.port > 0)
            query << QStringLiteral("port=%1").arg(parts.port);
        if (!parts.user.trimmed().isEmpty())
            query << QStringLiteral("user=") + encoded(parts.user);
    } else {
        if (!parts.user.trimmed().isEmpty())
            uri += encoded(parts.user) + QLatin1Char('@');
        uri += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                               : encoded(host, ".-");
        if (parts.port > 0)
            uri += QStringLiteral(":%1").arg(parts.port);
    }
    uri += QLatin1Char('/') + encoded(parts.database);
    if (!parts.tls.isEmpty())
        query << QStringLiteral("sslmode=") + encoded(parts.tls);
    if (!query.isEmpty())
        uri += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return uri;
}

bool partsOf(const QString &uri, Parts &parts)
{
    QList<std::pair<QString, QString>> options;
    if (!uri.trimmed().startsWith(QLatin1String("postgres")) || !parse(uri.trimmed(), options, nullptr))
        return false;
    parts = Parts();
    for (const auto &[name, value] : options) {
        if (name == QLatin1String("host"))
            parts.host = value;
        else if (name == QLatin1String("port"))
            parts.port = value.toInt();
        else if (name == QLatin1String("dbname"))
            parts.database = value;
        else if (name == QLatin1String("user"))
            parts.user = value;
        else if (name == QLatin1String("sslmode"))
            parts.tls = value;
    }
    return true;
}

} // namespace bm::sharedchoice
