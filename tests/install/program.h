#pragma once

#include "platform/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace bm::test
{

// The data folder of a data home.
inline QString programFolder(const QString &dataHome)
{
    return QDir(dataHome).filePath(QStringLiteral("Brindlemoor"));
}

// Starts the program headless, on its own data home.
inline void startProgram(QProcess &process, const QString &program, const QString &dataHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dataHome);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, {});
}

// Waits until the copy that holds the data home answers a call to come
// forward, and gives the window that came forward.
inline std::optional<QString> waitUntilUp(const QString &dataHome, std::chrono::milliseconds patience)
{
    using namespace std::chrono_literals;
    QDeadlineTimer deadline(patience);
    do {
        if (auto reply = platform::SingleInstance::callForward(programFolder(dataHome), 5s))
            return reply;
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

// Stops a copy that a test started, whatever it is doing, and removes the
// socket that it leaves behind.
inline void killProgram(QProcess &process, const QString &dataHome)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
    }
    QLocalServer::removeServer(platform::SingleInstance::serverName(programFolder(dataHome)));
}

} // namespace bm::test
