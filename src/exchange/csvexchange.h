#pragma once

#include "core/status.h"
#include "exchange/csvreader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <QStringList>

namespace bm::csv
{

// Appends one UTF-8 field to a line under construction: a field holding a
// comma, quote, line break, any other control character, or surrounding
// blanks is quoted with its quotes doubled; any other field is written as it
// is.
void appendField(QByteArray &line, QByteArrayView utf8, bool first);

// A spreadsheet takes a cell that begins with =, +, -, @, a tab or a carriage
// return for a formula, which may run programs or send the sheet's data
// away. Such a text is written with an apostrophe before it, which
// spreadsheets show as text and hide. A text that already begins with
// apostrophes followed by one of those gets one more, so that reading it
// back gives exactly what was written. "+1 555 0199" -> "'+1 555 0199",
// "'=x" -> "''=x"; "'hello" and "555-0101" stay as they are.
QString protectedText(const QString &text);
QByteArray protectedText(QByteArrayView utf8);

// The text as it was before protectedText(): the one apostrophe it added is
// removed, anything else is left as it is. "'+1 555 0199" -> "+1 555 0199",
// "''=x" -> "'=x"; "'hello" stays "'hello".
QString unprotected(const QString &text);
QByteArray unprotected(QByteArrayView utf8);

// Saves to path through file, readable and writable by its owner only (an
// export holds clients' names, addresses and telephone numbers), also where
// it replaces a file others could read. A failure names the file.
Status openOwnerOnly(QSaveFile &file);

// A table that can be written out as CSV, with its caption in the choice.
struct ExportTable {
    QString table;
    QString caption;
};
const QList<ExportTable> &exportTables();

// Writes every record of the table, in the table's order, to a CSV file:
// UTF-8 with a byte order mark, CRLF line ends, a header row of the field
// names, dates as yyyy-MM-dd and amounts as "###0.00"; text that a
// spreadsheet would take for a formula is protected (protectedText). The
// file appears whole or not at all, readable by its owner only. rows
// receives the number of records written.
Status exportTable(
    const QString &databasePath, const QString &table, const QString &filePath, int *rows = nullptr);

// Writes a header and rows of text (each as long as the header) to a CSV
// file in the form exportTable() writes: UTF-8 with a byte order mark, CRLF
// line ends, text a spreadsheet would take for a formula protected. The file
// appears whole or not at all, readable by its owner only.
[[nodiscard]] Status writeRows(
    const QString &filePath, const QStringList &header, const QList<QStringList> &rows);

// The name of a file as messages show it.
QString shownFileName(const QString &path);

} // namespace bm::csv
