#include "db/recordsource.h"

#include "core/apppaths.h"
#include "core/log.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/engine/dialect.h"
#include "db/engine/overtaken.h"
#include "db/fieldvalue.h"
#include "db/filter.h"
#include "db/query.h"

#include <QRegularExpression>

namespace bm
{

namespace
{

const QString keyName = QString::fromLatin1(schema::keyColumn);
const QString rowVersion = QStringLiteral("Row Version");

// The condition of a write that must not overtake another desk's: the
// record is still as this record source read it.
QString unchangedSince(const QString &version)
{
    return version.isEmpty() ? QString() : QStringLiteral(" AND CAST(xmin AS TEXT) = ?");
}

QString noCurrent()
{
    return QStringLiteral("There is no current record.");
}

QString recordGone()
{
    return QStringLiteral("The record can not be found; it may have been deleted.");
}

} // namespace

RecordSource::RecordSource(
    const QString &objectName, const QString &source, QObject *parent, const QString &databasePath)
    : QObject(parent)
    , m_location(databasePath.isEmpty() ? bm::databasePath() : databasePath)
    , m_source(source)
{
    db::sourceOpened(m_location);
    setObjectName(objectName);
    // The one query: SELECT * FROM <table> WHERE <field>.
    static const QRegularExpression query(
        QStringLiteral(
            "^\\s*SELECT\\s+\\*\\s+FROM\\s+(\\[[^\\]]+\\]|\\w+)\\s+WHERE\\s+(\\[[^\\]]+\\]|\\w+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    QString conditionField;
    const QRegularExpressionMatch m = query.match(source);
    if (m.hasMatch()) {
        auto bare = [](QString s) { return s.startsWith(QLatin1Char('[')) ? s.mid(1, s.size() - 2) : s; };
        m_table = bare(m.captured(1));
        conditionField = bare(m.captured(2));
    } else {
        m_table = source;
    }
    const TableDef *def = nullptr;
    for (const TableDef &t : schema::tables())
        if (t.name.compare(m_table, Qt::CaseInsensitive) == 0)
            def = &t;
    if (!def) {
        m_openStatus = logged(Status::failure(QStringLiteral("There is no table named %1.").arg(m_table)));
        m_pos = Pos::EOF_;
        return;
    }
    m_table = def->name;
    m_fields = def->fields;
    for (int i = 0; i < m_fields.size(); ++i)
        m_index.insert(m_fields[i].name, i);
    if (!conditionField.isEmpty()) {
        QString exact;
        for (const FieldDef &f : m_fields)
            if (f.name.compare(conditionField, Qt::CaseInsensitive) == 0)
                exact = f.name;
        if (exact.isEmpty()) {
            m_openStatus = logged(Status::failure(
                QStringLiteral("The table %1 has no field named %2.").arg(m_table, conditionField)));
            m_pos = Pos::EOF_;
            return;
        }
        // The bare field as a condition: true for any set, non-zero value.
        m_condition = db::Dialect::of(m_location).truth(schema::quoted(exact));
    }
    m_open = db::connection(m_location, &m_openStatus).isValid();
    if (!m_open) {
        m_openStatus = logged(m_openStatus);
        m_pos = Pos::EOF_;
        return;
    }
    m_openStatus = MoveFirst();
}

RecordSource::~RecordSource()
{
    m_findCursor.reset();
    // A change that can not be written as the record source closes is not
    // dropped in silence: it is logged and said to whoever listens.
    if (const Status s = flushImplicit(); !s) {
        qCWarning(dataLog).noquote() << QStringLiteral(
            "%1 (%2): a change was lost as the record source closed: %3")
                                            .arg(objectName(), m_table, s.message());
        DataChanges::instance().notifyLostChange(m_location, m_table,
            QStringLiteral("A change to the table %1 could not be saved.\n%2").arg(m_table, s.message()));
    }
    db::sourceClosed(m_location);
}

Status RecordSource::writePending()
{
    return flushImplicit();
}

QStringList RecordSource::fieldNames() const
{
    QStringList names;
    for (const FieldDef &f : m_fields)
        names << f.name;
    return names;
}

FieldKind RecordSource::kind(const QString &field) const
{
    const auto it = m_index.constFind(field);
    return it == m_index.constEnd() ? FieldKind::Text : m_fields[*it].kind;
}

QString RecordSource::where(const QString &extra) const
{
    QStringList parts;
    if (!m_condition.isEmpty())
        parts << m_condition;
    if (!extra.isEmpty())
        parts << extra;
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QLatin1String(" AND "));
}

Status RecordSource::logged(const Status &status) const
{
    if (!status)
        qCWarning(dataLog).noquote()
            << QStringLiteral("%1 (%2): %3").arg(objectName(), m_table, status.message());
    return status;
}

Status RecordSource::count(int &n) const
{
    n = 0;
    if (!m_open)
        return logged(m_openStatus);
    const quint64 gen = db::generation(m_location);
    if (m_count >= 0 && gen == m_countGeneration) {
        n = m_count;
        return Status::ok();
    }
    db::Query q(m_location);
    QVariant counted;
    if (Status s = q.single(
            QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(schema::quoted(m_table), where({})), {}, counted);
        !s)
        return logged(s);
    m_count = counted.toInt();
    m_countGeneration = gen;
    n = m_count;
    return Status::ok();
}

void RecordSource::setPosition(Pos pos, qint64 id)
{
    m_pos = pos;
    m_id = pos == Pos::Record || pos == Pos::Deleted ? id : 0;
    m_loaded = false;
    m_current.clear();
}

Status RecordSource::moveTo(const QString &sqlTail, const QVariantList &binds, Pos ifNone)
{
    m_findCursor.reset();
    if (!m_open)
        return Status::failure(noCurrent());
    if (Status s = flushImplicit(); !s)
        return s;
    if (m_mode != EditMode::None)
        CancelUpdate();
    db::Query q(m_location);
    if (Status s
        = q.run(QStringLiteral("SELECT %1 FROM %2").arg(keyName, schema::quoted(m_table)) + sqlTail, binds);
        !s)
        return logged(s);
    if (q.next())
        setPosition(Pos::Record, q.value(keyName).toLongLong());
    else if (!q.status())
        return logged(q.status());
    else
        setPosition(ifNone, 0);
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::MoveFirst()
{
    return moveTo(where({}) + QStringLiteral(" ORDER BY %1 LIMIT 1").arg(keyName), {}, Pos::EOF_);
}

Status RecordSource::MoveLast()
{
    return moveTo(where({}) + QStringLiteral(" ORDER BY %1 DESC LIMIT 1").arg(keyName), {}, Pos::BOF);
}

Status RecordSource::MoveNext()
{
    if (m_pos == Pos::EOF_)
        return Status::failure(noCurrent());
    if (m_pos == Pos::BOF)
        return moveTo(where({}) + QStringLiteral(" ORDER BY %1 LIMIT 1").arg(keyName), {}, Pos::EOF_);
    return moveTo(
        where(keyName + QStringLiteral(" > ?")) + QStringLiteral(" ORDER BY %1 LIMIT 1").arg(keyName),
        { m_id }, Pos::EOF_);
}

Status RecordSource::MovePrevious()
{
    if (m_pos == Pos::BOF)
        return Status::failure(noCurrent());
    if (m_pos == Pos::EOF_)
        return moveTo(where({}) + QStringLiteral(" ORDER BY %1 DESC LIMIT 1").arg(keyName), {}, Pos::BOF);
    return moveTo(
        where(keyName + QStringLiteral(" < ?")) + QStringLiteral(" ORDER BY %1 DESC LIMIT 1").arg(keyName),
        { m_id }, Pos::BOF);
}

Status RecordSource::Refresh()
{
    if (m_mode != EditMode::None)
        CancelUpdate();
    m_count = -1;
    const Status s = MoveFirst();
    emit refreshed();
    return s;
}

Bookmark RecordSource::bookmark() const
{
    return m_pos == Pos::Record ? Bookmark { m_id } : Bookmark {};
}

Status RecordSource::setBookmark(Bookmark bookmark)
{
    if (!bookmark.isValid())
        return Status::failure(QStringLiteral("The record can not be found."));
    if (!m_open)
        return Status::failure(noCurrent());
    db::Query q(m_location);
    if (Status s = q.run(QStringLiteral("SELECT %1 FROM %2").arg(keyName, schema::quoted(m_table))
                + where(keyName + QStringLiteral(" = ?")),
            { bookmark.id });
        !s)
        return logged(s);
    if (!q.next())
        return q.status() ? Status::failure(recordGone()) : logged(q.status());
    if (Status s = flushImplicit(); !s)
        return s;
    if (m_mode != EditMode::None)
        CancelUpdate();
    setPosition(Pos::Record, bookmark.id);
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::readCurrent() const
{
    if (m_loaded && !m_readStatus)
        m_loaded = false; // asked again: read again
    loadCurrent();
    return m_readStatus;
}

void RecordSource::loadCurrent() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_readStatus = Status::ok();
    m_current = QVector<QVariant>(m_fields.size());
    m_version.clear();
    if (m_pos != Pos::Record)
        return;
    if (!m_open) {
        m_readStatus = logged(m_openStatus);
        return;
    }
    bool found = false;
    m_readStatus = readRecord(m_current, m_version, found);
    if (m_readStatus && !found) // deleted by another record source
        m_readStatus = logged(Status::failure(recordGone()));
}

// Reads the record at m_id as it is saved now, with its row version on the
// server (empty on a file); found is false when it is not there.
Status RecordSource::readRecord(QVector<QVariant> &values, QString &version, bool &found) const
{
    found = false;
    QStringList cols;
    for (const FieldDef &f : m_fields)
        cols << schema::quoted(f.name);
    const QString versionOf = db::Dialect::of(m_location).rowVersion();
    if (!versionOf.isEmpty())
        cols << QStringLiteral("%1 AS %2").arg(versionOf, schema::quoted(rowVersion));
    db::Query q(m_location);
    if (Status s = q.run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                             .arg(cols.join(QLatin1String(", ")), schema::quoted(m_table), keyName),
            { m_id });
        !s)
        return logged(s);
    if (!q.next())
        return q.status() ? Status::ok() : logged(q.status());
    found = true;
    values = QVector<QVariant>(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        values[i] = fieldvalue::fromStored(m_fields[i].kind, q.value(m_fields[i].name));
    version = versionOf.isEmpty() ? QString() : q.value(rowVersion).toString();
    return Status::ok();
}

QVariant RecordSource::value(const QString &field) const
{
    const auto it = m_index.constFind(field);
    if (it == m_index.constEnd())
        return {};
    if (m_mode != EditMode::None)
        return m_pending.value(*it);
    if (m_implicit.contains(*it)) {
        QVariant converted;
        if (convert(*it, m_implicit.value(*it), converted))
            return converted;
        return m_implicit.value(*it);
    }
    loadCurrent();
    return m_current.value(*it);
}

QString RecordSource::text(const QString &field) const
{
    return fieldvalue::shown(value(field));
}

// Turns a value handed by a screen into the field's typed value, or says why
// it can not be stored.
Status RecordSource::convert(int column, const QVariant &in, QVariant &out) const
{
    return fieldvalue::fromInput(m_fields[column], in, out);
}

Status RecordSource::setValue(const QString &field, const QVariant &value)
{
    const auto it = m_index.constFind(field);
    if (it == m_index.constEnd())
        return Status::failure(QStringLiteral("There is no field named %1.").arg(field));
    if (m_mode != EditMode::None) {
        m_pending[*it] = value;
        return Status::ok();
    }
    if (m_pos != Pos::Record)
        return Status::failure(noCurrent());
    m_implicit.insert(*it, value);
    return Status::ok();
}

Status RecordSource::flushImplicit()
{
    if (m_implicit.isEmpty() || m_pos != Pos::Record) {
        m_implicit.clear();
        return Status::ok();
    }
    QStringList sets;
    QVariantList binds;
    for (auto it = m_implicit.cbegin(); it != m_implicit.cend(); ++it) {
        QVariant typed;
        if (Status s = convert(it.key(), it.value(), typed); !s)
            return s;
        sets << schema::quoted(m_fields[it.key()].name) + QStringLiteral(" = ?");
        binds << fieldvalue::toStored(typed);
    }
    binds << m_id;
    if (Status s = db::write(m_location, m_table,
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                .arg(schema::quoted(m_table), sets.join(QLatin1String(", ")), keyName),
            binds);
        !s)
        return logged(s);
    m_implicit.clear();
    m_loaded = false;
    m_lastModified = Bookmark { m_id };
    return Status::ok();
}

Status RecordSource::AddNew()
{
    if (!m_open)
        return m_openStatus;
    if (Status s = flushImplicit(); !s)
        return s;
    if (m_mode != EditMode::Add) { // a pending change is dropped for the new record
        m_beforeAddPos = m_pos;
        m_beforeAddId = m_id;
    }
    m_mode = EditMode::Add;
    m_pending = QVector<QVariant>(m_fields.size());
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::Edit()
{
    if (m_pos != Pos::Record)
        return Status::failure(noCurrent());
    if (Status s = flushImplicit(); !s)
        return s;
    if (m_mode == EditMode::Add) {
        m_pos = m_beforeAddPos;
        m_id = m_beforeAddId;
    }
    // The edit starts from the record as it is saved now, which another desk
    // may have changed since it was read. A record that could not be read is
    // not edited: saving its blanks would wipe what it holds.
    m_loaded = false;
    if (Status s = readCurrent(); !s)
        return s;
    m_pending = m_current;
    m_editBase = m_current;
    m_editVersion = m_version;
    m_mode = EditMode::Edit;
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::Update()
{
    if (m_mode == EditMode::None)
        return Status::failure(QStringLiteral("There is no new or changed record to save."));
    emit aboutToWrite();
    QVector<QVariant> typed(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        if (Status s = convert(i, m_pending[i], typed[i]); !s)
            return s;
    // A change writes only the fields it changes: what another desk saved
    // meanwhile in the others stays.
    QStringList cols;
    QVariantList binds;
    for (int i = 0; i < m_fields.size(); ++i) {
        const QVariant stored = fieldvalue::toStored(typed[i]);
        QVariant before;
        if (m_mode == EditMode::Edit && convert(i, m_editBase.value(i), before)
            && fieldvalue::toStored(before) == stored && before.typeId() == typed[i].typeId())
            continue;
        cols << schema::quoted(m_fields[i].name);
        binds << stored;
    }
    QString sql;
    if (m_mode == EditMode::Edit && cols.isEmpty()) {
        // Nothing changed; the write still finds out whether the record is there.
        sql = QStringLiteral("UPDATE %1 SET %2 = %2 WHERE %2 = ?").arg(schema::quoted(m_table), keyName);
        binds << m_id;
    } else if (m_mode == EditMode::Add) {
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(schema::quoted(m_table), cols.join(QLatin1String(", ")),
                      QStringList(m_fields.size(), QStringLiteral("?")).join(QLatin1String(", ")));
    } else {
        for (QString &c : cols)
            c += QStringLiteral(" = ?");
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?%4")
                  .arg(schema::quoted(m_table), cols.join(QLatin1String(", ")), keyName,
                      unchangedSince(m_editVersion));
        binds << m_id;
        if (!m_editVersion.isEmpty())
            binds << m_editVersion;
    }
    db::Written written;
    if (Status s = m_alsoWrite ? writeWithAlso(sql, binds, written)
                               : db::write(m_location, m_table, sql, binds, &written);
        !s)
        return logged(s); // nothing written: the record stays pending
    if (m_mode == EditMode::Edit && written.rowsAffected == 0)
        return m_editVersion.isEmpty() ? Status::failure(recordGone()) : overtaken(Overtaken::Save);
    if (m_mode == EditMode::Add) {
        m_lastModified = Bookmark { written.insertId };
        m_mode = EditMode::None;
        setPosition(m_beforeAddPos, m_beforeAddId);
    } else {
        m_lastModified = Bookmark { m_id };
        m_mode = EditMode::None;
        m_loaded = false;
    }
    m_pending.clear();
    emit currentChanged();
    return Status::ok();
}

// The record's statement and what goes with it, committed together. A
// change that finds the record overtaken writes nothing more: it is rolled
// back, and Update says why from what written tells.
Status RecordSource::writeWithAlso(const QString &sql, const QVariantList &binds, db::Written &written)
{
    db::Transaction t(m_location);
    if (Status s = t.begin(); !s)
        return s;
    if (Status s = t.write(m_table, sql, binds, &written); !s)
        return s;
    if (m_mode == EditMode::Edit && written.rowsAffected == 0)
        return Status::ok();
    if (Status s = m_alsoWrite(t, m_mode == EditMode::Add ? written.insertId : m_id, m_mode); !s)
        return s;
    return t.commit();
}

Status RecordSource::overtaken(Overtaken what)
{
    QVector<QVariant> now;
    QString version;
    bool found = false;
    if (Status s = readRecord(now, version, found); !s)
        return s;
    db::server::LastChange who;
    if (const Status s = db::server::lastChange(m_location, m_table, m_id, who); !s)
        (void)logged(s); // the message does without the name
    const QVector<QVariant> &seen = what == Overtaken::Save ? m_editBase : m_current;
    QStringList savedThere;
    for (int i = 0; found && i < m_fields.size(); ++i)
        if (fieldvalue::toStored(now[i]) != fieldvalue::toStored(seen.value(i)))
            savedThere << QStringLiteral("%1 \"%2\"").arg(m_fields[i].name, fieldvalue::shown(now[i]));
    if (what == Overtaken::Save) {
        // Saved again, the guide's values go in over what he has now seen.
        if (found)
            m_editVersion = version;
        return logged(Status::failure(found ? bm::overtaken::changedWhileEditing(who, savedThere)
                                            : bm::overtaken::deletedWhileEditing(who)));
    }
    if (!found)
        return Status::ok(); // gone already, as the guide wanted
    m_loaded = false;
    emit currentChanged();
    return logged(Status::failure(bm::overtaken::changedBeforeDeleting(who, savedThere)));
}

void RecordSource::CancelUpdate()
{
    if (m_mode == EditMode::Add)
        setPosition(m_beforeAddPos, m_beforeAddId);
    m_mode = EditMode::None;
    m_pending.clear();
    emit currentChanged();
}

Status RecordSource::Delete()
{
    if (m_mode != EditMode::None)
        return Status::failure(QStringLiteral("Save or cancel the changes before deleting."));
    if (m_pos != Pos::Record)
        return Status::failure(noCurrent());
    m_implicit.clear();
    // What the guide decided on is the record as shown: one another desk
    // changed since is not deleted unseen.
    const QString version = m_loaded && m_readStatus ? m_version : QString();
    QVariantList binds { m_id };
    if (!version.isEmpty())
        binds << version;
    db::Written written;
    if (Status s = db::write(m_location, m_table,
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?%3")
                .arg(schema::quoted(m_table), keyName, unchangedSince(version)),
            binds, &written);
        !s)
        return logged(s);
    if (written.rowsAffected == 0 && !version.isEmpty())
        if (Status s = overtaken(Overtaken::Delete); !s)
            return s;
    setPosition(Pos::Deleted, m_id);
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::FindFirst(const QString &expression)
{
    return find(expression, true);
}

Status RecordSource::FindNext(const QString &expression)
{
    return find(expression, false);
}

// A find reads the matching records in order through one query; FindNext
// goes on reading it while nothing has moved or been written in between, so
// a whole FindFirst/FindNext loop is one pass over the table.
Status RecordSource::find(const QString &expression, bool fromStart)
{
    const bool continuing = !fromStart && m_findCursor && expression == m_findExpression
        && m_pos == Pos::Record && m_id == m_findLastId && db::generation(m_location) == m_findGeneration;
    if (!continuing) {
        m_findCursor.reset();
        std::optional<filter::Expression> e;
        if (Status s = parseFind(expression, e); !s)
            return s;
        if (!fromStart && m_pos == Pos::EOF_) {
            m_noMatch = true;
            return Status::ok();
        }
        const bool fromHere = !fromStart && (m_pos == Pos::Record || m_pos == Pos::Deleted);
        auto q = std::make_unique<db::Query>(m_location);
        if (Status s = runFind(*e, fromHere ? std::optional<qint64>(m_id) : std::nullopt, *q, m_findHere); !s)
            return logged(s);
        m_findCursor = std::move(q);
        m_findExpression = expression;
    }
    if (!nextFound(*m_findCursor, m_findHere.get())) {
        const Status read = m_findCursor->status();
        m_findCursor.reset();
        if (!read)
            return logged(read);
        m_noMatch = true; // the position stays where it was
        return Status::ok();
    }
    const qint64 id = m_findCursor->valueAt(0).toLongLong();
    if (Status s = flushImplicit(); !s)
        return s;
    if (m_mode != EditMode::None)
        CancelUpdate();
    m_noMatch = false;
    setPosition(Pos::Record, id);
    m_findLastId = id;
    m_findGeneration = db::generation(m_location);
    emit currentChanged();
    return Status::ok();
}

Status RecordSource::findAll(const QString &expression, QVector<Bookmark> &found) const
{
    found.clear();
    std::optional<filter::Expression> e;
    if (Status s = parseFind(expression, e); !s)
        return s;
    db::Query q(m_location);
    std::shared_ptr<const filter::Expression> here;
    if (Status s = runFind(*e, std::nullopt, q, here); !s)
        return logged(s);
    while (nextFound(q, here.get()))
        found.append(Bookmark { q.valueAt(0).toLongLong() });
    if (!q.status()) { // the engine stopped part way
        found.clear();
        return logged(q.status());
    }
    return Status::ok();
}

// The expression read, or why it can not be searched for (its words, or the
// table that could not be opened).
Status RecordSource::parseFind(const QString &expression, std::optional<filter::Expression> &e) const
{
    QString error;
    e = filter::parse(expression, fieldNames(), &error);
    if (!e)
        return Status::failure(error);
    return m_open ? Status::ok() : m_openStatus;
}

// The keys of the records e matches, in order (after the key `after` when
// given). The file's matcher and the server's regular expressions answer
// alike for text; where the server can not match the field itself (a date or
// an amount matches as the screen shows it), its value is read too and
// `here` matches it on this side.
Status RecordSource::runFind(const filter::Expression &e, std::optional<qint64> after, db::Query &q,
    std::shared_ptr<const filter::Expression> &here) const
{
    const QString field = schema::quoted(e.field);
    const FieldKind fieldKind = kind(e.field);
    QVariantList binds;
    if (after)
        binds << *after;
    QString test;
    here.reset();
    if (QVariant bind; db::Dialect::of(m_location).findTest(field, fieldKind, e, test, bind))
        binds << bind;
    else
        here = std::make_shared<const filter::Expression>(e);
    QString condition = after ? keyName + QStringLiteral(" > ?") : QString();
    if (!test.isEmpty())
        condition += (condition.isEmpty() ? QString() : QStringLiteral(" AND ")) + test;
    return q.run(QStringLiteral("SELECT %1%2 FROM %3")
                     .arg(keyName, here ? QStringLiteral(", ") + field : QString(), schema::quoted(m_table))
            + where(condition) + QStringLiteral(" ORDER BY %1").arg(keyName),
        binds);
}

bool RecordSource::nextFound(db::Query &q, const filter::Expression *here) const
{
    bool found = q.next();
    while (found && here && !here->pattern.matches(fieldvalue::shownStored(kind(here->field), q.valueAt(1))))
        found = q.next();
    return found;
}

Status RecordSource::columnValues(const QString &field, QVector<QPair<Bookmark, QString>> &rows) const
{
    rows.clear();
    const auto it = m_index.constFind(field);
    if (it == m_index.constEnd())
        return logged(Status::failure(QStringLiteral("There is no field named %1.").arg(field)));
    if (!m_open)
        return logged(m_openStatus);
    db::Query q(m_location);
    if (Status s = q.run(QStringLiteral("SELECT %1, %2 AS Value FROM %3")
                             .arg(keyName, schema::quoted(field), schema::quoted(m_table))
            + where({}) + QStringLiteral(" ORDER BY %1").arg(keyName));
        !s)
        return logged(s);
    const FieldKind kind = m_fields[*it].kind;
    while (q.next())
        rows.append(
            { Bookmark { q.value(keyName).toLongLong() }, fieldvalue::shownStored(kind, q.value("Value")) });
    if (!q.status()) { // the engine stopped part way
        rows.clear();
        return logged(q.status());
    }
    return Status::ok();
}

QVector<QPair<Bookmark, QString>> RecordSource::column(const QString &field) const
{
    QVector<QPair<Bookmark, QString>> rows;
    if (!columnValues(field, rows)) // the failure is in the log; columnValues() hands it over
        rows.clear();
    return rows;
}

} // namespace bm
