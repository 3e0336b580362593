#pragma once

#include "core/status.h"
#include "db/recordsource.h"
#include "platform/help.h"
#include "platform/report.h"

#include <QDate>
#include <QObject>

class QWidget;

namespace bm::platform
{

// What the main window shares with every other window: its two record
// sources (the current contact and booking, which re-read themselves when
// another window writes their table), its report and help components, and
// the main window itself to hide and show. Other windows reach it through
// mainHub() and ask the main window for things through its typed calls.
class MainHub : public QObject
{
    Q_OBJECT
public:
    // The hub of this main window; it is the program's hub while it lives.
    explicit MainHub(QWidget *mainWindow, QObject *parent = nullptr);
    ~MainHub() override;

    RecordSource &datContacts() { return *m_datContacts; }
    RecordSource &datBookings() { return *m_datBookings; }
    HelpComponent &dlgHelp() { return *m_dlgHelp; }
    ReportComponent &report() { return *m_report; }
    QWidget *window() const { return m_window; }

    // Moves the current booking to this one, switches the main window to its
    // bookings panel and brings it to the front. A booking that can not be
    // reached is the failure; the main window stays as it was.
    Status showBooking(Bookmark booking);

signals:
    // The main window is to show its bookings panel.
    void bookingsPanelWanted();

private:
    QWidget *m_window;
    RecordSource *m_datContacts;
    RecordSource *m_datBookings;
    HelpComponent *m_dlgHelp;
    ReportComponent *m_report;
};

// The main window's hub while it exists, else nullptr.
MainHub *mainHub();

// A Help command of any window: the topic through the main window's help
// component.
void showHelpTopic(const QString &topicNumber);

// A print command of any window: the report file of the application folder
// ("contacts.rpt") through the main window's report component. selection
// is bound to the report's :booking, guide to its :guide (empty: none).
void printReport(const QString &reportFileName, Bookmark selection = {}, const QString &guide = {});
// The same of a month's report (the logbook): month is bound to its :month
// as "yyyy-MM" (the month of the date given), guide to its :guide.
void printMonthReport(const QString &reportFileName, const QDate &month, const QString &guide = {});

} // namespace bm::platform
