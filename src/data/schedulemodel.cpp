#include "data/schedulemodel.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "data/fieldvalue.h"
#include "data/log.h"

#include <QDate>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <limits>
#include <numeric>

namespace bm
{

namespace
{

constexpr qint64 last = std::numeric_limits<qint64>::max();

const QString keyName = QString::fromLatin1(schema::keyColumn);

// The engine's failure in a guide's words.
Status failed(const QSqlQuery &q, const QString &what)
{
    return Status::failure(
        QStringLiteral("The bookings could not be %1: %2").arg(what, q.lastError().text().trimmed()));
}

} // namespace

ScheduleModel::ScheduleModel(const QStringList &fields, QObject *parent)
    : QAbstractTableModel(parent)
    , m_path(databasePath())
    , m_fields(fields)
{
    const TableDef *booking = schema::table(QStringLiteral("Booking"));
    for (const QString &f : m_fields) {
        FieldKind kind = FieldKind::Text;
        for (const FieldDef &d : booking->fields)
            if (d.name == f)
                kind = d.kind;
        m_kinds << kind;
    }
    reload();
}

QStringList ScheduleModel::allFields()
{
    QStringList fields { QStringLiteral("Date"), QStringLiteral("Lake") };
    for (const FieldDef &d : schema::table(QStringLiteral("Booking"))->fields)
        if (!fields.contains(d.name))
            fields << d.name;
    return fields;
}

void ScheduleModel::reload()
{
    // Rows that can not be read again stay as they were: a failure never
    // shows as a schedule without bookings.
    QVector<qint64> ids;
    QSqlQuery q(database::connection(m_path));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM Booking ORDER BY %1").arg(keyName))) {
        setStatus(failed(q, QStringLiteral("read")));
        return;
    }
    while (q.next())
        ids.append(q.value(0).toLongLong());
    if (q.lastError().isValid()) {
        setStatus(failed(q, QStringLiteral("read")));
        return;
    }
    beginResetModel();
    m_ids = std::move(ids);
    m_pages.clear();
    m_stale.clear();
    m_inRecordOrder = true;
    endResetModel();
    setStatus(Status::ok());
}

void ScheduleModel::setStatus(const Status &status) const
{
    const bool newFailure = !status && m_status; // one outage is said once
    m_status = status;
    if (!newFailure)
        return;
    qCWarning(dataLog).noquote() << status.message();
    // Said once for an outage, after the read that found it: a view may
    // show a box, which must not open while the grid paints.
    auto *self = const_cast<ScheduleModel *>(this);
    const QString message = status.message();
    QMetaObject::invokeMethod(
        self, [self, message] { emit self->readFailed(message); }, Qt::QueuedConnection);
}

void ScheduleModel::sortBy(
    const QString &field, const std::function<QVector<qint64>(const QStringList &)> &keys)
{
    // The rows on display, in key order, matched against the field's values
    // read in the same order: a row whose booking has gone sorts last.
    QVector<qint64> ids = m_ids;
    std::sort(ids.begin(), ids.end());
    QStringList distinct;
    QHash<QString, int> distinctIndex;
    QVector<int> valueOf(ids.size(), -1);
    QSqlQuery q(database::connection(m_path));
    q.setForwardOnly(true);
    // Rows whose values can not be read keep their order.
    if (!q.exec(
            QStringLiteral("SELECT %1, %2 FROM Booking ORDER BY %1").arg(keyName, schema::quoted(field)))) {
        setStatus(failed(q, QStringLiteral("sorted")));
        return;
    }
    qsizetype at = 0;
    while (at < ids.size() && q.next()) {
        const qint64 id = q.value(0).toLongLong();
        while (at < ids.size() && ids[at] < id)
            ++at;
        if (at == ids.size() || ids[at] != id)
            continue;
        const QString value = q.value(1).toString();
        auto it = distinctIndex.constFind(value);
        if (it == distinctIndex.constEnd()) {
            it = distinctIndex.insert(value, int(distinct.size()));
            distinct << value;
        }
        valueOf[at++] = *it;
    }
    if (q.lastError().isValid()) {
        setStatus(failed(q, QStringLiteral("sorted")));
        return;
    }
    setStatus(Status::ok());
    const QVector<qint64> keyOfDistinct = keys(distinct);
    QVector<qint64> rowKeys(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        rowKeys[i] = valueOf[i] < 0 ? last : keyOfDistinct[valueOf[i]];
    QVector<int> order(ids.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rowKeys[a] < rowKeys[b]; });

    beginResetModel();
    for (qsizetype i = 0; i < order.size(); ++i)
        m_ids[i] = ids[order[i]];
    m_pages.clear();
    m_stale.clear();
    m_inRecordOrder = false;
    endResetModel();
}

void ScheduleModel::sortByDate()
{
    sortBy(QStringLiteral("Date"), [](const QStringList &values) {
        QVector<qint64> keys;
        keys.reserve(values.size());
        for (const QString &v : values) {
            const QDate d = QDate::fromString(v, Qt::ISODate);
            keys << (d.isValid() ? d.toJulianDay() : last);
        }
        return keys;
    });
}

void ScheduleModel::sortByLake()
{
    sortBy(QStringLiteral("Lake"), [](const QStringList &values) {
        struct Value {
            int index;
            bool number;
            double amount;
            QString text;
        };
        const QLocale locale;
        QVector<Value> sorted;
        for (int i = 0; i < values.size(); ++i) {
            bool number = false;
            const double amount = locale.toDouble(values[i].trimmed(), &number);
            sorted.append({ i, number, amount, values[i] });
        }
        std::sort(sorted.begin(), sorted.end(), [](const Value &a, const Value &b) {
            const bool emptyA = a.text.trimmed().isEmpty(), emptyB = b.text.trimmed().isEmpty();
            if (emptyA != emptyB)
                return emptyB;
            if (a.number != b.number)
                return a.number;
            if (a.number)
                return a.amount < b.amount;
            const int c = a.text.compare(b.text, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a.text < b.text;
        });
        QVector<qint64> keys(values.size());
        for (int rank = 0; rank < sorted.size(); ++rank)
            keys[sorted[rank].index] = rank;
        return keys;
    });
}

Bookmark ScheduleModel::bookmarkAt(int row) const
{
    return row >= 0 && row < m_ids.size() ? Bookmark { m_ids[row] } : Bookmark {};
}

int ScheduleModel::rowOf(Bookmark bookmark) const
{
    if (m_inRecordOrder) {
        const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), bookmark.id);
        return it != m_ids.cend() && *it == bookmark.id ? int(it - m_ids.cbegin()) : -1;
    }
    const qsizetype i = m_ids.indexOf(bookmark.id);
    return int(i);
}

int ScheduleModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

int ScheduleModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant ScheduleModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_ids.size())
        return {};
    return rowValues(index.row()).value(index.column());
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The selector column on the left shows no numbers.
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return m_fields.value(section);
}

const QStringList &ScheduleModel::rowValues(int row) const
{
    // What another window wrote since is read again.
    const quint64 generation = database::generation(m_path);
    if (generation != m_generation) {
        for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it)
            m_stale.insert(it.key(), *it);
        m_pages.clear();
        m_generation = generation;
    }
    const int page = row / pageSize;
    if (!m_pages.contains(page))
        loadPage(page);
    Page &p = m_pages[page];
    p.lastUse = ++m_uses;
    return p.rows[row % pageSize];
}

void ScheduleModel::loadPage(int page) const
{
    if (m_pages.size() >= pagesKept) {
        auto oldest = m_pages.begin();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        m_pages.erase(oldest);
    }
    const int first = page * pageSize;
    const int count = std::min<int>(pageSize, int(m_ids.size()) - first);
    QStringList ids, columns;
    for (int i = 0; i < count; ++i)
        ids << QString::number(m_ids[first + i]);
    for (const QString &f : m_fields)
        columns << schema::quoted(f);
    QHash<qint64, QStringList> byId;
    QSqlQuery q(database::connection(m_path));
    q.setForwardOnly(true);
    Page &p = m_pages[page];
    p.rows.resize(count);
    // A page that can not be read shows what it showed before (empty if it
    // was never read), with the failure said, until the database changes or
    // the bookings are read again.
    auto keepStale = [&] {
        const auto stale = m_stale.constFind(page);
        if (stale != m_stale.constEnd() && stale->rows.size() == count)
            p.rows = stale->rows;
        setStatus(failed(q, QStringLiteral("read")));
    };
    if (!q.exec(QStringLiteral("SELECT %1, %2 FROM Booking WHERE %1 IN (%3)")
                    .arg(keyName, columns.join(QLatin1String(", ")), ids.join(QLatin1Char(','))))) {
        keepStale();
        return;
    }
    while (q.next()) {
        QStringList values;
        values.reserve(m_fields.size());
        for (int c = 0; c < m_fields.size(); ++c)
            values << fieldvalue::shownStored(m_kinds[c], q.value(c + 1));
        byId.insert(q.value(0).toLongLong(), values);
    }
    if (q.lastError().isValid()) {
        keepStale();
        return;
    }
    m_stale.remove(page);
    for (int i = 0; i < count; ++i)
        p.rows[i] = byId.value(m_ids[first + i]); // a booking deleted meanwhile shows empty
    setStatus(Status::ok());
}

} // namespace bm
