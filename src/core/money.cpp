#include "core/money.h"

#include <cmath>
#include <limits>

namespace bm
{

namespace
{

constexpr std::int64_t maxUnits = std::numeric_limits<std::int64_t>::max();

// Reads [sign] digits [point digits] with the given separators. Group
// separators are allowed only between groups of three digits before the point.
std::optional<Money> parseDecimal(QStringView s, QChar point, QChar group, QChar minus, QChar plus)
{
    s = s.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (s.front() == minus || s.front() == QLatin1Char('-')) {
        negative = true;
        s = s.mid(1);
    } else if (s.front() == plus || s.front() == QLatin1Char('+')) {
        s = s.mid(1);
    }
    QString intDigits, fracDigits;
    qsizetype i = 0;
    int sinceGroup = -1; // digits since the last group separator, -1 before any
    for (; i < s.size() && s[i] != point; ++i) {
        const QChar c = s[i];
        if (c.isDigit() && c.unicode() < 128) {
            intDigits.append(c);
            if (sinceGroup >= 0)
                ++sinceGroup;
        } else if (c == group && !group.isNull()) {
            if (intDigits.isEmpty() || (sinceGroup >= 0 && sinceGroup != 3)
                || (sinceGroup < 0 && intDigits.size() > 3))
                return std::nullopt;
            sinceGroup = 0;
        } else {
            return std::nullopt;
        }
    }
    if (sinceGroup >= 0 && sinceGroup != 3)
        return std::nullopt;
    if (i < s.size()) { // at the point
        for (++i; i < s.size(); ++i) {
            const QChar c = s[i];
            if (!(c.isDigit() && c.unicode() < 128))
                return std::nullopt;
            fracDigits.append(c);
        }
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        return std::nullopt;

    // Whole part, then four decimals, then the rounding digit.
    std::int64_t units = 0;
    for (QChar c : intDigits) {
        const int d = c.digitValue();
        if (units > (maxUnits / Money::scale - d) / 10)
            return std::nullopt; // the whole part would not fit beside four decimals
        units = units * 10 + d;
    }
    units *= Money::scale;
    std::int64_t frac = 0;
    for (int k = 0; k < 4; ++k)
        frac = frac * 10 + (k < fracDigits.size() ? fracDigits[k].digitValue() : 0);
    if (units > maxUnits - frac - 1)
        return std::nullopt;
    units += frac;
    if (fracDigits.size() > 4 && fracDigits[4].digitValue() >= 5)
        ++units; // half away from zero: the sign is applied after
    return Money::fromUnits(negative ? -units : units);
}

} // namespace

std::optional<Money> Money::parse(const QString &text, const QLocale &locale)
{
    const QChar group = (locale.numberOptions() & QLocale::RejectGroupSeparator)
        ? QChar()
        : locale.groupSeparator().front();
    return parseDecimal(text, locale.decimalPoint().front(), group, locale.negativeSign().front(),
        locale.positiveSign().front());
}

std::optional<Money> Money::fromDouble(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 9.0e14)
        return std::nullopt;
    // 15 significant digits, written out without an exponent.
    QString text = QString::number(value, 'g', 15);
    if (text.contains(QLatin1Char('e'))) {
        const int decimals = std::max(0, 14 - int(std::floor(std::log10(std::fabs(value)))));
        text = QString::number(value, 'f', std::min(decimals, 20));
    }
    return parseDecimal(text, QLatin1Char('.'), QChar(), QLatin1Char('-'), QLatin1Char('+'));
}

std::optional<Money> Money::plus(Money other) const
{
    std::int64_t r;
    if (__builtin_add_overflow(m_units, other.m_units, &r))
        return std::nullopt;
    return Money(r);
}

std::optional<Money> Money::minus(Money other) const
{
    std::int64_t r;
    if (__builtin_sub_overflow(m_units, other.m_units, &r))
        return std::nullopt;
    return Money(r);
}

QString Money::format(const QLocale &locale) const
{
    const bool negative = m_units < 0;
    // Magnitude in ten-thousandths as unsigned, so the minimum value works too.
    std::uint64_t mag = negative ? std::uint64_t(0) - std::uint64_t(m_units) : std::uint64_t(m_units);
    std::uint64_t cents = mag / 100 + ((mag % 100) >= 50 ? 1 : 0);
    const QString whole = QString::number(cents / 100);
    const QString frac = QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
    const bool zero = cents == 0;
    return (negative && !zero ? locale.negativeSign() : QString()) + whole + locale.decimalPoint() + frac;
}

QString Money::toString(const QLocale &locale) const
{
    const bool negative = m_units < 0;
    std::uint64_t mag = negative ? std::uint64_t(0) - std::uint64_t(m_units) : std::uint64_t(m_units);
    QString frac = QStringLiteral("%1").arg(mag % scale, 4, 10, QLatin1Char('0'));
    while (frac.size() > 2 && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    return (negative ? locale.negativeSign() : QString()) + QString::number(mag / scale)
        + locale.decimalPoint() + frac;
}

QString formatAmountText(const QString &text, const QLocale &locale)
{
    const std::optional<Money> m = Money::parse(text, locale);
    return m ? m->format(locale) : text;
}

} // namespace bm
