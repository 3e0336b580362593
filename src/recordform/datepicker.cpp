#include "recordform/datepicker.h"

#include "data/dates.h"

namespace bm
{

namespace
{
// The lowest date stands for "no date" and shows blank.
const QDate noDate(1752, 9, 14);
} // namespace

DatePicker::DatePicker(QWidget *parent)
    : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(shortDateFormat());
    setMinimumDate(noDate);
    setMaximumDate(QDate(9999, 12, 31));
    setSpecialValueText(QStringLiteral(" "));
    setDate(noDate);
}

void DatePicker::setValue(const QDate &d)
{
    setDate(d.isValid() ? d : noDate);
}

QDate DatePicker::value() const
{
    return isEmpty() ? QDate() : date();
}

} // namespace bm
