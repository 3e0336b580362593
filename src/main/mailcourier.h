#pragma once

#include "core/status.h"
#include "db/outbox.h"
#include "mail/sender.h"

#include <QDate>
#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace bm
{

// The desk's part in the mail that goes by itself: now and then it plans
// what the day calls for (once a day) and sends what is due, a message at a
// time. Only the talk with the mail server runs on a thread of its own, so
// no window waits for it; the outbox is read and written here, each message
// as soon as it went. Desks and the booking page's service may all run one:
// each message is taken by one of them.
class MailCourier : public QObject
{
    Q_OBJECT
public:
    // The mail server and the sender to use, asked when there is something
    // to send; false in setUp (and ok) while mail is not set up.
    using Settings = std::function<Status(mail::SmtpSettings &, mail::Mailbox &, bool &setUp)>;

    // location empty: the program's database, whichever it is at each round.
    MailCourier(const QString &location, const QString &name, Settings settings, QObject *parent = nullptr);
    ~MailCourier() override;

    // Rounds every interval from now on, the first at once.
    void start(int intervalMs = 60 * 1000);
    // A round now, unless one is going on.
    void runNow();
    bool busy() const { return m_sender != nullptr; }

signals:
    // A round is over: what went, and why it stopped when it failed to
    // read or write the outbox (ok otherwise).
    void roundEnded(const bm::mail::Round &round, const bm::Status &status);

private:
    void sendNext();
    void sent();
    void finish(const Status &status);
    QString location() const;

    QString m_location;
    QString m_name;
    Settings m_settings;
    QTimer m_timer;
    QDate m_planned; // the last day planned
    std::unique_ptr<mail::Sender> m_sender; // while a round goes on
    QList<db::outbox::Message> m_taken;
    qsizetype m_at = 0;
    QDateTime m_now;
    mail::Round m_round;
    QFutureWatcher<mail::SendResult> m_watcher;
};

// The program's courier: this desk's name, the settings of Options > Mail
// with the password from the keyring; it starts at once.
std::unique_ptr<MailCourier> startMailCourier(QObject *parent = nullptr);

} // namespace bm
