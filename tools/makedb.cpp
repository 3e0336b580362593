// Builds the delivered database file from the starter script.
// usage: makedb STARTER.sql OUTPUT.mdb
#include "db/delivered.h"

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makedb STARTER.sql OUTPUT.mdb\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "makedb: can not read %s\n", argv[1]);
        return 1;
    }
    if (const bm::Status s = bm::db::buildDelivered(in.readAll(), QString::fromLocal8Bit(argv[2])); !s) {
        std::fprintf(stderr, "makedb: %s\n", qPrintable(s.message()));
        return 1;
    }
    return 0;
}
