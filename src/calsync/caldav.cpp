#include "calsync/caldav.h"

#include "core/log.h"

#include <QUrl>

#include <curl/curl.h>

#include <memory>

namespace bm::calsync
{

namespace
{

// curl_global_init is not safe to run twice at once; a function's static is
// initialised once, whichever thread asks first.
bool curlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

constexpr qsizetype maxHeaderLine = 8 * 1024;
constexpr qsizetype maxReason = 300;
constexpr qsizetype maxEtag = 200;

// Text from a server shown to the guide: printable, one line, bounded.
QString shownText(QByteArrayView bytes, qsizetype limit = maxReason)
{
    QString text = QString::fromUtf8(bytes.first(std::min(bytes.size(), limit * 4)));
    QString out;
    out.reserve(std::min(text.size(), limit));
    for (const QChar c : text) {
        if (out.size() >= limit)
            break;
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            continue;
        out += c;
    }
    return out.trimmed();
}

struct Collected {
    QByteArray body;
    bool tooLong = false;
    bool badHeader = false;
    QString etag;
    QString location;
    QString statusText;
};

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *c = static_cast<Collected *>(user);
    const size_t n = size * count;
    if (c->body.size() + qsizetype(n) > maxAnswerBytes) {
        c->tooLong = true;
        return 0; // aborts the transfer
    }
    c->body.append(data, qsizetype(n));
    return n;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *c = static_cast<Collected *>(user);
    const size_t n = size * count;
    if (qsizetype(n) > maxHeaderLine) {
        c->badHeader = true;
        return 0;
    }
    const QByteArrayView line(data, qsizetype(n));
    if (line.startsWith("HTTP/")) {
        // A new answer (after a 100 Continue): "HTTP/1.1 507 Insufficient Storage".
        c->etag.clear();
        c->location.clear();
        const QByteArrayView rest = line.trimmed();
        const qsizetype first = rest.indexOf(' ');
        const qsizetype second = first < 0 ? -1 : rest.indexOf(' ', first + 1);
        c->statusText = second < 0 ? QString() : shownText(rest.sliced(second + 1));
        return n;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return n;
    const QByteArrayView name = line.first(colon).trimmed();
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    // Kept only when short and printable: they go into later requests.
    auto printable = [&](qsizetype limit) {
        bool ok = value.size() > 0 && value.size() <= limit;
        for (const char ch : value)
            ok = ok && ch >= 0x21 && ch <= 0x7e;
        return ok ? QString::fromLatin1(value) : QString();
    };
    if (name.compare("etag", Qt::CaseInsensitive) == 0)
        c->etag = printable(maxEtag);
    else if (name.compare("location", Qt::CaseInsensitive) == 0)
        c->location = printable(2048);
    return n;
}

bool loopback(const QString &host)
{
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("::1")
        || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

struct Easy {
    CURL *c = curl_easy_init();
    curl_slist *headers = nullptr;
    ~Easy()
    {
        curl_slist_free_all(headers);
        if (c)
            curl_easy_cleanup(c);
    }
};

Reply unanswered(const QString &words)
{
    Reply r;
    r.reason = words;
    r.status = Status::failure(words);
    qCWarning(dataLog).noquote() << "calendar server:" << words;
    return r;
}

} // namespace

QString sameServer(const QString &base, const QString &href)
{
    const QUrl b(base);
    const QUrl resolved = b.resolved(QUrl(href.trimmed()));
    if (!resolved.isValid() || resolved.scheme().compare(b.scheme(), Qt::CaseInsensitive) != 0
        || resolved.host().compare(b.host(), Qt::CaseInsensitive) != 0
        || resolved.port(b.scheme() == QLatin1String("https") ? 443 : 80)
            != b.port(b.scheme() == QLatin1String("https") ? 443 : 80))
        return {};
    return resolved.toString(QUrl::FullyEncoded);
}

Reply request(const Account &account, const QByteArray &method, const QString &url, const Headers &headers,
    const QByteArray &body)
{
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return unanswered(QStringLiteral("The server could not be reached: %1 is not a web address.")
                              .arg(shownText(url.toUtf8())));
    if (scheme == QLatin1String("http") && !account.password.isEmpty() && !loopback(address.host()))
        return unanswered(QStringLiteral("The password is not sent without encryption: the server's address "
                                         "must begin with https://."));
    if (!curlReady())
        return unanswered(
            QStringLiteral("The server could not be reached: the network library could not start."));
    Easy easy;
    if (!easy.c)
        return unanswered(
            QStringLiteral("The server could not be reached: the network library could not start."));
    CURL *c = easy.c;
    Collected got;
    const QByteArray target = address.toEncoded();
    curl_easy_setopt(c, CURLOPT_URL, target.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L); // a move is the server's answer, not followed
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(std::max(1000, account.timeoutMs)));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(std::max(1000, account.timeoutMs)));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxAnswerBytes));
    const QByteArray caFile = account.caFile.toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    const QByteArray user = account.user.toUtf8(), password = account.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    if (method == "HEAD")
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    else if (method != "GET")
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.constData());
    if (!body.isEmpty() || method == "PUT" || method == "PROPFIND" || method == "REPORT") {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.constData());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    }
    easy.headers = curl_slist_append(easy.headers, "Expect:");
    for (const auto &[name, value] : headers) {
        if (name.contains('\n') || name.contains('\r') || value.contains('\n') || value.contains('\r'))
            continue;
        easy.headers = curl_slist_append(easy.headers, QByteArray(name + ": " + value).constData());
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, easy.headers);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &got);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &got);
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);

    const CURLcode result = curl_easy_perform(c);
    Reply reply;
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    reply.code = int(code);
    reply.etag = got.etag;
    reply.location = got.location;
    reply.body = std::move(got.body);
    if (got.tooLong || result == CURLE_FILESIZE_EXCEEDED)
        return unanswered(QStringLiteral("The server's answer was longer than %1 MB and was not read.")
                              .arg(maxAnswerBytes / (1024 * 1024)));
    if (got.badHeader)
        return unanswered(QStringLiteral("The server could not be reached: it sent a malformed answer."));
    if (result != CURLE_OK) {
        const QString words
            = shownText(error[0] ? QByteArrayView(error) : QByteArrayView(curl_easy_strerror(result)));
        switch (result) {
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return unanswered(
                QStringLiteral("The server's certificate could not be verified: %1.").arg(words));
        default:
            return unanswered(QStringLiteral("The server could not be reached: %1.").arg(words));
        }
    }
    reply.reason = got.statusText;
    return reply;
}

QString describe(const Reply &reply)
{
    if (!reply.status)
        return reply.status.message();
    if (reply.code >= 200 && reply.code < 300)
        return {};
    if (reply.code == 401 || reply.code == 403)
        return QStringLiteral("The server refused the user name or password.");
    if (reply.code == 404 || reply.code == 410)
        return QStringLiteral("The calendar is no longer on the server.");
    return QStringLiteral("The server refused the event: %1 %2").arg(reply.code).arg(reply.reason).trimmed();
}

} // namespace bm::calsync
