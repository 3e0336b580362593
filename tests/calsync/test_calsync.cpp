#include "behind.h"
#include "calsync/busy.h"
#include "calsync/courier.h"
#include "calsync/discovery.h"
#include "calsync/sync.h"
#include "checks.h"
#include "core/apppaths.h"
#include "db/query.h"
#include "exchange/icsexport.h"
#include "radicaleserver.h"
#include "records.h"
#include "testenv.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <httplib.h>
#include <libical/ical.h>

#include <csignal>
#include <thread>

using namespace bm;
using namespace bm::calsync;

namespace
{

struct Seen {
    QString summary;
    QDate start, end;
    bool operator==(const Seen &) const = default;
};

// The calendar's events as the server gives them back (REPORT, read with
// libical), by UID; a UID seen twice is kept under "twice:" to be caught.
QMap<QString, Seen> serverEvents(const test::RadicaleServer &server)
{
    const Reply r = request(server.account(), "REPORT", server.calendarUrl(), { { "Depth", "1" } },
        "<c:calendar-query xmlns:d=\"DAV:\" "
        "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop><c:calendar-data/>"
        "</d:prop><c:filter><c:comp-filter name=\"VCALENDAR\"/></c:filter></c:calendar-query>");
    QMap<QString, Seen> out;
    if (r.code != 207) {
        qWarning("REPORT answered %d", r.code);
        return out;
    }
    QXmlStreamReader x(r.body);
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement || x.name() != QLatin1String("calendar-data"))
            continue;
        const QByteArray text = x.readElementText().toUtf8();
        icalcomponent *cal = icalparser_parse_string(text.constData());
        if (!cal)
            continue;
        for (icalcomponent *e = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
            const icaltimetype s = icalcomponent_get_dtstart(e), f = icalcomponent_get_dtend(e);
            const QString uid = QString::fromUtf8(icalcomponent_get_uid(e));
            out.insert(out.contains(uid) ? "twice:" + uid : uid,
                { QString::fromUtf8(icalcomponent_get_summary(e)), QDate(s.year, s.month, s.day),
                    QDate(f.year, f.month, f.day) });
        }
        icalcomponent_free(cal);
    }
    return out;
}

// What the calendar should hold: every dated booking not cancelled (of the
// guide, when one is chosen), and the reminders when chosen, read from the
// database on its own.
QMap<QString, Seen> expectedEvents(bool reminders, const QString &guide = {})
{
    QMap<QString, Seen> out;
    const QString id = ics::databaseIdentity(databasePath());
    for (const QVariantList &b :
        test::rowsBehind("SELECT ID, Name, Date, Days, Status, Guide FROM Booking WHERE Date IS NOT NULL")) {
        if (b[4].toString() == "Cancelled" || (!guide.isEmpty() && b[5].toString() != guide))
            continue;
        const QDate day = b[2].toDate();
        out.insert(ics::eventUid("booking", b[0].toLongLong(), id),
            { b[1].toString(), day, day.addDays(std::max(1, b[3].toInt())) });
    }
    for (const QVariantList &r :
        test::rowsBehind("SELECT ID, Reminder, Date FROM Reminder WHERE Date IS NOT NULL"))
        if (reminders)
            out.insert(ics::eventUid("reminder", r[0].toLongLong(), id),
                { r[1].toString(), r[2].toDate(), r[2].toDate().addDays(1) });
    return out;
}

// The summaries as names alone: a booking's title is "Name – Lake".
QMap<QString, Seen> byName(QMap<QString, Seen> events)
{
    for (Seen &s : events)
        s.summary = s.summary.section(QString::fromUtf8(" \xE2\x80\x93 "), 0, 0);
    return events;
}

Outcome round(const test::RadicaleServer &server, const Target &target, QList<Change> *planned = nullptr)
{
    Journal journal;
    QList<Change> changes;
    if (Status s = journal.open(target.journalPath, target.calendarUrl); !s)
        return Outcome { 0, 0, 0, 0, 0, s, {} };
    if (Status s = plan(target, journal, changes); !s)
        return Outcome { 0, 0, 0, 0, 0, s, {} };
    if (planned)
        *planned = changes;
    return carryOut(server.account(), target, journal, changes);
}

void edit(const QString &sql, const QVariantList &binds)
{
    QVERIFY(db::write(databasePath(), "Booking", sql, binds));
}

qint64 bookingKey(const QString &name)
{
    const auto rows = test::rowsBehind(QString("SELECT ID FROM Booking WHERE Name = '%1'").arg(name));
    return rows.isEmpty() ? -1 : rows[0][0].toLongLong();
}

} // namespace

class TestCalsync : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::RadicaleServer> server;
    std::unique_ptr<QTemporaryDir> dir;
    Target target;

    void fresh(bool tls = false)
    {
        if (!test::RadicaleServer::available())
            QSKIP("Radicale is not installed");
        test::resetDatabase();
        QVERIFY(test::execBehind("DELETE FROM Booking") && test::execBehind("DELETE FROM Reminder"));
        dir = std::make_unique<QTemporaryDir>();
        server = std::make_unique<test::RadicaleServer>();
        QVERIFY(server->start(tls));
        target = Target { databasePath(), server->calendarUrl(), false, {}, dir->filePath("journal") };
    }
    void layIn()
    {
        test::addBooking({ { "Name", "Ann Lee" }, { "Lake", "Tallow" }, { "Date", QDate(2027, 5, 3) },
            { "Days", "2" }, { "Guide", "Sam" } });
        test::addBooking({ { "Name", "Bob Hart" }, { "Date", QDate(2027, 5, 10) }, { "Guide", "Kim" } });
        test::addBooking({ { "Name", "No Date" } });
        test::addRecord("Reminder", { { "Date", QDate(2027, 5, 5) }, { "Reminder", "Buy bait" } });
    }

private slots:
    void cleanup()
    {
        server.reset();
        dir.reset();
    }

    // Each change to the trips reaches the calendar with one request, and
    // the calendar then holds exactly the trips.
    void serverFollowsBookings_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("remindersBefore");
        QTest::addColumn<bool>("remindersAfter");
        QTest::addColumn<QString>("guide");
        QTest::addColumn<int>("requests");
        QTest::newRow("created") << "create" << false << false << "" << 1;
        QTest::newRow("text changed") << "rename" << false << false << "" << 1;
        QTest::newRow("moved") << "move" << false << false << "" << 1;
        QTest::newRow("longer trip") << "days" << false << false << "" << 1;
        QTest::newRow("cancelled") << "cancel" << false << false << "" << 1;
        QTest::newRow("deleted") << "delete" << false << false << "" << 1;
        QTest::newRow("reminders on") << "" << false << true << "" << 1;
        QTest::newRow("reminders off") << "" << true << false << "" << 1;
        QTest::newRow("one guide's, then all") << "" << false << false << "Sam" << 1;
        QTest::newRow("nothing changed") << "" << true << true << "" << 0;
    }
    void serverFollowsBookings()
    {
        QFETCH(QString, change);
        QFETCH(bool, remindersBefore);
        QFETCH(bool, remindersAfter);
        QFETCH(QString, guide);
        QFETCH(int, requests);
        fresh();
        layIn();
        target.reminders = remindersBefore;
        target.guide = guide;
        Outcome first = round(*server, target);
        BM_VERIFY(first.status);
        QCOMPARE(byName(serverEvents(*server)), expectedEvents(remindersBefore, guide));
        QCOMPARE(first.requests, int(expectedEvents(remindersBefore, guide).size()));

        const qint64 ann = bookingKey("Ann Lee");
        if (change == "create")
            test::addBooking({ { "Name", "Cy Moss" }, { "Date", QDate(2027, 6, 1) } });
        else if (change == "rename")
            edit("UPDATE Booking SET Name = 'Ann Lee-Hart' WHERE ID = ?", { ann });
        else if (change == "move")
            edit("UPDATE Booking SET Date = '2027-07-04' WHERE ID = ?", { ann });
        else if (change == "days")
            edit("UPDATE Booking SET Days = '5' WHERE ID = ?", { ann });
        else if (change == "cancel")
            edit("UPDATE Booking SET Status = 'Cancelled' WHERE ID = ?", { ann });
        else if (change == "delete")
            edit("DELETE FROM Booking WHERE ID = ?", { ann });
        target.reminders = remindersAfter;
        target.guide.clear(); // a guide's filter lifted: the other guide's trip joins
        const Outcome second = round(*server, target);
        BM_VERIFY(second.status);
        QCOMPARE(second.requests, requests);
        QCOMPARE(byName(serverEvents(*server)), expectedEvents(remindersAfter));
    }

    // An event changed in the calendar is written over by the trip, once,
    // counted and told.
    void changedInCalendarWrittenOver()
    {
        fresh();
        layIn();
        BM_VERIFY(round(*server, target).status);
        const QString uid
            = ics::eventUid("booking", bookingKey("Ann Lee"), ics::databaseIdentity(databasePath()));
        const QString url = target.calendarUrl + resourceName(uid);
        const QByteArray phone
            = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid.toUtf8()
            + "\r\nDTSTAMP:20270101T000000Z\r\nDTSTART;VALUE=DATE:20270503\r\nSUMMARY:Moved on the phone\r\n"
              "END:VEVENT\r\nEND:VCALENDAR\r\n";
        const int code
            = request(server->account(), "PUT", url, { { "Content-Type", "text/calendar" } }, phone).code;
        QVERIFY2(code == 201 || code == 204, qPrintable(QString::number(code)));
        edit("UPDATE Booking SET Lake = 'Norfork' WHERE Name = 'Ann Lee'", {});
        const Outcome o = round(*server, target);
        BM_VERIFY(o.status);
        QCOMPARE(o.overwritten, 1);
        QCOMPARE(o.log.size(), 1);
        QVERIFY2(o.log[0].contains("had been changed in the calendar"), qPrintable(o.log[0]));
        QCOMPARE(serverEvents(*server).value(uid).summary, QString::fromUtf8("Ann Lee \xE2\x80\x93 Norfork"));
    }

    // A server out of reach ends the round; the changes wait and go once.
    void serverDownThenBack()
    {
        fresh();
        layIn();
        BM_VERIFY(round(*server, target).status);
        server->stop();
        edit("UPDATE Booking SET Name = 'Ann Moss' WHERE Name = 'Ann Lee'", {});
        test::addBooking({ { "Name", "Cy Moss" }, { "Date", QDate(2027, 6, 1) } });
        const Outcome down = round(*server, target);
        QVERIFY(!down.status);
        QVERIFY2(down.status.message().contains("could not be reached"), qPrintable(down.status.message()));
        QCOMPARE(down.left, 2);
        QVERIFY(server->start());
        const Outcome back = round(*server, target);
        BM_VERIFY(back.status);
        QCOMPARE(back.requests, 2);
        QCOMPARE(round(*server, target).requests, 0);
        QCOMPARE(byName(serverEvents(*server)), expectedEvents(false));
    }

    // A sync killed in the middle leaves a journal the next round finishes
    // from: the calendar then holds every trip once.
    void killedMidwayThenFinished()
    {
        fresh();
        for (int i = 0; i < 300; ++i)
            test::addBooking(
                { { "Name", QString("Client %1").arg(i) }, { "Date", QDate(2027, 1, 1).addDays(i) } });
        QProcess child;
        child.start(CALSYNC_CHILD, { databasePath(), target.calendarUrl, target.journalPath });
        QVERIFY(child.waitForStarted());
        const bool midway = QTest::qWaitFor(
            [&] {
                QFile j(target.journalPath);
                return j.open(QIODevice::ReadOnly) && j.readAll().count('\n') > 60;
            },
            120000);
        QVERIFY(midway);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QList<Change> planned;
        const Outcome o = round(*server, target, &planned);
        BM_VERIFY(o.status);
        QVERIFY2(planned.size() <= 300 - 60, qPrintable(QString::number(planned.size())));
        QCOMPARE(byName(serverEvents(*server)), expectedEvents(false));
    }

    // Each refusal ends in its own plain words, said once in the window's line.
    void refusalsInPlainWords_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("words");
        QTest::newRow("password over plain http") << "plain"
                                                  << "not sent without encryption";
        QTest::newRow("wrong password") << "password"
                                        << "refused the user name or password";
        QTest::newRow("calendar deleted") << "deleted"
                                          << "no longer on the server";
        QTest::newRow("own certificate, not trusted") << "tls"
                                                      << "certificate could not be verified";
        QTest::newRow("own certificate, trusted") << "tls trusted"
                                                  << "Up to date: 2 sent, 0 deleted.";
        QTest::newRow("event refused") << "refuse"
                                       << "The server refused the event: 507 Insufficient Storage";
    }
    void refusalsInPlainWords()
    {
        QFETCH(QString, setting);
        QFETCH(QString, words);
        fresh(setting.startsWith("tls"));
        layIn();
        Settings settings { server->account(), target, {}, true };
        httplib::Server refusing;
        std::thread serving;
        if (setting == "password")
            settings.account.password = "wrong";
        if (setting == "deleted")
            QCOMPARE(request(server->account(), "DELETE", target.calendarUrl).code, 200);
        if (setting == "tls")
            settings.account.caFile.clear();
        if (setting == "plain") {
            settings.account.server = "http://192.0.2.1/";
            settings.target.calendarUrl = "http://192.0.2.1/guide/trips/";
        }
        if (setting == "refuse") {
            refusing.Put(".*", [](const httplib::Request &, httplib::Response &res) {
                res.status = 507;
                res.set_content("full", "text/plain");
            });
            const int port = refusing.bind_to_any_port("127.0.0.1");
            serving = std::thread([&] { refusing.listen_after_bind(); });
            settings.account.server = QString("http://127.0.0.1:%1/").arg(port);
            settings.target.calendarUrl = settings.account.server + "guide/trips/";
        }
        Courier courier(
            [&](Settings &s) {
                s = settings;
                return Status::ok();
            },
            [](const QDate &, const QDate &, const QList<BusyTime> &) { return Status::ok(); });
        QSignalSpy ended(&courier, &Courier::roundEnded);
        courier.syncNow();
        QVERIFY(ended.wait(60000));
        const Round r = ended[0][0].value<Round>();
        QVERIFY2(r.state.contains(words), qPrintable(r.state));
        QCOMPARE(r.state.count(words), 1);
        QCOMPARE(r.ok, setting == "tls trusted");
        if (serving.joinable()) {
            refusing.stop();
            serving.join();
            QCOMPARE(r.outcome.requests, 2);
            QCOMPARE(round(*server, settings.target).requests, 0); // not tried again every round
        }
    }

    // From the server's top, or through its well-known address when the
    // address given shows no principal.
    void discoveryFindsCalendar_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("the server's top") << "";
        QTest::newRow("well-known address") << "nothing/here/";
    }
    void discoveryFindsCalendar()
    {
        QFETCH(QString, path);
        fresh();
        Account account = server->account();
        account.server += path;
        QList<Calendar> found;
        BM_VERIFY(findCalendars(account, found));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].name, "Guided trips");
        QCOMPARE(found[0].url, target.calendarUrl);
        QVERIFY(found[0].events);
    }

    // The guide's own busy time read from the server: what makes him busy,
    // in local time, recurrences expanded.
    void busyFromServer()
    {
        fresh();
        auto put = [&](const QString &name, const QByteArray &lines) {
            const QByteArray text
                = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:" + name.toUtf8()
                + "\r\nDTSTAMP:20270101T000000Z\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
            QCOMPARE(request(server->account(), "PUT", target.calendarUrl + name + ".ics",
                         { { "Content-Type", "text/calendar" } }, text)
                         .code,
                201);
        };
        put("dentist", "DTSTART:20270310T140000\r\nDTEND:20270310T150000\r\nSUMMARY:Dentist\r\n");
        put("fair", "DTSTART;VALUE=DATE:20270312\r\nDTEND;VALUE=DATE:20270313\r\nSUMMARY:Boat fair\r\n");
        put("club",
            "DTSTART:20270301T190000\r\nDTEND:20270301T200000\r\nRRULE:FREQ=WEEKLY\r\nSUMMARY:Club\r\n");
        put("note",
            "DTSTART:20270311T090000\r\nDTEND:20270311T100000\r\nTRANSP:TRANSPARENT\r\nSUMMARY:Note\r\n");
        put("off", "DTSTART:20270311T110000\r\nDTEND:20270311T120000\r\nSTATUS:CANCELLED\r\nSUMMARY:Off\r\n");
        QList<BusyTime> busy;
        BM_VERIFY(
            readBusy(server->account(), target.calendarUrl, QDate(2027, 3, 8), QDate(2027, 3, 14), busy));
        std::sort(
            busy.begin(), busy.end(), [](const BusyTime &a, const BusyTime &b) { return a.start < b.start; });
        auto at = [](int day, int h) { return QDateTime(QDate(2027, 3, day), QTime(h, 0)); };
        const QList<BusyTime> expected { { at(8, 19), at(8, 20), "Club" },
            { at(10, 14), at(10, 15), "Dentist" }, { at(12, 0), at(13, 0), "Boat fair" } };
        QCOMPARE(busy, expected);
    }

    // The reading of calendar text: zones, days, bounds.
    void parseBusyRows_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("summary");
        const QByteArray york
            = "BEGIN:VTIMEZONE\r\nTZID:Eastern\r\nBEGIN:STANDARD\r\nDTSTART:19701101T020000\r\n"
              "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
              "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\n"
              "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
              "END:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
        const QByteArray event = "BEGIN:VEVENT\r\nUID:x\r\nDTSTAMP:20270101T000000Z\r\n";
        const QDateTime utc14 = QDateTime(QDate(2027, 6, 2), QTime(14, 0), Qt::UTC).toLocalTime();
        QTest::newRow("UTC") << event + "DTSTART:20270602T140000Z\r\nDTEND:20270602T150000Z\r\nSUMMARY:A\r\n"
                             << utc14 << utc14.addSecs(3600) << 1 << "A";
        QTest::newRow("zone of the calendar") << york + event
                + "DTSTART;TZID=Eastern:20270602T100000\r\nDTEND;TZID=Eastern:20270602T110000\r\nSUMMARY:"
                  "B\r\n" << utc14 << utc14.addSecs(3600)
                                              << 1 << "B";
        QTest::newRow("floating is local")
            << event + "DTSTART:20270602T100000\r\nDURATION:PT2H\r\nSUMMARY:C\r\n"
            << QDateTime(QDate(2027, 6, 2), QTime(10, 0)) << QDateTime(QDate(2027, 6, 2), QTime(12, 0)) << 1
            << "C";
        QTest::newRow("two whole days, each")
            << event + "DTSTART;VALUE=DATE:20270603\r\nDTEND;VALUE=DATE:20270605\r\nSUMMARY:D\r\n"
            << QDateTime(QDate(2027, 6, 3), QTime(0, 0)) << QDateTime(QDate(2027, 6, 4), QTime(0, 0)) << 2
            << "D";
        QTest::newRow("outside the days") << event + "DTSTART:20270801T100000Z\r\nDTEND:20270801T110000Z\r\n"
                                          << QDateTime() << QDateTime() << 0 << "";
        QTest::newRow("summary bounded, controls gone")
            << event + "DTSTART:20270602T100000\r\nSUMMARY:" + QByteArray(300, 'x') + "\\n\x01y\r\n"
            << QDateTime(QDate(2027, 6, 2), QTime(10, 0)) << QDateTime(QDate(2027, 6, 2), QTime(10, 0)) << 1
            << QString(200, 'x');
        QTest::newRow("line breaks and controls")
            << event + "DTSTART:20270602T100000\r\nSUMMARY:a\\nb\x7f\tc\r\n"
            << QDateTime(QDate(2027, 6, 2), QTime(10, 0)) << QDateTime(QDate(2027, 6, 2), QTime(10, 0)) << 1
            << "a b c";
        QTest::newRow("daily rule, held to the days") << event
                + "DTSTART:20270101T080000\r\nDTEND:20270101T090000\r\nRRULE:FREQ=DAILY\r\nEXDATE:"
                  "20270601T080000\r\nSUMMARY:E\r\n" << QDateTime(QDate(2027, 6, 2), QTime(8, 0))
                                                      << QDateTime(QDate(2027, 6, 2), QTime(9, 0)) << 3
                                                      << "E";
        QTest::newRow("every second, capped")
            << event + "DTSTART:20270601T000000\r\nRRULE:FREQ=SECONDLY\r\nSUMMARY:F\r\n"
            << QDateTime(QDate(2027, 6, 1), QTime(0, 0)) << QDateTime(QDate(2027, 6, 1), QTime(0, 0))
            << maxOccurrences << "F";
    }
    void parseBusyRows()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(int, count);
        QFETCH(QString, summary);
        QList<BusyTime> busy;
        BM_VERIFY(parseBusy("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n",
            QDate(2027, 6, 1), QDate(2027, 6, 4), busy));
        QCOMPARE(busy.size(), count);
        if (count > 0) {
            QCOMPARE(busy[0].start, start);
            QCOMPARE(busy[0].end, end);
            QCOMPARE(busy[0].summary, summary);
        }
        QList<BusyTime> none;
        QVERIFY(!parseBusy("not a calendar", QDate(2027, 6, 1), QDate(2027, 6, 4), none));
    }

    // The courier's rounds: at once, and soon after a trip changes.
    void courierSendsChanges()
    {
        fresh();
        layIn();
        const Settings settings { server->account(), target, { target.calendarUrl }, true };
        QList<BusyTime> stored;
        Courier courier(
            [&](Settings &s) {
                s = settings;
                return Status::ok();
            },
            [&](const QDate &, const QDate &, const QList<BusyTime> &busy) {
                stored = busy;
                return Status::ok();
            });
        QSignalSpy ended(&courier, &Courier::roundEnded);
        courier.start(60 * 60 * 1000);
        QVERIFY(ended.wait(60000));
        QCOMPARE(ended[0][0].value<Round>().state, "Up to date: 2 sent, 0 deleted.");
        QCOMPARE(stored.size(), 3); // the trips themselves: Ann's two days, Bob's one
        QCOMPARE(ended[0][0].value<Round>().busyRead, 3);
        edit("UPDATE Booking SET Name = 'Ann Moss' WHERE Name = 'Ann Lee'", {});
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended[1][0].value<Round>().outcome.sent, 1);
        QCOMPARE(byName(serverEvents(*server)), expectedEvents(false));
    }
};

BM_TEST_MAIN(TestCalsync)
#include "test_calsync.moc"
