#include "main/mailcourier.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "mail/queue.h"
#include "mail/settings.h"
#include "platform/keyring.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QtConcurrent>

namespace bm
{

namespace
{
constexpr int perRound = 10;
}

MailCourier::MailCourier(const QString &location, const QString &name, Settings settings, QObject *parent)
    : QObject(parent)
    , m_location(location)
    , m_name(name)
    , m_settings(std::move(settings))
{
    connect(&m_timer, &QTimer::timeout, this, &MailCourier::runNow);
    connect(&m_watcher, &QFutureWatcher<mail::SendResult>::finished, this, &MailCourier::sent);
}

MailCourier::~MailCourier()
{
    // A message on its way is let finish: its thread uses the sender.
    m_watcher.waitForFinished();
}

void MailCourier::start(int intervalMs)
{
    m_timer.start(intervalMs);
    QTimer::singleShot(0, this, &MailCourier::runNow);
}

void MailCourier::runNow()
{
    if (busy())
        return;
    m_now = QDateTime::currentDateTimeUtc();
    m_round = {};
    const QDate today = platform::today();
    // The day counts as planned only once mail is set up.
    bool setUpHere = false;
    if (Status s = mail::isSetUp(location(), setUpHere); !s) {
        finish(s);
        return;
    }
    if (setUpHere && m_planned != today) {
        mail::Plan plan;
        if (Status s = mail::plan(location(), today, m_now, plan); !s) {
            finish(s);
            return;
        }
        m_planned = today;
    }
    // The settings (and the keyring's password with them) are read only
    // when there is something to send.
    m_sender = std::make_unique<mail::Sender>(location(), m_name, mail::SmtpSettings {}, mail::Mailbox {});
    m_taken.clear();
    m_at = 0;
    if (Status s = m_sender->take(m_now, perRound, m_taken); !s || m_taken.isEmpty()) {
        finish(s);
        return;
    }
    mail::SmtpSettings smtp;
    mail::Mailbox from;
    bool setUp = false;
    if (Status s = m_settings(smtp, from, setUp); !s || !setUp) {
        const Status released = m_sender->release(m_taken);
        finish(s ? released : s);
        return;
    }
    m_sender = std::make_unique<mail::Sender>(location(), m_name, smtp, from);
    sendNext();
}

void MailCourier::sendNext()
{
    if (m_at >= m_taken.size()) {
        finish(Status::ok());
        return;
    }
    const mail::Sender *sender = m_sender.get();
    const db::outbox::Message message = m_taken.at(m_at);
    m_watcher.setFuture(QtConcurrent::run([sender, message] { return sender->send(message); }));
}

void MailCourier::sent()
{
    const mail::SendResult r = m_watcher.result();
    const db::outbox::Message &m = m_taken.at(m_at);
    if (Status s = m_sender->record(m, r, m_now, m_round); !s) {
        finish(s);
        return;
    }
    ++m_at;
    if (mail::Sender::holdsTheRest(r)) {
        finish(m_sender->release(m_taken.mid(m_at)));
        return;
    }
    sendNext();
}

QString MailCourier::location() const
{
    return m_location.isEmpty() ? databasePath() : m_location;
}

void MailCourier::finish(const Status &status)
{
    if (!status)
        qCWarning(bm::dataLog).noquote() << "The outbox's round stopped:" << status.message();
    m_sender.reset();
    m_taken.clear();
    emit roundEnded(m_round, status);
}

std::unique_ptr<MailCourier> startMailCourier(QObject *parent)
{
    const auto settings = [](mail::SmtpSettings &smtp, mail::Mailbox &from, bool &setUp) {
        setUp = false;
        mailsettings::Settings s;
        if (Status read = mailsettings::read(s); !read)
            return read;
        if (s.server.trimmed().isEmpty() || !mail::plausibleAddress(s.senderAddress.trimmed()))
            return Status::ok();
        QString password;
        bool found = false;
        if (const QString key = mailsettings::keyringKey(s); !key.isEmpty())
            if (Status kept = platform::readSecret(key, password, found); !kept)
                return kept;
        if (Status usable = mailsettings::forSending(s, password, smtp, from); !usable)
            return usable;
        setUp = true;
        return Status::ok();
    };
    const QString name
        = QStringLiteral("%1 %2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
    auto courier = std::make_unique<MailCourier>(QString(), name, settings, parent);
    courier->start();
    return courier;
}

} // namespace bm
