#include "data/filter.h"

#include <QChar>

namespace bm::filter
{

namespace
{

char32_t fold(char32_t c)
{
    if (c < 128)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

// Decodes UTF-8 (invalid bytes become U+FFFD) and folds case.
void decodeFolded(const char *s, std::size_t n, std::u32string &out)
{
    out.clear();
    out.reserve(n);
    std::size_t i = 0;
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    while (i < n) {
        const unsigned char b = u[i];
        if (b < 0x80) {
            out.push_back(fold(b));
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + extra >= n) {
            out.push_back(0xFFFD);
            break;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((u[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (u[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(fold(cp));
        i += extra + 1;
    }
}

} // namespace

std::optional<Pattern> Pattern::compile(QStringView text, QString *error)
{
    Pattern p;
    const std::u32string chars = text.toString().toStdU32String();
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        Token t { Token::Literal, 0, false, {} };
        if (c == U'*') {
            if (!p.m_tokens.empty() && p.m_tokens.back().kind == Token::AnyMany)
                continue;
            t.kind = Token::AnyMany;
        } else if (c == U'?') {
            t.kind = Token::AnyOne;
        } else if (c == U'#') {
            t.kind = Token::Digit;
        } else if (c == U'[') {
            std::size_t j = i + 1;
            t.kind = Token::Set;
            if (j < chars.size() && chars[j] == U'!') {
                t.negated = true;
                ++j;
            }
            for (; j < chars.size() && chars[j] != U']'; ++j) {
                const char32_t lo = chars[j];
                if (j + 2 < chars.size() && chars[j + 1] == U'-' && chars[j + 2] != U']') {
                    const char32_t hi = chars[j + 2];
                    if (hi < lo) {
                        setError(error, QStringLiteral("A range in the search pattern is reversed."));
                        return std::nullopt;
                    }
                    t.ranges.emplace_back(lo, hi);
                    j += 2;
                } else {
                    t.ranges.emplace_back(lo, lo);
                }
            }
            if (j >= chars.size()) {
                setError(error, QStringLiteral("A [ in the pattern is not closed."));
                return std::nullopt;
            }
            i = j;
            if (t.ranges.empty() && !t.negated)
                continue; // [] matches the empty string
        } else {
            t.ch = fold(c);
        }
        p.m_tokens.push_back(std::move(t));
    }
    const auto &tk = p.m_tokens;
    if (tk.size() >= 3 && tk.front().kind == Token::AnyMany && tk.back().kind == Token::AnyMany) {
        std::string needle;
        for (std::size_t i = 1; i + 1 < tk.size(); ++i) {
            if (tk[i].kind != Token::Literal || tk[i].ch >= 128) {
                needle.clear();
                break;
            }
            needle.push_back(char(tk[i].ch));
        }
        p.m_needle = needle;
    }
    return p;
}

bool Pattern::matchToken(const Token &t, char32_t c) const
{
    switch (t.kind) {
    case Token::Literal:
        return t.ch == c;
    case Token::AnyOne:
        return true;
    case Token::Digit:
        return c >= U'0' && c <= U'9';
    case Token::Set: {
        bool in = false;
        for (const auto &[lo, hi] : t.ranges) {
            if ((c >= lo && c <= hi) || (c >= fold(lo) && c <= fold(hi))) {
                in = true;
                break;
            }
        }
        return in != t.negated;
    }
    case Token::AnyMany:
        break;
    }
    return false;
}

// Wildcard matching with one back-tracking point for the last *: at most
// text length times pattern length steps, whatever the input. The text is
// read through fold-on-access, so plain ASCII needs no copy.
template <class Text> bool Pattern::matchText(const Text &s, std::size_t size) const
{
    std::size_t ti = 0, pi = 0;
    std::size_t starP = SIZE_MAX, starT = 0;
    const std::size_t np = m_tokens.size();
    while (ti < size) {
        if (pi < np && m_tokens[pi].kind == Token::AnyMany) {
            starP = pi++;
            starT = ti;
        } else if (pi < np && matchToken(m_tokens[pi], s(ti))) {
            ++pi;
            ++ti;
        } else if (starP != SIZE_MAX) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < np && m_tokens[pi].kind == Token::AnyMany)
        ++pi;
    return pi == np;
}

// "*word*" with a plain ASCII word, the pattern of every search by a word: a
// case-blind substring search over the bytes. UTF-8 sequences hold no ASCII
// bytes, so the bytes can be searched as they stand.
bool Pattern::containsNeedle(const unsigned char *text, std::size_t length) const
{
    const std::size_t m = m_needle.size();
    if (m > length)
        return false;
    const unsigned char first = static_cast<unsigned char>(m_needle[0]);
    const unsigned char firstUpper = (first >= 'a' && first <= 'z') ? first - 32 : first;
    for (std::size_t i = 0; i + m <= length; ++i) {
        if (text[i] != first && text[i] != firstUpper)
            continue;
        std::size_t k = 1;
        while (k < m && fold(text[i + k]) == char32_t(static_cast<unsigned char>(m_needle[k])))
            ++k;
        if (k == m)
            return true;
    }
    return false;
}

bool Pattern::matchFolded(const std::u32string &s) const
{
    return matchText([&s](std::size_t i) { return s[i]; }, s.size());
}

bool Pattern::matches(QStringView text) const
{
    std::u32string s = text.toString().toStdU32String();
    for (char32_t &c : s)
        c = fold(c);
    return matchFolded(s);
}

bool Pattern::matchesUtf8(const char *text, std::size_t length) const
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i)
        ascii = bytes[i] < 0x80;
    if (!m_needle.empty())
        return containsNeedle(bytes, length);
    if (ascii)
        return matchText([bytes](std::size_t i) { return fold(bytes[i]); }, length);
    thread_local std::u32string buffer;
    decodeFolded(text, length, buffer);
    return matchFolded(buffer);
}

std::optional<Expression> parse(QStringView text, const QStringList &fields, QString *error)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    skipBlanks();
    QString field;
    if (i < n && text[i] == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0) {
            setError(error, QStringLiteral("The field name's [ is not closed."));
            return std::nullopt;
        }
        field = text.mid(i + 1, close - i - 1).toString();
        i = close + 1;
    } else {
        const qsizetype start = i;
        while (i < n && (text[i].isLetterOrNumber() || text[i] == QLatin1Char('_')))
            ++i;
        field = text.mid(start, i - start).toString();
    }
    if (field.isEmpty()) {
        setError(error, QStringLiteral("The search names no field."));
        return std::nullopt;
    }
    QString exact;
    for (const QString &f : fields) {
        if (f.compare(field, Qt::CaseInsensitive) == 0) {
            exact = f;
            break;
        }
    }
    if (exact.isEmpty()) {
        setError(error, QStringLiteral("There is no field named %1.").arg(field));
        return std::nullopt;
    }
    skipBlanks();
    if (text.mid(i, 4).compare(QLatin1String("like"), Qt::CaseInsensitive) != 0
        || (i + 4 < n && (text[i + 4].isLetterOrNumber() || text[i + 4] == QLatin1Char('_')))) {
        setError(error, QStringLiteral("The search must read: field LIKE 'pattern'."));
        return std::nullopt;
    }
    i += 4;
    skipBlanks();
    if (i >= n || text[i] != QLatin1Char('\'')) {
        setError(error, QStringLiteral("The search pattern must stand in single quotes."));
        return std::nullopt;
    }
    const qsizetype close = text.indexOf(QLatin1Char('\''), i + 1);
    if (close < 0) {
        setError(error, QStringLiteral("The search pattern's quote is not closed."));
        return std::nullopt;
    }
    const QStringView body = text.mid(i + 1, close - i - 1);
    i = close + 1;
    skipBlanks();
    if (i < n) {
        setError(error, QStringLiteral("There is text after the end of the search pattern."));
        return std::nullopt;
    }
    std::optional<Pattern> pattern = Pattern::compile(body, error);
    if (!pattern)
        return std::nullopt;
    return Expression { exact, body.toString(), std::move(*pattern) };
}

} // namespace bm::filter
