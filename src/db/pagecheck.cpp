#include "db/pagecheck.h"

#include "core/log.h"
#include "db/engine/schemacheck.h"

#include <QThread>

namespace bm::db
{

PageCheck::PageCheck(const QString &location, QObject *parent)
    : QObject(parent)
    , m_location(location)
{
}

PageCheck::~PageCheck()
{
    wait();
}

void PageCheck::start()
{
    if (m_thread)
        return;
    const QString location = m_location;
    m_thread = QThread::create([this, location] {
        const schemacheck::Finding found = schemacheck::inspect(location, QString(), true);
        const QString message = found.status ? QString() : found.status.message();
        if (!message.isEmpty())
            qCWarning(dataLog).noquote() << message;
        // Told on the thread that owns the check. The check outlives the
        // thread (it waits for it as it goes); what is posted to it after
        // it has gone is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                if (!message.isEmpty())
                    emit damaged(message);
                emit finished();
            },
            Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

void PageCheck::wait()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace bm::db
