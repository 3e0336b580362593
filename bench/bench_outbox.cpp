// The outbox under load, on the database file:
//  - planning the day's reminders, balance notes and thanks over 100,000
//    bookings (over 400 days around today, each with an e-mail address and
//    a balance owed), the first planning of a day and a second one;
//  - 10,000 queued messages sent to the tests' mail server on this machine
//    (aiosmtpd, one connection per message as the sender makes them):
//    messages a second, and the process's peak memory.
//   cmake -S . -B build -DBM_BUILD_BENCH=ON && cmake --build build --target bench_outbox
//   ./build/bench/bench_outbox [messages]
#include "benchdata.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/outbox.h"
#include "db/query.h"
#include "mail/message.h"
#include "mail/queue.h"
#include "mail/sender.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace bm;

namespace
{

// The process's peak resident memory, in MB.
double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir own;
    bench::useDataHome(own);
    QApplication app(argc, argv);
    bench::nameApplication();
    const int messages = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 10000;
    if (!db::prepare())
        qFatal("no database");
    const QString location = databasePath();

    bench::insertBookings(100000);
    if (!db::write(location, QStringLiteral("Booking"),
            QStringLiteral(
                "UPDATE Booking SET Email = 'client' || ID || '@example.com', Status = 'Confirmed', "
                "\"Balance Due\" = 1500000, Date = date(?, (ID % 400 - 200) || ' days')"),
            { QDate::currentDate().toString(Qt::ISODate) }))
        qFatal("the bookings could not be given addresses");
    if (!db::write(location, QStringLiteral("Mail Settings"),
            QStringLiteral("INSERT INTO \"Mail Settings\" (Server, \"Sender Address\") VALUES ('127.0.0.1', "
                           "'guide@tallow-lake.com')"),
            {}))
        qFatal("mail could not be set up");
    QVariant inWindow;
    db::Query count(location);
    const QDate today = QDate::currentDate();
    (void)count.single(QStringLiteral("SELECT count(*) FROM Booking WHERE Date BETWEEN ? AND ?"),
        { today.addDays(-7).toString(Qt::ISODate), today.addDays(30).toString(Qt::ISODate) }, inWindow);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    QElapsedTimer clock;
    mail::Plan first, second;
    clock.start();
    if (!mail::plan(location, today, now, first))
        qFatal("the planning failed");
    const qint64 firstMs = clock.elapsed();
    clock.restart();
    if (!mail::plan(location, today, now, second))
        qFatal("the planning failed");
    const qint64 secondMs = clock.elapsed();
    std::printf("planning over 100,000 bookings (%lld within the month around today): first %lld ms, %d "
                "planned; again %lld ms, %d planned\n",
        inWindow.toLongLong(), firstMs, first.planned, secondMs, second.planned);

    // The planned ones go too: clear them, then queue the load.
    if (!db::write(location, QStringLiteral("Outbox"), QStringLiteral("DELETE FROM Outbox"), {}))
        qFatal("the outbox could not be emptied");
    clock.restart();
    {
        db::Transaction t(location);
        if (!t.begin())
            qFatal("no transaction");
        for (int i = 0; i < messages; ++i) {
            db::outbox::Message m;
            m.kind = QStringLiteral("Reminder");
            m.booking = QString::number(i + 1);
            m.recipient = QStringLiteral("client%1@example.com").arg(i);
            m.recipientName = QStringLiteral("Client %1").arg(i);
            m.subject = QStringLiteral("Your trip on Saturday, June 5, 2027");
            m.body = bench::words(*QRandomGenerator::global(), 120);
            m.messageId = mail::makeMessageId(QStringLiteral("guide@tallow-lake.com"));
            if (!db::outbox::queue(t, m, now))
                qFatal("a message could not be queued");
        }
        if (!t.commit())
            qFatal("the messages could not be kept");
    }
    const qint64 queueMs = clock.elapsed();

    QTemporaryDir received;
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(BM_SMTP_SERVER), QStringLiteral("--out"), received.path() });
    QByteArray said;
    while (!said.contains('\n') && server.waitForReadyRead(20000))
        said += server.readAllStandardOutput();
    if (!said.startsWith("PORT "))
        qFatal("the mail server did not start (is python3-aiosmtpd installed?)");
    mail::SmtpSettings smtp;
    smtp.host = QStringLiteral("127.0.0.1");
    smtp.port = said.mid(5).trimmed().toInt();
    smtp.security = mail::Security::None;
    mail::Sender sender(
        location, QStringLiteral("bench"), smtp, { QStringLiteral("guide@tallow-lake.com"), {} });
    int sent = 0, other = 0;
    clock.restart();
    for (;;) {
        mail::Round r;
        if (!sender.round(QDateTime::currentDateTimeUtc(), r, 100))
            qFatal("a round failed");
        sent += r.sent;
        other += r.putOff + r.failed + r.givenUp + r.lost;
        if (r.sent + r.putOff + r.failed + r.givenUp + r.lost == 0)
            break;
    }
    const qint64 sendMs = clock.elapsed();
    server.kill();
    server.waitForFinished();
    const qsizetype arrived = QDir(received.path()).entryList({ QStringLiteral("message-*.json") }).size();
    std::printf("queued %d messages in one transaction in %lld ms\n", messages, queueMs);
    std::printf("sent %d (%lld arrived, %d not sent) in %.1f s = %.0f a second; peak memory %.0f MB\n", sent,
        qlonglong(arrived), other, sendMs / 1000.0, sent * 1000.0 / std::max<qint64>(1, sendMs), peakMb());
    return 0;
}
