#include "reports/messages.h"

#include <QDir>
#include <QFileInfo>

namespace bm::report::says
{

namespace
{

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

Status notPrinted(const QString &fileName, const Status &reason)
{
    return Status::failure(
        QStringLiteral("The report \"%1\" could not be printed.\n%2").arg(fileName, reason.message()));
}

} // namespace bm::report::says
