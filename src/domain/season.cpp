#include "domain/season.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace bm::season
{

namespace
{

namespace B = field::Booking;

// Fields and the table as statements name them.
QString quotedName(const char *name)
{
    return schema::quoted(QLatin1String(name));
}

QString columns(std::initializer_list<const char *> names)
{
    QStringList quoted;
    for (const char *name : names)
        quoted << quotedName(name);
    return quoted.join(QLatin1String(", "));
}

const QString bookingTable = quotedName(table::Booking);
const QString dateField = quotedName(B::Date);
const QString byGuide = QStringLiteral(" AND %1 = ?").arg(quotedName(B::Guide));

// A stored date begins with yyyy-MM-dd (QDate decides whether it is one).
const QString datedRows = db::sql::looksLikeDate(dateField);

// The largest count of fish one trip can report before it reads as a typo.
constexpr double maxCount = 1e9;

// A number token: digits with separators, or a fraction alone (".5").
std::optional<double> numberToken(const QString &token, const QLocale &locale)
{
    static const QRegularExpression plain(QStringLiteral("^\\d+$"));
    if (plain.match(token).hasMatch())
        return token.toDouble();
    // In the locale's own format: 1,250.5 (en) or 1.250,5 (de). The pattern
    // is made once for each pair of separators.
    static QHash<QString, QRegularExpression> patterns;
    const QString separators = locale.groupSeparator() + QLatin1Char('\n') + locale.decimalPoint();
    auto pattern = patterns.constFind(separators);
    if (pattern == patterns.constEnd()) {
        const QString dec = QRegularExpression::escape(locale.decimalPoint());
        const QString grp = QRegularExpression::escape(locale.groupSeparator());
        pattern = patterns.insert(separators,
            QRegularExpression(QStringLiteral("^(\\d{1,3}(?:%1\\d{3})+|\\d+)?(?:%2(\\d+))?$").arg(grp, dec)));
    }
    const QRegularExpressionMatch m = pattern->match(token);
    if (m.hasMatch() && !token.isEmpty()) {
        QString whole = m.captured(1);
        whole.remove(locale.groupSeparator());
        const QString fraction = m.captured(2);
        if (whole.isEmpty() && fraction.isEmpty())
            return std::nullopt;
        return (QStringLiteral("0") + whole + QLatin1Char('.') + fraction + QLatin1Char('0')).toDouble();
    }
    // A point is read as the decimal point whatever the locale: "5.5".
    static const QRegularExpression pointed(QStringLiteral("^\\d*\\.\\d+$"));
    if (pointed.match(token).hasMatch())
        return (QStringLiteral("0") + token).toDouble();
    return std::nullopt;
}

// Splits "12 fish" into the number and what follows it ("fish").
struct Reading {
    double value = 0;
    QString unit; // lower case, trimmed, without a final point
};

std::optional<Reading> readWithUnit(const QString &text, const QLocale &locale)
{
    static const QRegularExpression shape(QStringLiteral("^\\+?(\\d[\\d.,]*|[.,]\\d+)\\s*([\\p{L}.\"' #]*)$"),
        QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch m = shape.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const std::optional<double> value = numberToken(m.captured(1), locale);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    QString unit = m.captured(2).simplified().toLower();
    while (unit.endsWith(QLatin1Char('.')))
        unit.chop(1);
    return Reading { *value, unit };
}

bool isPounds(const QString &unit)
{
    static const QStringList units { QString(), QStringLiteral("lb"), QStringLiteral("lbs"),
        QStringLiteral("pound"), QStringLiteral("pounds"), QStringLiteral("#") };
    return units.contains(unit);
}

bool isOunces(const QString &unit)
{
    static const QStringList units { QStringLiteral("oz"), QStringLiteral("ounce"),
        QStringLiteral("ounces") };
    return units.contains(unit);
}

bool isKilograms(const QString &unit)
{
    static const QStringList units { QStringLiteral("kg"), QStringLiteral("kgs"), QStringLiteral("kilo"),
        QStringLiteral("kilos"), QStringLiteral("kilogram"), QStringLiteral("kilograms") };
    return units.contains(unit);
}

QString key(const QString &text)
{
    return text.simplified().toCaseFolded();
}

Status readFailure(const db::Query &q)
{
    return Status::failure(QStringLiteral("The bookings could not be read (%1).").arg(q.reason()));
}

Status tooLarge(const QString &what)
{
    return Status::failure(
        QStringLiteral("The %1 is too large to add up. Check the amounts of the bookings.").arg(what));
}

// An amount as stored, read as the screens read it. Empty gives none and ok;
// anything else that is not an amount is unreadable.
struct Amount {
    bool readable = true;
    std::optional<Money> money;
};

Amount storedAmount(const QVariant &v)
{
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return {};
    const QVariant typed = fieldvalue::fromStored(FieldKind::Amount, v);
    if (typed.isNull())
        return { false, std::nullopt };
    return { true, typed.value<Money>() };
}

QDate storedDate(const QVariant &v)
{
    return fieldvalue::fromStored(FieldKind::Date, v).toDate();
}

// Runs one query over the file (its ? bound in order).
Status runQuery(db::Query &q, const QString &sql, const QVariantList &binds = {})
{
    if (!q.run(sql, binds))
        return q.reason().isEmpty() ? q.status() : readFailure(q);
    return Status::ok();
}

// What is added up per lake and month while the rows are read.
struct Combo {
    QString lure;
    QString color;
    qint64 fish = 0;
    int trips = 0;
};

struct LakeMonth {
    QString lake;
    int month = 0;
    QHash<QString, Combo> combos;
    QStringList order; // combos in the order first seen, for equal counts
    qint64 allFish = 0;
    QString bigFish;
    std::optional<double> weight;
    QString length;
    QDate bigFishDate;
};

} // namespace

std::optional<double> readNumber(const QString &text, const QLocale &locale)
{
    const std::optional<Reading> r = readWithUnit(text, locale);
    if (!r)
        return std::nullopt;
    return r->value;
}

std::optional<qint64> readCount(const QString &text, const QLocale &locale)
{
    const QString t = text.simplified().toLower();
    if (t == QLatin1String("none") || t == QLatin1String("no fish"))
        return 0;
    const std::optional<Reading> r = readWithUnit(text, locale);
    if (!r || r->value != std::floor(r->value) || r->value > maxCount)
        return std::nullopt;
    return qint64(r->value);
}

std::optional<double> readWeight(const QString &text, const QLocale &locale)
{
    // Pounds and ounces: "5 lbs 4 oz", "5 lb. 4 oz.", "5lb 4oz".
    static const QRegularExpression both(QStringLiteral("^(.*?(?:lbs?|pounds?|#)\\.?)\\s*,?\\s*(\\S.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = both.match(text.trimmed());
    if (m.hasMatch()) {
        const std::optional<Reading> pounds = readWithUnit(m.captured(1), locale);
        const std::optional<Reading> ounces = readWithUnit(m.captured(2), locale);
        if (pounds && ounces && isPounds(pounds->unit) && isOunces(ounces->unit))
            return pounds->value + ounces->value / 16.0;
    }
    const std::optional<Reading> r = readWithUnit(text, locale);
    if (!r)
        return std::nullopt;
    if (isPounds(r->unit))
        return r->value;
    if (isOunces(r->unit))
        return r->value / 16.0;
    if (isKilograms(r->unit))
        return r->value / 0.45359237;
    return std::nullopt;
}

Status bookingYears(QList<int> &years, const QString &databasePath)
{
    years.clear();
    db::Query q(databasePath);
    if (Status s = runQuery(q,
            QStringLiteral("SELECT DISTINCT CAST(substr(%1, 1, 4) AS INTEGER) AS Year FROM %2 "
                           "WHERE %3 ORDER BY 1 DESC")
                .arg(dateField, bookingTable, datedRows));
        !s)
        return s;
    while (q.next())
        years.append(q.value(QStringLiteral("Year")).toInt());
    if (!q.status()) {
        years.clear();
        return readFailure(q);
    }
    return Status::ok();
}

Status summarize(int year, Summary &out, const QString &databasePath)
{
    return summarize(year, QString(), out, databasePath);
}

Status summarize(int year, const QString &guide, Summary &out, const QString &databasePath)
{
    out = Summary();
    out.year = year;
    out.guide = guide;
    out.current.year = year;
    out.previous.year = year - 1;
    if (year < 1001 || year > 9999)
        return Status::failure(QStringLiteral("%1 is not a year the bookings can have.").arg(year));

    // One pass over the table: the two years, and the bookings that belong
    // to no year (no date, or one that is not a date) to count them.
    // One guide's figures: what is left out is counted of his bookings too.
    QVariantList binds { QStringLiteral("%1-01-01").arg(year - 1, 4, 10, QLatin1Char('0')),
        QStringLiteral("%1-01-01").arg(year + 1, 4, 10, QLatin1Char('0')) };
    if (!guide.isEmpty())
        binds << guide;
    db::Query q(databasePath);
    if (Status s = runQuery(q,
            QStringLiteral("SELECT %1 FROM %2 WHERE ((%3 >= ? AND %3 < ?) OR %3 IS NULL OR NOT (%4))%5 "
                           "ORDER BY %3, ID")
                .arg(columns({ B::Date, B::TotalCharge, B::ChargeTotal, B::Species, B::TotalFish, B::Lake,
                         B::Lure, B::LureColor, B::BigFish, B::Weight, B::Length }),
                    bookingTable, dateField, datedRows, guide.isEmpty() ? QString() : byGuide),
            binds);
        !s)
        return s;

    QHash<QString, SpeciesCatch> species;
    QStringList speciesOrder;
    QHash<QString, LakeMonth> lakes;
    QStringList lakeOrder;
    QHash<QDate, sky::Phase> phases; // a season's trips share their days

    while (q.next()) {
        const QVariant stored = q.value(B::Date);
        const QDate date = storedDate(stored);
        if (!date.isValid()) {
            if (stored.toString().trimmed().isEmpty())
                ++out.leftOut.undated;
            else
                ++out.leftOut.badDate; // "soon", or 2025-02-30
            continue;
        }
        if (date.year() != year && date.year() != year - 1)
            continue; // "2025-06-01 morning" sorts after 2025-12-31
        const bool current = date.year() == year;
        YearFigures &figures = current ? out.current : out.previous;
        MonthFigures &month = figures.months[date.month() - 1];
        ++month.trips;
        ++figures.trips;

        const Amount invoiced = storedAmount(q.value(B::ChargeTotal));
        const Amount charged = storedAmount(q.value(B::TotalCharge));
        std::optional<Money> income;
        bool unreadable = false;
        if (!invoiced.readable)
            unreadable = true;
        else if (invoiced.money && *invoiced.money > Money())
            income = invoiced.money;
        else if (!charged.readable)
            unreadable = true;
        else
            income = charged.money;
        if (unreadable && current)
            ++out.leftOut.badCharge;
        if (income) {
            const auto m = month.income.plus(*income);
            const auto y = figures.income.plus(*income);
            if (!m || !y)
                return tooLarge(QStringLiteral("income of %1").arg(figures.year));
            month.income = *m;
            figures.income = *y;
        }
        if (!current)
            continue;

        // The trip's results.
        const QString fishText = q.value(B::TotalFish).toString();
        std::optional<qint64> fish;
        if (!fishText.trimmed().isEmpty()) {
            fish = readCount(fishText);
            if (!fish)
                ++out.leftOut.badFish;
        }
        const QString weightText = q.value(B::Weight).toString();
        std::optional<double> weight;
        if (!weightText.trimmed().isEmpty()) {
            weight = readWeight(weightText);
            if (!weight)
                ++out.leftOut.badWeight;
        }
        if (!fish && !weight)
            continue;

        if (fish) {
            ++out.tripsWithResults;
            out.fish += *fish;
            const QString name = q.value(B::Species).toString().simplified();
            const QString k = key(name);
            auto it = species.find(k);
            if (it == species.end()) {
                it = species.insert(k, SpeciesCatch { name, 0, 0 });
                speciesOrder.append(k);
            }
            it->fish += *fish;
            ++it->trips;

            auto phase = phases.constFind(date);
            if (phase == phases.constEnd())
                phase = phases.insert(date, sky::moonOn(date).phase);
            MoonCatch &moon = out.moon[int(*phase)];
            moon.fish += *fish;
            ++moon.trips;
        }

        const QString lake = q.value(B::Lake).toString().simplified();
        const QString lakeKey = key(lake) + QLatin1Char('\n') + QString::number(date.month());
        auto lm = lakes.find(lakeKey);
        if (lm == lakes.end()) {
            lm = lakes.insert(lakeKey, LakeMonth { lake, date.month(), {}, {}, 0, {}, {}, {}, {} });
            lakeOrder.append(lakeKey);
        }
        if (fish) {
            lm->allFish += *fish;
            const QString lure = q.value(B::Lure).toString().simplified();
            const QString color = q.value(B::LureColor).toString().simplified();
            const QString comboKey = key(lure) + QLatin1Char('\n') + key(color);
            auto c = lm->combos.find(comboKey);
            if (c == lm->combos.end()) {
                c = lm->combos.insert(comboKey, Combo { lure, color, 0, 0 });
                lm->order.append(comboKey);
            }
            c->fish += *fish;
            ++c->trips;
        }
        if (weight && (!lm->weight || *weight > *lm->weight)) {
            lm->weight = weight;
            lm->bigFish = q.value(B::BigFish).toString().simplified();
            lm->length = q.value(B::Length).toString().simplified();
            lm->bigFishDate = date;
        }
    }
    if (!q.status())
        return readFailure(q);

    for (const QString &k : std::as_const(speciesOrder))
        if (species.value(k).fish > 0)
            out.species.append(species.value(k));
    std::stable_sort(out.species.begin(), out.species.end(),
        [](const SpeciesCatch &a, const SpeciesCatch &b) { return a.fish > b.fish; });

    for (const QString &k : std::as_const(lakeOrder)) {
        const LakeMonth &lm = *lakes.constFind(k);
        LureMonth row;
        row.lake = lm.lake;
        row.month = lm.month;
        row.allFish = lm.allFish;
        row.bigFish = lm.bigFish;
        row.weight = lm.weight;
        row.length = lm.length;
        row.bigFishDate = lm.bigFishDate;
        // The most fish; among equals the most trips, then the first seen.
        const Combo *best = nullptr;
        for (const QString &c : lm.order) {
            const Combo &combo = *lm.combos.constFind(c);
            if (combo.lure.isEmpty() && combo.color.isEmpty())
                continue;
            if (!best || combo.fish > best->fish || (combo.fish == best->fish && combo.trips > best->trips))
                best = &combo;
        }
        if (best) {
            row.lure = best->lure;
            row.color = best->color;
            row.fish = best->fish;
            row.trips = best->trips;
        }
        out.lures.append(row);
    }
    std::stable_sort(out.lures.begin(), out.lures.end(), [](const LureMonth &a, const LureMonth &b) {
        const int byLake = QString::localeAwareCompare(a.lake.toCaseFolded(), b.lake.toCaseFolded());
        if (a.lake.isEmpty() != b.lake.isEmpty())
            return b.lake.isEmpty(); // no lake given: last
        return byLake != 0 ? byLake < 0 : a.month < b.month;
    });
    return Status::ok();
}

Status moneyOwed(MoneyOwed &out, const QString &databasePath)
{
    return moneyOwed(QString(), out, databasePath);
}

Status moneyOwed(const QString &guide, MoneyOwed &out, const QString &databasePath)
{
    out = MoneyOwed();
    // Text compares above every number, so unreadable balances come too.
    db::Query q(databasePath);
    if (Status s = runQuery(q,
            QStringLiteral("SELECT ID, %1 FROM %2 WHERE %3 > 0%4")
                .arg(columns({ B::Date, B::Name, B::Lake, B::BalanceDue }), bookingTable,
                    quotedName(B::BalanceDue), guide.isEmpty() ? QString() : byGuide),
            guide.isEmpty() ? QVariantList() : QVariantList { guide });
        !s)
        return s;
    while (q.next()) {
        const Amount balance = storedAmount(q.value(B::BalanceDue));
        if (!balance.readable) {
            ++out.unreadable;
            continue;
        }
        if (!balance.money || *balance.money <= Money())
            continue;
        const auto total = out.total.plus(*balance.money);
        if (!total)
            return tooLarge(QStringLiteral("money owed"));
        out.total = *total;
        out.bookings.append(OwedBooking { Bookmark { q.value(QStringLiteral("ID")).toLongLong() },
            storedDate(q.value(B::Date)), q.value(B::Name).toString(), q.value(B::Lake).toString(),
            *balance.money });
    }
    if (!q.status())
        return readFailure(q);
    std::stable_sort(
        out.bookings.begin(), out.bookings.end(), [](const OwedBooking &a, const OwedBooking &b) {
            if (a.date.isValid() != b.date.isValid())
                return a.date.isValid();
            if (a.date != b.date)
                return a.date < b.date;
            return a.booking.id < b.booking.id;
        });
    return Status::ok();
}

} // namespace bm::season
