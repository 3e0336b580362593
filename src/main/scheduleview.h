#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace bm
{
class RecordSource;

// The schedule view of the main window: every booking in a grid, with the
// sort and print commands and the trips count.
class ScheduleView : public QWidget
{
    Q_OBJECT
public:
    ScheduleView(RecordSource &datBookings, QWidget *parent);

    // The trips count: the bookings followed by " Trips are Scheduled".
    void rewriteCount();
    QTableView *grid() const { return m_grid; }
    QLabel *countLabel() const { return m_count; }

private:
    void cmdDateClick();
    void cmdLakeClick();
    void cmdPrintschedClick();
    void cmdAddbookingClick();

    RecordSource &m_bookings;
    QTableView *m_grid;
    QPushButton *m_cmdDate;
    QPushButton *m_cmdLake;
    QPushButton *m_cmdPrintsched;
    QPushButton *m_cmdAddbooking;
    QLabel *m_count;
};

} // namespace bm
