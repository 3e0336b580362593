#include "schema/declarations.h"

namespace bm::declarations
{

namespace
{

struct Token {
    enum Kind { Word, Name, Text, Number, Mark } kind;
    QString text; // a bare word in capitals, a quoted name without its quotes, a mark as it is
    QString name; // a bare word as written, or a quoted name: what it names
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_' || c.unicode() > 127;
}

bool isWordChar(QChar c)
{
    return isWordStart(c) || c.isDigit() || c == u'$';
}

// The statement cut into its words; comments and blanks are left out.
QList<Token> tokens(const QString &sql)
{
    QList<Token> out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u'"' || c == u'`' || c == u'[' || c == u'\'') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            QString inner;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (sql[j] == close) {
                    if (close != u']' && j + 1 < n && sql[j + 1] == close) {
                        inner += close; // a doubled quote is one of itself
                        ++j;
                        continue;
                    }
                    break;
                }
                inner += sql[j];
            }
            i = j + 1;
            if (c == u'\'')
                out.append({ Token::Text, u'\'' + QString(inner).replace(u'\'', QLatin1String("''")) + u'\'',
                    inner });
            else
                out.append({ Token::Name, inner, inner });
        } else if (isWordStart(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql[j]))
                ++j;
            const QString word = sql.mid(i, j - i);
            out.append({ Token::Word, word.toUpper(), word });
            i = j;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql[i + 1].isDigit())) {
            qsizetype j = i;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'.'))
                ++j;
            out.append({ Token::Number, sql.mid(i, j - i), QString() });
            i = j;
        } else {
            out.append({ Token::Mark, QString(c), QString() });
            ++i;
        }
    }
    return out;
}

bool isMark(const Token &t, char16_t c)
{
    return t.kind == Token::Mark && t.text.size() == 1 && t.text[0] == c;
}

// The words that begin what a field's declaration says beyond its type, and
// those that begin a rule of the table.
bool beginsConstraint(const Token &t)
{
    static const QStringList words { "CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT",
        "COLLATE", "REFERENCES", "GENERATED", "AS" };
    return t.kind == Token::Word && words.contains(t.text);
}

bool beginsRule(const Token &t)
{
    static const QStringList words { "CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN" };
    return t.kind == Token::Word && words.contains(t.text);
}

QStringList texts(const QList<Token> &tokens, qsizetype from, qsizetype to)
{
    QStringList out;
    for (qsizetype i = from; i < to; ++i)
        out << tokens[i].text;
    return out;
}

Field field(const QList<Token> &t, qsizetype from, qsizetype to)
{
    Field f;
    f.name = t[from].name;
    qsizetype i = from + 1;
    QString type;
    while (i < to && !beginsConstraint(t[i])) {
        if (isMark(t[i], u'(')) {
            // The size of a type: VARCHAR(20), DECIMAL(10, 2).
            qsizetype j = i;
            while (j < to && !isMark(t[j], u')'))
                ++j;
            type += texts(t, i, std::min(j + 1, to)).join(QString());
            i = std::min(j + 1, to);
            continue;
        }
        if (!type.isEmpty())
            type += u' ';
        type += t[i].text;
        ++i;
    }
    f.type = type;
    f.rest = texts(t, i, to);
    return f;
}

} // namespace

Table read(const QString &createTable)
{
    Table table;
    const QList<Token> t = tokens(createTable);
    qsizetype open = 0;
    while (open < t.size() && !isMark(t[open], u'('))
        ++open;
    if (open < 3 || t[0].text != QLatin1String("CREATE"))
        return table;
    int depth = 0;
    qsizetype start = open + 1;
    qsizetype close = -1;
    for (qsizetype i = open; i < t.size() && close < 0; ++i) {
        if (isMark(t[i], u'(')) {
            ++depth;
        } else if (isMark(t[i], u')') && --depth == 0) {
            close = i;
        }
        const bool endOfOne = close == i || (depth == 1 && isMark(t[i], u','));
        if (!endOfOne)
            continue;
        if (i == start)
            return table; // an empty declaration: no statement the engine takes
        if (beginsRule(t[start]))
            table.rules << texts(t, start, i);
        else if (t[start].kind == Token::Word || t[start].kind == Token::Name || t[start].kind == Token::Text)
            table.fields << field(t, start, i);
        else
            return table;
        start = i + 1;
    }
    if (close < 0)
        return table;
    table.after = texts(t, close + 1, t.size());
    table.readable = true;
    return table;
}

} // namespace bm::declarations
