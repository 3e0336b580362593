// A message composed from a client's name, address and subject and a body,
// the input's four parts split at the byte 0x1F (a fifth is the Message-ID).
// When composing succeeds the header block holds each header once, no line
// holds a CR or LF of its own, To names exactly the one address given, and
// the subject, name and body read back as they were given, control
// characters blanked. An address is refused exactly when plausibleAddress
// says it is not one.

#include "fuzzsupport.h"

#include "mail/message.h"
#include "mailread.h"

#include <QSet>

using namespace bm;
namespace mr = bm::test::mailread;

namespace
{

QString blanked(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f) || c.unicode() == 0x2028
                || c.unicode() == 0x2029
            ? u' '
            : c;
    return out.trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = (fuzz::quietLogs(), true);
    (void)quiet;
    const QList<QByteArray> parts = fuzz::bytesOf(data, size).split('\x1f');
    const auto part = [&](int i) { return QString::fromUtf8(parts.value(i)); };

    mail::Message m;
    m.from = { QStringLiteral("guide@tallow-lake.com"), QStringLiteral("Tallow Lake Guiding") };
    m.to = { part(1), part(0) };
    m.subject = part(2);
    m.body = part(3);
    m.messageId = part(4);
    m.date = QDateTime(QDate(2025, 6, 14), QTime(6, 0), Qt::UTC);
    QByteArray bytes;
    const Status s = mail::compose(m, bytes);
    if (!s) {
        FUZZ_CHECK(bytes.isEmpty());
        FUZZ_CHECK(!mail::plausibleAddress(m.to.address) || parts.size() > 4);
        return 0;
    }
    FUZZ_CHECK(mail::plausibleAddress(m.to.address));

    const mr::Parsed p = mr::parse(bytes);
    FUZZ_CHECK(p.problem.isEmpty());
    QSet<QByteArray> names;
    for (const mr::Field &f : p.fields)
        names.insert(f.name);
    FUZZ_CHECK(names.size() == p.fields.size());
    FUZZ_CHECK(names
        == QSet<QByteArray>({ "Date", "Message-ID", "From", "To", "Subject", "MIME-Version", "Content-Type",
            "Content-Transfer-Encoding" }));
    QList<mr::Mailbox> to;
    FUZZ_CHECK(mr::mailboxes(p.values("To").value(0), to));
    FUZZ_CHECK(to.size() == 1);
    FUZZ_CHECK(to[0].address == m.to.address.toLatin1());
    FUZZ_CHECK(to[0].name == blanked(m.to.name));
    FUZZ_CHECK(mr::decodeWords(p.values("Subject").value(0)) == blanked(m.subject));
    FUZZ_CHECK(p.longestLine <= 998);

    for (const QByteArray &line : p.body.split('\n'))
        FUZZ_CHECK(line.size() <= 77);
    QString body = m.body;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    if (!body.endsWith(u'\n'))
        body += u'\n';
    FUZZ_CHECK(mr::decodeQuotedPrintable(p.body) == body.replace(u'\n', QLatin1String("\r\n")).toUtf8());
    return 0;
}
