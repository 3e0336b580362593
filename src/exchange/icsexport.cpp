#include "exchange/icsexport.h"

#include "db/database.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "exchange/csvexchange.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QDate>
#include <QDateTime>
#include <QSaveFile>
#include <QStringList>

#include <libical/ical.h>

#include <algorithm>
#include <string_view>

namespace bm::ics
{

namespace
{

// One libical component, freed when it goes.
struct Component {
    icalcomponent *c;
    explicit Component(icalcomponent *component)
        : c(component)
    {
    }
    ~Component() { icalcomponent_free(c); }
    Component(const Component &) = delete;
    Component &operator=(const Component &) = delete;
};

// Appends the component as libical writes it; false when it can not.
bool appendSerialized(QByteArray &to, icalcomponent *component)
{
    char *text = icalcomponent_as_ical_string_r(component);
    if (!text)
        return false;
    to.append(text);
    icalmemory_free_buffer(text);
    return true;
}

icaltimetype dateValue(const QDate &date)
{
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.is_date = 1;
    return t;
}

Status unreadable(const QString &what, const Status &why)
{
    return Status::failure(QStringLiteral("The %1 can not be read: %2").arg(what, why.message()));
}

// Bookings and reminders keep their day in a field of the same name.
static_assert(std::string_view(field::Booking::Date) == field::Reminder::Date);

QDate dateOf(const db::Query &row)
{
    return fieldvalue::fromStored(FieldKind::Date, row.value(field::Booking::Date)).toDate();
}

bool blank(QByteArrayView text)
{
    return text.trimmed().isEmpty();
}

// The text with each line break as one line feed, which the calendar writes
// as its escaped newline: a CRLF is one break, and so is a carriage return
// alone (as older Mac programs wrote them), which would otherwise be written
// as an escape that calendars do not read as a break.
QByteArray withLineFeeds(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    if (out.contains('\r'))
        out.replace("\r\n", "\n").replace('\r', '\n');
    return out;
}

// A stamp's time, "yyyy-MM-ddTHH:mm:ssZ" in UTC; false when it is none.
bool stampTime(const QVariant &stored, icaltimetype &out)
{
    const QDateTime t = QDateTime::fromString(stored.toString(), Qt::ISODate);
    if (!t.isValid() || t.timeSpec() != Qt::UTC)
        return false;
    out = icaltime_from_timet_with_zone(time_t(t.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
    return true;
}

// An all-day event made once and given each record's values in turn, so
// that 100,000 events cost 100,000 serializations and little else.
class Event
{
public:
    explicit Event(const icaltimetype &stamp)
        : m_event(icalcomponent_new(ICAL_VEVENT_COMPONENT))
        , m_uid(icalproperty_new_uid("-"))
        , m_start(icalproperty_new_dtstart(icaltime_null_date()))
        , m_end(icalproperty_new_dtend(icaltime_null_date()))
        , m_summary(icalproperty_new_summary("-"))
        , m_location(icalproperty_new_location("-"))
        , m_description(icalproperty_new_description("-"))
        , m_transparent(icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT))
        , m_sequence(icalproperty_new_sequence(0))
        , m_lastModified(icalproperty_new_lastmodified(stamp))
    {
        for (icalproperty *p :
            { m_uid, icalproperty_new_dtstamp(stamp), m_start, m_end, m_summary, m_sequence })
            icalcomponent_add_property(m_event.c, p);
    }
    ~Event()
    {
        for (icalproperty *p : { m_location, m_description, m_transparent, m_lastModified })
            if (!icalproperty_get_parent(p))
                icalproperty_free(p);
    }
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;

    void set(const QDate &date, const QByteArray &summary, int days)
    {
        icalproperty_set_dtstart(m_start, dateValue(date));
        icalproperty_set_dtend(m_end, dateValue(date.addDays(days)));
        icalproperty_set_summary(m_summary, summary.constData());
    }
    void setUid(const QByteArray &uid) { icalproperty_set_uid(m_uid, uid.constData()); }
    void setLocation(const QByteArray &text) { setOptional(m_location, icalproperty_set_location, text); }
    void setDescription(const QByteArray &text)
    {
        setOptional(m_description, icalproperty_set_description, text);
    }
    void setTransparent(bool transparent) { attach(m_transparent, transparent); }
    // The record's change stamp: how often it changed and when it last did
    // (a record without a stamp counts as never changed, time unknown).
    void setChanges(const QVariant &sequence, const QVariant &modified)
    {
        icalproperty_set_sequence(m_sequence, sequence.isNull() ? 0 : sequence.toInt());
        icaltimetype when;
        const bool known = stampTime(modified, when);
        if (known)
            icalproperty_set_lastmodified(m_lastModified, when);
        attach(m_lastModified, known);
    }

    bool appendTo(QByteArray &to) { return appendSerialized(to, m_event.c); }

private:
    void attach(icalproperty *p, bool attached)
    {
        const bool now = icalproperty_get_parent(p) != nullptr;
        if (attached && !now)
            icalcomponent_add_property(m_event.c, p);
        else if (!attached && now)
            icalcomponent_remove_property(m_event.c, p);
    }
    void setOptional(icalproperty *p, void (*setter)(icalproperty *, const char *), const QByteArray &text)
    {
        if (!blank(text))
            setter(p, text.constData());
        attach(p, !blank(text));
    }

    Component m_event;
    icalproperty *m_uid, *m_start, *m_end, *m_summary, *m_location, *m_description, *m_transparent,
        *m_sequence, *m_lastModified;
};

QByteArray bookingSummary(QByteArrayView name, QByteArrayView lake)
{
    const QByteArrayView n = name.trimmed(), l = lake.trimmed();
    if (n.isEmpty() && l.isEmpty())
        return QByteArrayLiteral("Guided trip");
    if (n.isEmpty() || l.isEmpty())
        return (n.isEmpty() ? l : n).toByteArray();
    return n.toByteArray() + QByteArrayLiteral(" \xE2\x80\x93 ") + l.toByteArray(); // an en dash
}

// The calendar's own lines up to its first event: the file's publishes the
// calendar by name; a server's resource holds one event and no method.
QByteArray calendarHead(bool file)
{
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.c, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.c, icalproperty_new_prodid("-//Brindlemoor//Guide Service//EN"));
    icalcomponent_add_property(calendar.c, icalproperty_new_calscale("GREGORIAN"));
    if (file) {
        icalcomponent_add_property(calendar.c, icalproperty_new_method(ICAL_METHOD_PUBLISH));
        icalproperty *name = icalproperty_new_x("Brindlemoor");
        icalproperty_set_x_name(name, "X-WR-CALNAME");
        icalcomponent_add_property(calendar.c, name);
    }
    QByteArray shell;
    const qsizetype end = appendSerialized(shell, calendar.c) ? shell.lastIndexOf("END:VCALENDAR") : -1;
    return end < 0 ? QByteArray() : shell.left(end);
}

} // namespace

QString databaseIdentity(const QString &databasePath)
{
    quint32 identity = 0;
    if (!db::calendarIdentity(databasePath, identity))
        return {};
    return QStringLiteral("%1").arg(identity, 8, 16, QLatin1Char('0'));
}

QString eventUid(const QString &kind, qint64 key, const QString &identity)
{
    return QStringLiteral("%1-%2.%3@brindlemoor").arg(kind).arg(key).arg(identity);
}

namespace
{

// A trip lasts its Days: empty or not a whole number is one day, and no
// trip is longer than the booking form lets it be.
constexpr int longestTrip = 99;

int tripDays(const QVariant &stored)
{
    bool ok = false;
    const int days = stored.toString().trimmed().toInt(&ok);
    return ok && days > 0 ? std::min(days, longestTrip) : 1;
}

} // namespace

Status eachEvent(const QString &databasePath, const EventChoice &choice,
    const std::function<Status(const EventText &)> &each)
{
    const QString identity = databaseIdentity(databasePath);
    if (identity.isEmpty())
        return Status::failure(
            QStringLiteral("The calendar could not be made: the database file %1 can not be changed.")
                .arg(csv::shownFileName(databasePath)));

    // Each record with its change stamp, when it has one.
    auto withStamps = [&](const QString &table, const QStringList &fields, const QString &where) {
        QStringList columns { QStringLiteral("r.ID AS ID") };
        for (const QString &f : fields)
            columns << QStringLiteral("r.%1 AS %1").arg(schema::quoted(f));
        columns << QStringLiteral("s.\"Sequence\" AS \"Sequence\"")
                << QStringLiteral("s.\"Modified\" AS \"Modified\"");
        return QStringLiteral(
            "SELECT %1 FROM %2 AS r LEFT JOIN %3 AS s ON s.\"Kind\" = '%4' AND s.\"Record\" = "
            "r.ID WHERE r.%5 IS NOT NULL%6 ORDER BY r.ID")
            .arg(columns.join(QLatin1String(", ")), schema::quoted(table),
                schema::quoted(QLatin1String(schema::stampTable)), table,
                schema::quoted(field::Booking::Date), where);
    };
    namespace B = field::Booking;
    db::Query bookings(databasePath), reminders(databasePath);
    if (choice.bookings) {
        QString where;
        QVariantList binds;
        if (choice.skipCancelled) {
            where += QStringLiteral(" AND (r.%1 IS NULL OR r.%1 <> ?)").arg(schema::quoted(B::Status));
            binds << QString::fromLatin1(bookingStatus::cancelled);
        }
        if (!choice.guide.isEmpty()) {
            where += QStringLiteral(" AND r.%1 = ?").arg(schema::quoted(B::Guide));
            binds << choice.guide;
        }
        if (Status s = bookings.run(withStamps(table::Booking,
                                        { B::Date, B::Days, B::Name, B::Lake, B::MeetAt, B::Type,
                                            B::Telephone, B::CellPhone, B::Notes },
                                        where),
                binds);
            !s)
            return unreadable(QStringLiteral("bookings"), s);
    }
    if (choice.reminders) {
        if (Status s = reminders.run(
                withStamps(table::Reminder, { field::Reminder::Date, field::Reminder::Reminder }, {}));
            !s)
            return unreadable(QStringLiteral("reminders"), s);
    }

    const icaltimetype stamp = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    Event event(stamp);
    const QString uidTail = QLatin1Char('.') + identity + QLatin1String("@brindlemoor");
    const QString id = QString::fromLatin1(schema::keyColumn);
    EventText text;
    // The record's uid and sequence; false when its event is not wanted.
    auto identify = [&](const db::Query &row) {
        text.key = row.value(id).toLongLong();
        text.uid = text.kind + QLatin1Char('-') + QString::number(text.key) + uidTail;
        const QVariant sequence = row.value(QStringLiteral("Sequence"));
        text.sequence = sequence.isNull() ? 0 : sequence.toInt();
        text.vevent.resize(0);
        return !choice.wanted || choice.wanted(text.uid, text.sequence);
    };
    auto give = [&] {
        event.setUid(text.uid.toLatin1());
        return event.appendTo(text.vevent);
    };

    text.kind = QStringLiteral("booking");
    while (choice.bookings && bookings.next()) {
        const QDate date = dateOf(bookings);
        if (!date.isValid())
            continue;
        if (!identify(bookings)) {
            if (Status s = each(text); !s)
                return s;
            continue;
        }
        event.set(date, withLineFeeds(bookingSummary(bookings.text(B::Name), bookings.text(B::Lake))),
            tripDays(bookings.value(B::Days)));
        event.setLocation(withLineFeeds(bookings.text(B::MeetAt)));
        event.setChanges(
            bookings.value(QStringLiteral("Sequence")), bookings.value(QStringLiteral("Modified")));
        QByteArray description;
        const char *labels[] = { "Type: ", "Telephone: ", "Cell Phone: ", "Notes: " };
        const char *fields[] = { B::Type, B::Telephone, B::CellPhone, B::Notes };
        for (int i = 0; i < 4; ++i) {
            const QByteArrayView value = bookings.text(QString::fromLatin1(fields[i]));
            if (!blank(value)) {
                if (!description.isEmpty())
                    description += '\n';
                description.append(labels[i]).append(value);
            }
        }
        event.setDescription(withLineFeeds(description));
        if (!give())
            return Status::failure(QStringLiteral("The calendar could not be made."));
        if (Status s = each(text); !s)
            return s;
    }
    if (choice.bookings && !bookings.status())
        return unreadable(QStringLiteral("bookings"), bookings.status());

    text.kind = QStringLiteral("reminder");
    event.setLocation({});
    event.setTransparent(true); // a reminder does not make the guide busy
    while (choice.reminders && reminders.next()) {
        const QDate date = dateOf(reminders);
        if (!date.isValid())
            continue;
        if (!identify(reminders)) {
            if (Status s = each(text); !s)
                return s;
            continue;
        }
        const QByteArray reminder = withLineFeeds(reminders.text(field::Reminder::Reminder));
        const QByteArray firstLine = reminder.trimmed().split('\n').first().trimmed();
        event.set(date, firstLine.isEmpty() ? QByteArrayLiteral("Reminder") : firstLine, 1);
        event.setDescription(reminder.trimmed() != firstLine ? reminder : QByteArray());
        event.setChanges(
            reminders.value(QStringLiteral("Sequence")), reminders.value(QStringLiteral("Modified")));
        if (!give())
            return Status::failure(QStringLiteral("The calendar could not be made."));
        if (Status s = each(text); !s)
            return s;
    }
    if (choice.reminders && !reminders.status())
        return unreadable(QStringLiteral("reminders"), reminders.status());
    return Status::ok();
}

QByteArray calendarText(const QByteArray &vevent)
{
    return calendarHead(false) + vevent + QByteArrayLiteral("END:VCALENDAR\r\n");
}

Status exportCalendar(const QString &databasePath, const QString &filePath, Counts *counts)
{
    if (counts)
        *counts = Counts();
    if (databaseIdentity(databasePath).isEmpty())
        return Status::failure(
            QStringLiteral("The calendar could not be written: the database file %1 can not "
                           "be changed.")
                .arg(csv::shownFileName(databasePath)));
    const QByteArray head = calendarHead(true);
    if (head.isEmpty())
        return Status::failure(QStringLiteral("The calendar could not be made."));

    const QString shown = csv::shownFileName(filePath);
    QSaveFile file(filePath);
    if (Status s = csv::openOwnerOnly(file); !s)
        return s;
    constexpr qsizetype chunk = 1024 * 1024;
    QByteArray buffer;
    buffer.reserve(chunk + 64 * 1024);
    buffer.append(head);
    Counts written;
    bool failed = false;
    auto flush = [&](bool always) {
        if (!failed && (always || buffer.size() > chunk)) {
            failed = file.write(buffer) != buffer.size();
            buffer.resize(0); // keeps its room for the next chunk
        }
    };
    const Status read = eachEvent(databasePath, EventChoice(), [&](const EventText &event) {
        buffer += event.vevent;
        ++(event.kind == QLatin1String("booking") ? written.bookings : written.reminders);
        flush(false);
        return failed ? Status::failure(QStringLiteral("-")) : Status::ok();
    });
    if (!read && !failed)
        return read;
    buffer += QByteArrayLiteral("END:VCALENDAR\r\n");
    flush(true);
    if (failed || !file.commit())
        return Status::failure(QStringLiteral("The file %1 could not be written: %2. Nothing was saved.")
                                   .arg(shown, file.errorString()));
    if (counts)
        *counts = written;
    return Status::ok();
}

} // namespace bm::ics
