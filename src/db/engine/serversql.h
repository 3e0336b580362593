#pragma once

#include "core/status.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// The program writes its statements in SQLite's words; on a database server
// (PostgreSQL) the gateway turns each into the server's words here, so that
// callers and report definitions write one dialect. Only the gateway's own
// files use this.
namespace bm::db::serversql
{

struct Translated {
    QString text; // the statement for the server, every value written in
    bool writes = false; // it would change the database (or its settings)
    QString insertInto; // the table of an INSERT, as the schema names it
    QStringList functions; // the functions it calls, in lower case
};

// Turns statement into the server's words: names of the program's tables and
// fields (bare, in double quotes or in square brackets, in any case) become
// exactly as the tables have them, a name given with AS keeps its case, the
// ? take the values of binds in order and :name those of named, written as
// literals. The functions and operators SQLite has and the server spells
// otherwise are rewritten: group_concat, ifnull, instr, total, sum and avg
// of amounts, GLOB with a literal pattern, LIKE (blind to ASCII case, no
// escape character), COLLATE NOCASE, IS between values, ==, a unary +.
// A value that the server can not hold (a text with a NUL character), too
// few or too many values, or a GLOB without a literal pattern fail.
[[nodiscard]] Status translate(
    const QString &statement, const QVariantList &binds, Translated &out, const QVariantMap &named = {});

// A value as a literal of the server's: NULL, or in single quotes, its type
// left for the server to take from where it stands. False when the server
// can not hold the value.
bool literal(const QVariant &value, QString &out);

} // namespace bm::db::serversql
