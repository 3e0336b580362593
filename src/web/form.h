#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// A form a browser sent (application/x-www-form-urlencoded), read with
// bounds before anything else sees it: at most `maxFields` fields of the
// names the form has, each once, each value at most `maxValue` bytes once
// decoded, all of it UTF-8. Anything else is not a form of ours.
namespace bm::web
{

struct FormLimits {
    qsizetype maxBody = 16 * 1024;
    int maxFields = 16;
    qsizetype maxValue = 4000;
};

// The fields by name; false (and nothing in out) when the body is not such
// a form.
bool readForm(const QByteArray &body, const QList<QByteArray> &names, QHash<QByteArray, QString> &out,
    const FormLimits &limits = FormLimits());

// Bytes as UTF-8 text; false when they are not, or hold a NUL.
bool fromUtf8(const QByteArray &bytes, QString &out);

// Percent-decoding of one part of a form or query ('+' is a blank); false on
// a broken escape, a NUL or bytes that are not UTF-8.
bool decodePart(const QByteArray &part, QString &out);

} // namespace bm::web
