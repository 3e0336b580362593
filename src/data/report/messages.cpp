#include "data/report/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace bm::report::says
{

namespace
{

Status aboutQuery(const QString &query, const QString &what)
{
    return Status::failure(QStringLiteral("The query \"%1\" %2").arg(query, what));
}

Status aboutTemplate(const QString &where, const QString &what)
{
    return Status::failure(QStringLiteral("The %1 %2").arg(where, what));
}

} // namespace

Status fileMissing(const QString &definitionPath)
{
    return Status::failure(QStringLiteral("The report file is missing from the folder %1.")
                               .arg(QDir::toNativeSeparators(QFileInfo(definitionPath).absolutePath())));
}

Status notAReportFile(const QString &definitionPath)
{
    return Status::failure(
        QStringLiteral("%1 is not a report file.").arg(QDir::toNativeSeparators(definitionPath)));
}

Status fileUnreadable(const QString &reason)
{
    return Status::failure(QStringLiteral("The report file can not be read: %1.").arg(reason));
}

Status fileTooLarge(int megabytes)
{
    return Status::failure(QStringLiteral("The report file is larger than %1 MB. A report file holds a few "
                                          "settings, its queries and one page layout; check that it is the "
                                          "right file.")
                               .arg(megabytes));
}

Status tooManyQueries(int line, int maxQueries)
{
    return Status::failure(QStringLiteral("Line %1 of the report file starts a query past the %2 a report "
                                          "may have.")
                               .arg(line)
                               .arg(maxQueries));
}

Status headingTooLong(int line, int maxLength)
{
    return Status::failure(QStringLiteral("Line %1 of the report file starts with [ but is longer than %2 "
                                          "characters, too long for a section heading such as [query NAME].")
                               .arg(line)
                               .arg(maxLength));
}

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

Status templateMistake(const QString &where, const QString &mistake)
{
    return aboutTemplate(where, QStringLiteral("has a mistake: %1.").arg(mistake));
}

Status templateTakesInFiles(const QString &where, const QString &tag)
{
    return aboutTemplate(
        where, QStringLiteral("uses {{%1}}, but a report can not take in other files.").arg(tag));
}

Status templateUnescaped(const QString &where, const QString &tag)
{
    return aboutTemplate(where,
        QStringLiteral("uses {{%1}}, which would put a value into the page as markup. Every value prints "
                       "as typed: write {{Name}}.")
            .arg(tag));
}

Status templateChangesTagMarks(const QString &where, const QString &tag)
{
    return aboutTemplate(where,
        QStringLiteral("uses {{%1}} to change the tag marks, but a report accepts only {{ and }}.").arg(tag));
}

Status templateNestedTooDeep(const QString &where, const QString &section, int maxDepth)
{
    return aboutTemplate(where,
        QStringLiteral("opens {{%1}} inside %2 other sections, more than a report may nest. Check that "
                       "every section is closed with {{/NAME}}.")
            .arg(section)
            .arg(maxDepth));
}

Status templateRepeatsTooMuch(const QString &where, double millions)
{
    return aboutTemplate(where,
        QStringLiteral("repeats too much: over the rows of its queries its tags would be filled more than "
                       "%1 million times. Write each section {{#NAME}} once.")
            .arg(millions));
}

Status templateRepeatsTooOften(const QString &where, const QString &section)
{
    return aboutTemplate(where,
        QStringLiteral("repeats {{#%1}} inside another section so often that it can not be printed. "
                       "Check that no section stands inside itself.")
            .arg(section));
}

Status templateUnknownName(const QString &where, const QString &name)
{
    return aboutTemplate(
        where, QStringLiteral("names {{%1}}, which none of the report's queries gives.").arg(name));
}

Status templateTooLong(const QString &where, int megabytes)
{
    return aboutTemplate(where,
        QStringLiteral("would print more than %1 MB. Check that no section {{#NAME}} stands inside itself.")
            .arg(megabytes));
}

Status templateTooLarge(const QString &where)
{
    return aboutTemplate(where, QStringLiteral("is too large to print."));
}

Status stopped()
{
    return Status::failure(QStringLiteral("The report was stopped."));
}

Status notPrinted(const QString &fileName, const Status &reason)
{
    return Status::failure(
        QStringLiteral("The report \"%1\" could not be printed.\n%2").arg(fileName, reason.message()));
}

} // namespace bm::report::says
