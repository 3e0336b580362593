#include "reports/definition.h"

#include "reports/messages.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace bm::report
{

namespace
{

enum class Section { None, Report, Query, Layout };

Status lineFailure(int line, const QString &what)
{
    return Status::failure(QStringLiteral("Line %1 of the report file %2").arg(line).arg(what));
}

bool isComment(QStringView line)
{
    return line.trimmed().startsWith(QLatin1Char('#'));
}

// A section heading is short: a longer line that starts with [ is refused
// rather than matched, so that no line of any length reaches the pattern.
constexpr qsizetype maxHeadingLength = 200;

} // namespace

Status parseDefinition(const QString &text, Definition &out)
{
    out = Definition();
    if (text.size() > maxDefinitionBytes)
        return says::fileTooLarge(int(maxDefinitionBytes >> 20));
    if (text.contains(QChar(0)))
        return Status::failure(QStringLiteral("The report file is not a text file."));

    static const QRegularExpression header(QStringLiteral(R"(^\[\s*([A-Za-z]+)(?:\s+([^\]]*?))?\s*\]$)"));
    static const QRegularExpression validName(QStringLiteral(R"(^[A-Za-z0-9_][A-Za-z0-9_ ]*$)"));

    Section section = Section::None;
    QSet<QString> names;
    bool haveLayout = false;
    int number = 0;
    // Line by line without a list of them all: a file of a million empty
    // lines would make a million strings.
    for (qsizetype at = 0; at <= text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).sliced(at, end - at);
        at = end + 1;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        ++number;

        if (section == Section::Layout) {
            out.layout += line;
            out.layout += QLatin1Char('\n');
            continue;
        }
        if (isComment(line))
            continue;
        const QString trimmed = line.trimmed().toString();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.size() > maxHeadingLength)
            return says::headingTooLong(number, int(maxHeadingLength));
        const QRegularExpressionMatch m = header.match(trimmed);
        if (m.hasMatch()) {
            const QString kind = m.captured(1).toLower();
            const QString name = m.captured(2).trimmed();
            if (kind == QLatin1String("report") && name.isEmpty()) {
                section = Section::Report;
            } else if (kind == QLatin1String("layout") && name.isEmpty()) {
                section = Section::Layout;
                haveLayout = true;
            } else if (kind == QLatin1String("query")) {
                if (name.isEmpty())
                    return lineFailure(
                        number, QStringLiteral("starts a query without a name: write [query NAME]."));
                if (!validName.match(name).hasMatch())
                    return lineFailure(number,
                        QStringLiteral("names the query \"%1\"; a query name may hold only letters, "
                                       "digits, blanks and _.")
                            .arg(name));
                if (names.contains(name))
                    return lineFailure(
                        number, QStringLiteral("names the query \"%1\" a second time.").arg(name));
                if (out.queries.size() >= maxQueries)
                    return says::tooManyQueries(number, maxQueries);
                names.insert(name);
                out.queries.append({ name, QString(), number });
                section = Section::Query;
            } else {
                return lineFailure(number,
                    QStringLiteral("starts the unknown section %1; the sections are [report], "
                                   "[query NAME] and [layout].")
                        .arg(trimmed));
            }
            continue;
        }

        switch (section) {
        case Section::None:
            if (!trimmed.isEmpty())
                return lineFailure(
                    number, QStringLiteral("stands before the first section; begin the file with [report]."));
            break;
        case Section::Report: {
            if (trimmed.isEmpty())
                break;
            const int eq = trimmed.indexOf(QLatin1Char('='));
            if (eq < 0)
                return lineFailure(number, QStringLiteral("is not a setting of the form name = value."));
            const QString key = trimmed.left(eq).trimmed().toLower();
            const QString value = trimmed.mid(eq + 1).trimmed();
            if (key == QLatin1String("title")) {
                out.title = value;
            } else if (key == QLatin1String("footer")) {
                out.footer = value;
            } else if (key == QLatin1String("paper")) {
                if (value.compare(QLatin1String("landscape"), Qt::CaseInsensitive) == 0)
                    out.landscape = true;
                else if (value.compare(QLatin1String("portrait"), Qt::CaseInsensitive) == 0)
                    out.landscape = false;
                else
                    return lineFailure(number,
                        QStringLiteral("sets the paper to \"%1\"; write portrait or landscape.").arg(value));
            } else {
                return lineFailure(number,
                    QStringLiteral(
                        "has the unknown setting \"%1\"; the settings are title, paper and footer.")
                        .arg(trimmed.left(eq).trimmed()));
            }
            break;
        }
        case Section::Query:
            out.queries.last().sql += line;
            out.queries.last().sql += QLatin1Char('\n');
            break;
        case Section::Layout:
            break;
        }
    }

    for (Query &q : out.queries) {
        q.sql = q.sql.trimmed();
        if (q.sql.isEmpty())
            return lineFailure(
                q.line, QStringLiteral("starts the query \"%1\", which is empty.").arg(q.name));
    }
    if (!haveLayout || out.layout.trimmed().isEmpty())
        return Status::failure(
            QStringLiteral("The report file has no [layout] section with the page to print."));
    return Status::ok();
}

} // namespace bm::report
