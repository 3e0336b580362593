#include "core/entries.h"

#include <QRegularExpression>

namespace bm::entries
{

std::optional<QString> startTime(const QString &typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return QString();
    static const QRegularExpression form(QStringLiteral("^([01]?[0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    return QStringLiteral("%1:%2").arg(m.captured(1).toInt(), 2, 10, QLatin1Char('0')).arg(m.captured(2));
}

std::optional<QString> wholeNumber(const QString &typed, int lowest, int highest)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return QString();
    // Digits alone, and few enough that the number can not overflow: a sign,
    // a point or a thousands separator is not what the field keeps.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(t).hasMatch())
        return std::nullopt;
    const int n = t.toInt();
    if (n < lowest || n > highest)
        return std::nullopt;
    return QString::number(n);
}

} // namespace bm::entries
