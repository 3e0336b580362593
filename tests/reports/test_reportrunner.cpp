#include "fixture.h"
#include "testenv.h"

#include "data/apppaths.h"
#include "data/report/runner.h"
#include "platform/reportpreviewdocument.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace bm;

namespace
{

report::Request requestFor(const QString &file, Bookmark selection = {})
{
    report::Request r;
    r.definitionPath = file.contains(QLatin1Char('/')) ? file : appFile(file);
    r.selection = selection;
    r.printDate = QDate(2026, 12, 8);
    return r;
}

// Fails the test with the runner's message when the report can not render.
QString textOf(const report::Rendered &rendered)
{
    const platform::ReportPages pages(rendered);
    return pages.plainText();
}

} // namespace

class TestReportRunner : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        test::resetDatabase();
        m_pat = test::addFixtureRecords();
    }

    void deliveredDefinitions()
    {
        for (const char *name : { "contacts.rpt", "trip.rpt", "schedule.rpt", "invoice.rpt", "reminders.rpt",
                 "log.rpt", "patterns.rpt", "rods.rpt", "boat.rpt", "equipment.rpt" }) {
            QFile f(appFile(QString::fromLatin1(name)));
            QVERIFY2(f.open(QIODevice::ReadOnly), name);
            // The format is explained to the guide at the top of the file.
            QVERIFY2(f.readLine().startsWith("# ==="), name);
        }
    }

    void definitions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("selectPat");
        QTest::addColumn<QStringList>("inOrder"); // each appears, after the one before
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<int>("pages");

        const QString guide = QStringLiteral("Bluegill Bay Guide Service");
        QTest::newRow("contacts") << "contacts.rpt" << false
                                  << QStringList { guide, "Contacts", "Printed 12/8/2026", "<b>Ann & Co</b>",
                                         "9 Dock St", "Branson, MO 65616", "Home: 555-0101", "Work: 555-0102",
                                         "Mobile: 555-0103", "ann@example.com", "Sample Customer",
                                         "Zed Walleye" }
                                  << QStringList { "&amp;", "Home: \n" } << 1;
        QTest::newRow("schedule") << "schedule.rpt" << false
                                  << QStringList { "Trip Schedule", "Date", "Client", "Lake", "Meeting Place",
                                         "Type", "Total Charge", "Deposit", "Balance", "12/31/2004",
                                         "Early Bird", "Norfork", "1234.50", "0.00", "1234.50", "5/14/2005",
                                         "Pat O'Hara", "Bull Shoals", "Pontiac Marina", "Half Day", "250.00",
                                         "50.00", "200.00", "6/6/2026", "Sample Customer", "400.00",
                                         "3 trips", "1884.50", "150.00", "1734.50" }
                                  << QStringList { "2005-05-14", "2500000" } << 1;
        QTest::newRow("trip") << "trip.rpt" << false
                              << QStringList { "Early Bird", "Pat O'Hara", "5/14/2005", "Bull Shoals",
                                     "250.00", "Deposit Received", "4/2/2005", "Sunny & calm",
                                     "Line one\nLine two", "Sample Customer", "Lakeside Cabins" }
                              << QStringList { "2005-04-02" } << 3;
        QTest::newRow("invoice for one booking")
            << "invoice.rpt" << true
            << QStringList { guide, "Invoice", "BILL TO", "Pat O'Hara", "Trip date", "5/14/2005",
                   "Invoice date", "12/8/2026", "Guide service - Half Day", "1", "250.00", "250.00",
                   "Minnows <dozen>", "2", "3.75", "7.50", "Sub Total", "257.50", "Less Deposit", "50.00",
                   "Tax (8%)", "20.60", "Total", "228.10" }
            << QStringList { "Early Bird", "Sample Customer" } << 1;
        QTest::newRow("every invoice")
            << "invoice.rpt" << false
            << QStringList { "Early Bird", "1234.50", "Pat O'Hara", "Sample Customer" } << QStringList {}
            << 3;
        QTest::newRow("reminders") << "reminders.rpt" << false
                                   << QStringList { "Reminders", "5/1/2005", "Service the trolling motor",
                                          "3/1/2026", "Renew the fishing guide licence." }
                                   << QStringList {} << 1;
        QTest::newRow("log") << "log.rpt" << false
                             << QStringList { "Fishing Log", "5/15/2005", "Fog morning",
                                    "Fog until nine.\nThen a topwater bite", "4/18/2026",
                                    "First trip of the season" }
                             << QStringList {} << 1;
        QTest::newRow("patterns") << "patterns.rpt" << false
                                  << QStringList { "Fishing Patterns", "Beaver Lake", "May",
                                         "Shad spawn on riprap at dawn", "Table Rock Lake", "Moon Phase",
                                         "Full Moon", "Best Depth", "8 to 12 feet", "Green Pumpkin" }
                                  << QStringList {} << 1;
        QTest::newRow("rods") << "rods.rpt" << false
                              << QStringList { "Rods and Reels", "Example Reels", "BC-100", "Baitcaster",
                                     "Medium Heavy", "7 ft", "Reelco", "Rodco", "6 ft 6 in" }
                              << QStringList {} << 1;
        QTest::newRow("boat") << "boat.rpt" << false
                              << QStringList { "Boats and Motors", "Example 18 ft bass boat", "HULL-0001",
                                     "Example 150 HP outboard", "MTR-0001", "Skiff 16", "SK-16-77",
                                     "Kicker 9.9" }
                              << QStringList {} << 1;
        QTest::newRow("equipment") << "equipment.rpt" << false
                                   << QStringList { "Equipment", "Depth finder", "Example Electronics",
                                          "499.00", "Trolling motor", "Minnkota", "650.00" }
                                   << QStringList {} << 1;
    }

    void definitions()
    {
        QFETCH(QString, file);
        QFETCH(bool, selectPat);
        QFETCH(QStringList, inOrder);
        QFETCH(QStringList, absent);
        QFETCH(int, pages);

        report::Rendered rendered;
        const Status s
            = report::render(requestFor(file, selectPat ? Bookmark { m_pat } : Bookmark {}), rendered);
        QVERIFY2(s, qPrintable(s.message()));
        QCOMPARE(rendered.fileName, file);
        const platform::ReportPages laidOut(rendered);
        const QString text = laidOut.plainText();
        qsizetype at = 0;
        for (const QString &expected : inOrder) {
            const qsizetype found = text.indexOf(expected, at);
            QVERIFY2(found >= 0,
                qPrintable(QStringLiteral("\"%1\" missing after position %2 in:\n%3")
                               .arg(expected)
                               .arg(at)
                               .arg(text)));
            at = found + expected.size();
        }
        for (const QString &unwanted : absent)
            QVERIFY2(!text.contains(unwanted), qPrintable(unwanted));
        QCOMPARE(laidOut.pageCount(), pages);
        QVERIFY(!rendered.footer.isEmpty());
        QVERIFY2(rendered.footer.startsWith(QLatin1String("Bluegill Bay Guide Service")),
            qPrintable(rendered.footer));
    }

    // Each of these abandons the report with a message that names it and
    // says why; nothing is rendered.
    void failures_data()
    {
        QTest::addColumn<QString>("definition"); // the file's text; "<missing>", "<folder>"
        QTest::addColumn<QString>("reason");

        const QString layout = QStringLiteral("[layout]\n<p>{{#q}}{{Name}}{{/q}}</p>\n");
        auto query = [&](const QString &sql) { return QStringLiteral("[query q]\n") + sql + u'\n' + layout; };
        QTest::newRow("missing file") << "<missing>"
                                      << "The report file is missing from the folder";
        QTest::newRow("a folder") << "<folder>"
                                  << "is not a report file";
        QTest::newRow("binary") << QStringLiteral("SQLite format 3") + QChar(0) + "xx"
                                << "is not a text file";
        QTest::newRow("empty") << ""
                               << "has no [layout] section";
        QTest::newRow("no layout") << "[report]\ntitle = X\n[query q]\nSELECT 1\n"
                                   << "has no [layout] section";
        QTest::newRow("text before a section")
            << "hello\n" + layout << "Line 1 of the report file stands before";
        QTest::newRow("unknown section") << "[reprot]\n" + layout << "unknown section [reprot]";
        QTest::newRow("unknown setting")
            << "[report]\ncolour = red\n" + layout << "unknown setting \"colour\"";
        QTest::newRow("bad paper") << "[report]\npaper = A5\n" + layout << "write portrait or landscape";
        QTest::newRow("query twice") << "[query q]\nSELECT 1\n[query q]\nSELECT 2\n" + layout
                                     << "a second time";
        QTest::newRow("empty query") << "[query q]\n\n" + layout << "which is empty";
        QTest::newRow("unclosed section") << "[layout]\n{{#Title}}x\n"
                                          << "The layout has a mistake";
        QTest::newRow("unknown field in layout")
            << "[query q]\nSELECT \"Name\" FROM Phone\n[layout]\n{{#q}}{{Nmae}}{{/q}}\n"
            << "names {{Nmae}}, which none of the report's queries gives";
        QTest::newRow("unknown field in footer") << "[report]\nfooter = {{Guide}}\n[layout]\n<p>x</p>\n"
                                                 << "The footer names {{Guide}}";
        QTest::newRow("partial") << "[layout]\n{{> other}}\n"
                                 << "can not take in other files";
        QTest::newRow("unknown table") << query("SELECT * FROM Bookings") << "reads the table Bookings";
        QTest::newRow("unknown field")
            << query("SELECT \"Nmae\" AS Name FROM Booking") << "names the field Nmae";
        QTest::newRow("syntax error") << query("SELECT FROM WHERE") << "The query \"q\" could not be run";
        QTest::newRow("unknown value")
            << query("SELECT Name FROM Booking WHERE ID = :contact") << "uses the value :contact";
        QTest::newRow("delete") << query("DELETE FROM Booking") << "would change the database";
        QTest::newRow("update") << query("update Booking SET Name = 'x'") << "would change the database";
        QTest::newRow("drop after a comment")
            << query("-- tidy up\nDROP TABLE Booking") << "would change the database";
        QTest::newRow("insert") << query("INSERT INTO Phone (Name) VALUES ('x')")
                                << "would change the database";
        QTest::newRow("with delete") << query("WITH x AS (SELECT 1) DELETE FROM Booking")
                                     << "would change the database";
        QTest::newRow("pragma") << query("PRAGMA query_only = 0") << "would change the database";
        QTest::newRow("attach") << query("ATTACH 'other.db' AS o") << "would change the database";
        QTest::newRow("second statement")
            << query("SELECT Name FROM Phone; DELETE FROM Phone") << "holds more than one statement";
        QTest::newRow("section inside itself")
            << "[query q]\nWITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 1000)\n"
               "SELECT n AS Name FROM c\n[layout]\n{{#q}}{{#q}}{{#q}}"
                + QString(400, u'x') + "{{/q}}{{/q}}{{/q}}\n"
            << "Check that no section stands inside itself";
        QTest::newRow("not a select") << query("EXPLAIN SELECT 1") << "is not a SELECT";
        // Functions that reach the engine's internals, the files or memory.
        QTest::newRow("tokenizer pointer")
            << query("SELECT hex(fts3_tokenizer('simple')) AS Name") << "calls the function fts3_tokenizer";
        QTest::newRow("tokenizer planted") << query("SELECT fts3_tokenizer('simple', x'41414141') AS Name")
                                           << "calls the function fts3_tokenizer";
        QTest::newRow("extension") << query("SELECT load_extension('/tmp/libx.so') AS Name")
                                   << "calls the function load_extension";
        QTest::newRow("read a file") << query("SELECT readfile('/etc/passwd') AS Name") << "readfile";
        QTest::newRow("write a file") << query("SELECT writefile('/tmp/x', 'y') AS Name") << "writefile";
        QTest::newRow("memory") << query("SELECT length(zeroblob(1000000000)) AS Name")
                                << "calls the function zeroblob";
        QTest::newRow("engine internals") << query("SELECT sqlite_compileoption_get(0) AS Name")
                                          << "calls the function sqlite_compileoption_get";
        QTest::newRow("pragma as a table")
            << query("SELECT name AS Name FROM pragma_table_info('Booking')") << "would change the database";
        QTest::newRow("value too large")
            << query("SELECT replace(printf('%.*c', 900000, 'x'), 'x', 'xx') AS Name")
            << "gives a value too large to print";
    }

    void failures()
    {
        QFETCH(QString, definition);
        QFETCH(QString, reason);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.rpt"));
        if (definition == QLatin1String("<folder>")) {
            QVERIFY(QDir().mkpath(path));
        } else if (definition != QLatin1String("<missing>")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(definition.toUtf8());
        }
        const int bookings = test::countOf(QStringLiteral("Booking"));
        const int contacts = test::countOf(QStringLiteral("Phone"));

        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        QVERIFY(!s);
        QVERIFY2(s.message().startsWith(QLatin1String("The report \"broken.rpt\" could not be printed.\n")),
            qPrintable(s.message()));
        QVERIFY2(s.message().contains(reason), qPrintable(s.message()));
        QVERIFY(rendered.html.isEmpty());
        QCOMPARE(test::countOf(QStringLiteral("Booking")), bookings);
        QCOMPARE(test::countOf(QStringLiteral("Phone")), contacts);
    }

    // The functions a report writer expects keep working beside the guard.
    void plainFunctionsWork_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("shown");
        QTest::newRow("text") << "upper(substr('walleye', 1, 4)) || lower('X') || trim('  y ')"
                              << "WALLxy";
        QTest::newRow("numbers") << "round(2.675, 1) + abs(-1) + max(1, 2) + ifnull(NULL, 3)"
                                 << "8.7";
        QTest::newRow("dates") << "strftime('%Y', '2005-05-14') || date('2005-05-14', '+1 day')"
                               << "20052005-05-15";
        QTest::newRow("own functions") << "amount(2500000) || ' ' || shortdate('2005-05-14')"
                                       << "250.00 5/14/2005";
        QTest::newRow("aggregate") << "(SELECT COUNT(*) || ' ' || amount(SUM(\"Total Charge\")) FROM Booking)"
                                   << "3 1884.50";
        QTest::newRow("case and like") << "CASE WHEN 'Bass' LIKE 'b%' THEN coalesce(NULL, 'yes') END"
                                       << "yes";
    }
    void plainFunctionsWork()
    {
        QFETCH(QString, expression);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("functions.rpt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("[query q]\nSELECT " + expression + " AS Value\n[layout]\n<p>{{#q}}{{Value}}{{/q}}</p>\n")
                    .toUtf8());
        f.close();
        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        QVERIFY2(s, qPrintable(s.message()));
        QVERIFY2(textOf(rendered).contains(shown), qPrintable(textOf(rendered)));
    }

    void missingDatabase()
    {
        report::Request r = requestFor(QStringLiteral("contacts.rpt"));
        r.databasePath = QDir(test::dataHome()).filePath(QStringLiteral("nowhere/tallow.mdb"));
        report::Rendered rendered;
        const Status s = report::render(r, rendered);
        QVERIFY(!s);
        QVERIFY2(s.message().contains(QLatin1String("does not exist")), qPrintable(s.message()));
    }

    // Even a statement that slips past the first word is refused by the
    // connection itself: it is opened read-only.
    void writingFunctionRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sneaky.rpt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[query q]\nWITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 3)\n"
                "SELECT n AS Name FROM c\n[query w]\nWITH d AS (SELECT 1) INSERT INTO Phone (Name) SELECT "
                "'x' FROM d\n"
                "[layout]\n{{#q}}{{Name}}{{/q}}\n");
        f.close();
        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        QVERIFY(!s);
        QVERIFY2(s.message().contains(QLatin1String("The query \"w\" would change the database")),
            qPrintable(s.message()));
        QCOMPARE(test::countOf(QStringLiteral("Phone")), 3);
    }

    // Values of any length and characters print as typed, inside the page.
    void awkwardValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("markup") << "<script>alert('x')</script> & \"quotes\""
                                << "<script>alert('x')</script> & \"quotes\"";
        QTest::newRow("mustache tags") << "{{Title}} {{{Name}}}"
                                       << "{{Title}} {{{Name}}}";
        QTest::newRow("control characters") << QStringLiteral("bell\x07tab\there") << "belltab here";
        QTest::newRow("one long word") << QString(5000, u'W') << QString(5000, u'W');
        QTest::newRow("many lines") << QStringLiteral("line\n").repeated(400) + QStringLiteral("end")
                                    << QStringLiteral("line\n").repeated(400) + QStringLiteral("end");
        QTest::newRow("non-latin") << QStringLiteral("Åsa Øvrebø 魚 🐟") << QStringLiteral("Åsa Øvrebø 魚 🐟");
    }

    void awkwardValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        test::exec(QStringLiteral("UPDATE Booking SET \"Name\" = ?, \"Remarks\" = ?"), { value, value });
        for (const char *file : { "schedule.rpt", "trip.rpt", "invoice.rpt" }) {
            report::Rendered rendered;
            const Status s = report::render(requestFor(QString::fromLatin1(file)), rendered);
            QVERIFY2(s, qPrintable(s.message()));
            const platform::ReportPages pages(rendered);
            QVERIFY2(pages.plainText().contains(shown), file);
            QVERIFY2(pages.layoutWidth() <= pages.contentWidth() + 1.5,
                qPrintable(QStringLiteral("%1: %2 wider than %3")
                               .arg(QLatin1String(file))
                               .arg(pages.layoutWidth())
                               .arg(pages.contentWidth())));
        }
    }

    void amountsOfOddStorage()
    {
        // An amount written as text by another program prints as it is; a
        // negative amount keeps its sign.
        test::exec(
            QStringLiteral("UPDATE Booking SET \"Total Charge\" = 'about 100', \"Balance Due\" = -12345 "
                           "WHERE \"Name\" = 'Early Bird'"));
        report::Rendered rendered;
        QVERIFY(report::render(requestFor(QStringLiteral("schedule.rpt")), rendered));
        const QString text = textOf(rendered);
        QVERIFY2(text.contains(QLatin1String("about 100")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("-1.23")), qPrintable(text));
    }

    // The schedule's total line counts its trips in words that fit the count.
    void scheduleCountsOneTrip()
    {
        test::exec(QStringLiteral("DELETE FROM Booking WHERE \"Name\" <> 'Sample Customer'"));
        report::Rendered rendered;
        const Status s = report::render(requestFor(QStringLiteral("schedule.rpt")), rendered);
        QVERIFY2(s, qPrintable(s.message()));
        const QString text = textOf(rendered);
        QVERIFY2(text.contains(QLatin1String("1 trip")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("1 trips")), qPrintable(text));
    }

    // A long report is laid out a few pages at a time; its pages are those
    // of the whole report: every row once, in order, under the headings,
    // and no page left short in the middle.
    void longReportsPageLikeOneDocument_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("bookings");
        QTest::addColumn<QString>("onEveryPage");
        QTest::newRow("schedule") << "schedule.rpt" << 900 << "";
        QTest::newRow("one trip a page") << "trip.rpt" << 200 << "Trip Results";
    }

    void longReportsPageLikeOneDocument()
    {
        QFETCH(QString, file);
        QFETCH(int, bookings);
        QFETCH(QString, onEveryPage);
        test::exec(QStringLiteral("DELETE FROM Booking"));
        QSqlDatabase db = database::connection(databasePath());
        db.transaction();
        for (int i = 0; i < bookings; ++i)
            test::exec(
                QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\", \"Total Charge\") VALUES (?, ?, ?)"),
                { QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate), QStringLiteral("Client %1").arg(i),
                    qint64(2500000) });
        db.commit();

        report::Rendered rendered;
        QVERIFY(report::render(requestFor(file), rendered));
        const platform::ReportPages pages(rendered);
        QVERIFY(!pages.isComplete());
        QVERIFY(pages.knownPageCount() >= 1);
        const int count = pages.pageCount();
        QVERIFY(pages.isComplete());

        static const QRegularExpression client(QStringLiteral("Client (\\d+)"));
        int expected = 0;
        QList<int> rowsOnPage;
        for (int p = 0; p < count; ++p) {
            const QString text = pages.pageText(p);
            if (!onEveryPage.isEmpty())
                QVERIFY2(text.count(onEveryPage) == 1,
                    qPrintable(QStringLiteral("page %1:\n%2").arg(p + 1).arg(text)));
            int rows = 0;
            for (auto it = client.globalMatch(text); it.hasNext(); ++rows)
                QCOMPARE(it.next().captured(1).toInt(), expected++);
            rowsOnPage.append(rows);
        }
        QCOMPARE(expected, bookings);
        for (int p = 1; p + 1 < count; ++p)
            QCOMPARE(rowsOnPage.at(p), rowsOnPage.at(1));
        if (file == QLatin1String("trip.rpt"))
            QCOMPARE(count, bookings);
        if (qEnvironmentVariableIsSet("BM_REPORTS_LOOK"))
            QVERIFY(pages.savePdf(QDir(qEnvironmentVariable("BM_REPORTS_LOOK"))
                                      .filePath(QStringLiteral("long-") + file + QStringLiteral(".pdf"))));
    }

private:
    qint64 m_pat = 0;
};

BM_TEST_MAIN(TestReportRunner)
#include "test_reportrunner.moc"
