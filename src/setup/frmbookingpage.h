#pragma once

#include "domain/pagesettings.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace bm
{

class DatePicker;

// "Booking Page": what the booking page offers clients: the season, the
// days worked and the page's limits, the trips offered and the days off.
// The window shows the page as read; Save writes what the guide changed
// and closes, Cancel closes without writing, and closing it otherwise with
// changes asks whether to save them.
class FrmBookingPage : public QWidget
{
    Q_OBJECT
public:
    explicit FrmBookingPage(QWidget *parent = nullptr);

    // Whether anything shown differs from the page as read.
    bool hasChanges() const;
    // Checks and writes the changes; false (after telling the guide) when
    // something typed can not be kept or the page could not be written.
    bool save();

    QTableWidget *tripsGrid() const { return m_trips; }
    QTableWidget *daysOffGrid() const { return m_daysOff; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *makeSettings();
    QWidget *makeTrips();
    QWidget *makeDaysOff();
    // Reads the page and the pick-lists again and shows them.
    void load();
    void showPage(const bookingpage::Page &page);
    void addTripRow(const bookingpage::Trip &trip);
    void addDayOffRow(const bookingpage::DayOff &day);
    // Every value as shown, to tell a change.
    QStringList shownValues() const;
    // The page as the guide left it, or false after saying what can not be
    // kept and showing where.
    bool readPage(bookingpage::Page &page);
    bool refuse(QTableWidget *grid, int row, int column, const QString &message);
    void commitOpenEdits();
    void followChanges(const QString &location, const QString &table);

    QLabel *m_fileNote; // lblFileNote
    DatePicker *m_seasonStart; // dtpSeasonStart
    DatePicker *m_seasonEnd; // dtpSeasonEnd
    QList<QCheckBox *> m_weekdays; // chkMonday ... chkSunday
    QSpinBox *m_tripsPerGuide; // spnTripsPerGuide
    QSpinBox *m_noticeDays; // spnNoticeDays
    QSpinBox *m_daysAhead; // spnDaysAhead
    QSpinBox *m_cancelDays; // spnCancelDays
    QTableWidget *m_trips; // grdTrips
    QTableWidget *m_daysOff; // grdDaysOff
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdHelp;

    bookingpage::Page m_read; // the page as read
    bool m_readOk = false; // whether m_read is the page: without it nothing is saved
    QStringList m_shownAtRead;
    QStringList m_tripTypes; // the Trip Type pick-list
    QStringList m_guides; // the roster's names
    bool m_leaving = false; // Save or Cancel is closing the window
};

} // namespace bm
