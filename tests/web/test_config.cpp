#include "web/config.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace bm;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void readsTheSettings_data();
    void readsTheSettings();
};

void TestConfig::readsTheSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem"); // empty: read
    QTest::addColumn<QString>("listen");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("publicUrl");

    const QByteArray uri = "[database]\nuri=postgresql://db.lodge/lodge?user=lodge_web&sslmode=verify-full\n";
    QTest::newRow("defaults") << uri << QString() << "127.0.0.1" << 8080 << QString();
    QTest::newRow("everything given")
        << uri + "[web]\nlisten=::1\nport=8443\npublic_url=https://book.example.com/\nrequests_per_hour=9\n"
        << QString() << "::1" << 8443 << "https://book.example.com/";
    QTest::newRow("no database") << QByteArray("[web]\nport=8080\n") << "uri=" << QString() << 0 << QString();
    QTest::newRow("a database file") << QByteArray("[database]\nuri=/home/ann/tallow.mdb\n")
                                     << "shared database" << QString() << 0 << QString();
    QTest::newRow("a port out of range") << uri + "[web]\nport=70000\n"
                                         << "port=" << QString() << 0 << QString();
    QTest::newRow("a port in words") << uri + "[web]\nport=eighty\n"
                                     << "port=" << QString() << 0 << QString();
    QTest::newRow("a host name to listen on") << uri + "[web]\nlisten=book.example.com\n"
                                              << "listen=" << QString() << 0 << QString();
    QTest::newRow("a public address without a host") << uri + "[web]\npublic_url=https:///r\n"
                                                     << "public_url=" << QString() << 0 << QString();
    QTest::newRow("a public address of another scheme") << uri + "[web]\npublic_url=javascript:alert(1)\n"
                                                        << "public_url=" << QString() << 0 << QString();
    QTest::newRow("no cap on requests") << uri + "[web]\nrequests_per_hour=0\n"
                                        << "requests_per_hour=" << QString() << 0 << QString();
    QTest::newRow("a locale that is none") << uri + "[web]\nlocale=klingon\n"
                                           << "locale=" << QString() << 0 << QString();
}

void TestConfig::readsTheSettings()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    QFETCH(QString, listen);
    QFETCH(int, port);
    QFETCH(QString, publicUrl);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("web.conf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    web::Config config;
    const Status s = web::readConfig(path, config);
    if (!problem.isEmpty()) {
        QVERIFY(!s);
        QVERIFY2(s.message().startsWith(path) && s.message().contains(problem), qPrintable(s.message()));
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(config.listen, listen);
    QCOMPARE(config.port, port);
    QCOMPARE(config.publicUrl.toString(), publicUrl);
    QVERIFY(config.databaseUri.startsWith(QLatin1String("postgresql://db.lodge/lodge")));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
