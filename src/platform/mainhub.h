#pragma once

#include "data/recordsource.h"
#include "platform/help.h"
#include "platform/report.h"

class QWidget;

namespace bm::platform
{

// What the main window shares with every other window: its two record
// sources (the current contact and booking, which re-read themselves when
// another window writes their table), its report and help components, and
// itself to hide and show.
class MainHub
{
public:
    virtual ~MainHub() = default;
    virtual RecordSource &datContacts() = 0;
    virtual RecordSource &datBookings() = 0;
    virtual HelpComponent &dlgHelp() = 0;
    virtual ReportComponent &report() = 0;
    virtual QWidget *window() = 0;
};

// The main window while it exists, else nullptr.
MainHub *mainHub();
void setMainHub(MainHub *hub);

// A Help command of any window: the topic through the main window's help
// component.
void showHelpTopic(const QString &topicNumber);

// A print command of any window: the report file of the application folder
// ("contacts.rpt") through the main window's report component.
void printReport(const QString &reportFileName, Bookmark selection = {});

} // namespace bm::platform
