#include "domain/logbook.h"

#include "core/dates.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "domain/catches.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace bm::logbook
{

namespace
{

namespace B = field::Booking;
namespace P = field::Party;
namespace C = field::Catch;

// A trip longer than this is read as this many days: a typing mistake in
// Days must not make a trip of every day for years.
constexpr int maxDays = 99;

QString q(const char *name)
{
    return schema::quoted(QLatin1String(name));
}

QString key(const QString &name)
{
    return name.simplified().toCaseFolded();
}

QDate storedDate(const QVariant &v)
{
    return fieldvalue::fromStored(FieldKind::Date, v).toDate();
}

QString isoDate(const QDate &d)
{
    return d.toString(Qt::ISODate);
}

// The trips that may have a day in [first, last]: dated up to maxDays
// before it, not cancelled, requested or a no-show, of the guide if one is
// given. Its ? are bound by tripBinds().
QString tripCondition(bool byGuide)
{
    const QString date = QStringLiteral("substr(%1, 1, 10)").arg(q(B::Date));
    QString where = QStringLiteral("%1 AND %2 >= ? AND %2 <= ? AND (%3 IS NULL OR %3 NOT IN (?, ?, ?))")
                        .arg(db::sql::looksLikeDate(q(B::Date)), date, q(B::Status));
    if (byGuide)
        where += QStringLiteral(" AND %1 = ?").arg(q(B::Guide));
    return where;
}

QVariantList tripBinds(const QDate &first, const QDate &last, const QString &guide)
{
    QVariantList binds { isoDate(first.addDays(1 - maxDays)), isoDate(last),
        QString::fromLatin1(bookingStatus::cancelled), QString::fromLatin1(bookingStatus::requested),
        QString::fromLatin1(bookingStatus::noShow) };
    if (!guide.isEmpty())
        binds << guide;
    return binds;
}

Status readFailure(const QString &what, const Status &s)
{
    return Status::failure(QStringLiteral("The logbook could not be read: %1 (%2)").arg(what, s.message()));
}

struct Trip {
    Bookmark booking;
    QDate start;
    int days = 1;
    QString guide;
    QString lake;
    QString client;
};

struct Person {
    QString name, license, role;
};

struct CatchLine {
    QDate day;
    QString site, water, angler;
    Line line;
};

// What one trip-day must show, said once however many lines say it.
class DayProblems
{
public:
    DayProblems(QList<Problem> &out, Bookmark booking, const QDate &day)
        : m_out(out)
        , m_booking(booking)
        , m_day(day)
    {
    }
    void add(const QString &text)
    {
        if (!m_said.contains(text)) {
            m_said.insert(text);
            m_out.append({ m_booking, m_day, text });
        }
    }

private:
    QList<Problem> &m_out;
    Bookmark m_booking;
    QDate m_day;
    QSet<QString> m_said;
};

bool needsLicense(const Person &p, bool fished)
{
    return p.role != QLatin1String(partyRole::crew) || fished;
}

QString named(const QString &name)
{
    return name.trimmed().isEmpty() ? QStringLiteral("an angler without a name") : name.trimmed();
}

// The visits and problems of one day of one trip.
void logDay(const Trip &trip, const QDate &day, const QList<Person> &party, const QList<CatchLine> &lines,
    const QString &guideName, const QString &guideLicense, const QHash<QString, QString> &siteNames,
    Month &out)
{
    DayProblems problems(out.problems, trip.booking, day);
    if (guideName.trimmed().isEmpty())
        problems.add(QStringLiteral("The trip has no guide."));
    else if (guideLicense.trimmed().isEmpty())
        problems.add(QStringLiteral("The licence number of guide %1 is missing.").arg(guideName));

    QSet<QString> members, fished;
    for (const Person &p : party)
        members.insert(key(p.name));
    for (const CatchLine &c : lines)
        fished.insert(key(c.angler));
    for (const Person &p : party)
        if (needsLicense(p, fished.contains(key(p.name))) && p.license.trimmed().isEmpty())
            problems.add(QStringLiteral("The fishing licence number of %1 (%2) is missing.")
                             .arg(named(p.name), p.role.isEmpty() ? QStringLiteral("no role") : p.role));
    if (lines.isEmpty())
        problems.add(QStringLiteral("No catch is entered for this day (enter \"nothing caught\" for each "
                                    "angler who fished)."));

    for (const CatchLine &c : lines) {
        if (c.site.isEmpty())
            problems.add(QStringLiteral("A catch line of %1 has no site code.").arg(named(c.angler)));
        if (catches::asksOriginAndStage(c.line.species)
            && (c.line.origin.trimmed().isEmpty() || c.line.stage.trimmed().isEmpty()))
            problems.add(QStringLiteral("The %1 of %2 needs its origin (hatchery or wild) and life stage "
                                        "(adult or jack).")
                             .arg(c.line.species.trimmed(), named(c.angler)));
        if (!members.contains(key(c.angler)))
            problems.add(QStringLiteral("%1 has a catch line but is not in the party.").arg(named(c.angler)));
    }

    // One visit per site, in the order of the codes; a day without lines is
    // one visit of the trip's lake.
    QStringList sites;
    for (const CatchLine &c : lines)
        if (!sites.contains(c.site))
            sites << c.site;
    if (sites.isEmpty())
        sites << QString();
    for (const QString &site : std::as_const(sites)) {
        Visit v { trip.booking, day, guideName, guideLicense, QString(), site, siteNames.value(site), {} };
        for (const Person &p : party)
            v.anglers.append({ p.name, p.license, p.role, {} });
        for (const CatchLine &c : lines) {
            if (c.site != site)
                continue;
            if (v.water.isEmpty())
                v.water = c.water;
            auto a = std::find_if(v.anglers.begin(), v.anglers.end(),
                [&](const Angler &x) { return key(x.name) == key(c.angler); });
            if (a == v.anglers.end()) {
                v.anglers.append({ c.angler, QString(), QString(), {} });
                a = v.anglers.end() - 1;
            }
            a->lines.append(c.line);
        }
        if (v.water.isEmpty())
            v.water = trip.lake.trimmed();
        out.visits.append(v);
    }
}

} // namespace

Status read(const QDate &month, const QString &guide, Month &out, const QString &location)
{
    out = Month();
    if (!month.isValid())
        return Status::failure(QStringLiteral("The logbook needs a month."));
    const QDate first(month.year(), month.month(), 1);
    const QDate last = first.addMonths(1).addDays(-1);
    out.first = first;
    const QString trips = tripCondition(!guide.isEmpty());
    const QVariantList binds = tripBinds(first, last, guide);
    const QString tripKeys = QStringLiteral("SELECT CAST(%1 AS TEXT) FROM %2 WHERE %3")
                                 .arg(QLatin1String(schema::keyColumn), q(table::Booking), trips);

    db::Query b(location);
    if (Status s = b.run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7 WHERE %8 ORDER BY %2, %1")
                             .arg(QLatin1String(schema::keyColumn), q(B::Date), q(B::Days), q(B::Guide),
                                 q(B::Lake), q(B::Name), q(table::Booking), trips),
            binds);
        !s)
        return readFailure(QStringLiteral("the bookings"), s);
    QList<Trip> tripList;
    while (b.next()) {
        Trip t { { b.value(QLatin1String(schema::keyColumn)).toLongLong() },
            storedDate(b.value(QLatin1String(B::Date))), 1,
            b.value(QLatin1String(B::Guide)).toString().trimmed(), b.value(QLatin1String(B::Lake)).toString(),
            b.value(QLatin1String(B::Name)).toString() };
        bool ok = false;
        const int days = b.value(QLatin1String(B::Days)).toString().trimmed().toInt(&ok);
        t.days = ok && days > 0 ? std::min(days, maxDays) : 1;
        if (t.start.isValid() && t.start.addDays(t.days - 1) >= first)
            tripList.append(t);
    }
    if (!b.status())
        return readFailure(QStringLiteral("the bookings"), b.status());

    QHash<qint64, QList<Person>> parties;
    db::Query p(location);
    if (Status s = p.run(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %1 IN (%6) ORDER BY %7")
                             .arg(q(P::Booking), q(P::Angler), q(P::License), q(P::Role), q(table::Party),
                                 tripKeys, QLatin1String(schema::keyColumn)),
            binds);
        !s)
        return readFailure(QStringLiteral("the parties"), s);
    while (p.next())
        parties[p.value(QLatin1String(P::Booking)).toString().trimmed().toLongLong()].append(
            { p.value(QLatin1String(P::Angler)).toString().trimmed(),
                p.value(QLatin1String(P::License)).toString().trimmed(),
                p.value(QLatin1String(P::Role)).toString().trimmed() });
    if (!p.status())
        return readFailure(QStringLiteral("the parties"), p.status());

    // The catch of the month's days, by trip and day.
    QHash<qint64, QMap<QDate, QList<CatchLine>>> catches;
    db::Query c(location);
    QVariantList catchBinds = binds;
    catchBinds << isoDate(first) << isoDate(last);
    if (Status s
        = c.run(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6, %7, %8, %9, %10 FROM %11 "
                               "WHERE %1 IN (%12) AND substr(%2, 1, 10) >= ? AND substr(%2, 1, 10) <= ? "
                               "ORDER BY %2, %3, %13")
                    .arg(q(C::Booking), q(C::Day), q(C::Site), q(C::Water), q(C::Angler), q(C::Species),
                        q(C::Origin), q(C::LifeStage), q(C::Kept))
                    .arg(q(C::Released), q(table::Catch), tripKeys, QLatin1String(schema::keyColumn)),
            catchBinds);
        !s)
        return readFailure(QStringLiteral("the catch"), s);
    while (c.next()) {
        CatchLine l { storedDate(c.value(QLatin1String(C::Day))),
            c.value(QLatin1String(C::Site)).toString().trimmed(),
            c.value(QLatin1String(C::Water)).toString().trimmed(),
            c.value(QLatin1String(C::Angler)).toString().trimmed(),
            { c.value(QLatin1String(C::Species)).toString().trimmed(),
                c.value(QLatin1String(C::Kept)).toString().trimmed(),
                c.value(QLatin1String(C::Released)).toString().trimmed(),
                c.value(QLatin1String(C::Origin)).toString().trimmed(),
                c.value(QLatin1String(C::LifeStage)).toString().trimmed() } };
        catches[c.value(QLatin1String(C::Booking)).toString().trimmed().toLongLong()][l.day].append(l);
    }
    if (!c.status())
        return readFailure(QStringLiteral("the catch"), c.status());

    QHash<QString, QString> siteNames;
    db::Query sc(location);
    if (Status s
        = sc.run(QStringLiteral("SELECT %1, %2 FROM %3")
                     .arg(q(field::SiteCodes::Code), q(field::SiteCodes::Name), q(table::SiteCodes)));
        !s)
        return readFailure(QStringLiteral("the site codes"), s);
    while (sc.next())
        siteNames.insert(sc.value(QLatin1String(field::SiteCodes::Code)).toString().trimmed(),
            sc.value(QLatin1String(field::SiteCodes::Name)).toString().trimmed());
    if (!sc.status())
        return readFailure(QStringLiteral("the site codes"), sc.status());

    QHash<QString, QString> rosterLicense;
    db::Query g(location);
    if (Status s = g.run(QStringLiteral("SELECT %1, %2 FROM %3")
                             .arg(q(field::Guides::Name), q(field::Guides::License), q(table::Guides)));
        !s)
        return readFailure(QStringLiteral("the guides"), s);
    while (g.next())
        rosterLicense.insert(g.value(QLatin1String(field::Guides::Name)).toString().trimmed(),
            g.value(QLatin1String(field::Guides::License)).toString().trimmed());
    if (!g.status())
        return readFailure(QStringLiteral("the guides"), g.status());

    QString ownName, ownLicense;
    db::Query gi(location);
    if (Status s = gi.run(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4 LIMIT 1")
                              .arg(q(field::GuideInfo::GuideName), q(field::GuideInfo::License),
                                  q(table::GuideInfo), QLatin1String(schema::keyColumn)));
        !s)
        return readFailure(QStringLiteral("the guide's details"), s);
    if (gi.next()) {
        ownName = gi.value(QLatin1String(field::GuideInfo::GuideName)).toString().trimmed();
        ownLicense = gi.value(QLatin1String(field::GuideInfo::License)).toString().trimmed();
    }
    if (!gi.status())
        return readFailure(QStringLiteral("the guide's details"), gi.status());

    for (const Trip &t : std::as_const(tripList)) {
        // The guide of the roster by his name; a booking without one, or a
        // single guide's file without a roster, is the Guide Info's.
        QString guideName = t.guide, guideLicense;
        if (guideName.isEmpty()) {
            guideName = ownName;
            guideLicense = ownLicense;
        } else if (rosterLicense.contains(guideName)) {
            guideLicense = rosterLicense.value(guideName);
        } else if (rosterLicense.isEmpty() || guideName == ownName) {
            guideLicense = ownLicense;
        }
        QList<Person> party = parties.value(t.booking.id);
        if (party.isEmpty())
            party.append({ t.client.trimmed(), QString(), QString::fromLatin1(partyRole::client) });
        QMap<QDate, QList<CatchLine>> byDay = catches.value(t.booking.id);
        for (int d = 0; d < t.days; ++d) {
            const QDate day = t.start.addDays(d);
            if (day < first || day > last)
                continue;
            logDay(t, day, party, byDay.take(day), guideName, guideLicense, siteNames, out);
        }
        // Lines of the month on a day the trip does not have.
        for (auto it = byDay.cbegin(); it != byDay.cend(); ++it)
            out.problems.append({ t.booking, it.key(),
                QStringLiteral("%1 catch line(s) on %2, which is not a day of this trip.")
                    .arg(it.value().size())
                    .arg(shortDate(it.key())) });
    }
    // By date, then trip (the trips are read by their date), then site.
    std::stable_sort(
        out.visits.begin(), out.visits.end(), [](const Visit &a, const Visit &b) { return a.date < b.date; });
    std::stable_sort(out.problems.begin(), out.problems.end(),
        [](const Problem &a, const Problem &b) { return a.date < b.date; });
    return Status::ok();
}

QStringList columnNames()
{
    return { QStringLiteral("Date"), QStringLiteral("Guide"), QStringLiteral("Guide License"),
        QStringLiteral("Water"), QStringLiteral("Site Code"), QStringLiteral("Site"),
        QStringLiteral("Angler"), QStringLiteral("Angler License"), QStringLiteral("Role"),
        QStringLiteral("Species"), QStringLiteral("Kept"), QStringLiteral("Released"),
        QStringLiteral("Origin"), QStringLiteral("Life Stage") };
}

QList<QStringList> tableRows(const Month &month, QList<int> *visitOfRow)
{
    QList<QStringList> rows;
    for (const Visit &v : month.visits) {
        const qsizetype before = rows.size();
        const QStringList head { isoDate(v.date), v.guide, v.guideLicense, v.water, v.site, v.siteName };
        for (const Angler &a : v.anglers) {
            const QStringList who { a.name, a.license, a.role };
            if (a.lines.isEmpty())
                rows.append(
                    head + who + QStringList { QString(), QString(), QString(), QString(), QString() });
            for (const Line &l : a.lines) {
                const QString species = l.species.isEmpty() ? QStringLiteral("Nothing caught") : l.species;
                const QString kept = l.species.isEmpty() && l.kept.isEmpty() ? QStringLiteral("0") : l.kept;
                const QString released
                    = l.species.isEmpty() && l.released.isEmpty() ? QStringLiteral("0") : l.released;
                rows.append(head + who + QStringList { species, kept, released, l.origin, l.stage });
            }
        }
        if (visitOfRow)
            for (qsizetype i = before; i < rows.size(); ++i)
                visitOfRow->append(int(&v - month.visits.constData()));
    }
    return rows;
}

QString reminderText(const QDate &month)
{
    return QStringLiteral("Send the state's logbook for %1")
        .arg(QLocale(QLocale::English).toString(month, QStringLiteral("MMMM yyyy")));
}

Status planReminder(const QDate &today, QString &lastPlanned, Reminded &outcome, const QString &location)
{
    const QDate month = QDate(today.year(), today.month(), 1).addMonths(-1);
    const QString planKey = month.toString(QStringLiteral("yyyy-MM"));
    if (lastPlanned == planKey) {
        outcome = Reminded::AlreadyPlanned;
        return Status::ok();
    }
    Month logged;
    if (Status s = read(month, QString(), logged, location); !s)
        return s;
    if (logged.visits.isEmpty()) {
        outcome = Reminded::NoTrips;
        return Status::ok();
    }
    const QString text = reminderText(month);
    const QString reminders = q(table::Reminder);
    db::Transaction t(location);
    if (Status s = t.begin(); !s)
        return s;
    QVariant present;
    if (Status s = t.single(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                                .arg(reminders, q(field::Reminder::Reminder)),
            { text }, present);
        !s)
        return s;
    if (present.toLongLong() > 0) {
        outcome = Reminded::Present;
    } else {
        const QDate due(today.year(), today.month(), 10);
        if (Status s = t.write(QLatin1String(table::Reminder),
                QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                    .arg(reminders, q(field::Reminder::Date), q(field::Reminder::Reminder)),
                { fieldvalue::toStored(due), text });
            !s)
            return s;
        outcome = Reminded::Added;
    }
    if (Status s = t.commit(); !s)
        return s;
    lastPlanned = planKey;
    return Status::ok();
}

} // namespace bm::logbook
