#pragma once

#include <QObject>
#include <QString>

class QThread;

namespace bm::db
{

// Reads every page of a database file on a thread of its own, on a
// connection of its own that can not change the file, so that a large file
// does not hold up the start. A damaged file is told through damaged(), on
// the thread that started the check; a sound one says nothing. The check
// ends, and is waited for, when the object goes.
class PageCheck : public QObject
{
    Q_OBJECT
public:
    explicit PageCheck(const QString &location, QObject *parent = nullptr);
    ~PageCheck() override;

    void start();
    // Waits for the check to end (tests, and the object going).
    void wait();

signals:
    // message: in a guide's words, naming the file, ready to be shown.
    void damaged(const QString &message);
    void finished();

private:
    QString m_location;
    QThread *m_thread = nullptr;
};

} // namespace bm::db
