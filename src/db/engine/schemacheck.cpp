#include "db/engine/schemacheck.h"

#include "db/engine/engine.h"
#include "db/engine/migrations.h"
#include "schema/declarations.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>

#include <sqlite3.h>

namespace bm::schemacheck
{

namespace
{

// One statement on the raw connection; the engine's reason is kept at the
// moment a step fails.
class Query
{
public:
    Query(sqlite3 *db, const QString &sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
            fail();
    }
    ~Query() { sqlite3_finalize(m_stmt); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    bool next()
    {
        if (!m_error.isEmpty() || !m_stmt)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail();
        return false;
    }
    bool failed() const { return !m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    QString text(int column) const
    {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return t ? QString::fromUtf8(t, sqlite3_column_bytes(m_stmt, column)) : QString();
    }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    void fail()
    {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        if (m_error.isEmpty())
            m_error = QStringLiteral("unknown error");
    }

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_error;
};

// A row of sqlite_schema.
struct Object {
    QString type; // table, index, view, trigger
    QString name;
    QString table; // the table an index or trigger belongs to
    QString sql;
    qint64 rootPage = 0;

    bool isPlainTable() const
    {
        // A virtual table has no pages of its own; the engine writes its
        // statement as "CREATE VIRTUAL TABLE".
        return type == QLatin1String("table") && rootPage != 0
            && !sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
    }
    bool isVirtualTable() const { return type == QLatin1String("table") && !isPlainTable(); }
};

bool sameName(const QString &a, const QString &b)
{
    // The engine's names ignore case (ASCII): "phone" is the table Phone.
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const Object *find(const QList<Object> &objects, const QString &type, const QString &name)
{
    for (const Object &o : objects)
        if (o.type == type && sameName(o.name, name))
            return &o;
    return nullptr;
}

QString normalizedSql(const QString &sql);

// A table of the file's layout (one a later layout brings in is not yet the
// program's).
bool isProgramTable(const QString &name, int version)
{
    for (const TableDef &t : schema::tables())
        if (t.since <= version && sameName(t.name, name))
            return true;
    return false;
}

// The tables the engine keeps for itself, the program's version mark, and
// the change stamps in the layouts that have them (their form is checked
// apart).
bool isAllowedOtherTable(const QString &name, int version)
{
    return sameName(name, QLatin1String(migrations::markTable))
        || sameName(name, QLatin1String("sqlite_sequence"))
        || name.startsWith(QLatin1String("sqlite_stat"), Qt::CaseInsensitive)
        || (version >= schema::stampsSince && sameName(name, QLatin1String(schema::stampTable)))
        || (version >= schema::historySince
            && (sameName(name, QLatin1String(table::History)) || sameName(name, QLatin1String(table::Bin))));
}

// The history's index, exactly as the program makes it, in the layouts that
// have it.
bool isHistoryIndex(const Object &index, int version)
{
    return version >= schema::historySince && sameName(index.name, QLatin1String(schema::historyIndex))
        && sameName(index.table, QLatin1String(table::History))
        && normalizedSql(index.sql) == normalizedSql(schema::createHistoryIndex());
}

// A statement with every run of blanks and line breaks outside quotes and
// names made one blank, so that two writings of the same statement compare
// equal. What is inside quotes is compared as it is.
QString normalizedSql(const QString &sql)
{
    QString out;
    out.reserve(sql.size());
    QChar quote;
    bool blank = false;
    for (const QChar c : sql) {
        if (quote.isNull() && c.isSpace()) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += QLatin1Char(' ');
        blank = false;
        out += c;
        if (quote.isNull()) {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
                quote = c;
            else if (c == QLatin1Char('['))
                quote = QLatin1Char(']');
        } else if (c == quote) {
            quote = QChar(); // a doubled quote closes and opens again: the same
        }
    }
    return out;
}

// Whether the trigger is one the program keeps, word for word.
bool isOwnTrigger(const Object &trigger, const QList<schema::TriggerDef> &own)
{
    const QString sql = normalizedSql(trigger.sql);
    return std::any_of(own.cbegin(), own.cend(), [&](const schema::TriggerDef &t) {
        return sameName(t.name, trigger.name) && sameName(t.table, trigger.table)
            && normalizedSql(t.sql) == sql;
    });
}

QString notUsed(const QString &what)
{
    return QStringLiteral("holds %1, which Brindlemoor does not use. It was left as it is.").arg(what);
}

QString incomplete(const QString &missing)
{
    return QStringLiteral("is not a complete Brindlemoor database: %1 is missing.").arg(missing);
}

struct Mark {
    bool present = false;
    int version = 0;
    QString problem;
};

// The version mark, when the file has one as a plain table (a mark that is
// a view or a virtual table is refused with the other code).
Mark readMark(sqlite3 *db, const QList<Object> &objects)
{
    Mark mark;
    const Object *table = find(objects, QStringLiteral("table"), QLatin1String(migrations::markTable));
    if (!table || !table->isPlainTable())
        return mark;
    mark.present = true;
    Query q(db,
        QStringLiteral("SELECT %1, typeof(%1) FROM %2")
            .arg(schema::quoted(QLatin1String(migrations::markField)),
                schema::quoted(QLatin1String(migrations::markTable))));
    int rows = 0;
    bool whole = false;
    qint64 value = 0;
    while (q.next()) {
        if (++rows == 1) {
            whole = q.text(1) == QLatin1String("integer");
            value = q.integer(0);
        }
    }
    if (q.failed())
        mark.problem = q.error();
    else if (rows == 0)
        mark.problem = QStringLiteral("it holds no version");
    else if (rows > 1)
        mark.problem = QStringLiteral("it holds %1 versions instead of one").arg(rows);
    else if (!whole)
        mark.problem = QStringLiteral("its version is not a whole number");
    else if (value < 1 || value > 1000000)
        mark.problem = QStringLiteral("its version %1 is no layout of Brindlemoor").arg(value);
    else
        mark.version = int(value);
    return mark;
}

Finding refusal(const QString &shownAs, const QString &what)
{
    return { Status::failure(fileMessage(shownAs, what)), 0, what };
}

// Why a program table's ID is not its record key (a rowid alias, which alone
// keeps every record's ID distinct); empty when it is.
QString keyProblem(sqlite3 *db, const QString &table, bool *withoutRowid, QString *error)
{
    const QString quotedName = schema::quoted(table);
    {
        Query list(db, QStringLiteral("PRAGMA main.table_list(%1)").arg(quotedName));
        while (list.next())
            if (list.integer(4) != 0)
                *withoutRowid = true;
        if (list.failed()) {
            *error = list.error();
            return {};
        }
    }
    if (*withoutRowid)
        return QStringLiteral("it is stored WITHOUT ROWID");

    Query info(db, QStringLiteral("PRAGMA main.table_xinfo(%1)").arg(quotedName));
    bool hasKey = false, keyIsId = false, idIsInteger = false, composite = false;
    while (info.next()) {
        const bool isId = sameName(info.text(1), QLatin1String(schema::keyColumn));
        hasKey = hasKey || isId;
        if (info.integer(5) > 1)
            composite = true;
        if (info.integer(5) == 1 && isId) {
            keyIsId = true;
            idIsInteger = info.text(2).compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
        }
    }
    if (info.failed()) {
        *error = info.error();
        return {};
    }
    if (!hasKey)
        return QStringLiteral("it has no field ID");
    if (composite)
        return QStringLiteral("its primary key is made of several fields");
    if (!keyIsId)
        return QStringLiteral("its field ID is not its primary key");
    if (!idIsInteger)
        return QStringLiteral("its field ID is not declared INTEGER");

    // "ID INTEGER PRIMARY KEY DESC" and the like are keys of their own, kept
    // in an index, not the record's identity.
    Query indexes(db, QStringLiteral("PRAGMA main.index_list(%1)").arg(quotedName));
    bool keyIndex = false;
    while (indexes.next())
        keyIndex = keyIndex || indexes.text(3) == QLatin1String("pk");
    if (indexes.failed()) {
        *error = indexes.error();
        return {};
    }
    if (keyIndex)
        return QStringLiteral("its field ID is not the record's own identity");
    return {};
}

// Why an index may not stay; empty when it may. Indexes carry no code of
// their own, and one on plain fields changes nothing but speed, so the
// program's and any other such index on its tables are allowed (a guide's
// tool may have added one). Refused: an index on any other table, one on an
// expression (that would be the file's code, evaluated on every write), one
// with a condition, and one that forbids two records alike (a guide could
// no longer save a second contact of the same name).
// Whether the layout's own indexes include this one as keeping each value
// once (the outbox's plan keys).
bool isProgramUniqueIndex(const Object &index, int version)
{
    for (const schema::IndexDef &i : schema::indexes())
        if (i.unique && i.since <= version && sameName(i.name, index.name) && sameName(i.table, index.table))
            return true;
    return false;
}

// Whether the index of the table keeps each value once.
bool isUniqueIndex(sqlite3 *db, const QString &table, const QString &name, QString *error)
{
    Query list(db, QStringLiteral("PRAGMA main.index_list(%1)").arg(schema::quoted(table)));
    bool unique = false;
    while (list.next())
        if (sameName(list.text(1), name))
            unique = list.integer(2) != 0;
    if (list.failed())
        *error = list.error();
    return unique;
}

QString indexProblem(sqlite3 *db, const Object &index, int version, QString *error)
{
    if (!isProgramTable(index.table, version))
        return QStringLiteral("an index named %1 on the table %2").arg(index.name, index.table);
    Query list(db, QStringLiteral("PRAGMA main.index_list(%1)").arg(schema::quoted(index.table)));
    QString problem;
    while (list.next()) {
        if (!sameName(list.text(1), index.name))
            continue;
        if (list.integer(2) != 0 && !isProgramUniqueIndex(index, version))
            problem = QStringLiteral("an index named %1 that allows no two records of the table %2 alike")
                          .arg(index.name, index.table);
        else if (list.integer(4) != 0)
            problem = QStringLiteral("an index named %1 on part of the table %2 only, chosen by a condition")
                          .arg(index.name, index.table);
    }
    if (list.failed()) {
        *error = list.error();
        return {};
    }
    if (!problem.isEmpty())
        return problem;
    Query columns(db, QStringLiteral("PRAGMA main.index_xinfo(%1)").arg(schema::quoted(index.name)));
    while (columns.next())
        if (columns.integer(5) != 0 && columns.integer(1) == -2)
            problem = QStringLiteral("an index named %1 on a computed expression").arg(index.name);
    if (columns.failed()) {
        *error = columns.error();
        return {};
    }
    return problem;
}

// The one field an index covers, or empty.
QString indexedField(sqlite3 *db, const QString &index, QString *error)
{
    Query columns(db, QStringLiteral("PRAGMA main.index_info(%1)").arg(schema::quoted(index)));
    QStringList names;
    while (columns.next())
        names << columns.text(2);
    if (columns.failed())
        *error = columns.error();
    return names.size() == 1 ? names.first() : QString();
}

// Why the declaration of a program table is not as the program makes it;
// empty when it is. Beyond each field's name and type the program declares
// nothing but the record key, so a default value (written into every record
// a save leaves the field out of), a collation, a check, a reference or any
// other rule is the file's own. Fields of a guide's own may be there, plain
// like the program's. The key's own faults are told before this.
QString declarationProblem(const TableDef &def, const QString &sql)
{
    const declarations::Table table = declarations::read(sql);
    if (!table.readable)
        return QStringLiteral("a table named %1 whose declaration can not be read").arg(def.name);
    for (const QStringList &rule : table.rules) {
        const bool key = rule.size() == 5 && rule[0] == QLatin1String("PRIMARY")
            && rule[1] == QLatin1String("KEY") && rule[2] == QLatin1String("(")
            && sameName(rule[3], QLatin1String(schema::keyColumn)) && rule[4] == QLatin1String(")");
        if (!key)
            return QStringLiteral("a rule of its own in the table %1 (%2)").arg(def.name, rule.join(u' '));
    }
    if (!table.after.isEmpty())
        return QStringLiteral("the table %1 declared %2").arg(def.name, table.after.join(u' '));
    for (const declarations::Field &f : table.fields) {
        const bool isKey = sameName(f.name, QLatin1String(schema::keyColumn));
        QStringList rest = f.rest;
        if (isKey && rest.size() >= 2 && rest[0] == QLatin1String("PRIMARY")
            && rest[1] == QLatin1String("KEY")) {
            rest.remove(0, 2);
            if (!rest.isEmpty() && (rest[0] == QLatin1String("ASC") || rest[0] == QLatin1String("DESC")))
                rest.removeFirst();
            if (!rest.isEmpty() && rest[0] == QLatin1String("AUTOINCREMENT"))
                rest.removeFirst();
        }
        if (!rest.isEmpty()) {
            const QString &word = rest.first();
            QString what = QStringLiteral("a rule of its own (%3) on the field %1 in the table %2");
            if (word == QLatin1String("DEFAULT"))
                what = QStringLiteral("a default value for the field %1 in the table %2");
            else if (word == QLatin1String("COLLATE"))
                what = QStringLiteral("a collation of its own for the field %1 in the table %2");
            else if (word == QLatin1String("CHECK"))
                what = QStringLiteral("a check of its own on the field %1 in the table %2");
            else if (word == QLatin1String("GENERATED") || word == QLatin1String("AS"))
                what = QStringLiteral("a computed field %1 in the table %2");
            return what.arg(f.name, def.name, rest.join(u' '));
        }
        if (isKey)
            continue;
        for (const FieldDef &own : def.fields)
            if (sameName(own.name, f.name)
                && f.type.compare(schema::declaredType(own.kind), Qt::CaseInsensitive) != 0)
                return QStringLiteral(
                    "the field %1 in the table %2 declared %3 where Brindlemoor declares %4")
                    .arg(f.name, def.name, f.type.isEmpty() ? QStringLiteral("without a type") : f.type,
                        schema::declaredType(own.kind));
    }
    return {};
}

} // namespace

QString fileMessage(const QString &shownAs, const QString &what)
{
    return QStringLiteral("The database file %1 %2")
        .arg(QDir::toNativeSeparators(QFileInfo(shownAs).absoluteFilePath()), what);
}

sqlite3 *openGuarded(const QString &path, Access access, QString *reason)
{
    // Read access too opens for writing: what a crash left half written is
    // rolled back when the file is first read, and a read-only connection
    // could not do that. query_only below keeps every other write out.
    int flags = SQLITE_OPEN_READWRITE;
    if (access == Access::Create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    const int rc
        = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (reason)
            *reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, db::busyTimeoutMs);
    db::distrust(db, db::maxValueBytes);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    if (access == Access::Read
        && sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (reason)
            *reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

int layoutOf(sqlite3 *db, QString *problem)
{
    QList<Object> objects;
    Query q(db, QStringLiteral("SELECT type, name, tbl_name, sql, rootpage FROM sqlite_schema"));
    bool anyTable = false;
    while (q.next()) {
        objects.append({ q.text(0), q.text(1), q.text(2), q.text(3), q.integer(4) });
        anyTable = anyTable || objects.last().type == QLatin1String("table");
    }
    if (q.failed()) {
        *problem = q.error();
        return -1;
    }
    const Mark mark = readMark(db, objects);
    if (!mark.problem.isEmpty()) {
        *problem = QStringLiteral("its version mark can not be read: %1").arg(mark.problem);
        return -1;
    }
    if (mark.present)
        return mark.version;
    return anyTable ? 1 : 0;
}

Finding inspect(sqlite3 *db, const QString &shownAs, int newest, bool checkPages)
{
    auto damaged = [&](const QString &reason) {
        return refusal(shownAs,
            QStringLiteral("is damaged and can not be opened (%1). Restore a backup copy.").arg(reason));
    };
    auto unreadable = [&](const QString &reason) {
        return refusal(shownAs, QStringLiteral("can not be read (%1).").arg(reason));
    };

    // Everything the file holds, as the engine lists it. Reading the list
    // runs nothing: triggers fire on writes, views on reads of their own.
    QList<Object> objects;
    {
        Query q(db,
            QStringLiteral("SELECT type, name, tbl_name, sql, rootpage FROM sqlite_schema ORDER BY rowid"));
        while (q.next())
            objects.append({ q.text(0), q.text(1), q.text(2), q.text(3), q.integer(4) });
        if (q.failed())
            return damaged(q.error());
    }

    // The mark first: a newer program may have added what this one does not
    // know, and that is the thing to say.
    const Mark mark = readMark(db, objects);
    if (!mark.problem.isEmpty())
        return refusal(shownAs,
            QStringLiteral("holds a version mark that can not be read (%1). It was left as it is.")
                .arg(mark.problem));
    const int version = mark.present ? mark.version : 1;
    if (version > newest)
        return refusal(shownAs,
            QStringLiteral("was made by a newer version of Brindlemoor (its layout is %1, this version knows "
                           "layouts up to %2). Open it with that version. It was left as it is.")
                .arg(version)
                .arg(newest));

    // Code of the file's own, before anything else is read. The program's
    // own triggers of the file's layout may stay, exactly as it writes them.
    const QList<schema::TriggerDef> ownTriggers = schema::ownTriggers(version);
    for (const Object &o : objects) {
        if (o.type == QLatin1String("trigger") && !isOwnTrigger(o, ownTriggers))
            return refusal(shownAs, notUsed(QStringLiteral("a trigger named %1").arg(o.name)));
        if (o.type == QLatin1String("view"))
            return refusal(shownAs, notUsed(QStringLiteral("a view named %1").arg(o.name)));
        if (o.isVirtualTable())
            return refusal(shownAs, notUsed(QStringLiteral("a virtual table named %1").arg(o.name)));
    }

    if (checkPages) {
        Query q(db, QStringLiteral("PRAGMA quick_check"));
        const bool ok = q.next() && q.text(0) == QLatin1String("ok");
        if (q.failed())
            return damaged(q.error());
        if (!ok)
            return refusal(shownAs, QStringLiteral("is damaged. Restore a backup copy."));
    }

    // The program's tables, each with its record key and the fields of the
    // file's own layout (fields beyond them are allowed).
    for (const TableDef &t : schema::tables()) {
        if (t.since > version)
            continue;
        if (!find(objects, QStringLiteral("table"), t.name))
            return refusal(shownAs, incomplete(QStringLiteral("the table %1").arg(t.name)));
        QString error;
        bool withoutRowid = false;
        const QString key = keyProblem(db, t.name, &withoutRowid, &error);
        if (!error.isEmpty())
            return unreadable(error);
        if (!key.isEmpty() && key == QLatin1String("it has no field ID"))
            return refusal(shownAs, incomplete(QStringLiteral("the key of the table %1").arg(t.name)));
        if (!key.isEmpty())
            return refusal(shownAs,
                QStringLiteral("holds the table %1 without a record key of its own (%2), so one change could "
                               "overwrite several records. It was left as it is.")
                    .arg(t.name, key));

        const QString declared = declarationProblem(t, find(objects, QStringLiteral("table"), t.name)->sql);
        if (!declared.isEmpty())
            return refusal(shownAs, notUsed(declared));

        Query info(db, QStringLiteral("PRAGMA main.table_xinfo(%1)").arg(schema::quoted(t.name)));
        QStringList columns;
        while (info.next()) {
            columns << info.text(1);
            // 2 and 3: a field computed by an expression of the file's own.
            if (info.integer(6) == 2 || info.integer(6) == 3)
                return refusal(shownAs,
                    notUsed(QStringLiteral("a computed field %1 in the table %2").arg(info.text(1), t.name)));
        }
        if (info.failed())
            return unreadable(info.error());
        for (const FieldDef &f : t.fields) {
            if (f.since > version)
                continue;
            const bool there = std::any_of(
                columns.cbegin(), columns.cend(), [&](const QString &c) { return sameName(c, f.name); });
            if (!there)
                return refusal(
                    shownAs, incomplete(QStringLiteral("the field %1 of the table %2").arg(f.name, t.name)));
        }
    }

    for (const Object &o : objects)
        if (o.type == QLatin1String("table") && !isProgramTable(o.name, version)
            && !isAllowedOtherTable(o.name, version))
            return refusal(shownAs, notUsed(QStringLiteral("a table named %1").arg(o.name)));

    for (const Object &o : objects) {
        if (o.type != QLatin1String("index") || isHistoryIndex(o, version))
            continue;
        QString error;
        const QString problem = indexProblem(db, o, version, &error);
        if (!error.isEmpty())
            return unreadable(error);
        if (!problem.isEmpty())
            return refusal(shownAs, notUsed(problem));
    }

    // The indexes of the file's layout, each on its field.
    for (const schema::IndexDef &i : schema::indexes()) {
        if (i.since > version)
            continue;
        const Object *index = find(objects, QStringLiteral("index"), i.name);
        QString error;
        const QString field
            = index && sameName(index->table, i.table) ? indexedField(db, index->name, &error) : QString();
        if (!error.isEmpty())
            return unreadable(error);
        const bool unique = !field.isEmpty() && i.unique && isUniqueIndex(db, i.table, index->name, &error);
        if (!error.isEmpty())
            return unreadable(error);
        if (!sameName(field, i.field) || unique != i.unique)
            return refusal(shownAs,
                incomplete(QStringLiteral("the index %1 on the field %2 of the table %3")
                               .arg(i.name, i.field, i.table)));
    }

    // The change stamps of the file's layout: their table as the program
    // makes it, and every trigger that keeps them.
    if (version >= schema::stampsSince) {
        const QString stampName = QLatin1String(schema::stampTable);
        const Object *stamps = find(objects, QStringLiteral("table"), stampName);
        if (!stamps)
            return refusal(shownAs, incomplete(QStringLiteral("the table %1").arg(stampName)));
        if (normalizedSql(stamps->sql) != normalizedSql(schema::createStampTable()))
            return refusal(shownAs,
                notUsed(QStringLiteral("a table named %1 that is not as Brindlemoor makes it")
                            .arg(stamps->name)));
        for (const schema::TriggerDef &t : ownTriggers)
            if (!find(objects, QStringLiteral("trigger"), t.name))
                return refusal(shownAs,
                    incomplete(QStringLiteral("the trigger %1 of the table %2").arg(t.name, t.table)));
    }

    // The history and the bin of the file's layout, as the program makes
    // them, and the history's index (their triggers are checked above).
    if (version >= schema::historySince) {
        for (const auto &[name, sql] :
            { std::pair { QLatin1String(table::History), schema::createHistoryTable() },
                std::pair { QLatin1String(table::Bin), schema::createBinTable() } }) {
            const Object *t = find(objects, QStringLiteral("table"), name);
            if (!t)
                return refusal(shownAs, incomplete(QStringLiteral("the table %1").arg(name)));
            if (normalizedSql(t->sql) != normalizedSql(sql))
                return refusal(shownAs,
                    notUsed(
                        QStringLiteral("a table named %1 that is not as Brindlemoor makes it").arg(t->name)));
        }
        const Object *index = find(objects, QStringLiteral("index"), QLatin1String(schema::historyIndex));
        if (!index || !isHistoryIndex(*index, version))
            return refusal(shownAs,
                incomplete(QStringLiteral("the index %1 of the table %2")
                               .arg(QLatin1String(schema::historyIndex), QLatin1String(table::History))));
    }

    // Without the check of every page, each table's first and last records
    // are still read: a file damaged throughout is told at once, and the
    // whole check can follow later without holding up the start.
    if (!checkPages)
        for (const TableDef &t : schema::tables())
            for (const char *order : { "ASC", "DESC" }) {
                if (t.since > version)
                    continue;
                Query q(db,
                    QStringLiteral("SELECT * FROM \"%1\" ORDER BY ID %2 LIMIT 1")
                        .arg(QString(t.name).replace(QLatin1Char('"'), QLatin1String("\"\"")),
                            QLatin1String(order)));
                while (q.next()) { }
                if (q.failed())
                    return damaged(q.error());
            }
    return { Status::ok(), version, QString() };
}

Finding inspect(const QString &path, const QString &shownAs, bool checkPages)
{
    const QString shown = shownAs.isEmpty() ? path : shownAs;
    QString reason;
    sqlite3 *db = openGuarded(path, Access::Read, &reason);
    if (!db)
        return refusal(shown, QStringLiteral("can not be opened (%1).").arg(reason));
    const Finding found = inspect(db, shown, migrations::currentVersion, checkPages);
    sqlite3_close_v2(db);
    return found;
}

} // namespace bm::schemacheck
