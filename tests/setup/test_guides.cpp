#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "testenv.h"

#include "data/apppaths.h"
#include "data/query.h"
#include "setup/frmguides.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace bm;

namespace
{

// Name, Active and the guide of each booking, as stored.
QStringList roster()
{
    QStringList rows;
    for (const QVariantList &r :
        test::rowsBehind(QStringLiteral("SELECT Name, Active FROM Guides ORDER BY ID")))
        rows << r[0].toString() + QLatin1Char('/') + r[1].toString();
    return rows;
}

QStringList bookingGuides()
{
    QStringList guides;
    for (const QVariantList &r : test::rowsBehind(QStringLiteral("SELECT Guide FROM Booking ORDER BY ID")))
        guides << r[0].toString();
    return guides;
}

} // namespace

class TestGuides : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addingAGuide_data();
    void addingAGuide();
    void renamingCarriesTheBookings();
    void deletingAGuide_data();
    void deletingAGuide();

private:
    test::ScriptedMessages m_boxes;
    FrmGuides *m_window = nullptr;
    template <class T> T *child(const char *name) const
    {
        T *c = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!c)
            qWarning("no child %s", name);
        return c;
    }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    void openWindow()
    {
        m_window = new FrmGuides;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }
};

void TestGuides::init()
{
    test::resetDatabase();
    m_boxes.clear();
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking")));
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Guides")));
    for (const char *g : { "Jim", "Kay" })
        QVERIFY(test::execBehind(QStringLiteral("INSERT INTO Guides (Name, Active) VALUES (?, 'Yes')"),
            { QString::fromLatin1(g) }));
    for (const char *g : { "Jim", "Kay", "Jim" })
        QVERIFY(test::execBehind(
            QStringLiteral("INSERT INTO Booking (Name, Guide) VALUES ('x', ?)"), { QString::fromLatin1(g) }));
}

void TestGuides::cleanup()
{
    QCOMPARE(m_boxes.pending(), 0);
    test::deleteWindows();
    m_window = nullptr;
}

// New, the fields typed, Save: a guide is stored only with a name no other
// guide has; Active is kept as "Yes" or "No".
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
    openWindow();
    click("cmdAdd");
    QVERIFY(child<QCheckBox>("chkActive")->isChecked()); // a new guide takes bookings
    child<QLineEdit>("txtName")->setText(name);
    child<QLineEdit>("txtPhone")->setText(QStringLiteral("555-0101"));
    child<QCheckBox>("chkActive")->setChecked(active);
    if (!refusal.isEmpty())
        m_boxes.expect();
    click("cmdSave");
    if (!refusal.isEmpty()) {
        QVERIFY2(m_boxes.last().text.contains(refusal), qPrintable(m_boxes.last().text));
        QVERIFY(m_window->form()->isEditing());
        QCOMPARE(roster(), QStringList({ "Jim/Yes", "Kay/Yes" }));
        click("cmdUndo");
        return;
    }
    QVERIFY(!m_window->form()->isEditing());
    QCOMPARE(roster(), QStringList({ "Jim/Yes", "Kay/Yes", name + (active ? "/Yes" : "/No") }));
    QCOMPARE(child<QLabel>("lblCount")->text(), QStringLiteral("3 Guides are Saved"));
    // Shown again as stored when the form comes back to the guide.
    click("cmdFirst");
    click("cmdLast");
    QCOMPARE(child<QCheckBox>("chkActive")->isChecked(), active);
    QVERIFY(!child<QCheckBox>("chkActive")->isEnabled()); // locked while browsing
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/guides.png");
}

// A new name goes to the guide's bookings with him; the other guide's
// bookings keep theirs.
void TestGuides::renamingCarriesTheBookings()
{
    openWindow();
    QCOMPARE(child<QLineEdit>("txtName")->text(), QStringLiteral("Jim"));
    click("cmdEdit");
    child<QLineEdit>("txtName")->setText(QStringLiteral("James"));
    child<QLineEdit>("txtEmail")->setText(QStringLiteral("james@example.com"));
    click("cmdSave");
    QVERIFY(!m_window->form()->isEditing());
    QCOMPARE(roster(), QStringList({ "James/Yes", "Kay/Yes" }));
    QCOMPARE(bookingGuides(), QStringList({ "James", "Kay", "James" }));
    const QList<QVariantList> email
        = test::rowsBehind(QStringLiteral("SELECT Email FROM Guides WHERE Name = 'James'"));
    QCOMPARE(email.value(0).value(0).toString(), QStringLiteral("james@example.com"));
}

// Delete asks first; the bookings keep the name of a guide who is deleted.
void TestGuides::deletingAGuide_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestGuides::deletingAGuide()
{
    QFETCH(bool, yes);
    openWindow();
    m_boxes.expect(yes ? platform::Answer::Yes : platform::Answer::No);
    click("cmdDelete");
    QVERIFY2(m_boxes.last().text.contains("Jim"), qPrintable(m_boxes.last().text));
    QCOMPARE(roster(), yes ? QStringList { "Kay/Yes" } : QStringList({ "Jim/Yes", "Kay/Yes" }));
    QCOMPARE(bookingGuides(), QStringList({ "Jim", "Kay", "Jim" }));
}

BM_TEST_MAIN(TestGuides)
#include "test_guides.moc"
