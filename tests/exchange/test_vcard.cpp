#include "checks.h"

#include "exchange/vcardreader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace bm;

namespace
{

// A card written line by line as the exporting program would, with CR LF.
QByteArray card(const QByteArrayList &lines)
{
    return "BEGIN:VCARD\r\n" + lines.join("\r\n") + "\r\nEND:VCARD\r\n";
}

QString address(const ContactEntry::Address &a)
{
    return QStringList { a.kind, a.street.join(u'/'), a.city, a.region, a.postalCode, a.formatted }.join(
        u'|');
}

// One field of an entry as the tables write it.
QStringList field(const ContactEntry &e, const QString &name)
{
    QStringList out;
    if (name == u"name")
        out << QStringList { e.fullName, e.givenName, e.middleName, e.familyName, e.organization }.join(u'|');
    else if (name == u"phones")
        for (const auto &p : e.phones)
            out << p.kind + u'|' + p.number;
    else if (name == u"addresses")
        for (const auto &a : e.addresses)
            out << address(a);
    else if (name == u"emails")
        out = e.emails;
    else if (name == u"notes")
        out << e.notes;
    return out;
}

// Every card of a file, and the failure that ended the reading (empty when none).
QList<ContactEntry> readAll(const QByteArray &bytes, QString &failure)
{
    vcard::Reader reader;
    QList<ContactEntry> entries;
    failure.clear();
    if (const Status s = reader.open(bytes, QStringLiteral("contacts.vcf")); !s) {
        failure = s.message();
        return entries;
    }
    ContactEntry e;
    while (reader.next(e))
        entries << e;
    failure = reader.status().message();
    return entries;
}

const QByteArray iphone = card({ "VERSION:3.0", "PRODID:-//Apple Inc.//iPhone OS 16.0//EN",
    "N:Guthrie;Ada;Mae;;", "FN:Ada Mae Guthrie", "ORG:Lake Outfitters;Sales", "item1.TEL:(417) 555-0199",
    "item1.X-ABLabel:_$!<Mobile>!$_", "item2.TEL:555-0142", "item2.X-ABLabel:Boat",
    "TEL;type=WORK;type=VOICE:417-555-0100", "EMAIL;type=INTERNET;type=HOME:ada@example.com",
    "EMAIL;type=INTERNET;type=WORK;type=pref:ada@work.example",
    "ADR;type=HOME;type=pref:;;1 Elm St;Branson;MO;65616;USA",
    "item3.ADR:;;4 Lake Rd;Kimberling City;MO;65686;", "item3.X-ABLabel:Cabin",
    "NOTE:Likes trout\\, not bass\\; early starts\\nCall first" });

const QByteArray android21 = card({ "VERSION:2.1",
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=89mile;=C3=89lo=C3=AFse;;;",
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=89lo=C3=AFse =C3=89mi=", "le", "TEL;CELL;VOICE:555-0111",
    "TEL;HOME:555-0112", "EMAIL;INTERNET:e@example.com", "EMAIL;PREF;INTERNET:eloise@example.com",
    "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;12 Rue du Lac=0D=0AB=C3=A2t B;Lyon;;69001;France",
    "NOTE;ENCODING=QUOTED-PRINTABLE:First line=0D=0ASecond =", "line" });

const QByteArray android30 = card({ "VERSION:3.0", "N:Park;Lee;;;", "FN:Lee Park", "TEL;TYPE=cell:555-0130",
    "TEL;TYPE=HOME,VOICE:555-0131", "ADR;TYPE=WORK:;Suite 4;22 Dock Rd\\nUnit B;Hollister;MO;65672;",
    "NOTE:A long note that is folded onto the next line becau", " se it is long" });

const QByteArray version40 = card(
    { "VERSION:4.0", "N:Reyes;Sam;;;", "FN:Sam Reyes", "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-0100",
        "TEL;TYPE=cell;VALUE=uri:tel:+1-555-0101", "EMAIL:sam@home.example", "EMAIL;PREF=1:sam@example.com",
        "ADR;TYPE=home:;;5 Oak Ave;Forsyth;MO;65653;USA" });

} // namespace

class TestVCard : public QObject
{
    Q_OBJECT

private slots:
    void readsCard_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("iPhone name") << iphone << "name"
                                     << QStringList { "Ada Mae Guthrie|Ada|Mae|Guthrie|Lake Outfitters" };
        QTest::newRow("iPhone labels and types")
            << iphone << "phones"
            << QStringList { "Mobile|(417) 555-0199", "Boat|555-0142", "WORK,VOICE|417-555-0100" };
        QTest::newRow("iPhone addresses") << iphone << "addresses"
                                          << QStringList { "HOME,pref|1 Elm St|Branson|MO|65616|",
                                                 "Cabin|4 Lake Rd|Kimberling City|MO|65686|" };
        QTest::newRow("iPhone preferred e-mail first")
            << iphone << "emails" << QStringList { "ada@work.example", "ada@example.com" };
        QTest::newRow("escapes in a note")
            << iphone << "notes" << QStringList { "Likes trout, not bass; early starts\nCall first" };
        QTest::newRow("2.1 quoted-printable name, soft break")
            << android21 << "name" << QStringList { "Éloïse Émile|Éloïse||Émile|" };
        QTest::newRow("2.1 bare types")
            << android21 << "phones" << QStringList { "CELL,VOICE|555-0111", "HOME|555-0112" };
        QTest::newRow("2.1 address line break")
            << android21 << "addresses" << QStringList { "HOME|12 Rue du Lac/Bât B|Lyon||69001|" };
        QTest::newRow("2.1 bare PREF")
            << android21 << "emails" << QStringList { "eloise@example.com", "e@example.com" };
        QTest::newRow("2.1 note soft break")
            << android21 << "notes" << QStringList { "First line\nSecond line" };
        QTest::newRow("ISO-8859-1 quoted-printable")
            << card({ "VERSION:2.1", "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen;;;",
                   "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen M=FCller" })
            << "name" << QStringList { "Jürgen Müller|Jürgen||Müller|" };
        QTest::newRow("Latin-1 file")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xfcller;J\xfcrgen;;;\r\n"
                          "FN:J\xfcrgen M\xfcller\r\nEND:VCARD\r\n")
            << "name" << QStringList { "Jürgen Müller|Jürgen||Müller|" };
        QTest::newRow("3.0 type lists")
            << android30 << "phones" << QStringList { "cell|555-0130", "HOME,VOICE|555-0131" };
        QTest::newRow("street lines and extended address")
            << android30 << "addresses"
            << QStringList { "WORK|22 Dock Rd/Unit B/Suite 4|Hollister|MO|65672|" };
        QTest::newRow("folded note") << android30 << "notes"
                                     << QStringList {
                                            "A long note that is folded onto the next line because it is long"
                                        };
        QTest::newRow("4.0 tel URIs")
            << version40 << "phones" << QStringList { "voice,home|+1-555-0100", "cell|+1-555-0101" };
        QTest::newRow("4.0 PREF=1") << version40 << "emails"
                                    << QStringList { "sam@example.com", "sam@home.example" };
        QTest::newRow("escaped semicolon in a street")
            << card({ "ADR:;;2 Pine\\; Rear;Ozark;MO;65721;" }) << "addresses"
            << QStringList { "|2 Pine; Rear|Ozark|MO|65721|" };
        QTest::newRow("label without an address")
            << card({ "FN:Bo", "LABEL;TYPE=WORK:1 Pier Rd\\nBranson MO" }) << "addresses"
            << QStringList { "WORK|||||1 Pier Rd\nBranson MO" };
        QTest::newRow("label beside an address")
            << card({ "LABEL;TYPE=WORK:1 Pier Rd", "ADR;TYPE=WORK:;;1 Pier Rd;Branson;MO;;" }) << "addresses"
            << QStringList { "WORK|1 Pier Rd|Branson|MO||" };
        QTest::newRow("bare line feeds, lower case")
            << QByteArray("begin:vcard\nversion:3.0\nfn:Kit Rowe\ntel;type=cell:555-0150\nend:vcard\n")
            << "phones" << QStringList { "cell|555-0150" };
        QTest::newRow("lone carriage returns")
            << QByteArray("BEGIN:VCARD\rFN:Kit Rowe\r.\rTEL;TYPE=cell:555-0150\rEND:VCARD\r") << "phones"
            << QStringList { "cell|555-0150" };
        QTest::newRow("malformed lines passed over")
            << card({ ".", "TEL;A.B.C:1", "no property here", "TEL;TYP.E=HOME.A.B:555-0160",
                   "TEL;TYPE=WORK:555-0161" })
            << "phones" << QStringList { "|1", "|555-0160", "WORK|555-0161" };
        QTest::newRow("quoted-printable cut short")
            << card({ "FN:Bo Vance", "NOTE;ENCODING=QUOTED-PRINTABLE:=4" }) << "name"
            << QStringList { "Bo Vance||||" };
        QTest::newRow("base64 note") << card({ "FN:Ada", "NOTE;ENCODING=BASE64;CHARSET=UTF-8:Q2Fmw6kg",
            " UmVuw6k=" }) << "notes" << QStringList { "Café René" };
        QTest::newRow("8-bit value") << card({ "FN;ENCODING=8BIT:Bo Vance" }) << "name"
                                     << QStringList { "Bo Vance||||" };
    }

    void readsCard()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QString failure;
        const QList<ContactEntry> entries = readAll(file, failure);
        QCOMPARE(failure, QString());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(field(entries[0], name), expected);
    }

    void readsFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected"); // line:full name of each card
        QTest::addColumn<QString>("failure"); // a part of the message; empty when none

        const QByteArray photoLines = "PHOTO;ENCODING=b;TYPE=JPEG:" + QByteArray(100, 'Q') + "\r\n"
            + QByteArray(" " + QByteArray(74, 'Q') + "\r\n").repeated(30000);
        const QByteArray bigNote = "NOTE:" + QByteArray(76, 'n') + "\r\n"
            + QByteArray(" " + QByteArray(75, 'n') + "\r\n").repeated(15000);
        QByteArrayList manyPhones;
        for (int i = 0; i <= vcard::Reader::mostProperties; ++i)
            manyPhones << "TEL:555-" + QByteArray::number(1000 + i);

        QTest::newRow("several cards, text between") << "Exported contacts\r\n\r\n" + card({ "FN:Ada" })
                + "junk\r\n" + card({ "FN:Bo", "N:;Bo;;;" }) + card({ "FN:Cy" })
                                                     << QStringList { "3:Ada", "7:Bo", "11:Cy" } << QString();
        QTest::newRow("photo dropped") << card({ "FN:Ada", photoLines + "TEL:555-0100" }) + card({ "FN:Bo" })
                                       << QStringList { "1:Ada", "30006:Bo" } << QString();
        QTest::newRow("photo on one line")
            << card({ "FN:Ada", "LOGO:" + QByteArray(3 << 20, 'L') }) + card({ "FN:Bo" })
            << QStringList { "1:Ada", "5:Bo" } << QString();
        QTest::newRow("2.1 base64 photo") << card(
            { "VERSION:2.1", "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ", "AAQSkZJRgABAQ", "", "FN:Ada" })
                                          << QStringList { "1:Ada" } << QString();
        QTest::newRow("empty file") << QByteArray() << QStringList() << QString();
        QTest::newRow("text, no card") << QByteArray("Name,Phone\r\nAda,555-0100\r\n") << QStringList()
                                       << "none of its lines is BEGIN:VCARD";
        QTest::newRow("last card unclosed") << card({ "FN:Ada" }) + "BEGIN:VCARD\r\nFN:Bo\r\n"
                                            << QStringList { "1:Ada" } << "card on line 4 has no END:VCARD";
        QTest::newRow("card begun inside a card") << "BEGIN:VCARD\r\nFN:Ada\r\n" + card({ "FN:Bo" })
                                                  << QStringList() << "card on line 1 has no END:VCARD";
        QTest::newRow("card too large")
            << card({ "FN:Ada" }) + card({ "FN:Bo", bigNote }) << QStringList { "1:Ada" }
            << "the card on line 4 is larger than 1 MB.";
        QTest::newRow("line too large") << card({ "FN:Bo", "NOTE:" + QByteArray(3 << 20, 'n') })
                                        << QStringList() << "the card on line 1 is larger than 1 MB.";
        // Heads too long to read: the card is said with its line, the others come in.
        const QByteArray longWord(2500, 'A');
        const auto leftOut = [](int line) {
            return QStringLiteral("its line %1 has a name or parameter longer than 1000 characters; the card "
                                  "was left out.")
                .arg(line);
        };
        QTest::newRow("long property name")
            << card({ "FN:Ada" }) + card({ "FN:Bo", "X-" + longWord + ":y" }) + card({ "FN:Cy" })
            << QStringList { "1:Ada", "4:" + leftOut(6), "8:Cy" } << QString();
        QTest::newRow("long group name") << card({ "FN:Ada", longWord + ".TEL:5" }) + card({ "FN:Bo" })
                                         << QStringList { "1:" + leftOut(3), "5:Bo" } << QString();
        QTest::newRow("long parameter")
            << card({ "TEL;TYPE=" + longWord + ":5", "FN:Ada" }) + card({ "FN:Bo" })
            << QStringList { "1:" + leftOut(2), "5:Bo" } << QString();
        QTest::newRow("long quoted parameter") << card({ "FN:Ada", "TEL;TYPE=\"" + longWord + ";x\":5" })
                                               << QStringList { "1:" + leftOut(3) } << QString();
        QTest::newRow("long value, short head")
            << card({ "FN:Ada", "NOTE:" + longWord }) << QStringList { "1:Ada" } << QString();
        QTest::newRow("long line without a colon")
            << card({ "FN:Ada", longWord }) << QStringList { "1:Ada" } << QString();
        // A base64 value cut at a colon was read again as a property named by the value's bytes.
        QTest::newRow("base64 value naming a property")
            << card({ "FN:Ada", "NOTE;ENCODING=BASE64:" + QByteArray(3000, 'Q') + ":x" }) + card({ "FN:Bo" })
            << QStringList { "1:Ada", "5:Bo" } << QString();
        // The library parsed what followed a colon or semicolon in a base64
        // value again, and read through a null pointer on a dot in it.
        QTest::newRow("base64 value with a dot")
            << card({ "VERSION:2.1", "FN:Ada", "TEL;ENCODING=BASE64:.;" }) + card({ "FN:Bo" })
            << QStringList { "1:Ada", "6:Bo" } << QString();
        QTest::newRow("base64 name, dots in the value")
            << QByteArray("BEGIN:VCARD\rBASE64:;..\rFN:Ada\rEND:VCARD") << QStringList { "1:Ada" }
            << QString();
        QTest::newRow("too many lines") << card(QByteArrayList { "FN:Bo" } + manyPhones) << QStringList()
                                        << "the card on line 1 has more than 2000 lines.";
    }

    void readsFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QFETCH(QString, failure);
        QString message;
        QStringList got;
        for (const ContactEntry &e : readAll(file, message))
            got << QString::number(e.line) + u':' + (e.problem.isEmpty() ? e.fullName : e.problem);
        QCOMPARE(got, expected);
        if (failure.isEmpty()) {
            QCOMPARE(message, QString());
        } else {
            QVERIFY2(message.contains(failure), qPrintable(message));
            QVERIFY2(message.contains(u"contacts.vcf"), qPrintable(message));
        }
    }

    void readsFromDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("phone.vcf"));
        QFile f(path);
        const QByteArray bytes = card({ "FN:Caf\xe9 Ren\xe9" }) + card({ "FN:Bo" });
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        vcard::Reader reader;
        BM_VERIFY(reader.open(path));
        QCOMPARE(reader.encodingName(), QStringLiteral("Windows-1252"));
        QCOMPARE(reader.size(), qint64(bytes.size()));
        ContactEntry e;
        QVERIFY(reader.next(e));
        QCOMPARE(e.fullName, QStringLiteral("Café René"));
        QVERIFY(reader.next(e));
        QVERIFY(!reader.next(e));
        BM_VERIFY(reader.status());
        QCOMPARE(reader.position(), reader.size());
        QVERIFY(!reader.open(dir.filePath(QStringLiteral("missing.vcf"))));
    }

    void looksLikeVCard_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("expected");
        QTest::newRow("card") << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\n") << true;
        QTest::newRow("lower case, blank lines first") << QByteArray("\r\n  \n\tbegin:vcard \nfn:x") << true;
        QTest::newRow("only that line") << QByteArray("BEGIN:VCARD") << true;
        QTest::newRow("calendar") << QByteArray("BEGIN:VCALENDAR\r\n") << false;
        QTest::newRow("text before the card") << QByteArray("Contacts\r\nBEGIN:VCARD\r\n") << false;
        QTest::newRow("CSV") << QByteArray("Name,Phone\r\n") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void looksLikeVCard()
    {
        QFETCH(QByteArray, start);
        QFETCH(bool, expected);
        QCOMPARE(vcard::looksLikeVCard(start), expected);
    }
};

QTEST_GUILESS_MAIN(TestVCard)
#include "test_vcard.moc"
