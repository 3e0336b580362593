#pragma once

#include "calsync/caldav.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace bm::test
{

// Debian's Radicale (a CalDAV server) on a free port of this machine, with a
// throwaway folder, one user "guide" (password "secret") and his calendar
// "trips". Optionally over TLS with a certificate of its own, which the
// tests trust through caFile(). Stopped and started again on the same port
// and folder, it keeps its calendars.
class RadicaleServer
{
public:
    static QString program() { return QStringLiteral("/usr/bin/radicale"); }
    static bool available() { return QFileInfo(program()).isExecutable(); }

    ~RadicaleServer() { stop(); }

    // Starts it (the first time: lays the folder, the users and, with tls,
    // the certificate in, and makes the calendar); false when it did not.
    bool start(bool tls = false)
    {
        if (!m_dir) {
            m_dir = std::make_unique<QTemporaryDir>();
            m_tls = tls;
            QTcpServer probe;
            if (!m_dir->isValid() || !probe.listen(QHostAddress::LocalHost))
                return false;
            m_port = probe.serverPort();
            probe.close();
            if (!write(QStringLiteral("users"), "guide:secret\n"))
                return false;
            if (tls && !makeCertificate())
                return false;
            QString config = QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n").arg(m_port);
            if (tls)
                config += QStringLiteral("ssl = True\ncertificate = %1\nkey = %2\n")
                              .arg(path("cert.pem"), path("key.pem"));
            config += QStringLiteral(
                "[auth]\ntype = htpasswd\nhtpasswd_filename = %1\nhtpasswd_encryption = plain\n"
                "[storage]\nfilesystem_folder = %2\n[rights]\ntype = owner_only\n"
                "[logging]\nlevel = warning\n")
                          .arg(path("users"), path("collections"));
            if (!write(QStringLiteral("config"), config.toUtf8()))
                return false;
            if (!launch())
                return false;
            const Reply r = calsync::request(account(), "MKCALENDAR", calendarUrl(), {},
                "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:mkcalendar xmlns:d=\"DAV:\" "
                "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop><d:displayname>Guided "
                "trips</d:displayname>"
                "</d:prop></d:set></c:mkcalendar>");
            if (r.code != 201)
                qWarning("MKCALENDAR answered %d %s", r.code, qPrintable(r.reason));
            return r.code == 201;
        }
        return launch();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    int port() const { return m_port; }
    QString base() const
    {
        return QStringLiteral("%1://127.0.0.1:%2/")
            .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(m_port);
    }
    QString calendarUrl() const { return base() + QStringLiteral("guide/trips/"); }
    QString caFile() const { return m_tls ? path("cert.pem") : QString(); }
    // The folder of the guide's calendar as Radicale keeps it: a file an event.
    QString calendarFolder() const
    {
        return path("collections") + QStringLiteral("/collection-root/guide/trips");
    }
    calsync::Account account() const
    {
        calsync::Account a;
        a.server = base();
        a.user = QStringLiteral("guide");
        a.password = QStringLiteral("secret");
        a.caFile = caFile();
        a.timeoutMs = 20000;
        return a;
    }

private:
    using Reply = calsync::Reply;

    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    bool write(const QString &name, const QByteArray &text)
    {
        QFile f(m_dir->filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }
    bool makeCertificate()
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
            { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", path("key.pem"), "-out",
                path("cert.pem") });
        return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
    }
    bool launch()
    {
        stop();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program(), { QStringLiteral("--config"), path("config") });
        const bool up = QTest::qWaitFor(
            [&] {
                if (m_process.state() == QProcess::NotRunning)
                    return true;
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, quint16(m_port));
                return s.waitForConnected(200);
            },
            30000);
        if (!up || m_process.state() == QProcess::NotRunning) {
            qWarning("radicale did not start");
            return false;
        }
        return true;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    int m_port = 0;
    bool m_tls = false;
};

} // namespace bm::test
