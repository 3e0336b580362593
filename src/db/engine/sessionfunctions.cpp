#include "db/engine/sessionfunctions.h"

#include "core/dates.h"

namespace bm::db
{

namespace
{

QString sqlText(const QString &text)
{
    QString q = text;
    q.replace(u'\'', QLatin1String("''"));
    return u'\'' + q + u'\'';
}

} // namespace

QStringList sessionFunctions(const QLocale &locale)
{
    QStringList sql;
    // amount(): ten-thousandths rounded half away from zero to cents; the
    // file prints no sign for an amount that rounds to zero.
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.amount(v numeric) RETURNS text LANGUAGE sql IMMUTABLE AS $f$ "
        "SELECT CASE WHEN v IS NULL OR v = 'NaN' OR abs(v) > 9.2e18 THEN NULL ELSE "
        "(SELECT CASE WHEN c < 0 THEN %1 ELSE '' END || CAST(trunc(abs(c) / 100) AS text) || %2 "
        "|| lpad(CAST(abs(c) % 100 AS text), 2, '0') FROM (SELECT round(round(v) / 100) AS c) AS x) END $f$")
               .arg(sqlText(locale.negativeSign()), sqlText(locale.decimalPoint()));
    sql << QStringLiteral("CREATE FUNCTION pg_temp.amount(v bigint) RETURNS text LANGUAGE sql IMMUTABLE AS "
                          "$f$ SELECT pg_temp.amount(CAST(v AS numeric)) $f$");
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.amount(v double precision) RETURNS text LANGUAGE sql IMMUTABLE AS "
        "$f$ SELECT CASE WHEN v IN ('NaN', 'Infinity', '-Infinity') THEN NULL "
        "ELSE pg_temp.amount(CAST(v AS numeric)) END $f$");
    // A text counts when it is a whole number, as the file's engine reads it.
    sql << QStringLiteral("CREATE FUNCTION pg_temp.amount(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$ "
                          "SELECT CASE WHEN v ~ '^\\s*[-+]?[0-9]{1,19}\\s*$' AND CAST(trim(v) AS numeric) "
                          "BETWEEN -9223372036854775808 AND 9223372036854775807 "
                          "THEN pg_temp.amount(CAST(trim(v) AS numeric)) END $f$");

    // shortdate(): the locale's short format (its year in four digits),
    // piece by piece as QLocale writes it, the names and digits taken from
    // the locale itself.
    const QString format = shortDateFormat(locale);
    auto names = [&](const QString &token, bool days) {
        QStringList all;
        for (int k = 0; k < (days ? 7 : 12); ++k)
            all << sqlText(
                locale.toString(days ? QDate(2024, 1, 1).addDays(k) : QDate(2001, k + 1, 1), token));
        return QStringLiteral("(ARRAY[%1])[CAST(extract(%2 FROM d) AS int)]")
            .arg(all.join(u','), days ? QStringLiteral("isodow") : QStringLiteral("month"));
    };
    QString digits;
    for (int k = 0; k < 10; ++k)
        digits += locale.toString(k);
    auto number = [&](const char *pattern) {
        const QString piece = QStringLiteral("to_char(d, '%1')").arg(QLatin1String(pattern));
        return digits == QLatin1String("0123456789")
            ? piece
            : QStringLiteral("translate(%1, '0123456789', %2)").arg(piece, sqlText(digits));
    };
    QStringList pieces;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            pieces << sqlText(literal);
        literal.clear();
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'\'') {
            // Quoted text; two quotes are one.
            qsizetype j = i + 1;
            if (j < format.size() && format[j] == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            while (j < format.size()) {
                if (format[j] == u'\'') {
                    if (j + 1 < format.size() && format[j + 1] == u'\'') {
                        literal += u'\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                literal += format[j++];
            }
            i = j + 1;
            continue;
        }
        if (c == u'd' || c == u'M') {
            run = std::min<qsizetype>(run, 4);
            flush();
            const bool day = c == u'd';
            if (run == 1)
                pieces << number(day ? "FMDD" : "FMMM");
            else if (run == 2)
                pieces << number(day ? "DD" : "MM");
            else
                pieces << names(QString(run, c), day);
            i += run;
            continue;
        }
        if (c == u'y' && run >= 2) {
            flush();
            const bool four = run >= 4;
            pieces << number(four ? "YYYY" : "YY");
            i += four ? 4 : 2;
            continue;
        }
        literal += c;
        ++i;
    }
    flush();
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.shortdate(v text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$ "
        "DECLARE p text[]; d date; BEGIN "
        "IF v IS NULL THEN RETURN NULL; END IF; "
        "p := regexp_match(v, '^([0-9]{4})[-./:,;_]([0-9]{2})[-./:,;_]([0-9]{2})($|[^0-9])'); "
        "IF p IS NULL OR CAST(p[1] AS int) = 0 THEN RETURN v; END IF; "
        "BEGIN d := make_date(CAST(p[1] AS int), CAST(p[2] AS int), CAST(p[3] AS int)); "
        "EXCEPTION WHEN others THEN RETURN v; END; "
        "RETURN %1; END $f$")
               .arg(pieces.isEmpty() ? QStringLiteral("''") : pieces.join(QStringLiteral(" || ")));
    sql << QStringLiteral(
        "CREATE FUNCTION pg_temp.shortdate(v bigint) RETURNS text LANGUAGE sql IMMUTABLE AS "
        "$f$ SELECT CAST(v AS text) $f$");
    return sql;
}

} // namespace bm::db
