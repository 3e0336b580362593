#include "domain/catches.h"

#include "db/fieldvalue.h"
#include "db/query.h"
#include "domain/failures.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace bm::catches
{

namespace C = field::Catch;
namespace B = field::Booking;

using domain::failed;
using domain::where;

bool asksOriginAndStage(const QString &species)
{
    // "King Salmon", "Hatchery Steelhead", "coho": any word of the name; the
    // words that name other fish too ("king mackerel", "pink shrimp") only
    // alone.
    static const QSet<QString> words { QStringLiteral("salmon"), QStringLiteral("steelhead"),
        QStringLiteral("chinook"), QStringLiteral("coho"), QStringLiteral("sockeye"),
        QStringLiteral("chum") };
    static const QSet<QString> alone { QStringLiteral("king"), QStringLiteral("silver"),
        QStringLiteral("pink") };
    static const QRegularExpression nonWord(
        QStringLiteral("\\W+"), QRegularExpression::UseUnicodePropertiesOption);
    const QStringList parts = species.toCaseFolded().split(nonWord, Qt::SkipEmptyParts);
    if (parts.size() == 1 && alone.contains(parts.first()))
        return true;
    return std::any_of(parts.cbegin(), parts.cend(), [](const QString &p) { return words.contains(p); });
}

QList<QDate> tripDays(const QDate &start, const QString &days)
{
    if (!start.isValid())
        return {};
    bool ok = false;
    const int n = QLocale().toInt(days.trimmed(), &ok);
    const int length = ok && n >= 1 ? std::min(n, longestTrip) : 1;
    QList<QDate> list;
    for (int i = 0; i < length; ++i)
        list << start.addDays(i);
    return list;
}

namespace
{

// A count as typed: empty is none; anything but a whole number from 0 to
// mostFish is refused.
bool countOf(const QString &typed, int &n)
{
    n = 0;
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return true;
    bool ok = false;
    n = QLocale().toInt(text, &ok);
    return ok && n >= 0 && n <= mostFish;
}

Status refused(Refusal *refusal, int row, Refusal::Column column, const QString &why)
{
    if (refusal)
        *refusal = { row, column };
    return Status::failure(QStringLiteral("Line %1: %2").arg(row + 1).arg(why));
}

const QString &lineFields()
{
    static const QString fields = [] {
        QStringList names;
        for (const char *f : { C::Booking, C::Day, C::Site, C::Water, C::Angler, C::Species, C::Origin,
                 C::LifeStage, C::Kept, C::Released })
            names << schema::quoted(QLatin1String(f));
        return names.join(QLatin1String(", "));
    }();
    return fields;
}

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

Status checked(const QList<TypedLine> &typed, QList<Line> &lines, Refusal *refusal)
{
    lines.clear();
    QList<Line> out;
    for (int row = 0; row < typed.size(); ++row) {
        const TypedLine &t = typed[row];
        Line line;
        line.angler = t.angler.trimmed();
        line.species = t.species.trimmed();
        if (line.angler.isEmpty())
            return refused(refusal, row, Refusal::Angler, QStringLiteral("please choose the angler."));
        const auto notACount = [&](const QString &what, const QString &text) {
            return QStringLiteral("the number %1, \"%2\", is not a whole number from 0 to %3.")
                .arg(what, text.trimmed())
                .arg(mostFish);
        };
        if (!countOf(t.kept, line.kept))
            return refused(refusal, row, Refusal::Kept, notACount(QStringLiteral("kept"), t.kept));
        if (!countOf(t.released, line.released))
            return refused(
                refusal, row, Refusal::Released, notACount(QStringLiteral("released"), t.released));
        if (line.species.isEmpty() && line.kept + line.released > 0)
            return refused(refusal, row, Refusal::Species,
                QStringLiteral("please enter the species of the fish %1 caught.").arg(line.angler));
        if (asksOriginAndStage(line.species)) {
            line.origin = t.origin.trimmed();
            line.stage = t.stage.trimmed();
            if (line.origin != QLatin1String(catchOrigin::hatchery)
                && line.origin != QLatin1String(catchOrigin::wild))
                return refused(refusal, row, Refusal::Origin,
                    QStringLiteral("please choose whether the %1 was of hatchery or wild origin.")
                        .arg(line.species));
            if (line.stage != QLatin1String(catchStage::adult)
                && line.stage != QLatin1String(catchStage::jack))
                return refused(refusal, row, Refusal::Stage,
                    QStringLiteral("please choose whether the %1 was an adult or a jack.").arg(line.species));
        }
        out << line;
    }
    lines = std::move(out);
    return Status::ok();
}

Status read(qint64 booking, QList<SiteDay> &siteDays, const QString &path)
{
    siteDays.clear();
    const QString what = QStringLiteral("The catch of the trip could not be read");
    db::Query q(where(path));
    if (const Status s = q.run(QStringLiteral("SELECT %2 FROM %1 WHERE %3 = ? ORDER BY %4, ID")
                                   .arg(schema::quoted(table::Catch), lineFields(),
                                       schema::quoted(C::Booking), schema::quoted(C::Day)),
            { QString::number(booking) });
        !s)
        return failed(what, s);
    QList<SiteDay> read;
    while (q.next()) {
        const QDate day = fieldvalue::fromStored(FieldKind::Date, q.value(C::Day)).toDate();
        const QString site = q.value(C::Site).toString();
        auto group = std::find_if(
            read.begin(), read.end(), [&](const SiteDay &g) { return g.day == day && g.site == site; });
        if (group == read.end()) {
            read.append({ day, site, q.value(C::Water).toString(), {} });
            group = read.end() - 1;
        }
        // Counts are written as whole numbers; one a tool wrote otherwise
        // counts as none.
        group->lines.append({ q.value(C::Angler).toString(), q.value(C::Species).toString(),
            q.value(C::Origin).toString(), q.value(C::LifeStage).toString(),
            q.value(C::Kept).toString().toInt(), q.value(C::Released).toString().toInt() });
    }
    if (!q.status())
        return failed(what, q.status());
    siteDays = std::move(read);
    return Status::ok();
}

Totals totalsOf(const QList<SiteDay> &siteDays)
{
    Totals totals;
    QStringList order;
    QHash<QString, int> bySpecies;
    for (const SiteDay &g : siteDays)
        for (const Line &l : g.lines) {
            const int fish = l.kept + l.released;
            totals.fish += fish;
            if (l.species.isEmpty() || fish == 0)
                continue;
            if (!bySpecies.contains(l.species))
                order << l.species;
            bySpecies[l.species] += fish;
        }
    int most = 0;
    for (const QString &species : std::as_const(order))
        if (bySpecies.value(species) > most) {
            most = bySpecies.value(species);
            totals.topSpecies = species;
        }
    return totals;
}

Status save(qint64 booking, const SiteDay &siteDay, const QString &path)
{
    const QString what = QStringLiteral("The catch could not be saved");
    if (!siteDay.day.isValid())
        return failed(what, Status::failure(QStringLiteral("no day of the trip was chosen.")));
    if (siteDay.site.trimmed().isEmpty())
        return failed(what, Status::failure(QStringLiteral("no site was chosen.")));
    const QString at = where(path);
    const QString key = QString::number(booking);
    const QString day = siteDay.day.toString(Qt::ISODate);
    db::Transaction t(at);
    if (const Status s = t.begin(); !s)
        return failed(what, s);
    QVariant found;
    if (const Status s = t.single(
            QStringLiteral("SELECT COUNT(*) AS n FROM %1 WHERE ID = ?").arg(schema::quoted(table::Booking)),
            { booking }, found);
        !s)
        return failed(what, s);
    if (found.toInt() != 1)
        return failed(what, Status::failure(QStringLiteral("the booking is no longer there.")));
    if (const Status s = t.write(table::Catch,
            QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 = ? AND %4 = ?")
                .arg(schema::quoted(table::Catch), schema::quoted(C::Booking), schema::quoted(C::Day),
                    schema::quoted(C::Site)),
            { key, day, siteDay.site });
        !s)
        return failed(what, s);
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(schema::quoted(table::Catch), lineFields());
    for (const Line &l : siteDay.lines)
        if (const Status s = t.write(table::Catch, insert,
                { key, day, siteDay.site, textOrNull(siteDay.water), l.angler, textOrNull(l.species),
                    textOrNull(l.origin), textOrNull(l.stage), QString::number(l.kept),
                    QString::number(l.released) });
            !s)
            return failed(what, s);

    // The trip's results, from every line it now has (the transaction's
    // connection reads what it wrote).
    QList<SiteDay> all;
    if (const Status s = read(booking, all, at); !s)
        return failed(what, s);
    if (!all.isEmpty()) {
        const Totals totals = totalsOf(all);
        db::Written written;
        if (const Status s = t.write(table::Booking,
                QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?")
                    .arg(schema::quoted(table::Booking), schema::quoted(B::TotalFish)),
                { QString::number(totals.fish), booking }, &written);
            !s)
            return failed(what, s);
        if (written.rowsAffected != 1)
            return failed(what, Status::failure(QStringLiteral("the booking is no longer there.")));
        if (!totals.topSpecies.isEmpty())
            if (const Status s = t.write(table::Booking,
                    QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ? AND (%2 IS NULL OR %2 = '')")
                        .arg(schema::quoted(table::Booking), schema::quoted(B::Species)),
                    { totals.topSpecies, booking });
                !s)
                return failed(what, s);
    }
    if (const Status s = t.commit(); !s)
        return failed(what, s);
    return Status::ok();
}

} // namespace bm::catches
