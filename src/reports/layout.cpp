#include "reports/layout.h"

#include "reports/messages.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <string>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

constexpr std::size_t maxOutputBytes = std::size_t(256) << 20;
constexpr double maxRepeats = 2e6;
// The passes of all tags of a template together (see checkTags). The
// invoice, the busiest delivered layout, makes 54 a booking: 5.4 million at
// 100,000 bookings (the schedule 1 million). At some 25 ns a pass the bound
// is a little more than a second of filling.
constexpr double maxTagPasses = 5e7;
// Pieces of the page written between two words to the progress.
constexpr std::size_t progressEvery = 4096;
// The filled page is turned into text this many bytes at a time.
constexpr std::size_t stretchBytes = std::size_t(64) << 10;

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

// One tag as our scan reads it: {{#name}} gives sigil '#' and name "name";
// a value {{name}} gives no sigil.
struct Tag {
    QChar sigil;
    QString name;
    QString content; // as written between the marks, for messages
    qsizetype start = 0; // where {{ stands in the text
    qsizetype end = 0; // just past its }}
};

// Goes through the tags of a template in order and refuses, before anything
// else reads it, what the template library must never see: other tag marks,
// other files and sections nested too deep. visit sees every other tag; the
// first failure it gives ends the walk.
//
// Tags are found as the library finds them: from each {{ to the next }}
// ({{{ is refused, which ends at }}} there).
template <typename Visit> Status walkTags(const QString &text, const QString &where, Visit visit)
{
    QStringList open;
    for (qsizetype at = text.indexOf(QLatin1String("{{")); at >= 0;
         at = text.indexOf(QLatin1String("{{"), at)) {
        const qsizetype end = text.indexOf(QLatin1String("}}"), at + 2);
        if (end < 0)
            break; // an unclosed tag: the library says where
        Tag t;
        t.content = text.mid(at + 2, end - at - 2).trimmed();
        t.start = at;
        t.end = at = end + 2;
        // A value printed as it is, {{{Name}}} or {{&Name}}, would be put
        // in the page as markup; every value prints as typed.
        if (t.content.startsWith(QLatin1Char('{')))
            return says::templateUnescaped(where, t.content + QLatin1Char('}'));
        if (t.content.startsWith(QLatin1Char('&')))
            return says::templateUnescaped(where, t.content);
        const QString &inner = t.content;
        if (!inner.isEmpty() && QStringLiteral("#^/!>=").contains(inner.at(0))) {
            t.sigil = inner.at(0);
            t.name = inner.mid(1).trimmed();
        } else {
            t.name = inner;
        }
        if (t.sigil == QLatin1Char('='))
            return says::templateChangesTagMarks(where, t.content);
        if (t.sigil == QLatin1Char('>'))
            return says::templateTakesInFiles(where, t.content);
        if (t.sigil == QLatin1Char('#') || t.sigil == QLatin1Char('^')) {
            if (open.size() >= maxTemplateDepth)
                return says::templateNestedTooDeep(where, t.content, maxTemplateDepth);
            open.append(t.name);
        } else if (t.sigil == QLatin1Char('/') && !open.isEmpty() && open.constLast() == t.name) {
            open.removeLast();
        }
        if (const Status s = visit(t); !s)
            return s;
    }
    return Status::ok();
}

// The names a tag reads: each part of a dotted name; none for a remark, an
// empty tag or the row itself ({{.}}).
QStringList namesOf(const Tag &t)
{
    if (t.sigil == QLatin1Char('!') || t.name.isEmpty() || t.name == QLatin1String("."))
        return {};
    QStringList parts = t.name.split(QLatin1Char('.'));
    for (QString &part : parts)
        part = part.trimmed();
    return parts;
}

// Every tag names something the report gives (a typing mistake in a field
// name would otherwise print as nothing), and the tags are not filled too
// often. Two counts, each from the rows of the queries:
// - the rows a section repeats for, multiplied down the sections it stands
//   in: {{#q}} inside {{#q}} prints every row for every row;
// - the passes of all tags together: each tag is filled once per pass of the
//   sections around it, a section over a query once per row of it, so ten
//   thousand {{#q}}..{{/q}} one after another over 100,000 rows are a
//   thousand million. A tag that prints nothing costs a pass all the same,
//   so the bound on the printed length does not stop them.
// And the text between the tags, printed once per pass of the sections
// around it, stays under the printed length: the library holds a line in
// memory until its end, and a page may be one line.
Status checkTags(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts)
{
    struct Open {
        QString name;
        double around; // the passes of what stands around the section
    };
    QList<Open> open;
    double passes = 1; // how often what stands here is filled
    double work = 0;
    double literal = 0; // the bytes of text printed between the tags
    qsizetype lastEnd = 0;
    const Status s = walkTags(text, where, [&](const Tag &t) -> Status {
        literal += double(t.start - lastEnd) * passes;
        lastEnd = t.end;
        if (t.sigil == QLatin1Char('#') || t.sigil == QLatin1Char('^')) {
            // A query that found no row counts as one: a field of the same
            // name in the row around it would be shown once.
            const double times = t.sigil == QLatin1Char('#') ? std::max(1, rowCounts.value(t.name, 1)) : 1;
            open.append({ t.name, passes });
            passes *= times;
            if (passes > maxRepeats)
                return says::templateRepeatsTooOften(where, t.name);
            work += passes;
        } else if (t.sigil == QLatin1Char('/')) {
            if (!open.isEmpty() && open.constLast().name == t.name)
                passes = open.takeLast().around;
        } else {
            work += passes;
        }
        if (work > maxTagPasses)
            return says::templateRepeatsTooMuch(where, maxTagPasses / 1e6);
        if (literal > double(maxOutputBytes))
            return says::templateTooLong(where, int(maxOutputBytes >> 20));
        for (const QString &part : namesOf(t))
            if (!known.contains(part))
                return says::templateUnknownName(where, part);
        return Status::ok();
    });
    if (!s)
        return s;
    literal += double(text.size() - lastEnd) * passes;
    if (literal > double(maxOutputBytes))
        return says::templateTooLong(where, int(maxOutputBytes >> 20));
    return Status::ok();
}

} // namespace

Status scanTemplate(const QString &text, const QString &where, QSet<QString> &used)
{
    return walkTags(text, where, [&used](const Tag &t) {
        for (const QString &part : namesOf(t))
            used.insert(part);
        return Status::ok();
    });
}

Status checkTemplate(const QString &text, const QString &where, const QSet<QString> &known,
    const QHash<QString, int> &rowCounts)
{
    // Our own scan first: the library must not see what it can not bear.
    // Then a mistake of form is told before a name or a count.
    if (const Status s = walkTags(text, where, [](const Tag &) { return Status::ok(); }); !s)
        return s;
    if (const Status s = parses(km::mustache(text.toStdString()), where); !s)
        return s;
    return checkTags(text, where, known, rowCounts);
}

Status fillTemplate(const QString &text, const km::data &data, bool html, const QString &where,
    Progress &progress, QString &out)
{
    km::mustache tmpl(text.toStdString());
    if (const Status s = parses(tmpl, where); !s)
        return s;
    // A section inside itself ({{#q}}{{#q}}..) multiplies the rows: the
    // layout is given up before it fills the memory. The library holds a
    // line until its end and only then hands it on, so the values are
    // counted as they are escaped, on their way into the line; the text
    // between the tags was counted by checkTemplate.
    struct TooLong {
    };
    struct Stopped {
    };
    std::size_t written = 0; // handed on
    std::size_t pending = 0; // values in the line not yet handed on
    std::size_t pieces = 0;
    const auto counted = [&] {
        const std::size_t total = written + pending;
        if (total > maxOutputBytes)
            throw TooLong {};
        if (++pieces % progressEvery == 0 && !progress.advance(qint64(total), 0))
            throw Stopped {};
    };
    const auto escape = html ? htmlEscape : plainText;
    tmpl.set_custom_escape([&](const std::string &value) {
        std::string escaped = escape(value);
        pending += escaped.size();
        counted();
        return escaped;
    });
    // The pieces go into the page's text a stretch at a time: the whole page
    // is never held twice. They end at line ends, never inside a character.
    QString result;
    std::string stretch;
    stretch.reserve(stretchBytes);
    const auto flush = [&] {
        result.append(QString::fromUtf8(stretch.data(), qsizetype(stretch.size())));
        stretch.clear();
    };
    try {
        tmpl.render(data, [&](const std::string &piece) {
            written += piece.size();
            pending = 0; // the line's values are in it
            counted();
            stretch += piece;
            if (stretch.size() >= stretchBytes)
                flush();
        });
        flush();
    } catch (const TooLong &) {
        return says::templateTooLong(where, int(maxOutputBytes >> 20));
    } catch (const Stopped &) {
        return says::stopped();
    } catch (const std::bad_alloc &) {
        return says::templateTooLarge(where);
    }
    if (const Status s = parses(tmpl, where); !s)
        return s;
    out = std::move(result);
    return Status::ok();
}

} // namespace bm::report
