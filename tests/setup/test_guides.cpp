#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "testenv.h"

#include "setup/frmguides.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace bm;

namespace
{

// One column of a table as stored, in key order.
QStringList stored(const QString &sql)
{
    QStringList values;
    for (const QVariantList &r : test::rowsBehind(sql))
        values << r[0].toString();
    return values;
}

} // namespace

class TestGuides : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        test::deleteWindows();
        m_boxes.clear();
    }

    void addingAGuide_data();
    void addingAGuide();
    void renamingCarriesTheBookings();
    void deletingLeavesTheBookings();

private:
    test::ScriptedMessages m_boxes;
    FrmGuides *m_window = nullptr;
    template <class T> T *child(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    void click(const char *name) { child<QPushButton>(name)->click(); }
};

void TestGuides::init()
{
    test::resetDatabase();
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking")));
    QVERIFY(test::execBehind(
        QStringLiteral("INSERT INTO Guides (Name, Active) VALUES ('Jim', 'Yes'), ('Kay', 'Yes')")));
    QVERIFY(test::execBehind(
        QStringLiteral("INSERT INTO Booking (Name, Guide) VALUES ('a', 'Jim'), ('b', 'Kay'), ('c', 'Jim')")));
    m_window = new FrmGuides;
    m_window->show();
}

// New, the fields, Save: stored only with a name no other guide has, Active
// kept as "Yes" or "No" and shown again as stored.
void TestGuides::addingAGuide_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("refusal"); // part of the box's text; empty: saved
    QTest::newRow("active") << "Lou" << true << "";
    QTest::newRow("not active") << "Lou" << false << "";
    QTest::newRow("no name") << "" << true << "Please enter a Guide or click Cancel.";
    QTest::newRow("another's name") << "Kay" << true << "There is already a guide named Kay.";
}

void TestGuides::addingAGuide()
{
    QFETCH(QString, name);
    QFETCH(bool, active);
    QFETCH(QString, refusal);
    click("cmdAdd");
    QVERIFY(child<QCheckBox>("chkActive")->isChecked()); // a new guide takes bookings
    child<QLineEdit>("txtName")->setText(name);
    child<QCheckBox>("chkActive")->setChecked(active);
    if (!refusal.isEmpty())
        m_boxes.expect();
    click("cmdSave");
    QCOMPARE(m_boxes.shown.size(), refusal.isEmpty() ? 0 : 1);
    QCOMPARE(m_window->form()->isEditing(), !refusal.isEmpty());
    const QStringList saved { "Jim/Yes", "Kay/Yes", name + (active ? "/Yes" : "/No") };
    QCOMPARE(stored("SELECT Name || '/' || Active FROM Guides ORDER BY ID"),
        refusal.isEmpty() ? saved : saved.mid(0, 2));
    if (!refusal.isEmpty()) {
        QVERIFY2(m_boxes.last().text.contains(refusal), qPrintable(m_boxes.last().text));
        return;
    }
    click("cmdFirst");
    click("cmdLast");
    QCOMPARE(child<QCheckBox>("chkActive")->isChecked(), active);
    QVERIFY(!child<QCheckBox>("chkActive")->isEnabled()); // locked while browsing
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/guides.png");
}

// A new name goes to the guide's bookings; the other guide's keep theirs.
void TestGuides::renamingCarriesTheBookings()
{
    QCOMPARE(child<QLineEdit>("txtName")->text(), QStringLiteral("Jim"));
    click("cmdEdit");
    child<QLineEdit>("txtName")->setText(QStringLiteral("James"));
    child<QLineEdit>("txtEmail")->setText(QStringLiteral("james@example.com"));
    child<QLineEdit>("txtLicense")->setText(QStringLiteral("WA-G-0417"));
    click("cmdSave");
    QVERIFY(!m_window->form()->isEditing());
    QCOMPARE(stored("SELECT Name || '/' || COALESCE(Email, '') FROM Guides ORDER BY ID"),
        QStringList({ "James/james@example.com", "Kay/" }));
    QCOMPARE(stored("SELECT Guide FROM Booking ORDER BY ID"), QStringList({ "James", "Kay", "James" }));
    QCOMPARE(stored(R"(SELECT COALESCE("License No", '') FROM Guides ORDER BY ID)"),
        QStringList({ "WA-G-0417", "" }));
}

void TestGuides::deletingLeavesTheBookings()
{
    m_boxes.expect(platform::Answer::Yes);
    click("cmdDelete");
    QVERIFY2(m_boxes.last().text.contains("Jim"), qPrintable(m_boxes.last().text));
    QCOMPARE(stored("SELECT Name FROM Guides ORDER BY ID"), QStringList({ "Kay" }));
    QCOMPARE(stored("SELECT Guide FROM Booking ORDER BY ID"), QStringList({ "Jim", "Kay", "Jim" }));
}

BM_TEST_MAIN(TestGuides)
#include "test_guides.moc"
