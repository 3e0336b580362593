#include "db/fieldvalue.h"

#include "core/dates.h"
#include "core/money.h"

#include <QDate>
#include <QDateTime>

#include <sqlite3.h>

#include <cmath>

namespace bm::fieldvalue
{

namespace
{

bool isFloat(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<double>() || v.metaType() == QMetaType::fromType<float>();
}

bool isWhole(const QVariant &v)
{
    const QMetaType t = v.metaType();
    return t == QMetaType::fromType<int>() || t == QMetaType::fromType<qlonglong>()
        || t == QMetaType::fromType<uint>() || t == QMetaType::fromType<qulonglong>();
}

// An amount beyond this many whole units would not fit in ten-thousandths.
constexpr qlonglong largestWhole = 900000000000000LL;

} // namespace

QVariant fromStored(FieldKind kind, const QVariant &stored)
{
    if (stored.isNull() || !stored.isValid())
        return {};
    switch (kind) {
    case FieldKind::Text:
        return stored.toString();
    case FieldKind::Date: {
        if (stored.metaType() == QMetaType::fromType<QDate>())
            return stored.toDate().isValid() ? stored : QVariant();
        const QDate d = QDate::fromString(stored.toString(), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldKind::Amount: {
        // A sum or an average of amounts comes back from the engine as a
        // floating-point number of ten-thousandths.
        if (isFloat(stored)) {
            const double units = stored.toDouble();
            if (!std::isfinite(units) || std::fabs(units) > 9.2e18)
                return {};
            return QVariant::fromValue(Money::fromUnits(std::llround(units)));
        }
        bool ok = false;
        const qlonglong units = stored.toLongLong(&ok);
        return ok ? QVariant::fromValue(Money::fromUnits(units)) : QVariant();
    }
    }
    return {};
}

QVariant toStored(const QVariant &typed)
{
    if (typed.isNull() || !typed.isValid())
        return QVariant(QMetaType::fromType<QString>());
    if (typed.metaType() == QMetaType::fromType<Money>())
        return QVariant(qlonglong(typed.value<Money>().units()));
    if (typed.metaType() == QMetaType::fromType<QDate>())
        return typed.toDate().toString(Qt::ISODate);
    return typed.toString();
}

QString shown(const QVariant &typed, Amounts amounts, const QLocale &locale)
{
    if (typed.isNull() || !typed.isValid())
        return {};
    if (typed.metaType() == QMetaType::fromType<Money>()) {
        const Money m = typed.value<Money>();
        return amounts == Amounts::Printed ? m.format(locale) : m.toString(locale);
    }
    if (typed.metaType() == QMetaType::fromType<QDate>())
        return shortDate(typed.toDate(), locale);
    return typed.toString();
}

QString shownStored(FieldKind kind, const QVariant &stored, Amounts amounts, const QLocale &locale)
{
    return shown(fromStored(kind, stored), amounts, locale);
}

Status fromInput(const FieldDef &field, const QVariant &in, QVariant &out)
{
    out = QVariant();
    if (in.isNull() || !in.isValid())
        return Status::ok();
    auto refuse = [&](const QString &value) {
        return Status::failure(
            QStringLiteral("The value %1 can not be stored in %2.").arg(value, field.name));
    };
    switch (field.kind) {
    case FieldKind::Text:
        out = in.toString();
        return Status::ok();
    case FieldKind::Date: {
        if (in.metaType() == QMetaType::fromType<QDate>()) {
            if (in.toDate().isValid())
                out = in.toDate();
            return Status::ok();
        }
        if (in.metaType() == QMetaType::fromType<QDateTime>()) {
            if (in.toDateTime().isValid())
                out = in.toDateTime().date();
            return Status::ok();
        }
        const QString t = in.toString();
        if (t.trimmed().isEmpty())
            return Status::ok();
        const QDate d = parseDate(t);
        if (!d.isValid())
            return refuse(t);
        out = d;
        return Status::ok();
    }
    case FieldKind::Amount: {
        if (in.metaType() == QMetaType::fromType<Money>()) {
            out = in;
            return Status::ok();
        }
        if (isFloat(in)) {
            const std::optional<Money> m = Money::fromDouble(in.toDouble());
            if (!m)
                return refuse(in.toString());
            out = QVariant::fromValue(*m);
            return Status::ok();
        }
        if (isWhole(in)) {
            bool ok = false;
            const qlonglong whole = in.toLongLong(&ok);
            if (!ok || whole > largestWhole || whole < -largestWhole)
                return refuse(in.toString());
            out = QVariant::fromValue(Money::fromUnits(whole * Money::scale));
            return Status::ok();
        }
        const QString t = in.toString();
        if (t.trimmed().isEmpty())
            return Status::ok();
        const std::optional<Money> m = Money::parse(t);
        if (!m)
            return refuse(t);
        out = QVariant::fromValue(*m);
        return Status::ok();
    }
    }
    return Status::ok();
}

QVariant fromEngine(sqlite3_value *value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return QString::fromUtf8(text ? text : "", sqlite3_value_bytes(value));
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
        return QByteArray(bytes, sqlite3_value_bytes(value));
    }
    default:
        return {};
    }
}

} // namespace bm::fieldvalue
