#pragma once

// What the tests of the database files share: databases told apart by the
// names of their contacts, and whether a file is a sound database.

#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

namespace bm::test
{

// A fresh delivered database at path, whose only contact is called
// marker, with rows enough that a copy of it takes several pieces (and with
// freed pages that a repair removes).
inline bool makeDatabase(const QString &path, const QString &marker, int padding = 1500)
{
    db::close(path);
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(":/delivered/tallow.mdb"), path)
        || !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    bool ok = true;
    {
        QSqlDatabase db = db::connection(path);
        QSqlQuery q(db);
        ok = db.transaction() && q.exec(QStringLiteral("DELETE FROM Phone"));
        q.prepare(QStringLiteral("INSERT INTO Phone (Name) VALUES (?)"));
        q.addBindValue(marker);
        ok = ok && q.exec();
        q.prepare(QStringLiteral("INSERT INTO Booking (Name, Remarks) VALUES (?, ?)"));
        for (int i = 0; ok && i < padding; ++i) {
            q.bindValue(0, QStringLiteral("Trip %1").arg(i));
            q.bindValue(1, QString(400, QLatin1Char('a' + i % 26)));
            ok = q.exec();
        }
        // Half the trips deleted again, and out of the bin: free pages for a
        // repair to drop.
        ok = ok && q.exec(QStringLiteral("DELETE FROM Booking WHERE ID % 2 = 0"))
            && q.exec(QStringLiteral("DELETE FROM \"Bin\"")) && db.commit();
    }
    db::close(path);
    return ok;
}

// The names of the contacts of the database at path; empty when it can not
// be read.
inline QStringList contactsOf(const QString &path)
{
    QStringList names;
    if (!QFileInfo(path).isFile())
        return names;
    {
        QSqlQuery q(db::connection(path));
        if (q.exec(QStringLiteral("SELECT Name FROM Phone ORDER BY Name")))
            while (q.next())
                names << q.value(0).toString();
    }
    db::close(path);
    return names;
}

// The file opens as a database of this program and passes the full
// integrity check.
inline bool isSound(const QString &path)
{
    if (!db::check(path))
        return false;
    bool ok = false;
    {
        QSqlQuery q(db::connection(path));
        ok = q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
            && q.value(0).toString() == QLatin1String("ok");
    }
    db::close(path);
    return ok;
}

// The files of a folder, by name.
inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

inline QFileDevice::Permissions ownerOnly()
{
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
}

} // namespace bm::test
