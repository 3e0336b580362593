#pragma once

#include <QLocale>
#include <QStringList>

namespace bm::db
{

// The report functions of a server session: amount(units) and
// shortdate(stored) written in PL/pgSQL for one locale, so that they print
// as the file's do (Money::format and shortDate). The statements that make
// them, in order.
QStringList sessionFunctions(const QLocale &locale);

} // namespace bm::db
