#include "rawfile.h"

#include <QCryptographicHash>
#include <QFile>

#include <sqlite3.h>

namespace bm::test
{

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString writeFile(const QString &folder, const QByteArray &bytes, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("can not write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool execOnFile(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
        == SQLITE_OK;
    char *error = nullptr;
    ok = ok && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK;
    if (error)
        qWarning("%s", error);
    sqlite3_free(error);
    sqlite3_close_v2(db);
    return ok;
}

} // namespace bm::test
