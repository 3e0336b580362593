#include "data/icsexport.h"

#include "data/csvexchange.h"
#include "data/exchangedb.h"
#include "data/schema.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringList>

#include <libical/ical.h>
#include <sqlite3.h>

namespace bm::ics
{

namespace
{

// One libical component or string, freed when it goes.
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

QByteArray serialized(icalcomponent *component)
{
    char *text = icalcomponent_as_ical_string_r(component);
    if (!text)
        return {};
    QByteArray bytes(text);
    icalmemory_free_buffer(text);
    return bytes;
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

QString text(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(exchangedb::columnText(stmt, column));
}

QDate dateOf(sqlite3_stmt *stmt, int column)
{
    return QDate::fromString(text(stmt, column), Qt::ISODate);
}

// An all-day event on the date, with the properties every event carries.
icalcomponent *newEvent(
    const QString &uid, const QDate &date, const icaltimetype &stamp, const QString &summary)
{
    icalcomponent *event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.toUtf8().constData()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
    icalcomponent_add_property(event, icalproperty_new_dtstart(dateValue(date)));
    icalcomponent_add_property(event, icalproperty_new_dtend(dateValue(date.addDays(1))));
    icalcomponent_add_property(event, icalproperty_new_summary(summary.toUtf8().constData()));
    return event;
}

void addText(icalcomponent *event, icalproperty *(*make)(const char *), const QString &value)
{
    if (!value.trimmed().isEmpty())
        icalcomponent_add_property(event, make(value.toUtf8().constData()));
}

QString bookingSummary(const QString &name, const QString &lake)
{
    const QString n = name.trimmed(), l = lake.trimmed();
    if (n.isEmpty() && l.isEmpty())
        return QStringLiteral("Guided trip");
    if (n.isEmpty() || l.isEmpty())
        return n.isEmpty() ? l : n;
    return n + QStringLiteral(" \u2013 ") + l;
}

} // namespace

QString databaseIdentity(const QString &databasePath)
{
    sqlite3 *db = exchangedb::handle(databasePath, nullptr);
    if (!db)
        return {};
    quint32 identity = 0;
    {
        exchangedb::Statement read(db, QStringLiteral("PRAGMA user_version"));
        if (read.isValid() && sqlite3_step(read.get()) == SQLITE_ROW)
            identity = quint32(sqlite3_column_int(read.get(), 0));
    }
    if (identity == 0) {
        do
            identity = QRandomGenerator::system()->generate();
        while (identity == 0);
        const QByteArray set
            = QByteArrayLiteral("PRAGMA user_version = ") + QByteArray::number(qint32(identity));
        if (sqlite3_exec(db, set.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return {};
    }
    return QStringLiteral("%1").arg(identity, 8, 16, QLatin1Char('0'));
}

QString eventUid(const QString &kind, qint64 key, const QString &identity)
{
    return QStringLiteral("%1-%2.%3@brindlemoor").arg(kind).arg(key).arg(identity);
}

Status exportCalendar(const QString &databasePath, const QString &filePath, Counts *counts)
{
    if (counts)
        *counts = Counts();
    Status status;
    sqlite3 *db = exchangedb::handle(databasePath, &status);
    if (!db)
        return status;
    const QString identity = databaseIdentity(databasePath);
    if (identity.isEmpty())
        return Status::failure(
            QStringLiteral("The calendar could not be written: the database file %1 can not "
                           "be changed.")
                .arg(csv::shownFileName(databasePath)));

    auto q = [](const char *name) { return schema::quoted(QString::fromLatin1(name)); };
    exchangedb::Statement bookings(db,
        QStringLiteral("SELECT ID, %1, %2, %3, %4, %5, %6, %7, %8 FROM %9 WHERE %1 IS NOT NULL ORDER BY ID")
            .arg(q("Date"), q("Name"), q("Lake"), q("Meet At"), q("Type"), q("Telephone"), q("Cell Phone"),
                q("Notes"), q("Booking")));
    exchangedb::Statement reminders(db,
        QStringLiteral("SELECT ID, %1, %2 FROM %3 WHERE %1 IS NOT NULL ORDER BY ID")
            .arg(q("Date"), q("Reminder"), q("Reminder")));
    if (!bookings.isValid())
        return bookings.error(QStringLiteral("The bookings can not be read"));
    if (!reminders.isValid())
        return reminders.error(QStringLiteral("The reminders can not be read"));

    // The calendar's own lines; the events go in before its end.
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.c, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.c, icalproperty_new_prodid("-//Brindlemoor//Guide Service//EN"));
    icalcomponent_add_property(calendar.c, icalproperty_new_calscale("GREGORIAN"));
    icalcomponent_add_property(calendar.c, icalproperty_new_method(ICAL_METHOD_PUBLISH));
    icalproperty *name = icalproperty_new_x("Brindlemoor");
    icalproperty_set_x_name(name, "X-WR-CALNAME");
    icalcomponent_add_property(calendar.c, name);
    QByteArray shell = serialized(calendar.c);
    const qsizetype end = shell.lastIndexOf("END:VCALENDAR");
    if (end < 0)
        return Status::failure(QStringLiteral("The calendar could not be made."));

    const QString shown = csv::shownFileName(filePath);
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    QByteArray buffer = shell.left(end);
    const icaltimetype stamp = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    Counts written;
    bool failed = false;
    auto flush = [&](bool always) {
        if (!failed && (always || buffer.size() > 1024 * 1024)) {
            failed = file.write(buffer) != buffer.size();
            buffer.clear();
        }
    };

    int step = SQLITE_DONE;
    while (!failed && (step = sqlite3_step(bookings.get())) == SQLITE_ROW) {
        sqlite3_stmt *row = bookings.get();
        const QDate date = dateOf(row, 1);
        if (!date.isValid())
            continue;
        Component event(newEvent(eventUid(QStringLiteral("booking"), sqlite3_column_int64(row, 0), identity),
            date, stamp, bookingSummary(text(row, 2), text(row, 3))));
        addText(event.c, icalproperty_new_location, text(row, 4));
        QStringList lines;
        const char *labels[] = { "Type: ", "Telephone: ", "Cell Phone: ", "Notes: " };
        for (int i = 0; i < 4; ++i) {
            const QString value = text(row, 5 + i);
            if (!value.trimmed().isEmpty())
                lines << QString::fromLatin1(labels[i]) + value;
        }
        addText(event.c, icalproperty_new_description, lines.join(QLatin1Char('\n')));
        buffer += serialized(event.c);
        ++written.bookings;
        flush(false);
    }
    if (!failed && step != SQLITE_DONE)
        return bookings.error(QStringLiteral("The bookings can not be read"));
    while (!failed && (step = sqlite3_step(reminders.get())) == SQLITE_ROW) {
        sqlite3_stmt *row = reminders.get();
        const QDate date = dateOf(row, 1);
        if (!date.isValid())
            continue;
        const QString reminder = text(row, 2);
        const QString firstLine = reminder.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
        Component event(newEvent(eventUid(QStringLiteral("reminder"), sqlite3_column_int64(row, 0), identity),
            date, stamp, firstLine.isEmpty() ? QStringLiteral("Reminder") : firstLine));
        if (reminder.trimmed() != firstLine)
            addText(event.c, icalproperty_new_description, reminder);
        icalcomponent_add_property(event.c, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
        buffer += serialized(event.c);
        ++written.reminders;
        flush(false);
    }
    if (!failed && step != SQLITE_DONE)
        return reminders.error(QStringLiteral("The reminders can not be read"));
    buffer += shell.mid(end);
    flush(true);
    if (failed || !file.commit())
        return Status::failure(QStringLiteral("The file %1 could not be written: %2. Nothing was saved.")
                                   .arg(shown, file.errorString()));
    if (counts)
        *counts = written;
    return Status::ok();
}

} // namespace bm::ics
