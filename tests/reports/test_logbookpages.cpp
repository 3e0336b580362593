#include "logbookfixture.h"
#include "pdftext.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "platform/reportpreviewdocument.h"
#include "reports/runner.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace bm;

// The state's logbook as printed: one page per day of each trip, read back
// off the PDF with pdftotext.

namespace
{

// Whether every wanted line stands on the page, each after the one before.
QString missingFrom(const QStringList &page, const QStringList &wanted)
{
    qsizetype at = 0;
    for (const QString &w : wanted) {
        while (at < page.size() && page.at(at) != w)
            ++at;
        if (at == page.size())
            return w;
        ++at;
    }
    return QString();
}

} // namespace

class TestLogbookPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed to read the pages back");
        test::resetDatabase();
        test::layLogbookMonth();
    }

    void onePagePerTripDay_data();
    void onePagePerTripDay();
};

void TestLogbookPages::onePagePerTripDay_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("guide");
    QTest::addColumn<QList<QStringList>>("pages"); // lines each page shows, in order

    const QString head = QStringLiteral("Guide Ann Reed Guide licence no. G-100");
    const QString aboard = QStringLiteral("Name Fishing licence no. Client / crew / comped");
    const QString catchHead = QStringLiteral("Angler Species Kept Released Origin Life stage");
    const QString signature = QStringLiteral("Signature of the guide, Ann Reed Date");
    const QList<QStringList> november {
        { head, "Date 11/1/2026 Client Jo Wren", "Water(s) Cowlitz River Site code(s) 27", aboard,
            "Jo Wren none Client", "Catch at site 27 — Cowlitz R. - Barrier Dam to I-5 · Cowlitz River",
            catchHead, "Jo Wren Rainbow Trout 2 1", signature },
        { head, "Date 11/3/2026 Client Carl Dunn", "Water(s) Cowlitz River Site code(s) 27, 28", aboard,
            "Carl Dunn WA-1 Client", "Dee Dunn WA-2 Comped", "Eli Moss none Crew",
            "Catch at site 27 — Cowlitz R. - Barrier Dam to I-5 · Cowlitz River", catchHead,
            "Carl Dunn Steelhead 1 0 Hatchery Adult", "Dee Dunn Steelhead 0 1 Wild Jack",
            "Catch at site 28 — Cowlitz R. - I-5 to mouth · Cowlitz River", "Nothing caught at this site.",
            catchHead, "Carl Dunn Nothing caught", signature },
        { head, "Date 11/4/2026 Client Carl Dunn", "Water(s) Cowlitz River Site code(s) none entered", aboard,
            "Carl Dunn WA-1 Client", "Dee Dunn WA-2 Comped", "Eli Moss none Crew",
            "No catch is entered for this day.", signature },
        { "Guide Bo Lind Guide licence no. missing", "Date 11/10/2026 Client Fay Hill",
            "Water(s) Lake Sawyer Site code(s) none entered", aboard, "Fay Hill none Client",
            "Catch at site (no site code) · Lake Sawyer", "No fish kept at this site.", catchHead,
            "Fay Hill Cutthroat Trout 0 3", "Signature of the guide, Bo Lind Date" },
        { head, "Date 11/20/2026 Client Gus Park", aboard, "Gus Park WA-3 Client", "Hal Ames none Crew",
            "Hal Ames Coho Salmon 1 0 Hatchery", "Ivy Stone Chinook 1 0 Wild Adult", signature },
    };
    QTest::newRow("every guide") << "2026-11" << QString() << november;
    QTest::newRow("one guide") << "2026-11"
                               << "Bo Lind" << QList<QStringList> { november.at(3) };
    QTest::newRow("trip into the next month")
        << "2026-10" << QString()
        << QList<QStringList> { { head, "Date 10/31/2026 Client Jo Wren", "Jo Wren Rainbow Trout 1 0" } };
    QTest::newRow("month without trips")
        << "2026-09" << QString() << QList<QStringList> { { "No trips were logged in this month." } };
}

void TestLogbookPages::onePagePerTripDay()
{
    QFETCH(QString, month);
    QFETCH(QString, guide);
    QFETCH(QList<QStringList>, pages);
    report::Request request;
    request.definitionPath = appFile(QStringLiteral("logbook.rpt"));
    request.month = month;
    request.guide = guide;
    request.printDate = QDate(2026, 12, 8);
    report::Rendered rendered;
    const Status s = report::render(request, rendered);
    QVERIFY2(s, qPrintable(s.message()));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("logbook.pdf"));
    const Status saved = platform::ReportPages(rendered).savePdf(pdf);
    QVERIFY2(saved, qPrintable(saved.message()));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        QFile::copy(pdf, QStringLiteral("%1/logbook-%2.pdf").arg(folder, QTest::currentDataTag()));
    const QList<QStringList> got = test::pagesOf(pdf);
    QCOMPARE(got.size(), pages.size());
    for (int p = 0; p < pages.size(); ++p) {
        const QString missing = missingFrom(got.at(p), pages.at(p));
        QVERIFY2(missing.isEmpty(),
            qPrintable(QStringLiteral("page %1 lacks \"%2\":\n%3")
                           .arg(p + 1)
                           .arg(missing, got.at(p).join(QLatin1Char('\n')))));
    }
}

BM_TEST_MAIN(TestLogbookPages)
#include "test_logbookpages.moc"
