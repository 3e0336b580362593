// Saves bookings one after another and prints the key of each save that
// returned, until it is killed.
#include "db/database.h"
#include "db/recordsource.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    bm::RecordSource rs(QStringLiteral("Data1"), QStringLiteral("Booking"), nullptr, path);
    if (!rs.openStatus())
        return 1;
    for (int i = 0;; ++i) {
        if (!rs.AddNew())
            return 1;
        if (!rs.setValue(QStringLiteral("Name"), QStringLiteral("Save %1").arg(i)))
            return 1;
        if (!rs.setValue(QStringLiteral("Remarks"), QString(500, QLatin1Char('x'))))
            return 1;
        if (!rs.setValue(QStringLiteral("Total Charge"), QStringLiteral("250.00")))
            return 1;
        if (!rs.Update())
            return 1;
        std::printf("%lld\n", static_cast<long long>(rs.LastModified().id));
        std::fflush(stdout);
    }
}
