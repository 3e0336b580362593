#pragma once

#include "core/status.h"
#include "db/recordsource.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <functional>

namespace bm
{

// Every booking of Booking as one row, for the schedule grid and the list of
// booking dates. Nothing is read for all bookings when the model opens: the
// number of rows is counted, and the rows are read a page at a time when
// they are shown, so twenty years of bookings open as fast as a few.
//
// The rows stand in the record source's order (by key) until a sort
// rearranges them for display; then the model keeps the keys in the sorted
// order. reload() counts the bookings again and puts them back in the record
// source's order.
class ScheduleModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // fields: the columns, of table Booking, in order.
    explicit ScheduleModel(const QStringList &fields, QObject *parent = nullptr);

    // Every field of Booking, Date first and Lake second.
    static QStringList allFields();
    // The schedule's columns: every field of Booking but Guide, Date first
    // and Lake second, as the board was before bookings had a guide; with
    // the guide, Guide comes third, so that the board reads date, lake,
    // guide.
    static QStringList boardFields(bool withGuide);

    // Shows these fields of Booking as the columns, and reads the bookings
    // again.
    void setFields(const QStringList &fields);
    const QStringList &fields() const { return m_fields; }

    // Shows only the bookings whose Guide is this name; empty shows every
    // booking. The rows are read again in the record source's order.
    void setGuide(const QString &guide);
    const QString &guide() const { return m_guide; }
    // A guide's board on a lodge's shared database: every trip, read from
    // the server's view of the schedule, the other guides' ones as booked
    // (their client and money hidden by the server). mine is the guide's
    // name on the roster; empty reads Booking as it is.
    void setOthersShown(const QString &mine);
    // Whether the row is another guide's trip, which the record source of
    // the guide's own bookings does not hold.
    bool isOthersRow(int row) const;

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

    // How many bookings (a row of values, or a key) every schedule model has
    // read from the database since the program started; counts read none.
    // Lets a check tell a model that reads what it shows from one that
    // reads every booking.
    static quint64 rowsRead();

    static constexpr int pageSize = 128;

    // Every cell of a row gives its booking's Status as kept (empty for
    // none) in this role, whether or not Status is a column, so that a view
    // can mark requests and cancelled trips.
    static constexpr int StatusRole = Qt::UserRole + 1;
    // True in every cell of another guide's trip (setOthersShown).
    static constexpr int OthersRole = Qt::UserRole + 2;

signals:
    // Reading the bookings has begun to fail (said once until a read
    // succeeds again, after the event that found it): message in a guide's
    // words, for a box. Logged as well.
    void readFailed(const QString &message);

private:
    struct Page {
        QVector<qint64> ids; // 0 for a row that could not be read
        QVector<QStringList> rows;
        quint64 lastUse = 0;
    };
    static constexpr int pagesKept = 48;
    // Rows further than this from any row whose key is known are found by
    // guessing a key rather than by stepping over the rows in between.
    static constexpr int farRows = 4 * pageSize;

    // The nearest rows whose keys are known around a page.
    struct Bracket {
        int beforeRow = -1;
        qint64 beforeKey = 0;
        bool beforeKnown = false; // else the start of the table
        bool inclusive = false; // the known row is the page's first
        int afterRow = 0;
        qint64 afterKey = 0;
        bool afterKnown = false; // else the end of the table (or none)
        qint64 skipForward(int first) const { return inclusive ? 0 : qint64(first) - beforeRow - 1; }
        qint64 skipBackward(int lastRow) const { return qint64(afterRow) - lastRow - 1; }
    };

    // The only code that talks to the database: runs one statement with its
    // binds and hands over each result row, the columns named in `columns`
    // in that order. A failure says what could not be done ("read", "sorted").
    using RowReader = std::function<void(const QVariantList &row)>;
    Status read(const QString &sql, const QVariantList &binds, const QStringList &columns,
        const RowReader &row, const QString &what) const;
    // The number of bookings (the engine counts the smallest index), and
    // their first and last keys.
    Status countBookings(qint64 &n, qint64 &lowest, qint64 &highest) const;

    const Page &page(int page) const;
    const QStringList &rowValues(int row) const;
    void setStatus(const Status &status) const; // logs and says a new failure
    // Pages and positions read before another write are not trusted again.
    void followWrites() const;
    void loadPage(int page) const;
    // Reads rows [first, first + count) of the record source's order into
    // ids and rows, starting from the nearest row whose key is known.
    Status readInRecordOrder(int first, int count, QVector<qint64> &ids, QVector<QStringList> &rows) const;
    Bracket bracket(int first, int lastRow) const;
    // Finds the row of a booking near `row` and adds it to the known rows.
    Status locate(int row, const Bracket &near, bool &found) const;
    Status readByKeys(const QVector<qint64> &keys, QVector<QStringList> &rows) const;
    // The fields of a result row after its key, then the booking's Status,
    // which is no column (columnCount() does not count it).
    QStringList shown(const QVariantList &row) const;
    // The columns a page of rows reads: the key, the fields, the Status.
    void pageColumns(QStringList &columns, QStringList &selected) const;
    // The condition of the guide chosen, joined to a statement's own with
    // `joiner` (" WHERE ", " AND "), and its bind; nothing when every
    // booking shows.
    QString guideCondition(const char *joiner) const;
    QVariantList guideBinds() const;
    // Rearranges the rows by one field, rows with equal keys in the record
    // source's order; keys gives the sort key of each distinct stored value.
    void sortBy(const QString &field, const std::function<QVector<qint64>(const QStringList &)> &keys);

    QString m_location;
    QStringList m_fields;
    QList<FieldKind> m_kinds;
    QString m_guide; // empty: every booking
    QString m_mine; // a guide's name on his own board (setOthersShown)
    QString m_relation = QString::fromLatin1(table::Booking); // what the rows are read from
    bool isOthers(const QStringList &values) const;
    int m_rows = 0;
    QVector<qint64> m_sorted; // the keys in display order after a sort
    bool m_inRecordOrder = true;

    // In the record source's order: rows whose key is known since the last
    // write, row -> key. A page is read from the nearest of them.
    mutable QMap<int, qint64> m_known;
    mutable QHash<int, Page> m_pages;
    mutable QHash<int, Page> m_stale; // pages read before the last change, shown while a re-read fails
    mutable quint64 m_uses = 0;
    mutable quint64 m_generation = 0;
    quint64 m_counted = 0; // the generation when the bookings were counted
    qint64 m_lowest = 0; // the first and last key then
    qint64 m_highest = 0;
    mutable Status m_status;
};

} // namespace bm
