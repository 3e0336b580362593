#include "core/apppaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace bm
{

QString appFolder()
{
    // The same folder as AppDataLocation for the application "Brindlemoor",
    // whatever name the running executable (a test, a benchmark) has.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Brindlemoor"));
}

QString appFile(const QString &name)
{
    return QDir(appFolder()).filePath(name);
}

namespace
{

QString &chosenLocation()
{
    static QString location;
    return location;
}

} // namespace

QString databasePath()
{
    const QString &chosen = chosenLocation();
    return chosen.isEmpty() ? appFile(QStringLiteral("tallow.mdb")) : chosen;
}

void setDatabaseLocation(const QString &location)
{
    chosenLocation() = location;
}

Status installDeliveredFiles()
{
    const QString folder = appFolder();
    if (!QDir().mkpath(folder))
        return Status::failure(
            QStringLiteral("The folder %1 can not be created.").arg(QDir::toNativeSeparators(folder)));
    // The folder holds the clients' names, addresses and telephone numbers:
    // only the user may look into it, also where an older install left it open.
    // Tightening only takes rights away: a folder the user made read-only stays so.
    const QFile::Permissions open = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    if (const QFile::Permissions now = QFile::permissions(folder); now & open)
        QFile::setPermissions(folder, now & ~open);
    QDirIterator it(QStringLiteral(":/delivered"), QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(folder).filePath(it.fileName());
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        const QString partial = target + QStringLiteral(".part");
        QFile::remove(partial);
        if (!QFile::copy(source, partial)) {
            return Status::failure(QStringLiteral("The file %1 can not be written in %2.")
                                       .arg(it.fileName(), QDir::toNativeSeparators(folder)));
        }
        QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
        if (!QFile::rename(partial, target)) {
            QFile::remove(partial);
            return Status::failure(QStringLiteral("The file %1 can not be written in %2.")
                                       .arg(it.fileName(), QDir::toNativeSeparators(folder)));
        }
    }
    return Status::ok();
}

} // namespace bm
