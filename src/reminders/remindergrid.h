#pragma once

#include "db/recordsource.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QString>
#include <QVector>

namespace bm
{

// The rows of the reminder grid: one per record of the reminder table, in
// the record source's order, with the field names as the header. Sorting
// only rearranges the rows shown; the record source keeps its order.
class ReminderRows : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { DateColumn, ReminderColumn };

    struct Row {
        Bookmark bookmark;
        QString date; // as shown
        QString reminder;
    };

    explicit ReminderRows(QObject *parent = nullptr);

    // Reads every record of the source again, in its order.
    void load(const RecordSource &source);

    // Rearranges the rows by their dates, earliest first (rows of one day
    // keep their order). False, with the rows left as they were, when a
    // row's date can not be read as a date.
    bool sortByDate();

    const QVector<Row> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<Row> m_rows;
};

} // namespace bm
