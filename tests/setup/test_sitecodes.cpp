#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "setup/frmsetup.h"
#include "testenv.h"

#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace bm;

namespace
{

QStringList storedCodes()
{
    QStringList codes;
    for (const QVariantList &r : test::rowsBehind(R"(SELECT Code, Name FROM "Site Codes" ORDER BY ID)"))
        codes << r[0].toString() + '/' + r[1].toString();
    return codes;
}

} // namespace

class TestSiteCodes : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void import_data();
    void import();
    void editingACodeAndItsName();
    void licenceOfTheGuideService();

private:
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::FakeFileDialogs> m_files;
    QPointer<FrmSetup> m_window;
    QTemporaryDir m_dir;
};

void TestSiteCodes::init()
{
    test::resetDatabase();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_hub = std::make_unique<test::FakeHub>();
    m_files = std::make_unique<test::FakeFileDialogs>();
    QVERIFY(test::execBehind(R"(INSERT INTO "Site Codes" (Code, Name) VALUES ('WA-101', 'Lower Columbia'))"));
    m_window = new FrmSetup;
    m_window->show();
    m_window->findChild<QPushButton *>("cmdLogbook")->click();
}

void TestSiteCodes::cleanup()
{
    delete m_window;
    m_files.reset();
    m_hub.reset();
    m_messages.reset();
}

void TestSiteCodes::import_data()
{
    QTest::addColumn<QByteArray>("file"); // "-": no file there
    QTest::addColumn<QString>("told"); // part of the box's text
    QTest::addColumn<QStringList>("codes"); // stored afterwards
    const QString none = "0 site codes added, 0 changed.";
    const QStringList before { "WA-101/Lower Columbia" };
    QTest::newRow("header") << QByteArray("code,name\r\nWA-200,Snake River\r\n")
                            << "1 site codes added, 0 changed."
                            << before + QStringList { "WA-200/Snake River" };
    QTest::newRow("no header") << QByteArray("WA-200,Snake River\nWA-201,Grande Ronde\n")
                               << "2 site codes added, 0 changed."
                               << before + QStringList { "WA-200/Snake River", "WA-201/Grande Ronde" };
    QTest::newRow("quoted names") << QByteArray(
        "Site Code,Site Name\n\"WA-200\",\"Snake River, \"\"below\"\" the dam\"\n")
                                  << "1 site codes added"
                                  << before + QStringList { "WA-200/Snake River, \"below\" the dam" };
    QTest::newRow("updates and repeats")
        << QByteArray("code,name\nWA-101,Lower Columbia River\nWA-200,Snake\nWA-200,Snake River\n")
        << "1 site codes added, 1 changed."
        << QStringList { "WA-101/Lower Columbia River", "WA-200/Snake River" };
    QTest::newRow("unchanged") << QByteArray("WA-101, Lower Columbia \n") << none << before;
    QTest::newRow("blank lines") << QByteArray("code,name\n\n , \nWA-200,Snake\n\n")
                                 << "1 site codes added, 0 changed."
                                 << before + QStringList { "WA-200/Snake" };
    QTest::newRow("malformed lines")
        << QByteArray("code,name\nWA-200\n,No code\nWA-0123456789ABCDE,Far\nWA-201,Fine\n")
        << "1 site codes added, 0 changed.\n\nThese lines were passed over:\nLine 2: a code and a name are "
           "needed.\nLine 3: the code is blank.\nLine 4: the code is longer than 16 characters."
        << before + QStringList { "WA-201/Fine" };
    QTest::newRow("empty file") << QByteArray() << "it is empty" << before;
    QTest::newRow("binary junk") << QByteArray("PK\x03\x04\x00\x00\x08\x00\xff\xfe\x00\x01WA-9,x", 20)
                                 << "can not be imported" << before;
    QTest::newRow("no such file") << QByteArray("-") << "sites.csv" << before;
}

void TestSiteCodes::import()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, told);
    QFETCH(QStringList, codes);
    const QString path = m_dir.filePath("sites.csv");
    QFile::remove(path);
    if (file != "-") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    m_files->answers = { path };
    m_messages->expect();
    m_window->findChild<QPushButton *>("cmdImportSites")->click();
    QCOMPARE(m_files->requests.size(), 1);
    QVERIFY2(m_messages->last().text.contains(told), qPrintable(m_messages->last().text));
    const bool imported = told.contains("added");
    QCOMPARE(m_messages->last().icon, imported ? platform::Icon::Information : platform::Icon::Exclamation);
    QCOMPARE(storedCodes(), codes);
    // The editor follows the table.
    QCOMPARE(m_window->editor("k")->entry()->text(), codes.constFirst().section('/', 0, 0));
}

void TestSiteCodes::editingACodeAndItsName()
{
    ListEditor *sites = m_window->editor("k");
    QVERIFY(sites->isVisible());
    auto *name = sites->findChild<QLineEdit *>("txtSiteName");
    QCOMPARE(name->text(), QString("Lower Columbia"));
    sites->command(FormCommand::Add)->click();
    QTest::keyClicks(sites->entry(), "WA-300");
    QTest::keyClicks(name, "Yakima River");
    m_messages->expect();
    sites->command(FormCommand::Save)->click();
    QCOMPARE(m_messages->last().text, QString("Site Code saved."));
    QCOMPARE(storedCodes(), QStringList({ "WA-101/Lower Columbia", "WA-300/Yakima River" }));
    // Import is a command of the page, held while a code is edited.
    sites->command(FormCommand::Edit)->click();
    QVERIFY(!m_window->findChild<QPushButton *>("cmdImportSites")->isEnabled());
    sites->command(FormCommand::Cancel)->click();
    QVERIFY(m_window->findChild<QPushButton *>("cmdImportSites")->isEnabled());
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/sitecodes.png");
}

void TestSiteCodes::licenceOfTheGuideService()
{
    m_window->findChild<QPushButton *>("cmdInfo")->click();
    auto *licence = m_window->findChild<QLineEdit *>("txtLicense");
    auto *website = m_window->findChild<QLineEdit *>("Text7");
    QVERIFY(licence->geometry().top() > website->geometry().top());
    m_window->findChild<QPushButton *>("cmdEditg")->click();
    QTest::keyClicks(licence, "GL-2044");
    m_window->findChild<QPushButton *>("cmdSaveg")->click();
    const QList<QVariantList> rows = test::rowsBehind(R"(SELECT "License No" FROM "Guide Info")");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].toString(), QString("GL-2044"));
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/guidedetails.png");
}

BM_TEST_MAIN(TestSiteCodes)
#include "test_sitecodes.moc"
