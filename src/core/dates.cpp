#include "core/dates.h"

#include <QRegularExpression>

namespace bm
{

QString shortDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

QString shortDate(const QDate &date, const QLocale &locale)
{
    return date.isValid() ? locale.toString(date, shortDateFormat(locale)) : QString();
}

QString shortDateTime(const QDateTime &moment, const QLocale &locale)
{
    if (!moment.isValid())
        return {};
    const QDateTime local = moment.toLocalTime();
    return shortDate(local.date(), locale) + QLatin1Char(' ')
        + locale.toString(local.time(), QLocale::ShortFormat);
}

QDate parseDate(const QString &text, const QLocale &locale)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    QDate d = locale.toDate(t, shortDateFormat(locale));
    if (d.isValid())
        return d;
    d = QDate::fromString(t, Qt::ISODate);
    if (d.isValid())
        return d;
    d = locale.toDate(t, QLocale::ShortFormat);
    if (d.isValid() && d.year() < 1950)
        d = d.addYears(100); // a two-digit year means this century or the last fifty years
    return d;
}

} // namespace bm
