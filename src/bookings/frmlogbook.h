#pragma once

#include "domain/logbook.h"

#include <QDate>
#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace bm
{

// "Logbook": the state's logbook of one month, as the guide sends it: every
// site fished on every day of every trip with the party and its catch, and
// what a page would lack (a licence number, a site code, a day without
// catch...). A problem double-clicked opens its trip. It prints one page
// per trip-day and saves the month as CSV, and reads again whenever a
// booking, a party, the catch, the roster or the site codes change.
class FrmLogbook : public QWidget
{
    Q_OBJECT
public:
    explicit FrmLogbook(QWidget *parent = nullptr);

    // The month shown (its first day); chooseMonth() takes any day of it.
    QDate month() const;
    void chooseMonth(const QDate &month);
    // The guide whose trips are shown; empty: every guide's.
    QString guide() const;
    bool chooseGuide(const QString &name); // false: not in the list
    const logbook::Month &logged() const { return m_logged; }

    void reread();
    void printLogbook();
    void saveCsv();
    // Moves the main window to the trip of a problem and opens its booking.
    void openProblem(int row);

private:
    void fillMonths();
    void readGuides();
    void showRows();
    void failed(const Status &status);

    logbook::Month m_logged;
    bool m_filling = false;
    bool m_reported = false; // a failure was told since the last reading that worked

    QComboBox *m_month; // cboMonth
    QWidget *m_guideBox; // fraGuide
    QComboBox *m_guide; // cboGuide
    QStandardItemModel *m_rows;
    QTableView *m_grid; // grdLogbook
    QLabel *m_problemCount; // lblProblems
    QListWidget *m_problems; // lstProblems
};

} // namespace bm
