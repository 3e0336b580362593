#pragma once

#include "core/status.h"
#include "mail/sender.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace bm::db::page
{
class Gateway;
}

// The service's sender of the outbox: it sends the lodge's mail whether or
// not a desk is open, as one more sender beside the desks (each message is
// taken by one of them). Rounds run on a thread of their own, every minute
// and at once when the page has queued a message.
namespace bm::web
{

class Courier
{
public:
    // password: the mail server's, from the service's own file; given says
    // whether there was one (a server that wants a login gets no mail from
    // the service without it).
    Courier(db::page::Gateway &outbox, const QString &password, bool given);
    ~Courier();
    Courier(const Courier &) = delete;
    Courier &operator=(const Courier &) = delete;

    void start();
    void stop();
    // A message was queued: send now rather than at the next minute.
    void wake();

    // Sends what is due, round after round, until a round finds less than
    // a full round or the mail server puts one off. Nothing while mail is
    // not set up.
    [[nodiscard]] Status sendDue(mail::Round &total);

    // Certificates trusted instead of the system's (the tests' server).
    void setCaFile(const QString &caFile) { m_caFile = caFile; }
    const QString &name() const { return m_name; }

private:
    void run();

    db::page::Gateway &m_outbox;
    QString m_password;
    bool m_passwordGiven;
    QString m_caFile;
    QString m_name;
    QString m_lastProblem; // said once, not every minute
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wakeUp;
    bool m_woken = false;
    bool m_stopping = false;
};

} // namespace bm::web
