#pragma once

#include <QLocale>
#include <QMetaType>
#include <QString>

#include <compare>
#include <cstdint>
#include <optional>

namespace bm
{

// A sum of money as a fixed-point value with four decimal places (the
// currency kind of the database). Sums never pass through binary floating
// point.
class Money
{
public:
    static constexpr std::int64_t scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t tenThousandths) { return Money(tenThousandths); }

    // Reads a number written in the locale's number format ("1,250.5", "-3",
    // ".06"); more than four decimals are rounded half away from zero.
    // Anything else, an empty text included, gives no value.
    static std::optional<Money> parse(const QString &text, const QLocale &locale = QLocale());

    // A floating-point result (a product of two amounts) taken as the decimal
    // number its 15 significant digits spell, so 2.675 stays 2.675.
    static std::optional<Money> fromDouble(double value);

    std::int64_t units() const { return m_units; }
    double toDouble() const { return double(m_units) / scale; }

    std::optional<Money> plus(Money other) const; // none on overflow
    std::optional<Money> minus(Money other) const; // none on overflow

    // "###0.00": at least one digit before the point, exactly two after,
    // rounded half away from zero, no thousands separator, leading minus.
    QString format(const QLocale &locale = QLocale()) const;

    // The value with every significant decimal, at least two: 250 -> "250.00",
    // 2.675 -> "2.675". Used where a stored amount is shown for editing.
    QString toString(const QLocale &locale = QLocale()) const;

    auto operator<=>(const Money &) const = default;

private:
    constexpr explicit Money(std::int64_t units)
        : m_units(units)
    {
    }
    std::int64_t m_units = 0;
};

// The "###0.00" reformatting of a box's text: a text that reads as a number
// is rewritten, any other text is given back unchanged.
QString formatAmountText(const QString &text, const QLocale &locale = QLocale());

} // namespace bm

Q_DECLARE_METATYPE(bm::Money)
