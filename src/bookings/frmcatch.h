#pragma once

#include "db/recordsource.h"
#include "domain/catches.h"

#include <QDate>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace bm
{

// "Catch": what each angler of a trip kept and released, site by site and
// day by day, as the state's logbook asks it. One site of one day is shown
// at a time; the list beside it names every site and day recorded, and
// choosing one there, or another day or site above, moves to it (asking
// first about lines not yet saved).
class FrmCatch : public QWidget
{
    Q_OBJECT
public:
    // The grid's columns.
    enum Column { Angler, Species, Kept, Released, Origin, Stage };

    explicit FrmCatch(QWidget *parent = nullptr);

    // Shows the trip the bookmark names, at its first day and the site
    // first recorded that day. False (after telling the user) when the
    // trip can not be read.
    bool openTrip(Bookmark booking);

    // Writes the lines of the day and site shown; false (after telling
    // why) with every typed line kept.
    bool save();
    // Whether lines were changed since they were read or saved.
    bool isChanged() const { return m_changed; }

    // Moves to a day and site, asking about unsaved lines first; false when
    // the guide stays.
    bool moveTo(const QDate &day, const QString &site);

signals:
    // The catch and the trip's results were written.
    void saved();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildChoices();
    QWidget *buildLines();
    void addLine(const catches::Line &line);
    void addNothingCaught();
    void removeLine();
    void lineChanged(int row, int column);
    void askOriginAndStage(int row);
    // Reads the trip's recorded lines and lists them; false after telling.
    bool readRecorded();
    void showSiteDay(const QDate &day, const QString &site);
    QString chosenSite() const;
    QDate chosenDay() const;
    void showChoice(const QDate &day, const QString &site);
    // Asks about unsaved lines: true when they were saved or may go.
    bool mayLeave();
    QList<catches::TypedLine> typedLines() const;

    Bookmark m_booking;
    QString m_lake;
    QLabel *m_trip; // lblTrip
    QComboBox *m_day; // cboDay
    QComboBox *m_site; // cboSite
    QLineEdit *m_water; // txtWater
    QTableWidget *m_recorded; // lstRecorded
    QTableWidget *m_grid; // grdCatch
    QLabel *m_total; // lblTotal
    QStringList m_anglers;
    QStringList m_species;
    QStringList m_origins;
    QStringList m_stages;
    QList<catches::SiteDay> m_siteDays; // as recorded
    QDate m_shownDay; // of the lines in the grid
    QString m_shownSite;
    bool m_changed = false;
    bool m_filling = false; // the window itself fills the grid or the choices
};

} // namespace bm
