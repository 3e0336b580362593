#pragma once

#include <QRegularExpression>
#include <QString>

namespace bm::test
{

// The server's regular expression in Perl syntax, for the constructs
// serverRegex() writes: \uXXXX and \UXXXXXXXX become \x{...}, and $ outside a
// list the very end of the text (Perl's $ also matches before a final line
// break). . and [^...] match line breaks in both once DotMatchesEverything is
// set.
inline QRegularExpression asPerl(const QString &re)
{
    QString out;
    bool inList = false;
    for (qsizetype i = 0; i < re.size(); ++i) {
        const QChar c = re[i];
        if (c == QLatin1Char('\\') && i + 1 < re.size()) {
            const QChar e = re[i + 1];
            const int digits = e == QLatin1Char('u') ? 4 : e == QLatin1Char('U') ? 8 : 0;
            if (digits) {
                out += QStringLiteral("\\x{") + re.mid(i + 2, digits) + QLatin1Char('}');
                i += 1 + digits;
            } else {
                out += c;
                out += e;
                ++i;
            }
        } else if (c == QLatin1Char('[') && !inList) {
            inList = true;
            out += c;
        } else if (c == QLatin1Char(']') && inList) {
            inList = false;
            out += c;
        } else if (c == QLatin1Char('$') && !inList) {
            out += QStringLiteral("\\z");
        } else {
            out += c;
        }
    }
    return QRegularExpression(out, QRegularExpression::DotMatchesEverythingOption);
}

} // namespace bm::test
