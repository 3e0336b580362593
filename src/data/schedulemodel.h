#pragma once

#include "data/recordsource.h"
#include "data/schema.h"
#include "data/status.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QVector>

#include <functional>

namespace bm
{

// Every booking of Booking as one row, for the schedule grid and the list of
// booking dates. Only the bookings' keys are held; the values of a row are
// read from the database when the row is shown, a page of rows at a time, so
// a hundred thousand bookings cost little more than a few.
//
// The rows stand in the record source's order until a sort rearranges them
// for display; reload() reads the bookings again in the record source's order.
class ScheduleModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // fields: the columns, of table Booking, in order.
    explicit ScheduleModel(const QStringList &fields, QObject *parent = nullptr);

    // Every field of Booking, Date first and Lake second.
    static QStringList allFields();

    // Reads the bookings again. When they can not be read the rows stay as
    // they were and status() and readFailed() say why.
    void reload();
    // Earlier trips first, compared as dates; bookings with no readable date last.
    void sortByDate();
    // By lake: names that read as numbers by their value, before the others,
    // which compare as text; bookings with no lake last.
    void sortByLake();
    bool inRecordOrder() const { return m_inRecordOrder; }

    Bookmark bookmarkAt(int row) const;
    int rowOf(Bookmark bookmark) const; // -1 if not shown

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The outcome of the last read of the database (a reload, a sort or a
    // page of rows): ok, or why the bookings could not be read.
    [[nodiscard]] const Status &status() const { return m_status; }

signals:
    // Reading the bookings has begun to fail (said once until a read
    // succeeds again, after the event that found it): message in a guide's
    // words, for a box. Logged as well.
    void readFailed(const QString &message);

private:
    struct Page {
        QVector<QStringList> rows;
        quint64 lastUse = 0;
    };
    static constexpr int pageSize = 128;
    static constexpr int pagesKept = 48;

    const QStringList &rowValues(int row) const;
    void setStatus(const Status &status) const; // logs and says a new failure
    void loadPage(int page) const;
    // Rearranges the rows by one field, rows with equal keys in the record
    // source's order; keys gives the sort key of each distinct stored value.
    void sortBy(const QString &field, const std::function<QVector<qint64>(const QStringList &)> &keys);

    QString m_path;
    QStringList m_fields;
    QList<FieldKind> m_kinds;
    QVector<qint64> m_ids;
    bool m_inRecordOrder = true;

    mutable QHash<int, Page> m_pages;
    mutable QHash<int, Page> m_stale; // pages read before the last change, shown while a re-read fails
    mutable quint64 m_uses = 0;
    mutable quint64 m_generation = 0;
    mutable Status m_status;
};

} // namespace bm
