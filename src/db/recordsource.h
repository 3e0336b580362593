#pragma once

#include "core/status.h"
#include "db/filter.h"
#include "schema/schema.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

namespace bm
{

namespace db
{
class Query;
class Transaction;
struct Written;
} // namespace db

// A token for one record of a table. A bookmark read from one record source
// positions any other record source over the same table on the same record.
struct Bookmark {
    qint64 id = 0;
    bool isValid() const { return id > 0; }
    bool operator==(const Bookmark &) const = default;
};

// One open table (or the one query over Booking) of a database file, with a
// current-record position and a pending new or changed record.
//
// Values: text fields give QString; date fields QDate; amount fields Money.
// setValue() takes those, or text in the system's formats; Update() refuses a
// value its field can not hold and leaves the record pending.
class RecordSource : public QObject
{
    Q_OBJECT
public:
    enum class EditMode { None, Edit, Add };

    // source: a table name, or "SELECT * FROM Booking WHERE Date".
    // The record source opens at once, on the first record; openStatus()
    // tells whether it could.
    RecordSource(const QString &objectName, const QString &source, QObject *parent = nullptr,
        const QString &databasePath = QString());
    ~RecordSource() override;

    const Status &openStatus() const { return m_openStatus; }
    const QString &source() const { return m_source; }
    // The database file it is open on.
    const QString &location() const { return m_location; }
    const QString &tableName() const { return m_table; }
    QStringList fieldNames() const;
    FieldKind kind(const QString &field) const;
    bool hasField(const QString &field) const { return m_index.contains(field); }

    bool isBOF() const { return m_pos == Pos::BOF; }
    bool isEOF() const { return m_pos == Pos::EOF_; }
    bool hasCurrent() const { return m_pos == Pos::Record; }
    // The number of records, or why they can not be counted.
    [[nodiscard]] Status count(int &n) const;

    Status MoveFirst();
    Status MoveLast();
    Status MoveNext();
    Status MovePrevious();

    Status AddNew();
    Status Edit();
    Status Update();
    void CancelUpdate();
    Status Delete();
    Status Refresh();
    EditMode editMode() const { return m_mode; }

    // What a save writes along with the record, in the same transaction:
    // called with the record's key (the new key of an added record) once
    // the record is written and before it is committed. A failure rolls
    // back both, and the record stays pending as after any failed save.
    // Without it a save is one write, as always.
    using AlsoWrite = std::function<Status(db::Transaction &, qint64 key, EditMode mode)>;
    void setAlsoWrite(AlsoWrite alsoWrite) { m_alsoWrite = std::move(alsoWrite); }

    Bookmark bookmark() const;
    Status setBookmark(Bookmark bookmark);
    Bookmark LastModified() const { return m_lastModified; }

    Status FindFirst(const QString &expression);
    Status FindNext(const QString &expression);
    bool NoMatch() const { return m_noMatch; }
    // The bookmarks of every record expression matches, in the record
    // source's order, read in one pass; the position stays where it is.
    [[nodiscard]] Status findAll(const QString &expression, QVector<Bookmark> &found) const;

    // Fields(name).Value: of the pending record while one is pending. A
    // current record that can not be read shows no values; readCurrent()
    // tells it from one whose fields are empty.
    QVariant value(const QString &field) const;
    // Reads the current record if it is not read yet, or again after a
    // failed read: ok, or why it could not be read (the engine failed, or
    // another record source deleted it). Ok when there is no current record.
    [[nodiscard]] Status readCurrent() const;
    // The value as a screen shows it: dates in the short format, amounts
    // with their decimals ("250.00"), empty for no value.
    QString text(const QString &field) const;
    // Sets a value of the pending record; outside AddNew/Edit the change is
    // written when the record source moves or closes.
    Status setValue(const QString &field, const QVariant &value);
    // Writes now the changes set outside AddNew/Edit. A window calls it
    // before it closes, to say when they can not be written; a record source
    // closing with a change it can not write logs it and says it through
    // DataChanges::changeLost.
    [[nodiscard]] Status writePending();

    // Every record's values of one field in the record source's order, with
    // their bookmarks (for lists of names and dates). Empty when they can not
    // be read (columnValues() says why).
    QVector<QPair<Bookmark, QString>> column(const QString &field) const;
    [[nodiscard]] Status columnValues(const QString &field, QVector<QPair<Bookmark, QString>> &rows) const;

signals:
    // The current or pending record has changed: bound fields show it again.
    void currentChanged();
    // Update() is about to write: bound fields hand over their values now.
    void aboutToWrite();
    // Refresh() has read the records again (after currentChanged): lists and
    // grids over all records read them again too.
    void refreshed();

private:
    enum class Pos { BOF, Record, EOF_, Deleted };

    Status find(const QString &expression, bool fromStart);
    Status parseFind(const QString &expression, std::optional<filter::Expression> &e) const;
    Status runFind(const filter::Expression &e, std::optional<qint64> after, db::Query &q,
        std::shared_ptr<const filter::Expression> &here) const;
    bool nextFound(db::Query &q, const filter::Expression *here) const;
    Status moveTo(const QString &sqlTail, const QVariantList &binds, Pos ifNone);
    Status flushImplicit();
    Status writeWithAlso(const QString &sql, const QVariantList &binds, db::Written &written);
    void loadCurrent() const;
    Status readRecord(QVector<QVariant> &values, QString &version, bool &found) const;
    // A save or deletion another desk overtook: what to tell the guide.
    enum class Overtaken { Save, Delete };
    Status overtaken(Overtaken what);
    Status convert(int column, const QVariant &in, QVariant &out) const;
    QString where(const QString &extra) const;
    // A failure logged under the record source's name.
    Status logged(const Status &status) const;
    void setPosition(Pos pos, qint64 id);

    QString m_location;
    QString m_source;
    QString m_table;
    QString m_condition; // SQL condition of the query source, fixed text
    Status m_openStatus;
    bool m_open = false; // the file could be opened
    QList<FieldDef> m_fields;
    QHash<QString, int> m_index;

    Pos m_pos = Pos::BOF;
    qint64 m_id = 0;
    mutable bool m_loaded = false;
    mutable QVector<QVariant> m_current; // typed values of the current record
    mutable Status m_readStatus; // of reading m_current
    mutable QString m_version; // the server's row version of m_current

    EditMode m_mode = EditMode::None;
    QVector<QVariant> m_pending;
    QVector<QVariant> m_editBase; // the record as it was read when the edit began
    QString m_editVersion; // and its row version on the server
    Pos m_beforeAddPos = Pos::BOF;
    qint64 m_beforeAddId = 0;
    QHash<int, QVariant> m_implicit;
    AlsoWrite m_alsoWrite;

    Bookmark m_lastModified;
    bool m_noMatch = false;
    std::unique_ptr<db::Query> m_findCursor;
    // Where the server can not match the search itself (a date or an amount
    // matches as the screen shows it), the cursor reads every record's value
    // and this matches it.
    std::shared_ptr<const filter::Expression> m_findHere;
    QString m_findExpression;
    qint64 m_findLastId = 0;
    quint64 m_findGeneration = 0;
    mutable int m_count = -1;
    mutable quint64 m_countGeneration = 0;
};

} // namespace bm
