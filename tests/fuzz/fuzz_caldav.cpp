// A calendar server's answers: the first byte picks the reader, the rest is
// what the server sent. Even: a WebDAV multistatus (discovery, a REPORT);
// odd: calendar data read for busy time.

#include "fuzzsupport.h"

#include "calsync/busy.h"
#include "calsync/davxml.h"

#include <QUrl>

using namespace bm;
using namespace bm::calsync;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes = fuzz::bytesOf(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        const QString asked = QStringLiteral("https://cal.example.com:8443/dav/guide/");
        QList<DavResponse> responses;
        if (const Status s = parseMultistatus(bytes, asked, responses); !s) {
            FUZZ_CHECK(responses.isEmpty() || !s.message().isEmpty());
            FUZZ_CHECK(!s.message().isEmpty());
            return 0;
        }
        FUZZ_CHECK(responses.size() <= maxDavResponses);
        const QUrl base(asked);
        for (const DavResponse &r : responses) {
            // Every address kept is on the server asked.
            for (const QString &href : { r.href, r.principal, r.home }) {
                if (href.isEmpty())
                    continue;
                const QUrl u(href);
                FUZZ_CHECK(u.scheme() == base.scheme() && u.host() == base.host() && u.port() == base.port());
            }
            FUZZ_CHECK(!r.href.isEmpty());
        }
        return 0;
    }
    const QDate from(2027, 1, 1), to(2027, 12, 31);
    QList<BusyTime> busy;
    if (const Status s = parseBusy(bytes, from, to, busy); !s) {
        FUZZ_CHECK(!s.message().isEmpty());
        return 0;
    }
    FUZZ_CHECK(busy.size() <= maxOccurrences);
    for (const BusyTime &b : busy) {
        FUZZ_CHECK(b.start.isValid() && b.end.isValid());
        FUZZ_CHECK(b.start <= b.end);
        FUZZ_CHECK(b.summary.size() <= maxSummaryLength);
        for (const QChar c : b.summary)
            FUZZ_CHECK(c.category() != QChar::Other_Control);
    }
    return 0;
}
