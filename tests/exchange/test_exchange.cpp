#include "behind.h"
#include "checks.h"
#include "rawfile.h"
#include "recordcount.h"
#include "records.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "core/money.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/engine/migrations.h"
#include "db/engine/schemacheck.h"
#include "db/recordsource.h"
#include "exchange/contactimport.h"
#include "exchange/csvexchange.h"
#include "exchange/icsexport.h"
#include "schema/schema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <libical/ical.h>

#include <sys/stat.h>

using namespace bm;

namespace
{

const QStringList contactFields { "Name", "Address", "City", "State", "Zip Code", "Home Telephone Number",
    "Work Telephone Number", "Mobile Phone Number", "Email", "Remarks" };

bool sql(const QString &statement)
{
    return test::execBehind(statement);
}

QList<QStringList> storedContacts()
{
    QList<QStringList> rows;
    RecordSource rs(QStringLiteral("probe"), QStringLiteral("Phone"));
    while (rs.hasCurrent()) {
        QStringList row;
        for (const QString &f : contactFields)
            row << rs.text(f);
        rows << row;
        if (!BM_CHECK(rs.MoveNext()))
            break;
    }
    return rows;
}

int contactCount()
{
    return test::recordCount(RecordSource(QStringLiteral("count"), QStringLiteral("Phone")));
}

struct Event {
    QString summary, location, description;
    QDate start, end;
    int sequence = -1; // -1: none written
    QDateTime lastModified; // invalid: none written, or not in UTC
};

// Reads a calendar file back through libical: events by UID.
QMap<QString, Event> readCalendar(const QByteArray &text)
{
    QMap<QString, Event> events;
    icalcomponent *cal = icalparser_parse_string(text.constData());
    if (!cal)
        return events;
    for (icalcomponent *e = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
        auto str = [](const char *s) { return s ? QString::fromUtf8(s) : QString(); };
        auto date = [](icaltimetype t) { return t.is_date ? QDate(t.year, t.month, t.day) : QDate(); };
        Event event { str(icalcomponent_get_summary(e)), str(icalcomponent_get_location(e)),
            str(icalcomponent_get_description(e)), date(icalcomponent_get_dtstart(e)),
            date(icalcomponent_get_dtend(e)), -1, QDateTime() };
        if (icalproperty *p = icalcomponent_get_first_property(e, ICAL_SEQUENCE_PROPERTY))
            event.sequence = icalproperty_get_sequence(p);
        if (icalproperty *p = icalcomponent_get_first_property(e, ICAL_LASTMODIFIED_PROPERTY)) {
            const icaltimetype t = icalproperty_get_lastmodified(p);
            if (icaltime_is_utc(t))
                event.lastModified = QDateTime::fromSecsSinceEpoch(
                    qint64(icaltime_as_timet_with_zone(t, icaltimezone_get_utc_timezone())), Qt::UTC);
        }
        events.insert(str(icalcomponent_get_uid(e)), event);
    }
    icalcomponent_free(cal);
    return events;
}

// The events of the database's calendar as exported now.
QMap<QString, Event> exportedEvents(const QTemporaryDir &dir)
{
    const QString file = dir.filePath("stamps.ics");
    const Status s = ics::exportCalendar(databasePath(), file);
    if (!s)
        qWarning("%s", qPrintable(s.message()));
    return s ? readCalendar(test::readFile(file)) : QMap<QString, Event>();
}

qint64 lastKey(const QString &table)
{
    const auto rows = test::rowsBehind(QStringLiteral("SELECT max(ID) FROM \"%1\"").arg(table));
    return rows.isEmpty() ? 0 : rows[0][0].toLongLong();
}

// Saves the record as a window does, with the value given (a save with the
// values unchanged when value is null).
void editRecord(const QString &table, qint64 key, const QString &field, const QVariant &value)
{
    RecordSource rs(QStringLiteral("edit"), table);
    QVERIFY(rs.setBookmark(Bookmark { key }));
    QVERIFY(rs.Edit());
    if (!value.isNull())
        QVERIFY(rs.setValue(field, value));
    QVERIFY(rs.Update());
}

// The wall clock in whole seconds, once the next second has begun: a stamp
// written after it is later than one written before.
QDateTime nextSecond()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    while (QDateTime::currentSecsSinceEpoch() == now)
        QTest::qWait(20);
    return QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
}

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        test::resetDatabase();
        dir = std::make_unique<QTemporaryDir>();
    }

    void headingNamesField_data()
    {
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("field");
        QTest::newRow("own name") << QString("Zip Code") << QString("Zip Code");
        QTest::newRow("case and blanks")
            << QString("  HOME telephone   NUMBER ") << QString("Home Telephone Number");
        QTest::newRow("e-mail address") << QString("E-mail Address") << QString("Email");
        QTest::newRow("mobile phone") << QString("Mobile Phone") << QString("Mobile Phone Number");
        QTest::newRow("cell") << QString("Cell") << QString("Mobile Phone Number");
        QTest::newRow("postal code") << QString("Postal Code") << QString("Zip Code");
        QTest::newRow("business phone") << QString("Business Phone") << QString("Work Telephone Number");
        QTest::newRow("home street") << QString("Home Street") << QString("Address");
        QTest::newRow("province") << QString("State/Province") << QString("State");
        QTest::newRow("notes") << QString("Notes") << QString("Remarks");
        QTest::newRow("full name") << QString("Full Name") << QString("Name");
        QTest::newRow("first name") << QString("First Name") << QString("Name");
        QTest::newRow("birthday") << QString("Birthday") << QString("");
        QTest::newRow("fax") << QString("Fax Number") << QString("");
    }
    void headingNamesField()
    {
        QFETCH(QString, heading);
        QFETCH(QString, field);
        QCOMPARE(contactFieldFor(heading), field);
    }

    // A whole header row: each field takes the heading that names it best,
    // a name in parts is joined.
    void fileColumnsFillContact_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("contact");
        QTest::newRow("mail program")
            << QByteArray(
                   "First Name,Middle Name,Last Name,E-mail Address,Home Phone,Business Phone,Mobile Phone,"
                   "Home Street,Home City,Home State,Home Postal Code,Notes,Birthday\r\n"
                   "Ann,B.,Lee,ann@example.com,555-0101,555-0102,555-0103,1 Elm St,Branson,MO,65616,"
                   "likes jigs,1970-01-01\r\n")
            << QStringList { "Ann B. Lee", "1 Elm St", "Branson", "MO", "65616", "555-0101", "555-0102",
                   "555-0103", "ann@example.com", "likes jigs" };
        QTest::newRow("phone: name column beside its parts") << QByteArray(
            "Name,Given Name,Family Name,Phone,E-mail 1\nBud Ray,Robert,Ray,555 0199,bud@x.org\n"
            ",Cy,Dunn,,\n") << QStringList { "Bud Ray", "", "", "", "", "555 0199", "", "", "bud@x.org", "" };
        QTest::newRow("own names win over common ones")
            << QByteArray("Phone,Home Telephone Number,Name\n555-1,555-2,Ed\n")
            << QStringList { "Ed", "", "", "", "", "555-2", "", "", "", "" };
        QTest::newRow("semicolons") << QByteArray(
            "Name;Address;E-mail\r\nGus Hall;\"1 Elm St; rear\";g@x.de\r\n")
                                    << QStringList { "Gus Hall", "1 Elm St; rear", "", "", "", "", "", "",
                                           "g@x.de", "" };
        QTest::newRow("tabs, commas in the values")
            << QByteArray("Name\tCity\tNotes\nLee, Ann\tOzark\t a, b \n")
            << QStringList { "Lee, Ann", "", "Ozark", "", "", "", "", "", "", "a, b" };
        QTest::newRow("fewer fields than headings") << QByteArray(
            "Name,City,Email\nFay,Ozark\n") << QStringList { "Fay", "", "Ozark", "", "", "", "", "", "", "" };
    }
    void fileColumnsFillContact()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, contact);
        ContactImport import;
        QVERIFY2(import.load(test::writeFile(dir->path(), file), databasePath()), "load failed");
        QVERIFY(!import.contacts().isEmpty());
        QCOMPARE(import.contacts().first(), contact);
        QVERIFY(import.problems().isEmpty());
    }

    void contactsRoundTrip()
    {
        const QList<QStringList> tricky {
            { "O'Brien, \"Bud\"", "1 Main St\nApt 2", "Montréal", "QC", "H2X 1Y4", "555-0101", "", "",
                "bud@x.org", "Fishes with \"live\" bait, mostly;\r\nsecond line" },
            { "  Zoë Ängström  ", "", "Åre", "", "", "", "(555) 0102", "555,0103", "", "日本語のメモ" },
            { "Plain", "", "", "", "", "", "", "", "", "" },
            // what a spreadsheet would run, control characters, a leading mark
            { "=HYPERLINK(\"http://x\")", "@SUM(A1)", "-2+3", "\tlead", "\rlead", "+1 555 0199", "'=a",
                "''+b", "bell \x12 \x01", "\uFEFFnote" },
        };
        sql("DELETE FROM Phone");
        for (const QStringList &c : tricky) {
            test::FieldValues values;
            for (int i = 0; i < contactFields.size(); ++i)
                values.append({ contactFields[i], c[i] });
            test::addRecord("Phone", values);
        }
        const QList<QStringList> before = storedContacts();
        const QString file = dir->filePath("contacts.csv");
        int rows = 0;
        QVERIFY(csv::exportTable(databasePath(), "Phone", file, &rows));
        QCOMPARE(rows, tricky.size());

        sql("DELETE FROM Phone");
        ContactImport import;
        QVERIFY(import.load(file, databasePath()));
        QCOMPARE(import.header(), contactFields);
        int added = 0;
        QVERIFY(import.commit(&added));
        QCOMPARE(added, tricky.size());
        QCOMPARE(storedContacts(), before);
        QCOMPARE(before.first().first(), tricky.first().first());
    }

    void fieldWrittenAsCsv_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << "Table Rock" << QByteArray("Table Rock");
        QTest::newRow("empty") << "" << QByteArray("");
        QTest::newRow("comma") << "Lee, Ann" << QByteArray("\"Lee, Ann\"");
        QTest::newRow("quotes") << "say \"hi\"" << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("line break") << "a\r\nb" << QByteArray("\"a\r\nb\"");
        QTest::newRow("leading blank") << " x" << QByteArray("\" x\"");
        QTest::newRow("accent") << "Léman" << QByteArray("L\xC3\xA9man");
    }
    void fieldWrittenAsCsv()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        QByteArray line("first");
        csv::appendField(line, value.toUtf8(), false);
        QCOMPARE(line, "first," + written);
        // and the parser gives the value back
        csv::Document doc;
        QVERIFY(csv::parse("h1,h2\r\n" + line + "\r\n", "t", doc));
        QCOMPARE(doc.records.size(), 1);
        QCOMPARE(doc.records.first().fields.value(1), value);
    }

    // Control characters keep the field quoted, so that they stay inside it
    // whatever the reader does with them; a byte order mark inside the file
    // is text like any other.
    void controlCharactersQuoted_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("device control") << QByteArray("a\x12z") << QByteArray("\"a\x12z\"");
        QTest::newRow("start of heading") << QByteArray("\x01") << QByteArray("\"\x01\"");
        QTest::newRow("lone carriage return") << QByteArray("lone\rCR") << QByteArray("\"lone\rCR\"");
        QTest::newRow("escape sequence") << QByteArray("\x1b[31mred") << QByteArray("\"\x1b[31mred\"");
        QTest::newRow("delete") << QByteArray("x\x7f") << QByteArray("\"x\x7f\"");
        QTest::newRow("byte order mark first")
            << QByteArray("\xEF\xBB\xBFName") << QByteArray("\xEF\xBB\xBFName");
    }
    void controlCharactersQuoted()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, written);
        QByteArray line("first");
        csv::appendField(line, value, false);
        QCOMPARE(line, "first," + written);
    }

    // What a spreadsheet would run as a formula gets one apostrophe, and
    // exactly that one goes again when read back.
    void formulaTextProtected_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        const char *rows[][3] = { { "sum", "-2+3", "'-2+3" },
            { "link", "=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")" },
            { "at", "@SUM(A1)", "'@SUM(A1)" }, { "tab first", "\tlead", "'\tlead" },
            { "carriage return first", "\rlead", "'\rlead" }, { "phone", "+1 555 0199", "'+1 555 0199" },
            { "apostrophe then formula", "'=a", "''=a" }, { "apostrophes then formula", "''+a", "'''+a" },
            { "apostrophe then text", "'plain", "'plain" }, { "apostrophes alone", "''", "''" },
            { "empty", "", "" }, { "sign inside", "555-0101", "555-0101" }, { "blank first", " =x", " =x" } };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void formulaTextProtected()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QCOMPARE(csv::protectedText(text), written);
        QCOMPARE(csv::unprotected(written), text);
        QCOMPARE(csv::protectedText(QByteArrayView(text.toUtf8())), written.toUtf8());
        QCOMPARE(csv::unprotected(QByteArrayView(written.toUtf8())), text.toUtf8());
    }

    void bookingsExportDatesAndAmounts_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("exported");
        QTest::newRow("date") << "Date" << QVariant(QDate(2024, 5, 14)) << "2024-05-14";
        QTest::newRow("deposit date") << "Deposit Received" << QVariant(QDate(1999, 12, 31)) << "1999-12-31";
        QTest::newRow("whole amount")
            << "Total Charge" << QVariant::fromValue(Money::fromUnits(2500000)) << "250.00";
        QTest::newRow("thousands") << "Goods Total" << QVariant::fromValue(Money::fromUnits(12345000))
                                   << "1234.50";
        QTest::newRow("rounded half away")
            << "Tax" << QVariant::fromValue(Money::fromUnits(-32550)) << "-3.26";
        QTest::newRow("below one") << "Less Deposit" << QVariant::fromValue(Money::fromUnits(600)) << "0.06";
        QTest::newRow("no amount") << "Balance Due" << QVariant() << "";
        QTest::newRow("text") << "Notes" << QVariant("Bring rain gear, \"big\" cooler")
                              << "Bring rain gear, \"big\" cooler";
        QTest::newRow("formula") << "Notes" << QVariant("=cmd|' /C calc'!A0") << "'=cmd|' /C calc'!A0";
        QTest::newRow("telephone with its country")
            << "Telephone" << QVariant("+1 555 0199") << "'+1 555 0199";
        QTest::newRow("apostrophe before a sign") << "Lake" << QVariant("'-x") << "''-x";
        QTest::newRow("byte order mark first") << "Notes" << QVariant("\uFEFFnote") << "\uFEFFnote";
    }
    void bookingsExportDatesAndAmounts()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, stored);
        QFETCH(QString, exported);
        sql("DELETE FROM Booking");
        test::addRecord("Booking", { { "Name", "Ann" }, { field, stored } });
        const QString file = dir->filePath("bookings.csv");
        QVERIFY(csv::exportTable(databasePath(), "Booking", file));
        const QByteArray bytes = test::readFile(file);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "Date,Lake,Type,Name,Meet At,Address,"));
        QVERIFY(bytes.endsWith("\r\n"));
        csv::Document doc;
        QVERIFY(csv::parse(bytes, file, doc));
        QCOMPARE(doc.records.size(), 1);
        const qsizetype column = doc.header.indexOf(field);
        QVERIFY(column >= 0);
        // the file holds the text as written out; reading takes the mark away
        QVERIFY(bytes.contains(exported.toUtf8()) || exported.contains(QLatin1Char('"')));
        QCOMPARE(doc.records.first().fields.value(column), csv::unprotected(exported));
    }

    // An amount field holding what is no amount is exported as it is held,
    // never as a made-up 0.00.
    void unreadableAmountExportedAsHeld_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("exported");
        QTest::newRow("word") << "'lots'"
                              << "lots";
        QTest::newRow("blank") << "' '"
                               << " ";
        QTest::newRow("whole units") << "2500000"
                                     << "250.00";
        QTest::newRow("negative units") << "-32500"
                                        << "-3.25";
        QTest::newRow("formula") << "'=1+2'"
                                 << "'=1+2";
    }
    void unreadableAmountExportedAsHeld()
    {
        BM_FILE_ONLY(); // the server's amount fields hold whole numbers alone
        QFETCH(QString, held);
        QFETCH(QString, exported);
        sql("DELETE FROM Booking");
        test::addRecord("Booking", { { "Name", "Ann" } });
        QVERIFY(sql("UPDATE Booking SET \"Total Charge\" = " + held));
        const QString file = dir->filePath("bookings.csv");
        QVERIFY(csv::exportTable(databasePath(), "Booking", file));
        const QByteArray bytes = test::readFile(file);
        QVERIFY(bytes.contains(exported.toUtf8()));
        csv::Document doc;
        QVERIFY(csv::parse(bytes, file, doc));
        QCOMPARE(doc.records.size(), 1);
        QCOMPARE(
            doc.records.first().fields.value(doc.header.indexOf("Total Charge")), csv::unprotected(exported));
    }

    void calendarReadBackByLibical()
    {
        sql("DELETE FROM Booking");
        sql("DELETE FROM Reminder");
        const QString longNotes = QString("Café au lait, crème brûlée; ").repeated(8) + "\"done\"";
        test::addRecord("Booking",
            { { "Date", QDate(2025, 6, 1) }, { "Name", "O'Brien, \"Bud\"" }, { "Lake", "Lac Léman" },
                { "Meet At", "Ramp; north, dock 2" }, { "Type", "Full Day" }, { "Telephone", "555-0101" },
                { "Cell Phone", "555-0109" }, { "Notes", "Line one\nLine two, with comma\n" + longNotes } });
        test::addRecord("Booking", { { "Name", "No date yet" }, { "Lake", "Bull Shoals" } });
        test::addRecord("Booking", { { "Date", QDate(2024, 12, 31) }, { "Lake", "Norfork" } });
        test::addRecord("Reminder",
            { { "Date", QDate(2025, 2, 28) },
                { "Reminder", "Renew licence\nat the bait shop, ask \"Jo\"" } });
        test::addRecord("Reminder", { { "Reminder", "undated" } });

        const QString first = dir->filePath("one.ics"), second = dir->filePath("two.ics");
        ics::Counts counts;
        QVERIFY(ics::exportCalendar(databasePath(), first, &counts));
        QCOMPARE(counts.bookings, 2);
        QCOMPARE(counts.reminders, 1);
        QVERIFY(ics::exportCalendar(databasePath(), second));

        const QByteArray text = test::readFile(first);
        QVERIFY(text.startsWith("BEGIN:VCALENDAR\r\n"));
        QVERIFY(text.endsWith("END:VCALENDAR\r\n"));
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)QString(utf8.decode(text));
        QVERIFY(!utf8.hasError());
        for (const QByteArray &line : text.split('\n'))
            QVERIFY2(line.size() <= 76, line.constData()); // 75 octets and the CR

        const QMap<QString, Event> events = readCalendar(text);
        QCOMPARE(events.size(), 3);
        QCOMPARE(readCalendar(test::readFile(second)).keys(), events.keys());

        const QString id = ics::databaseIdentity(databasePath());
        QCOMPARE(id.size(), 8);
        const auto found = test::rowsBehind("SELECT ID FROM Booking WHERE Name LIKE 'O%'");
        QVERIFY(!found.isEmpty());
        const Event trip = events.value(ics::eventUid("booking", found[0][0].toLongLong(), id));
        QCOMPARE(trip.summary, QString("O'Brien, \"Bud\" \u2013 Lac Léman"));
        QCOMPARE(trip.location, QString("Ramp; north, dock 2"));
        QCOMPARE(trip.start, QDate(2025, 6, 1));
        QCOMPARE(trip.end, QDate(2025, 6, 2));
        QCOMPARE(trip.description,
            "Type: Full Day\nTelephone: 555-0101\nCell Phone: 555-0109\nNotes: Line one\nLine two, with "
            "comma\n"
                + longNotes);

        const auto norfork = test::rowsBehind("SELECT ID FROM Booking WHERE Lake = 'Norfork'");
        QVERIFY(!norfork.isEmpty());
        const Event lakeOnly = events.value(ics::eventUid("booking", norfork[0][0].toLongLong(), id));
        QCOMPARE(lakeOnly.summary, QString("Norfork"));
        QCOMPARE(lakeOnly.location, QString()); // nothing carried over from the trip before
        QCOMPARE(lakeOnly.description, QString());
        QCOMPARE(lakeOnly.start, QDate(2024, 12, 31));
        QCOMPARE(lakeOnly.end, QDate(2025, 1, 1));

        const auto dated = test::rowsBehind("SELECT ID FROM Reminder WHERE Date IS NOT NULL");
        QVERIFY(!dated.isEmpty());
        const Event reminder = events.value(ics::eventUid("reminder", dated[0][0].toLongLong(), id));
        QCOMPARE(reminder.summary, QString("Renew licence"));
        QCOMPARE(reminder.description, QString("Renew licence\nat the bait shop, ask \"Jo\""));
        QCOMPARE(reminder.start, QDate(2025, 2, 28));
    }

    // The identity lives in the file: a copy keeps it, another file has its own.
    void calendarIdentityBelongsToTheFile()
    {
        BM_FILE_ONLY();
        const QString id = ics::databaseIdentity(databasePath());
        QCOMPARE(ics::databaseIdentity(databasePath()), id);
        const QString copy = dir->filePath("copy.mdb");
        db::closeAll();
        QVERIFY(QFile::copy(databasePath(), copy));
        QCOMPARE(ics::databaseIdentity(copy), id);
        test::resetDatabase();
        QVERIFY(ics::databaseIdentity(databasePath()) != id);
        db::closeAll();
    }

    void badFileRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("unbalanced quote")
            << QByteArray("Name,Email\r\nAnn,ann@x\r\nBob,\"bob@x\r\nCy,cy@x\r\n")
            << "the quote that opens a field on line 3 is never closed.";
        QTest::newRow("quote inside a field") << QByteArray("Name,Email\nAnn,a@x\n\"Ann \"Bud\" Lee\",x\n")
                                              << "on line 3 a quote stands inside a field.";
        QTest::newRow("empty file") << QByteArray() << "it is empty.";
        QTest::newRow("blank lines only") << QByteArray(" \r\n\r\n\t\n") << "it is empty.";
        QTest::newRow("header only") << QByteArray("Name,Email,Mobile Phone\r\n")
                                     << "The file holds no contacts below its header row.";
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0", 20)
                                << "it is not a text file.";
        QTest::newRow("control characters")
            << QByteArray("Name\x01\x02\x03\x04\n\x05\x06,\x07\n") << "it is not a text file.";
        QTest::newRow("no contact column") << QByteArray("Colour,Size\nred,9\n") << "No column of this file";
        QTest::newRow("neither UTF-8 nor Windows-1252")
            << QByteArray("Name\n\x81\x8d\n") << "neither UTF-8 nor Windows-1252";
    }
    void badFileRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const int before = contactCount();
        ContactImport import;
        const Status s = import.load(test::writeFile(dir->path(), bytes), databasePath());
        QVERIFY(!s);
        QVERIFY2(s.message().contains(message), qPrintable(s.message()));
        QVERIFY(import.contacts().isEmpty());
        QCOMPARE(contactCount(), before);
    }

    void windowsTextReadAsWindows1252()
    {
        // Zoë Ängström, Montréal, "costs 5 € – cash" as Windows writes them
        const QByteArray bytes("Name,City,Remarks\r\nZo\xEB \xC4ngstr\xF6m,Montr\xE9"
                               "al,costs 5 \x80 \x96 cash\r\n");
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), bytes), databasePath()));
        QCOMPARE(import.encoding(), QString("Windows-1252"));
        QCOMPARE(import.contacts().size(), 1);
        QCOMPARE(import.contacts().first().value(0), QString("Zoë Ängström"));
        QCOMPARE(import.contacts().first().value(2), QString("Montréal"));
        QCOMPARE(import.contacts().first().value(9), QString("costs 5 € – cash"));
    }

    void utf16FileRead()
    {
        QByteArray bytes("\xFF\xFE");
        const QString text("Name,Email\r\nZoë,z@x\r\n");
        bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), bytes), databasePath()));
        QCOMPARE(import.contacts().value(0).value(0), QString("Zoë"));
    }

    void megabyteLineTaken()
    {
        const QByteArray remark(1024 * 1024, 'x');
        ContactImport import;
        QVERIFY(import.load(
            test::writeFile(dir->path(), "Name,Notes\nAnn,\"" + remark + "\"\nBob,short\n"), databasePath()));
        QCOMPARE(import.contacts().size(), 2);
        QVERIFY(import.commit());
        RecordSource rs("probe", "Phone");
        QVERIFY(rs.FindFirst("Name LIKE 'Ann'"));
        QCOMPARE(rs.text("Remarks").size(), remark.size());
    }

    // Rows that can not be taken are listed by the line they begin on,
    // whatever the line ends and line breaks inside fields.
    void badRowsAndDuplicates_data()
    {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CRLF") << QByteArray("\r\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void badRowsAndDuplicates()
    {
        QFETCH(QByteArray, lineEnd);
        test::addContact("Stored Person", "555-0199");
        const QList<QByteArray> lines { "Name,Home Phone,Notes", // 1
            "Ann Lee,555-0101,\"two", // 2
            "lines\"", // 3
            ",555-0102,no name", // 4
            "Bob Ray,555 0103,x,extra", // 5
            "ann  LEE,(555) 0101,the same as line 2", // 6
            "Stored Person,555 0199,", // 7
            "", // 8
            "Cy Dunn,555-0104", // 9
            "Cy Dunn,555-0105" }; // 10
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), lines.join(lineEnd) + lineEnd), databasePath()));
        QStringList names;
        for (const QStringList &c : import.contacts())
            names << c.first();
        QCOMPARE(names, QStringList({ "Ann Lee", "Cy Dunn", "Cy Dunn" }));
        QCOMPARE(import.contacts().first().value(9), QString("two") + QString::fromLatin1(lineEnd) + "lines");
        QCOMPARE(import.duplicates(), 2);
        QCOMPARE(import.problems().size(), 2);
        QCOMPARE(import.problems().at(0).line, 4);
        QCOMPARE(import.problems().at(0).reason, QString("it has no name."));
        QCOMPARE(import.problems().at(1).line, 5);
        QVERIFY(import.problems().at(1).reason.contains("more than the 3 columns"));
    }

    void commitAddsAndTells()
    {
        const int before = contactCount();
        QSignalSpy changed(&DataChanges::instance(), &DataChanges::tableChanged);
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), "Name,Email\nAnn,a@x\nBob,b@x\n"), databasePath()));
        QCOMPARE(changed.count(), 0);
        int added = 0;
        QVERIFY(import.commit(&added));
        QCOMPARE(added, 2);
        QCOMPARE(contactCount(), before + 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toString(), databasePath());
        QCOMPARE(changed.first().at(1).toString(), QString("Phone"));
    }

    // A failure part way writes nothing at all.
    void commitFailureWritesNothing()
    {
        QVERIFY(test::refuseWrites("refuse", "INSERT", "Phone", "refused", "NEW.Name = 'Boom'"));
        const QList<QStringList> before = storedContacts();
        QSignalSpy changed(&DataChanges::instance(), &DataChanges::tableChanged);
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), "Name\nAnn\nBoom\nCy\n"), databasePath()));
        QCOMPARE(import.contacts().size(), 3);
        const Status s = import.commit();
        QVERIFY(!s);
        QVERIFY2(s.message().contains("none was saved"), qPrintable(s.message()));
        QCOMPARE(storedContacts(), before);
        QCOMPARE(changed.count(), 0);
        // and the connection is usable again
        test::addRecord("Phone", { { "Name", "After" } });
        QCOMPARE(contactCount(), before.size() + 1);
    }

    void unwritableTargetLeavesNoFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("folder missing") << "missing/out.file";
        QTest::newRow("parent is a file") << "plain.txt/out.file";
        QTest::newRow("target is a folder") << "folder";
    }
    void unwritableTargetLeavesNoFile()
    {
        QFETCH(QString, target);
        test::writeFile(dir->path(), "not a folder", "plain.txt");
        QVERIFY(QDir(dir->path()).mkdir("folder"));
        const QString path = dir->filePath(target);
        const QStringList filesBefore = QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const Status csvStatus = csv::exportTable(databasePath(), "Phone", path);
        QVERIFY(!csvStatus);
        QVERIFY2(csvStatus.message().contains(csv::shownFileName(path)), qPrintable(csvStatus.message()));
        const Status icsStatus = ics::exportCalendar(databasePath(), path);
        QVERIFY(!icsStatus);
        QVERIFY2(icsStatus.message().contains("can not be written"), qPrintable(icsStatus.message()));
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), filesBefore);
        QVERIFY(QDir(dir->filePath("folder")).isEmpty());
    }

    // Every kind of line break in a record's text is one break in the
    // calendar, where calendars read it as one.
    void calendarLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::newRow("lone carriage return") << "lone\rCR"
                                              << "lone\nCR";
        QTest::newRow("CRLF") << "one\r\ntwo"
                              << "one\ntwo";
        QTest::newRow("line feed") << "one\ntwo"
                                   << "one\ntwo";
        QTest::newRow("two carriage returns") << "one\r\rtwo"
                                              << "one\n\ntwo";
        QTest::newRow("line feed, carriage return") << "one\n\rtwo"
                                                    << "one\n\ntwo";
        QTest::newRow("all kinds") << "a\r\nb\rc\nd"
                                   << "a\nb\nc\nd";
    }
    void calendarLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        sql("DELETE FROM Booking");
        sql("DELETE FROM Reminder");
        test::addRecord("Booking", { { "Date", QDate(2025, 6, 1) }, { "Notes", text }, { "Meet At", text } });
        test::addRecord("Reminder", { { "Date", QDate(2025, 6, 2) }, { "Reminder", text } });
        const QString file = dir->filePath("breaks.ics");
        QVERIFY(ics::exportCalendar(databasePath(), file));
        const QByteArray bytes = test::readFile(file);
        QVERIFY2(!bytes.contains("\\r"), bytes.constData());
        const QMap<QString, Event> events = readCalendar(bytes);
        const QString id = ics::databaseIdentity(databasePath());
        const Event trip = events.value(ics::eventUid("booking", lastKey("Booking"), id));
        QCOMPARE(trip.description, "Notes: " + read);
        QCOMPARE(trip.location, read);
        const Event reminder = events.value(ics::eventUid("reminder", lastKey("Reminder"), id));
        QCOMPARE(reminder.summary, read.section('\n', 0, 0));
        QCOMPARE(reminder.description, read);
    }

    // A trip of several days is one all-day event over all of them; a Days
    // that is not a whole number of at least one is a day, and no trip is
    // longer than the booking form allows. A cancelled trip stays in the file.
    void calendarTripDays_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << ""
                               << "" << 1;
        QTest::newRow("three days") << "3"
                                    << "" << 3;
        QTest::newRow("spaces around") << " 2 "
                                       << "" << 2;
        QTest::newRow("zero") << "0"
                              << "" << 1;
        QTest::newRow("not a number") << "two"
                                      << "" << 1;
        QTest::newRow("beyond the longest") << "150"
                                            << "" << 99;
        QTest::newRow("cancelled, still written") << "4"
                                                  << "Cancelled" << 4;
    }
    void calendarTripDays()
    {
        QFETCH(QString, days);
        QFETCH(QString, status);
        QFETCH(int, length);
        sql("DELETE FROM Booking");
        test::FieldValues values { { "Date", QDate(2025, 12, 30) }, { "Name", "Ann Lee" }, { "Days", days } };
        if (!status.isEmpty())
            values.append({ "Status", status });
        test::addRecord("Booking", values);
        const QMap<QString, Event> events = exportedEvents(*dir);
        const Event trip = events.value(
            ics::eventUid("booking", lastKey("Booking"), ics::databaseIdentity(databasePath())));
        QCOMPARE(trip.start, QDate(2025, 12, 30));
        QCOMPARE(trip.end, QDate(2025, 12, 30).addDays(length));
    }

    // Each change of a booking or reminder saved through a window makes its
    // event's SEQUENCE one more and its LAST-MODIFIED the time of the change.
    // A save that changes nothing, an export, and a change of another record
    // change neither; a deleted record's stamp goes with it.
    void calendarEventsCountChanges_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("first");
        QTest::addColumn<QVariant>("second");
        QTest::newRow("booking's notes") << "Booking"
                                         << "Notes" << QVariant("Bring bait") << QVariant("");
        QTest::newRow("booking's date")
            << "Booking"
            << "Date" << QVariant(QDate(2025, 7, 1)) << QVariant(QDate(2025, 7, 2));
        QTest::newRow("booking's amount") << "Booking"
                                          << "Total Charge" << QVariant::fromValue(Money::fromUnits(2500000))
                                          << QVariant::fromValue(Money::fromUnits(2500001));
        QTest::newRow("reminder's text") << "Reminder"
                                         << "Reminder" << QVariant("Call Ann") << QVariant("Call Bo");
    }
    void calendarEventsCountChanges()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QVariant, first);
        QFETCH(QVariant, second);
        sql("DELETE FROM Booking");
        sql("DELETE FROM Reminder");
        const QDateTime made = nextSecond();
        test::addRecord(table, { { "Date", QDate(2025, 6, 1) } });
        const qint64 other = lastKey(table);
        test::addRecord(table, { { "Date", QDate(2025, 6, 1) } });
        const qint64 key = lastKey(table);
        const QString id = ics::databaseIdentity(databasePath());
        const QString kind = table.toLower();
        const QString uid = ics::eventUid(kind, key, id), otherUid = ics::eventUid(kind, other, id);

        QMap<QString, Event> events = exportedEvents(*dir);
        QCOMPARE(events.value(uid).sequence, 0);
        QList<QDateTime> stamps { events.value(uid).lastModified };
        const QDateTime otherStamp = events.value(otherUid).lastModified;
        QVERIFY(stamps.first() >= made && stamps.first() <= QDateTime::currentDateTimeUtc());
        QVERIFY(otherStamp >= made);
        events = exportedEvents(*dir);
        QCOMPARE(events.value(uid).sequence, 0);
        QCOMPARE(events.value(uid).lastModified, stamps.first());

        for (const QVariant &value : { first, second }) {
            const QDateTime before = nextSecond();
            editRecord(table, key, field, value);
            editRecord(table, key, field, QVariant()); // saved again as it is
            events = exportedEvents(*dir);
            QCOMPARE(events.value(uid).sequence, stamps.size());
            QVERIFY(events.value(uid).lastModified >= before);
            QVERIFY(events.value(uid).lastModified > stamps.last());
            stamps << events.value(uid).lastModified;
            QCOMPARE(events.value(otherUid).sequence, 0);
            QCOMPARE(events.value(otherUid).lastModified, otherStamp);
        }

        RecordSource rs("delete", table);
        QVERIFY(rs.setBookmark(Bookmark { key }));
        QVERIFY(rs.Delete());
        const auto left = test::rowsBehind(
            QStringLiteral("SELECT Record FROM \"Change Stamp\" WHERE Kind = '%1'").arg(table));
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0][0].toLongLong(), other);
    }

    // A file of an older layout is stamped when it is brought up to date:
    // every booking and reminder as never changed, at the time of the
    // upgrade. Changes count from there.
    void olderLayoutStampedWhenUpgraded_data()
    {
        QTest::addColumn<int>("layout");
        QTest::newRow("layout 1") << 1;
        QTest::newRow("layout 2") << 2;
    }
    void olderLayoutStampedWhenUpgraded()
    {
        BM_FILE_ONLY();
        QFETCH(int, layout);
        db::closeAll();
        const QString path = databasePath();
        QString older;
        for (const schema::TriggerDef &t : schema::ownTriggers(migrations::currentVersion))
            older += QStringLiteral("DROP TRIGGER %1;").arg(schema::quoted(t.name));
        older += QStringLiteral("DROP TABLE %1; DROP TABLE History; DROP TABLE Bin;")
                     .arg(schema::quoted(schema::stampTable));
        for (const TableDef &t : schema::tables())
            if (t.since > layout)
                older += QStringLiteral("DROP TABLE %1;").arg(schema::quoted(t.name));
        if (layout == 1) {
            older += "DROP TABLE \"Schema Version\";";
            for (const schema::IndexDef &i : schema::indexes())
                older += QStringLiteral("DROP INDEX IF EXISTS %1;").arg(schema::quoted(i.name));
        } else {
            older += "UPDATE \"Schema Version\" SET Version = 2;";
        }
        older += "INSERT INTO Booking (\"Date\", Name) VALUES ('2025-06-01', 'Old');"
                 "INSERT INTO Reminder (\"Date\", Reminder) VALUES ('2025-06-02', 'Old');";
        QVERIFY(test::execOnFile(path, older));
        QCOMPARE(schemacheck::inspect(path).version, layout);

        const QDateTime before = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
        const Status s = db::prepare();
        QVERIFY2(s, qPrintable(s.message()));
        const QDateTime after = QDateTime::currentDateTimeUtc();
        QCOMPARE(schemacheck::inspect(path).version, migrations::currentVersion);

        QMap<QString, Event> events = exportedEvents(*dir);
        QVERIFY(events.size() >= 2);
        const QDateTime upgraded = events.first().lastModified;
        QVERIFY(upgraded >= before && upgraded <= after);
        for (const Event &e : std::as_const(events)) {
            QCOMPARE(e.sequence, 0);
            QCOMPARE(e.lastModified, upgraded);
        }
        const QString uid = ics::eventUid("booking", lastKey("Booking"), ics::databaseIdentity(path));
        QVERIFY(events.contains(uid));
        editRecord("Booking", lastKey("Booking"), "Name", "New");
        QCOMPARE(exportedEvents(*dir).value(uid).sequence, 1);
    }

    // Exported files hold clients' details: readable by their owner only,
    // however the process would make a file, and over a file others could
    // read.
    void exportsAreOwnerOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("existing"); // the mode of a file already there; -1 for none
        QTest::newRow("new table file") << "csv" << -1;
        QTest::newRow("table file over one all may read") << "csv" << 0644;
        QTest::newRow("table file over one all may write") << "csv" << 0666;
        QTest::newRow("new calendar") << "ics" << -1;
        QTest::newRow("calendar over one all may read") << "ics" << 0644;
        QTest::newRow("calendar over one the group may write") << "ics" << 0660;
    }
    void exportsAreOwnerOnly()
    {
        QFETCH(QString, kind);
        QFETCH(int, existing);
        const QString path = dir->filePath("out." + kind);
        if (existing >= 0) {
            test::writeFile(dir->path(), "old", "out." + kind);
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(existing)), 0);
        }
        const mode_t mask = ::umask(0); // the widest the process could make a file
        const Status s = kind == "csv" ? csv::exportTable(databasePath(), "Phone", path)
                                       : ics::exportCalendar(databasePath(), path);
        ::umask(mask);
        QVERIFY2(s, qPrintable(s.message()));
        struct stat st {
        };
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0600);
        QVERIFY(test::readFile(path) != "old");
    }

    void hundredThousandRows()
    {
        sql("DELETE FROM Phone");
        QByteArray file("Name,Mobile Phone,E-mail Address\r\n");
        for (int i = 0; i < 100000; ++i)
            file += "Client " + QByteArray::number(i) + ",555-" + QByteArray::number(i) + ",c"
                + QByteArray::number(i) + "@example.com\r\n";
        ContactImport import;
        QVERIFY(import.load(test::writeFile(dir->path(), file), databasePath()));
        QVERIFY(import.commit());
        QCOMPARE(contactCount(), 100000);
        RecordSource rs("probe", "Phone");
        BM_VERIFY(rs.MoveLast());
        QCOMPARE(rs.text("Name"), QString("Client 99999"));
        QCOMPARE(rs.text("Email"), QString("c99999@example.com"));
    }
};

BM_TEST_MAIN(TestExchange)
#include "test_exchange.moc"
