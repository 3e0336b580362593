#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace bm::filter
{

// A LIKE pattern: * any characters, ? one character, # one digit, [abc] and
// [!abc] (with ranges a-z) one character of a list. Letters compare without
// regard to case.
class Pattern
{
public:
    static std::optional<Pattern> compile(QStringView text, QString *error = nullptr);

    bool matches(QStringView text) const;
    bool matchesUtf8(const char *text, std::size_t length) const;

private:
    struct Token {
        enum Kind { Literal, AnyOne, Digit, AnyMany, Set } kind;
        char32_t ch = 0; // Literal (folded)
        bool negated = false; // Set
        std::vector<std::pair<char32_t, char32_t>> ranges; // Set (folded)
    };
    bool matchToken(const Token &t, char32_t c) const;
    bool matchFolded(const std::u32string &text) const;
    template <class Text> bool matchText(const Text &at, std::size_t size) const;
    bool containsNeedle(const unsigned char *text, std::size_t length) const;
    std::vector<Token> m_tokens;
    std::string m_needle; // set for "*word*" with a plain ASCII word
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
