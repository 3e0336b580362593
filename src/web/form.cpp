#include "web/form.h"

#include <QStringDecoder>

namespace bm::web
{

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool fromUtf8(const QByteArray &bytes, QString &out)
{
    if (bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = utf8.decode(bytes);
    return !utf8.hasError();
}

bool decodePart(const QByteArray &part, QString &out)
{
    QByteArray bytes;
    bytes.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%') {
            if (i + 2 >= part.size())
                return false;
            const int hi = hexValue(part[i + 1]);
            const int lo = hexValue(part[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            bytes += char(hi * 16 + lo);
            i += 2;
        } else {
            bytes += c;
        }
    }
    return fromUtf8(bytes, out);
}

bool readForm(const QByteArray &body, const QList<QByteArray> &names, QHash<QByteArray, QString> &out,
    const FormLimits &limits)
{
    out.clear();
    if (body.size() > limits.maxBody)
        return false;
    QHash<QByteArray, QString> fields;
    int count = 0;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        if (++count > limits.maxFields)
            return false;
        const qsizetype eq = pair.indexOf('=');
        const QByteArray name = eq < 0 ? pair : pair.left(eq);
        QString value;
        if (!names.contains(name) || fields.contains(name)
            || !decodePart(eq < 0 ? QByteArray() : pair.mid(eq + 1), value)
            || value.toUtf8().size() > limits.maxValue)
            return false;
        fields.insert(name, value);
    }
    out = fields;
    return true;
}

} // namespace bm::web
