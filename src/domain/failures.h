#pragma once

#include "core/apppaths.h"
#include "core/log.h"
#include "core/status.h"

#include <QString>

// What the domain's readers and writers share: the database a call is on,
// and a failure said in a guide's words and logged.
namespace bm::domain
{

// The database at path, or the program's own when path is empty.
inline QString where(const QString &path)
{
    return path.isEmpty() ? databasePath() : path;
}

// A failure in a guide's words, logged with what was being done.
inline Status failed(const QString &what, const Status &why)
{
    const Status s = Status::failure(QStringLiteral("%1: %2").arg(what, why.message()));
    qCWarning(dataLog).noquote() << s.message();
    return s;
}

} // namespace bm::domain
