#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QProcess>
#include <QSqlQuery>

using namespace bm;

class TestDurability : public QObject
{
    Q_OBJECT
private slots:
    // A process killed in the middle of a burst of saves leaves an intact
    // database that holds every save that returned.
    void killedDuringSaves()
    {
        for (int round = 0; round < 3; ++round) {
            test::resetDatabase();
            db::closeAll();
            QProcess child;
            child.start(QStringLiteral(DURABILITY_CHILD), { databasePath() });
            QVERIFY(child.waitForStarted());
            QByteArray out;
            while (out.count('\n') < 40 + round * 30 && child.state() == QProcess::Running) {
                child.waitForReadyRead(2000);
                out += child.readAllStandardOutput();
            }
            child.kill(); // SIGKILL, in the middle of the next save
            child.waitForFinished();
            out += child.readAllStandardOutput();

            QList<qint64> saved;
            for (const QByteArray &line : out.split('\n'))
                if (!line.isEmpty())
                    saved << line.toLongLong();
            QVERIFY(saved.size() >= 40);

            QSqlDatabase db = db::connection(databasePath());
            QSqlQuery q(db);
            QVERIFY(q.exec("PRAGMA integrity_check"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QString("ok"));
            for (qint64 id : saved) {
                q.prepare("SELECT Name, \"Total Charge\" FROM Booking WHERE ID = ?");
                q.addBindValue(id);
                QVERIFY(q.exec());
                QVERIFY2(q.next(), qPrintable(QString("save %1 was lost").arg(id)));
                QCOMPARE(q.value(1).toLongLong(), 2500000LL);
            }
            QVERIFY(QSqlQuery(db).exec("SELECT COUNT(*) FROM Booking"));
        }
    }
};

BM_TEST_MAIN(TestDurability)
#include "test_durability.moc"
