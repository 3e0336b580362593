#pragma once

#include "data/csvreader.h"
#include "data/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace bm::csv
{

// Appends one UTF-8 field to a line under construction: a field holding a
// comma, quote, line break or surrounding blanks is quoted with its quotes
// doubled; any other field is written as it is.
void appendField(QByteArray &line, QByteArrayView utf8, bool first);

// A table that can be written out as CSV, with its caption in the choice.
struct ExportTable {
    QString table;
    QString caption;
};
const QList<ExportTable> &exportTables();

// Writes every record of the table, in the table's order, to a CSV file:
// UTF-8 with a byte order mark, CRLF line ends, a header row of the field
// names, dates as yyyy-MM-dd and amounts as "###0.00". The file appears whole
// or not at all. rows receives the number of records written.
Status exportTable(
    const QString &databasePath, const QString &table, const QString &filePath, int *rows = nullptr);

// The name of a file as messages show it.
QString shownFileName(const QString &path);

} // namespace bm::csv
