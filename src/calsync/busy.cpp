#include "calsync/busy.h"

#include "calsync/davxml.h"
#include "core/log.h"

#include <QSet>
#include <QTimeZone>
#include <QUrl>

#include <libical/ical.h>

namespace bm::calsync
{

namespace
{

// Steps of all recurrence rules of one read: a rule that makes an
// occurrence every second is stopped long before it costs minutes.
constexpr int maxSteps = 200000;

Status failed(const QString &words)
{
    qCWarning(dataLog).noquote() << "busy time:" << words;
    return Status::failure(words);
}

struct Component {
    icalcomponent *c;
    explicit Component(icalcomponent *component)
        : c(component)
    {
    }
    ~Component()
    {
        if (c)
            icalcomponent_free(c);
    }
    Component(const Component &) = delete;
    Component &operator=(const Component &) = delete;
};

QString shownSummary(const char *text)
{
    QString out;
    const QByteArrayView bytes(text ? text : "");
    const QString all
        = QString::fromUtf8(bytes.first(std::min(bytes.size(), qsizetype(maxSummaryLength) * 4)));
    for (const QChar c : all) {
        if (out.size() >= maxSummaryLength)
            break;
        // A line break or tab parts words; any other control character goes.
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            out += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            out += c;
    }
    out = out.simplified();
    return out.size() > maxSummaryLength ? out.left(maxSummaryLength) : out;
}

// A time of the calendar as the guide's local time: one with a zone or in
// UTC at its instant, a floating one as written.
QDateTime localTime(const icaltimetype &t)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return {};
    if (t.is_date)
        return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0));
    if (icaltime_is_utc(t) || t.zone) {
        const icaltimezone *zone = t.zone ? t.zone : icaltimezone_get_utc_timezone();
        const time_t when = icaltime_as_timet_with_zone(t, zone);
        return QDateTime::fromSecsSinceEpoch(qint64(when), Qt::LocalTime);
    }
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

// The key of an occurrence: its start in UTC (or as written when floating).
QByteArray occurrenceKey(const QString &uid, const icaltimetype &t)
{
    icaltimetype u = t;
    if (!t.is_date && t.zone)
        u = icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
    return uid.toUtf8() + '|' + QByteArray(icaltime_as_ical_string(u));
}

class Reader
{
public:
    Reader(const QDate &from, const QDate &to, QList<BusyTime> &out)
        : m_from(from.startOfDay())
        , m_to(to.addDays(1).startOfDay())
        , m_out(out)
    {
    }

    void read(icalcomponent *calendar)
    {
        // Instances changed on their own (RECURRENCE-ID) replace the rule's.
        QSet<QByteArray> moved;
        for (icalcomponent *e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            if (icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
                moved.insert(occurrenceKey(uidOf(e), icalcomponent_get_recurrenceid(e)));
        }
        for (icalcomponent *e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
             e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            event(e, moved);
    }
    bool capped() const { return m_capped; }

private:
    static QString uidOf(icalcomponent *e)
    {
        const char *uid = icalcomponent_get_uid(e);
        return QString::fromUtf8(uid ? uid : "");
    }

    void event(icalcomponent *e, const QSet<QByteArray> &moved)
    {
        if (icalproperty *p = icalcomponent_get_first_property(e, ICAL_TRANSP_PROPERTY)) {
            const icalproperty_transp t = icalproperty_get_transp(p);
            if (t == ICAL_TRANSP_TRANSPARENT || t == ICAL_TRANSP_TRANSPARENTNOCONFLICT)
                return;
        }
        if (icalcomponent_get_first_property(e, ICAL_STATUS_PROPERTY)
            && icalcomponent_get_status(e) == ICAL_STATUS_CANCELLED)
            return;
        if (!icalcomponent_get_first_property(e, ICAL_DTSTART_PROPERTY))
            return;
        const icaltimetype start = icalcomponent_get_dtstart(e);
        if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start))
            return;
        icaltimetype end = icalcomponent_get_dtend(e);
        // Seconds from the start to the end; an event without an end is a
        // day long when it is a date, a moment otherwise.
        qint64 length = 0;
        if (!icaltime_is_null_time(end) && icaltime_is_valid_time(end)) {
            const QDateTime s = localTime(start), f = localTime(end);
            if (s.isValid() && f.isValid())
                length = std::max<qint64>(0, s.secsTo(f));
        } else if (start.is_date) {
            length = 24 * 3600;
        }
        const QString summary = shownSummary(icalcomponent_get_summary(e));
        const QString uid = uidOf(e);
        icalproperty *rule = icalcomponent_get_first_property(e, ICAL_RRULE_PROPERTY);
        if (!rule || icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY)) {
            occurrence(start, length, summary);
            return;
        }
        QSet<QByteArray> excluded = moved;
        for (icalproperty *x = icalcomponent_get_first_property(e, ICAL_EXDATE_PROPERTY); x;
             x = icalcomponent_get_next_property(e, ICAL_EXDATE_PROPERTY)) {
            icaltimetype t = icalproperty_get_exdate(x);
            if (!t.zone && !icaltime_is_utc(t))
                t.zone = start.zone; // written in the start's zone
            excluded.insert(occurrenceKey(uid, t));
        }
        const icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
        icalrecur_iterator *it = icalrecur_iterator_new(recurrence, start);
        if (!it)
            return;
        for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t);
             t = icalrecur_iterator_next(it)) {
            if (++m_steps > maxSteps || m_capped) {
                m_capped = true;
                break;
            }
            t.zone = start.zone;
            const QDateTime at = localTime(t);
            if (!at.isValid() || at >= m_to)
                break;
            if (excluded.contains(occurrenceKey(uid, t)))
                continue;
            occurrence(t, length, summary);
        }
        icalrecur_iterator_free(it);
    }

    void occurrence(const icaltimetype &start, qint64 length, const QString &summary)
    {
        const QDateTime from = localTime(start);
        if (!from.isValid())
            return;
        const QDateTime to = from.addSecs(length);
        if (start.is_date) {
            // Each day of an all-day event from midnight to midnight.
            const int days = std::max(1, int((length + 24 * 3600 - 1) / (24 * 3600)));
            for (int i = 0; i < days; ++i) {
                const QDate day = from.date().addDays(i);
                add(day.startOfDay(), day.addDays(1).startOfDay(), summary);
            }
            return;
        }
        add(from, to, summary);
    }

    void add(const QDateTime &start, const QDateTime &end, const QString &summary)
    {
        if (start >= m_to || end < m_from || (end == m_from && start < end))
            return;
        if (m_out.size() >= maxOccurrences) {
            m_capped = true;
            return;
        }
        m_out << BusyTime { start, end, summary };
    }

    QDateTime m_from, m_to;
    QList<BusyTime> &m_out;
    int m_steps = 0;
    bool m_capped = false;
};

} // namespace

Status parseBusy(const QByteArray &icalendar, const QDate &from, const QDate &to, QList<BusyTime> &out)
{
    out.clear();
    if (!from.isValid() || !to.isValid() || to < from)
        return failed(QStringLiteral("The days asked for are not a period."));
    if (icalendar.size() > maxAnswerBytes)
        return failed(QStringLiteral("The calendar is too long to be read (more than %1 MB).")
                          .arg(maxAnswerBytes / (1024 * 1024)));
    Reader reader(from, to, out);
    int calendars = 0;
    qsizetype at = 0;
    while (true) {
        const qsizetype begin = icalendar.indexOf("BEGIN:VCALENDAR", at);
        if (begin < 0)
            break;
        qsizetype end = icalendar.indexOf("END:VCALENDAR", begin);
        end = end < 0 ? icalendar.size() : end + qsizetype(sizeof("END:VCALENDAR") - 1);
        at = end;
        // libical reads a string up to its end; the piece is copied so that it
        // ends where the calendar does.
        const QByteArray piece = icalendar.mid(begin, end - begin) + "\r\n";
        Component calendar(icalparser_parse_string(piece.constData()));
        if (!calendar.c || icalcomponent_isa(calendar.c) != ICAL_VCALENDAR_COMPONENT)
            continue;
        ++calendars;
        reader.read(calendar.c);
    }
    if (calendars == 0 && !icalendar.trimmed().isEmpty())
        return failed(QStringLiteral("The calendar could not be read: it holds no calendar data."));
    if (reader.capped())
        qCWarning(dataLog).noquote() << "busy time: only the first" << out.size()
                                     << "occurrences were read; the calendar holds more.";
    return Status::ok();
}

Status readBusy(
    const Account &account, const QString &address, const QDate &from, const QDate &to, QList<BusyTime> &out)
{
    out.clear();
    QString url = address.trimmed();
    const bool subscription = url.startsWith(QLatin1String("webcal://"), Qt::CaseInsensitive)
        || QUrl(url).path().endsWith(QLatin1String(".ics"), Qt::CaseInsensitive);
    if (url.startsWith(QLatin1String("webcal://"), Qt::CaseInsensitive))
        url = QLatin1String("https://") + url.mid(9);
    if (subscription) {
        const Reply r = request(account, "GET", url);
        if (!r.status)
            return r.status;
        if (r.code != 200)
            return failed(QStringLiteral("The calendar %1 could not be read: %2").arg(url, describe(r)));
        return parseBusy(r.body, from, to, out);
    }
    auto utc = [](const QDate &day) {
        return day.startOfDay().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    };
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                            "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                            "<d:prop><c:calendar-data/></d:prop><c:filter><c:comp-filter name=\"VCALENDAR\">"
                            "<c:comp-filter name=\"VEVENT\"><c:time-range start=\""
        + utc(from) + "\" end=\"" + utc(to.addDays(1))
        + "\"/></c:comp-filter></c:comp-filter></c:filter></c:calendar-query>";
    const Reply r = request(account, "REPORT", url,
        { { "Depth", "1" }, { "Content-Type", "application/xml; charset=utf-8" } }, body);
    if (!r.status)
        return r.status;
    if (r.code != 207)
        return failed(QStringLiteral("The calendar %1 could not be read: %2").arg(url, describe(r)));
    QList<DavResponse> responses;
    if (Status s = parseMultistatus(r.body, url, responses); !s)
        return s;
    for (const DavResponse &d : responses) {
        QList<BusyTime> some;
        if (d.calendarData.isEmpty())
            continue;
        if (Status s = parseBusy(d.calendarData, from, to, some); !s)
            return s;
        out += some;
        if (out.size() >= maxOccurrences) {
            out.resize(maxOccurrences);
            qCWarning(dataLog).noquote()
                << "busy time: only the first" << out.size() << "occurrences were read.";
            break;
        }
    }
    return Status::ok();
}

} // namespace bm::calsync
