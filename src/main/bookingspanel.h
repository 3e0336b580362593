#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTabWidget;

namespace bm
{
class FieldBinder;
class RecordForm;
class RecordSource;
class ScheduleModel;

// The bookings panel of the main window: the list of booking dates, the
// current booking's fields on two tab pages, the booking commands, and the
// bookings count.
class BookingsPanel : public QWidget
{
    Q_OBJECT
public:
    BookingsPanel(RecordSource &datBookings, QWidget *parent);

    // The record count followed by " Bookings are Saved".
    void rewriteCount();
    QLabel *countLabel() const { return m_count; }
    QListView *dateList() const { return m_list; }

private:
    QWidget *tripPage();
    QWidget *customerPage();
    QLineEdit *fieldBox(QWidget *page, const QString &name, const QString &fieldName);

    // The booking commands, and the e-mail button of the customer page.
    void editBooking();
    void deleteBooking();
    void printBooking();
    void printManifest();
    void emailCustomer();
    // The windows of the trip's results, its invoice and its pictures.
    void addTripResults();
    void showInvoice();
    void viewPictures();

    void reread();
    void showCurrent();
    // The line under the e-mail address while the mail server refuses the
    // current booking's client.
    void showMailRefused();
    void dateChosen(int row);

    RecordSource &m_source;
    FieldBinder *m_binder;
    ScheduleModel *m_dates;
    QListView *m_list;
    QLabel *m_count;
    QTabWidget *m_tabs;
    QLineEdit *m_tripDate = nullptr;
    QLineEdit *m_customer = nullptr;
    QLineEdit *m_email = nullptr;
    QLabel *m_mailRefused = nullptr;
    RecordForm *m_form = nullptr;
};

} // namespace bm
