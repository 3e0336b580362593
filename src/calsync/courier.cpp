#include "calsync/courier.h"

#include "core/log.h"
#include "db/changes.h"
#include "schema/fields.h"

#include <QtConcurrent/QtConcurrentRun>

namespace bm::calsync
{

// What one round carries to the worker and back.
struct Courier::Work {
    Settings settings;
    Journal journal;
    QList<Change> changes;
    Outcome outcome;
    QDate from, to;
    QList<BusyTime> busy;
    QStringList busyFailures;
    bool busyStopped = false;
};

namespace
{

// The window's line: what went, or each different failure once.
QString stateLine(const Outcome &o, const QStringList &busyFailures)
{
    QStringList failures;
    auto once = [&](const QString &words) {
        if (!words.isEmpty() && !failures.contains(words))
            failures << words;
    };
    if (!o.status)
        once(o.status.message());
    for (const QString &f : busyFailures)
        once(f);
    if (failures.isEmpty()) {
        QString line = QStringLiteral("Up to date: %1 sent, %2 deleted").arg(o.sent).arg(o.deleted);
        if (o.overwritten > 0)
            line += QStringLiteral(", %1 written over changes made in the calendar").arg(o.overwritten);
        return line + QLatin1Char('.');
    }
    QString line = failures.join(QLatin1Char(' '));
    if (o.left > 0)
        line += QStringLiteral(" %1 changes wait for the next round.").arg(o.left);
    return line;
}

} // namespace

Courier::Courier(SettingsSource settings, BusyStore store, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_store(std::move(store))
{
    qRegisterMetaType<bm::calsync::Round>();
    m_soon.setSingleShot(true);
    connect(&m_interval, &QTimer::timeout, this, &Courier::syncNow);
    connect(&m_soon, &QTimer::timeout, this, &Courier::syncNow);
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &Courier::finish);
}

Courier::~Courier()
{
    m_stop = true;
    m_interval.stop();
    m_soon.stop();
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

void Courier::start(int intervalMs)
{
    m_interval.start(std::max(1000, intervalMs));
    if (!m_listening) {
        m_listening = true;
        connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
            [this](const QString &, const QString &table) {
                if (table == QLatin1String(bm::table::Booking) || table == QLatin1String(bm::table::Reminder))
                    m_soon.start(3000);
            });
    }
    syncNow();
}

void Courier::syncNow()
{
    if (busy()) {
        m_again = true;
        return;
    }
    begin();
}

bool Courier::busy() const
{
    return m_work != nullptr;
}

Round Courier::last() const
{
    return m_last;
}

void Courier::begin()
{
    auto work = std::make_shared<Work>();
    Round round;
    round.when = QDateTime::currentDateTime();
    auto ended = [&](const QString &words) {
        round.ok = false;
        round.state = words;
        round.outcome.status = Status::failure(words);
        m_last = round;
        emit roundEnded(round);
    };
    if (Status s = m_settings(work->settings); !s) {
        qCWarning(dataLog).noquote() << "calendar sync:" << s.message();
        ended(s.message());
        return;
    }
    if (!work->settings.setUp)
        return;
    // The database is read here: its connections belong to this thread.
    if (Status s = work->journal.open(work->settings.target.journalPath, work->settings.target.calendarUrl);
        !s) {
        ended(s.message());
        return;
    }
    if (Status s = plan(work->settings.target, work->journal, work->changes); !s) {
        ended(s.message());
        return;
    }
    work->from = QDate::currentDate();
    work->to = work->from.addMonths(12);
    m_work = work;
    m_stop = false;
    const std::atomic_bool *stop = &m_stop;
    m_watcher.setFuture(QtConcurrent::run([work, stop]() {
        work->outcome
            = carryOut(work->settings.account, work->settings.target, work->journal, work->changes, stop);
        for (const QString &address : work->settings.busyAddresses) {
            if (stop->load()) {
                work->busyStopped = true;
                break;
            }
            QList<BusyTime> some;
            if (Status s = readBusy(work->settings.account, address, work->from, work->to, some); !s)
                work->busyFailures << s.message();
            else
                work->busy += some;
        }
    }));
}

void Courier::finish()
{
    const std::shared_ptr<Work> work = std::move(m_work);
    m_work.reset();
    if (!work)
        return;
    Round round;
    round.when = QDateTime::currentDateTime();
    round.outcome = work->outcome;
    QStringList busyFailures = work->busyFailures;
    // Busy time is stored only when every address was read: a calendar that
    // could not be read does not empty the guide's busy days. Without an
    // address, what was read before goes.
    if (busyFailures.isEmpty() && !work->busyStopped) {
        if (Status s = m_store(work->from, work->to, work->busy); !s)
            busyFailures << s.message();
        else
            round.busyRead = int(work->busy.size());
    }
    round.ok = round.outcome.status.isOk() && busyFailures.isEmpty();
    round.state = stateLine(round.outcome, busyFailures);
    m_last = round;
    emit roundEnded(round);
    if (m_again) {
        m_again = false;
        QTimer::singleShot(0, this, &Courier::syncNow);
    }
}

} // namespace bm::calsync
