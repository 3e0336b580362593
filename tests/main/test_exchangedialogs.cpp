#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "recordcount.h"
#include "records.h"
#include "testenv.h"

#include "db/recordsource.h"
#include "exchange/csvexchange.h"
#include "main/exchangedialogs.h"
#include "main/frmmain.h"
#include "platform/progress.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using namespace bm;
using platform::Icon;

namespace
{

int contactCount()
{
    return test::recordCount(RecordSource(QStringLiteral("count"), QStringLiteral("Phone")));
}

void click(QDialog *dialog, const char *button)
{
    auto *b = dialog->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY2(b, button);
    QVERIFY2(b->isEnabled(), button);
    b->click();
}

QStringList headings(QTableWidget *grid)
{
    QStringList h;
    for (int c = 0; c < grid->columnCount(); ++c)
        h << grid->horizontalHeaderItem(c)->text();
    return h;
}

} // namespace

class TestExchangeDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ScriptedMessages> msgs;
    std::unique_ptr<test::FakeFileDialogs> files;
    std::unique_ptr<QTemporaryDir> dir;
    QPointer<FrmMain> main;
    std::unique_ptr<QObject> watchers; // the watches of one test end with it

    // Runs the check on the modal dialog with this name as soon as it shows;
    // the check closes it.
    void whenShown(const QString &name, std::function<void(QDialog *)> check)
    {
        auto *timer = new QTimer(watchers.get());
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [timer, name, check] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != name)
                return;
            timer->stop();
            check(dialog);
            if (dialog->isVisible()) // a failed check: do not hang
                dialog->reject();
        });
        timer->start();
    }

    QString write(const QByteArray &bytes)
    {
        const QString path = dir->filePath("in.csv");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("can not write");
        return path;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<test::ScriptedMessages>();
        files = std::make_unique<test::FakeFileDialogs>();
        watchers = std::make_unique<QObject>();
        main = new FrmMain;
        main->show();
    }
    void cleanup()
    {
        watchers.reset();
        test::deleteWindows();
        QCOMPARE(msgs->pending(), 0);
        msgs.reset();
        files.reset();
    }

    void importPreviewThenAdd()
    {
        test::addContact("Stored Person", "555-0199");
        const int before = contactCount();
        files->answers << write("Name,E-mail Address,Birthday,Home Phone\r\n"
                                "Ann Lee,ann@x.org,1970-01-01,555-0101\r\n"
                                "Stored Person,,,555 0199\r\n"
                                ",,,555-0104\r\n"
                                "Bob Ray,bob@x.org,,\r\n");
        bool previewed = false;
        whenShown("dlgImportContacts", [&](QDialog *d) {
            auto *grid = d->findChild<QTableWidget *>("grdPreview");
            QVERIFY(grid);
            QCOMPARE(headings(grid),
                QStringList({ "Name\n\u2192 Name", "E-mail Address\n\u2192 Email", "Birthday\n(not imported)",
                    "Home Phone\n\u2192 Home Telephone Number" }));
            QCOMPARE(grid->rowCount(), 4);
            QCOMPARE(grid->item(0, 1)->text(), QString("ann@x.org"));
            QCOMPARE(grid->verticalHeaderItem(3)->text(), QString("5"));
            QCOMPARE(d->findChild<QLabel *>("lblSummary")->text(),
                QString("2 contacts will be added. 1 contact already stored will be skipped. "
                        "1 row can not be taken:"));
            auto *problems = d->findChild<QListWidget *>("lstProblems");
            QVERIFY(problems);
            QCOMPARE(problems->count(), 1);
            QCOMPARE(problems->item(0)->text(), QString("Line 4: it has no name."));
            QVERIFY(!d->findChild<QLabel *>("lblEncoding"));
            QCOMPARE(contactCount(), before); // nothing written before Import
            previewed = true;
            click(d, "cmdImport");
        });
        msgs->expect();
        main->importContacts();
        QVERIFY(previewed);
        QCOMPARE(contactCount(), before + 2);
        QCOMPARE(msgs->shown.size(), 1);
        QCOMPARE(msgs->last().text,
            QString(
                "2 contacts were added.\n1 contact already stored was skipped.\n1 row could not be taken."));
        QCOMPARE(msgs->last().icon, Icon::Information);
        QCOMPARE(files->requests.first().title, QString("Import Contacts"));
    }

    // Each heading of the preview says what its column fills; the parts of
    // a name fill it only where the file's own name column is empty.
    void previewHeadingsSayWhatEachColumnFills_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("name in parts only")
            << QByteArray("First Name,Last Name")
            << QStringList({ "First Name\n\u2192 Name (first part)", "Last Name\n\u2192 Name (last part)" });
        QTest::newRow("name and its parts")
            << QByteArray("First Name,Name,Middle Name,Last Name")
            << QStringList({ "First Name\n\u2192 Name (first part, where Name is empty)", "Name\n\u2192 Name",
                   "Middle Name\n\u2192 Name (middle part, where Name is empty)",
                   "Last Name\n\u2192 Name (last part, where Name is empty)" });
        QTest::newRow("a column not taken") << QByteArray(
            "Name,Birthday") << QStringList({ "Name\n\u2192 Name", "Birthday\n(not imported)" });
    }
    void previewHeadingsSayWhatEachColumnFills()
    {
        QFETCH(QByteArray, header);
        QFETCH(QStringList, expected);
        QByteArray row = "Ann";
        for (int c = 1; c < expected.size(); ++c)
            row += ",x";
        files->answers << write(header + "\n" + row + "\n");
        QStringList shown;
        whenShown("dlgImportContacts", [&](QDialog *d) {
            shown = headings(d->findChild<QTableWidget *>("grdPreview"));
            click(d, "cmdCancel");
        });
        main->importContacts();
        QCOMPARE(shown, expected);
    }

    // The contacts panel and its count follow the import at once, whichever
    // view the main window shows and wherever its contacts stand.
    void importShowsInTheContactsPanel_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<bool>("onLastContact");
        QTest::newRow("contacts panel shown") << "mnuContacts" << false;
        QTest::newRow("on the last contact") << "mnuContacts" << true;
        QTest::newRow("schedule shown") << "mnuSchedule" << false;
    }
    void importShowsInTheContactsPanel()
    {
        QFETCH(QString, view);
        QFETCH(bool, onLastContact);
        test::addContact("Stored Person", "555-0199");
        main->findChild<QAction *>(view)->trigger();
        if (onLastContact)
            QVERIFY(main->hub().datContacts().MoveLast());
        auto *count = main->findChild<QLabel *>("lblContactcount");
        auto *names = main->findChild<QListWidget *>("lstContacts");
        QVERIFY(count && names);
        const int before = contactCount();
        QCOMPARE(count->text(), QString("%1 Contacts are Saved").arg(before));
        QVERIFY(names->findItems("Ann Lee", Qt::MatchExactly).isEmpty());

        files->answers << write("Name,Mobile Phone\nAnn Lee,555-0101\nBob Ray,555-0102\n");
        whenShown("dlgImportContacts", [&](QDialog *d) { click(d, "cmdImport"); });
        msgs->expect();
        main->importContacts();
        QCOMPARE(msgs->last().text, QString("2 contacts were added."));

        // No activation of the main window in between: the panel is read again.
        QCOMPARE(test::recordCount(main->hub().datContacts()), before + 2);
        QCOMPARE(count->text(), QString("%1 Contacts are Saved").arg(before + 2));
        QCOMPARE(names->count(), before + 2);
        QCOMPARE(names->findItems("Ann Lee", Qt::MatchExactly).size(), 1);
        QCOMPARE(names->findItems("Bob Ray", Qt::MatchExactly).size(), 1);
        // Choosing a new name shows that contact.
        names->setCurrentItem(names->findItems("Bob Ray", Qt::MatchExactly).first());
        QCOMPARE(main->hub().datContacts().value("Mobile Phone Number").toString(), QString("555-0102"));
    }

    void importCancelledWritesNothing_data()
    {
        QTest::addColumn<bool>("atFileDialog");
        QTest::newRow("file dialog") << true;
        QTest::newRow("preview") << false;
    }
    void importCancelledWritesNothing()
    {
        QFETCH(bool, atFileDialog);
        const int before = contactCount();
        if (!atFileDialog)
            files->answers << write("Name\nAnn\n");
        bool previewed = false;
        whenShown("dlgImportContacts", [&](QDialog *d) {
            previewed = true;
            click(d, "cmdCancel");
        });
        main->importContacts();
        QCOMPARE(previewed, !atFileDialog);
        QCOMPARE(contactCount(), before);
        QVERIFY(msgs->shown.isEmpty());
    }

    // Cancel in the progress window, while the file is read or while the
    // contacts are added, stops the import without a word and writes nothing.
    void importStoppedFromItsProgress_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::newRow("while reading") << "Reading";
        QTest::newRow("while adding") << "Adding";
    }
    void importStoppedFromItsProgress()
    {
        QFETCH(QString, stop);
        test::ScriptedProgress progress;
        progress.stop = stop;
        QByteArray file("Name,Mobile Phone\r\n");
        for (int i = 0; i < 1000; ++i)
            file += "Client " + QByteArray::number(i) + ",555-" + QByteArray::number(i) + "\r\n";
        files->answers << write(file);
        const int before = contactCount();
        bool previewed = false;
        whenShown("dlgImportContacts", [&](QDialog *d) {
            previewed = true;
            click(d, "cmdImport");
        });
        main->importContacts();
        QCOMPARE(previewed, stop == "Adding");
        QCOMPARE(progress.labels.last(),
            stop == "Adding" ? QString("Adding the contacts...") : QString("Reading the contacts..."));
        QCOMPARE(contactCount(), before);
        QCOMPARE(msgs->shown.size(), 0);
    }

    void importRefusedFileWarns()
    {
        files->answers << write(QByteArray("PK\x03\x04\0\0\0\0binary", 14));
        msgs->expect();
        main->importContacts();
        QCOMPARE(msgs->shown.size(), 1);
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY2(msgs->last().text.contains("is not a text file"), qPrintable(msgs->last().text));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void importOfNothingNewCanOnlyBeCancelled()
    {
        test::addContact("Zoë Ängström", "");
        files->answers << write("Name\nZo\xEB \xC4ngstr\xF6m\n");
        bool previewed = false;
        whenShown("dlgImportContacts", [&](QDialog *d) {
            previewed = true;
            QVERIFY(!d->findChild<QPushButton *>("cmdImport")->isEnabled());
            QVERIFY(d->findChild<QLabel *>("lblEncoding"));
            QCOMPARE(d->findChild<QLabel *>("lblSummary")->text(),
                QString("0 contacts will be added. 1 contact already stored will be skipped."));
            click(d, "cmdCancel");
        });
        main->importContacts();
        QVERIFY(previewed);
    }

    void exportCsvOfChosenTable()
    {
        QVERIFY(test::execBehind("DELETE FROM Booking"));
        QVERIFY(test::execBehind("INSERT INTO Booking (Name) VALUES ('Ann'), ('Bob'), ('Cy')"));
        const QString target = dir->filePath("trips");
        files->answers << target;
        whenShown("dlgExportCsv", [&](QDialog *d) {
            auto *tables = d->findChild<QListWidget *>("lstTables");
            QStringList captions;
            for (int i = 0; i < tables->count(); ++i)
                captions << tables->item(i)->text();
            QCOMPARE(captions,
                QStringList({ "Contacts", "Bookings", "Reminders", "Fishing Log", "Fishing Patterns",
                    "Rods and Reels", "Boats and Motors", "Equipment" }));
            tables->setCurrentRow(1);
            click(d, "cmdExport");
        });
        msgs->expect();
        main->exportCsv();
        QCOMPARE(files->requests.size(), 1);
        QCOMPARE(files->requests.first().proposedName, QString("Bookings.csv"));
        csv::Document doc;
        QVERIFY(csv::read(target + ".csv", doc));
        QCOMPARE(doc.header.first(), QString("Date"));
        QCOMPARE(doc.records.size(), 3);
        QCOMPARE(msgs->last().text,
            QString("3 records of Bookings were written to %1.").arg(csv::shownFileName(target + ".csv")));
    }

    void exportCalendarTellsCounts()
    {
        QVERIFY(test::execBehind("DELETE FROM Booking"));
        QVERIFY(test::execBehind("DELETE FROM Reminder"));
        QVERIFY(test::execBehind("INSERT INTO Booking (Date, Name) VALUES ('2025-06-01', 'Ann')"));
        QVERIFY(test::execBehind(
            "INSERT INTO Reminder (Date, Reminder) VALUES ('2025-06-02', 'Oil'), ('2025-06-03', 'Gas')"));
        const QString target = dir->filePath("trips.ics");
        files->answers << target;
        msgs->expect();
        main->exportCalendar();
        QVERIFY(QFile::exists(target));
        QCOMPARE(msgs->last().text,
            QString("1 trip and 2 reminders were written to %1.").arg(csv::shownFileName(target)));
    }

    // A name typed without its extension gets one; a file of that name is
    // replaced only when the guide says so (the file dialog asked about the
    // name without it).
    void exportDoesNotReplaceUnasked_data()
    {
        QTest::addColumn<bool>("calendar");
        QTest::addColumn<bool>("replace");
        QTest::newRow("csv, kept") << false << false;
        QTest::newRow("csv, replaced") << false << true;
        QTest::newRow("calendar, kept") << true << false;
        QTest::newRow("calendar, replaced") << true << true;
    }
    void exportDoesNotReplaceUnasked()
    {
        QFETCH(bool, calendar);
        QFETCH(bool, replace);
        const QString typed = dir->filePath("season");
        const QString target = typed + (calendar ? ".ics" : ".csv");
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("kept");
        }
        files->answers << typed;
        msgs->expect(replace ? platform::Answer::Yes : platform::Answer::No);
        if (replace)
            msgs->expect(); // what was written
        if (calendar) {
            main->exportCalendar();
        } else {
            whenShown("dlgExportCsv", [&](QDialog *d) { click(d, "cmdExport"); });
            main->exportCsv();
        }
        QCOMPARE(msgs->shown.first().text,
            QString("The file %1 already exists.\nDo you want to replace it?")
                .arg(csv::shownFileName(target)));
        QCOMPARE(msgs->shown.size(), replace ? 2 : 1);
        QFile written(target);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll() == "kept", !replace);
    }

    void exportToUnwritableTargetWarns()
    {
        const QString target = dir->filePath("no/such/folder/trips.ics");
        files->answers << target;
        msgs->expect();
        main->exportCalendar();
        QCOMPARE(msgs->last().icon, Icon::Exclamation);
        QVERIFY2(
            msgs->last().text.startsWith("The file " + csv::shownFileName(target) + " can not be written"),
            qPrintable(msgs->last().text));
        QVERIFY(!QFile::exists(target));
    }

    // With BM_EXCHANGE_SHOTS=folder, pictures of the import preview and the
    // export's choice of table, to look at.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("BM_EXCHANGE_SHOTS");
        if (folder.isEmpty())
            QSKIP("set BM_EXCHANGE_SHOTS to a folder for pictures of the dialogs");
        test::addContact("Stored Person", "555-0199");
        files->answers << write("First Name,Last Name,Name,E-mail Address,Mobile Phone,Home Phone,Business "
                                "Phone,Home Street,Home City,Home State,Postal Code,Notes,Birthday\r\n"
                                "Ann,Lee,Ann Lee,ann@example.org,555-0101,,,\"12 Shore Rd, Apt 3\","
                                "Lakeview,MN,55901,\"Likes walleye\nand early starts\",1970-01-01\r\n"
                                "Bob,Ray,Bob Ray,bob@example.org,,555-0102,555-0900,1 Main St,Pine,WI,"
                                "54001,,\r\n"
                                ",,Stored Person,,,555 0199,,,,,,,\r\n"
                                ",,,nobody@example.org,,,,,,,,,\r\n"
                                "Cy,Dahl,Cy Dahl,,555-0103,,,,Duluth,MN,55802,Boat owner,\r\n");
        whenShown("dlgImportContacts", [&](QDialog *d) {
            QVERIFY(d->grab().save(folder + "/import-preview.png"));
            click(d, "cmdCancel");
        });
        main->importContacts();
        files->answers << write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                                "TEL;type=CELL:555-0101\r\nADR;type=HOME:;;12 Shore Rd;Lakeview;MN;55901;\r\n"
                                "EMAIL:ann@example.org\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
                                "N:Ray;Bob\r\nTEL;WORK:555-0900\r\nEND:VCARD\r\n");
        whenShown("dlgImportContacts", [&](QDialog *d) {
            QVERIFY(d->grab().save(folder + "/import-vcard-preview.png"));
            click(d, "cmdCancel");
        });
        main->importContacts();
        whenShown("dlgExportCsv", [&](QDialog *d) {
            QVERIFY(d->grab().save(folder + "/export-choice.png"));
            click(d, "cmdCancel");
        });
        main->exportCsv();
    }
};

BM_TEST_MAIN(TestExchangeDialogs)
#include "test_exchangedialogs.moc"
