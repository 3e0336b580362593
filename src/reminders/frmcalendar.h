#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;

namespace bm
{

// " Calendar": a day is chosen, then a booking or a reminder is started on
// it; the calendar closes after either.
class FrmCalendar : public QWidget
{
    Q_OBJECT
public:
    explicit FrmCalendar(QWidget *parent = nullptr);

    QCalendarWidget *monthView() const { return m_monthView1; }
    QDate chosenDate() const;

    void cmdBookingClick();
    void cmdReminderClick();

private:
    QCalendarWidget *m_monthView1;
};

// Opens the calendar, or brings it forward.
FrmCalendar *openCalendarWindow();

} // namespace bm
