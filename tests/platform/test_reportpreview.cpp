#include "doubles.h"
#include "reportfixture.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "platform/mainhub.h"
#include "platform/reportpreview.h"
#include "platform/windows.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace bm;
using platform::ReportPreview;

namespace
{

ReportPreview *openPreview()
{
    return qobject_cast<ReportPreview *>(platform::findWindow(QStringLiteral("frmPreview")));
}

void closePreviews()
{
    while (QWidget *w = platform::findWindow(QStringLiteral("frmPreview"))) {
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int pdfPages(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = f.readAll();
    if (!pdf.startsWith("%PDF-"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace

class TestReportPreview : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        test::resetDatabase();
        m_pat = test::addFixtureRecords();
        m_hub = std::make_unique<test::FakeHub>();
        m_clock = std::make_unique<test::FakeClock>(QDate(2026, 12, 8));
    }
    void cleanup()
    {
        closePreviews();
        m_hub.reset();
        m_clock.reset();
    }

    void printShowsPreviewBesideTheProgram()
    {
        platform::printReport(QStringLiteral("schedule.rpt"));
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->windowTitle(), QStringLiteral("Print Preview"));
        QVERIFY(!preview->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(preview->pages()->report().title, QStringLiteral("Trip Schedule"));
        QCOMPARE(preview->pages()->report().printDate, QStringLiteral("12/8/2026"));
        QVERIFY(preview->pages()->plainText().contains(QLatin1String("Pat O'Hara")));
        QCOMPARE(
            preview->findChild<QLabel *>(QStringLiteral("lblPage"))->text(), QStringLiteral("Page 1 of 1"));
        if (qEnvironmentVariableIsSet("BM_REPORTS_LOOK"))
            preview->grab().save(QDir(qEnvironmentVariable("BM_REPORTS_LOOK")).filePath("preview.png"));

        // Another print shows its report in the same window.
        platform::printReport(QStringLiteral("contacts.rpt"));
        QCOMPARE(openPreview(), preview);
        QCOMPARE(preview->pages()->report().title, QStringLiteral("Contacts"));
    }

    void invoiceForTheSelectedBooking()
    {
        platform::printReport(QStringLiteral("invoice.rpt"), Bookmark { m_pat });
        QVERIFY(openPreview());
        QCOMPARE(openPreview()->pages()->pageCount(), 1);
        QVERIFY(openPreview()->pages()->plainText().contains(QLatin1String("Pat O'Hara")));
        // The selection holds for one run only.
        platform::printReport(QStringLiteral("invoice.rpt"));
        QCOMPARE(openPreview()->pages()->pageCount(), 3);
    }

    void pageCommands()
    {
        platform::printReport(QStringLiteral("trip.rpt"));
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        QCOMPARE(preview->pages()->pageCount(), 3);
        auto *label = preview->findChild<QLabel *>(QStringLiteral("lblPage"));
        auto *next = preview->findChild<QAction *>(QStringLiteral("cmdNext"));
        auto *last = preview->findChild<QAction *>(QStringLiteral("cmdLast"));
        auto *first = preview->findChild<QAction *>(QStringLiteral("cmdFirst"));
        QVERIFY(next && last && first);
        QVERIFY(!first->isEnabled());
        next->trigger();
        QCOMPARE(preview->currentPage(), 1);
        QCOMPARE(label->text(), QStringLiteral("Page 2 of 3"));
        last->trigger();
        QCOMPARE(preview->currentPage(), 2);
        QVERIFY(!next->isEnabled());
        first->trigger();
        QCOMPARE(preview->currentPage(), 0);
        const double before = preview->zoom();
        preview->findChild<QAction *>(QStringLiteral("cmdZoomIn"))->trigger();
        QVERIFY(preview->zoom() > before);
    }

    // A definition that can not be run: a message box says which report
    // and why, and no preview opens.
    void failureShowsMessage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("definition"); // empty: the file is not there
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "nothing.rpt" << QByteArray() << "is missing from the folder";
        QTest::newRow("broken layout")
            << "boat.rpt" << QByteArray("[layout]\n{{#boats}}\n") << "The layout has a mistake";
        QTest::newRow("unknown table")
            << "rods.rpt" << QByteArray("[query r]\nSELECT * FROM Rod\n[layout]\nx\n")
            << "reads the table Rod";
        QTest::newRow("writing") << "log.rpt" << QByteArray("[query r]\nDELETE FROM Diary\n[layout]\nx\n")
                                 << "would change the database";
    }

    void failureShowsMessage()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, definition);
        QFETCH(QString, reason);
        if (!definition.isEmpty()) {
            QFile f(appFile(file));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(definition);
        }
        const int diary = test::countOf(QStringLiteral("Diary"));
        test::ScriptedMessages messages;
        messages.expect();
        platform::printReport(file);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.last().icon, platform::Icon::Exclamation);
        QCOMPARE(messages.last().caption, QStringLiteral("Brindlemoor"));
        QVERIFY2(messages.last().text.startsWith(
                     QStringLiteral("The report \"%1\" could not be printed.\n").arg(file)),
            qPrintable(messages.last().text));
        QVERIFY2(messages.last().text.contains(reason), qPrintable(messages.last().text));
        QVERIFY(!openPreview());
        QCOMPARE(test::countOf(QStringLiteral("Diary")), diary);
    }

    // A long report shows its first pages at once and lays out the rest
    // while the window waits for commands.
    void longReportGrowsWhileShown()
    {
        test::addBookings(700); // a schedule of some 30 pages
        platform::printReport(QStringLiteral("schedule.rpt"));
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        auto *label = preview->findChild<QLabel *>(QStringLiteral("lblPage"));
        QVERIFY(!preview->pages()->isComplete());
        QVERIFY2(label->text().endsWith(QLatin1Char('+')), qPrintable(label->text()));
        QTRY_VERIFY_WITH_TIMEOUT(preview->pages()->isComplete(), 60000);
        const int count = preview->pages()->knownPageCount();
        QVERIFY(count > 20);
        QCOMPARE(label->text(), QStringLiteral("Page 1 of %1").arg(count));
        preview->findChild<QAction *>(QStringLiteral("cmdLast"))->trigger();
        QCOMPARE(preview->currentPage(), count - 1);
    }

    void deletedDefinitionIsLaidInAgain()
    {
        QVERIFY(QFile::remove(appFile(QStringLiteral("equipment.rpt"))));
        platform::printReport(QStringLiteral("equipment.rpt"));
        QVERIFY(openPreview());
        QCOMPARE(openPreview()->pages()->report().title, QStringLiteral("Equipment"));
        QVERIFY(QFile::exists(appFile(QStringLiteral("equipment.rpt"))));
    }

    void savesPdf_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *name : { "contacts.rpt", "trip.rpt", "schedule.rpt", "invoice.rpt", "reminders.rpt",
                 "log.rpt", "patterns.rpt", "rods.rpt", "boat.rpt", "equipment.rpt" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void savesPdf()
    {
        QFETCH(QString, file);
        platform::printReport(file);
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        QTemporaryDir dir;
        const QString base = QFileInfo(file).completeBaseName();
        test::FakeFileDialogs dialogs;
        dialogs.answers << dir.filePath(base); // typed without .pdf
        preview->findChild<QAction *>(QStringLiteral("cmdSavePdf"))->trigger();
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.first().title, QStringLiteral("Save as PDF"));
        QCOMPARE(dialogs.requests.first().proposedName, base + QStringLiteral(".pdf"));
        const QString pdf = dir.filePath(base + QStringLiteral(".pdf"));
        QCOMPARE(pdfPages(pdf), preview->pages()->pageCount());
        if (qEnvironmentVariableIsSet("BM_REPORTS_LOOK"))
            QFile::copy(
                pdf, QDir(qEnvironmentVariable("BM_REPORTS_LOOK")).filePath(base + QStringLiteral(".pdf")));
    }

    void savePdfFailsOrIsCancelled()
    {
        platform::printReport(QStringLiteral("contacts.rpt"));
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        QAction *save = preview->findChild<QAction *>(QStringLiteral("cmdSavePdf"));
        QTemporaryDir dir;
        test::FakeFileDialogs dialogs;
        test::ScriptedMessages messages;

        dialogs.answers << QString(); // cancelled
        save->trigger();
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());

        messages.expect();
        dialogs.answers << dir.filePath(QStringLiteral("no such folder/contacts.pdf"));
        save->trigger();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.last().icon, platform::Icon::Exclamation);
        QVERIFY2(messages.last().text.startsWith(
                     QLatin1String("The report \"contacts.rpt\" could not be saved as PDF.\n")),
            qPrintable(messages.last().text));
    }

    // Preparing a report tells its progress; stopped, it shows neither the
    // preview nor a box, and the next print runs whole.
    void stoppedPrintShowsNothing()
    {
        test::ScriptedProgress progress;
        test::ScriptedMessages messages; // no box expected
        progress.stop = QStringLiteral("Preparing");
        platform::printReport(QStringLiteral("schedule.rpt"));
        QCOMPARE(progress.labels, QStringList { QStringLiteral("Preparing the report...") });
        QVERIFY(progress.advances > 0);
        QVERIFY(!openPreview());

        progress.stop.clear();
        platform::printReport(QStringLiteral("schedule.rpt"));
        QVERIFY(openPreview());
        QVERIFY(openPreview()->pages()->plainText().contains(QLatin1String("Pat O'Hara")));
    }

    // Saving a long report can be stopped while its pages are laid out or
    // written: no file is left, no box shows, and the preview saves it
    // whole afterwards.
    void stoppedSaveLeavesNoFile_data()
    {
        QTest::addColumn<bool>("laidOutFirst"); // the last page shown before saving
        QTest::addColumn<int>("stopAfter");
        QTest::newRow("while laying out") << false << 0;
        QTest::newRow("while writing") << true << 3;
    }

    void stoppedSaveLeavesNoFile()
    {
        QFETCH(bool, laidOutFirst);
        QFETCH(int, stopAfter);
        test::addBookings(700); // a schedule of some 30 pages
        platform::printReport(QStringLiteral("schedule.rpt"));
        ReportPreview *preview = openPreview();
        QVERIFY(preview);
        test::ScriptedProgress progress;
        if (laidOutFirst) {
            preview->findChild<QAction *>(QStringLiteral("cmdLast"))->trigger();
            QVERIFY(preview->pages()->isComplete());
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("schedule.pdf"));
        test::FakeFileDialogs dialogs;
        test::ScriptedMessages messages; // no box expected
        progress.stop = QStringLiteral("Saving");
        progress.stopAfter = stopAfter;
        dialogs.answers << pdf;
        preview->findChild<QAction *>(QStringLiteral("cmdSavePdf"))->trigger();
        QCOMPARE(progress.labels.constLast(), QStringLiteral("Saving the report as PDF..."));
        QCOMPARE(progress.counted.constLast(), QStringLiteral("pages"));
        QCOMPARE(progress.lastTotal > 0, laidOutFirst); // pages written of the count, else laid out so far
        QVERIFY2(QDir(dir.path()).isEmpty(), qPrintable(QDir(dir.path()).entryList().join(u' ')));

        progress.stop.clear();
        dialogs.answers << pdf;
        preview->findChild<QAction *>(QStringLiteral("cmdSavePdf"))->trigger();
        QVERIFY(preview->pages()->isComplete());
        QCOMPARE(pdfPages(pdf), preview->pages()->pageCount());
        QCOMPARE(progress.lastDone, progress.lastTotal - 1); // the last page told before it was written
    }

private:
    qint64 m_pat = 0;
    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::FakeClock> m_clock;
};

BM_TEST_MAIN(TestReportPreview)
#include "test_reportpreview.moc"
