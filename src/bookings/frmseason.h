#pragma once

#include "domain/season.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class QChart;

namespace bm
{

class ChartPanel;

// "Season Summary": the chosen year at a glance beside the year before
// (trips, income, fish per species and per phase of the moon, the best lures
// per lake and month) and the bookings that still owe money, of every
// booking or, in a lodge of several guides, of one guide's. Reads the
// bookings again whenever they or the roster change.
class FrmSeason : public QWidget
{
    Q_OBJECT
public:
    explicit FrmSeason(QWidget *parent = nullptr);

    int year() const { return m_summary.year; }
    void chooseYear(int year); // adds the year to the list when it has no bookings
    // The guide whose bookings the figures are of; empty: every booking (one
    // guide or none on the roster, or "All guides" chosen).
    QString guide() const;
    // Chooses a guide of the list by name (empty: all guides); false when
    // the list has no such guide.
    bool chooseGuide(const QString &name);
    const season::Summary &summary() const { return m_summary; }
    const season::MoneyOwed &owed() const { return m_owed; }

    // The chart of the page shown, as a PNG file the user names.
    void saveChart();
    // The whole summary in the print preview, to print or save as PDF.
    void printSummary();
    // Shows the booking of a row of the money owed in the main window.
    void showOwedBooking(int row);
    // Reads the years and the chosen year's figures again.
    void reread();

private:
    QWidget *chartPage(const QString &pageName, const QString &chartName, ChartPanel *&panel);
    QWidget *luresPage();
    QWidget *owedPage();
    void fillYears();
    // Reads the roster again: several guides show the choice of one.
    void readGuides();
    void showYear();
    void showFigures();
    void showOwed();
    void failed(const Status &status);
    // The chart of the page shown and its name for a file; nullptr on a
    // page without one, or while it has no data.
    ChartPanel *shownChart(QString *name = nullptr) const;
    QChart *makeChart(const ChartPanel *panel) const; // a new one, the caller's

    season::Summary m_summary;
    season::MoneyOwed m_owed;
    bool m_filling = false;
    bool m_reported = false; // a failure was told since the last command

    QComboBox *m_year;
    QWidget *m_guideBox = nullptr; // fraGuide: the choice of a guide, hidden with one guide or none
    QLabel *m_guideCaption; // lblGuide
    QComboBox *m_guide; // cboGuide
    QLabel *m_headline;
    QLabel *m_leftOut;
    QTabWidget *m_tabs;
    ChartPanel *m_trips = nullptr;
    ChartPanel *m_income = nullptr;
    ChartPanel *m_species = nullptr;
    ChartPanel *m_moon = nullptr;
    QStandardItemModel *m_lures = nullptr;
    QSortFilterProxyModel *m_luresSorted = nullptr;
    QTableView *m_lureGrid = nullptr;
    QLabel *m_luresNote = nullptr;
    QStandardItemModel *m_owedRows = nullptr;
    QTableView *m_owedGrid = nullptr;
    QLabel *m_owedTotal = nullptr;
    QPushButton *m_saveChart;
};

} // namespace bm
