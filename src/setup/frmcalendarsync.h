#pragma once

#include "calsync/config.h"
#include "calsync/discovery.h"
#include "setup/keptpassword.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace bm
{

namespace calsync
{
struct Round;
}

// "Calendar Sync": the guide's own calendar on a CalDAV server. The trips
// (and, if chosen, the reminders) go to the calendar chosen in Calendar,
// found on the server by Find Calendars; busy time is read from the
// calendars ticked in Busy Time and any .ics address below them. The
// password is kept in the desktop's keyring only. Save keeps the settings
// and closes; Cancel closes without saving; closing it otherwise with
// changes asks whether to save them. Sync Now syncs at once (saving first),
// and the line above the buttons tells how the last sync went and when,
// below the sync's log of what happened lately.
class FrmCalendarSync : public QWidget
{
    Q_OBJECT
public:
    explicit FrmCalendarSync(QWidget *parent = nullptr);
    ~FrmCalendarSync() override;

    // Checks and keeps the settings and the password; false, after telling
    // the guide, when a value is refused or could not be kept.
    bool save();
    bool hasChanges() const;
    bool isFinding() const { return m_finding != nullptr; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void showConfig(const calsync::Config &c);
    calsync::Config shownConfig() const;
    void findCalendars();
    void found(const Status &status, const QList<calsync::Calendar> &calendars);
    void listCalendars(const QList<calsync::Calendar> &calendars, const calsync::Config &chosen);
    void fillGuides(const QString &chosen);
    void syncNow();
    void showRound();

    QLineEdit *m_server; // txtServer
    QLineEdit *m_user; // txtUser
    KeptPassword m_password; // txtPassword, lblKeyring
    QPushButton *m_cmdFind; // cmdFind
    QComboBox *m_calendar; // cboCalendar
    QListWidget *m_busy; // lstBusyCalendars
    QLineEdit *m_subscription; // txtBusyAddress
    QCheckBox *m_reminders; // chkReminders
    QComboBox *m_guide; // cboGuide
    QLabel *m_guideCaption;
    QLabel *m_state; // lblState
    QPlainTextEdit *m_log; // txtLog
    QPushButton *m_cmdSyncNow;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdHelp;

    calsync::Config m_read; // as read or last saved
    calsync::Config m_shown; // the fields as they showed m_read
    bool m_leaving = false;
    QPointer<QFutureWatcher<std::pair<Status, QList<calsync::Calendar>>>> m_finding;
};

} // namespace bm
