// A sender of its own for the outbox's tests, as another desk would run
// one: rounds on the database until nothing is left to take.
//   outbox_child LOCATION PORT NAME [STOP_AFTER]
// With STOP_AFTER n it kills itself right after the mail server took its
// n-th message, before that is written.
#include "db/database.h"
#include "mail/sender.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString location = QString::fromLocal8Bit(argv[1]);
    if (!bm::db::check(location))
        return 3;
    bm::mail::SmtpSettings smtp;
    smtp.host = QStringLiteral("127.0.0.1");
    smtp.port = QString::fromLatin1(argv[2]).toInt();
    smtp.security = bm::mail::Security::None;
    bm::mail::Sender sender(location, QString::fromLocal8Bit(argv[3]), smtp,
        { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") });
    const int stopAfter = argc > 4 ? QString::fromLatin1(argv[4]).toInt() : 0;
    int sent = 0;
    sender.setAfterSend([&](const bm::db::outbox::Message &) {
        if (++sent == stopAfter)
            std::raise(SIGKILL);
    });
    for (;;) {
        bm::mail::Round r;
        if (bm::Status s = sender.round(QDateTime::currentDateTimeUtc(), r, 5); !s) {
            std::fprintf(stderr, "%s\n", qPrintable(s.message()));
            return 1;
        }
        if (r.sent + r.putOff + r.failed + r.givenUp + r.lost == 0)
            return 0;
    }
}
