#include "mail/message.h"

#include "mailread.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace bm;
namespace mr = bm::test::mailread;

namespace
{

mail::Message letter()
{
    mail::Message m;
    m.from = { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") };
    m.to = { QStringLiteral("ann@example.com"), QStringLiteral("Ann Smith") };
    m.subject = QStringLiteral("Your trip");
    m.body = QStringLiteral("See you at six.\n");
    return m;
}

// The promises every composed message keeps: a well-formed header block,
// each header once, one sender and exactly one recipient, short lines.
void checkWellFormed(const QByteArray &bytes, const mail::Message &m)
{
    const mr::Parsed p = mr::parse(bytes);
    QVERIFY2(p.problem.isEmpty(), qPrintable(p.problem));
    QSet<QByteArray> expected { "Date", "Message-ID", "From", "To", "Subject", "MIME-Version", "Content-Type",
        "Content-Transfer-Encoding" };
    if (!m.replyTo.address.isEmpty())
        expected.insert("Reply-To");
    QCOMPARE(p.fields.size(), expected.size());
    for (const mr::Field &f : p.fields)
        QVERIFY2(expected.contains(f.name), f.name.constData());
    QList<mr::Mailbox> to;
    QVERIFY(mr::mailboxes(p.values("To").value(0), to));
    QCOMPARE(to.size(), 1);
    QCOMPARE(to[0].address, m.to.address.toLatin1());
    QList<mr::Mailbox> from;
    QVERIFY(mr::mailboxes(p.values("From").value(0), from));
    QCOMPARE(from.size(), 1);
    QVERIFY(p.longestLine <= 78);
    QVERIFY(bytes.endsWith("\r\n"));
}

} // namespace

class TestMessage : public QObject
{
    Q_OBJECT
private slots:
    void headerFields_data();
    void headerFields();
    void dateForm_data();
    void dateForm();
    void messageId();
    void body_data();
    void body();
};

void TestMessage::headerFields_data()
{
    QTest::addColumn<QString>("field"); // subject, toName, fromName, to, from, replyTo
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal"); // empty: composed; else words of the failure
    QTest::addColumn<QByteArray>("lines"); // the field's exact lines; empty: not compared
    QTest::addColumn<QString>("reads"); // the text a mail program shows

    const QString ann = QStringLiteral("ann@example.com");
    // Text encoded as it must be.
    QTest::newRow("plain subject") << "subject"
                                   << "Trip on Saturday" << QString()
                                   << QByteArray("Subject: Trip on Saturday\r\n") << "Trip on Saturday";
    QTest::newRow("accented subject")
        << "subject"
        << "Réservation confirmée" << QString()
        << QByteArray("Subject: =?UTF-8?B?UsOpc2VydmF0aW9uIGNvbmZpcm3DqWU=?=\r\n") << "Réservation confirmée";
    QTest::newRow("emoji subject") << "subject"
                                   << "Big catch 🎣" << QString()
                                   << QByteArray("Subject: =?UTF-8?B?QmlnIGNhdGNoIPCfjqM=?=\r\n")
                                   << "Big catch 🎣";
    const QString longSubject = QStringLiteral("Your trip on Lake Tallow is confirmed for Saturday the "
                                               "fourteenth of June, starting at the north marina "
                                               "at six");
    QTest::newRow("long subject folded")
        << "subject" << longSubject << QString()
        << QByteArray(
               "Subject: Your trip on Lake Tallow is confirmed for Saturday the fourteenth of\r\n June, "
               "starting at the north marina at six\r\n")
        << longSubject;
    const QString longAccents = QStringLiteral(
        "Départ à l'aube: café offert, quai nord du lac Tallow, réservé pour vous et votre équipe 🎣🎣🎣🎣🎣🎣");
    QTest::newRow("long accented subject folded")
        << "subject" << longAccents << QString() << QByteArray() << longAccents;
    QTest::newRow("subject like an encoded word")
        << "subject"
        << "=?UTF-8?B?QQ==?=" << QString() << QByteArray("Subject: =?UTF-8?B?PT9VVEYtOD9CP1FRPT0/PQ==?=\r\n")
        << "=?UTF-8?B?QQ==?=";
    QTest::newRow("a very long word")
        << "subject" << QString(90, u'x') << QString() << QByteArray() << QString(90, u'x');
    QTest::newRow("plain name") << "toName"
                                << "Ann Smith" << QString()
                                << QByteArray("To: Ann Smith <ann@example.com>\r\n") << "Ann Smith";
    QTest::newRow("name with dots quoted")
        << "toName"
        << "J. R. Hartley" << QString() << QByteArray("To: \"J. R. Hartley\" <ann@example.com>\r\n")
        << "J. R. Hartley";
    QTest::newRow("name with quote and backslash")
        << "toName"
        << R"(Ann "Reel" O\Neil)" << QString()
        << QByteArray(R"(To: "Ann \"Reel\" O\\Neil" <ann@example.com>)"
                      "\r\n")
        << R"(Ann "Reel" O\Neil)";
    QTest::newRow("accented name") << "toName"
                                   << "Zoë Brontë" << QString()
                                   << QByteArray("To: =?UTF-8?B?Wm/DqyBCcm9udMOr?= <ann@example.com>\r\n")
                                   << "Zoë Brontë";
    QTest::newRow("name with a comma and an address")
        << "toName"
        << "Smith, Ann <evil@x.com>" << QString()
        << QByteArray("To: =?UTF-8?B?U21pdGgsIEFubiA8ZXZpbEB4LmNvbT4=?= <ann@example.com>\r\n")
        << "Smith, Ann <evil@x.com>";
    const QString longName
        = QStringLiteral("Åsa-Britt Kristina Lindqvist-Østergaard of Little Tallow Narrows");
    QTest::newRow("long accented sender folded")
        << "fromName" << longName << QString() << QByteArray() << longName;
    QTest::newRow("no name") << "toName" << QString() << QString() << QByteArray("To: ann@example.com\r\n")
                             << QString();
    QTest::newRow("plus address") << "to"
                                  << "ann+trips@mail.example.co.uk" << QString()
                                  << QByteArray("To: Ann Smith <ann+trips@mail.example.co.uk>\r\n")
                                  << QString();

    // Hostile text: a line break in a name or subject becomes blanks and never
    // a header of its own.
    QTest::newRow("name with a header") << "toName"
                                        << "Ann\r\nBcc: evil@x.com" << QString()
                                        << QByteArray("To: =?UTF-8?B?QW5uICBCY2M6IGV2aWxAeC5jb20=?= "
                                                      "<ann@example.com>\r\n")
                                        << "Ann  Bcc: evil@x.com";
    QTest::newRow("subject with a header")
        << "subject"
        << "Hi\r\nBcc: evil@x.com" << QString() << QByteArray("Subject: Hi  Bcc: evil@x.com\r\n")
        << "Hi  Bcc: evil@x.com";
    QTest::newRow("subject with a lone CR")
        << "subject"
        << "x\rTo: y@z.com" << QString() << QByteArray("Subject: x To: y@z.com\r\n") << "x To: y@z.com";
    QTest::newRow("subject with NUL and tab") << "subject" << QString::fromUtf8("a\0b\tc", 5) << QString()
                                              << QByteArray("Subject: a b c\r\n") << "a b c";
    QTest::newRow("subject of line breaks first")
        << "subject"
        << "\n\nBody: none" << QString() << QByteArray("Subject: Body: none\r\n") << "Body: none";
    QTest::newRow("subject with a line separator")
        << "subject" << QStringLiteral("a\u2028b\u0085c") << QString() << QByteArray("Subject: a b c\r\n")
        << "a b c";
    QTest::newRow("sender name with LF") << "fromName"
                                         << "Guide\nTo: evil@x.com" << QString()
                                         << QByteArray("From: =?UTF-8?B?R3VpZGUgVG86IGV2aWxAeC5jb20=?= "
                                                       "<guide@tallow-lake.com>\r\n")
                                         << "Guide To: evil@x.com";

    // Hostile addresses are refused, naming which.
    QTest::newRow("address with a header") << "to" << ann + "\r\nBcc: evil@x.com"
                                           << "recipient's address" << QByteArray() << QString();
    QTest::newRow("address with NUL") << "to" << ann + QChar(0) << "control" << QByteArray() << QString();
    QTest::newRow("two addresses") << "to" << ann + ", evil@x.com"
                                   << "comma" << QByteArray() << QString();
    QTest::newRow("name and address") << "to"
                                      << "Ann <ann@example.com>"
                                      << "recipient's address" << QByteArray() << QString();
    QTest::newRow("angle brackets") << "to"
                                    << "<ann@example.com>"
                                    << "angle bracket" << QByteArray() << QString();
    QTest::newRow("two @") << "to"
                           << "ann@evil@example.com"
                           << "more than one @" << QByteArray() << QString();
    QTest::newRow("no @") << "to"
                          << "ann.example.com"
                          << "no @" << QByteArray() << QString();
    QTest::newRow("blank") << "to"
                           << "ann @example.com"
                           << "blank" << QByteArray() << QString();
    QTest::newRow("quoted local part") << "to"
                                       << "\"ann\"@example.com"
                                       << "before the @" << QByteArray() << QString();
    QTest::newRow("odd domain") << "to"
                                << "ann@exa_mple.com"
                                << "after the @" << QByteArray() << QString();
    QTest::newRow("empty address") << "to" << QString() << "empty" << QByteArray() << QString();
    QTest::newRow("too long") << "to"
                              << QString(64, u'a') + u'@' + QString(186, u'b') + QStringLiteral(".com")
                              << "254" << QByteArray() << QString();
    QTest::newRow("non-ASCII") << "to"
                               << "zoë@example.com"
                               << "ASCII" << QByteArray() << QString();
    QTest::newRow("sender with LF") << "from"
                                    << "guide@tallow-lake.com\nBcc: x@y.com"
                                    << "sender's address" << QByteArray() << QString();
    QTest::newRow("reply-to with a list") << "replyTo"
                                          << "desk@tallow-lake.com,evil@x.com"
                                          << "reply-to address" << QByteArray() << QString();
    QTest::newRow("reply-to") << "replyTo"
                              << "desk@tallow-lake.com" << QString()
                              << QByteArray("Reply-To: desk@tallow-lake.com\r\n") << QString();
}

void TestMessage::headerFields()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    QFETCH(QByteArray, lines);
    QFETCH(QString, reads);

    mail::Message m = letter();
    QByteArray header = "Subject";
    if (field == QLatin1String("subject"))
        m.subject = value;
    else if (field == QLatin1String("toName"))
        m.to.name = value, header = "To";
    else if (field == QLatin1String("fromName"))
        m.from.name = value, header = "From";
    else if (field == QLatin1String("to"))
        m.to.address = value, header = "To";
    else if (field == QLatin1String("from"))
        m.from.address = value, header = "From";
    else
        m.replyTo.address = value, header = "Reply-To";

    QByteArray bytes = "left over";
    const Status s = mail::compose(m, bytes);
    if (field == QLatin1String("to"))
        QCOMPARE(mail::plausibleAddress(value), refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QVERIFY(!s);
        QVERIFY2(s.message().contains(refusal), qPrintable(s.message()));
        QVERIFY(!s.message().contains(u'\n') && !s.message().contains(u'\r'));
        QVERIFY(bytes.isEmpty());
        return;
    }
    QVERIFY2(s, qPrintable(s.message()));
    checkWellFormed(bytes, m);
    if (QTest::currentTestFailed())
        return;
    if (!lines.isEmpty())
        QVERIFY2(bytes.contains("\r\n" + lines), bytes.constData());
    const mr::Parsed p = mr::parse(bytes);
    const QByteArray raw = p.values(header).value(0);
    if (header == "Subject") {
        QCOMPARE(mr::decodeWords(raw), reads);
        // Each encoded word holds whole characters, and fits a line.
        static const QRegularExpression word(QStringLiteral(R"(=\?UTF-8\?B\?([^?]*)\?=)"));
        for (const auto &w : word.globalMatch(QString::fromLatin1(raw))) {
            QVERIFY(w.capturedLength() <= 75);
            const QByteArray utf8 = QByteArray::fromBase64(w.captured(1).toLatin1());
            QCOMPARE(QString::fromUtf8(utf8).toUtf8(), utf8);
        }
    } else if (!reads.isEmpty()) {
        QList<mr::Mailbox> boxes;
        QVERIFY(mr::mailboxes(raw, boxes));
        QCOMPARE(boxes.value(0).name, reads);
    }
}

void TestMessage::dateForm_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QByteArray>("form");

    QTest::newRow("east of Greenwich") << QDateTime(QDate(2025, 3, 4), QTime(14, 5, 9), Qt::OffsetFromUTC,
        3600) << QByteArray("Tue, 4 Mar 2025 14:05:09 +0100");
    QTest::newRow("west, half hours") << QDateTime(QDate(2024, 12, 29), QTime(6, 0), Qt::OffsetFromUTC, -9000)
                                      << QByteArray("Sun, 29 Dec 2024 06:00:00 -0230");
    QTest::newRow("UTC") << QDateTime(QDate(2026, 1, 1), QTime(0, 0, 1), Qt::UTC)
                         << QByteArray("Thu, 1 Jan 2026 00:00:01 +0000");
}

void TestMessage::dateForm()
{
    QFETCH(QDateTime, when);
    QFETCH(QByteArray, form);
    QCOMPARE(mail::rfc5322Date(when), form);
    mail::Message m = letter();
    m.date = when;
    QByteArray bytes;
    QVERIFY(mail::compose(m, bytes));
    QVERIFY(bytes.startsWith("Date: " + form + "\r\n"));
}

void TestMessage::messageId()
{
    const QString made = mail::makeMessageId(QStringLiteral("guide@tallow-lake.com"));
    QVERIFY2(
        QRegularExpression(QStringLiteral(R"(^<[0-9a-f]{32}@tallow-lake\.com>$)")).match(made).hasMatch(),
        qPrintable(made));
    QVERIFY(made != mail::makeMessageId(QStringLiteral("guide@tallow-lake.com")));

    // The first composing fills in the ID and date; a second sends the same.
    mail::Message m = letter();
    QByteArray first;
    QVERIFY(mail::compose(m, first));
    QVERIFY(m.date.isValid());
    QVERIFY(m.messageId.endsWith(QLatin1String("@tallow-lake.com>")));
    QByteArray second;
    QVERIFY(mail::compose(m, second));
    QCOMPARE(second, first);
    QVERIFY(first.contains("\r\nMessage-ID: " + m.messageId.toLatin1() + "\r\n"));

    m.messageId = QStringLiteral("<booking-42.1@desk.tallow-lake.com>");
    QVERIFY(mail::compose(m, first));
    QCOMPARE(m.messageId, QStringLiteral("<booking-42.1@desk.tallow-lake.com>"));
    QVERIFY(first.contains("\r\nMessage-ID: <booking-42.1@desk.tallow-lake.com>\r\n"));

    for (const QString &bad : { QStringLiteral("<a@b>\r\nBcc: evil@x.com"), QStringLiteral("a@b.com"),
             QStringLiteral("<a b@c.com>"), QStringLiteral("<a@b@c.com>") }) {
        m.messageId = bad;
        const Status s = mail::compose(m, first);
        QVERIFY2(!s && s.message().contains(QLatin1String("ID")), qPrintable(bad));
    }
}

void TestMessage::body_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");

    QTest::newRow("plain") << "Hello\nSee you" << QByteArray("Hello\r\nSee you\r\n");
    QTest::newRow("every kind of line end") << "a\r\nb\rc\n" << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("a lone dot stays for the sender to double")
        << "Line\n.\nafter" << QByteArray("Line\r\n.\r\nafter\r\n");
    QTest::newRow("accents") << "Zoë" << QByteArray("Zo=C3=AB\r\n");
    QTest::newRow("equals sign") << "a=b" << QByteArray("a=3Db\r\n");
    QTest::newRow("blank at a line's end") << "end \nx\t" << QByteArray("end=20\r\nx=09\r\n");
    QTest::newRow("long line") << QString(100, u'a')
                               << QString(75, u'a').toLatin1() + "=\r\n" + QByteArray(25, 'a') + "\r\n";
    // Soft breaks fall between =XX triplets, also inside a character's bytes.
    const QByteArray accents = QByteArray("=C3=A9").repeated(40);
    QTest::newRow("long accented line") << QString(40, u'é')
                                        << accents.mid(0, 75) + "=\r\n" + accents.mid(75, 75) + "=\r\n"
            + accents.mid(150, 75) + "=\r\n" + accents.mid(225) + "\r\n";
    QTest::newRow("empty") << QString() << QByteArray("\r\n");
}

void TestMessage::body()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    mail::Message m = letter();
    m.body = text;
    QByteArray bytes;
    QVERIFY(mail::compose(m, bytes));
    checkWellFormed(bytes, m);
    const mr::Parsed p = mr::parse(bytes);
    QCOMPARE(p.values("Content-Transfer-Encoding").value(0), QByteArray("quoted-printable"));
    QCOMPARE(p.values("Content-Type").value(0), QByteArray("text/plain; charset=UTF-8"));
    QCOMPARE(p.body, encoded);
    for (const QByteArray &line : p.body.split('\n'))
        QVERIFY(line.size() <= 77 && line.count('\r') <= 1);
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    if (!lines.endsWith(u'\n'))
        lines += u'\n';
    QCOMPARE(
        QString::fromUtf8(mr::decodeQuotedPrintable(p.body)), lines.replace(u'\n', QLatin1String("\r\n")));
}

QTEST_GUILESS_MAIN(TestMessage)
#include "test_message.moc"
