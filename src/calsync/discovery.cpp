#include "calsync/discovery.h"

#include "calsync/davxml.h"
#include "core/log.h"

#include <QUrl>

namespace bm::calsync
{

namespace
{

const QByteArray principalBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:current-user-principal/></d:prop></d:propfind>");
const QByteArray homeBody
    = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                        "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>"
                        "<c:calendar-home-set/></d:prop></d:propfind>");
const QByteArray calendarsBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>"
    "<d:resourcetype/><d:displayname/><c:supported-calendar-component-set/></d:prop></d:propfind>");

Status failed(const QString &words)
{
    qCWarning(dataLog).noquote() << "calendar discovery:" << words;
    return Status::failure(words);
}

// One PROPFIND, its answer read; a failure in the guide's words.
Status propfind(const Account &account, const QString &url, const QByteArray &depth, const QByteArray &body,
    QList<DavResponse> &out)
{
    const Headers headers { { "Depth", depth }, { "Content-Type", "application/xml; charset=utf-8" } };
    Reply r = request(account, "PROPFIND", url, headers, body);
    // A server's well-known address usually points elsewhere on it: that
    // move is followed once, and only on the same server.
    QString asked = url;
    if (r.status && (r.code == 301 || r.code == 302 || r.code == 307 || r.code == 308)) {
        const QString moved = sameServer(url, r.location);
        if (!moved.isEmpty()) {
            asked = moved;
            r = request(account, "PROPFIND", moved, headers, body);
        }
    }
    if (!r.status)
        return r.status;
    if (r.code != 207) {
        if (r.code == 401 || r.code == 403)
            return failed(describe(r));
        return failed(QStringLiteral("No calendar was found at %1: the server answered %2 %3")
                          .arg(url)
                          .arg(r.code)
                          .arg(r.reason)
                          .trimmed());
    }
    return parseMultistatus(r.body, asked, out);
}

QString firstOf(const QList<DavResponse> &responses, QString DavResponse::*field)
{
    for (const DavResponse &r : responses)
        if (!(r.*field).isEmpty())
            return r.*field;
    return {};
}

} // namespace

Status findCalendars(const Account &account, QList<Calendar> &out)
{
    out.clear();
    QString base = account.server.trimmed();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QList<DavResponse> found;
    QString principal;
    Status first = propfind(account, base, "0", principalBody, found);
    if (first)
        principal = firstOf(found, &DavResponse::principal);
    if (principal.isEmpty()) {
        // The address may be the server's top only: ask its well-known place.
        const QString wellKnown = sameServer(base, QStringLiteral("/.well-known/caldav"));
        Status second = propfind(account, wellKnown, "0", principalBody, found);
        if (second)
            principal = firstOf(found, &DavResponse::principal);
        if (principal.isEmpty())
            return !first ? first
                : !second ? second
                          : failed(QStringLiteral("The server did not say where the user's "
                                                  "calendars are."));
    }
    if (Status s = propfind(account, principal, "0", homeBody, found); !s)
        return s;
    const QString home = firstOf(found, &DavResponse::home);
    if (home.isEmpty())
        return failed(QStringLiteral("The server did not say where the user's calendars are."));
    if (Status s = propfind(account, home, "1", calendarsBody, found); !s)
        return s;
    for (const DavResponse &r : found) {
        if (!r.calendar)
            continue;
        QString name = r.displayName;
        if (name.isEmpty()) {
            const QStringList parts = QUrl(r.href).path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
            name = parts.isEmpty() ? r.href : QUrl::fromPercentEncoding(parts.last().toUtf8());
        }
        out << Calendar { r.href, name, r.events };
    }
    return Status::ok();
}

} // namespace bm::calsync
