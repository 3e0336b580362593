#include "web/pagemail.h"

#include "mail/message.h"
#include "mail/texts.h"

namespace bm::web
{

Q_LOGGING_CATEGORY(pageMailLog, "bm.web.mail")

PageMail::PageMail(db::page::Source &source)
    : m_source(source)
{
}

Status PageMail::composer(const QStringList &kinds, db::page::Compose &out)
{
    out = {};
    db::page::MailSetup setup;
    QList<db::page::MailText> kept;
    {
        // A guide's change of the settings or the texts counts within this long.
        constexpr qint64 keptMs = 3000;
        QMutexLocker lock(&m_lock);
        if (!m_read.isValid() || m_read.elapsed() > keptMs) {
            if (Status s = m_source.mailSetup(m_setup); !s)
                return s;
            if (Status s = m_source.mailTexts(m_texts); !s)
                return s;
            m_read.start();
        }
        setup = m_setup;
        kept = m_texts;
    }
    const QString from = setup.senderAddress.trimmed();
    if (setup.server.trimmed().isEmpty() || !mail::plausibleAddress(from))
        return Status::ok();

    QList<mail::KeptText> rows;
    for (const db::page::MailText &t : std::as_const(kept))
        rows.append({ t.kind, t.send, t.subject, t.body, t.days });
    QList<mail::Text> texts;
    for (const mail::Text &t : mail::textsWith(rows))
        if (t.send && kinds.contains(t.kind))
            texts.append(t);
    if (texts.isEmpty())
        return Status::ok();

    out = [texts, from](const db::page::Booked &booked, QList<db::page::Outgoing> &mail) {
        mail.clear();
        const mail::Values values = mail::valuesOf(booked.booking, booked.guide, booked.reason);
        for (const mail::Text &t : texts) {
            db::page::Outgoing m { t.kind, {}, {}, mail::makeMessageId(from) };
            // A text the guide broke goes without its message, not without
            // the client's request: the log says which.
            if (const Status s = mail::render(t, values, m.subject, m.body); !s) {
                qCWarning(pageMailLog).noquote() << s.message();
                continue;
            }
            mail.append(m);
        }
        return Status::ok();
    };
    return Status::ok();
}

} // namespace bm::web
