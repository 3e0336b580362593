#pragma once

// Search patterns with texts and whether they match, shared by the tests of
// every place the search language is evaluated: the matcher over QString and
// over stored UTF-8, and the regular expression run by a PostgreSQL server.

#include <QByteArray>
#include <QString>

#include <vector>

namespace bm::test
{

struct FilterCase {
    const char *name;
    QString pattern;
    QByteArray text; // UTF-8 bytes, some of them deliberately broken
    bool expected;
};

// A server text column holds only well-formed UTF-8 without NUL; the other
// cases concern stored bytes alone.
inline bool serverCanHold(const QByteArray &text)
{
    return !text.contains('\0') && QString::fromUtf8(text).toUtf8() == text;
}

inline std::vector<FilterCase> filterCases()
{
    const auto p = [](const char *utf8) { return QString::fromUtf8(utf8); };
    const char32_t everything[] = { U'[', 0, U'-', 0x10FFFF, U']' };
    const QString all = QString::fromUcs4(everything, 5);
    const QString nul(QChar(0));
    return {
        // "*word*", searched over the bytes
        { "word: long s is s", p("*s*"), "ſ", true },
        { "word: long s, capital pattern", p("*S*"), "ſ", true },
        { "word: Kelvin sign is k", p("*k*"), "\xE2\x84\xAA", true },
        { "word: letters folded in the middle", p("*ask*"), "BA\xC5\xBF\xE2\x84\xAA", true },
        { "word: same lead byte, other letter", p("*s*"), "Ŝ", false },
        { "word: Kelvin lead byte, euro sign", p("*k*"), "€", false },
        { "word: sharp s is not ss", p("*ss*"), "ß", false },
        { "word: capital sharp s", p("*ß*"), "ẞ", true },
        { "word: dotted capital I is not i", p("*i*"), "İ", false },
        { "word: after a broken byte", p("*xy*"), "\xF0xy", true },
        { "word: plain miss in accented text", p("*bass*"), "Big Pike été", false },
        { "word: hit in accented text", p("*PIKE*"), "Big Pike été", true },
        // lists and ranges whose ends differ in case
        { "range: capital below a", p("[0-a]"), "B", true },
        { "range: letter whose capital is below a", p("[0-a]"), "z", true },
        { "range: brace above a", p("[0-a]"), "{", false },
        { "range: star to a", p("[*-a]"), "q", true },
        { "range: star to a, tilde", p("[*-a]"), "~", false },
        { "range: negated, letter inside", p("[!A-c]"), "b", false },
        { "range: negated, capital inside", p("[!A-c]"), "z", false },
        { "range: negated, brace", p("[!A-c]"), "{", true },
        { "range: Kelvin sign in a-z", p("[a-z]"), "\xE2\x84\xAA", true },
        { "range: long s in A-Z", p("[A-Z]"), "ſ", true },
        { "range: negated, Kelvin sign", p("[!a-z]"), "\xE2\x84\xAA", false },
        { "range: s through the long s", p("[Ā-ſ]"), "S", true },
        { "range: y through its capital", p("[Ā-ſ]"), "ÿ", true },
        { "list: k through the Kelvin sign", p("[\xE2\x84\xAA]"), "k", true },
        { "list: micro sign and capital mu", p("[µ]"), "Μ", true },
        { "list: dotless i is its own", p("[i]"), "ı", false },
        { "range: every character", all, "\xF4\x8F\xBF\xBF", true },
        { "range: every character, line break", all, "\n", true },
        { "range: every character needs one", all, "", false },
        // UTF-8 cut short or malformed: one U+FFFD per byte, then on
        { "utf8: cut short lead, tail kept", p("*xy"), "abc\xF0xy", true },
        { "utf8: cut short lead is one character", p("abc?xy"), "abc\xF0xy", true },
        { "utf8: cut short at the end", p("ab??"), "ab\xF0\x9F", true },
        { "utf8: cut short at the end, one too few", p("ab?"), "ab\xF0\x9F", false },
        { "utf8: four bytes are one character", p("a?b"),
            "a\xF0\x9F\x98\x80"
            "b",
            true },
        { "utf8: overlong form", p("a??b"),
            "a\xC0\xAF"
            "b",
            true },
        { "utf8: encoded surrogate", p("a???b"),
            "a\xED\xA0\x80"
            "b",
            true },
        { "utf8: stray continuation", p("*\xEF\xBF\xBD"), "a\x80", true },
        { "utf8: bad byte, then a digit", p("?#"),
            "\xFF"
            "7",
            true },
        // what a regular expression would read as special
        { "line break: question mark", p("a?b"), "a\nb", true },
        { "line break: star", p("a*"), "a\nb", true },
        { "line break: not at the end", p("a"), "a\n", false },
        { "line break: negated list", p("[!x]"), "\n", true },
        { "digit: ASCII only", p("#"), "٣", false },
        { "dot is literal", p("a.c"), "abc", false },
        { "dot matches dot", p("a.c"), "a.c", true },
        { "dot between stars", p("*.*"), "xy", false },
        { "plus is literal", p("a+"), "aa", false },
        { "braces are literal", p("a{2}"), "aa", false },
        { "group is literal", p("(a|b)"), "a", false },
        { "group matches itself", p("(a|b)"), "(A|B)", true },
        { "anchors are literal", p("$^"), "$^", true },
        { "backslash is literal", p("\\d"), "5", false },
        { "backslash matches backslash", p("\\d"), "\\D", true },
        { "options are literal", p("(?i)a"), "(?I)A", true },
        { "list: bracket", p("[[]"), "[", true },
        { "list: class name is letters", p("[[:alpha:]]"), ":]", true },
        { "list: class name, other letter", p("[[:alpha:]]"), "b]", false },
        { "list: caret", p("[^]"), "^", true },
        { "list: caret is not negation", p("[^]"), "a", false },
        { "list: backslash", p("[\\]"), "\\", true },
        { "list: range from backslash to caret", p("[\\-^]"), "]", true },
        { "list: range from backslash to caret, letter", p("[\\-^]"), "a", false },
        { "list: dash last", p("[a-]"), "-", true },
        { "empty list then bracket", p("[]]"), "]", true },
        { "empty list alone", p("[]"), "", true },
        { "empty negated list is one character", p("[!]"), "", false },
        { "empty negated list, line break", p("[!]"), "\n", true },
        { "empty negated list then bracket", p("[!]]"), "x]", true },
        { "literal stars", p("[*]**"), "*x", true },
        { "NUL in the pattern", nul, "a", false },
        { "star alone", p("*"), "", true },
        { "stars around nothing", p("***"), "line\nbreak", true },
        // folding beyond Latin
        { "final sigma", p("σ"), "ς", true },
        { "capital sigma", p("*ς*"), "ΟΔΟΣ", true },
        { "Deseret capital", p("𐐀"), "𐐨", true },
    };
}

} // namespace bm::test
