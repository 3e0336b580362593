#include "mail/queue.h"

#include "db/outbox.h"
#include "db/query.h"
#include "mail/message.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QMap>
#include <QSet>

namespace bm::mail
{

using schema::quoted;

namespace B = field::Booking;
namespace O = field::Outbox;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

// The first of the record's field that is a plausible address.
Status firstAddress(const QString &location, const char *table, const char *field, QString &out)
{
    out.clear();
    db::Query r(location);
    if (Status s = r.run(QStringLiteral("SELECT %2 FROM %1 ORDER BY %3 LIMIT 1")
                             .arg(quoted(table), quoted(field), keyName));
        !s)
        return s;
    if (r.next()) {
        const QString a = r.value(QLatin1String(field)).toString().trimmed();
        if (plausibleAddress(a))
            out = a;
    }
    return r.status();
}

// The address whose domain the Message-IDs carry.
QString idAddress(const QString &location)
{
    QString a;
    if (firstAddress(location, table::MailSettings, field::MailSettings::SenderAddress, a) && !a.isEmpty())
        return a;
    if (firstAddress(location, table::GuideInfo, field::GuideInfo::Email, a) && !a.isEmpty())
        return a;
    return QStringLiteral("outbox@brindlemoor.invalid");
}

bool guideKind(const QString &kind)
{
    return kind == QLatin1String(kind::newRequest);
}

// A message of the text for the booking, to its client or the guide; false
// in addressed when there is nobody to send it to.
Status made(const QString &location, const Text &text, qint64 booking, const QString &idFrom,
    db::outbox::Message &m, bool &addressed)
{
    addressed = false;
    Values values;
    if (Status s = bookingValues(location, booking, values); !s)
        return s;
    if (guideKind(text.kind)) {
        if (Status s = guideAddress(location, m.recipient); !s)
            return s;
        m.recipientName = values.value(QStringLiteral("service"));
    } else {
        m.recipient = values.value(QStringLiteral("client_email"));
        m.recipientName = values.value(QStringLiteral("client"));
    }
    if (!plausibleAddress(m.recipient))
        return Status::ok();
    if (Status s = render(text, values, m.subject, m.body); !s)
        return s;
    m.kind = text.kind;
    m.booking = QString::number(booking);
    m.messageId = makeMessageId(idFrom);
    addressed = true;
    return Status::ok();
}

bool agreed(const QString &status)
{
    return status.isEmpty() || status == QLatin1String(bookingStatus::confirmed);
}

struct Trip {
    qint64 id;
    QDate date;
    bool owes;
};

// The trips agreed with a client who has an address, from first to last.
Status trips(const QString &location, const QDate &first, const QDate &last, QList<Trip> &out)
{
    out.clear();
    db::Query r(location);
    if (Status s
        = r.run(QStringLiteral("SELECT %2, %3, %4, %5, %6 FROM %1 WHERE %3 BETWEEN ? AND ? ORDER BY %3, %2")
                    .arg(quoted(table::Booking), keyName, quoted(B::Date), quoted(B::Status),
                        quoted(B::Email), quoted(B::BalanceDue)),
            { first.toString(Qt::ISODate), last.toString(Qt::ISODate) });
        !s)
        return s;
    while (r.next()) {
        if (!agreed(r.value(B::Status).toString().trimmed())
            || !plausibleAddress(r.value(B::Email).toString().trimmed()))
            continue;
        const QDate date = QDate::fromString(r.value(B::Date).toString().left(10), Qt::ISODate);
        if (date.isValid())
            out.append({ r.value(keyName).toLongLong(), date, r.value(B::BalanceDue).toLongLong() > 0 });
    }
    return r.status();
}

QString planKey(qint64 booking, const QString &kind, const QDate &day)
{
    return QStringLiteral("%1|%2|%3").arg(booking).arg(kind, day.toString(Qt::ISODate));
}

// The planned messages wanted today, by key, with their booking and kind.
struct Wanted {
    qint64 booking;
    const Text *text;
};

Status wanted(const QString &location, const QList<Text> &all, const QDate &today, QMap<QString, Wanted> &out)
{
    for (const Text &t : all) {
        const QList<int> days = daysOf(t);
        if (!t.send || days.isEmpty())
            continue;
        QList<Trip> found;
        if (t.kind == QLatin1String(kind::thankYou)) {
            // A thank-you goes within a week of its day, not later.
            if (Status s
                = trips(location, today.addDays(-days.first() - 6), today.addDays(-days.last()), found);
                !s)
                return s;
            for (const Trip &trip : std::as_const(found))
                for (int d : days)
                    if (trip.date.addDays(d) <= today && today <= trip.date.addDays(d + 6)) {
                        out.insert(planKey(trip.id, t.kind, trip.date.addDays(d)), { trip.id, &t });
                        break;
                    }
            continue;
        }
        const bool balance = t.kind == QLatin1String(kind::balanceDue);
        if (Status s = trips(location, today, today.addDays(days.first()), found); !s)
            return s;
        for (const Trip &trip : std::as_const(found)) {
            if (balance && !trip.owes)
                continue;
            // The latest of its days that has come; a trip booked late gets
            // it at once. Before the trip only, unless its day is the trip's.
            for (auto d = days.crbegin(); d != days.crend(); ++d)
                if (trip.date.addDays(-*d) <= today && (trip.date > today || *d == 0)) {
                    out.insert(planKey(trip.id, t.kind, trip.date.addDays(-*d)), { trip.id, &t });
                    break;
                }
        }
    }
    return Status::ok();
}

} // namespace

Status guideAddress(const QString &location, QString &out)
{
    if (Status s = firstAddress(location, table::MailSettings, field::MailSettings::GuideAddress, out);
        !s || !out.isEmpty())
        return s;
    return firstAddress(location, table::GuideInfo, field::GuideInfo::Email, out);
}

Status isSetUp(const QString &location, bool &setUp)
{
    setUp = false;
    namespace M = field::MailSettings;
    db::Query r(location);
    if (Status s
        = r.run(QStringLiteral("SELECT %2, %3 FROM %1 ORDER BY %4 LIMIT 1")
                    .arg(quoted(table::MailSettings), quoted(M::Server), quoted(M::SenderAddress), keyName));
        !s)
        return s;
    if (r.next())
        setUp = !r.value(M::Server).toString().trimmed().isEmpty()
            && plausibleAddress(r.value(M::SenderAddress).toString().trimmed());
    return r.status();
}

Status queueFor(db::Transaction &t, const QString &location, const QString &kind, qint64 booking,
    const QDateTime &now, bool &queued)
{
    queued = false;
    bool setUp = false;
    if (Status s = isSetUp(location, setUp); !s || !setUp)
        return s;
    Text text;
    if (Status s = mail::text(location, kind, text); !s)
        return s;
    if (!text.send)
        return Status::ok();
    db::outbox::Message m;
    bool addressed = false;
    if (Status s = made(location, text, booking, idAddress(location), m, addressed); !s || !addressed)
        return s;
    if (Status s = db::outbox::queue(t, m, now); !s)
        return s;
    queued = true;
    return Status::ok();
}

Status plan(const QString &location, const QDate &today, const QDateTime &now, Plan &out)
{
    out = {};
    bool setUp = false;
    if (Status s = isSetUp(location, setUp); !s || !setUp)
        return s;
    QList<Text> all;
    if (Status s = texts(location, all); !s)
        return s;
    // In the order of their keys: by booking, then kind.
    QMap<QString, Wanted> want;
    if (Status s = wanted(location, all, today, want); !s)
        return s;

    // What was planned before, and of that what still waits.
    QSet<QString> planned;
    QList<std::pair<qint64, QString>> waiting;
    {
        db::Query r(location);
        if (Status s = r.run(QStringLiteral("SELECT %2, %3, %4 FROM %1 WHERE %3 IS NOT NULL AND %3 <> ''")
                                 .arg(quoted(table::Outbox), keyName, quoted(O::PlanKey), quoted(O::State)));
            !s)
            return s;
        while (r.next()) {
            const QString key = r.value(O::PlanKey).toString();
            planned.insert(key);
            if (r.value(O::State).toString() == QLatin1String(mailState::queued))
                waiting.append({ r.value(keyName).toLongLong(), key });
        }
        if (!r.status())
            return r.status();
    }

    // Written together: a first planning over years of bookings is one
    // commit, not thousands. Another planner's same key, written meanwhile,
    // fails this one; the next planning finds it there.
    db::Transaction t(location);
    if (Status s = t.begin(); !s)
        return s;
    const QString idFrom = idAddress(location);
    for (auto it = want.cbegin(); it != want.cend(); ++it) {
        if (planned.contains(it.key()))
            continue;
        db::outbox::Message m;
        bool addressed = false;
        if (Status s = made(location, *it->text, it->booking, idFrom, m, addressed); !s)
            return s;
        if (!addressed)
            continue;
        m.planKey = it.key();
        bool added = false;
        if (Status s = db::outbox::plan(t, m, now, added); !s)
            return s;
        out.planned += added;
    }
    if (Status s = t.commit(); !s) {
        out.planned = 0;
        return s;
    }

    for (const auto &[id, key] : std::as_const(waiting)) {
        if (want.contains(key))
            continue;
        bool changed = false;
        if (Status s = db::outbox::drop(location, id, changed); !s)
            return s;
        out.dropped += changed;
    }
    return Status::ok();
}

} // namespace bm::mail
