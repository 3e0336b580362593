#include "main/calendarcourier.h"

#include "calsync/config.h"
#include "core/apppaths.h"
#include "core/log.h"
#include "domain/busytimes.h"
#include "platform/keyring.h"

#include <memory>

namespace bm
{

std::unique_ptr<calsync::Courier> startCalendarCourier(QObject *parent)
{
    // The guide whose busy time the round reads, as its settings said.
    const auto guide = std::make_shared<QString>();
    const auto settings = [guide](calsync::Settings &out) {
        out = calsync::Settings();
        calsync::Config c;
        if (Status read = calsync::readConfig(c); !read)
            return read;
        if (!calsync::isSetUp(c))
            return Status::ok();
        if (Status usable = calsync::check(c); !usable)
            return usable;
        QString password;
        bool found = false;
        if (const QString key = calsync::keyringKey(c); !key.isEmpty())
            if (Status kept = platform::readSecret(key, password, found); !kept)
                return kept;
        out.account.server = c.server;
        out.account.user = c.user;
        out.account.password = password;
        out.target.location = databasePath();
        out.target.calendarUrl = c.calendarUrl;
        out.target.reminders = c.reminders;
        out.target.guide = c.guide;
        *guide = c.guide;
        out.target.journalPath = calsync::journalPath(c, out.target.location);
        out.busyAddresses = c.busyAddresses;
        if (!c.subscription.isEmpty())
            out.busyAddresses << c.subscription;
        out.setUp = true;
        return Status::ok();
    };
    const auto store = [guide](const QDate &from, const QDate &to, const QList<calsync::BusyTime> &times) {
        QList<busytimes::Busy> busy;
        busy.reserve(times.size());
        for (const calsync::BusyTime &t : times)
            busy.append({ t.start, t.end, t.summary });
        return busytimes::replace(*guide, from, to, busy);
    };
    auto courier = std::make_unique<calsync::Courier>(settings, store, parent);
    QObject::connect(
        courier.get(), &calsync::Courier::roundEnded, courier.get(), [](const calsync::Round &r) {
            calsync::writeLastRound({ r.when, r.ok, r.state });
            calsync::appendToLog(r.when, r.outcome.log + QStringList { r.state });
            if (!r.ok)
                qCWarning(dataLog).noquote() << "The calendar sync:" << r.state;
        });
    calsync::setProgramCourier(courier.get());
    courier->start();
    return courier;
}

} // namespace bm
