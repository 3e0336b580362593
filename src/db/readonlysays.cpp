#include "db/readonlysays.h"

#include <QRegularExpression>

namespace bm::db::says
{

namespace
{

Status aboutQuery(const QString &query, const QString &what)
{
    return Status::failure(QStringLiteral("The query \"%1\" %2").arg(query, what));
}

} // namespace

Status queryWouldChange(const QString &query)
{
    return aboutQuery(query, QStringLiteral("would change the database. A report can only read it."));
}

Status queryNotASelect(const QString &query)
{
    return aboutQuery(query, QStringLiteral("is not a SELECT. A report can only read the database."));
}

Status queryEmpty(const QString &query)
{
    return aboutQuery(query, QStringLiteral("is empty."));
}

Status queryHoldsMore(const QString &query)
{
    return aboutQuery(query, QStringLiteral("holds more than one statement. Write one SELECT per query."));
}

Status queryUnknownValue(const QString &query, const QString &parameter)
{
    return aboutQuery(query,
        QStringLiteral("uses the value %1, which the report is not given. Only :booking is known.")
            .arg(parameter));
}

Status queryTooManyRows(const QString &query, int maxRows)
{
    return aboutQuery(query, QStringLiteral("gives more than %1 rows, too many to print.").arg(maxRows));
}

Status queryValueTooLarge(const QString &query)
{
    return aboutQuery(query, QStringLiteral("gives a value too large to print."));
}

Status dataTooLarge(const QString &query, int megabytes)
{
    return aboutQuery(query,
        QStringLiteral("brings the report's data to more than %1 MB, too much to print. Narrow the "
                       "queries with WHERE or LIMIT, or read fewer fields.")
            .arg(megabytes));
}

Status queryCallsRefusedFunction(const QString &query, const QString &function)
{
    return aboutQuery(query,
        QStringLiteral("calls the function %1, which reports may not use. Reports may use amount(), "
                       "shortdate() and the usual text, number, date and total functions.")
            .arg(function));
}

Status queryFunctionNotOnServer(const QString &query, const QString &function)
{
    return aboutQuery(query,
        QStringLiteral("calls the function %1, which the shared database does not have. On the shared "
                       "database reports may use amount(), shortdate() and the text, number and total "
                       "functions both databases have.")
            .arg(function));
}

Status queryFailed(const QString &query, const QString &engineMessage)
{
    static const QRegularExpression noTable(QStringLiteral("^no such table: (.+)$"));
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
    if (const auto m = noTable.match(engineMessage); m.hasMatch())
        return aboutQuery(query,
            QStringLiteral("reads the table %1, which the database does not have.").arg(m.captured(1)));
    if (const auto m = noColumn.match(engineMessage); m.hasMatch())
        return aboutQuery(
            query, QStringLiteral("names the field %1, which its tables do not have.").arg(m.captured(1)));
    if (engineMessage.contains(QLatin1String("not authorized"))
        || engineMessage.contains(QLatin1String("readonly"))
        || engineMessage.contains(QLatin1String("read-only")))
        return queryWouldChange(query);
    if (engineMessage == QLatin1String("string or blob too big"))
        return queryValueTooLarge(query);
    if (engineMessage == QLatin1String("interrupted"))
        return aboutQuery(query, QStringLiteral("took too long and was stopped."));
    return aboutQuery(query, QStringLiteral("could not be run: %1.").arg(engineMessage));
}

Status stopped()
{
    return Status::failure(QStringLiteral("The report was stopped."));
}

} // namespace bm::db::says
