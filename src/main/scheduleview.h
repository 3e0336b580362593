#pragma once

#include <QStyledItemDelegate>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace bm
{
class RecordSource;
class ScheduleModel;

// How the schedule grid marks a booking's state: a client's request the
// guide has not answered stands in italics, with "(requested)" after the
// client's name; a cancelled trip is struck out and greyed.
class ScheduleMarks : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // A cell's look as it is painted.
    QStyleOptionViewItem look(const QModelIndex &index) const;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

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

    // Whether the lodge has several guides: then the grid shows each
    // booking's guide and the board can show one guide's trips.
    bool severalGuides() const { return m_severalGuides; }
    // Reads the roster again (it follows the Guides table by itself).
    void readGuides();

signals:
    // The Guide column came or went: the columns' widths are laid again.
    void columnsChanged();

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
    void guideChosen(int index);

    RecordSource &m_bookings;
    ScheduleModel *m_model;
    QTableView *m_grid;
    QPushButton *m_cmdDate;
    QPushButton *m_cmdLake;
    QPushButton *m_cmdPrintsched;
    QPushButton *m_cmdAddbooking;
    QLabel *m_count;
    QLabel *m_guideCaption;
    QComboBox *m_cboGuide;
    bool m_severalGuides = false;
    bool m_rosterFailed = false; // said once until the roster is read again
};

} // namespace bm
