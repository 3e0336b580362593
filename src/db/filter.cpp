#include "db/filter.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

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

// The characters that fold to the same value, for the few thousand folded
// values that more than the value itself folds to (k: k K U+212A). Built once
// from the same folding the matcher uses, so the two can never disagree.
class FoldClasses
{
public:
    static const FoldClasses &instance()
    {
        static const FoldClasses classes;
        return classes;
    }

    // Every character whose fold is `folded`, in code point order; empty
    // when that is the folded value alone.
    std::span<const char32_t> of(char32_t folded) const
    {
        if (folded < 128)
            return m_ascii[folded] < 0 ? std::span<const char32_t>() : at(std::size_t(m_ascii[folded]));
        const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), folded);
        if (it == m_keys.end() || *it != folded)
            return {};
        return at(std::size_t(it - m_keys.begin()));
    }

    std::size_t size() const { return m_keys.size(); }
    std::span<const char32_t> at(std::size_t i) const
    {
        return { m_members.data() + m_start[i], m_start[i + 1] - m_start[i] };
    }

private:
    FoldClasses()
    {
        std::vector<std::pair<char32_t, char32_t>> pairs; // (fold, character)
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = fold(c);
            if (f != c)
                pairs.emplace_back(f, c);
        }
        for (const auto &[f, c] : std::vector(pairs)) {
            if (fold(f) == f)
                pairs.emplace_back(f, f);
        }
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        m_ascii.fill(-1);
        m_start.push_back(0);
        for (const auto &[f, c] : pairs) {
            if (m_keys.empty() || m_keys.back() != f) {
                if (!m_keys.empty())
                    m_start.push_back(m_members.size());
                if (f < 128)
                    m_ascii[f] = int(m_keys.size());
                m_keys.push_back(f);
            }
            m_members.push_back(c);
        }
        m_start.push_back(m_members.size());
    }

    std::vector<char32_t> m_keys; // folded values, ascending
    std::vector<std::size_t> m_start; // m_keys.size() + 1 offsets into m_members
    std::vector<char32_t> m_members;
    std::array<int, 128> m_ascii {};
};

bool inRanges(const std::vector<std::pair<char32_t, char32_t>> &ranges, char32_t c)
{
    for (const auto &[lo, hi] : ranges) {
        if (c >= lo && c <= hi)
            return true;
    }
    return false;
}

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

// The length of the well-formed UTF-8 sequence that starts at u[0] (at most
// n bytes available) and its code point; 0 when it is not one: a stray
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF or cut
// short.
int utf8Sequence(const unsigned char *u, std::size_t n, char32_t &cp)
{
    const unsigned char b = u[0];
    int extra = 0;
    unsigned char min2 = 0x80, max2 = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        extra = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        extra = 2;
        cp = b & 0x0F;
        if (b == 0xE0)
            min2 = 0xA0;
        else if (b == 0xED)
            max2 = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        extra = 3;
        cp = b & 0x07;
        if (b == 0xF0)
            min2 = 0x90;
        else if (b == 0xF4)
            max2 = 0x8F;
    } else {
        return 0;
    }
    if (std::size_t(extra) >= n || u[1] < min2 || u[1] > max2)
        return 0;
    for (int k = 1; k <= extra; ++k) {
        if ((u[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (u[k] & 0x3F);
    }
    return extra + 1;
}

// Decodes UTF-8 and folds case. A byte that does not start a well-formed
// sequence becomes U+FFFD and decoding goes on with the next byte, so a
// broken character never hides the text after it.
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
        char32_t cp = 0;
        const int len = utf8Sequence(u + i, n - i, cp);
        if (len == 0) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(fold(cp));
        i += std::size_t(len);
    }
}

// Inclusive code point intervals, sorted and merged where they touch or
// overlap.
std::vector<std::pair<char32_t, char32_t>> merged(std::vector<std::pair<char32_t, char32_t>> v)
{
    std::sort(v.begin(), v.end());
    std::vector<std::pair<char32_t, char32_t>> out;
    for (const auto &r : v) {
        if (!out.empty() && r.first <= out.back().second + 1)
            out.back().second = std::max(out.back().second, r.second);
        else
            out.push_back(r);
    }
    return out;
}

bool inMerged(const std::vector<std::pair<char32_t, char32_t>> &v, char32_t c)
{
    const auto it = std::upper_bound(v.begin(), v.end(), c,
        [](char32_t x, const std::pair<char32_t, char32_t> &r) { return x < r.first; });
    return it != v.begin() && c <= std::prev(it)->second;
}

// ASCII punctuation: outside a bracket expression a backslash before any of
// it stands for the character itself, and before a letter or digit it would
// start an escape.
bool asciiPunctuation(char32_t c)
{
    const bool letter = (c | 0x20) >= U'a' && (c | 0x20) <= U'z';
    const bool digit = c >= U'0' && c <= U'9';
    return c > 0x20 && c < 0x7F && !letter && !digit;
}

// One character as the server's regular expression reads it: \uXXXX (or
// \UXXXXXXXX) for what is special or invisible, the character itself else.
void appendRegexChar(QString &out, char32_t c, bool inBracket)
{
    const bool special
        = inBracket ? (c == U']' || c == U'\\' || c == U'^' || c == U'-' || c == U'[') : asciiPunctuation(c);
    if (c < 0x20 || c == 0x7F || (inBracket && special)) {
        out += c > 0xFFFF ? QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'))
                          : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    } else if (special) {
        out += QLatin1Char('\\');
        out += QChar(char16_t(c));
    } else {
        out += QString::fromUcs4(&c, 1);
    }
}

// A bracket expression for a set of characters. The server's text holds no
// NUL and no surrogate, so those are left out; a set left empty matches
// nothing (or, negated, anything).
void appendBracket(QString &out, std::vector<std::pair<char32_t, char32_t>> set, bool negated)
{
    std::vector<std::pair<char32_t, char32_t>> valid;
    for (const auto &[lo, hi] : merged(std::move(set))) {
        const std::pair<char32_t, char32_t> parts[]
            = { { std::max<char32_t>(lo, 1), std::min<char32_t>(hi, 0xD7FF) },
                  { std::max<char32_t>(lo, 0xE000), std::min<char32_t>(hi, 0x10FFFF) } };
        for (const auto &p : parts) {
            if (p.first <= p.second)
                valid.push_back(p);
        }
    }
    if (valid.empty()) {
        out += negated ? QStringLiteral(".") : QStringLiteral("[^\\u0001-\\U0010ffff]");
        return;
    }
    if (!negated && valid.size() == 1 && valid[0].first == valid[0].second) {
        appendRegexChar(out, valid[0].first, false);
        return;
    }
    out += negated ? QStringLiteral("[^") : QStringLiteral("[");
    for (const auto &[lo, hi] : valid) {
        appendRegexChar(out, lo, true);
        if (hi > lo + 1)
            out += QLatin1Char('-');
        if (hi > lo)
            appendRegexChar(out, hi, true);
    }
    out += QLatin1Char(']');
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
        std::string leads;
        for (std::size_t i = 1; i + 1 < tk.size(); ++i) {
            if (tk[i].kind != Token::Literal || tk[i].ch >= 128) {
                needle.clear();
                leads.clear();
                break;
            }
            needle.push_back(char(tk[i].ch));
            for (const char32_t m : FoldClasses::instance().of(tk[i].ch)) {
                if (m < 128)
                    continue;
                const QByteArray utf8 = QString::fromUcs4(&m, 1).toUtf8();
                if (!utf8.isEmpty() && leads.find(utf8[0]) == std::string::npos)
                    leads.push_back(utf8[0]);
            }
        }
        p.m_needle = needle;
        p.m_needleLeads = leads;
    }
    return p;
}

// c is folded. A set holds it when it holds any character that folds to c.
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
        const std::span<const char32_t> alike = FoldClasses::instance().of(c);
        if (alike.empty()) {
            in = inRanges(t.ranges, c);
        } else {
            for (const char32_t y : alike) {
                if (inRanges(t.ranges, y)) {
                    in = true;
                    break;
                }
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
// bytes, so a hit among the bytes is a hit in the text; the caller looks
// further only when the text holds a non-ASCII character that folds to a
// letter of the word.
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
    if (!m_needle.empty()) {
        if (containsNeedle(bytes, length))
            return true;
        const auto holds = [text, length](char lead) { return std::memchr(text, lead, length) != nullptr; };
        if (std::none_of(m_needleLeads.begin(), m_needleLeads.end(), holds))
            return false;
    }
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i)
        ascii = bytes[i] < 0x80;
    if (ascii)
        return matchText([bytes](std::size_t i) { return fold(bytes[i]); }, length);
    thread_local std::u32string buffer;
    decodeFolded(text, length, buffer);
    return matchFolded(buffer);
}

QString Pattern::serverRegex() const
{
    std::size_t begin = 0, end = m_tokens.size();
    const bool anchorStart = !(begin < end && m_tokens[begin].kind == Token::AnyMany);
    if (!anchorStart)
        ++begin;
    const bool anchorEnd = !(end > begin && m_tokens[end - 1].kind == Token::AnyMany);
    if (!anchorEnd)
        --end;
    const FoldClasses &classes = FoldClasses::instance();
    QString re;
    if (anchorStart)
        re += QLatin1Char('^');
    for (std::size_t i = begin; i < end; ++i) {
        const Token &t = m_tokens[i];
        switch (t.kind) {
        case Token::Literal: {
            std::vector<std::pair<char32_t, char32_t>> set;
            for (const char32_t m : classes.of(t.ch))
                set.emplace_back(m, m);
            if (set.empty())
                set.emplace_back(t.ch, t.ch);
            appendBracket(re, std::move(set), false);
            break;
        }
        case Token::AnyOne:
            re += QLatin1Char('.');
            break;
        case Token::Digit:
            re += QStringLiteral("[0-9]");
            break;
        case Token::AnyMany:
            re += QStringLiteral(".*");
            break;
        case Token::Set: {
            // The ranges as written, and every character that folds alike
            // to one of theirs.
            const std::vector<std::pair<char32_t, char32_t>> written = merged(t.ranges);
            std::vector<std::pair<char32_t, char32_t>> set = written;
            for (std::size_t k = 0; k < classes.size(); ++k) {
                const std::span<const char32_t> alike = classes.at(k);
                const bool hit = std::any_of(
                    alike.begin(), alike.end(), [&written](char32_t m) { return inMerged(written, m); });
                if (hit) {
                    for (const char32_t m : alike)
                        set.emplace_back(m, m);
                }
            }
            appendBracket(re, std::move(set), t.negated);
            break;
        }
        }
    }
    if (anchorEnd)
        re += QLatin1Char('$');
    return re;
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
