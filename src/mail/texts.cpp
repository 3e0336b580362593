#include "mail/texts.h"

#include "core/money.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QLocale>
#include <QRegularExpression>

#include <kainjow/mustache.hpp>

#include <algorithm>

namespace bm::mail
{

using schema::quoted;

namespace B = field::Booking;
namespace G = field::GuideInfo;
namespace T = field::MailTexts;
namespace km = kainjow::mustache;

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);

const QString signature
    = QStringLiteral("\n{{service}}\n{{#service_phone}}{{service_phone}}\n{{/service_phone}}"
                     "{{#website}}{{website}}\n{{/website}}");

// A section's closing tag alone on its line takes that line's break with
// it, so a blank line after one is written with two.
QList<Text> makeDelivered()
{
    const QString dear = QStringLiteral("Dear {{client}},\n\n");
    return {
        { QLatin1String(kind::requestReceived), true,
            QStringLiteral("We have your request for {{trip}} on {{date}}"),
            dear
                + QStringLiteral(
                    "Thank you for asking for a {{trip}} trip on {{date}}{{#start}} at {{start}}{{/start}} "
                    "for {{party}}.\nWe will write again as soon as the guide has looked at it.\n")
                + signature,
            {} },
        { QLatin1String(kind::confirmed), true, QStringLiteral("Your {{trip}} trip on {{date}} is confirmed"),
            dear
                + QStringLiteral(
                    "Your {{trip}} trip on {{date}} is confirmed.\n"
                    "{{#start}}We start at {{start}}{{#meet_at}} at {{meet_at}}{{/meet_at}}.\n{{/start}}"
                    "{{#balance}}The balance of {{balance}} is due on the day.\n{{/balance}}\n"
                    "\nWe look forward to fishing with you.\n")
                + signature,
            {} },
        { QLatin1String(kind::declined), true, QStringLiteral("About your trip on {{date}}"),
            dear
                + QStringLiteral(
                    "We are sorry: we can not take the {{trip}} trip you asked for on {{date}}.\n"
                    "{{#reason}}{{reason}}\n{{/reason}}We hope to fish with you another day.\n")
                + signature,
            {} },
        { QLatin1String(kind::cancelled), true, QStringLiteral("Your trip on {{date}} is cancelled"),
            dear + QStringLiteral("Your {{trip}} trip on {{date}} is cancelled.\n") + signature, {} },
        { QLatin1String(kind::reminder), true, QStringLiteral("Your trip on {{date}}"),
            dear
                + QStringLiteral(
                    "A reminder of your {{trip}} trip on {{date}}"
                    "{{#start}} at {{start}}{{/start}}{{#meet_at}}, meeting at {{meet_at}}{{/meet_at}}.\n"
                    "{{#balance}}The balance of {{balance}} is due on the day.\n{{/balance}}\n")
                + signature,
            QStringLiteral("2") },
        { QLatin1String(kind::balanceDue), true, QStringLiteral("The balance for your trip on {{date}}"),
            dear
                + QStringLiteral(
                    "The balance of {{balance}} for your {{trip}} trip on {{date}} is still open.\n")
                + signature,
            QStringLiteral("30, 14, 7") },
        { QLatin1String(kind::thankYou), true, QStringLiteral("Thank you for fishing with us"),
            dear
                + QStringLiteral("Thank you for fishing with us on {{date}}.\n"
                                 "{{#catch}}The day's catch: {{catch}}.\n{{/catch}}\n")
                + signature,
            QStringLiteral("1") },
        { QLatin1String(kind::newRequest), true,
            QStringLiteral("New request: {{trip}} on {{date}} for {{client}}"),
            QStringLiteral(
                "{{client}} asks for a {{trip}} trip on {{date}}{{#start}} at {{start}}{{/start}} "
                "for {{party}}.\n"
                "E-mail: {{client_email}}\n{{#client_phone}}Phone: {{client_phone}}\n{{/client_phone}}"
                "{{#note}}Note: {{note}}\n{{/note}}\n"
                "\nAccept or decline it in Brindlemoor: Utilities, Requests.\n"),
            {} },
    };
}

QString longDate(const QVariant &stored)
{
    const QDate d = fieldvalue::fromStored(FieldKind::Date, stored).toDate();
    return d.isValid() ? QLocale().toString(d, QLocale::LongFormat) : QString();
}

QString amount(const QVariant &stored, bool zeroIsNone)
{
    const QVariant typed = fieldvalue::fromStored(FieldKind::Amount, stored);
    if (typed.isNull() || (zeroIsNone && typed.value<Money>() <= Money()))
        return {};
    return QLocale().toCurrencyString(typed.value<Money>().toDouble());
}

} // namespace

const QList<Text> &deliveredTexts()
{
    static const QList<Text> all = makeDelivered();
    return all;
}

QList<Text> textsWith(const QList<KeptText> &kept)
{
    QList<Text> out = deliveredTexts();
    for (const KeptText &k : kept)
        for (Text &t : out)
            if (t.kind == k.kind)
                t = { k.kind, k.send != QLatin1String("No"), k.subject, k.body,
                    t.days.isEmpty() ? QString() : k.days };
    return out;
}

Status texts(const QString &location, QList<Text> &out)
{
    out.clear();
    db::Query r(location);
    if (Status s = r.run(QStringLiteral("SELECT %2, %3, %4, %5, %6 FROM %1 ORDER BY %7")
                             .arg(quoted(table::MailTexts), quoted(T::Kind), quoted(T::Send),
                                 quoted(T::Subject), quoted(T::Body), quoted(T::Days), keyName));
        !s)
        return s;
    QList<KeptText> kept;
    while (r.next())
        kept.append({ r.value(T::Kind).toString(), r.value(T::Send).toString(),
            r.value(T::Subject).toString(), r.value(T::Body).toString(), r.value(T::Days).toString() });
    if (!r.status())
        return r.status();
    out = textsWith(kept);
    return Status::ok();
}

Status text(const QString &location, const QString &kind, Text &out)
{
    QList<Text> all;
    if (Status s = texts(location, all); !s)
        return s;
    for (const Text &t : std::as_const(all))
        if (t.kind == kind) {
            out = t;
            return Status::ok();
        }
    return Status::failure(QStringLiteral("There is no mail of the kind %1.").arg(kind));
}

Status saveText(const QString &location, const Text &text)
{
    db::Transaction t(location);
    if (Status s = t.begin(); !s)
        return s;
    const QString table = QLatin1String(table::MailTexts);
    if (Status s = t.write(table,
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(table::MailTexts), quoted(T::Kind)),
            { text.kind });
        !s)
        return s;
    if (Status s = t.write(table,
            QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6) VALUES (?, ?, ?, ?, ?)")
                .arg(quoted(table::MailTexts), quoted(T::Kind), quoted(T::Send), quoted(T::Subject),
                    quoted(T::Body), quoted(T::Days)),
            { text.kind, text.send ? QStringLiteral("Yes") : QStringLiteral("No"), text.subject, text.body,
                text.days });
        !s)
        return s;
    return t.commit();
}

QList<int> daysOf(const Text &text)
{
    QList<int> days;
    static const QRegularExpression number(QStringLiteral("\\d{1,3}"));
    for (auto it = number.globalMatch(text.days); it.hasNext();) {
        const int d = it.next().captured().toInt();
        if (d <= 365 && !days.contains(d))
            days << d;
    }
    std::sort(days.begin(), days.end(), std::greater<>());
    return days;
}

Status bookingValues(const QString &location, qint64 booking, Values &out)
{
    out.clear();
    db::Query r(location);
    if (Status s = r.run(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quoted(table::Booking), keyName),
            { booking });
        !s)
        return s;
    if (!r.next())
        return r.status() ? Status::failure(QStringLiteral("The booking is no longer there.")) : r.status();
    QVariantHash fields;
    for (int i = 0; i < r.columnCount(); ++i)
        fields.insert(r.columnName(i), r.valueAt(i));
    QString reason;
    // The guide's reason when he declined a request made on the page.
    {
        namespace R = field::PageRequests;
        db::Query why(location);
        if (Status s
            = why.run(QStringLiteral("SELECT %2 FROM %1 WHERE %3 = ? ORDER BY %4")
                          .arg(quoted(table::PageRequests), quoted(R::Reason), quoted(R::Booking), keyName),
                { QString::number(booking) });
            !s)
            return s;
        while (why.next())
            if (const QString given = why.value(R::Reason).toString().trimmed(); !given.isEmpty())
                reason = given;
        if (!why.status())
            return why.status();
    }

    db::Query g(location);
    if (Status s = g.run(QStringLiteral("SELECT %2, %3, %4, %5 FROM %1 ORDER BY %6 LIMIT 1")
                             .arg(quoted(table::GuideInfo), quoted(G::GuideName), quoted(G::Phone),
                                 quoted(G::Email), quoted(G::Website), keyName));
        !s)
        return s;
    QVariantHash guide;
    if (g.next())
        for (const char *f : { G::GuideName, G::Phone, G::Email, G::Website })
            guide.insert(QLatin1String(f), g.value(QLatin1String(f)));
    if (!g.status())
        return g.status();
    out = valuesOf(fields, guide, reason);
    return Status::ok();
}

Values valuesOf(const QVariantHash &booking, const QVariantHash &guide, const QString &reason)
{
    Values out;
    const auto field = [&](const char *f) { return booking.value(QLatin1String(f)); };
    const auto text = [&](const char *f) { return field(f).toString().trimmed(); };
    out.insert(QStringLiteral("client"), text(B::Name));
    out.insert(QStringLiteral("client_email"), text(B::Email));
    out.insert(QStringLiteral("client_phone"),
        text(B::CellPhone).isEmpty() ? text(B::Telephone) : text(B::CellPhone));
    out.insert(QStringLiteral("trip"), text(B::Type));
    out.insert(QStringLiteral("date"), longDate(field(B::Date)));
    out.insert(QStringLiteral("start"), text(B::StartTime));
    out.insert(QStringLiteral("lake"), text(B::Lake));
    out.insert(QStringLiteral("meet_at"), text(B::MeetAt));
    const QString party = text(B::PartySize);
    out.insert(QStringLiteral("party"),
        party.isEmpty() ? QString()
                        : (party == QLatin1String("1") ? QStringLiteral("1 angler")
                                                       : party + QStringLiteral(" anglers")));
    out.insert(QStringLiteral("total"), amount(field(B::TotalCharge), false));
    out.insert(QStringLiteral("deposit"), amount(field(B::DepositAmount), false));
    out.insert(QStringLiteral("balance"), amount(field(B::BalanceDue), true));
    out.insert(QStringLiteral("note"), text(B::Notes));
    out.insert(QStringLiteral("species"), text(B::Species));
    out.insert(QStringLiteral("total_fish"), text(B::TotalFish));
    out.insert(QStringLiteral("big_fish"), text(B::BigFish));
    QStringList caught;
    if (!text(B::TotalFish).isEmpty())
        caught << text(B::TotalFish)
                + (text(B::Species).isEmpty() ? QString() : QLatin1Char(' ') + text(B::Species));
    if (!text(B::BigFish).isEmpty())
        caught << QStringLiteral("the biggest %1").arg(text(B::BigFish));
    out.insert(QStringLiteral("catch"), caught.join(QStringLiteral(", ")));

    if (!reason.isEmpty())
        out.insert(QStringLiteral("reason"), reason);
    const auto guideText = [&](const char *f) { return guide.value(QLatin1String(f)).toString().trimmed(); };
    out.insert(QStringLiteral("service"), guideText(G::GuideName));
    out.insert(QStringLiteral("service_phone"), guideText(G::Phone));
    out.insert(QStringLiteral("service_email"), guideText(G::Email));
    out.insert(QStringLiteral("website"), guideText(G::Website));
    return out;
}

Status render(const Text &text, const Values &values, QString &subject, QString &body)
{
    km::data data;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (!it.value().isEmpty())
            data.set(it.key().toStdString(), it.value().toStdString());
    const auto fill = [&](const QString &source, QString &out) {
        km::mustache tmpl(source.toStdString());
        if (!tmpl.is_valid())
            return Status::failure(QStringLiteral("The mail text \"%1\" can not be read: %2")
                                       .arg(text.kind, QString::fromStdString(tmpl.error_message())));
        tmpl.set_custom_escape([](const std::string &s) { return s; });
        out = QString::fromStdString(tmpl.render(data));
        return Status::ok();
    };
    if (Status s = fill(text.subject, subject); !s)
        return s;
    // A subject is one line, whatever the values held.
    subject = subject.simplified();
    return fill(text.body, body);
}

} // namespace bm::mail
