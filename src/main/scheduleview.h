#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace bm
{
class RecordSource;
class ScheduleModel;

// The schedule view of the main window: every booking in a grid, with the
// sort and print commands and the trips count. The grid stands on the
// current booking; choosing a row makes it the current booking.
class ScheduleView : public QWidget
{
    Q_OBJECT
public:
    ScheduleView(RecordSource &datBookings, QWidget *parent);

    // The trips count: the bookings followed by " Trips are Scheduled".
    void rewriteCount();
    QTableView *grid() const { return m_grid; }
    QLabel *countLabel() const { return m_count; }
    ScheduleModel *model() const { return m_model; }

private:
    void cmdDateClick();
    void cmdLakeClick();
    void cmdPrintschedClick();
    void cmdAddbookingClick();

    // The bookings were read again: the grid shows them in their order.
    void reread();
    // The grid's selection follows the current booking, and the other way.
    void showCurrent();
    void rowChosen(int row);

    RecordSource &m_bookings;
    ScheduleModel *m_model;
    QTableView *m_grid;
    QPushButton *m_cmdDate;
    QPushButton *m_cmdLake;
    QPushButton *m_cmdPrintsched;
    QPushButton *m_cmdAddbooking;
    QLabel *m_count;
};

} // namespace bm
