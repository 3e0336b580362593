#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace bm::filter
{

// A LIKE pattern: * any characters, ? one character, # one digit (0-9), [abc]
// and [!abc] (with ranges a-z) one character of a list. Letters compare
// without regard to case by simple Unicode case folding: a character matches
// if it, or any character that folds alike, would match ([!...] is the
// complement of the same list without the !). [] matches the empty string and
// [!] any one character.
class Pattern
{
public:
    static std::optional<Pattern> compile(QStringView text, QString *error = nullptr);

    bool matches(QStringView text) const;
    // UTF-8 bytes as stored; an invalid or cut-short sequence reads as one
    // U+FFFD per byte that does not fit.
    bool matchesUtf8(const char *text, std::size_t length) const;

    // The same test as a PostgreSQL advanced regular expression, for the
    // case-sensitive ~ operator on text in a UTF-8 database: it matches
    // exactly the texts this pattern matches. Case is spelled out (s becomes
    // [Ssſ]) rather than left to ~*, whose folding follows the server's
    // locale. Leading and trailing * leave the search unanchored.
    QString serverRegex() const;

private:
    struct Token {
        enum Kind { Literal, AnyOne, Digit, AnyMany, Set } kind;
        char32_t ch = 0; // Literal (folded)
        bool negated = false; // Set
        std::vector<std::pair<char32_t, char32_t>> ranges; // Set, as written
    };
    bool matchToken(const Token &t, char32_t c) const;
    bool matchFolded(const std::u32string &text) const;
    template <class Text> bool matchText(const Text &at, std::size_t size) const;
    bool containsNeedle(const unsigned char *text, std::size_t length) const;
    std::vector<Token> m_tokens;
    std::string m_needle; // set for "*word*" with a plain ASCII word
    // First UTF-8 bytes of the non-ASCII characters that fold to a letter of
    // m_needle (U+017F for s, U+212A for k): only a text holding one of them
    // needs more than the byte search.
    std::string m_needleLeads;
};

// A filter expression: Field LIKE 'pattern', the field bare or in square
// brackets, keyword and field name without regard to case.
struct Expression {
    QString field; // the field's exact name
    QString patternText; // the pattern as written between the quotes
    Pattern pattern;
};

// Parses an expression against the fields a record source has. Anything
// else (an unknown field, an unterminated quote, text after the closing
// quote, an unclosed bracket) is rejected with a message.
std::optional<Expression> parse(QStringView text, const QStringList &fields, QString *error = nullptr);

} // namespace bm::filter
