#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "records.h"
#include "testenv.h"

#include "bookings/bookingwindows.h"
#include "bookings/frmbooking.h"
#include "bookings/frmparty.h"
#include "platform/windows.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace bm;
using bm::platform::Answer;

namespace
{

// Each angler of a trip as "name/role/licence", in the party's order.
bool closed(const QWidget *window)
{
    return !window || !window->isVisible();
}

QStringList partyOf(Bookmark booking)
{
    QStringList party;
    const QList<QVariantList> rows = test::rowsBehind(
        QStringLiteral("SELECT Angler, Role, \"License No\" FROM Party WHERE Booking = '%1' ORDER BY ID")
            .arg(booking.id));
    for (const QVariantList &r : rows)
        party << QStringLiteral("%1/%2/%3").arg(r[0].toString(), r[1].toString(), r[2].toString());
    return party;
}

QString partySizeOf(Bookmark booking)
{
    return test::rowsBehind(
        QStringLiteral("SELECT \"Party Size\" FROM Booking WHERE ID = %1").arg(booking.id))
        .value(0)
        .value(0)
        .toString();
}

void addAngler(Bookmark booking, const QString &name, const QString &role)
{
    QVERIFY(test::execBehind(QStringLiteral("INSERT INTO Party (Booking, Angler, Role) VALUES (?, ?, ?)"),
        { QString::number(booking.id), name, role }));
}

} // namespace

class TestParty : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void partyEnteredThroughTheWindow();
    void nothingWritten_data();
    void nothingWritten();
    void deletingAnAngler_data();
    void deletingAnAngler();
    void renamedAnglerKeepsHisCatch();

private:
    FrmParty *openFromTheEntry(Bookmark booking);
    void type(int row, const QStringList &cells);

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    Bookmark m_pat;
    Bookmark m_other;
    QPointer<FrmBooking> m_entry;
    QPointer<FrmParty> m_party;
};

void TestParty::init()
{
    m_hub.reset();
    test::resetDatabase();
    m_pat = test::addBooking(
        { { "Name", "Pat Client" }, { "Date", QDate(2026, 7, 1) }, { "Party Size", "2" } });
    m_other = test::addBooking(
        { { "Name", "Other Client" }, { "Date", QDate(2026, 7, 2) }, { "Party Size", "5" } });
    QVERIFY(m_pat.isValid() && m_other.isValid());
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
}

void TestParty::cleanup()
{
    delete m_party.data();
    delete m_entry.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_messages.reset();
    m_hub.reset();
}

FrmParty *TestParty::openFromTheEntry(Bookmark booking)
{
    m_entry = openEditBooking(booking);
    if (!m_entry)
        return nullptr;
    QPushButton *party = m_entry->findChild<QPushButton *>(QStringLiteral("cmdParty"));
    if (!party || !party->isEnabled())
        return nullptr;
    party->click();
    m_party = platform::findWindow<FrmParty>();
    return m_party;
}

// Types a row's cells, from the angler's name on.
void TestParty::type(int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        m_party->grid()->item(row, c)->setText(cells[c]);
}

// The client is aboard from the start; crew and a comped angler are added,
// and the booking entry, open all along, shows and keeps the new size along
// with what was typed into it before.
void TestParty::partyEnteredThroughTheWindow()
{
    FrmParty *w = openFromTheEntry(m_pat);
    QVERIFY(w);
    QCOMPARE(w->grid()->rowCount(), 1);
    QCOMPARE(w->grid()->item(0, 0)->text(), QStringLiteral("Pat Client"));
    QCOMPARE(w->grid()->item(0, 2)->text(), QStringLiteral("Client"));
    m_entry->findChild<QLineEdit *>(QStringLiteral("Text9"))->setText(QStringLiteral("Cabin 4"));

    auto *add = w->findChild<QPushButton *>(QStringLiteral("cmdAdd"));
    add->click();
    QCOMPARE(w->grid()->item(1, 2)->text(), QStringLiteral("Client")); // until another is chosen
    type(1, { "Cy Crew", "", "Crew" });
    add->click();
    type(2, { "Cam Comp", "WA-123", "Comped", "Kim Comp", "555-0199" });
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        w->grab().save(folder + QStringLiteral("/party.png"));
    w->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    QVERIFY(closed(m_party));
    QCOMPARE(
        partyOf(m_pat), QStringList({ "Pat Client/Client/", "Cy Crew/Crew/", "Cam Comp/Comped/WA-123" }));
    QCOMPARE(partySizeOf(m_pat), QStringLiteral("3"));
    QCOMPARE(partySizeOf(m_other), QStringLiteral("5"));
    QCOMPARE(m_entry->findChild<QLineEdit *>(QStringLiteral("txtPartySize"))->text(), QStringLiteral("3"));
    QCOMPARE(m_entry->findChild<QLineEdit *>(QStringLiteral("Text9"))->text(), QStringLiteral("Cabin 4"));

    // The booking saves without a word, with both.
    m_entry->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QVERIFY(closed(m_entry));
    const QList<QVariantList> saved = test::rowsBehind(
        QStringLiteral("SELECT Lodging, \"Party Size\" FROM Booking WHERE ID = %1").arg(m_pat.id));
    QCOMPARE(saved.value(0), (QVariantList { QStringLiteral("Cabin 4"), QStringLiteral("3") }));
}

void TestParty::nothingWritten_data()
{
    QTest::addColumn<QStringList>("added"); // the cells of a second row
    QTest::addColumn<QString>("how"); // cancel, close (answering No) or save
    QTest::addColumn<QString>("message");
    const QStringList crew { "Cy Crew", "", "Crew" };
    QTest::newRow("cancel") << crew << "cancel" << QString();
    QTest::newRow("closed, not saved") << crew << "close"
                                       << "Do you want to save the changes to the party of Pat Client?";
    QTest::newRow("no name") << QStringList { "", "WA-9" } << "save"
                             << "Please enter the name of angler 2.";
    QTest::newRow("a name twice") << QStringList { "pat client" } << "save"
                                  << "pat client is listed twice. Please tell the two apart, e.g. by a "
                                     "middle initial.";
}

void TestParty::nothingWritten()
{
    QFETCH(QStringList, added);
    QFETCH(QString, how);
    QFETCH(QString, message);
    FrmParty *w = openFromTheEntry(m_pat);
    QVERIFY(w);
    w->findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
    type(1, added);
    w->grid()->setCurrentCell(0, 0);
    if (!message.isEmpty())
        m_messages->expect(how == QLatin1String("close") ? Answer::No : Answer::Ok);
    if (how == QLatin1String("close"))
        w->close();
    else
        w->findChild<QPushButton *>(
             how == QLatin1String("save") ? QStringLiteral("cmdSave") : QStringLiteral("cmdCancel"))
            ->click();
    if (!message.isEmpty())
        QCOMPARE(m_messages->last().text, message);
    // A refused party stays to be mended, on the angler refused.
    QCOMPARE(closed(m_party), how != QLatin1String("save"));
    if (how == QLatin1String("save"))
        QCOMPARE(w->grid()->currentRow(), 1);
    QCOMPARE(partyOf(m_pat), QStringList());
    QCOMPARE(partySizeOf(m_pat), QStringLiteral("2"));
}

void TestParty::deletingAnAngler_data()
{
    QTest::addColumn<QStringList>("party"); // kept before, as name/role
    QTest::addColumn<int>("deleted");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("size");
    QTest::newRow("one of three") << QStringList { "Pat Client/Client", "Cy Crew/Crew", "Cam Comp/Comped" }
                                  << 1 << QStringList { "Pat Client/Client/", "Cam Comp/Comped/" } << "2";
    // Nobody aboard is no party: the size written stays.
    QTest::newRow("the client of a trip without a party") << QStringList() << 0 << QStringList() << "2";
    QTest::newRow("the last one aboard") << QStringList { "Cy Crew/Crew" } << 0 << QStringList() << "2";
}

void TestParty::deletingAnAngler()
{
    QFETCH(QStringList, party);
    QFETCH(int, deleted);
    QFETCH(QStringList, left);
    QFETCH(QString, size);
    for (const QString &a : std::as_const(party))
        addAngler(m_pat, a.section(QLatin1Char('/'), 0, 0), a.section(QLatin1Char('/'), 1, 1));
    FrmParty *w = openFromTheEntry(m_pat);
    QVERIFY(w);
    QCOMPARE(w->grid()->rowCount(), qMax(1, int(party.size())));
    w->grid()->setCurrentCell(deleted, 0);
    w->findChild<QPushButton *>(QStringLiteral("cmdDelete"))->click();
    w->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    QVERIFY(closed(m_party));
    QCOMPARE(partyOf(m_pat), left);
    QCOMPARE(partySizeOf(m_pat), size);
    QCOMPARE(partySizeOf(m_other), QStringLiteral("5"));
}

// The catch names its angler: a new name goes to his catch of the trip,
// not to another trip's angler of the old name.
void TestParty::renamedAnglerKeepsHisCatch()
{
    addAngler(m_pat, QStringLiteral("Cy Crew"), QStringLiteral("Crew"));
    addAngler(m_other, QStringLiteral("Cy Crew"), QStringLiteral("Crew"));
    for (const Bookmark b : { m_pat, m_other })
        QVERIFY(test::execBehind(QStringLiteral("INSERT INTO Catch (Booking, Angler, Species) VALUES (?, "
                                                "'Cy Crew', 'Walleye')"),
            { QString::number(b.id) }));
    FrmParty *w = openFromTheEntry(m_pat);
    QVERIFY(w);
    type(0, { "Cy Crewe" });
    w->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    QVERIFY(closed(m_party));
    const QList<QVariantList> catches
        = test::rowsBehind(QStringLiteral("SELECT Booking, Angler FROM Catch ORDER BY ID"));
    QCOMPARE(catches.value(0).value(1).toString(), QStringLiteral("Cy Crewe"));
    QCOMPARE(catches.value(1).value(1).toString(), QStringLiteral("Cy Crew"));
}

BM_TEST_MAIN(TestParty)
#include "test_party.moc"
