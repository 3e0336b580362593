#include "reminders/frmcalendar.h"

#include "bookings/bookingwindows.h"
#include "platform/shell.h"
#include "platform/windows.h"
#include "reminders/frmaddreminder.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

FrmCalendar::FrmCalendar(QWidget *parent)
    // No maximise button.
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_monthView1(new QCalendarWidget(this))
{
    setObjectName(QStringLiteral("frmCalendar"));
    setWindowTitle(QStringLiteral(" Calendar"));

    auto *instruction = new QLabel(QStringLiteral("Select a Date and then choose an option below."), this);
    instruction->setObjectName(QStringLiteral("lblInstruction"));
    m_monthView1->setObjectName(QStringLiteral("MonthView1"));
    m_monthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_monthView1->setGridVisible(true);
    const QDate today = platform::today();
    m_monthView1->setSelectedDate(today);
    m_monthView1->setCurrentPage(today.year(), today.month());

    auto *buttons = new QHBoxLayout;
    const auto addButton = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton *booking = addButton("cmdBooking", QStringLiteral("Schedule a &Booking"));
    QPushButton *reminder = addButton("cmdReminder", QStringLiteral("Schedule a &Reminder"));
    QPushButton *close = addButton("cmdClose", QStringLiteral("&Close"));

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(instruction);
    layout->addWidget(m_monthView1);
    layout->addLayout(buttons);

    connect(booking, &QPushButton::clicked, this, &FrmCalendar::cmdBookingClick);
    connect(reminder, &QPushButton::clicked, this, &FrmCalendar::cmdReminderClick);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

QDate FrmCalendar::chosenDate() const
{
    return m_monthView1->selectedDate();
}

// A new booking with its trip date and deposit date on the chosen day.
void FrmCalendar::cmdBookingClick()
{
    openNewBooking(chosenDate());
    close();
}

// A new reminder on the chosen day, ready for its text. An entry the editor
// already holds is left as it is, and the calendar stays for another try.
void FrmCalendar::cmdReminderClick()
{
    FrmAddreminder *editor = openReminderEditor();
    if (editor->startNew(chosenDate()))
        close();
}

FrmCalendar *openCalendarWindow()
{
    return platform::showWindow<FrmCalendar>();
}

} // namespace bm
