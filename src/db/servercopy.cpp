#include "db/servercopy.h"

#include "core/log.h"
#include "db/database.h"
#include "db/engine/server.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

namespace bm::servercopy
{

namespace
{

// Records go to the server this many at a time.
constexpr int batchRows = 250;

struct Source {
    QString table;
    QStringList columns; // quoted, the key first
    bool keyed = true;
    // Written by the server's triggers as the records come in: emptied just
    // before the file's rows are copied, and no guide's records.
    bool byTriggers = false;
};

QList<Source> sources()
{
    QList<Source> all;
    for (const TableDef &t : schema::tables()) {
        Source s { t.name, { schema::quoted(QLatin1String(schema::keyColumn)) } };
        for (const FieldDef &f : t.fields)
            s.columns << schema::quoted(f.name);
        all << s;
    }
    all << Source { QLatin1String(schema::stampTable),
        { QStringLiteral("\"Kind\""), QStringLiteral("\"Record\""), QStringLiteral("\"Sequence\""),
            QStringLiteral("\"Modified\"") },
        false };
    // The history and the bin go along with the records they tell of.
    const QString key = schema::quoted(QLatin1String(schema::keyColumn));
    namespace H = field::History;
    namespace B = field::Bin;
    all << Source { QLatin1String(table::History),
        { key, schema::quoted(H::Kind), schema::quoted(H::Record), schema::quoted(H::At),
            schema::quoted(H::Login), schema::quoted(H::Desk), schema::quoted(H::Action),
            schema::quoted(H::Field), schema::quoted(H::Old), schema::quoted(H::New) },
        true, true };
    all << Source { QLatin1String(table::Bin),
        { key, schema::quoted(B::Kind), schema::quoted(B::Record), schema::quoted(B::Deleted),
            schema::quoted(B::Login), schema::quoted(B::Summary), schema::quoted(B::Row) },
        true, true };
    return all;
}

// Every record of a table, each as its values in the columns' order.
Status readAll(const QString &path, const Source &source, QList<QVariantList> &rows)
{
    rows.clear();
    db::Query q(path);
    if (Status s = q.run(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                             .arg(source.columns.join(QStringLiteral(", ")), schema::quoted(source.table),
                                 source.columns.first()));
        !s)
        return s;
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < source.columns.size(); ++c)
            row << q.valueAt(c);
        rows << row;
    }
    return q.status();
}

// Whether the shared database holds exactly what an empty one is laid in
// with: the delivered file's starter records, unchanged.
Status holdsNothingYet(const QString &uri)
{
    QTemporaryDir folder;
    const QString delivered = folder.filePath(QStringLiteral("delivered.mdb"));
    if (!folder.isValid() || !QFile::copy(QStringLiteral(":/delivered/tallow.mdb"), delivered))
        return Status::failure(QStringLiteral("The starter records can not be read."));
    QFile::setPermissions(delivered, QFile::ReadOwner | QFile::WriteOwner);
    Status result = Status::ok();
    for (const Source &source : sources()) {
        if (!source.keyed || source.byTriggers)
            continue;
        QList<QVariantList> there, starter;
        if (Status s = readAll(uri, source, there); !s) {
            result = s;
            break;
        }
        if (Status s = readAll(delivered, source, starter); !s) {
            result = s;
            break;
        }
        auto texts = [](const QList<QVariantList> &rows) {
            QStringList all;
            for (const QVariantList &row : rows)
                for (const QVariant &v : row)
                    all << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
            return all;
        };
        if (texts(there) != texts(starter)) {
            result = db::server::failure(uri,
                QStringLiteral("already holds records (in the table %1). Your data can only be copied into "
                               "a database that holds nothing yet; it was left as it is.")
                    .arg(source.table));
            break;
        }
    }
    db::close(delivered);
    return result;
}

} // namespace

QString Report::summary() const
{
    QStringList lines { QStringLiteral("Your data was copied to the shared database %1.").arg(server),
        QString() };
    const QLocale locale;
    for (const Table &t : tables)
        lines << QStringLiteral("%1: %2").arg(t.name, locale.toString(t.records));
    lines << QString()
          << QStringLiteral("Every table of the shared database holds as many records as the file. "
                            "Choose \"Use the Shared Database\" to work on it.");
    return lines.join(QLatin1Char('\n'));
}

Status copy(const QString &file, const QString &uri, Report *report)
{
    if (Status s = db::check(file); !s)
        return s;
    if (Status s = db::check(uri); !s)
        return s;
    if (Status s = holdsNothingYet(uri); !s)
        return s;
    Report done;
    done.server = db::displayName(uri);
    db::Transaction t(uri);
    if (Status s = t.begin(); !s)
        return s;
    const QList<Source> all = sources();
    // The starter records go; the stamps, history and bin the server makes
    // as the records come in give way to the file's own.
    for (const Source &source : all)
        if (Status s
            = t.write(source.table, QStringLiteral("DELETE FROM %1").arg(schema::quoted(source.table)), {});
            !s)
            return s;
    for (const Source &source : all) {
        if (!source.keyed || source.byTriggers)
            if (Status s = t.write(
                    source.table, QStringLiteral("DELETE FROM %1").arg(schema::quoted(source.table)), {});
                !s)
                return s;
        QList<QVariantList> rows;
        if (Status s = readAll(file, source, rows); !s)
            return s;
        const QString one = QLatin1Char('(')
            + QStringList(source.columns.size(), QStringLiteral("?")).join(QLatin1Char(','))
            + QLatin1Char(')');
        for (qsizetype first = 0; first < rows.size(); first += batchRows) {
            const qsizetype n = std::min<qsizetype>(batchRows, rows.size() - first);
            QVariantList binds;
            binds.reserve(n * source.columns.size());
            for (qsizetype r = first; r < first + n; ++r)
                binds << rows[r];
            const QString sql
                = QStringLiteral("INSERT INTO %1 (%2) %3VALUES %4")
                      .arg(schema::quoted(source.table), source.columns.join(QStringLiteral(", ")),
                          source.keyed ? QStringLiteral("OVERRIDING SYSTEM VALUE ") : QString(),
                          QStringList(n, one).join(QStringLiteral(", ")));
            if (Status s = t.write(source.table, sql, binds); !s)
                return s;
        }
        // New records go on from the highest key copied.
        QVariant next;
        if (source.keyed)
            if (Status s = t.single(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'ID'), "
                                                   "coalesce((SELECT max(\"ID\") FROM %1), 0) + 1, false)")
                                        .arg(schema::quoted(source.table)),
                    {}, next);
                !s)
                return s;
        done.tables << Report::Table { source.table, rows.size() };
    }
    // The counts on the server, within the copy: they must be the file's.
    for (const Report::Table &table : std::as_const(done.tables)) {
        QVariant counted;
        if (Status s = t.single(
                QStringLiteral("SELECT count(*) FROM %1").arg(schema::quoted(table.name)), {}, counted);
            !s)
            return s;
        const qint64 there = counted.toLongLong();
        if (there != table.records)
            return db::server::failure(uri,
                QStringLiteral(
                    "received %1 records of the table %2 but the file holds %3. Nothing was copied.")
                    .arg(there)
                    .arg(table.name)
                    .arg(table.records));
    }
    if (Status s = t.commit(); !s)
        return s;
    qCInfo(dataLog).noquote() << QStringLiteral("The file %1 was copied to the shared database %2.")
                                     .arg(db::displayName(file), done.server);
    if (report)
        *report = done;
    return Status::ok();
}

} // namespace bm::servercopy
