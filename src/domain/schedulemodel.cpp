#include "domain/schedulemodel.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/database.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "db/rights.h"
#include "schema/fields.h"

#include <QDate>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace bm
{

namespace
{

constexpr qint64 last = std::numeric_limits<qint64>::max();

const QString keyName = QString::fromLatin1(schema::keyColumn);
// The booking's Status as a page of rows reads it besides the columns.
const QString statusName = QStringLiteral("RowStatus");
const QString guideName = QStringLiteral("RowGuide");

quint64 s_rowsRead = 0;

// Appends the keys of a list the engine joined with commas ("12,15,16");
// false when a part is not a whole number.
bool parseKeys(const QString &joined, QVector<qint64> &keys)
{
    bool ok = true;
    qint64 key = 0;
    bool digits = false;
    bool negative = false;
    for (const QChar c : joined) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            if (key > (last - 9) / 10) // more than a key can hold
                return false;
            key = key * 10 + (u - u'0');
            digits = true;
        } else if (u == u',') {
            ok &= digits;
            keys << (negative ? -key : key);
            key = 0;
            digits = negative = false;
        } else if (u == u'-' && !digits && !negative) {
            negative = true;
        } else {
            ok = false;
        }
    }
    ok &= digits;
    keys << (negative ? -key : key);
    return ok;
}

} // namespace

ScheduleModel::ScheduleModel(const QStringList &fields, QObject *parent)
    : QAbstractTableModel(parent)
    , m_location(databasePath())
{
    setFields(fields);
}

void ScheduleModel::setFields(const QStringList &fields)
{
    m_fields = fields;
    m_kinds.clear();
    const TableDef *booking = schema::table(table::Booking);
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
    QStringList fields { field::Booking::Date, field::Booking::Lake };
    for (const FieldDef &d : schema::table(table::Booking)->fields)
        if (!fields.contains(d.name))
            fields << d.name;
    return fields;
}

QStringList ScheduleModel::boardFields(bool withGuide)
{
    const QString guide = QLatin1String(field::Booking::Guide);
    QStringList fields = allFields();
    fields.removeOne(guide);
    if (withGuide)
        fields.insert(2, guide);
    return fields;
}

void ScheduleModel::setOthersShown(const QString &mine)
{
    m_mine = mine;
    m_relation = mine.isEmpty() ? QString::fromLatin1(table::Booking) : QString::fromLatin1(db::scheduleView);
    reload();
}

bool ScheduleModel::isOthers(const QStringList &values) const
{
    return m_relation != QLatin1String(table::Booking) && values.size() == m_fields.size() + 2
        && values.last() != m_mine;
}

bool ScheduleModel::isOthersRow(int row) const
{
    return row >= 0 && row < m_rows && isOthers(rowValues(row));
}

void ScheduleModel::setGuide(const QString &guide)
{
    if (guide == m_guide)
        return;
    m_guide = guide;
    reload();
}

QString ScheduleModel::guideCondition(const char *joiner) const
{
    if (m_guide.isEmpty())
        return {};
    return QString::fromLatin1(joiner) + schema::quoted(field::Booking::Guide) + QStringLiteral(" = ?");
}

QVariantList ScheduleModel::guideBinds() const
{
    return m_guide.isEmpty() ? QVariantList {} : QVariantList { m_guide };
}

quint64 ScheduleModel::rowsRead()
{
    return s_rowsRead;
}

Status ScheduleModel::read(const QString &sql, const QVariantList &binds, const QStringList &columns,
    const RowReader &row, const QString &what) const
{
    db::Query q(m_location);
    auto failed = [&] {
        return Status::failure(QStringLiteral("The bookings could not be %1: %2").arg(what, q.reason()));
    };
    // Every statement of the model reads here: a guide's board reads every
    // trip through the view that hides the others' clients and money.
    QString statement = sql;
    if (m_relation != QLatin1String(table::Booking))
        statement.replace(QLatin1String("FROM Booking"), QLatin1String("FROM ") + schema::quoted(m_relation));
    if (!q.run(statement, binds))
        return q.reason().isEmpty() ? q.status() : failed();
    // Each row hands its columns over by name, in the order asked for.
    QVariantList values(columns.size());
    while (q.next()) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            values[c] = q.value(columns[c]);
        row(values);
    }
    if (!q.status()) // the engine stopped part way
        return failed();
    return Status::ok();
}

Status ScheduleModel::countBookings(qint64 &n, qint64 &lowest, qint64 &highest) const
{
    n = lowest = highest = 0;
    bool found = false;
    const Status s = read(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM Booking%2) AS n, (SELECT MIN(%1) FROM "
                       "Booking%2) AS lowest, (SELECT MAX(%1) FROM Booking%2) AS highest")
            .arg(keyName, guideCondition(" WHERE ")),
        guideBinds() + guideBinds() + guideBinds(),
        { QStringLiteral("n"), QStringLiteral("lowest"), QStringLiteral("highest") },
        [&](const QVariantList &row) {
            n = row[0].toLongLong();
            lowest = row[1].toLongLong();
            highest = row[2].toLongLong();
            found = true;
        },
        QStringLiteral("counted"));
    if (s && !found)
        return Status::failure(
            QStringLiteral("The bookings could not be counted: the database gave no count."));
    return s;
}

void ScheduleModel::reload()
{
    // Rows that can not be counted again stay as they were: a failure never
    // shows as a schedule without bookings.
    qint64 n = 0, lowest = 0, highest = 0;
    if (const Status s = countBookings(n, lowest, highest); !s) {
        setStatus(s);
        return;
    }
    beginResetModel();
    m_rows = int(n);
    m_sorted = {};
    m_inRecordOrder = true;
    m_known.clear();
    m_pages.clear();
    m_stale.clear();
    m_generation = db::generation(m_location);
    m_counted = m_generation;
    m_lowest = lowest;
    m_highest = highest;
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
    // Each distinct value once, with the keys of its bookings joined in one
    // text: the file's engine walks the field's index and hands over a row
    // per value, not per booking. The values come in index order and the
    // keys within a value ascend, so the rows arrive nearly sorted. A
    // server groups a field of many values more slowly than it hands over
    // a row per booking, so there the values are grouped here.
    const bool perBooking = db::onServer(m_location);
    QVector<qint64> ids;
    ids.reserve(m_rows);
    QVector<qsizetype> valueOf; // for each of ids, its value in distinct
    valueOf.reserve(m_rows);
    QStringList distinct;
    QHash<QString, qsizetype> seen;
    bool garbled = false;
    Status s = read(
        QStringLiteral("SELECT %2 AS value, %1 AS keys FROM Booking%4%3")
            .arg(perBooking ? keyName : db::sql::joinedKeys(keyName), schema::quoted(field),
                perBooking ? QString()
                           : QStringLiteral(" GROUP BY %1 ORDER BY %1").arg(schema::quoted(field)),
                guideCondition(" WHERE ")),
        guideBinds(), { QStringLiteral("value"), QStringLiteral("keys") },
        [&](const QVariantList &row) {
            const QString value = row[0].toString();
            qsizetype v = distinct.size();
            if (const auto known = seen.constFind(value); known != seen.cend())
                v = *known;
            else {
                seen.insert(value, v);
                distinct << value;
            }
            garbled |= !parseKeys(row[1].toString(), ids);
            valueOf.resize(ids.size(), v);
        },
        QStringLiteral("sorted"));
    if (s && garbled)
        s = Status::failure(
            QStringLiteral("The bookings could not be sorted: the database gave a key that is "
                           "not a number."));
    if (!s) { // the rows keep their order
        setStatus(s);
        return;
    }
    s_rowsRead += quint64(ids.size());
    const QVector<qint64> keyOfDistinct = keys(distinct);
    struct Keyed {
        qint64 key;
        qint64 id;
        bool operator<(const Keyed &o) const { return key != o.key ? key < o.key : id < o.id; }
    };
    QVector<Keyed> order(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        order[i] = { keyOfDistinct[valueOf[i]], ids[i] };
    // Equal keys stand in key order, which is the record source's order.
    if (!std::is_sorted(order.cbegin(), order.cend()))
        std::sort(order.begin(), order.end());

    beginResetModel();
    for (qsizetype i = 0; i < order.size(); ++i)
        ids[i] = order[i].id;
    m_sorted = std::move(ids);
    m_rows = int(m_sorted.size());
    m_inRecordOrder = false;
    m_known.clear();
    m_pages.clear();
    m_stale.clear();
    m_generation = db::generation(m_location);
    endResetModel();
    setStatus(Status::ok());
}

void ScheduleModel::sortByDate()
{
    sortBy(field::Booking::Date, [](const QStringList &values) {
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
    sortBy(field::Booking::Lake, [](const QStringList &values) {
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
            // "nan" has no place among the values: it sorts as text.
            sorted.append({ i, number && !std::isnan(amount), amount, values[i] });
        }
        const auto before = [](const Value &a, const Value &b) {
            const bool emptyA = a.text.trimmed().isEmpty(), emptyB = b.text.trimmed().isEmpty();
            if (emptyA != emptyB)
                return emptyB;
            if (emptyA)
                return false;
            if (a.number != b.number)
                return a.number;
            if (a.number)
                return a.amount < b.amount;
            const int c = a.text.compare(b.text, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a.text < b.text;
        };
        std::sort(sorted.begin(), sorted.end(), before);
        // Values that compare equal ("5" and "5.0", the empty ones) share a
        // rank, so that their bookings stay in the record source's order.
        QVector<qint64> keys(values.size());
        qint64 rank = 0;
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            if (i > 0 && before(sorted[i - 1], sorted[i]))
                ++rank;
            keys[sorted[i].index] = rank;
        }
        return keys;
    });
}

Bookmark ScheduleModel::bookmarkAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return {};
    if (!m_inRecordOrder)
        return Bookmark { m_sorted[row] };
    return Bookmark { page(row / pageSize).ids.value(row % pageSize) };
}

int ScheduleModel::rowOf(Bookmark bookmark) const
{
    if (!bookmark.isValid())
        return -1;
    if (!m_inRecordOrder)
        return int(m_sorted.indexOf(bookmark.id));
    followWrites();
    for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it) {
        const qsizetype i = it->ids.indexOf(bookmark.id);
        if (i >= 0)
            return it.key() * pageSize + int(i);
    }
    // Counted from a known row with a near key; else every booking before
    // it is counted on the smallest index (db::sql::withoutIndex keeps the
    // engine off the table itself), which costs the same for any row.
    int fromRow = -1;
    qint64 fromKey = 0;
    bool below = true;
    qint64 distance = last;
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it) {
        if (it.value() == bookmark.id)
            return it.key();
        const qint64 d = std::abs(it.value() - bookmark.id);
        if (d < distance) {
            distance = d;
            fromRow = it.key();
            fromKey = it.value();
            below = it.value() < bookmark.id;
        }
    }
    // The ends of the table count as known rows: the current booking at
    // start is mostly the first.
    if (const qint64 d = bookmark.id - (m_lowest - 1); d > 0 && d < distance) {
        distance = d;
        fromRow = -1;
        fromKey = std::numeric_limits<qint64>::min(); // every key before it, whatever was written since
        below = true;
    }
    if (const qint64 d = m_highest + 1 - bookmark.id;
        d > 0 && d < distance && db::generation(m_location) == m_counted) {
        distance = d;
        fromRow = m_rows;
        fromKey = m_highest + 1;
        below = false;
    }
    const bool counted = distance <= farRows;
    const QString between = !counted ? db::sql::withoutIndex(keyName) + QStringLiteral(" < ?")
                                     : QStringLiteral("%1 %2 ? AND %1 %3 ?")
                                           .arg(keyName, below ? QStringLiteral("<") : QStringLiteral(">"),
                                               below ? QStringLiteral(">") : QStringLiteral("<"));
    // Only the bookings shown count: a booking of another guide than the
    // one chosen has no row.
    QVariantList binds = QVariantList { bookmark.id } + guideBinds() + QVariantList { bookmark.id };
    if (counted)
        binds << fromKey;
    binds << guideBinds();
    if (!counted) {
        fromRow = -1;
        below = true;
    }
    bool found = false;
    qint64 n = 0;
    const Status s = read(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM Booking WHERE %1 = ?%3) AS found, "
                       "(SELECT COUNT(*) FROM Booking WHERE %2%3) AS n")
            .arg(keyName, between, guideCondition(" AND ")),
        binds, { QStringLiteral("found"), QStringLiteral("n") },
        [&](const QVariantList &row) {
            found = row[0].toBool();
            n = row[1].toLongLong();
        },
        QStringLiteral("read"));
    setStatus(s);
    if (!s || !found)
        return -1;
    const qint64 row = below ? fromRow + 1 + n : fromRow - 1 - n;
    if (row < 0 || row >= m_rows) // added since the bookings were counted
        return -1;
    m_known.insert(int(row), bookmark.id);
    return int(row);
}

int ScheduleModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ScheduleModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant ScheduleModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != StatusRole && role != OthersRole) || !index.isValid()
        || index.row() >= m_rows || index.column() >= m_fields.size())
        return {};
    // A row that could not be read has no values at all, its Status neither.
    const QStringList &values = rowValues(index.row());
    if (role == OthersRole)
        return isOthers(values);
    return values.value(role == StatusRole ? m_fields.size() : index.column());
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The selector column on the left shows no numbers.
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return m_fields.value(section);
}

void ScheduleModel::followWrites() const
{
    // What another window wrote since is read again; the positions known
    // may have moved with it.
    const quint64 generation = db::generation(m_location);
    if (generation == m_generation)
        return;
    for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it)
        m_stale.insert(it.key(), *it);
    m_pages.clear();
    m_known.clear();
    m_generation = generation;
}

const ScheduleModel::Page &ScheduleModel::page(int page) const
{
    followWrites();
    if (!m_pages.contains(page))
        loadPage(page);
    Page &p = m_pages[page];
    p.lastUse = ++m_uses;
    return p;
}

const QStringList &ScheduleModel::rowValues(int row) const
{
    return page(row / pageSize).rows[row % pageSize];
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
    const int count = std::clamp(m_rows - first, 0, pageSize);
    Page p;
    Status s;
    if (m_inRecordOrder) {
        s = readInRecordOrder(first, count, p.ids, p.rows);
    } else {
        p.ids = m_sorted.mid(first, count);
        s = readByKeys(p.ids, p.rows);
    }
    if (!s) {
        // A page that can not be read shows what it showed before (empty if
        // it was never read), with the failure said, until the database
        // changes or the bookings are read again.
        const auto stale = m_stale.constFind(page);
        if (stale != m_stale.constEnd() && stale->rows.size() == count) {
            p.rows = stale->rows;
            p.ids = stale->ids;
        } else {
            p.rows = QVector<QStringList>(count);
            if (m_inRecordOrder)
                p.ids = QVector<qint64>(count, 0);
        }
        m_pages.insert(page, p);
        setStatus(s);
        return;
    }
    m_stale.remove(page);
    m_pages.insert(page, p);
    setStatus(Status::ok());
}

void ScheduleModel::pageColumns(QStringList &columns, QStringList &selected) const
{
    columns = QStringList { keyName };
    selected = QStringList { keyName };
    for (const QString &f : m_fields) {
        columns << f;
        selected << schema::quoted(f);
    }
    columns << statusName << guideName;
    selected << schema::quoted(field::Booking::Status) + QStringLiteral(" AS ") + statusName
             << schema::quoted(field::Booking::Guide) + QStringLiteral(" AS ") + guideName;
}

QStringList ScheduleModel::shown(const QVariantList &row) const
{
    QStringList values;
    values.reserve(m_fields.size() + 2);
    for (qsizetype c = 0; c < m_fields.size(); ++c)
        values << fieldvalue::shownStored(m_kinds[c], row[c + 1]);
    values << row[m_fields.size() + 1].toString() << row[m_fields.size() + 2].toString();
    return values;
}

ScheduleModel::Bracket ScheduleModel::bracket(int first, int lastRow) const
{
    // The start of the table stands for a known row before the first, its
    // end for one after the last while nothing was written since the
    // bookings were counted (a write may have moved the end).
    Bracket b;
    b.beforeKey = m_lowest - 1;
    if (auto it = m_known.upperBound(first); it != m_known.cbegin()) {
        --it; // the last known row up to the first of the page
        b.beforeRow = it.key();
        b.beforeKey = it.value();
        b.beforeKnown = true;
        b.inclusive = it.key() == first;
    }
    const bool endKnown = db::generation(m_location) == m_counted;
    b.afterRow = endKnown ? m_rows : std::numeric_limits<int>::max();
    b.afterKey = m_highest + 1;
    if (auto it = m_known.upperBound(lastRow); it != m_known.cend()) {
        b.afterRow = it.key();
        b.afterKey = it.value();
        b.afterKnown = true;
    }
    return b;
}

Status ScheduleModel::locate(int row, const Bracket &near, bool &found) const
{
    // The keys mostly run without gaps: the key of the row is guessed from
    // the known rows around it, and the row of the first booking from that
    // key on is counted. The count walks the smallest index (db::sql::
    // withoutIndex keeps the engine off the table itself), so it costs the
    // same for any row.
    found = false;
    if (near.afterRow == std::numeric_limits<int>::max() || near.afterRow - near.beforeRow <= 1)
        return Status::ok();
    const double share = double(row - near.beforeRow) / double(near.afterRow - near.beforeRow);
    const qint64 guess
        = std::clamp<qint64>(near.beforeKey + qint64(share * double(near.afterKey - near.beforeKey)),
            near.beforeKey + 1, near.afterKey - 1);
    qint64 before = -1;
    QVariant key;
    const Status s = read(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM Booking WHERE %2 < ?%3) AS n, "
                       "(SELECT MIN(%1) FROM Booking WHERE %1 >= ?%3) AS k")
            .arg(keyName, db::sql::withoutIndex(keyName), guideCondition(" AND ")),
        QVariantList { guess } + guideBinds() + QVariantList { guess } + guideBinds(),
        { QStringLiteral("n"), QStringLiteral("k") },
        [&](const QVariantList &r) {
            before = r[0].toLongLong();
            key = r[1];
        },
        QStringLiteral("read"));
    if (!s)
        return s;
    if (key.isNull() || before < 0 || before >= m_rows || m_known.contains(int(before)))
        return Status::ok();
    m_known.insert(int(before), key.toLongLong());
    found = true;
    return Status::ok();
}

Status ScheduleModel::readInRecordOrder(
    int first, int count, QVector<qint64> &ids, QVector<QStringList> &rows) const
{
    ids.clear();
    rows.clear();
    if (count <= 0)
        return Status::ok();
    const int lastRow = first + count - 1;
    // The nearest rows whose keys are known, before the page and after it:
    // the page is read by key from the nearer, so that a page next to one
    // read costs no more than the first. Far from any (the scroll bar
    // dragged), a row near the page is found first.
    Bracket near = bracket(first, lastRow);
    for (int tries = 0;
         tries < 3 && std::min<qint64>(near.skipForward(first), near.skipBackward(lastRow)) > farRows;
         ++tries) {
        // Aimed a little before the page, so that a guess a few rows out
        // still lands before it; further back on each try.
        bool found = false;
        if (const Status s = locate(std::max(0, first - pageSize / 2 - tries * pageSize), near, found); !s)
            return s;
        if (!found)
            break;
        near = bracket(first, lastRow);
    }
    const qint64 beforeKey = near.beforeKey;
    const qint64 afterKey = near.afterKey;
    const bool afterKnown = near.afterKnown;
    const qint64 skipForward = near.skipForward(first);
    const qint64 skipBackward = near.skipBackward(lastRow);
    const bool backward = skipBackward < skipForward;

    QStringList columns, selected;
    pageColumns(columns, selected);
    QString sql = QStringLiteral("SELECT %1 FROM Booking").arg(selected.join(QLatin1String(", ")));
    QVariantList binds;
    if (backward ? afterKnown : near.beforeKnown) {
        sql += QStringLiteral(" WHERE %1 %2 ?")
                   .arg(keyName,
                       backward             ? QStringLiteral("<")
                           : near.inclusive ? QStringLiteral(">=")
                                            : QStringLiteral(">"));
        binds << (backward ? afterKey : beforeKey);
        sql += guideCondition(" AND ");
    } else {
        sql += guideCondition(" WHERE ");
    }
    binds << guideBinds();
    sql += QStringLiteral(" ORDER BY %1%2 LIMIT ? OFFSET ?")
               .arg(keyName, backward ? QStringLiteral(" DESC") : QString());
    binds << count << (backward ? skipBackward : skipForward);
    const Status s = read(
        sql, binds, columns,
        [&](const QVariantList &row) {
            ids << row[0].toLongLong();
            rows << shown(row);
            ++s_rowsRead;
        },
        QStringLiteral("read"));
    if (!s)
        return s;
    if (backward) {
        std::reverse(ids.begin(), ids.end());
        std::reverse(rows.begin(), rows.end());
    }
    if (ids.size() == count) {
        m_known.insert(first, ids.first());
        m_known.insert(lastRow, ids.last());
    }
    // Fewer bookings than counted: another window deleted some since; the
    // rows past the end show empty until the bookings are read again.
    while (ids.size() < count) {
        if (backward) {
            ids.prepend(0);
            rows.prepend({});
        } else {
            ids << 0;
            rows << QStringList {};
        }
    }
    return Status::ok();
}

Status ScheduleModel::readByKeys(const QVector<qint64> &keys, QVector<QStringList> &rows) const
{
    rows = QVector<QStringList>(keys.size());
    if (keys.isEmpty())
        return Status::ok();
    QStringList columns, selected;
    pageColumns(columns, selected);
    QVariantList binds;
    for (qint64 k : keys)
        binds << k;
    QHash<qint64, QStringList> byKey;
    const Status s = read(
        QStringLiteral("SELECT %1 FROM Booking WHERE %2 IN (%3)")
            .arg(selected.join(QLatin1String(", ")), keyName,
                QStringList(keys.size(), QStringLiteral("?")).join(QLatin1Char(','))),
        binds, columns,
        [&](const QVariantList &row) {
            byKey.insert(row[0].toLongLong(), shown(row));
            ++s_rowsRead;
        },
        QStringLiteral("read"));
    if (!s)
        return s;
    for (qsizetype i = 0; i < keys.size(); ++i)
        rows[i] = byKey.value(keys[i]); // a booking deleted meanwhile shows empty
    return Status::ok();
}

} // namespace bm
