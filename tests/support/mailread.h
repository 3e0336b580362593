#pragma once

// A reader of a composed e-mail message for the tests and the mail fuzzer.
// It is written apart from the composer and reads by the RFCs' grammar, so
// it checks the composer rather than repeating it.

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>

namespace bm::test::mailread
{

struct Field {
    QByteArray name;
    QByteArray value; // unfolded, without the blank after the colon
};

struct Mailbox {
    QString name; // decoded
    QByteArray address;
};

struct Parsed {
    QList<Field> fields;
    QByteArray body;
    QString problem; // empty when the header block is well formed
    qsizetype longestLine = 0;

    QList<QByteArray> values(const QByteArray &name) const
    {
        QList<QByteArray> out;
        for (const Field &f : fields)
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                out.append(f.value);
        return out;
    }
};

// Header fields and body. Every header line must end with CRLF, hold no
// other CR or LF, be at most 998 characters, and be either "Name:" or a
// continuation starting with a blank that is not blank alone.
inline Parsed parse(const QByteArray &bytes)
{
    Parsed p;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0) {
        p.problem = QStringLiteral("no end of the header block");
        return p;
    }
    p.body = bytes.mid(end + 4);
    for (const QByteArray &line : bytes.left(end).split('\n')) {
        QByteArray l = line;
        if (l.endsWith('\r'))
            l.chop(1);
        p.longestLine = qMax(p.longestLine, l.size());
        if (l.contains('\r') || l.contains('\0')) {
            p.problem = QStringLiteral("a CR or NUL inside a header line");
            return p;
        }
        if (l.size() > 998) {
            p.problem = QStringLiteral("a header line over 998 characters");
            return p;
        }
        if (l.startsWith(' ') || l.startsWith('\t')) {
            if (p.fields.isEmpty() || l.trimmed().isEmpty()) {
                p.problem = QStringLiteral("a continuation line out of place");
                return p;
            }
            p.fields.last().value += l;
            continue;
        }
        const qsizetype colon = l.indexOf(':');
        if (colon <= 0) {
            p.problem = QStringLiteral("a header line without a name");
            return p;
        }
        Field f { l.left(colon), l.mid(colon + 1) };
        for (char c : f.name)
            if (c < 33 || c > 126) {
                p.problem = QStringLiteral("a header name with a blank or control character");
                return p;
            }
        if (f.value.startsWith(' '))
            f.value.remove(0, 1);
        p.fields.append(f);
    }
    // Every CR and LF of the block is one of a CRLF pair; the split above
    // can't tell a line's own CR from one before a cut.
    const QByteArray block = bytes.left(end);
    if (block.count('\n') != block.count("\r\n") || block.count('\r') != block.count("\r\n"))
        p.problem = QStringLiteral("a bare CR or LF in the header block");
    return p;
}

// RFC 2047: encoded words decoded, the blanks between two of them dropped.
inline QString decodeWords(const QByteArray &value)
{
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)"));
    const QString text = QString::fromLatin1(value);
    QString out;
    qsizetype at = 0;
    bool lastWasWord = false;
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString between = text.mid(at, m.capturedStart() - at);
        if (!(lastWasWord && between.trimmed().isEmpty()))
            out += between;
        QByteArray raw = m.captured(3).toLatin1();
        QByteArray bytes;
        if (m.captured(2).compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) {
            bytes = QByteArray::fromBase64(raw);
        } else {
            raw.replace('_', ' ');
            bytes = QByteArray::fromPercentEncoding(raw, '=');
        }
        QStringDecoder decode(m.captured(1).toLatin1().constData());
        out += decode.isValid() ? QString(decode(bytes)) : QString::fromLatin1(bytes);
        at = m.capturedEnd();
        lastWasWord = true;
    }
    out += text.mid(at);
    return out;
}

// The mailboxes of a From, To or Reply-To value (RFC 5322 mailbox-list):
// split at commas outside quotes, comments and angle brackets. False when
// the value is not such a list.
inline bool mailboxes(const QByteArray &value, QList<Mailbox> &out)
{
    out.clear();
    QList<QByteArray> items { QByteArray() };
    bool quoted = false;
    int comment = 0;
    bool angle = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (c == '\\' && i + 1 < value.size()) {
                // The escape and the escaped character, kept for the unquoting below.
                items.last() += c;
                items.last() += value[++i];
                continue;
            }
            if (c == '"')
                quoted = false;
        } else if (comment > 0) {
            comment += c == '(' ? 1 : c == ')' ? -1 : 0;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            ++comment;
        } else if (c == '<') {
            if (angle)
                return false;
            angle = true;
        } else if (c == '>') {
            if (!angle)
                return false;
            angle = false;
        } else if ((c == ',' || c == ';' || c == ':') && !angle) {
            if (c != ',')
                return false; // a group
            items.append(QByteArray());
            continue;
        }
        items.last() += c;
    }
    if (quoted || comment || angle)
        return false;
    for (const QByteArray &item : items) {
        Mailbox box;
        const qsizetype open = item.lastIndexOf('<');
        if (open >= 0) {
            const qsizetype close = item.indexOf('>', open);
            if (!item.mid(close + 1).trimmed().isEmpty())
                return false;
            box.address = item.mid(open + 1, close - open - 1);
            QByteArray phrase = item.left(open).trimmed();
            if (phrase.startsWith('"') && phrase.endsWith('"') && phrase.size() >= 2) {
                QByteArray plain;
                for (qsizetype i = 1; i + 1 < phrase.size(); ++i)
                    plain += phrase[i] == '\\' ? phrase[++i] : phrase[i];
                box.name = QString::fromUtf8(plain);
            } else {
                box.name = decodeWords(phrase);
            }
        } else {
            box.address = item.trimmed();
        }
        if (box.address.isEmpty() || box.address.count('@') != 1)
            return false;
        out.append(box);
    }
    return true;
}

inline QByteArray decodeQuotedPrintable(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
        } else if (text.mid(i + 1, 2) == "\r\n") {
            i += 2; // a soft line break
        } else {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        }
    }
    return out;
}

} // namespace bm::test::mailread
