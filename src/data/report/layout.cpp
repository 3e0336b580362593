#include "data/report/layout.h"

#include "data/report/messages.h"

#include <QList>
#include <QPair>
#include <QRegularExpression>

#include <string>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

constexpr std::size_t maxOutputBytes = std::size_t(256) << 20;
constexpr double maxRepeats = 2e6;

// Values print as typed: markup characters are escaped, line breaks kept,
// control characters (which no page can show) dropped.
std::string htmlEscape(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (const char ch : s) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\n':
            out += "<br/>";
            break;
        case '\t':
            out += ' ';
            break;
        default:
            if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f)
                out += ch;
            break;
        }
    }
    return out;
}

// The footer is plain text: nothing to escape, one line.
std::string plainText(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        if (ch == '\n' || ch == '\t')
            out += ' ';
        else if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f)
            out += ch;
    }
    return out;
}

Status parses(const km::mustache &tmpl, const QString &where)
{
    return tmpl.is_valid() ? Status::ok()
                           : says::templateMistake(where, QString::fromStdString(tmpl.error_message()));
}

// Every tag names something the report gives: a typing mistake in a field
// name would otherwise print as nothing.
Status checkNames(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts)
{
    if (text.contains(QLatin1String("{{=")))
        return Status::ok(); // other tag marks: left to the template library
    // The rows a section repeats for, multiplied down the sections it stands
    // in: {{#q}} inside {{#q}} prints every row for every row.
    QList<QPair<QString, double>> open;
    double repeats = 1;
    static const QRegularExpression tag(
        QStringLiteral(R"(\{\{(.*?)\}\})"), QRegularExpression::DotMatchesEverythingOption);
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        QString content = it.next().captured(1);
        if (content.startsWith(QLatin1Char('{')))
            content = content.mid(1);
        content = content.trimmed();
        if (content.isEmpty())
            continue;
        const QChar sigil = content.at(0);
        if (sigil == QLatin1Char('!'))
            continue;
        if (sigil == QLatin1Char('>'))
            return says::templateTakesInFiles(where, content);
        if (QStringLiteral("#^/&").contains(sigil))
            content = content.mid(1).trimmed();
        if (sigil == QLatin1Char('#') || sigil == QLatin1Char('^')) {
            const double times = sigil == QLatin1Char('#') ? rowCounts.value(content, 1) : 1;
            open.append({ content, times });
            repeats *= times;
            if (repeats > maxRepeats)
                return says::templateRepeatsTooOften(where, content);
        } else if (sigil == QLatin1Char('/') && !open.isEmpty() && open.constLast().first == content) {
            open.removeLast();
            repeats = 1;
            for (const auto &section : std::as_const(open))
                repeats *= section.second;
        }
        if (content == QLatin1String("."))
            continue;
        for (const QString &part : content.split(QLatin1Char('.')))
            if (!known.contains(part.trimmed()))
                return says::templateUnknownName(where, part.trimmed());
    }
    return Status::ok();
}

} // namespace

Status checkTemplate(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts)
{
    if (const Status s = parses(km::mustache(text.toStdString()), where); !s)
        return s;
    return checkNames(text, where, known, rowCounts);
}

Status fillTemplate(const QString &text, const km::data &data, bool html, const QString &where, QString &out)
{
    km::mustache tmpl(text.toStdString());
    if (const Status s = parses(tmpl, where); !s)
        return s;
    tmpl.set_custom_escape(html ? htmlEscape : plainText);
    // A section inside itself ({{#q}}{{#q}}..) multiplies the rows: the
    // layout is given up before it fills the memory.
    struct TooLong {
    };
    std::string result;
    try {
        tmpl.render(data, [&result](const std::string &piece) {
            result += piece;
            if (result.size() > maxOutputBytes)
                throw TooLong {};
        });
    } catch (const TooLong &) {
        return says::templateTooLong(where, int(maxOutputBytes >> 20));
    } catch (const std::bad_alloc &) {
        return says::templateTooLarge(where);
    }
    if (const Status s = parses(tmpl, where); !s)
        return s;
    out = QString::fromStdString(result);
    return Status::ok();
}

} // namespace bm::report
