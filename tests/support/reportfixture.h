#pragma once

// Records for the report tests, written with plain SQL into the test's
// database so that every field kind and awkward value is present. The
// statements are in SQLite's words; on the test server they are turned into
// the server's as the gateway turns the program's own.

#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/engine/serversql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QVariantList>

namespace bm::test
{

inline void exec(const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q(db::connection(databasePath()));
    if (test::onServer()) {
        db::serversql::Translated translated;
        const Status s = db::serversql::translate(sql, binds, translated);
        QVERIFY2(s, qPrintable(s.message() + QStringLiteral(" in ") + sql));
        QVERIFY2(q.exec(translated.text), qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql));
        return;
    }
    QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
    for (const QVariant &b : binds)
        q.addBindValue(b);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql));
}

// The newest record of a table.
inline qint64 lastId(const QString &table)
{
    QSqlQuery q(db::connection(databasePath()));
    q.exec(QStringLiteral("SELECT max(\"ID\") FROM \"%1\"").arg(table));
    q.next();
    return q.value(0).toLongLong();
}

inline int countOf(const QString &table)
{
    QSqlQuery q(db::connection(databasePath()));
    q.exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table));
    q.next();
    return q.value(0).toInt();
}

// Two bookings beside the delivered one; gives the ID of the 5/14/2005 one.
inline qint64 addFixtureRecords()
{
    exec(QStringLiteral("UPDATE \"Guide Info\" SET \"Guide Name\" = 'Bluegill Bay Guide Service'"));
    exec(QStringLiteral(
             "INSERT INTO Phone (\"Name\", \"Address\", \"City\", \"State\", \"Zip Code\", "
             "\"Home Telephone Number\", \"Work Telephone Number\", \"Mobile Phone Number\", \"Email\") "
             "VALUES (?, '9 Dock St', 'Branson', 'MO', '65616', '555-0101', '555-0102', '555-0103', "
             "'ann@example.com')"),
        { QStringLiteral("<b>Ann & Co</b>") });
    exec(QStringLiteral("INSERT INTO Phone (\"Name\") VALUES ('Zed Walleye')"));
    exec(QStringLiteral(
        "INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Meet At\", \"Type\", \"Total Charge\", "
        "\"Deposit Amount\", \"Balance Due\", \"Deposit Received\", \"Weather\", \"Remarks\", \"GS Qty\", "
        "\"GS Total\", \"Goods\", \"Goods Qty\", \"Goods Cost\", \"Goods Total\", \"Sub Total\", \"Tax "
        "Rate\", "
        "\"Tax\", \"Charge Total\", \"Less Deposit\") VALUES ('2005-05-14', 'Pat O''Hara', 'Bull Shoals', "
        "'Pontiac Marina', 'Half Day', 2500000, 500000, 2000000, '2005-04-02', 'Sunny & calm', "
        "'Line one\nLine two', '1', 2500000, 'Minnows <dozen>', '2', 37500, 75000, 2575000, '8%', 206000, "
        "2281000, 500000)"));
    const qint64 pat = lastId(QStringLiteral("Booking"));
    exec(QStringLiteral(
        "INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Total Charge\", \"Deposit Amount\", "
        "\"Balance Due\", \"Charge Total\") VALUES ('2004-12-31', 'Early Bird', 'Norfork', "
        "12345000, 0, 12345000, 12345000)"));
    exec(QStringLiteral("INSERT INTO Reminder (\"Date\", \"Reminder\") VALUES ('2005-05-01', 'Service the "
                        "trolling motor')"));
    exec(QStringLiteral("INSERT INTO Diary (\"Date\", \"Subject\", \"Page\") VALUES ('2005-05-15', 'Fog "
                        "morning', 'Fog until nine.\nThen a topwater bite on the flats.')"));
    exec(QStringLiteral(
        "INSERT INTO Patterns (\"Lake\", \"Month\", \"Pattern\") VALUES ('Beaver Lake', 'May', "
        "'Shad spawn on riprap at dawn')"));
    exec(QStringLiteral("INSERT INTO Rods (\"Reel Make\", \"Rod Make\", \"Rod Length\") VALUES ('Reelco', "
                        "'Rodco', '6 ft 6 in')"));
    exec(QStringLiteral("INSERT INTO Boat (\"Boat\", \"Serial\", \"Motor\") VALUES ('Skiff 16', 'SK-16-77', "
                        "'Kicker 9.9')"));
    exec(QStringLiteral("INSERT INTO Equipment (\"Item\", \"Make\", \"Price\") VALUES ('Trolling motor', "
                        "'Minnkota', '650.00')"));
    return pat;
}

// Many bookings with every field a guide fills, in one statement, their
// dates spread over some seven years.
inline void addBookings(int count)
{
    exec(QStringLiteral(
             "INSERT INTO Booking (\"Date\", \"Name\", \"Lake\", \"Meet At\", \"Type\", \"Address\", "
             "\"City\", "
             "\"State\", \"ZipCode\", \"Telephone\", \"Cell Phone\", \"Email\", \"Lodging\", \"Notes\", "
             "\"Total Charge\", \"Deposit Amount\", \"Balance Due\", \"Deposit Received\", \"Paid By\", "
             "\"Billing Notes\", \"Weather\", \"Species\", \"Lure\", \"Remarks\", \"GS Qty\", \"GS Total\", "
             "\"Goods\", \"Goods Qty\", \"Goods Cost\", \"Goods Total\", \"Sub Total\", \"Tax Rate\", "
             "\"Tax\", "
             "\"Charge Total\", \"Less Deposit\") "
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
             "SELECT %1, 'Client number ' || i, 'Table Rock "
             "Lake', "
             "'State Park Marina', 'Full Day', i || ' Lakeshore Drive', 'Branson', 'MO', '65616', "
             "'(555) 555-0111', '(555) 555-0112', 'client' || i || '@example.com', 'Lakeside Cabins', "
             "'Bring the big net.', 4000000 + i, 1000000, 3000000 + i, '2020-01-01', 'Check', "
             "'Net 30 days', 'Sunny and calm', 'Largemouth bass', 'Green pumpkin worm', "
             "'Caught a few on the points.', '1', 4000000, 'Minnows', '2', 37500, 75000, 4075000, '8%', "
             "326000, 3401000, 1000000 FROM n")
             .arg(onServer() ? QStringLiteral("CAST(CAST('2020-01-01' AS DATE) + (i % 2500) AS TEXT)")
                             : QStringLiteral("date('2020-01-01', '+' || (i % 2500) || ' days')")),
        { count });
}

} // namespace bm::test
