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
    void readsTheMailPassword_data();
    void readsTheMailPassword();
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

void TestConfig::readsTheMailPassword_data()
{
    QTest::addColumn<QByteArray>("mail"); // the [mail] section
    QTest::addColumn<QByteArray>("file"); // the password file's bytes; empty: none made
    QTest::addColumn<int>("mode"); // its permissions, in octal
    QTest::addColumn<QString>("problem"); // empty: read
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("given");

    QTest::newRow("none named") << QByteArray() << QByteArray() << 0600 << QString() << QString() << false;
    QTest::newRow("beside the settings") << QByteArray("password_file=mail-password\n")
                                         << QByteArray("s3cret\n") << 0600 << QString() << "s3cret" << true;
    QTest::newRow("only the first line, without its CR")
        << QByteArray("password_file=mail-password\n") << QByteArray("pa ss\r\nsecond\n") << 0400 << QString()
        << "pa ss" << true;
    QTest::newRow("readable by the group")
        << QByteArray("password_file=mail-password\n") << QByteArray("s3cret") << 0640 << "chmod 600"
        << QString() << false;
    QTest::newRow("readable by all") << QByteArray("password_file=mail-password\n") << QByteArray("s3cret")
                                     << 0644 << "chmod 600" << QString() << false;
    QTest::newRow("missing") << QByteArray("password_file=nowhere\n") << QByteArray() << 0600
                             << "can not be read" << QString() << false;
    QTest::newRow("a whole file, not a password")
        << QByteArray("password_file=mail-password\n") << QByteArray(5000, 'x') << 0600
        << "longer than a password" << QString() << false;
    QTest::newRow("neither yes nor no") << QByteArray("send=maybe\n") << QByteArray() << 0600
                                        << "send= must be yes or no" << QString() << false;
    QTest::newRow("not sending, the file is not read")
        << QByteArray("send=no\npassword_file=nowhere\n") << QByteArray() << 0600 << QString() << QString()
        << false;
}

void TestConfig::readsTheMailPassword()
{
    QFETCH(QByteArray, mail);
    QFETCH(QByteArray, file);
    QFETCH(int, mode);
    QFETCH(QString, problem);
    QFETCH(QString, password);
    QFETCH(bool, given);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("web.conf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[database]\nuri=postgresql:///lodge\n[mail]\n" + mail);
    f.close();
    if (!file.isEmpty()) {
        QFile secret(dir.filePath(QStringLiteral("mail-password")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write(file);
        secret.close();
        // Octal rwx digits to Qt's nibbles: others, group, user and owner.
        const int others = mode & 7, group = (mode >> 3) & 7, owner = (mode >> 6) & 7;
        const auto p = QFileDevice::Permissions::fromInt(others | group << 4 | owner << 8 | owner << 12);
        QVERIFY(secret.setPermissions(p));
    }
    web::Config config;
    const Status s = web::readConfig(path, config);
    if (!problem.isEmpty()) {
        QVERIFY2(!s && s.message().contains(problem), qPrintable(s.message()));
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    QCOMPARE(config.mailPassword, password);
    QCOMPARE(config.mailPasswordGiven, given);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
