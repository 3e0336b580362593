#include "reportfixture.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/fieldvalue.h"
#include "platform/reportpreviewdocument.h"
#include "reports/runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace bm;

namespace
{

report::Request requestFor(const QString &file, Bookmark selection = {}, const QString &guide = {})
{
    report::Request r;
    r.definitionPath = file.contains(QLatin1Char('/')) ? file : appFile(file);
    r.selection = selection;
    r.guide = guide;
    r.printDate = QDate(2026, 12, 8);
    return r;
}

// Empty when each text stands in the report after the one before; else
// which one is missing, with the report's text.
QString missingInOrder(const QString &text, const QStringList &inOrder)
{
    qsizetype at = 0;
    for (const QString &expected : inOrder) {
        const qsizetype found = text.indexOf(expected, at);
        if (found < 0)
            return QStringLiteral("\"%1\" missing after position %2 in:\n%3").arg(expected).arg(at).arg(text);
        at = found + expected.size();
    }
    return QString();
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
                 "log.rpt", "patterns.rpt", "rods.rpt", "boat.rpt", "equipment.rpt", "guides.rpt",
                 "manifest.rpt", "logbook.rpt" }) {
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
        const QString missing = missingInOrder(text, inOrder);
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
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
        QTest::addColumn<QString>("serverReason"); // empty: the same as on the file

        const QString layout = QStringLiteral("[layout]\n<p>{{#q}}{{Name}}{{/q}}</p>\n");
        auto query = [&](const QString &sql) { return QStringLiteral("[query q]\n") + sql + u'\n' + layout; };
        QTest::newRow("missing file") << "<missing>"
                                      << "The report file is missing from the folder" << QString();
        QTest::newRow("a folder") << "<folder>"
                                  << "is not a report file" << QString();
        QTest::newRow("binary") << QStringLiteral("SQLite format 3") + QChar(0) + "xx"
                                << "is not a text file" << QString();
        QTest::newRow("empty") << ""
                               << "has no [layout] section" << QString();
        QTest::newRow("no layout") << "[report]\ntitle = X\n[query q]\nSELECT 1\n"
                                   << "has no [layout] section" << QString();
        QTest::newRow("text before a section")
            << "hello\n" + layout << "Line 1 of the report file stands before" << QString();
        QTest::newRow("unknown section") << "[reprot]\n" + layout << "unknown section [reprot]" << QString();
        QTest::newRow("unknown setting")
            << "[report]\ncolour = red\n" + layout << "unknown setting \"colour\"" << QString();
        QTest::newRow("bad paper") << "[report]\npaper = A5\n" + layout << "write portrait or landscape"
                                   << QString();
        QTest::newRow("query twice") << "[query q]\nSELECT 1\n[query q]\nSELECT 2\n" + layout
                                     << "a second time" << QString();
        QTest::newRow("empty query") << "[query q]\n\n" + layout << "which is empty" << QString();
        QTest::newRow("unclosed section") << "[layout]\n{{#Title}}x\n"
                                          << "The layout has a mistake" << QString();
        QTest::newRow("unknown field in layout")
            << "[query q]\nSELECT \"Name\" FROM Phone\n[layout]\n{{#q}}{{Nmae}}{{/q}}\n"
            << "names {{Nmae}}, which none of the report's queries gives" << QString();
        QTest::newRow("unknown field in footer") << "[report]\nfooter = {{Guide}}\n[layout]\n<p>x</p>\n"
                                                 << "The footer names {{Guide}}" << QString();
        QTest::newRow("partial") << "[layout]\n{{> other}}\n"
                                 << "can not take in other files" << QString();
        QTest::newRow("unknown table")
            << query("SELECT * FROM Bookings") << "reads the table Bookings" << QString();
        QTest::newRow("unknown field")
            << query("SELECT \"Nmae\" AS Name FROM Booking") << "names the field Nmae" << QString();
        QTest::newRow("syntax error")
            << query("SELECT FROM WHERE") << "The query \"q\" could not be run" << QString();
        QTest::newRow("unknown value") << query("SELECT Name FROM Booking WHERE ID = :contact")
                                       << "uses the value :contact" << QString();
        QTest::newRow("delete") << query("DELETE FROM Booking") << "would change the database" << QString();
        QTest::newRow("update") << query("update Booking SET Name = 'x'") << "would change the database"
                                << QString();
        QTest::newRow("drop after a comment")
            << query("-- tidy up\nDROP TABLE Booking") << "would change the database" << QString();
        QTest::newRow("insert") << query("INSERT INTO Phone (Name) VALUES ('x')")
                                << "would change the database" << QString();
        QTest::newRow("with delete") << query("WITH x AS (SELECT 1) DELETE FROM Booking")
                                     << "would change the database" << QString();
        QTest::newRow("pragma") << query("PRAGMA query_only = 0") << "would change the database" << QString();
        QTest::newRow("attach") << query("ATTACH 'other.db' AS o") << "would change the database"
                                << QString();
        QTest::newRow("second statement") << query("SELECT Name FROM Phone; DELETE FROM Phone")
                                          << "holds more than one statement" << QString();
        QTest::newRow("section inside itself")
            << "[query q]\nWITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 1000)\n"
               "SELECT n AS Name FROM c\n[layout]\n{{#q}}{{#q}}{{#q}}"
                + QString(400, u'x') + "{{/q}}{{/q}}{{/q}}\n"
            << "Check that no section stands inside itself" << QString();
        QTest::newRow("not a select") << query("EXPLAIN SELECT 1") << "is not a SELECT" << QString();
        // Functions that reach the engine's internals, the files or memory.
        QTest::newRow("tokenizer pointer")
            << query("SELECT hex(fts3_tokenizer('simple')) AS Name") << "calls the function fts3_tokenizer"
            << "calls the function hex";
        QTest::newRow("tokenizer planted") << query("SELECT fts3_tokenizer('simple', x'41414141') AS Name")
                                           << "calls the function fts3_tokenizer" << QString();
        QTest::newRow("extension") << query("SELECT load_extension('/tmp/libx.so') AS Name")
                                   << "calls the function load_extension" << QString();
        QTest::newRow("read a file") << query("SELECT readfile('/etc/passwd') AS Name") << "readfile"
                                     << QString();
        QTest::newRow("write a file")
            << query("SELECT writefile('/tmp/x', 'y') AS Name") << "writefile" << QString();
        QTest::newRow("memory") << query("SELECT length(zeroblob(1000000000)) AS Name")
                                << "calls the function zeroblob" << QString();
        QTest::newRow("engine internals") << query("SELECT sqlite_compileoption_get(0) AS Name")
                                          << "calls the function sqlite_compileoption_get" << QString();
        QTest::newRow("pragma as a table")
            << query("SELECT name AS Name FROM pragma_table_info('Booking')") << "would change the database"
            << "calls the function pragma_table_info";
        QTest::newRow("value too large")
            << query("SELECT replace(printf('%.*c', 900000, 'x'), 'x', 'xx') AS Name")
            << "gives a value too large to print"
            << "calls the function printf";
        QTest::newRow("value grown too large")
            << query("WITH RECURSIVE c(s) AS (SELECT 'xxxxxxxxxx' UNION ALL SELECT s || s FROM c "
                     "WHERE length(s) < 2000000) SELECT max(s) AS Name FROM c")
            << "gives a value too large to print" << QString();
    }

    void failures()
    {
        QFETCH(QString, definition);
        QFETCH(QString, reason);
        QFETCH(QString, serverReason);
        if (test::onServer() && !serverReason.isEmpty())
            reason = serverReason;

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
        QTest::addColumn<bool>("fileOnly"); // functions the server does not have
        QTest::newRow("text") << "upper(substr('walleye', 1, 4)) || lower('X') || trim('  y ')"
                              << "WALLxy" << false;
        QTest::newRow("numbers") << "round(2.675, 1) + abs(-1) + max(1, 2) + ifnull(NULL, 3)"
                                 << "8.7" << true;
        QTest::newRow("numbers both have") << "round(2.675, 1) + abs(-1) + ifnull(NULL, 3) + length('ab')"
                                           << "8.7" << false;
        QTest::newRow("dates") << "strftime('%Y', '2005-05-14') || date('2005-05-14', '+1 day')"
                               << "20052005-05-15" << true;
        QTest::newRow("own functions") << "amount(2500000) || ' ' || shortdate('2005-05-14')"
                                       << "250.00 5/14/2005" << false;
        QTest::newRow("aggregate") << "(SELECT COUNT(*) || ' ' || amount(SUM(\"Total Charge\")) FROM Booking)"
                                   << "3 1884.50" << false;
        QTest::newRow("total, glob and instr")
            << "(SELECT amount(TOTAL(\"Deposit Amount\")) FROM Booking WHERE \"Lake\" GLOB 'N*' OR "
               "instr(\"Lake\", 'Shoals') > 0)"
            << "50.00" << false;
        QTest::newRow("group_concat")
            << "(SELECT group_concat(\"Lake\") FROM Booking WHERE \"Lake\" GLOB 'N*')"
            << "Norfork" << false;
        QTest::newRow("replace") << "replace('Bull Shoals', 'Shoals', 'Run')"
                                 << "Bull Run" << false;
        QTest::newRow("case and like") << "CASE WHEN 'Bass' LIKE 'b%' THEN coalesce(NULL, 'yes') END"
                                       << "yes" << false;
    }
    void plainFunctionsWork()
    {
        QFETCH(QString, expression);
        QFETCH(QString, shown);
        QFETCH(bool, fileOnly);
        if (fileOnly && test::onServer())
            QSKIP("SQLite's own functions; the server refuses them by name (serverGuard)");
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
        // (The server keeps amounts as numbers only.)
        if (!test::onServer())
            test::exec(QStringLiteral(
                "UPDATE Booking SET \"Total Charge\" = 'about 100' WHERE \"Name\" = 'Early Bird'"));
        test::exec(
            QStringLiteral("UPDATE Booking SET \"Balance Due\" = -12345 WHERE \"Name\" = 'Early Bird'"));
        report::Rendered rendered;
        QVERIFY(report::render(requestFor(QStringLiteral("schedule.rpt")), rendered));
        const QString text = textOf(rendered);
        QVERIFY2(test::onServer() || text.contains(QLatin1String("about 100")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("-1.23")), qPrintable(text));
    }

    // The schedule guide by guide: each guide's trips on pages of their own
    // under his name with his totals, the trips without a guide last; or
    // one guide's alone. The name with a quote is bound, not pasted.
    void scheduleByGuide_data()
    {
        QTest::addColumn<QString>("guide");
        QTest::addColumn<QStringList>("pages"); // each page's text in order
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QString>("footerEnd");

        const QString al = QStringLiteral("Al Brook | 12/31/2004 Early Bird Norfork | 1234.50 | "
                                          "1/2/2006 Late Bird Norfork | 100.00 | 2 trips 1334.50");
        const QString zoe
            = QStringLiteral("Zoe O'Neil | 5/14/2005 Pat O'Hara Bull Shoals | 250.00 | 1 trip 250.00");
        const QString none = QStringLiteral(
            "No guide | 3/3/2007 Drop In | 6/6/2026 Sample Customer | 400.00 | 2 trips 400.00");
        QTest::newRow("every guide, then none") << QString() << QStringList { al, zoe, none }
                                                << QStringList { "al brook", "0 trips" } << "Trip Schedule";
        QTest::newRow("one guide") << "Zoe O'Neil" << QStringList { zoe }
                                   << QStringList { "Early Bird", "No guide", "Sample Customer", "Drop In" }
                                   << "Trip Schedule - Zoe O'Neil";
        QTest::newRow("a guide of two trips")
            << "Al Brook" << QStringList { al } << QStringList { "Pat O'Hara", "No guide" }
            << "Trip Schedule - Al Brook";
        QTest::newRow("a guide without trips")
            << "Kit Marsh" << QStringList { "Kit Marsh | No trips are booked." }
            << QStringList { "Early Bird", "No guide", "0.00" } << "Trip Schedule - Kit Marsh";
        QTest::newRow("a name that only looks like one")
            << "zoe o'neil" << QStringList { "No trips are booked." } << QStringList { "Pat O'Hara" }
            << "Trip Schedule";
    }

    void scheduleByGuide()
    {
        QFETCH(QString, guide);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, absent);
        QFETCH(QString, footerEnd);
        for (const char *name : { "Al Brook", "Zoe O'Neil", "Kit Marsh" })
            test::exec(QStringLiteral("INSERT INTO Guides (\"Name\", \"Active\") VALUES (?, 'Yes')"),
                { QString::fromUtf8(name) });
        test::exec(
            QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Total Charge\", "
                           "\"Guide\") VALUES ('2006-01-02', 'Late Bird', 'Norfork', 1000000, 'Al Brook')"));
        test::exec(QStringLiteral("UPDATE Booking SET \"Guide\" = 'Al Brook' WHERE \"Name\" = 'Early Bird'"));
        test::exec(QStringLiteral("UPDATE Booking SET \"Guide\" = ? WHERE ID = ?"),
            { QStringLiteral("Zoe O'Neil"), m_pat });
        // An empty Guide is no guide, as a missing one is.
        test::exec(QStringLiteral("UPDATE Booking SET \"Guide\" = '' WHERE \"Name\" = 'Sample Customer'"));
        test::exec(
            QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\") VALUES ('2007-03-03', 'Drop In')"));

        report::Rendered rendered;
        const Status s = report::render(requestFor(QStringLiteral("guides.rpt"), {}, guide), rendered);
        QVERIFY2(s, qPrintable(s.message()));
        const platform::ReportPages laidOut(rendered);
        QCOMPARE(laidOut.pageCount(), int(pages.size()));
        for (int page = 0; page < pages.size(); ++page) {
            const QString missing = missingInOrder(
                laidOut.pageText(page).simplified(), pages[page].split(QStringLiteral(" | ")));
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("page %1: ").arg(page + 1) + missing));
        }
        const QString all = laidOut.plainText();
        for (const QString &unwanted : absent)
            QVERIFY2(!all.contains(unwanted), qPrintable(unwanted));
        QVERIFY2(rendered.footer.endsWith(footerEnd), qPrintable(rendered.footer));
        QCOMPARE(rendered.footer.startsWith(QLatin1String("Bluegill Bay Guide Service - ")), true);
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
        QSqlDatabase db = db::connection(databasePath());
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

    // On the server the guard reads a statement as the server will, not as
    // SQLite wrote it: what slips past a reading in SQLite's words is
    // refused there too, and nothing is changed.
    void serverGuard_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("reason");
        QTest::newRow("function outside the list") << "SELECT pg_read_file('/etc/passwd') AS Name"
                                                   << "calls the function pg_read_file,";
        QTest::newRow("function in quotes") << "SELECT \"pg_read_file\"('/etc/passwd') AS Name"
                                            << "calls the function pg_read_file,";
        QTest::newRow("function of a schema") << "SELECT pg_catalog.upper('x') AS Name"
                                              << "calls the function pg_catalog.upper,";
        QTest::newRow("session turned writable")
            << "SELECT set_config('default_transaction_read_only', 'off', false) AS Name"
            << "calls the function set_config,";
        QTest::newRow("function named like a query of its own")
            << "SELECT 1 AS Name FROM Phone, pg_ls_dir('.') AS (x TEXT)"
            << "calls the function pg_ls_dir,";
        QTest::newRow("write through a WITH")
            << "WITH d AS (DELETE FROM Phone RETURNING ID) SELECT count(*) AS Name FROM d"
            << "would change the database";
        QTest::newRow("locking rows") << "SELECT Name FROM Phone FOR UPDATE"
                                      << "would change the database";
        QTest::newRow("two statements past a comment")
            << "SELECT 5-+-'\n; DELETE FROM Phone; SELECT 1 AS Name --'"
            << "holds more than one statement";
        QTest::newRow("two statements") << "SELECT Name FROM Phone; SELECT Name FROM Booking"
                                        << "holds more than one statement";
        QTest::newRow("backslash escapes") << "SELECT E'\\'' AS Name"
                                           << "could not be run";
        QTest::newRow("a function of the file only") << "SELECT strftime('%Y', '2005-05-14') AS Name"
                                                     << "which the shared database does not have";
        QTest::newRow("unknown table, as written") << "SELECT * FROM Bookings"
                                                   << "reads the table Bookings,";
    }
    void serverGuard()
    {
        if (!test::onServer())
            QSKIP("the file's guard is tried in failures()");
        QFETCH(QString, sql);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.rpt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("[query q]\n" + sql + "\n[layout]\n<p>{{#q}}{{Name}}{{/q}}</p>\n").toUtf8());
        f.close();
        const int contacts = test::countOf(QStringLiteral("Phone"));
        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        QVERIFY(!s);
        QVERIFY2(s.message().contains(reason), qPrintable(s.message()));
        QCOMPARE(test::countOf(QStringLiteral("Phone")), contacts);
        QSqlQuery setting(db::connection(databasePath()));
        QVERIFY(setting.exec(QStringLiteral("SHOW default_transaction_read_only")) && setting.next());
        QCOMPARE(setting.value(0).toString(), QStringLiteral("off")); // the program's own session writes
    }

    // amount() and shortdate() of the server's session print as the file's,
    // whatever the desk's locale: its signs, digits, names and order.
    void serverFunctionsPrintAsTheFile_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *name : { "en_US", "en_GB", "de_DE", "fr_FR", "fi_FI", "hu_HU", "ja_JP", "ar_EG",
                 "fa_IR", "sv_SE", "ko_KR", "bg_BG" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void serverFunctionsPrintAsTheFile()
    {
        if (!test::onServer())
            QSKIP("the file's functions are the program's own printing");
        QFETCH(QString, locale);
        const QLocale desk(locale);
        const QList<qint64> units = { 2500000, -12345, 49, -49, -50, 5, 9999950, 123456789012345, 0 };
        const QStringList dates = { "2005-05-14", "1999-12-01", "0005-01-02", "2005/02/03", "2005-02-30",
            "2005-05-14T10:00", "not a date", "20050514" };
        QStringList selects;
        QString expected;
        for (qsizetype i = 0; i < std::max(units.size(), dates.size()); ++i) {
            const qint64 u = units.value(i % units.size());
            const QString d = dates.value(i % dates.size());
            // The same amount as a number, a text and a fraction of the engine.
            selects << QStringLiteral(
                "SELECT amount(%1) || '|' || amount('%1') || '|' || amount(%1.4) || '|' "
                "|| shortdate('%2') AS V")
                           .arg(u)
                           .arg(d);
            const QString a
                = fieldvalue::shownStored(FieldKind::Amount, QVariant(u), fieldvalue::Amounts::Printed, desk);
            const QVariant typed = fieldvalue::fromStored(FieldKind::Date, d);
            const QString shown
                = typed.isNull() ? d : fieldvalue::shown(typed, fieldvalue::Amounts::Printed, desk);
            expected += QStringLiteral("[%1|%1|%1|%2]").arg(a, shown);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("functions.rpt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("[query q]\n" + selects.join(QStringLiteral(" UNION ALL "))
            + "\n[layout]\n<p>{{#q}}[{{V}}]{{/q}}</p>\n")
                    .toUtf8());
        f.close();
        report::Request request = requestFor(path);
        request.locale = desk;
        report::Rendered rendered;
        const Status s = report::render(request, rendered);
        QVERIFY2(s, qPrintable(s.message()));
        QCOMPARE(textOf(rendered).trimmed(), expected);
    }

    // Cancel stops a query while the server works at it, before its first
    // row: the report says it was stopped, at once, and the server is no
    // longer busy with it.
    void serverQueryStoppedByCancel()
    {
        if (!test::onServer())
            QSKIP("the file's engine is stopped between its steps (test_reportlimits)");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("slow.rpt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "[query q]\nWITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000000)\n"
            "SELECT max(i) AS i FROM n\n[layout]\n{{#q}}{{i}}{{/q}}\n");
        f.close();
        struct StopAfter : Progress {
            int calls = 0;
            bool advance(qint64, qint64) override { return ++calls < 3; }
        } progress;
        report::Request request = requestFor(path);
        request.progress = &progress;
        QElapsedTimer clock;
        clock.start();
        report::Rendered rendered;
        const Status s = report::render(request, rendered);
        QCOMPARE(s.message(), QStringLiteral("The report was stopped."));
        QCOMPARE(progress.calls, 3);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        // The cancel is asked for, not waited on: on a loaded machine the
        // server may take a moment to end the statement, far less than the
        // minutes the statement itself would run.
        const auto stillRunning = [] {
            QSqlQuery busy(db::connection(databasePath()));
            if (!busy.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND "
                                          "query LIKE '%300000000%' AND pid <> pg_backend_pid()"))
                || !busy.next())
                return -1;
            return busy.value(0).toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(stillRunning(), 0, 5000);
    }

private:
    qint64 m_pat = 0;
};

BM_TEST_MAIN(TestReportRunner)
#include "test_reportrunner.moc"
