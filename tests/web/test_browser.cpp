#include "pagefixture.h"
#include "serverdb.h"
#include "smtptestserver.h"

#include "db/changes.h"
#include "db/recordsource.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace bm;

// A client in a real browser asks for a trip on the page the service
// serves, a desk on the same database sees the request come in, and the
// service's mail about it reaches the mail server.
class TestBrowser : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aClientsRequestReachesTheDesk();

private:
    test::PageServer m_server;
};

void TestBrowser::init()
{
    BM_REQUIRE_SERVER();
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/chromium"))
            && QFile::exists(QStringLiteral("/usr/bin/chromedriver")),
        "Chromium and its driver are missing (scripts/setup.sh installs them)");
    QVERIFY(m_server.setUp(QStringLiteral("browser")));
}

void TestBrowser::cleanup()
{
    m_server.tearDown();
}

void TestBrowser::aClientsRequestReachesTheDesk()
{
    int port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString config = folder.filePath(QStringLiteral("web.conf"));
    {
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral(
            "[database]\nuri=\"%1\"\n[web]\nlisten=127.0.0.1\nport=%2\npublic_url=%3\nlocale=en_US\n")
                    .arg(m_server.webUri())
                    .arg(port)
                    .arg(base)
                    .toUtf8());
    }
    // The lodge's mail server, as a desk set it up.
    QTemporaryDir mailed;
    test::SmtpTestServer smtp;
    const int smtpPort = smtp.start(QStringLiteral(SMTP_SERVER), mailed.path());
    QVERIFY(smtpPort > 0);
    QVERIFY(m_server.sql(
        QStringLiteral("INSERT INTO \"Mail Settings\" (\"Server\", \"Port\", \"Security\", "
                       "\"Sender Address\", \"Guide Address\") VALUES "
                       "('127.0.0.1', ?, 'None', 'trips@tallpines.example', 'guide@tallpines.example')"),
        { QString::number(smtpPort) }));

    QProcess service;
    const auto stop = qScopeGuard([&] {
        service.kill();
        service.waitForFinished(5000);
    });
    service.setProcessChannelMode(QProcess::MergedChannels);
    service.start(QStringLiteral(BRINDLEMOOR_WEB), { QStringLiteral("--config"), config });
    QVERIFY(QTest::qWaitFor(
        [&] {
            return service.readAll().contains("serving the booking page")
                || service.state() == QProcess::NotRunning;
        },
        20000));
    QCOMPARE(service.state(), QProcess::Running);

    // The desk: its list of requests, and what it hears of other desks.
    (void)db::connection(m_server.uri());
    RecordSource requests(QStringLiteral("DatBookings"), QStringLiteral("Booking"), nullptr, m_server.uri());
    QVERIFY(requests.openStatus());
    QVERIFY(!requests.hasCurrent());
    QElapsedTimer sinceSent;
    qint64 heardAfter = -1;
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [&](const QString &location, const QString &table) {
            if (location == m_server.uri() && table == QLatin1String("Booking") && heardAfter < 0
                && sinceSent.isValid())
                heardAfter = sinceSent.elapsed();
        });

    const QDate day = m_server.dayAhead(10);
    QProcess browser;
    QStringList arguments { QStringLiteral(BROWSER_SCRIPT), base, day.toString(Qt::ISODate) };
    if (const QString shots = qEnvironmentVariable("BM_SCREENSHOTS"); !shots.isEmpty())
        arguments << shots;
    // Debian's own Python, which the selenium package is for.
    browser.start(QStringLiteral("/usr/bin/python3"), arguments);
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += browser.readAllStandardOutput();
            if (!sinceSent.isValid() && said.contains("SUBMIT"))
                sinceSent.start();
            return browser.state() == QProcess::NotRunning;
        },
        120000));
    said += browser.readAllStandardOutput();
    QVERIFY2(browser.exitCode() == 0 && said.contains("SENT"),
        qPrintable(QString::fromUtf8(said + browser.readAllStandardError())));
    QVERIFY(QTest::qWaitFor([&] { return heardAfter >= 0; }, 2000));
    QVERIFY2(heardAfter <= 2000, qPrintable(QStringLiteral("heard after %1 ms").arg(heardAfter)));

    QVERIFY(requests.Refresh());
    QVERIFY(requests.hasCurrent());
    QCOMPARE(requests.text(QStringLiteral("Status")), QStringLiteral("Requested"));
    QCOMPARE(requests.text(QStringLiteral("Name")), QStringLiteral("Ann Lee"));
    QCOMPARE(requests.value(QStringLiteral("Date")).toDate(), day);
    QCOMPARE(requests.text(QStringLiteral("Notes")), QStringLiteral("We bring our own rods."));
    QVERIFY(requests.MoveNext());
    QVERIFY(requests.isEOF());

    // The client's and the guide's mail went at once, not at the minute.
    QVERIFY2(QTest::qWaitFor([&] { return smtp.received().size() == 2; }, 15000),
        qPrintable(QString::number(smtp.received().size())));
    QStringList to;
    for (const QJsonObject &m : smtp.received())
        to << m.value(QLatin1String("rcpt_tos")).toVariant().toStringList();
    to.sort();
    QCOMPARE(
        to, (QStringList { QStringLiteral("ann@example.com"), QStringLiteral("guide@tallpines.example") }));

    // The service stops cleanly when told.
    service.terminate();
    QVERIFY(service.waitForFinished(10000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
