#include "pdftext.h"
#include "reportfixture.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "platform/reportpreviewdocument.h"
#include "reports/runner.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace bm;

// What the delivered reports print for fixed records, page by page, as
// pdftotext reads it off the PDF. The expected pages lie in pages/; after a
// deliberate change of a report's look they are written anew with
// BM_WRITE_REPORT_PAGES=1.

namespace
{

// Bookings of every shape a season brings: names long enough to wrap in
// their column, remarks of several lines, missing amounts and dates.
void addSeason()
{
    QSqlDatabase db = db::connection(databasePath());
    db.transaction();
    const QStringList lakes = { QStringLiteral("Table Rock Lake"), QStringLiteral("Bull Shoals"),
        QStringLiteral("Lake Taneycomo") };
    for (int i = 0; i < 140; ++i) {
        QString name = QStringLiteral("Client %1").arg(i, 3, 10, QLatin1Char('0'));
        if (i % 9 == 0)
            name += QStringLiteral(" and the Fishing Club of the Upper White River Valley");
        QString remarks = QStringLiteral("Trip %1.").arg(i);
        if (i % 4 == 0)
            remarks += QStringLiteral("\nBring the fly rods.\nMeet early: the ramp fills by six.");
        test::exec(QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Meet At\", \"Type\", "
                                  "\"Total Charge\", \"Deposit Amount\", \"Balance Due\", \"Remarks\") "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            { i % 23 == 5 ? QVariant() : QVariant(QDate(2025, 3, 1).addDays(i).toString(Qt::ISODate)), name,
                lakes.at(i % 3), i % 5 ? QStringLiteral("State Park Marina") : QString(),
                i % 2 ? QStringLiteral("Full Day") : QStringLiteral("Half Day"),
                i % 17 == 3 ? QVariant() : QVariant(qint64(3000000 + i * 12500)), qint64(500000),
                qint64(2500000 + i * 12500), remarks });
    }
    for (int i = 0; i < 90; ++i)
        test::exec(
            QStringLiteral("INSERT INTO Phone (\"Name\", \"Address\", \"City\", \"State\", \"Zip Code\", "
                           "\"Home Telephone Number\", \"Email\") VALUES (?, ?, 'Branson', 'MO', "
                           "'65616', ?, ?)"),
            { QStringLiteral("Contact %1").arg(i, 2, 10, QLatin1Char('0')),
                i % 7 ? QStringLiteral("%1 Lakeshore Drive").arg(100 + i)
                      : QStringLiteral("Lot %1, Shady Acres Camp\nRural Route 2").arg(i),
                QStringLiteral("555-%1").arg(1000 + i, 4, 10, QLatin1Char('0')),
                i % 3 ? QStringLiteral("contact%1@example.com").arg(i) : QString() });
    db.commit();
}

QString expectedPath(const QString &report, const QString &how)
{
    return QStringLiteral(BM_REPORT_PAGES_DIR "/%1.%2.txt").arg(QFileInfo(report).completeBaseName(), how);
}

QString joined(const QList<QStringList> &pages)
{
    QString out;
    for (const QStringList &page : pages)
        out += page.join(QLatin1Char('\n')) + QStringLiteral("\n\f\n");
    return out;
}

QList<QStringList> split(const QString &text)
{
    QList<QStringList> pages;
    for (const QString &page : text.split(QStringLiteral("\n\f\n"), Qt::SkipEmptyParts))
        pages.append(page.split(QLatin1Char('\n')));
    return pages;
}

} // namespace

class TestReportPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed to read the pages back");
        test::resetDatabase();
        test::addFixtureRecords();
        addSeason();
        // Two guides share the season, some trips have none: the schedule
        // by guide has groups of many pages and of one.
        test::exec(QStringLiteral("UPDATE Booking SET \"Guide\" = CASE \"Lake\" WHEN 'Bull Shoals' THEN "
                                  "'Zoe O''Neil' WHEN 'Table Rock Lake' THEN 'Al Brook' END"));
    }

    void samePages_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("printed"); // through the printer's path, else saved as PDF
        for (const char *report : { "schedule.rpt", "invoice.rpt", "contacts.rpt", "guides.rpt" }) {
            QTest::addRow("%s saved", report) << QString::fromLatin1(report) << false;
            QTest::addRow("%s printed", report) << QString::fromLatin1(report) << true;
        }
    }

    void samePages()
    {
        QFETCH(QString, report);
        QFETCH(bool, printed);
        report::Request request;
        request.definitionPath = appFile(report);
        request.printDate = QDate(2026, 12, 8);
        report::Rendered rendered;
        const Status s = report::render(request, rendered);
        QVERIFY2(s, qPrintable(s.message()));

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("pages.pdf"));
        const platform::ReportPages pages(rendered);
        if (printed) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageLayout(pages.pageLayout());
            printer.setFullPage(true);
            QCOMPARE(pages.paint(printer, 0, pages.pageCount() - 1), platform::ReportPages::Outcome::Done);
        } else {
            const Status saved = pages.savePdf(pdf);
            QVERIFY2(saved, qPrintable(saved.message()));
        }
        if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty() && !printed)
            QFile::copy(pdf, QStringLiteral("%1/%2.pdf").arg(folder, report));
        const QList<QStringList> got = test::pagesOf(pdf);
        QVERIFY2(got.size() > 1, qPrintable(report));
        QCOMPARE(got.size(), pages.pageCount());

        QFile expected(expectedPath(report, QStringLiteral("pages")));
        if (qEnvironmentVariableIsSet("BM_WRITE_REPORT_PAGES") && !printed) {
            QVERIFY(expected.open(QIODevice::WriteOnly | QIODevice::Truncate));
            expected.write(joined(got).toUtf8());
            return;
        }
        QVERIFY2(expected.open(QIODevice::ReadOnly), qPrintable(expected.fileName()));
        const QList<QStringList> want = split(QString::fromUtf8(expected.readAll()));
        QCOMPARE(got.size(), want.size());
        for (int p = 0; p < want.size(); ++p)
            QVERIFY2(got.at(p) == want.at(p),
                qPrintable(QStringLiteral("page %1 of %2:\n--- expected\n%3\n--- printed\n%4")
                               .arg(p + 1)
                               .arg(want.size())
                               .arg(want.at(p).join(QLatin1Char('\n')), got.at(p).join(QLatin1Char('\n')))));
    }

    // The manifest of one trip is one page: everyone aboard in the order
    // entered, or the client alone with his phone.
    void manifestPage_data()
    {
        QTest::addColumn<bool>("withParty");
        QTest::addColumn<QStringList>("inOrder"); // each in a line after the one before
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("party") << true
                               << QStringList { "Bluegill Bay Guide Service", "Passenger Manifest",
                                      "7/4/2026, 3 days", "05:30", "Pontiac Marina", "Bull Shoals",
                                      "Guide Al Brook", "Rita Ross",
                                      "1 Rita Ross Client WA-100 Sam Ross 555-0110", "2 Cy Crew Crew",
                                      "3 Cam Comp Comped WA-300" }
                               << QStringList { "555-0142", "Other Trip" };
        QTest::newRow("client alone") << false
                                      << QStringList { "Bluegill Bay Guide Service", "Passenger Manifest",
                                             "7/4/2026", "Guide Bluegill Bay Guide Service", "Rita Ross",
                                             "1 Rita Ross Client his own phone 555-0142" }
                                      << QStringList { "days", "Cy Crew", "Other Trip" };
    }

    void manifestPage()
    {
        QFETCH(bool, withParty);
        QFETCH(QStringList, inOrder);
        QFETCH(QStringList, absent);
        test::exec(QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Meet At\", "
                                  "\"Start Time\", \"Telephone\", \"Guide\", \"Days\") VALUES ('2026-07-04', "
                                  "'Rita Ross', 'Bull Shoals', 'Pontiac Marina', '05:30', '555-0142', ?, ?)"),
            { withParty ? QVariant(QStringLiteral("Al Brook")) : QVariant(),
                withParty ? QVariant(QStringLiteral("3")) : QVariant() });
        const qint64 trip = test::lastId(QStringLiteral("Booking"));
        test::exec(
            QStringLiteral("INSERT INTO Booking (\"Date\", \"Name\") VALUES ('2026-07-04', 'Other Trip')"));
        const QString other = QString::number(test::lastId(QStringLiteral("Booking")));
        test::exec(
            QStringLiteral("INSERT INTO Party (Booking, Angler, Role) VALUES (?, 'Other Trip', 'Client')"),
            { other });
        const QList<QStringList> aboard { { "Rita Ross", "Client", "WA-100", "Sam Ross", "555-0110" },
            { "Cy Crew", "Crew", "", "", "" }, { "Cam Comp", "Comped", "WA-300", "", "" } };
        for (const QStringList &a : aboard)
            if (withParty)
                test::exec(
                    QStringLiteral("INSERT INTO Party (Booking, Angler, Role, \"License No\", "
                                   "\"Emergency Contact\", \"Emergency Phone\") VALUES (?, ?, ?, ?, ?, ?)"),
                    { QString::number(trip), a[0], a[1], a[2], a[3], a[4] });
        report::Request request;
        request.definitionPath = appFile(QStringLiteral("manifest.rpt"));
        request.selection = Bookmark { trip };
        request.printDate = QDate(2026, 12, 8);
        report::Rendered rendered;
        const Status s = report::render(request, rendered);
        QVERIFY2(s, qPrintable(s.message()));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("manifest.pdf"));
        const platform::ReportPages pages(rendered);
        const Status saved = pages.savePdf(pdf);
        QVERIFY2(saved, qPrintable(saved.message()));
        if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
            QFile::copy(pdf, QStringLiteral("%1/manifest-%2.pdf").arg(folder, QTest::currentDataTag()));
        const QList<QStringList> got = test::pagesOf(pdf);
        QCOMPARE(got.size(), 1);
        const QStringList &lines = got.constFirst();
        const QString text = lines.join(QLatin1Char('\n'));
        qsizetype at = 0;
        for (const QString &expected : std::as_const(inOrder)) {
            const qsizetype found = text.indexOf(expected, at);
            QVERIFY2(found >= 0,
                qPrintable(QStringLiteral("\"%1\" not after %2 in\n%3").arg(expected).arg(at).arg(text)));
            at = found + expected.size();
        }
        for (const QString &missing : std::as_const(absent))
            QVERIFY2(!text.contains(missing), qPrintable(missing + QStringLiteral(" in\n") + text));
    }

    // A page looks the same whatever was painted before it: its document
    // laid out again after others took its place, its foot after another's.
    void samePageWhateverCameBefore_data()
    {
        QTest::addColumn<QList<int>>("before"); // pages painted first; -1: the last
        QTest::addColumn<int>("page");
        QTest::newRow("first after the last") << QList<int> { -1 } << 0;
        QTest::newRow("middle after the others") << QList<int> { 0, 1, -1, 2 } << 3;
        QTest::newRow("last after the first") << QList<int> { 0 } << -1;
    }

    void samePageWhateverCameBefore()
    {
        QFETCH(QList<int>, before);
        QFETCH(int, page);
        if (test::countOf(QStringLiteral("Booking")) < 250) // more pages than the fewest kept
            test::exec(QStringLiteral(
                "INSERT INTO Booking (\"Date\", \"Name\") SELECT \"Date\", \"Name\" || ' again' "
                "FROM Booking"));
        report::Request request;
        request.definitionPath = appFile(QStringLiteral("schedule.rpt"));
        request.printDate = QDate(2026, 12, 8);
        report::Rendered rendered;
        QVERIFY(report::render(request, rendered));
        const QPageLayout paper = platform::ReportPages::defaultLayout(rendered.landscape);
        const auto image = [](const platform::ReportPages &pages, int p) {
            QImage i((pages.pageSize() / 2).toSize(), QImage::Format_RGB32);
            i.fill(Qt::white);
            QPainter painter(&i);
            painter.scale(0.5, 0.5);
            pages.paintPage(painter, p < 0 ? pages.pageCount() - 1 : p);
            return i;
        };
        const platform::ReportPages fresh(rendered, paper);
        fresh.pageCount();
        const platform::ReportPages used(rendered, paper, 1); // keeps the fewest documents
        used.pageCount();
        QVERIFY(used.pageCount() > 8);
        for (const int p : before)
            image(used, p);
        QVERIFY(image(used, page) == image(fresh, page));
    }
};

BM_TEST_MAIN(TestReportPages)
#include "test_reportpages.moc"
