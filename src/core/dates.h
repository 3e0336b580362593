#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace bm
{

// The system's short date format with the year always in four digits
// (5/14/2005 rather than 5/14/05), so a shown date reads back unchanged.
QString shortDateFormat(const QLocale &locale = QLocale());
QString shortDate(const QDate &date, const QLocale &locale = QLocale());
// A moment in this machine's time: the short date and the short time; empty
// for none.
QString shortDateTime(const QDateTime &moment, const QLocale &locale = QLocale());

// Reads a date in the short format (two- or four-digit year) or as
// yyyy-MM-dd; an invalid date when the text is neither.
QDate parseDate(const QString &text, const QLocale &locale = QLocale());

} // namespace bm
