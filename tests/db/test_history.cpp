#include "behind.h"
#include "checks.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/bin.h"
#include "db/history.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

using namespace bm;
using schema::quoted;

namespace
{

namespace Bk = field::Booking;

// Adds a record through the write path; its new ID.
qint64 add(const QString &table, const QStringList &fields, const QVariantList &values)
{
    QStringList names;
    for (const QString &f : fields)
        names << quoted(f);
    db::Written written;
    BM_CHECK(db::write(databasePath(), table,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoted(table), names.join(QStringLiteral(", ")),
                QStringList(fields.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
        values, &written));
    return written.insertId;
}

void change(const QString &table, qint64 id, const QString &field, const QVariant &value)
{
    BM_CHECK(db::write(databasePath(), table,
        QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?").arg(quoted(table), quoted(field)),
        { value, id }));
}

void remove(const QString &table, qint64 id)
{
    BM_CHECK(db::write(
        databasePath(), table, QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(quoted(table)), { id }));
}

// The history of a record, one line an event: action, field, before, after.
QStringList historyOf(const QString &table, qint64 id)
{
    QList<db::history::Event> events;
    BM_CHECK(db::history::read(databasePath(), table, id, events));
    QStringList lines;
    for (const db::history::Event &e : events)
        lines << QStringList { e.action, e.field, e.before, e.after }.join(QLatin1Char('|'));
    return lines;
}

// A record whole, as the engine stores it.
QList<QVariantList> recordOf(const QString &table, qint64 id)
{
    return test::rowsBehind(QStringLiteral("SELECT * FROM %1 WHERE ID = %2").arg(quoted(table)).arg(id));
}

QList<db::bin::Entry> binEntries()
{
    QList<db::bin::Entry> entries;
    BM_CHECK(db::bin::read(databasePath(), entries));
    return entries;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }

    void savesAreRecordedFieldByField()
    {
        const qint64 id = add(table::Phone, { field::Phone::Name }, { "Ann Lee" });
        change(table::Phone, id, field::Phone::City, "Mountain Home");
        // One save of two fields, one of them unchanged; then one that
        // changes nothing at all.
        BM_VERIFY(db::write(databasePath(), table::Phone,
            QStringLiteral("UPDATE Phone SET City = ?, Email = ?, Name = ? WHERE ID = ?"),
            { "Gassville", "ann@example.org", "Ann Lee", id }));
        change(table::Phone, id, field::Phone::City, "Gassville");
        QCOMPARE(historyOf(table::Phone, id),
            QStringList({ "changed|Email||ann@example.org", "changed|City|Mountain Home|Gassville",
                "changed|City||Mountain Home", "added|||" }));
        // Another record's events stay its own.
        QVERIFY(historyOf(table::Booking, id).isEmpty());
        QVERIFY(historyOf(table::Phone, id + 1000).isEmpty());
    }

    void amountsAndDatesAreRecordedAsStoredAndShownAsOnScreen()
    {
        const qint64 id = add(table::Booking, { Bk::Date, Bk::TotalCharge }, { "2027-05-01", 2500000 });
        change(table::Booking, id, Bk::TotalCharge, 3000000);
        change(table::Booking, id, Bk::Date, "2027-05-02");
        QCOMPARE(historyOf(table::Booking, id).mid(0, 2),
            QStringList({ "changed|Date|2027-05-01|2027-05-02", "changed|Total Charge|2500000|3000000" }));
        QCOMPARE(db::history::shown(table::Booking, Bk::TotalCharge, "3000000"), QString("300.00"));
        QCOMPARE(db::history::shown(table::Booking, Bk::Date, "2027-05-02"), QString("5/2/2027"));
        QCOMPARE(db::history::shown(table::Booking, Bk::Date, "soon"), QString("soon"));
    }

    void aDeletedBookingComesBackWhole()
    {
        const qint64 id = add(table::Booking,
            { Bk::Date, Bk::Name, Bk::Weather, Bk::Remarks, Bk::TotalCharge, Bk::DepositAmount, Bk::GSTotal,
                Bk::Tax, Bk::LessDeposit, Bk::Picture, Bk::Status },
            { "2027-06-12", "Ann Lee", "Overcast", "Two bass \"on a jig\"\n\tC:\\lures\\ \x01 Zoë", 2500000,
                500000, 123456, 0, -500000, "/home/ann/pictures/trip.jpg", "Confirmed" });
        add(table::Outbox, { field::Outbox::Kind, field::Outbox::Booking, field::Outbox::Subject },
            { "Reminder", QString::number(id), "Your trip" });
        const QList<QVariantList> before = recordOf(table::Booking, id);
        QCOMPARE(before.size(), 1);

        remove(table::Booking, id);
        QVERIFY(recordOf(table::Booking, id).isEmpty());
        const QList<db::bin::Entry> entries = binEntries();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].kind, QString(table::Booking));
        QCOMPARE(entries[0].record, id);
        QCOMPARE(entries[0].summary, QString("2027-06-12 Ann Lee"));
        QCOMPARE(entries[0].row.value(Bk::GSTotal).toLongLong(), 123456);
        QVERIFY(qAbs(entries[0].deleted.secsTo(QDateTime::currentDateTimeUtc())) < 120);
        QCOMPARE(historyOf(table::Booking, id).first(), QString("deleted|||"));

        db::bin::Restored restored;
        BM_VERIFY(db::bin::restore(databasePath(), entries[0].id, restored));
        QCOMPARE(restored.outcome, db::bin::Outcome::SameId);
        QCOMPARE(restored.record, id);
        QCOMPARE(recordOf(table::Booking, id), before);
        QVERIFY(binEntries().isEmpty());
        QCOMPARE(test::rowsBehind(QStringLiteral("SELECT CAST(b.ID AS TEXT) FROM Outbox o JOIN Booking b "
                                                 "ON o.Booking = CAST(b.ID AS TEXT)")),
            QList<QVariantList>({ { QString::number(id) } }));
        // Brought back once: a second try finds it gone and changes nothing.
        BM_VERIFY(db::bin::restore(databasePath(), entries[0].id, restored));
        QCOMPARE(restored.outcome, db::bin::Outcome::Gone);
        QCOMPARE(test::rowsBehind(QStringLiteral("SELECT count(*) FROM Booking WHERE Name = 'Ann Lee'"))
                     .value(0)
                     .value(0)
                     .toInt(),
            1);
    }

    void aContactWhoseIdWasTakenComesBackAsANewRecord()
    {
        const qint64 id
            = add(table::Phone, { field::Phone::Name, field::Phone::Email }, { "Bo Reed", "bo@x.org" });
        remove(table::Phone, id);
        // A tool wrote another contact under the same ID meanwhile.
        add(table::Phone, { schema::keyColumn, field::Phone::Name }, { id, "Cy Young" });
        const QList<db::bin::Entry> entries = binEntries();
        QCOMPARE(entries.size(), 1);
        db::bin::Restored restored;
        BM_VERIFY(db::bin::restore(databasePath(), entries[0].id, restored));
        QCOMPARE(restored.outcome, db::bin::Outcome::NewId);
        QVERIFY(restored.record != id);
        QCOMPARE(test::rowsBehind(
                     QStringLiteral("SELECT Name, Email FROM Phone WHERE ID = %1").arg(restored.record)),
            QList<QVariantList>({ { "Bo Reed", "bo@x.org" } }));
        QCOMPARE(test::rowsBehind(QStringLiteral("SELECT Name FROM Phone WHERE ID = %1").arg(id)),
            QList<QVariantList>({ { "Cy Young" } }));
        QVERIFY(binEntries().isEmpty());
    }

    void entriesPastTheirDaysAreNotKept()
    {
        const qint64 old = add(table::Phone, { field::Phone::Name }, { "Old Timer" });
        const qint64 recent = add(table::Phone, { field::Phone::Name }, { "New Comer" });
        remove(table::Phone, old);
        const QString longAgo = QDateTime::currentDateTimeUtc()
                                    .addDays(-schema::binDays - 1)
                                    .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        QVERIFY(test::execBehind(QStringLiteral("UPDATE \"Bin\" SET \"Deleted\" = ?"), { longAgo }));
        // Left out of the list at once, and not to be restored.
        const QList<db::bin::Entry> none = binEntries();
        QVERIFY(none.isEmpty());
        const qint64 oldEntry
            = test::rowsBehind(QStringLiteral("SELECT ID FROM \"Bin\"")).value(0).value(0).toLongLong();
        db::bin::Restored restored;
        BM_VERIFY(db::bin::restore(databasePath(), oldEntry, restored));
        QCOMPARE(restored.outcome, db::bin::Outcome::Gone);
        // The next deletion takes it out of the database.
        remove(table::Phone, recent);
        QCOMPARE(test::rowsBehind(QStringLiteral("SELECT \"Summary\" FROM \"Bin\"")),
            QList<QVariantList>({ { "New Comer" } }));
    }
};

BM_TEST_MAIN(TestHistory)
#include "test_history.moc"
