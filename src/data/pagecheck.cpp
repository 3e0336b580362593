#include "data/pagecheck.h"

#include "data/log.h"
#include "data/schemacheck.h"

#include <QPointer>
#include <QThread>

namespace bm::database
{

PageCheck::PageCheck(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
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
    QPointer<PageCheck> self(this);
    const QString path = m_path;
    m_thread = QThread::create([self, path] {
        const schemacheck::Finding found = schemacheck::inspect(path, QString(), true);
        const QString message = found.status ? QString() : found.status.message();
        if (!message.isEmpty())
            qCWarning(dataLog).noquote() << message;
        // Told on the thread that owns the check, if it is still there.
        QMetaObject::invokeMethod(
            self,
            [self, message] {
                if (!self)
                    return;
                if (!message.isEmpty())
                    emit self->damaged(message);
                emit self->finished();
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

} // namespace bm::database
