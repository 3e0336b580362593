#include "db/engine/pgtokens.h"

#include <QSet>

namespace bm::db
{

namespace
{

// Words of the server's that stand before a parenthesis without calling a
// function.
const QSet<QString> &keywordsBeforeParenthesis()
{
    static const QSet<QString> words = { QStringLiteral("all"), QStringLiteral("and"), QStringLiteral("any"),
        QStringLiteral("array"), QStringLiteral("as"), QStringLiteral("between"), QStringLiteral("by"),
        QStringLiteral("case"), QStringLiteral("cast"), QStringLiteral("distinct"), QStringLiteral("else"),
        QStringLiteral("escape"), QStringLiteral("except"), QStringLiteral("exists"), QStringLiteral("from"),
        QStringLiteral("having"), QStringLiteral("ilike"), QStringLiteral("in"), QStringLiteral("intersect"),
        QStringLiteral("is"), QStringLiteral("join"), QStringLiteral("lateral"), QStringLiteral("like"),
        QStringLiteral("limit"), QStringLiteral("materialized"), QStringLiteral("not"),
        QStringLiteral("offset"), QStringLiteral("on"), QStringLiteral("or"), QStringLiteral("row"),
        QStringLiteral("select"), QStringLiteral("some"), QStringLiteral("then"), QStringLiteral("union"),
        QStringLiteral("using"), QStringLiteral("values"), QStringLiteral("when"), QStringLiteral("where"),
        QStringLiteral("with") };
    return words;
}

} // namespace

bool pgTokens(const QString &s, QList<PgToken> &out, QString &why)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto wordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (s.mid(i, 2) == QLatin1String("--")) {
            while (i < n && s[i] != u'\n')
                ++i;
        } else if (s.mid(i, 2) == QLatin1String("/*")) {
            int depth = 0;
            do {
                if (s.mid(i, 2) == QLatin1String("/*")) {
                    ++depth;
                    i += 2;
                } else if (s.mid(i, 2) == QLatin1String("*/")) {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (depth > 0 && i < n);
        } else if (c == u'\'' || c == u'"') {
            if (c == u'\'' && !out.isEmpty() && out.last().kind == PgToken::Word && out.last().text == u"e"
                && out.last().start + 1 == i) {
                why = QStringLiteral("a text in E'' is not understood here");
                return false;
            }
            const qsizetype start = i;
            QString body;
            for (++i;; ++i) {
                if (i >= n) {
                    why = QStringLiteral("a quote is not closed");
                    return false;
                }
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        body += c;
                        ++i;
                        continue;
                    }
                    break;
                }
                body += s[i];
            }
            ++i;
            out.append({ c == u'"' ? PgToken::Quoted : PgToken::String, body, start });
        } else if (c == u'$') {
            why = QStringLiteral("a $ is not understood here");
            return false;
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && wordChar(s[i]))
                ++i;
            out.append({ PgToken::Word, s.mid(start, i - start).toLower(), start });
        } else if (c.isDigit()) {
            const qsizetype start = i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'.'))
                ++i;
            out.append({ PgToken::Number, s.mid(start, i - start), start });
        } else {
            out.append({ PgToken::Symbol, QString(c), i });
            ++i;
        }
    }
    return true;
}

bool isSymbol(const QList<PgToken> &t, qsizetype i, QChar c)
{
    return i >= 0 && i < t.size() && t[i].kind == PgToken::Symbol && t[i].text == QString(c);
}

namespace
{

bool isWord(const QList<PgToken> &t, qsizetype i, const char *word)
{
    return i >= 0 && i < t.size() && t[i].kind == PgToken::Word && t[i].text == QLatin1String(word);
}

// The token after the parenthesis that opens at i; -1 if it is not closed.
qsizetype afterParenthesis(const QList<PgToken> &t, qsizetype i)
{
    int depth = 0;
    for (; i < t.size(); ++i) {
        if (isSymbol(t, i, u'('))
            ++depth;
        else if (isSymbol(t, i, u')') && --depth == 0)
            return i + 1;
    }
    return -1;
}

// A name the statement gives a WITH query of its own: "WITH c(n) AS (SELECT"
// or ", c AS (VALUES". A column list of a function's record ("f(x) AS
// (a int)") does not start with a query, so it is never taken for one.
bool namesWithQuery(const QList<PgToken> &t, qsizetype i)
{
    if (!(isWord(t, i - 1, "with") || isWord(t, i - 1, "recursive") || isSymbol(t, i - 1, u',')))
        return false;
    qsizetype k = i + 1;
    if (isSymbol(t, k, u'(')) {
        for (qsizetype j = k + 1; !isSymbol(t, j, u')'); ++j)
            if (j >= t.size()
                || !(t[j].kind == PgToken::Word || t[j].kind == PgToken::Quoted || isSymbol(t, j, u',')))
                return false;
        k = afterParenthesis(t, k);
    }
    if (!isWord(t, k, "as"))
        return false;
    ++k;
    if (isWord(t, k, "not"))
        ++k;
    if (isWord(t, k, "materialized"))
        ++k;
    return isSymbol(t, k, u'(')
        && (isWord(t, k + 1, "select") || isWord(t, k + 1, "values") || isWord(t, k + 1, "with")
            || isSymbol(t, k + 1, u'('));
}

} // namespace

// Whether the word at i before a parenthesis calls a function; a keyword,
// a type's size after AS or ::, an alias's column list and a WITH query's
// name do not.
bool callsFunction(const QList<PgToken> &t, qsizetype i)
{
    const QString &w = t[i].text;
    if (isWord(t, i - 1, "as") || isSymbol(t, i - 1, u':'))
        return false;
    if (t[i].kind == PgToken::Quoted)
        return !namesWithQuery(t, i);
    if (w == u"filter" || w == u"over")
        return !isSymbol(t, i - 1, u')');
    if (w == u"group")
        return !isWord(t, i - 1, "within");
    if (keywordsBeforeParenthesis().contains(w))
        return false;
    return !namesWithQuery(t, i);
}

} // namespace bm::db
