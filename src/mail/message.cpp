#include "mail/message.h"

#include <QList>
#include <QRandomGenerator>

#include <string_view>

namespace bm::mail
{

namespace
{

// RFC 5322 asks for lines of at most 78 characters; the composer keeps to
// that except for one very long address, which still stays far below 998.
constexpr qsizetype lineLimit = 78;
// UTF-8 bytes in one encoded word: 39 bytes make 52 base64 characters, 64
// with "=?UTF-8?B?" and "?=", which fits after the longest header name.
constexpr qsizetype wordBytes = 39;
// A plain word longer than this is encoded so that it can be split.
constexpr qsizetype longestPlainWord = 60;
constexpr qsizetype longestAddress = 254;
constexpr qsizetype longestLocalPart = 64;

bool isAtext(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

// Dot-separated runs of atext: no dot first, last or doubled.
bool isDotAtom(const QByteArray &text)
{
    if (text.isEmpty() || text.startsWith('.') || text.endsWith('.') || text.contains(".."))
        return false;
    for (char c : text)
        if (c != '.' && !isAtext(c))
            return false;
    return true;
}

bool isDomain(const QByteArray &domain)
{
    if (domain.isEmpty() || domain.size() > 253)
        return false;
    for (const QByteArray &label : domain.split('.')) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith('-') || label.endsWith('-'))
            return false;
        for (char c : label)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'))
                return false;
    }
    return true;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

// Why an address can not be sent to, in a guide's words; empty when it can.
QString addressProblem(const QString &address)
{
    if (address.isEmpty())
        return QStringLiteral("it is empty");
    if (address.size() > longestAddress)
        return QStringLiteral("it is longer than %1 characters").arg(longestAddress);
    for (const QChar c : address) {
        if (isControl(c.unicode()))
            return QStringLiteral("it holds a line break or another control character");
        if (c.isSpace())
            return QStringLiteral("it holds a blank");
        if (c == u',' || c == u';')
            return QStringLiteral("it holds a comma or semicolon, as a list of addresses would");
        if (c == u'<' || c == u'>')
            return QStringLiteral("it holds an angle bracket");
        if (c.unicode() > 0x7e)
            return QStringLiteral("it holds letters other than plain ASCII ones");
    }
    const qsizetype at = address.indexOf(u'@');
    if (at < 0)
        return QStringLiteral("it has no @");
    if (address.indexOf(u'@', at + 1) >= 0)
        return QStringLiteral("it has more than one @");
    const QByteArray local = address.left(at).toLatin1();
    const QByteArray domain = address.mid(at + 1).toLatin1();
    if (local.size() > longestLocalPart || !isDotAtom(local))
        return QStringLiteral("the part before the @ is not a mailbox name");
    if (!isDomain(domain))
        return QStringLiteral("the part after the @ is not a domain name");
    return {};
}

// An address as a message may show it: outside bytes, so bounded and with
// control characters made visible.
QString shown(const QString &address)
{
    const QList<uint> characters = address.toUcs4();
    QString out;
    for (const char32_t c : characters.mid(0, 80))
        out += isControl(c) ? QStringLiteral("?") : QString::fromUcs4(&c, 1);
    if (characters.size() > 80)
        out += QStringLiteral("...");
    return out;
}

Status checkAddress(const QString &address, const QString &whose)
{
    const QString problem = addressProblem(address);
    if (problem.isEmpty())
        return Status::ok();
    return Status::failure(
        QStringLiteral("%1 \"%2\" can not be used: %3.").arg(whose, shown(address), problem));
}

// Control characters become blanks, and blanks at either end go: a name or
// subject is one line of text.
QString neutralised(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (isControl(c))
            out += u' ';
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out.trimmed();
}

bool plainAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    // A text that looks like an encoded word would be decoded by the reader.
    return !text.contains(QLatin1String("=?"));
}

// The text as encoded words (RFC 2047, UTF-8, base64), each holding whole
// characters, so that a reader never sees half a character.
QList<QByteArray> encodedWords(const QString &text)
{
    QList<QByteArray> words;
    QByteArray chunk;
    const auto flush = [&] {
        if (!chunk.isEmpty())
            words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
        chunk.clear();
    };
    for (const char32_t c : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
        if (chunk.size() + bytes.size() > wordBytes)
            flush();
        chunk += bytes;
    }
    flush();
    return words;
}

// Plain words, split at single blanks; further blanks stay at the front of
// the next word, so that folding never makes a line of blanks alone.
QList<QByteArray> plainWords(const QByteArray &text)
{
    QList<QByteArray> words;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype j = i;
        while (j < text.size() && text[j] == ' ')
            ++j;
        while (j < text.size() && text[j] != ' ')
            ++j;
        words.append(text.mid(i, j - i));
        i = j + 1;
    }
    return words;
}

bool allShort(const QList<QByteArray> &words)
{
    for (const QByteArray &w : words)
        if (w.size() > longestPlainWord)
            return false;
    return true;
}

// One header field, its words laid out on lines of at most 78 characters
// where they fit; a line is folded before the blank that separates words.
QByteArray field(const char *name, const QList<QByteArray> &words)
{
    QByteArray out = name;
    out += ':';
    qsizetype lineStart = 0;
    bool first = true;
    for (const QByteArray &w : words) {
        if (!first && out.size() - lineStart + 1 + w.size() > lineLimit) {
            out += "\r\n";
            lineStart = out.size();
        }
        out += ' ';
        out += w;
        first = false;
    }
    return out + "\r\n";
}

QByteArray quotedString(const QByteArray &text)
{
    QByteArray out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

bool atomsOnly(const QByteArray &text)
{
    for (char c : text)
        if (c != ' ' && !isAtext(c))
            return false;
    return true;
}

// From, To or Reply-To: the name as atoms, a quoted string or encoded
// words, then the address in angle brackets.
QByteArray mailboxField(const char *name, const Mailbox &box)
{
    const QByteArray angle = '<' + box.address.toLatin1() + '>';
    const QString display = neutralised(box.name);
    if (display.isEmpty())
        return field(name, { box.address.toLatin1() });
    // A name holding an @ or a comma is encoded even though quoting would
    // do: a careless reader may split a quoted one into two addresses.
    if (plainAscii(display) && !display.contains(u'@') && !display.contains(u',')) {
        const QByteArray latin = display.toLatin1();
        const QByteArray phrase = atomsOnly(latin) ? latin : quotedString(latin);
        if (qsizetype(qstrlen(name)) + 2 + phrase.size() <= lineLimit)
            return field(name, { phrase, angle });
    }
    QList<QByteArray> words = encodedWords(display);
    words.append(angle);
    return field(name, words);
}

QByteArray subjectField(const QString &subject)
{
    const QString text = neutralised(subject);
    if (plainAscii(text)) {
        const QList<QByteArray> words = plainWords(text.toLatin1());
        if (allShort(words))
            return field("Subject", words);
    }
    return field("Subject", encodedWords(text));
}

// Quoted-printable (RFC 2045): lines of at most 76 characters, blanks at a
// line's end and every byte outside printable ASCII written as =XX. A line
// holding a lone "." stays as it is: the SMTP client doubles the dot.
QByteArray quotedPrintable(const QString &body)
{
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    // The body ends with a line end, which ends its last line.
    if (text.endsWith(u'\n'))
        text.chop(1);
    const QByteArray utf8 = text.toUtf8();
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 8 + 4);
    for (const QByteArray &line : utf8.split('\n')) {
        qsizetype length = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const auto c = uchar(line[i]);
            const bool last = i + 1 == line.size();
            QByteArray piece;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                piece = QByteArray(1, char(c));
            else
                piece = QByteArray(1, '=') + hex[c >> 4] + hex[c & 15];
            // 75 leaves room for the "=" of a soft line break.
            if (length + piece.size() > 75) {
                out += "=\r\n";
                length = 0;
            }
            out += piece;
            length += piece.size();
        }
        out += "\r\n";
    }
    return out;
}

bool plausibleMessageId(const QString &id)
{
    if (id.size() < 5 || id.size() > 250 || !id.startsWith(u'<') || !id.endsWith(u'>'))
        return false;
    for (const QChar c : id)
        if (c.unicode() > 0x7e)
            return false;
    const QList<QByteArray> parts = id.mid(1, id.size() - 2).toLatin1().split('@');
    return parts.size() == 2 && isDotAtom(parts[0]) && isDotAtom(parts[1]);
}

} // namespace

bool plausibleAddress(const QString &address)
{
    return addressProblem(address).isEmpty();
}

QString makeMessageId(const QString &senderAddress)
{
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    const QByteArray hex = QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex();
    QString domain = senderAddress.mid(senderAddress.lastIndexOf(u'@') + 1);
    if (!isDomain(domain.toLatin1()) || domain.size() > 200)
        domain = QStringLiteral("localhost");
    return QStringLiteral("<%1@%2>").arg(QString::fromLatin1(hex), domain);
}

QByteArray rfc5322Date(const QDateTime &when)
{
    static const char *const days[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
    static const char *const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return QByteArray(days[d.dayOfWeek() - 1]) + ", " + QByteArray::number(d.day()) + ' '
        + months[d.month() - 1] + ' ' + QByteArray::number(d.year()) + ' '
        + t.toString(QStringLiteral("hh:mm:ss")).toLatin1() + ' ' + (offset < 0 ? '-' : '+')
        + QByteArray::number(magnitude / 60).rightJustified(2, '0')
        + QByteArray::number(magnitude % 60).rightJustified(2, '0');
}

Status compose(Message &message, QByteArray &out)
{
    out.clear();
    if (Status s = checkAddress(message.from.address, QStringLiteral("The sender's address")); !s)
        return s;
    if (Status s = checkAddress(message.to.address, QStringLiteral("The recipient's address")); !s)
        return s;
    if (!message.replyTo.address.isEmpty())
        if (Status s = checkAddress(message.replyTo.address, QStringLiteral("The reply-to address")); !s)
            return s;
    if (message.messageId.isEmpty())
        message.messageId = makeMessageId(message.from.address);
    else if (!plausibleMessageId(message.messageId))
        return Status::failure(QStringLiteral("The message's ID \"%1\" is not of the form <name@domain>.")
                                   .arg(shown(message.messageId)));
    if (!message.date.isValid())
        message.date = QDateTime::currentDateTime();
    const QDate day = message.date.date();
    if (day.year() < 1900 || day.year() > 9999)
        return Status::failure(QStringLiteral("The message's date is not a date a mail program can read."));

    out += field("Date", { rfc5322Date(message.date) });
    out += field("Message-ID", { message.messageId.toLatin1() });
    out += mailboxField("From", message.from);
    out += mailboxField("To", message.to);
    if (!message.replyTo.address.isEmpty())
        out += mailboxField("Reply-To", message.replyTo);
    out += subjectField(message.subject);
    out += "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n"
           "\r\n";
    out += quotedPrintable(message.body);
    return Status::ok();
}

} // namespace bm::mail
