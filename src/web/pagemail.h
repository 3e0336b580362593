#pragma once

#include "core/status.h"
#include "db/bookingpage.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QStringList>

// The mail the page's own changes call for: to the client when his request
// is taken ("Request Received") and when he cancels ("Cancelled"), to the
// guide for each new request ("New Request"). The texts are the guide's,
// read from the database and kept a moment; the messages are written into
// the outbox in the same transaction as the change.
namespace bm::web
{

Q_DECLARE_LOGGING_CATEGORY(pageMailLog)

class PageMail
{
public:
    explicit PageMail(db::page::Source &source);

    // What writes the messages of the kinds that are on, or nothing (an
    // empty compose) while mail is not set up. Fails when the settings can
    // not be read.
    [[nodiscard]] Status composer(const QStringList &kinds, db::page::Compose &out);

private:
    db::page::Source &m_source;
    QMutex m_lock;
    QElapsedTimer m_read;
    db::page::MailSetup m_setup;
    QList<db::page::MailText> m_texts;
};

} // namespace bm::web
