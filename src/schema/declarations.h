#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bm::declarations
{

// What a CREATE TABLE statement of a file declares, read word by word
// without running it: each field with the type it is given and whatever
// else its declaration says, the rules of the table that follow the
// fields, and what is written after them.
struct Field {
    QString name;
    QString type; // its words with one blank between, as written ("TEXT", "VARCHAR(20)")
    QStringList rest; // what follows the type, in capitals outside quotes ("DEFAULT", "'x'")
};

struct Table {
    bool readable = false; // false when the statement is no CREATE TABLE (...) at all
    QList<Field> fields;
    QList<QStringList> rules; // table rules ("PRIMARY", "KEY", "(", "ID", ")"), each in its words
    QStringList after; // the words after the closing parenthesis ("WITHOUT", "ROWID", "STRICT")
};

Table read(const QString &createTable);

} // namespace bm::declarations
