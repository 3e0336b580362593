#pragma once

#include "calsync/busy.h"
#include "calsync/sync.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

namespace bm::calsync
{

struct Settings {
    Account account;
    Target target;
    QStringList busyAddresses;
    bool setUp = false;
};

struct Round {
    QDateTime when;
    bool ok = true;
    QString state; // one line for the window: "Up to date: 3 sent, 1 deleted." or the failure's words
    Outcome outcome;
    int busyRead = 0;
};

// Keeps the calendar in step: a round every interval and shortly after any
// change to the bookings or reminders; the sending and reading of busy time
// on a worker thread, the database on this object's thread.
class Courier : public QObject
{
    Q_OBJECT
public:
    // Asked at each round (the password from the keyring, by the caller).
    using SettingsSource = std::function<Status(Settings &)>;
    // The caller stores busy time (in the database), on this object's thread.
    using BusyStore = std::function<Status(const QDate &from, const QDate &to, const QList<BusyTime> &)>;

    Courier(SettingsSource settings, BusyStore store, QObject *parent = nullptr);
    ~Courier() override;

    // Rounds every interval, the first at once, and one 3 s after any change
    // to the Booking or Reminder table.
    void start(int intervalMs = 60 * 1000);
    // A round now, unless one is running (then one right after it).
    void syncNow();
    bool busy() const;
    Round last() const;

signals:
    void roundEnded(const bm::calsync::Round &round);

private:
    struct Work;
    void begin();
    void finish();

    SettingsSource m_settings;
    BusyStore m_store;
    QTimer m_interval;
    QTimer m_soon;
    QFutureWatcher<void> m_watcher;
    std::shared_ptr<Work> m_work;
    std::atomic_bool m_stop { false };
    bool m_again = false;
    bool m_listening = false;
    Round m_last;
};

} // namespace bm::calsync

Q_DECLARE_METATYPE(bm::calsync::Round)
