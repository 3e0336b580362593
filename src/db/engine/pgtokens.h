#pragma once

// A statement in the server's words split as the server reads it, for the
// checks of a report's query after its translation (engine/serversql.h reads
// the file's words).

#include <QList>
#include <QString>

namespace bm::db
{

// A statement split as the server reads it. Comments are dropped; what the
// checks can not follow (an E'' string with backslash escapes, dollar
// quotes, $1) is refused rather than guessed at.
struct PgToken {
    enum Kind { Word, Quoted, String, Number, Symbol } kind;
    QString text; // a word in lower case
    qsizetype start;
};

// False, with why, for what the checks can not follow.
bool pgTokens(const QString &s, QList<PgToken> &out, QString &why);

// Whether the token at i is the symbol c (false past the end).
bool isSymbol(const QList<PgToken> &t, qsizetype i, QChar c);

// Whether the word at i before a parenthesis calls a function; a keyword,
// a type's size after AS or ::, an alias's column list and a WITH query's
// name do not.
bool callsFunction(const QList<PgToken> &t, qsizetype i);

} // namespace bm::db
