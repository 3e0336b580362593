#include "mail/smtp.h"

#include <QHostAddress>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace bm::mail
{

namespace
{

// What the server says is outside bytes: a reason shows at most this much
// of it, and keeps no more while the conversation goes on.
constexpr qsizetype longestReply = 300;

// curl_global_init is not safe to run twice at once; a function's static is
// initialised once, whichever thread sends first.
bool curlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

QString cleaned(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes.left(longestReply * 4));
    for (QChar &c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f) || c == QChar(0x2028)
            || c == QChar(0x2029))
            c = u' ';
    text = text.simplified();
    if (text.size() > longestReply) {
        text.truncate(longestReply);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text += QStringLiteral("...");
    }
    return text;
}

// The conversation as libcurl's debug callback shows it: the server's
// replies, and the command each answered. Only a command's verb is kept:
// AUTH's lines carry the password.
struct Conversation {
    QByteArray command; // the last command sent: MAIL, RCPT, DATA, AUTH, ...
    QByteArray reply; // the reply being read, line by line
    // The first reply that refused something (4xx or 5xx), else the last.
    QByteArray lastReply;
    int lastCode = 0;
    QByteArray refusedCommand;
    bool refused = false;

    void line(QByteArray text)
    {
        while (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        if (text.size() < 3)
            return;
        for (int i = 0; i < 3; ++i)
            if (text[i] < '0' || text[i] > '9')
                return;
        const int lineCode = text.left(3).toInt();
        if (reply.size() < longestReply * 4)
            reply += (reply.isEmpty() ? "" : " ") + text.mid(4).left(longestReply * 4);
        if (text.size() > 3 && text[3] == '-')
            return; // more lines of the same reply follow
        if (!refused) {
            lastReply = reply;
            lastCode = lineCode;
            if (lineCode >= 400) {
                refused = true;
                refusedCommand = command;
            }
        }
        reply.clear();
    }
};

int debugCallback(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *talk = static_cast<Conversation *>(user);
    const QByteArray bytes(data, qsizetype(std::min<size_t>(size, 16384)));
    if (type == CURLINFO_HEADER_IN) {
        for (const QByteArray &l : bytes.split('\n'))
            if (!l.isEmpty())
                talk->line(l);
    } else if (type == CURLINFO_HEADER_OUT) {
        // A line that is no command continues the login (a name or password).
        static const QList<QByteArray> verbs { "EHLO", "HELO", "STARTTLS", "AUTH", "MAIL", "RCPT", "DATA",
            "QUIT" };
        const QByteArray verb = bytes.left(8).split(' ').first().trimmed().toUpper();
        if (verbs.contains(verb))
            talk->command = verb;
    }
    return 0;
}

struct Upload {
    const QByteArray *bytes;
    qsizetype at = 0;
};

size_t readCallback(char *buffer, size_t size, size_t count, void *user)
{
    auto *up = static_cast<Upload *>(user);
    const qsizetype n = qMin<qsizetype>(qsizetype(size * count), up->bytes->size() - up->at);
    std::memcpy(buffer, up->bytes->constData() + up->at, size_t(n));
    up->at += n;
    return size_t(n);
}

// What a reason says of a message the outbox will send again.
QString triedLater()
{
    return QStringLiteral(" It will be tried again later.");
}

bool loopback(const QString &host)
{
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

SendResult result(SendResult::Outcome outcome, const QString &reason, const Conversation &talk = {})
{
    SendResult r;
    r.outcome = outcome;
    r.reason = reason;
    r.replyCode = talk.lastCode;
    r.reply = cleaned(talk.lastReply);
    return r;
}

SendResult checkSettings(const SmtpSettings &s)
{
    if (!plausibleHost(s.host))
        return result(SendResult::Setup,
            QStringLiteral("The mail server's name \"%1\" is not a host name or address.")
                .arg(cleaned(s.host.toUtf8())));
    if (s.port < 1 || s.port > 65535)
        return result(
            SendResult::Setup, QStringLiteral("The mail server's port must be a number from 1 to 65535."));
    if (s.connectTimeoutMs < 1 || s.timeoutMs < 1)
        return result(
            SendResult::Setup, QStringLiteral("The mail settings' waiting times must be above zero."));
    if (s.security == Security::None && !s.user.isEmpty() && !loopback(s.host))
        return result(SendResult::Setup,
            QStringLiteral("The password for %1 would travel unencrypted. Choose STARTTLS or TLS in the mail "
                           "settings.")
                .arg(s.host));
    return {};
}

bool certificateTrouble(CURLcode code)
{
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return true;
    default:
        return false;
    }
}

// Sorts a failed send into what the guide can do about it.
SendResult judge(
    CURLcode code, const char *curlSays, const Conversation &talk, const SmtpSettings &s, const Message &m)
{
    const QString server = s.host;
    const QString detail = cleaned(QByteArray(curlSays));
    const QString answer = QStringLiteral("%1 %2").arg(talk.lastCode).arg(cleaned(talk.lastReply)).trimmed();
    const QString said
        = talk.lastCode > 0 ? QStringLiteral(" The server answered \"%1\".").arg(answer) : QString();
    const QString later = triedLater();

    if (certificateTrouble(code)
        || (code == CURLE_SSL_CONNECT_ERROR
            && detail.contains(QLatin1String("certificate"), Qt::CaseInsensitive)))
        return result(SendResult::Setup,
            QStringLiteral(
                "The certificate of the mail server %1 is not trusted (%2), so nothing was sent. "
                "Check the server's name in the mail settings, or ask the mail provider which name to use.")
                .arg(server, detail),
            talk);
    switch (code) {
    case CURLE_USE_SSL_FAILED:
        return result(SendResult::Setup,
            QStringLiteral(
                "The mail server %1 does not offer an encrypted connection (STARTTLS), so nothing was "
                "sent. Check the security setting and the port in the mail settings.")
                .arg(server),
            talk);
    case CURLE_SSL_CONNECT_ERROR:
        if (s.security == Security::Tls && talk.lastCode == 0
            && detail.contains(QLatin1String("wrong version number"), Qt::CaseInsensitive))
            return result(SendResult::Setup,
                QStringLiteral("The mail server %1 does not speak TLS on port %2. Check the security setting "
                               "and the port in the mail settings.")
                    .arg(server)
                    .arg(s.port),
                talk);
        return result(SendResult::Temporary,
            QStringLiteral("The encrypted connection to the mail server %1 could not be made (%2).%3")
                .arg(server, detail, later),
            talk);
    case CURLE_COULDNT_RESOLVE_HOST:
        return result(SendResult::Temporary,
            QStringLiteral(
                "The mail server %1 could not be found. If this goes on, check its name in the mail "
                "settings.%2")
                .arg(server, later),
            talk);
    case CURLE_COULDNT_CONNECT:
        return result(SendResult::Temporary,
            QStringLiteral("The mail server %1 did not take a connection on port %2.%3")
                .arg(server)
                .arg(s.port)
                .arg(later),
            talk);
    case CURLE_OPERATION_TIMEDOUT:
        return result(SendResult::Temporary,
            QStringLiteral("The mail server %1 did not answer in time.%2").arg(server, later), talk);
    case CURLE_LOGIN_DENIED:
        if (talk.lastCode >= 400 && talk.lastCode < 500)
            return result(SendResult::Temporary,
                QStringLiteral("The mail server %1 could not check the login just now.%2%3")
                    .arg(server, said, later),
                talk);
        return result(SendResult::Setup,
            QStringLiteral(
                "The mail server %1 did not accept the user name and password.%2 Check them in the "
                "mail settings.")
                .arg(server, said),
            talk);
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_NOT_BUILT_IN:
        return result(SendResult::Setup,
            QStringLiteral("The mail settings can not be used to reach %1 (%2).").arg(server, detail), talk);
    default:
        break;
    }
    // The server refused a command: 530 asks for a login, 4xx puts off, 5xx refuses.
    if (talk.lastCode == 530 || (talk.lastCode >= 500 && talk.refusedCommand == "AUTH"))
        return result(SendResult::Setup,
            QStringLiteral(
                "The mail server %1 asks for a login.%2 Enter a user name and password in the mail "
                "settings.")
                .arg(server, said),
            talk);
    if (talk.lastCode >= 400 && talk.lastCode < 500)
        return result(SendResult::Temporary,
            QStringLiteral("The mail server %1 put the message off for now.%2%3").arg(server, said, later),
            talk);
    if (talk.lastCode >= 500) {
        QString what = QStringLiteral("refused the message");
        if (talk.refusedCommand == "RCPT")
            what = QStringLiteral("refused the address %1").arg(m.to.address);
        else if (talk.refusedCommand == "MAIL")
            what = QStringLiteral("refused the sender's address %1").arg(m.from.address);
        return result(SendResult::Permanent,
            QStringLiteral("The mail server %1 %2, so the message was not sent.%3").arg(server, what, said),
            talk);
    }
    return result(SendResult::Temporary,
        QStringLiteral("The connection to the mail server %1 failed (%2).%3").arg(server, detail, later),
        talk);
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using List = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

} // namespace

bool plausibleHost(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    if (!QHostAddress(host).isNull())
        return true;
    for (const QChar c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'.' && c != u'-')
            return false;
    return !host.startsWith(u'.') && !host.startsWith(u'-');
}

SendResult send(const SmtpSettings &settings, Message &message)
{
    QByteArray bytes;
    if (Status s = compose(message, bytes); !s)
        return result(SendResult::Permanent, s.message());
    if (SendResult bad = checkSettings(settings); !bad.reason.isEmpty())
        return bad;
    if (!curlReady())
        return result(SendResult::Temporary, QStringLiteral("The mail library could not be started."));
    Easy curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return result(SendResult::Temporary, QStringLiteral("The mail library could not be started."));

    const bool implicitTls = settings.security == Security::Tls;
    const QString host = QHostAddress(settings.host).protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(settings.host)
        : settings.host;
    const QByteArray url = QStringLiteral("%1://%2:%3")
                               .arg(implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"), host)
                               .arg(settings.port)
                               .toUtf8();
    // compose() accepted both addresses: plain ASCII, without brackets or blanks.
    const QByteArray from = '<' + message.from.address.toLatin1() + '>';
    List recipients(curl_slist_append(nullptr, ('<' + message.to.address.toLatin1() + '>').constData()),
        &curl_slist_free_all);
    if (!recipients)
        return result(SendResult::Temporary, QStringLiteral("The mail library could not be started."));

    Upload upload { &bytes };
    Conversation talk;
    char curlSays[CURL_ERROR_SIZE] = {};
    CURL *c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(settings.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(settings.timeoutMs));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curlSays);
    // StartTls: the message goes only over an encrypted connection; a server
    // that does not offer one fails the send rather than get it in clear.
    if (settings.security == Security::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    const QByteArray caFile = settings.caFile.toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readCallback);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(bytes.size()));
    // The debug callback is how the server's replies are heard; verbose only
    // turns it on, nothing is printed.
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, debugCallback);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &talk);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

    const CURLcode code = curl_easy_perform(c);
    long replyCode = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &replyCode);
    if (replyCode > 0 && replyCode < 1000 && talk.lastCode == 0)
        talk.lastCode = int(replyCode);
    if (code == CURLE_OK)
        return result(SendResult::Sent, QStringLiteral("Sent to %1.").arg(message.to.address), talk);
    return judge(code, curlSays, talk, settings, message);
}

SendResult sendTestMessage(const SmtpSettings &settings, const Mailbox &from, const Mailbox &to)
{
    Message m;
    m.from = from;
    m.to = to;
    m.subject = QStringLiteral("Brindlemoor test message");
    m.body = QStringLiteral("This message checks Brindlemoor's mail settings: it went out through %1.\n"
                            "It needs no answer.\n")
                 .arg(settings.host);
    SendResult r = send(settings, m);
    // Nobody sends a test message again: the guide reads the reason at once.
    r.reason.remove(triedLater());
    return r;
}

} // namespace bm::mail
