#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace bm::calsync
{

// One <response> of a WebDAV multistatus answer: its address and the
// properties the server found (status 200), by what they are.
struct DavResponse {
    QString href; // absolute, on the server asked; responses elsewhere are dropped
    bool calendar = false; // resourcetype holds a calendar
    bool events = true; // supported-calendar-component-set names VEVENT (or is absent)
    QString displayName;
    QString principal; // current-user-principal's href, absolute
    QString home; // calendar-home-set's href, absolute
    QString etag;
    QByteArray calendarData; // calendar-data of a REPORT
};

inline constexpr int maxDavResponses
    = 50000; // a calendar of twenty years of trips, within the 8 MB of an answer
inline constexpr int maxDavDepth = 64;

// Reads a multistatus answer to a request sent to requestUrl. Refuses a
// document type or entity declarations, nesting deeper than maxDavDepth and
// more than maxDavResponses responses.
[[nodiscard]] Status parseMultistatus(
    const QByteArray &xml, const QString &requestUrl, QList<DavResponse> &out);

} // namespace bm::calsync
