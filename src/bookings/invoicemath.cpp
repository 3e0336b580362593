#include "bookings/invoicemath.h"

#include <cmath>

namespace bm::invoice
{

namespace
{

std::optional<double> number(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A floating-point result written into its box and reformatted "###0.00".
bool put(QString &box, std::optional<double> value, const QLocale &locale)
{
    if (!value)
        return false;
    const std::optional<Money> m = Money::fromDouble(*value);
    if (!m)
        return false;
    box = m->format(locale);
    return true;
}

bool put(QString &box, std::optional<Money> value, const QLocale &locale)
{
    if (!value)
        return false;
    box = value->format(locale);
    return true;
}

std::optional<double> product(const QString &a, const QString &b, const QLocale &locale)
{
    const auto x = number(a, locale);
    const auto y = number(b, locale);
    if (!x || !y)
        return std::nullopt;
    return *x * *y;
}

using Adder = std::optional<Money> (*)(Money, Money);

std::optional<Money> sum(Adder add, const QString &a, const QString &b, const QLocale &locale)
{
    const auto x = Money::parse(a, locale);
    const auto y = Money::parse(b, locale);
    if (!x || !y)
        return std::nullopt;
    return add(*x, *y);
}

} // namespace

std::optional<Input> firstEmpty(const Boxes &b)
{
    const std::pair<const QString *, Input> order[] = { { &b.gsQty, Input::GsQty },
        { &b.gsPrice, Input::GsPrice }, { &b.goodsQty, Input::GoodsQty }, { &b.goodsCost, Input::GoodsCost },
        { &b.deposit, Input::Deposit }, { &b.taxRate, Input::TaxRate } };
    for (const auto &[text, input] : order)
        if (text->isEmpty())
            return input;
    return std::nullopt;
}

std::optional<Money> subTotal(Money gsTotal, Money goodsTotal)
{
    return gsTotal.plus(goodsTotal);
}

std::optional<Money> chargeTotal(Money lessDeposit, Money tax)
{
    return lessDeposit.plus(tax);
}

bool compute(Boxes &b, const QLocale &locale)
{
    if (!put(b.gsTotal, product(b.gsPrice, b.gsQty, locale), locale))
        return false;
    if (!put(b.goodsTotal, product(b.goodsCost, b.goodsQty, locale), locale))
        return false;
    if (!put(b.subTotal, sum(subTotal, b.gsTotal, b.goodsTotal, locale), locale))
        return false;
    const auto sub = number(b.subTotal, locale);
    const auto deposit = number(b.deposit, locale);
    if (!put(b.lessDeposit, sub && deposit ? std::optional<double>(*sub - *deposit) : std::nullopt, locale))
        return false;
    if (!put(b.tax, product(b.subTotal, b.taxRate, locale), locale))
        return false;
    return put(b.chargeTotal, sum(chargeTotal, b.lessDeposit, b.tax, locale), locale);
}

} // namespace bm::invoice
