#include "db/engine/serversql.h"

#include "db/engine/migrations.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>

#include <vector>

namespace bm::db::serversql
{

namespace
{

enum class Kind { Blank, String, Quoted, Word, Number, Param, Named, Symbol };

struct Token {
    Kind kind;
    QString text; // a Quoted token's name without its quotes; a String's body unescaped
};

Status refused(const QString &why)
{
    return Status::failure(why);
}

bool wordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool wordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Splits a statement as SQLite reads it.
bool tokenize(const QString &s, std::vector<Token> &out, QString &error)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto quotedUntil = [&](QChar close, Kind kind) {
        QString body;
        qsizetype j = i + 1;
        for (;;) {
            if (j >= n)
                return false;
            if (s[j] == close) {
                if (close != QLatin1Char(']') && j + 1 < n && s[j + 1] == close) {
                    body += close;
                    j += 2;
                    continue;
                }
                break;
            }
            body += s[j++];
        }
        out.push_back({ kind, body });
        i = j + 1;
        return true;
    };
    while (i < n) {
        const QChar c = s[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            out.push_back({ Kind::Blank, s.mid(start, i - start) });
        } else if (s.mid(i, 2) == QLatin1String("--")) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            out.push_back({ Kind::Blank, QStringLiteral(" ") });
        } else if (s.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            out.push_back({ Kind::Blank, QStringLiteral(" ") });
        } else if (c == QLatin1Char('\'')) {
            if (!quotedUntil(c, Kind::String)) {
                error = QStringLiteral("a quote is not closed");
                return false;
            }
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`')) {
            if (!quotedUntil(c, Kind::Quoted)) {
                error = QStringLiteral("a name's quote is not closed");
                return false;
            }
        } else if (c == QLatin1Char('[')) {
            if (!quotedUntil(QLatin1Char(']'), Kind::Quoted)) {
                error = QStringLiteral("a name's [ is not closed");
                return false;
            }
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n
                && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('.')
                    || ((s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))
                        && (s[i - 1] == QLatin1Char('e') || s[i - 1] == QLatin1Char('E')))))
                ++i;
            out.push_back({ Kind::Number, s.mid(start, i - start) });
        } else if (wordStart(c)) {
            while (i < n && wordChar(s[i]))
                ++i;
            out.push_back({ Kind::Word, s.mid(start, i - start) });
        } else if (c == QLatin1Char('?')) {
            ++i;
            if (i < n && s[i].isDigit()) {
                error = QStringLiteral("numbered values (?1) are not supported");
                return false;
            }
            out.push_back({ Kind::Param, QStringLiteral("?") });
        } else if ((c == QLatin1Char(':') || c == QLatin1Char('@') || c == QLatin1Char('$')) && i + 1 < n
            && wordStart(s[i + 1])) {
            ++i;
            while (i < n && wordChar(s[i]))
                ++i;
            out.push_back({ Kind::Named, s.mid(start + 1, i - start - 1) });
        } else {
            static const QStringList pairs { QStringLiteral("=="), QStringLiteral("!="), QStringLiteral("<>"),
                QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("||"), QStringLiteral("<<"),
                QStringLiteral(">>") };
            const QString two = s.mid(i, 2);
            if (pairs.contains(two)) {
                i += 2;
                out.push_back({ Kind::Symbol, two });
            } else {
                ++i;
                out.push_back({ Kind::Symbol, QString(c) });
            }
        }
    }
    return true;
}

// The names of the program's tables and fields, by their upper case.
const QHash<QString, QString> &knownNames()
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> all;
        auto add = [&all](const QString &name) { all.insert(name.toUpper(), name); };
        for (const TableDef &t : schema::tables()) {
            add(t.name);
            for (const FieldDef &f : t.fields)
                add(f.name);
        }
        add(QLatin1String(schema::keyColumn));
        add(QLatin1String(migrations::markTable));
        add(QLatin1String(migrations::markField));
        add(QLatin1String(schema::stampTable));
        for (const char *f : { "Kind", "Record", "Sequence", "Modified" })
            add(QLatin1String(f));
        // The history and the bin by their names alone: their fields' names
        // (At, Row, New...) are words of the server's own as well.
        add(QLatin1String(table::History));
        add(QLatin1String(table::Bin));
        return all;
    }();
    return names;
}

bool isTable(const QString &name)
{
    if (name.compare(QLatin1String(migrations::markTable), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String(schema::stampTable), Qt::CaseInsensitive) == 0)
        return true;
    for (const TableDef &t : schema::tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString quotedName(const QString &name)
{
    return schema::quoted(name);
}

// Words after which a + or - begins a value rather than adds or subtracts.
bool opensValue(const QString &upper)
{
    static const QSet<QString> words { QStringLiteral("SELECT"), QStringLiteral("WHERE"),
        QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("NOT"), QStringLiteral("BY"),
        QStringLiteral("ON"), QStringLiteral("WHEN"), QStringLiteral("THEN"), QStringLiteral("ELSE"),
        QStringLiteral("CASE"), QStringLiteral("HAVING"), QStringLiteral("DISTINCT"), QStringLiteral("IN"),
        QStringLiteral("IS"), QStringLiteral("LIKE"), QStringLiteral("BETWEEN"), QStringLiteral("SET"),
        QStringLiteral("VALUES"), QStringLiteral("LIMIT"), QStringLiteral("OFFSET"),
        QStringLiteral("RETURN") };
    return words.contains(upper);
}

// A GLOB pattern (case-sensitive: * ? [set] [^set]) as a whole-text
// regular expression.
QString globToRegex(const QString &glob)
{
    QString re = QStringLiteral("^");
    for (qsizetype i = 0; i < glob.size(); ++i) {
        const QChar c = glob[i];
        if (c == QLatin1Char('*')) {
            re += QLatin1String(".*");
        } else if (c == QLatin1Char('?')) {
            re += QLatin1Char('.');
        } else if (c == QLatin1Char('[')) {
            qsizetype j = i + 1;
            QString set = QStringLiteral("[");
            if (j < glob.size() && glob[j] == QLatin1Char('^')) {
                set += QLatin1Char('^');
                ++j;
            }
            if (j < glob.size() && glob[j] == QLatin1Char(']')) {
                set += QLatin1String("\\]");
                ++j;
            }
            while (j < glob.size() && glob[j] != QLatin1Char(']')) {
                const QChar m = glob[j++];
                if (m == QLatin1Char('\\') || m == QLatin1Char('[') || m == QLatin1Char('^'))
                    set += QLatin1Char('\\');
                set += m;
            }
            if (j >= glob.size()) { // SQLite: an unclosed [ matches nothing
                return QStringLiteral("[^\\s\\S]");
            }
            re += set + QLatin1Char(']');
            i = j;
        } else {
            if (QStringLiteral("\\.^$|?*+()[]{}").contains(c))
                re += QLatin1Char('\\');
            re += c;
        }
    }
    return re + QLatin1Char('$');
}

QString stringLiteral(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// One open parenthesis of the statement as written.
struct Frame {
    qsizetype start; // where its operand begins in the output (a function's name)
    QString close; // what its ) becomes
    bool cast = false; // CAST(x AS type): the AS names a type
    bool likeOpen = false; // a LIKE at this depth still needs its ESCAPE
    bool ordering = false; // in the sort keys of an ORDER BY
    bool descending = false; // the sort key so far ends with DESC
    bool nullsPlaced = false; // the sort key says where nulls go
};

class Translator
{
public:
    Translator(const std::vector<Token> &tokens, const QVariantList &binds, const QVariantMap &named)
        : m_t(tokens)
        , m_binds(binds)
        , m_named(named)
    {
        m_frames.push_back({ 0, QString() });
    }

    Status run(Translated &out);

private:
    // The next token that is not blank, from i on; -1 at the end.
    qsizetype significant(qsizetype i) const
    {
        while (i < qsizetype(m_t.size()) && m_t[size_t(i)].kind == Kind::Blank)
            ++i;
        return i < qsizetype(m_t.size()) ? i : -1;
    }
    QString upperAt(qsizetype i) const
    {
        return i >= 0 && m_t[size_t(i)].kind == Kind::Word ? m_t[size_t(i)].text.toUpper() : QString();
    }
    void operand(const QString &text)
    {
        if (!m_qualified)
            m_operandStart = m_out.size();
        m_qualified = false;
        m_out += text;
        m_afterValue = true;
    }
    void symbol(const QString &text)
    {
        m_out += text;
        m_afterValue = false;
        m_qualified = false;
    }
    void closeLike()
    {
        if (m_frames.back().likeOpen) {
            m_out += QLatin1String(" ESCAPE ''");
            m_frames.back().likeOpen = false;
        }
    }
    // SQLite sorts nulls before every value, the server after: each sort
    // key says where they go, unless it does so itself.
    void closeSortKey()
    {
        Frame &f = m_frames.back();
        if (!f.ordering)
            return;
        if (!f.nullsPlaced) {
            // Right after the key, before the blanks that follow it.
            qsizetype at = m_out.size();
            while (at > 0 && m_out.at(at - 1).isSpace())
                --at;
            m_out.insert(at, f.descending ? QLatin1String(" NULLS LAST") : QLatin1String(" NULLS FIRST"));
        }
        f.descending = false;
        f.nullsPlaced = false;
    }
    Status word(qsizetype i, Translated &out);
    Status name(const QString &written, bool bare);

    const std::vector<Token> &m_t;
    const QVariantList &m_binds;
    const QVariantMap &m_named;
    QString m_out;
    std::vector<Frame> m_frames;
    QHash<QString, QString> m_aliases; // by upper case, as written
    qsizetype m_nextBind = 0;
    qsizetype m_operandStart = 0;
    bool m_afterValue = false; // the last token ends a value: a + after it adds
    bool m_qualified = false; // after a "." of a qualified name
    bool m_alias = false; // the next name is given by AS
    bool m_type = false; // the next word names a type: CAST(x AS type)
    qsizetype m_skip = -1; // a token already written
    QString m_previousWord;
};

Status Translator::name(const QString &written, bool bare)
{
    const QString upper = written.toUpper();
    if (m_alias) {
        m_alias = false;
        m_aliases.insert(upper, written);
        operand(quotedName(written));
        return Status::ok();
    }
    if (const auto alias = m_aliases.constFind(upper); alias != m_aliases.constEnd()) {
        operand(quotedName(*alias));
        return Status::ok();
    }
    const auto known = knownNames().constFind(upper);
    if (known != knownNames().constEnd())
        operand(quotedName(*known));
    else
        operand(bare ? written : quotedName(written));
    return Status::ok();
}

Status Translator::word(qsizetype i, Translated &out)
{
    const QString &w = m_t[size_t(i)].text;
    const QString upper = w.toUpper();
    const qsizetype next = significant(i + 1);
    const bool call
        = next >= 0 && m_t[size_t(next)].kind == Kind::Symbol && m_t[size_t(next)].text == QLatin1String("(");
    const QString before = m_previousWord;
    m_previousWord = upper;

    // A word that writes, unless it is a function of the same name: replace().
    if (sql::changesTheDatabase(upper) && !(call && upper == QLatin1String("REPLACE")))
        out.writes = true;

    // Keywords that end the operand of a LIKE.
    static const QSet<QString> ends { QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("THEN"),
        QStringLiteral("ELSE"), QStringLiteral("END"), QStringLiteral("WHEN"), QStringLiteral("ORDER"),
        QStringLiteral("GROUP"), QStringLiteral("LIMIT"), QStringLiteral("HAVING"), QStringLiteral("UNION"),
        QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"), QStringLiteral("FROM"), QStringLiteral("AS"),
        QStringLiteral("COLLATE"), QStringLiteral("IS"), QStringLiteral("NOT"), QStringLiteral("WINDOW") };
    if (upper == QLatin1String("ESCAPE")) {
        m_frames.back().likeOpen = false;
    } else if (ends.contains(upper)) {
        closeLike();
    }
    Frame &frame = m_frames.back();
    static const QSet<QString> endsOrdering { QStringLiteral("LIMIT"), QStringLiteral("OFFSET"),
        QStringLiteral("UNION"), QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"),
        QStringLiteral("FETCH"), QStringLiteral("FOR") };
    if (frame.ordering) {
        if (upper == QLatin1String("DESC"))
            frame.descending = true;
        else if (upper == QLatin1String("ASC"))
            frame.descending = false;
        else if (upper == QLatin1String("NULLS"))
            frame.nullsPlaced = true;
        else if (endsOrdering.contains(upper)) {
            closeSortKey();
            frame.ordering = false;
        }
    }
    if (upper == QLatin1String("BY") && before == QLatin1String("ORDER")) {
        frame.ordering = true;
        frame.descending = false;
        frame.nullsPlaced = false;
    }

    if (call && !(isTable(w) && (before == QLatin1String("INTO") || before == QLatin1String("TABLE")))) {
        static const QHash<QString, std::pair<QString, QString>> renamed {
            { QStringLiteral("GROUP_CONCAT"),
                { QStringLiteral("string_agg(CAST("), QStringLiteral(" AS TEXT), ',')") } },
            { QStringLiteral("IFNULL"), { QStringLiteral("coalesce("), QStringLiteral(")") } },
            { QStringLiteral("INSTR"), { QStringLiteral("strpos("), QStringLiteral(")") } },
            { QStringLiteral("SUM"), { QStringLiteral("CAST(sum("), QStringLiteral(") AS BIGINT)") } },
            { QStringLiteral("TOTAL"),
                { QStringLiteral("CAST(coalesce(sum("), QStringLiteral("), 0) AS DOUBLE PRECISION)") } },
            { QStringLiteral("AVG"),
                { QStringLiteral("CAST(avg("), QStringLiteral(") AS DOUBLE PRECISION)") } },
        };
        if (!m_qualified)
            m_operandStart = m_out.size();
        m_qualified = false;
        out.functions << w.toLower();
        const auto r = renamed.constFind(upper);
        Frame f { m_operandStart, r != renamed.constEnd() ? r->second : QStringLiteral(")") };
        f.cast = upper == QLatin1String("CAST");
        m_out += r != renamed.constEnd() ? r->first : w + QLatin1Char('(');
        m_frames.push_back(f);
        m_skip = next; // its ( is written
        m_afterValue = false;
        return Status::ok();
    }

    if (upper == QLatin1String("AS")) {
        symbol(w);
        // In CAST(x AS type) a type follows, otherwise a name.
        m_alias = !m_frames.back().cast;
        m_type = m_frames.back().cast;
        return Status::ok();
    }
    if (upper == QLatin1String("GLOB")) {
        const qsizetype p = next;
        if (p < 0 || m_t[size_t(p)].kind != Kind::String)
            return refused(QStringLiteral("GLOB needs a pattern in quotes"));
        if (before == QLatin1String("NOT")) {
            // NOT GLOB: the server negates the match with an operator of
            // its own, not with NOT before it.
            m_out.truncate(m_out.lastIndexOf(QLatin1String("NOT"), -1, Qt::CaseInsensitive));
            symbol(QStringLiteral("!~ "));
        } else {
            symbol(QStringLiteral("~ "));
        }
        operand(stringLiteral(globToRegex(m_t[size_t(p)].text)));
        m_skip = p;
        return Status::ok();
    }
    if (upper == QLatin1String("LIKE")) {
        symbol(QStringLiteral("ILIKE"));
        m_frames.back().likeOpen = true;
        return Status::ok();
    }
    if (upper == QLatin1String("COLLATE")) {
        const QString what = upperAt(next);
        if (what == QLatin1String("NOCASE")) {
            // SQLite's NOCASE folds the ASCII letters only, as lower() does
            // under the byte order of "C".
            m_out.insert(m_operandStart, QLatin1String("lower("));
            m_out += QLatin1String(") COLLATE \"C\"");
        } else if (what == QLatin1String("BINARY")) {
            m_out += QLatin1String("COLLATE \"C\"");
        } else {
            return refused(QStringLiteral("the collation %1 is not known").arg(what.toLower()));
        }
        m_skip = next;
        m_afterValue = true;
        return Status::ok();
    }
    if (upper == QLatin1String("IS")) {
        qsizetype k = next;
        const bool negated = upperAt(k) == QLatin1String("NOT");
        if (negated)
            k = significant(k + 1);
        static const QSet<QString> plain { QStringLiteral("NULL"), QStringLiteral("TRUE"),
            QStringLiteral("FALSE"), QStringLiteral("DISTINCT"), QStringLiteral("UNKNOWN") };
        if (plain.contains(upperAt(k))) {
            symbol(w);
            return Status::ok();
        }
        // SQLite's IS compares any two values, nulls alike.
        symbol(negated ? QStringLiteral("IS DISTINCT FROM") : QStringLiteral("IS NOT DISTINCT FROM"));
        if (negated)
            m_skip = next;
        return Status::ok();
    }
    if (m_type) {
        m_type = false;
        symbol(w);
        return Status::ok();
    }
    if (knownNames().contains(upper) || m_aliases.contains(upper) || m_alias)
        return name(w, true);
    // A keyword, a type or a name the statement makes up (an alias without
    // AS): the server reads it without regard to case, as SQLite does.
    if (opensValue(upper) || sql::changesTheDatabase(upper))
        symbol(w);
    else
        operand(w);
    return Status::ok();
}

Status Translator::run(Translated &out)
{
    bool ended = false;
    for (qsizetype i = 0; i < qsizetype(m_t.size()); ++i) {
        if (i == m_skip)
            continue;
        const Token &t = m_t[size_t(i)];
        if (ended && t.kind != Kind::Blank && !(t.kind == Kind::Symbol && t.text == QLatin1String(";")))
            return refused(QStringLiteral("it holds more than one statement"));
        switch (t.kind) {
        case Kind::Blank:
            m_out += t.text;
            break;
        case Kind::String:
            operand(stringLiteral(t.text));
            break;
        case Kind::Number:
            operand(t.text);
            break;
        case Kind::Quoted:
            if (out.insertInto.isEmpty() && m_previousWord == QLatin1String("INTO") && isTable(t.text))
                out.insertInto = knownNames().value(t.text.toUpper());
            if (Status s = name(t.text, false); !s)
                return s;
            break;
        case Kind::Word:
            if (out.insertInto.isEmpty() && m_previousWord == QLatin1String("INTO") && isTable(t.text))
                out.insertInto = knownNames().value(t.text.toUpper());
            if (Status s = word(i, out); !s)
                return s;
            break;
        case Kind::Param:
        case Kind::Named: {
            QVariant v;
            if (t.kind == Kind::Param) {
                if (m_nextBind >= m_binds.size())
                    return refused(QStringLiteral("it has more ? than values"));
                v = m_binds[m_nextBind++];
            } else {
                const auto it = m_named.constFind(t.text);
                if (it == m_named.constEnd())
                    return refused(QStringLiteral("no value is given for :%1").arg(t.text));
                v = *it;
            }
            QString lit;
            if (!literal(v, lit))
                return refused(QStringLiteral("a value holds a character the server can not keep"));
            operand(lit);
            break;
        }
        case Kind::Symbol:
            if (t.text == QLatin1String("(")) {
                m_frames.push_back({ m_out.size(), QStringLiteral(")") });
                symbol(t.text);
            } else if (t.text == QLatin1String(")")) {
                closeLike();
                closeSortKey();
                if (m_frames.size() <= 1)
                    return refused(QStringLiteral("a ) has no ("));
                const Frame f = m_frames.back();
                m_frames.pop_back();
                m_out += f.close;
                m_operandStart = f.start;
                m_afterValue = true;
                m_qualified = false;
            } else if (t.text == QLatin1String(",")) {
                closeLike();
                closeSortKey();
                symbol(t.text);
            } else if (t.text == QLatin1String(";")) {
                closeLike();
                closeSortKey();
                m_frames.back().ordering = false;
                ended = true;
            } else if (t.text == QLatin1String(".")) {
                m_out += t.text;
                m_qualified = true;
            } else if (t.text == QLatin1String("==")) {
                symbol(QStringLiteral("="));
            } else if (t.text == QLatin1String("+") && !m_afterValue) {
                // A unary plus: SQLite's way to keep a column off its index.
                m_afterValue = false;
            } else {
                symbol(t.text);
            }
            break;
        }
        if (t.kind != Kind::Word && t.kind != Kind::Blank)
            m_previousWord.clear();
    }
    closeLike();
    closeSortKey();
    if (m_frames.size() != 1)
        return refused(QStringLiteral("a ( is not closed"));
    if (m_nextBind != m_binds.size())
        return refused(QStringLiteral("it is given more values than it has ?"));
    out.text = m_out;
    return Status::ok();
}

} // namespace

bool literal(const QVariant &value, QString &out)
{
    if (value.isNull() || !value.isValid()) {
        out = QStringLiteral("NULL");
        return true;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        out = value.toBool() ? QStringLiteral("'1'") : QStringLiteral("'0'");
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        out = QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
        return true;
    case QMetaType::Double:
        out = QLatin1Char('\'') + QString::number(value.toDouble(), 'g', 17) + QLatin1Char('\'');
        return true;
    case QMetaType::QByteArray:
        out = QStringLiteral("'\\x%1'::bytea").arg(QString::fromLatin1(value.toByteArray().toHex()));
        return true;
    case QMetaType::QDate:
        out = stringLiteral(value.toDate().toString(Qt::ISODate));
        return true;
    default:
        break;
    }
    const QString text = value.toString();
    if (text.contains(QChar(0)))
        return false;
    out = stringLiteral(text);
    return true;
}

Status translate(
    const QString &statement, const QVariantList &binds, Translated &out, const QVariantMap &named)
{
    out = Translated();
    std::vector<Token> tokens;
    QString error;
    if (!tokenize(statement, tokens, error))
        return refused(error);
    Translator t(tokens, binds, named);
    return t.run(out);
}

} // namespace bm::db::serversql
