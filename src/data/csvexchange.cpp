#include "data/csvexchange.h"

#include "data/database.h"
#include "data/fieldvalue.h"
#include "data/query.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>

#include <csv.h>

namespace bm::csv
{

QString shownFileName(const QString &path)
{
    return text::shownFileName(path);
}

void appendField(QByteArray &line, QByteArrayView utf8, bool first)
{
    if (!first)
        line.append(',');
    bool quote = !utf8.isEmpty()
        && (utf8.front() == ' ' || utf8.front() == '\t' || utf8.back() == ' ' || utf8.back() == '\t');
    for (qsizetype i = 0; i < utf8.size() && !quote; ++i) {
        const char c = utf8[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        line.append(utf8);
        return;
    }
    const size_t needed = csv_write(nullptr, 0, utf8.data(), size_t(utf8.size()));
    const qsizetype at = line.size();
    line.resize(at + qsizetype(needed));
    csv_write(line.data() + at, needed, utf8.data(), size_t(utf8.size()));
}

const QList<ExportTable> &exportTables()
{
    static const QList<ExportTable> tables {
        { QStringLiteral("Phone"), QStringLiteral("Contacts") },
        { QStringLiteral("Booking"), QStringLiteral("Bookings") },
        { QStringLiteral("Reminder"), QStringLiteral("Reminders") },
        { QStringLiteral("Diary"), QStringLiteral("Fishing Log") },
        { QStringLiteral("Patterns"), QStringLiteral("Fishing Patterns") },
        { QStringLiteral("Rods"), QStringLiteral("Rods and Reels") },
        { QStringLiteral("Boat"), QStringLiteral("Boats and Motors") },
        { QStringLiteral("Equipment"), QStringLiteral("Equipment") },
    };
    return tables;
}

Status exportTable(const QString &databasePath, const QString &table, const QString &filePath, int *rows)
{
    if (rows)
        *rows = 0;
    const TableDef *def = schema::table(table);
    if (!def)
        return Status::failure(QStringLiteral("There is no table named %1.").arg(table));
    QStringList columns;
    for (const FieldDef &f : def->fields)
        columns << schema::quoted(f.name);
    const QString unreadable = QStringLiteral("The records of %1 can not be read").arg(def->name);
    db::Query select(databasePath);
    if (Status s = select.run(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                  .arg(columns.join(QLatin1String(", ")), schema::quoted(def->name),
                                      QLatin1String(schema::keyColumn)));
        !s)
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, s.message()));

    const QString shown = shownFileName(filePath);
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));

    constexpr qsizetype chunk = 1024 * 1024;
    QByteArray buffer;
    buffer.reserve(chunk + 64 * 1024);
    buffer.append("\xEF\xBB\xBF"); // spreadsheets read the file as UTF-8 by it
    for (int i = 0; i < def->fields.size(); ++i)
        appendField(buffer, def->fields[i].name.toUtf8(), i == 0);
    buffer.append("\r\n");

    static const QLocale plain = QLocale::c();
    int written = 0;
    // The columns are the table's fields in order: each is read by its place.
    while (select.next()) {
        for (int i = 0; i < def->fields.size(); ++i) {
            // Amounts as printed, with a point; a value that is no amount
            // is written as it is stored, not as a made-up 0.00.
            const QVariant amount = def->fields[i].kind == FieldKind::Amount
                ? fieldvalue::fromStored(FieldKind::Amount, select.valueAt(i))
                : QVariant();
            if (!amount.isNull())
                appendField(buffer, fieldvalue::shown(amount, fieldvalue::Amounts::Printed, plain).toLatin1(),
                    i == 0);
            else
                appendField(buffer, select.textAt(i), i == 0);
        }
        buffer.append("\r\n");
        ++written;
        if (buffer.size() > chunk) {
            if (file.write(buffer) != buffer.size())
                break;
            buffer.resize(0); // keeps its room for the next chunk
        }
    }
    if (!select.status()) {
        file.cancelWriting();
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, select.status().message()));
    }
    if (file.error() != QFileDevice::NoError || file.write(buffer) != buffer.size() || !file.commit())
        return Status::failure(QStringLiteral("The file %1 could not be written: %2. Nothing was saved.")
                                   .arg(shown, file.errorString()));
    if (rows)
        *rows = written;
    return Status::ok();
}

} // namespace bm::csv
