#include "reminders/remindergrid.h"

#include "core/dates.h"
#include "schema/fields.h"

#include <QHash>
#include <QLocale>

#include <algorithm>

namespace bm
{

ReminderRows::ReminderRows(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ReminderRows::load(const RecordSource &source)
{
    const auto dates = source.column(field::Reminder::Date);
    const auto texts = source.column(field::Reminder::Reminder);
    QVector<Row> rows;
    rows.reserve(dates.size());
    // Both columns come in the record source's order; a record written
    // between the two reads is matched by its bookmark.
    const bool aligned = dates.size() == texts.size()
        && std::equal(dates.cbegin(), dates.cend(), texts.cbegin(),
            [](const auto &a, const auto &b) { return a.first == b.first; });
    if (aligned) {
        for (qsizetype i = 0; i < dates.size(); ++i)
            rows.append({ dates[i].first, dates[i].second, texts[i].second });
    } else {
        QHash<qint64, QString> byId;
        for (const auto &t : texts)
            byId.insert(t.first.id, t.second);
        for (const auto &d : dates)
            rows.append({ d.first, d.second, byId.value(d.first.id) });
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

bool ReminderRows::sortByDate()
{
    // Dates are compared by their day number, never as text.
    const QLocale locale;
    const QString format = shortDateFormat(locale);
    QVector<QPair<qint64, int>> keys;
    keys.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        const QString &text = m_rows[i].date;
        QDate d = locale.toDate(text, format);
        if (!d.isValid())
            d = parseDate(text, locale);
        if (!d.isValid())
            return false;
        keys.append({ d.toJulianDay(), i });
    }
    std::stable_sort(
        keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QVector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const auto &k : std::as_const(keys))
        sorted.append(std::move(m_rows[k.second]));
    beginResetModel();
    m_rows = std::move(sorted);
    endResetModel();
    return true;
}

int ReminderRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ReminderRows::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ReminderRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows[index.row()];
    if (role == Qt::DisplayRole)
        return index.column() == DateColumn ? row.date : row.reminder;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
    return {};
}

QVariant ReminderRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString(); // the narrow selector column carries no numbers
    return section == DateColumn ? QStringLiteral("Date") : QStringLiteral("Reminder");
}

} // namespace bm
