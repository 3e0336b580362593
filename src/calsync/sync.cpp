#include "calsync/sync.h"

#include "core/log.h"
#include "exchange/icsexport.h"

#include <QSet>

namespace bm::calsync
{

namespace
{

using Header = std::pair<QByteArray, QByteArray>;

// The event's title as the guide knows it, for the log.
QString summaryOf(const Change &c)
{
    const qsizetype at = c.text.indexOf("\nSUMMARY");
    if (at >= 0) {
        const qsizetype colon = c.text.indexOf(':', at);
        const qsizetype end = c.text.indexOf('\n', at + 1);
        if (colon > 0 && (end < 0 || colon < end)) {
            QString s = QString::fromUtf8(c.text.mid(colon + 1, end < 0 ? -1 : end - colon - 1)).trimmed();
            if (!s.isEmpty())
                return s.replace(QLatin1String("\\,"), QLatin1String(","))
                    .replace(QLatin1String("\\;"), QLatin1String(";"));
        }
    }
    return c.uid;
}

QString collection(const QString &calendarUrl)
{
    return calendarUrl.endsWith(QLatin1Char('/')) ? calendarUrl : calendarUrl + QLatin1Char('/');
}

bool success(const Reply &r)
{
    return r.status && r.code >= 200 && r.code < 300;
}

bool gone(const Reply &r)
{
    return r.status && (r.code == 404 || r.code == 410);
}

} // namespace

QString resourceName(const QString &uid)
{
    const QByteArray bytes = uid.toUtf8();
    QString name;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.')
            name += QLatin1Char(char(c));
        else
            name += QStringLiteral("%%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    return name + QLatin1String(".ics");
}

Status plan(const Target &target, const Journal &journal, QList<Change> &out)
{
    out.clear();
    ics::EventChoice choice;
    choice.reminders = target.reminders;
    choice.skipCancelled = true;
    choice.guide = target.guide;
    QSet<QString> present;
    const auto &known = journal.entries();
    // An event the calendar has as it is (or refused as it is) is not made again.
    const auto unchanged = [&](const QString &uid, int sequence) {
        const auto it = known.constFind(uid);
        return it != known.cend() && (it->sequence == sequence || it->refused == sequence);
    };
    choice.wanted = [&](const QString &uid, int sequence) { return !unchanged(uid, sequence); };
    const Status read = ics::eachEvent(target.location, choice, [&](const ics::EventText &e) {
        present.insert(e.uid);
        if (unchanged(e.uid, e.sequence))
            return Status::ok();
        const auto it = known.constFind(e.uid);
        out << Change { Change::Put, e.uid, e.sequence, ics::calendarText(e.vevent),
            it != known.cend() && it->sequence >= 0 ? it->etag : QString() };
        return Status::ok();
    });
    if (!read) {
        out.clear();
        qCWarning(dataLog).noquote() << "calendar sync:" << read.message();
        return read;
    }
    for (auto it = known.cbegin(); it != known.cend(); ++it)
        if (it->sequence >= 0 && !present.contains(it.key()))
            out << Change { Change::Delete, it.key(), it->sequence, {}, it->etag };
    return Status::ok();
}

Outcome carryOut(const Account &account, const Target &target, Journal &journal, const QList<Change> &changes,
    const std::atomic_bool *stop)
{
    Outcome o;
    const QString base = collection(target.calendarUrl);
    auto fail = [&](const QString &words) {
        if (o.status)
            o.status = Status::failure(words);
        o.log << words;
        qCWarning(dataLog).noquote() << "calendar sync:" << words;
    };
    auto send
        = [&](const QByteArray &method, const QString &url, const Headers &headers, const QByteArray &body) {
              ++o.requests;
              return request(account, method, url, headers, body);
          };
    // Whether the calendar itself is gone, asked when an event's address is refused.
    auto calendarGone = [&]() {
        const Reply r = send("PROPFIND", base, { { "Depth", "0" }, { "Content-Type", "application/xml" } },
            QByteArrayLiteral("<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/>"
                              "</d:prop></d:propfind>"));
        return gone(r);
    };
    // The round ends: a failure that every later request would meet too.
    auto stopsRound = [](const Reply &r) { return !r.status || r.code == 401 || r.code == 403; };

    for (qsizetype i = 0; i < changes.size(); ++i) {
        if (stop && stop->load()) {
            o.left = int(changes.size() - i);
            break;
        }
        const Change &c = changes.at(i);
        const QString url = base + resourceName(c.uid);
        Status written;
        if (c.kind == Change::Put) {
            const Headers type { { "Content-Type", "text/calendar; charset=utf-8" } };
            Headers first = type;
            first.append(
                c.etag.isEmpty() ? Header("If-None-Match", "*") : Header("If-Match", c.etag.toLatin1()));
            Reply r = send("PUT", url, first, c.text);
            bool over = false;
            if (r.status && r.code == 412) {
                // Changed (or put) in the calendar since this desk last wrote it:
                // the trip as the program has it is the truth.
                const Reply now = send("HEAD", url, {}, {});
                if (stopsRound(now)) {
                    r = now;
                } else {
                    Headers again = type;
                    if (gone(now))
                        again.append(Header("If-None-Match", "*"));
                    else if (!now.etag.isEmpty())
                        again.append(Header("If-Match", now.etag.toLatin1()));
                    r = send("PUT", url, again, c.text);
                    over = !c.etag.isEmpty() && !gone(now);
                }
            }
            if (stopsRound(r)) {
                fail(describe(r));
                o.left = int(changes.size() - i);
                break;
            }
            if (success(r)) {
                ++o.sent;
                if (over) {
                    ++o.overwritten;
                    o.log << QStringLiteral(
                        "The event %1 had been changed in the calendar; Brindlemoor's trip "
                        "was written over it.")
                                 .arg(summaryOf(c));
                }
                written = journal.put(c.uid, c.sequence, r.etag);
            } else if ((r.code == 404 || r.code == 409 || r.code == 410) && calendarGone()) {
                fail(QStringLiteral("The calendar is no longer on the server."));
                o.left = int(changes.size() - i);
                break;
            } else {
                fail(QStringLiteral("The server refused the event: %1 %2")
                         .arg(r.code)
                         .arg(r.reason)
                         .trimmed());
                o.log.last() = QStringLiteral("The server refused the event %1: %2 %3")
                                   .arg(summaryOf(c))
                                   .arg(r.code)
                                   .arg(r.reason)
                                   .trimmed();
                written = journal.refuse(c.uid, c.sequence);
            }
        } else {
            Headers condition;
            if (!c.etag.isEmpty())
                condition.append(Header("If-Match", c.etag.toLatin1()));
            Reply r = send("DELETE", url, condition, {});
            if (r.status && r.code == 412)
                r = send("DELETE", url, {}, {});
            if (stopsRound(r)) {
                fail(describe(r));
                o.left = int(changes.size() - i);
                break;
            }
            if (success(r) || gone(r)) {
                ++o.deleted;
                written = journal.remove(c.uid);
            } else {
                fail(QStringLiteral("The server refused to delete the event: %1 %2")
                         .arg(r.code)
                         .arg(r.reason)
                         .trimmed());
            }
        }
        if (!written) {
            fail(written.message());
            o.left = int(changes.size() - i - 1);
            break;
        }
    }
    return o;
}

} // namespace bm::calsync
