// Runs one operation on the database files and kills itself, as kill -9
// would, before the step with the given number. Prints the number of steps
// when it gets to the end.
#include "db/dbfiles.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace
{
class KillAt : public bm::dbfiles::Observer
{
public:
    explicit KillAt(int step)
        : m_step(step)
    {
    }
    bool proceed(bm::dbfiles::Step) override
    {
        if (m_count++ == m_step)
            std::raise(SIGKILL);
        return true;
    }
    int count() const { return m_count; }

private:
    int m_step;
    int m_count = 0;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const QString op = QString::fromLocal8Bit(argv[1]);
    const QString database = QString::fromLocal8Bit(argv[2]);
    const QString folder = QString::fromLocal8Bit(argv[3]);
    KillAt observer(QString::fromLocal8Bit(argv[4]).toInt());
    bm::Status done;
    if (op == QLatin1String("backup"))
        done = bm::dbfiles::backup(database, folder, &observer);
    else if (op == QLatin1String("restore"))
        done = bm::dbfiles::restore(folder, database, &observer);
    else
        done = bm::dbfiles::repair(database, &observer);
    std::printf("%d steps: %s\n", observer.count(), qPrintable(done.message()));
    return done ? 0 : 1;
}
