#include "setup/frmcalendarsync.h"

#include "calsync/courier.h"
#include "core/dates.h"
#include "db/rights.h"
#include "domain/guides.h"
#include "platform/failures.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "setup/unsaved.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace bm
{

namespace
{

QLineEdit *textField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

// A calendar known only by its address: named by the address's last part.
QString nameOf(const QString &url)
{
    const QStringList parts = QUrl(url).path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? url : parts.last();
}

} // namespace

FrmCalendarSync::FrmCalendarSync(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_password(this, QStringLiteral("Kept in the desktop's keyring, never in a file"))
    , m_cmdFind(commandButton(QStringLiteral("cmdFind"), QStringLiteral("&Find Calendars"), this))
    , m_state(new QLabel(this))
    , m_log(new QPlainTextEdit(this))
    , m_cmdSyncNow(commandButton(QStringLiteral("cmdSyncNow"), QStringLiteral("Sync &Now"), this))
    , m_cmdSave(commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this))
    , m_cmdCancel(commandButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
{
    setObjectName(QStringLiteral("frmCalendarSync"));
    setWindowTitle(QStringLiteral("Calendar Sync"));

    auto *server = new QGroupBox(QStringLiteral("Calendar Server"), this);
    server->setObjectName(QStringLiteral("fraServer"));
    m_server = textField("txtServer", server);
    m_server->setPlaceholderText(QStringLiteral("https://dav.example.com/"));
    m_server->setToolTip(QStringLiteral("The CalDAV address your phone's calendar uses"));
    m_user = textField("txtUser", server);
    auto *serverForm = new QFormLayout(server);
    serverForm->addRow(QStringLiteral("Server:"), m_server);
    serverForm->addRow(QStringLiteral("User:"), m_user);
    serverForm->addRow(QStringLiteral("Password:"), m_password.field());
    serverForm->addRow(QString(), m_cmdFind);

    auto *trips = new QGroupBox(QStringLiteral("Trips"), this);
    trips->setObjectName(QStringLiteral("fraTrips"));
    m_calendar = new QComboBox(trips);
    m_calendar->setObjectName(QStringLiteral("cboCalendar"));
    m_calendar->setToolTip(QStringLiteral("The calendar the trips are written to"));
    m_reminders = new QCheckBox(QStringLiteral("&Reminders too"), trips);
    m_reminders->setObjectName(QStringLiteral("chkReminders"));
    m_guide = new QComboBox(trips);
    m_guide->setObjectName(QStringLiteral("cboGuide"));
    auto *tripsForm = new QFormLayout(trips);
    tripsForm->addRow(QStringLiteral("Calendar:"), m_calendar);
    tripsForm->addRow(QString(), m_reminders);
    tripsForm->addRow(QStringLiteral("Trips of:"), m_guide);
    m_guideCaption = qobject_cast<QLabel *>(tripsForm->labelForField(m_guide));

    auto *busy = new QGroupBox(QStringLiteral("Busy Time"), this);
    busy->setObjectName(QStringLiteral("fraBusy"));
    auto *busyNote
        = new QLabel(QStringLiteral("What these calendars hold closes your day on the booking page, "
                                    "and a booking saved on it names it."),
            busy);
    busyNote->setWordWrap(true);
    m_busy = new QListWidget(busy);
    m_busy->setObjectName(QStringLiteral("lstBusyCalendars"));
    m_busy->setMaximumHeight(m_busy->fontMetrics().height() * 7);
    m_subscription = textField("txtBusyAddress", busy);
    m_subscription->setPlaceholderText(QStringLiteral("webcal://... or https://....ics"));
    m_subscription->setToolTip(QStringLiteral("Another calendar's subscription address, read for busy time"));
    auto *busyForm = new QFormLayout(busy);
    busyForm->addRow(busyNote);
    busyForm->addRow(QStringLiteral("Calendars:"), m_busy);
    busyForm->addRow(QStringLiteral("Subscription:"), m_subscription);

    for (QFormLayout *form : { serverForm, tripsForm, busyForm })
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    for (QWidget *field : { static_cast<QWidget *>(m_server), static_cast<QWidget *>(m_calendar),
             static_cast<QWidget *>(m_subscription) })
        field->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);

    m_state->setObjectName(QStringLiteral("lblState"));
    m_state->setWordWrap(true);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_log->setObjectName(QStringLiteral("txtLog"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setMaximumHeight(m_log->fontMetrics().height() * 6);
    m_log->setToolTip(QStringLiteral("The sync's latest notes, kept in %1").arg(calsync::logPath()));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdSyncNow);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(server);
    layout->addWidget(trips);
    layout->addWidget(busy);
    layout->addWidget(m_password.note());
    layout->addWidget(m_log);
    layout->addWidget(m_state);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(m_cmdFind, &QPushButton::clicked, this, &FrmCalendarSync::findCalendars);
    connect(m_cmdSyncNow, &QPushButton::clicked, this, &FrmCalendarSync::syncNow);
    connect(m_cmdSave, &QPushButton::clicked, this, [this] {
        if (save())
            close();
    });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        m_leaving = true;
        close();
        m_leaving = false;
    });
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("4600")); });
    platform::addHelpCommand(this, m_cmdHelp);
    if (calsync::Courier *courier = calsync::programCourier())
        connect(courier, &calsync::Courier::roundEnded, this, &FrmCalendarSync::showRound);
    load();
    showRound();
}

FrmCalendarSync::~FrmCalendarSync()
{
    if (m_finding)
        QApplication::restoreOverrideCursor();
}

void FrmCalendarSync::load()
{
    m_read = calsync::Config();
    if (!platform::reportFailure(calsync::readConfig(m_read), this))
        m_read = calsync::Config();
    showConfig(m_read);
    m_password.load(calsync::keyringKey(m_read));
    m_shown = shownConfig();
}

void FrmCalendarSync::showConfig(const calsync::Config &c)
{
    m_server->setText(c.server);
    m_user->setText(c.user);
    // Until Find Calendars asks the server, the calendars chosen show by
    // the names they had.
    QList<calsync::Calendar> known;
    if (!c.calendarUrl.isEmpty())
        known.append(
            { c.calendarUrl, c.calendarName.isEmpty() ? nameOf(c.calendarUrl) : c.calendarName, true });
    for (const QString &url : c.busyAddresses)
        if (url != c.calendarUrl)
            known.append({ url, nameOf(url), true });
    listCalendars(known, c);
    m_subscription->setText(c.subscription);
    m_reminders->setChecked(c.reminders);
    fillGuides(c.guide);
}

void FrmCalendarSync::listCalendars(const QList<calsync::Calendar> &calendars, const calsync::Config &chosen)
{
    m_calendar->clear();
    m_calendar->addItem(QStringLiteral("(none: the trips are not written)"), QString());
    m_busy->clear();
    for (const calsync::Calendar &c : calendars) {
        if (c.events)
            m_calendar->addItem(c.name, c.url);
        auto *item = new QListWidgetItem(c.name, m_busy);
        item->setData(Qt::UserRole, c.url);
        item->setToolTip(c.url);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen.busyAddresses.contains(c.url) ? Qt::Checked : Qt::Unchecked);
    }
    const int at = m_calendar->findData(chosen.calendarUrl);
    m_calendar->setCurrentIndex(at < 0 ? 0 : at);
}

void FrmCalendarSync::fillGuides(const QString &chosen)
{
    m_guide->clear();
    m_guide->setEnabled(true);
    if (db::rights().isGuide()) {
        // A guide's desk syncs his own trips, which are all it sees.
        m_guide->addItem(db::rights().guide, db::rights().guide);
        m_guide->setEnabled(false);
        return;
    }
    QList<guides::Guide> roster;
    if (!guides::roster(roster))
        roster.clear();
    m_guide->addItem(QStringLiteral("All Guides"), QString());
    for (const guides::Guide &g : std::as_const(roster))
        m_guide->addItem(g.name, g.name);
    if (!chosen.isEmpty() && m_guide->findData(chosen) < 0)
        m_guide->addItem(chosen, chosen);
    m_guide->setCurrentIndex(std::max(0, m_guide->findData(chosen)));
    const bool several = m_guide->count() > 1;
    m_guide->setVisible(several);
    if (m_guideCaption)
        m_guideCaption->setVisible(several);
}

calsync::Config FrmCalendarSync::shownConfig() const
{
    calsync::Config c;
    c.server = m_server->text().trimmed();
    c.user = m_user->text().trimmed();
    c.calendarUrl = m_calendar->currentData().toString();
    c.calendarName = c.calendarUrl.isEmpty() ? QString() : m_calendar->currentText();
    for (int i = 0; i < m_busy->count(); ++i)
        if (m_busy->item(i)->checkState() == Qt::Checked)
            c.busyAddresses << m_busy->item(i)->data(Qt::UserRole).toString();
    c.subscription = m_subscription->text().trimmed();
    c.reminders = m_reminders->isChecked();
    c.guide = m_guide->currentData().toString();
    return c;
}

bool FrmCalendarSync::hasChanges() const
{
    return shownConfig() != m_shown || m_password.changed();
}

void FrmCalendarSync::closeEvent(QCloseEvent *event)
{
    if (!m_leaving && hasChanges()
        && !settleChanges(
            QStringLiteral("the calendar sync"), windowTitle(), [this] { return save(); }, this)) {
        event->ignore();
        return;
    }
    event->accept();
}

bool FrmCalendarSync::save()
{
    const calsync::Config c = shownConfig();
    if (Status why = calsync::check(c); !why) {
        platform::warn(why.message(), this);
        m_server->setFocus();
        return false;
    }
    if (!platform::reportFailure(calsync::writeConfig(c), this))
        return false;
    const Status kept = m_password.keep(calsync::keyringKey(m_read), calsync::keyringKey(c));
    m_read = c;
    m_shown = c;
    if (!kept) {
        platform::warn(
            QStringLiteral("The calendar settings were saved, but the password was not. %1\n\nSave "
                           "again once the keyring can be reached: until then the calendar can not "
                           "be synced.")
                .arg(kept.message()),
            this);
        return false;
    }
    return true;
}

void FrmCalendarSync::findCalendars()
{
    if (m_finding)
        return;
    calsync::Config c = shownConfig();
    if (c.server.isEmpty()) {
        platform::warn(QStringLiteral("Please enter the server's address."), this);
        m_server->setFocus();
        return;
    }
    c.calendarUrl.clear();
    c.busyAddresses.clear();
    if (Status why = calsync::check(c); !why) {
        platform::warn(why.message(), this);
        m_server->setFocus();
        return;
    }
    calsync::Account account;
    account.server = c.server;
    account.user = c.user;
    account.password = m_password.text();
    using Found = std::pair<Status, QList<calsync::Calendar>>;
    m_finding = new QFutureWatcher<Found>(this);
    connect(m_finding, &QFutureWatcherBase::finished, this, [this] {
        const Found result = m_finding->result();
        m_finding->deleteLater();
        m_finding = nullptr;
        QApplication::restoreOverrideCursor();
        m_cmdFind->setEnabled(true);
        found(result.first, result.second);
    });
    m_cmdFind->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_finding->setFuture(QtConcurrent::run([account] {
        QList<calsync::Calendar> calendars;
        Status s = calsync::findCalendars(account, calendars);
        return Found { s, calendars };
    }));
}

void FrmCalendarSync::found(const Status &status, const QList<calsync::Calendar> &calendars)
{
    if (!status) {
        platform::warn(QStringLiteral("No calendar was found.\n\n%1").arg(status.message()), this);
        return;
    }
    if (calendars.isEmpty()) {
        platform::warn(QStringLiteral("The server holds no calendar for this user."), this);
        return;
    }
    // What was chosen stays chosen where the server still has it.
    listCalendars(calendars, shownConfig());
}

void FrmCalendarSync::syncNow()
{
    calsync::Courier *courier = calsync::programCourier();
    if (!courier) {
        platform::warn(QStringLiteral("The calendar sync is not running in this program."), this);
        return;
    }
    if (hasChanges() && !save())
        return;
    if (!calsync::isSetUp(m_read)) {
        platform::warn(
            QStringLiteral("Please choose a calendar for the trips, or one to read busy time from, "
                           "and save."),
            this);
        return;
    }
    m_state->setText(QStringLiteral("Syncing\u2026"));
    courier->syncNow();
}

void FrmCalendarSync::showRound()
{
    const QStringList log = calsync::lastLogLines(50);
    m_log->setPlainText(log.join(QLatin1Char('\n')));
    m_log->setVisible(!log.isEmpty());
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
    const calsync::LastRound last = calsync::readLastRound();
    if (!last.when.isValid()) {
        m_state->setText(QStringLiteral("Not synced yet."));
        m_state->setStyleSheet(QString());
        return;
    }
    m_state->setText(
        QStringLiteral("Last sync %1: %2").arg(shortDateTime(last.when.toLocalTime()), last.state));
    m_state->setStyleSheet(last.ok ? QString() : QStringLiteral("color: #b00020;"));
}

} // namespace bm
