#include "platform/mainhub.h"

#include "core/apppaths.h"
#include "platform/follow.h"
#include "platform/windows.h"
#include "schema/fields.h"

namespace bm::platform
{

namespace
{
MainHub *hub = nullptr;
}

MainHub::MainHub(QWidget *mainWindow, QObject *parent)
    : QObject(parent)
    , m_window(mainWindow)
    , m_datContacts(new RecordSource(QStringLiteral("DatContacts"), table::Phone, this))
    , m_datBookings(new RecordSource(QStringLiteral("DatBookings"), table::Booking, this))
    , m_dlgHelp(new HelpComponent(this))
    , m_report(new ReportComponent(this))
{
    setObjectName(QStringLiteral("hubMain"));
    m_dlgHelp->setObjectName(QStringLiteral("dlgHelp"));
    m_dlgHelp->setHelpFile(appFile(QStringLiteral("tallow.hlp")));
    m_report->setObjectName(QStringLiteral("rptMain"));
    // Whatever another window writes, the current contact and booking and
    // every view of them are read again.
    followTable(*m_datContacts);
    followTable(*m_datBookings);
    hub = this;
}

MainHub::~MainHub()
{
    if (hub == this)
        hub = nullptr;
}

Status MainHub::showBooking(Bookmark booking)
{
    if (Status s = m_datBookings->setBookmark(booking); !s)
        return s;
    emit bookingsPanelWanted();
    bringToFront(m_window);
    return Status::ok();
}

MainHub *mainHub()
{
    return hub;
}

void showHelpTopic(const QString &topicNumber)
{
    if (hub)
        hub->dlgHelp().showTopic(topicNumber);
}

void printReport(const QString &reportFileName, Bookmark selection, const QString &guide)
{
    if (!hub)
        return;
    ReportComponent &r = hub->report();
    r.setReportFileName(appFile(reportFileName));
    r.setSelection(selection);
    r.setGuide(guide);
    r.showPreview();
}

void printMonthReport(const QString &reportFileName, const QDate &month, const QString &guide)
{
    if (!hub || !month.isValid())
        return;
    ReportComponent &r = hub->report();
    r.setReportFileName(appFile(reportFileName));
    r.setGuide(guide);
    r.setMonth(month.toString(QStringLiteral("yyyy-MM")));
    r.showPreview();
}

} // namespace bm::platform
