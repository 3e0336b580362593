#include "web/courier.h"

#include "db/bookingpage.h"
#include "mail/settings.h"
#include "web/pagemail.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <chrono>

namespace bm::web
{

namespace
{

constexpr int perRound = 10;

} // namespace

Courier::Courier(db::page::Gateway &outbox, const QString &password, bool given)
    : m_outbox(outbox)
    , m_password(password)
    , m_passwordGiven(given)
{
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9.-]"));
    m_name = QStringLiteral("web:%1:%2")
                 .arg(QSysInfo::machineHostName().replace(unfit, QStringLiteral("-")).left(60))
                 .arg(QCoreApplication::applicationPid());
}

Courier::~Courier()
{
    stop();
}

void Courier::start()
{
    if (m_thread.joinable())
        return;
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
}

void Courier::stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wakeUp.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void Courier::wake()
{
    {
        std::lock_guard lock(m_lock);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

void Courier::run()
{
    std::unique_lock lock(m_lock);
    while (!m_stopping) {
        m_woken = false;
        lock.unlock();
        mail::Round total;
        if (const Status s = sendDue(total); !s)
            qCWarning(pageMailLog).noquote() << "The outbox's round stopped:" << s.message();
        lock.lock();
        m_wakeUp.wait_for(lock, std::chrono::minutes(1), [this] { return m_stopping || m_woken; });
    }
}

Status Courier::sendDue(mail::Round &total)
{
    total = {};
    db::page::MailSetup setup;
    if (Status s = m_outbox.mailSetup(setup); !s)
        return s;
    const mailsettings::Settings settings { setup.server, setup.port, setup.security, setup.login,
        setup.senderAddress, setup.senderName, setup.guideAddress };
    if (settings.server.trimmed().isEmpty() || !mail::plausibleAddress(settings.senderAddress.trimmed()))
        return Status::ok();
    const auto sayOnce = [this](const QString &problem) {
        if (problem != m_lastProblem)
            qCWarning(pageMailLog).noquote() << problem;
        m_lastProblem = problem;
    };
    if (!settings.user.trimmed().isEmpty() && !m_passwordGiven) {
        sayOnce(QStringLiteral("The mail server wants a login and [mail] password_file= names no file: the "
                               "desks send the mail."));
        return Status::ok();
    }
    mail::SmtpSettings smtp;
    mail::Mailbox from;
    if (Status s = mailsettings::forSending(settings, m_password, smtp, from); !s) {
        sayOnce(s.message());
        return Status::ok();
    }
    smtp.caFile = m_caFile;
    m_lastProblem.clear();
    mail::Sender sender(m_outbox, m_name, smtp, from);
    // Bounded, so that a stop is heard between rounds.
    for (int rounds = 0; rounds < 100; ++rounds) {
        mail::Round r;
        if (Status s = sender.round(QDateTime::currentDateTimeUtc(), r, perRound); !s)
            return s;
        total.sent += r.sent;
        total.putOff += r.putOff;
        total.failed += r.failed;
        total.givenUp += r.givenUp;
        total.lost += r.lost;
        const int handled = r.sent + r.putOff + r.failed + r.givenUp + r.lost;
        if (handled < perRound || r.putOff > 0)
            break;
        std::lock_guard lock(m_lock);
        if (m_stopping)
            break;
    }
    return Status::ok();
}

} // namespace bm::web
