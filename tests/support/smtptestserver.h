#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace bm::test
{

// The tests' mail server (tests/support/smtpserver.py, run by Debian's
// python3 with aiosmtpd) on a free port of this machine; each message it
// takes is a file in the folder given.
class SmtpTestServer
{
public:
    static QString python() { return QStringLiteral("/usr/bin/python3"); }

    // Whether the server can run here at all.
    static bool available()
    {
        QProcess probe;
        probe.start(python(), { QStringLiteral("-c"), QStringLiteral("import aiosmtpd") });
        return probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit
            && probe.exitCode() == 0;
    }

    ~SmtpTestServer() { stop(); }

    // Starts it with the script's options, writing what it takes into out
    // (kept from one start to the next); its port, or 0 when it did not.
    int start(const QString &script, const QString &out, const QStringList &options = {})
    {
        stop();
        m_out = out;
        m_process.start(python(), QStringList { script, QStringLiteral("--out"), out } + options);
        QByteArray said;
        (void)QTest::qWaitFor(
            [&] {
                said += m_process.readAllStandardOutput();
                return said.contains('\n') || m_process.state() == QProcess::NotRunning;
            },
            20000);
        if (!said.startsWith("PORT ")) {
            qWarning(
                "the test's mail server did not start: %s", m_process.readAllStandardError().constData());
            return 0;
        }
        return said.mid(5).trimmed().toInt();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // What it took, in the order it took it: {"mail_from", "rcpt_tos", "data"
    // (base64), "tls", "authenticated"}.
    QList<QJsonObject> received() const { return received(m_out); }
    static QList<QJsonObject> received(const QString &folder)
    {
        QList<QJsonObject> out;
        for (const QString &name :
            QDir(folder).entryList({ QStringLiteral("message-*.json") }, QDir::Files, QDir::Name)) {
            QFile f(QDir(folder).filePath(name));
            if (f.open(QIODevice::ReadOnly))
                out.append(QJsonDocument::fromJson(f.readAll()).object());
        }
        return out;
    }

private:
    QProcess m_process;
    QString m_out;
};

} // namespace bm::test
