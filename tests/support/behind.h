#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

namespace bm::test
{

// Runs statements on the program's own connection to its database, behind
// the windows' backs, as another tool would. They are written in the file
// engine's words; on the test server they are turned into the server's as
// the gateway turns the program's own. The database's generation grows, so
// that cached counts read again. False, with the engine's reason in error,
// when a statement fails.
bool execBehind(const QString &sql, QString *error = nullptr);

// The same with values for its ? marks, in their order.
bool execBehind(const QString &sql, const QVariantList &binds, QString *error = nullptr);

// The same, with statements already in the connection's engine's own words
// (a trigger of the server's, say): run as written.
bool execAsWritten(const QString &sql, QString *error = nullptr);

// Makes the engine refuse every write of the kind given (INSERT, UPDATE or
// DELETE) to a table from now on with reason, as a full disk or a broken
// file would: a trigger of the file's engine, or of the server's. When is a
// condition on the new record in the file engine's words (NEW.Name =
// 'Boom'), or empty for every record. name tells the trigger apart.
bool refuseWrites(const QString &name, const QString &event, const QString &table, const QString &reason,
    const QString &when = QString());

// The rows a statement of the same kind reads, every column as the engine
// gives it; the test fails (and the list is empty) when it can not be read.
QList<QVariantList> rowsBehind(const QString &sql);

// How the engine of the run says that a table is missing.
QString missingTable(const QString &table);

} // namespace bm::test
