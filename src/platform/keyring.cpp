#include "platform/keyring.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace bm::platform
{

namespace
{

struct Outcome {
    bool done = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString secret;
};

Status failure(const QString &doing, const Outcome &o)
{
    if (!o.done)
        return Status::failure(QStringLiteral("%1: the desktop's keyring did not answer within %2 seconds.")
                                   .arg(doing)
                                   .arg(keyringWaitMs / 1000));
    switch (o.error) {
    case QKeychain::AccessDeniedByUser:
        return Status::failure(QStringLiteral("%1: the keyring was not unlocked.").arg(doing));
    case QKeychain::AccessDenied:
        return Status::failure(QStringLiteral("%1: the keyring refused it.").arg(doing));
    default:
        break;
    }
    // Without a Secret Service (a desktop without GNOME Keyring or KWallet,
    // a session over ssh) qtkeychain says little more than "Unknown error".
    return Status::failure(
        QStringLiteral("%1: the desktop's keyring could not be reached (%2). It needs a "
                       "keyring such as GNOME Keyring or KWallet running in your session.")
            .arg(doing, o.errorText.isEmpty() ? QStringLiteral("no reason given") : o.errorText));
}

// Runs one of qtkeychain's jobs, which answer later, and waits for its
// answer with the guide's typing held back, at most keyringWaitMs. A job
// not done by then finishes, and deletes itself, on its own.
Outcome run(QKeychain::Job *job, const QString &key)
{
    Outcome o;
    QEventLoop loop;
    job->setKey(key);
    job->setInsecureFallback(false); // a password never goes to a plain file
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *j) {
        o.done = true;
        o.error = j->error();
        o.errorText = j->errorString();
        if (auto *reader = qobject_cast<QKeychain::ReadPasswordJob *>(j))
            o.secret = reader->textData();
        loop.quit();
    });
    QTimer::singleShot(keyringWaitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!o.done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return o;
}

class DesktopKeyring : public KeyringService
{
public:
    Status read(const QString &key, QString &secret, bool &found) override
    {
        secret.clear();
        found = false;
        const Outcome o = run(new QKeychain::ReadPasswordJob(QLatin1String(keyringServiceName)), key);
        if (o.done && o.error == QKeychain::EntryNotFound)
            return Status::ok();
        if (!o.done || o.error != QKeychain::NoError)
            return failure(QStringLiteral("The password could not be read from the keyring"), o);
        secret = o.secret;
        found = true;
        return Status::ok();
    }

    Status write(const QString &key, const QString &secret) override
    {
        auto *job = new QKeychain::WritePasswordJob(QLatin1String(keyringServiceName));
        job->setTextData(secret);
        const Outcome o = run(job, key);
        if (!o.done || o.error != QKeychain::NoError)
            return failure(QStringLiteral("The password could not be kept in the keyring"), o);
        return Status::ok();
    }

    Status remove(const QString &key) override
    {
        const Outcome o = run(new QKeychain::DeletePasswordJob(QLatin1String(keyringServiceName)), key);
        if (o.done && (o.error == QKeychain::NoError || o.error == QKeychain::EntryNotFound))
            return Status::ok();
        return failure(QStringLiteral("The password could not be removed from the keyring"), o);
    }
};

DesktopKeyring production;
KeyringService *current = &production;

} // namespace

KeyringService &keyringService()
{
    return *current;
}

void setKeyringService(KeyringService *service)
{
    current = service ? service : &production;
}

} // namespace bm::platform
