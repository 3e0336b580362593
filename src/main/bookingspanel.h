#pragma once

#include <QWidget>

class QLabel;

namespace bm
{
class RecordSource;

// The bookings panel of the main window: the list of booking dates, the
// current booking's fields and the booking commands, with the bookings count.
class BookingsPanel : public QWidget
{
    Q_OBJECT
public:
    BookingsPanel(RecordSource &datBookings, QWidget *parent);

    // The record count followed by " Bookings are Saved".
    void rewriteCount();
    QLabel *countLabel() const { return m_count; }

private:
    RecordSource &m_source;
    QLabel *m_count;
};

} // namespace bm
