#include "recordform/datepicker.h"

#include "core/dates.h"
#include "platform/shell.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QKeyEvent>

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
    if (QCalendarWidget *calendar = calendarWidget())
        calendar->installEventFilter(this);
}

void DatePicker::setValue(const QDate &d)
{
    setDate(d.isValid() ? d : noDate);
}

QDate DatePicker::value() const
{
    return isEmpty() ? QDate() : date();
}

// A picker without a date begins at today's date when the user starts to
// type or step in it, its first part selected so that typing replaces it.
void DatePicker::startFromToday()
{
    setDate(platform::today());
    setCurrentSectionIndex(0);
    setSelectedSection(currentSection());
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    if (isEmpty() && !isReadOnly()) {
        const int key = event->key();
        const bool step
            = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
        const QString text = event->text();
        const bool typing = !text.isEmpty() && text.at(0).isLetterOrNumber()
            && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (step && !(event->modifiers() & Qt::AltModifier)) {
            startFromToday();
            event->accept();
            return;
        }
        if (typing)
            startFromToday();
    }
    QDateEdit::keyPressEvent(event);
}

// The calendar of a picker without a date opens on the present month, not
// on the month that stands for "no date".
bool DatePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched == calendarWidget() && isEmpty()) {
        const QDate today = platform::today();
        calendarWidget()->setCurrentPage(today.year(), today.month());
    }
    return QDateEdit::eventFilter(watched, event);
}

} // namespace bm
