#include "behind.h"
#include "checks.h"
#include "doubles.h"
#include "records.h"
#include "testenv.h"

#include "bookings/frmbooking.h"
#include "bookings/frmrequests.h"
#include "platform/windows.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <ctime>
#include <memory>

using namespace bm;
using platform::Answer;

namespace
{

struct Asked {
    QString name;
    QString date; // as stored
    QString start;
    QString status;
    QString made; // of its Page Requests record; empty: made at the desk
    QString notes;
};

// Lays a booking in behind the windows' backs, with its page record when
// it was made on the page; its key.
qint64 layIn(const Asked &a)
{
    const QString first = a.name.section(QLatin1Char(' '), 0, 0);
    if (!test::execBehind(
            QStringLiteral("INSERT INTO Booking (Name, Date, \"Start Time\", Type, \"Party Size\", "
                           "Email, \"Cell Phone\", Telephone, Status, Notes) "
                           "VALUES (?, ?, ?, 'Full Day', '2', ?, ?, ?, ?, ?)"),
            { a.name, a.date, a.start, first.toLower() + QStringLiteral("@example.com"),
                first == QLatin1String("Bob") ? QString() : QStringLiteral("cell ") + first,
                QStringLiteral("home ") + first, a.status,
                a.notes.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(a.notes) }))
        return 0;
    const qint64 id
        = test::rowsBehind(QStringLiteral("SELECT MAX(ID) FROM Booking")).value(0).value(0).toLongLong();
    if (!a.made.isEmpty())
        test::execBehind(
            QStringLiteral("INSERT INTO \"Page Requests\" (Booking, Link, Made) VALUES (?, ?, ?)"),
            { QString::number(id), QString(64, QLatin1Char('a')), a.made });
    return id;
}

QStringList rowsOf(const QTableWidget *grid)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << grid->item(r, c)->text();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QString storedOf(qint64 booking, const QString &sql)
{
    const QVariant v = test::rowsBehind(sql.arg(booking)).value(0).value(0);
    return v.isNull() ? QStringLiteral("(none)") : v.toString();
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listsTheWaitingRequests();
    void answering_data();
    void answering();
    void arrivingRequestIsListed();
    void answeredElsewhereIsNotAnsweredAgain();
    void doubleClickOpensTheBooking();

private:
    FrmRequests *open();
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QString countLine() const { return m_window->findChild<QLabel *>(QStringLiteral("lblCount"))->text(); }

    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_boxes;
    std::unique_ptr<test::ScriptedInput> m_input;
    QPointer<FrmRequests> m_window;
    qint64 m_ann = 0, m_bob = 0, m_cy = 0;
};

void TestRequests::initTestCase()
{
    // Requests are made in UTC and shown in the guide's own time.
    qputenv("TZ", "America/Chicago");
    tzset();
}

void TestRequests::init()
{
    m_hub.reset();
    test::resetDatabase();
    QVERIFY(test::execBehind(QStringLiteral("DELETE FROM Booking")));
    m_ann = layIn({ "Ann Early", "2027-06-03", "13:00", "Requested", "2027-05-01T14:30:00Z", {} });
    m_bob = layIn({ "Bob Dawn", "2027-06-03", "06:30", "Requested", "2027-05-02T03:05:00Z", {} });
    m_cy = layIn({ "Cy Late", "2027-06-10", "", "Requested", {}, "Bring lunch" });
    layIn({ "Dee Done", "2027-06-01", "06:00", "Confirmed", {}, {} });
    layIn({ "Eve Off", "2027-06-02", "06:00", "Cancelled", "2027-05-03T10:00:00Z", {} });
    layIn({ "Flo Before", "2027-06-02", "06:00", "", {}, {} });
    QVERIFY(m_ann && m_bob && m_cy);
    m_hub = std::make_unique<test::FakeHub>();
    m_boxes = std::make_unique<test::ScriptedMessages>();
    m_input = std::make_unique<test::ScriptedInput>();
}

void TestRequests::cleanup()
{
    // The hub's stand-in main window is its own: the windows of the test go
    // first, the hub last.
    if (auto *entry = platform::findWindow<FrmBooking>())
        entry->close();
    delete m_window.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_boxes.reset();
    m_input.reset();
    m_hub.reset();
}

FrmRequests *TestRequests::open()
{
    m_window = platform::showWindow<FrmRequests>();
    if (!QTest::qWaitForWindowExposed(m_window))
        qWarning("the requests did not show");
    return m_window;
}

// The requests alone, the earliest trip first (by day, then by hour),
// asked times in the guide's own time; a request made at the desk has none.
void TestRequests::listsTheWaitingRequests()
{
    open();
    const auto at
        = [](int hour, int minute) { return QLocale().toString(QTime(hour, minute), QLocale::ShortFormat); };
    QCOMPARE(rowsOf(m_window->grid()),
        QStringList({ "6/3/2027|06:30|Full Day|Bob Dawn|2|bob@example.com|home Bob|5/1/2027 " + at(22, 5),
            "6/3/2027|13:00|Full Day|Ann Early|2|ann@example.com|cell Ann|5/1/2027 " + at(9, 30),
            "6/10/2027||Full Day|Cy Late|2|cy@example.com|cell Cy|" }));
    QCOMPARE(countLine(), QStringLiteral("3 requests are waiting."));
    QVERIFY(button("cmdAccept")->isEnabled());
    if (const QString folder = qEnvironmentVariable("BM_SHOTS"); !folder.isEmpty())
        m_window->grab().save(folder + "/requests.png");

    QVERIFY(test::execBehind(QStringLiteral("UPDATE Booking SET Status = 'Confirmed'")));
    m_window->reread();
    QCOMPARE(m_window->grid()->rowCount(), 0);
    QCOMPARE(countLine(), QStringLiteral("No requests are waiting."));
    QVERIFY(!button("cmdAccept")->isEnabled());
    QVERIFY(!button("cmdDecline")->isEnabled());
}

void TestRequests::answering_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QVariant>("reason"); // typed; null: the box cancelled
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("pageReason");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<bool>("refused"); // a box says why nothing happened
    QTest::newRow("accepted") << "Ann Early"
                              << "cmdAccept" << QVariant() << "Confirmed"
                              << "(none)"
                              << "(none)" << false;
    QTest::newRow("declined on the page")
        << "Ann Early"
        << "cmdDecline" << QVariant(QStringLiteral(" Fully booked that week ")) << "Cancelled"
        << "Fully booked that week"
        << "(none)" << false;
    QTest::newRow("declined at the desk, after the notes")
        << "Cy Late"
        << "cmdDecline" << QVariant(QStringLiteral("Boat in repair")) << "Cancelled"
        << "(none)"
        << "Bring lunch\nDeclined: Boat in repair" << false;
    QTest::newRow("decline given up") << "Ann Early"
                                      << "cmdDecline" << QVariant() << "Requested"
                                      << "(none)"
                                      << "(none)" << false;
    QTest::newRow("declined without a reason")
        << "Cy Late"
        << "cmdDecline" << QVariant(QStringLiteral("  ")) << "Requested"
        << "(none)"
        << "Bring lunch" << true;
}

// The answer goes to the booking (and to the page's record of the
// request); the main window stays on its booking.
void TestRequests::answering()
{
    QFETCH(QString, client);
    QFETCH(QString, command);
    QFETCH(QVariant, reason);
    QFETCH(QString, status);
    QFETCH(QString, pageReason);
    QFETCH(QString, notes);
    QFETCH(bool, refused);
    const qint64 booking = client == QLatin1String("Cy Late") ? m_cy : m_ann;
    BM_VERIFY(m_hub->bookings->MoveLast());
    const Bookmark place = m_hub->bookings->bookmark();
    open();
    const int row = client == QLatin1String("Cy Late") ? 2 : 1;
    m_window->grid()->selectRow(row);
    if (command == "cmdDecline")
        m_input->answers << (reason.isNull() ? std::nullopt : std::optional<QString>(reason.toString()));
    if (refused)
        m_boxes->expect();
    button(qPrintable(command))->click();
    if (command == "cmdDecline")
        QVERIFY2(m_input->requests.value(0).question.contains(client),
            qPrintable(m_input->requests.value(0).question));
    QCOMPARE(storedOf(booking, QStringLiteral("SELECT Status FROM Booking WHERE ID = %1")), status);
    QCOMPARE(storedOf(booking, QStringLiteral("SELECT Reason FROM \"Page Requests\" WHERE Booking = '%1'")),
        pageReason);
    QCOMPARE(storedOf(booking, QStringLiteral("SELECT Notes FROM Booking WHERE ID = %1")), notes);
    // Answered, the request leaves the list at once; the other two stay.
    const bool answered = status != QLatin1String("Requested");
    QCOMPARE(m_window->listed().size(), answered ? 2 : 3);
    for (const requests::Request &r : m_window->listed())
        QVERIFY(!answered || r.client != client);
    QCOMPARE(m_hub->bookings->bookmark(), place);
}

// A request made on the page while the list is open shows at once, in its
// place; the guide's choice stays on the request he chose.
void TestRequests::arrivingRequestIsListed()
{
    open();
    m_window->grid()->selectRow(1); // Ann
    QVERIFY(test::addBooking({ { "Name", "Gus New" }, { "Date", QDate(2027, 5, 20) },
                                 { "Start Time", "07:00" }, { "Status", "Requested" } })
                .isValid());
    QCOMPARE(m_window->listed().size(), 4);
    QCOMPARE(m_window->listed().constFirst().client, QStringLiteral("Gus New"));
    QCOMPARE(countLine(), QStringLiteral("4 requests are waiting."));
    QCOMPARE(m_window->grid()->currentRow(), 2);
    QCOMPARE(m_window->listed().value(2).client, QStringLiteral("Ann Early"));
}

// A request answered at another desk (or withdrawn by the client) after the
// list was read is not answered over again.
void TestRequests::answeredElsewhereIsNotAnsweredAgain()
{
    open();
    m_window->grid()->selectRow(0); // Bob
    QVERIFY(
        test::execBehind(QStringLiteral("UPDATE Booking SET Status = 'Cancelled' WHERE ID = ?"), { m_bob }));
    m_boxes->expect();
    button("cmdAccept")->click();
    QVERIFY2(
        m_boxes->last().text.contains(QStringLiteral("no longer waiting")), qPrintable(m_boxes->last().text));
    QCOMPARE(storedOf(m_bob, QStringLiteral("SELECT Status FROM Booking WHERE ID = %1")),
        QStringLiteral("Cancelled"));
    QCOMPARE(m_window->listed().size(), 2);
}

void TestRequests::doubleClickOpensTheBooking()
{
    open();
    QTableWidget *grid = m_window->grid();
    const QPoint at = grid->visualItemRect(grid->item(2, 3)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    auto *entry = platform::findWindow<FrmBooking>();
    QVERIFY(entry);
    QCOMPARE(entry->windowTitle(), QStringLiteral("Editing this Booking"));
    QCOMPARE(entry->booking().bookmark(), Bookmark { m_cy });
    QCOMPARE(entry->findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), QStringLiteral("Cy Late"));
}

BM_TEST_MAIN(TestRequests)
#include "test_requests.moc"
