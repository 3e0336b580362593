#include "exchange/csvexchange.h"

#include "core/log.h"
#include "db/database.h"
#include "db/fieldvalue.h"
#include "db/query.h"
#include "schema/fields.h"
#include "schema/schema.h"

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

namespace
{

// The first characters of a cell that spreadsheets take for a formula.
bool startsFormula(char16_t c)
{
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

char16_t codeOf(QChar c)
{
    return c.unicode();
}

char16_t codeOf(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

// Apostrophes, if any, then a character that starts a formula.
template <typename View> bool needsProtection(View text)
{
    qsizetype i = 0;
    while (i < text.size() && codeOf(text[i]) == u'\'')
        ++i;
    return i < text.size() && startsFormula(codeOf(text[i]));
}

template <typename View> bool isProtected(View text)
{
    return !text.isEmpty() && codeOf(text[0]) == u'\'' && needsProtection(text.sliced(1));
}

} // namespace

QString protectedText(const QString &text)
{
    return needsProtection(QStringView(text)) ? QLatin1Char('\'') + text : text;
}

QByteArray protectedText(QByteArrayView utf8)
{
    return needsProtection(utf8) ? '\'' + utf8.toByteArray() : utf8.toByteArray();
}

QString unprotected(const QString &text)
{
    return isProtected(QStringView(text)) ? text.sliced(1) : text;
}

QByteArray unprotected(QByteArrayView utf8)
{
    return (isProtected(utf8) ? utf8.sliced(1) : utf8).toByteArray();
}

Status openOwnerOnly(QSaveFile &file)
{
    const QString shown = shownFileName(file.fileName());
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    // The new file takes the permissions of the one it replaces, or the
    // usual ones for a new file; it is written apart and put in place on
    // commit, so setting them now covers what appears under the name.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        const Status s = Status::failure(
            QStringLiteral("The file %1 can not be written: its permissions can not be set (%2).")
                .arg(shown, reason));
        qCWarning(dataLog).noquote() << s.message();
        return s;
    }
    return Status::ok();
}

void appendField(QByteArray &line, QByteArrayView utf8, bool first)
{
    if (!first)
        line.append(',');
    bool quote = !utf8.isEmpty()
        && (utf8.front() == ' ' || utf8.front() == '\t' || utf8.back() == ' ' || utf8.back() == '\t');
    // Besides the separators, any control character is quoted: a reader
    // that ends a record at a lone carriage return, or stops at an odd byte,
    // keeps it inside its field then.
    for (qsizetype i = 0; i < utf8.size() && !quote; ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        quote = c == ',' || c == '"' || c < 0x20 || c == 0x7F;
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
        { table::Phone, QStringLiteral("Contacts") },
        { table::Booking, QStringLiteral("Bookings") },
        { table::Reminder, QStringLiteral("Reminders") },
        { table::Diary, QStringLiteral("Fishing Log") },
        { table::Patterns, QStringLiteral("Fishing Patterns") },
        { table::Rods, QStringLiteral("Rods and Reels") },
        { table::Boat, QStringLiteral("Boats and Motors") },
        { table::Equipment, QStringLiteral("Equipment") },
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
    if (Status s = openOwnerOnly(file); !s)
        return s;

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
            else if (const QByteArrayView held = select.textAt(i); needsProtection(held))
                appendField(buffer, protectedText(held), i == 0); // text, or what an amount field holds
            else
                appendField(buffer, held, i == 0);
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

Status writeRows(const QString &filePath, const QStringList &header, const QList<QStringList> &rows)
{
    QSaveFile file(filePath);
    if (Status s = openOwnerOnly(file); !s)
        return s;
    QByteArray buffer("\xEF\xBB\xBF");
    auto appendLine = [&buffer, &header](const QStringList &fields) {
        for (qsizetype i = 0; i < header.size(); ++i)
            appendField(buffer, protectedText(fields.value(i)).toUtf8(), i == 0);
        buffer.append("\r\n");
    };
    appendLine(header);
    for (const QStringList &row : rows)
        appendLine(row);
    if (file.write(buffer) != buffer.size() || !file.commit())
        return Status::failure(QStringLiteral("The file %1 could not be written: %2. Nothing was saved.")
                                   .arg(shownFileName(filePath), file.errorString()));
    return Status::ok();
}

} // namespace bm::csv
