#pragma once

#include "core/money.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace bm::invoice
{

// The text of the invoice's boxes that take part in its computation: the
// six inputs and the six results.
struct Boxes {
    QString gsQty; // guide service quantity
    QString gsPrice; // guide service price
    QString goodsQty;
    QString goodsCost;
    QString deposit;
    QString taxRate; // a fraction: ".06" is six percent

    QString gsTotal;
    QString goodsTotal;
    QString subTotal;
    QString lessDeposit;
    QString tax;
    QString chargeTotal;
};

// The input boxes in the order Save checks them for being empty.
enum class Input { GsQty, GsPrice, GoodsQty, GoodsCost, Deposit, TaxRate };

// The first input box that is exactly empty, if any.
std::optional<Input> firstEmpty(const Boxes &boxes);

// The sums of money, in fixed point; none on overflow.
// The sub total: the guide service total plus the goods total.
std::optional<Money> subTotal(Money gsTotal, Money goodsTotal);
// The charge total: the amount left after the deposit plus the tax.
std::optional<Money> chargeTotal(Money lessDeposit, Money tax);

// Computes the six results in order. Each step reads the text of the boxes
// (earlier results as they were reformatted to "###0.00", so every
// intermediate total is rounded to cents) and writes its result before the
// next step runs. Returns false at the first step whose inputs do not read
// as numbers or whose result overflows; the results written before it stay.
bool compute(Boxes &boxes, const QLocale &locale = QLocale());

} // namespace bm::invoice
