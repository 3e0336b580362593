#include "bookings/tripday.h"

#include "core/dates.h"

#include <QStringList>

#include <cmath>

namespace bm::tripday
{

namespace
{

std::optional<double> number(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString shortTime(const QDateTime &t, const QLocale &locale)
{
    return locale.toString(t.time(), QLocale::ShortFormat);
}

// "Name: value", or nothing for an empty value.
void addLine(QStringList &lines, const QString &caption, const QString &value)
{
    if (!value.trimmed().isEmpty())
        lines << caption + QStringLiteral(": ") + value.trimmed();
}

// A blank line between parts, never two.
void endPart(QStringList &lines)
{
    if (!lines.isEmpty() && !lines.constLast().isEmpty())
        lines << QString();
}

} // namespace

TypedPosition readTyped(const QString &latitude, const QString &longitude, const QLocale &locale)
{
    const auto lat = number(latitude, locale);
    if (!lat)
        return { std::nullopt,
            QStringLiteral("Type the latitude of your home water in decimal degrees, for example %1.")
                .arg(locale.toString(36.6)) };
    if (QString problem = sky::latitudeProblem(*lat); !problem.isEmpty())
        return { std::nullopt, problem };
    const auto lon = number(longitude, locale);
    if (!lon)
        return { std::nullopt,
            QStringLiteral("Type the longitude of your home water in decimal degrees, for example %1.")
                .arg(locale.toString(-93.3)) };
    if (QString problem = sky::longitudeProblem(*lon); !problem.isEmpty())
        return { std::nullopt, problem };
    return { sky::Position { *lat, *lon }, {} };
}

QString shownDegrees(double degrees, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(degrees, 'g', 10);
}

QString moonText(const sky::MoonDay &moon, const QLocale &locale)
{
    return QStringLiteral("%1, %2% of the disk lit")
        .arg(sky::phaseName(moon.phase), locale.toString(qRound(moon.illuminated * 100)));
}

QString sunriseText(const sky::SunDay &sun, const QLocale &locale)
{
    if (sun.rise)
        return shortTime(*sun.rise, locale);
    return sun.alwaysUp ? QStringLiteral("The sun is up all day") : QStringLiteral("The sun does not rise");
}

QString sunsetText(const sky::SunDay &sun, const QLocale &locale)
{
    if (sun.set)
        return shortTime(*sun.set, locale);
    return sun.alwaysUp || sun.rise ? QStringLiteral("The sun does not set")
                                    : QStringLiteral("The sun does not rise");
}

QString solunarText(const QList<sky::Period> &periods, const QLocale &locale)
{
    QStringList major, minor;
    for (const sky::Period &p : periods)
        (p.major ? major : minor)
            << QStringLiteral("%1 to %2").arg(shortTime(p.start, locale), shortTime(p.end, locale));
    QStringList lines;
    lines << QStringLiteral("Major: ")
            + (major.isEmpty() ? QStringLiteral("none this day") : major.join(QStringLiteral(", ")));
    lines << QStringLiteral("Minor: ")
            + (minor.isEmpty() ? QStringLiteral("none this day") : minor.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n'));
}

Message confirmation(const Trip &trip, const Guide &guide, const QLocale &locale)
{
    const QString date = shortDate(trip.date, locale);
    Message m;
    m.subject = trip.date.isValid() ? QStringLiteral("Your fishing trip on %1").arg(date)
                                    : QStringLiteral("Your fishing trip");

    QStringList lines;
    lines << (trip.name.trimmed().isEmpty() ? QStringLiteral("Hello,")
                                            : QStringLiteral("Dear %1,").arg(trip.name.trimmed()))
          << QString() << QStringLiteral("This confirms your fishing trip:");
    endPart(lines);
    addLine(lines, QStringLiteral("Date"), date);
    addLine(lines, QStringLiteral("Lake"), trip.lake);
    addLine(lines, QStringLiteral("Meeting place"), trip.meetAt);
    addLine(lines, QStringLiteral("Trip type"), trip.type);
    endPart(lines);
    const Money total = trip.totalCharge.value_or(Money());
    const Money deposit = trip.deposit.value_or(Money());
    addLine(lines, QStringLiteral("Total charge"), total.format(locale));
    QString depositText = deposit.format(locale);
    if (deposit > Money())
        depositText += trip.depositReceived.isValid()
            ? QStringLiteral(", received %1").arg(shortDate(trip.depositReceived, locale))
            : QStringLiteral(", not received yet");
    addLine(lines, QStringLiteral("Deposit"), depositText);
    // The booking's own balance where it has one; else what the charge and
    // deposit leave.
    const std::optional<Money> balance = trip.balanceDue ? trip.balanceDue : total.minus(deposit);
    addLine(lines, QStringLiteral("Balance due"), balance ? balance->format(locale) : QString());
    endPart(lines);
    addLine(lines, QStringLiteral("Guide"), guide.name);
    addLine(lines, QStringLiteral("Phone"), guide.phone);
    addLine(lines, QStringLiteral("Email"), guide.email);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    m.body = lines.join(QLatin1Char('\n'));
    return m;
}

} // namespace bm::tripday
