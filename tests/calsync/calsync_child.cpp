// A desk's sync round in a process of its own, for the test that kills one
// in the middle of it:
//   calsync_child LOCATION CALENDAR_URL JOURNAL
// logs in as the tests' Radicale user and sends every trip.
#include "calsync/sync.h"
#include "db/database.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    bm::calsync::Target target;
    target.location = QString::fromLocal8Bit(argv[1]);
    target.calendarUrl = QString::fromLocal8Bit(argv[2]);
    target.journalPath = QString::fromLocal8Bit(argv[3]);
    if (!bm::db::check(target.location))
        return 3;
    bm::calsync::Account account;
    account.server = QUrl(target.calendarUrl).resolved(QUrl(QStringLiteral("/"))).toString();
    account.user = QStringLiteral("guide");
    account.password = QStringLiteral("secret");
    bm::calsync::Journal journal;
    QList<bm::calsync::Change> changes;
    if (bm::Status s = journal.open(target.journalPath, target.calendarUrl); !s)
        return 4;
    if (bm::Status s = bm::calsync::plan(target, journal, changes); !s)
        return 5;
    const bm::calsync::Outcome o = bm::calsync::carryOut(account, target, journal, changes);
    if (!o.status) {
        std::fprintf(stderr, "%s\n", qPrintable(o.status.message()));
        return 1;
    }
    return 0;
}
