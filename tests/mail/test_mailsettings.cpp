#include "checks.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/query.h"
#include "mail/settings.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QTest>

using namespace bm;
namespace MS = bm::mailsettings;

Q_DECLARE_METATYPE(MS::Settings)
Q_DECLARE_METATYPE(MS::Field)
Q_DECLARE_METATYPE(mail::Security)

namespace
{

MS::Settings lodge()
{
    MS::Settings s;
    s.server = QStringLiteral("smtp.tallow-lake.com");
    s.port = QStringLiteral("465");
    s.security = QLatin1String(MS::tls);
    s.user = QStringLiteral("bookings@tallow-lake.com");
    s.senderAddress = QStringLiteral("bookings@tallow-lake.com");
    s.senderName = QStringLiteral("Tallow Lake Guiding");
    s.guideAddress = QStringLiteral("jim@example.com");
    return s;
}

// The records of Mail Settings, or -1 when they can not be counted.
int records()
{
    db::Query q;
    QVariant n;
    if (!BM_CHECK(q.single(
            QStringLiteral("SELECT count(*) FROM %1").arg(schema::quoted(QLatin1String(table::MailSettings))),
            {}, n)))
        return -1;
    return n.toInt();
}

} // namespace

class TestMailSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void writtenAndReadBack_data();
    void writtenAndReadBack();
    void refused_data();
    void refused();
    void readsWhatAnotherProgramWrote();
    void forSending_data();
    void forSending();
};

void TestMailSettings::init()
{
    test::resetDatabase();
}

void TestMailSettings::writtenAndReadBack_data()
{
    QTest::addColumn<MS::Settings>("first"); // written, then
    QTest::addColumn<MS::Settings>("second"); // written over it
    QTest::addColumn<MS::Settings>("read");

    const MS::Settings full = lodge();
    MS::Settings typed = full;
    typed.server = QStringLiteral("  smtp.tallow-lake.com ");
    typed.port = QStringLiteral(" 465 ");
    typed.senderName = QStringLiteral(" Tallow Lake Guiding\t");
    QTest::newRow("blanks around the values") << MS::Settings() << typed << full;

    MS::Settings bare;
    bare.server = QStringLiteral("127.0.0.1");
    bare.port = QStringLiteral("25");
    bare.security = QLatin1String(MS::none);
    bare.senderAddress = QStringLiteral("jim@example.com");
    QTest::newRow("no login, no name, no guide's address") << MS::Settings() << bare << bare;
    QTest::newRow("emptied over a full record") << full << bare << bare;
    MS::Settings moved = full;
    moved.server = QStringLiteral("mail.example.net");
    moved.port = QStringLiteral("00587");
    moved.security = QLatin1String(MS::startTls);
    MS::Settings movedRead = moved;
    movedRead.port = QStringLiteral("587");
    QTest::newRow("changed") << full << moved << movedRead;
}

// Saving twice keeps one record, and what is read is what was saved, trimmed.
void TestMailSettings::writtenAndReadBack()
{
    QFETCH(MS::Settings, first);
    QFETCH(MS::Settings, second);
    QFETCH(MS::Settings, read);
    MS::Settings before;
    BM_VERIFY(MS::read(before));
    QCOMPARE(before, MS::Settings());
    QCOMPARE(records(), 0);
    if (!first.server.isEmpty())
        BM_VERIFY(MS::write(first));
    BM_VERIFY(MS::write(second));
    QCOMPARE(records(), 1);
    MS::Settings got;
    BM_VERIFY(MS::read(got));
    QCOMPARE(got, read);
}

void TestMailSettings::refused_data()
{
    QTest::addColumn<MS::Settings>("settings");
    QTest::addColumn<MS::Field>("field");
    QTest::addColumn<QString>("says");

    auto with = [](auto change) {
        MS::Settings s = lodge();
        change(s);
        return s;
    };
    QTest::newRow("no server") << with([](MS::Settings &s) { s.server = QStringLiteral("  "); })
                               << MS::Field::Server << "Server";
    QTest::newRow("a server with a blank")
        << with([](MS::Settings &s) { s.server = QStringLiteral("smtp tallow-lake.com"); })
        << MS::Field::Server << "Server";
    QTest::newRow("a server as a link")
        << with([](MS::Settings &s) { s.server = QStringLiteral("smtp://smtp.tallow-lake.com"); })
        << MS::Field::Server << "Server";
    QTest::newRow("no port") << with([](MS::Settings &s) { s.port.clear(); }) << MS::Field::Port << "Port";
    QTest::newRow("port 0") << with([](MS::Settings &s) { s.port = QStringLiteral("0"); }) << MS::Field::Port
                            << "Port";
    QTest::newRow("port 65536") << with([](MS::Settings &s) { s.port = QStringLiteral("65536"); })
                                << MS::Field::Port << "Port";
    QTest::newRow("a port in words") << with([](MS::Settings &s) { s.port = QStringLiteral("587 or 465"); })
                                     << MS::Field::Port << "Port";
    QTest::newRow("security in small letters")
        << with([](MS::Settings &s) { s.security = QStringLiteral("tls"); }) << MS::Field::Security
        << "Security";
    QTest::newRow("a line break in the user")
        << with([](MS::Settings &s) { s.user = QStringLiteral("jim\r\nRCPT TO:<x@example.com>"); })
        << MS::Field::User << "User";
    QTest::newRow("no sender address") << with([](MS::Settings &s) { s.senderAddress.clear(); })
                                       << MS::Field::SenderAddress << "Sender Address";
    QTest::newRow("two sender addresses")
        << with([](MS::Settings &s) { s.senderAddress = QStringLiteral("a@example.com, b@example.com"); })
        << MS::Field::SenderAddress << "Sender Address";
    QTest::newRow("a line break in the sender's name")
        << with([](MS::Settings &s) { s.senderName = QStringLiteral("Tallow\nBcc: x@example.com"); })
        << MS::Field::SenderName << "Sender Name";
    QTest::newRow("a guide's address without @")
        << with([](MS::Settings &s) { s.guideAddress = QStringLiteral("jim.example.com"); })
        << MS::Field::GuideAddress << "Guide's Address";
}

// A refused value names its field, and nothing is written: neither over
// the record saved before nor as a first record.
void TestMailSettings::refused()
{
    QFETCH(MS::Settings, settings);
    QFETCH(MS::Field, field);
    QFETCH(QString, says);
    MS::Field named = MS::Field::None;
    const Status checked = MS::check(settings, &named);
    QVERIFY(!checked);
    QCOMPARE(named, field);
    QVERIFY2(checked.message().contains(says), qPrintable(checked.message()));

    QVERIFY(!MS::write(settings));
    QCOMPARE(records(), 0);
    MS::Settings saved = lodge();
    saved.senderName = QStringLiteral("Before");
    BM_VERIFY(MS::write(saved));
    const Status written = MS::write(settings);
    QVERIFY(!written);
    QCOMPARE(written.message(), checked.message());
    MS::Settings got;
    BM_VERIFY(MS::read(got));
    QCOMPARE(got, saved);
}

// A record written by another program shows as it is, a missing port or
// security as the usual one; a value the window can't offer is refused on
// saving rather than changed.
void TestMailSettings::readsWhatAnotherProgramWrote()
{
    namespace M = field::MailSettings;
    const QString table = QLatin1String(table::MailSettings);
    BM_VERIFY(db::write(databasePath(), table,
        QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?)")
            .arg(schema::quoted(table), schema::quoted(QLatin1String(M::Server)),
                schema::quoted(QLatin1String(M::SenderAddress)), schema::quoted(QLatin1String(M::User))),
        { QStringLiteral("smtp.example.com"), QStringLiteral("jim@example.com"), QStringLiteral("jim") }));
    MS::Settings got;
    BM_VERIFY(MS::read(got));
    MS::Settings expected;
    expected.server = QStringLiteral("smtp.example.com");
    expected.senderAddress = QStringLiteral("jim@example.com");
    expected.user = QStringLiteral("jim");
    QCOMPARE(got, expected);
    BM_VERIFY(MS::check(got));

    BM_VERIFY(db::write(databasePath(), table,
        QStringLiteral("UPDATE %1 SET %2 = ?")
            .arg(schema::quoted(table), schema::quoted(QLatin1String(M::Security))),
        { QStringLiteral("SSL/TLS") }));
    BM_VERIFY(MS::read(got));
    QCOMPARE(got.security, QStringLiteral("SSL/TLS"));
    MS::Field named = MS::Field::None;
    QVERIFY(!MS::check(got, &named));
    QCOMPARE(named, MS::Field::Security);
}

void TestMailSettings::forSending_data()
{
    QTest::addColumn<MS::Settings>("settings");
    QTest::addColumn<mail::Security>("security");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("password"); // as it goes to the server
    QTest::addColumn<QString>("key");

    MS::Settings s = lodge();
    s.server = QStringLiteral(" SMTP.Tallow-Lake.com ");
    QTest::newRow("TLS with a login") << s << mail::Security::Tls << 465 << "trout-42"
                                      << "smtp:bookings@tallow-lake.com@smtp.tallow-lake.com";
    s.security = QLatin1String(MS::startTls);
    s.port = QStringLiteral("587");
    QTest::newRow("STARTTLS") << s << mail::Security::StartTls << 587 << "trout-42"
                              << "smtp:bookings@tallow-lake.com@smtp.tallow-lake.com";
    s.security = QLatin1String(MS::none);
    s.port = QStringLiteral("25");
    s.user.clear();
    QTest::newRow("plain without a login: no password")
        << s << mail::Security::None << 25 << QString() << QString();
}

// What the mail library sends with: the kept words turned into its
// settings, the keyring's password only with a login, under the login's key.
void TestMailSettings::forSending()
{
    QFETCH(MS::Settings, settings);
    QFETCH(mail::Security, security);
    QFETCH(int, port);
    QFETCH(QString, password);
    QFETCH(QString, key);
    mail::SmtpSettings smtp;
    mail::Mailbox from;
    BM_VERIFY(MS::forSending(settings, QStringLiteral("trout-42"), smtp, from));
    QCOMPARE(smtp.host, settings.server.trimmed());
    QCOMPARE(smtp.port, port);
    QCOMPARE(smtp.security, security);
    QCOMPARE(smtp.user, settings.user);
    QCOMPARE(smtp.password, password);
    QCOMPARE(from.address, settings.senderAddress);
    QCOMPARE(from.name, settings.senderName);
    QCOMPARE(MS::keyringKey(settings), key);

    MS::Settings bad = settings;
    bad.port = QStringLiteral("99999");
    QVERIFY(!MS::forSending(bad, QStringLiteral("trout-42"), smtp, from));
}

BM_TEST_MAIN(TestMailSettings)
#include "test_mailsettings.moc"
