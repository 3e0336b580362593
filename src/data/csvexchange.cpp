#include "data/csvexchange.h"

#include "data/database.h"
#include "data/fieldvalue.h"
#include "data/log.h"
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

namespace
{

// Larger files are not what a phone or a spreadsheet writes for contacts.
constexpr qint64 largestFile = qint64(128) * 1024 * 1024;

// The Windows letters that Latin-1 text written on Windows holds in
// 0x80-0x9F; 0 where that code is unused, so the byte is no text.
constexpr char16_t windowsLetters[32] = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
    0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };

Status refuse(const QString &shownName, const QString &why)
{
    return Status::failure(QStringLiteral("The file %1 can not be imported: %2").arg(shownName, why));
}

// Control characters other than tab, line feed, form feed and carriage
// return do not occur in text; a file with them is a program, a picture or a
// document of another program.
bool looksBinary(QByteArrayView bytes)
{
    qsizetype controls = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            ++controls;
    }
    return controls > 0 && controls * 100 > bytes.size();
}

// Turns the file's bytes into UTF-8 and says how they were read.
Status toUtf8(const QByteArray &bytes, const QString &shownName, QByteArray &utf8, QString &encoding)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        utf8 = bytes.mid(3);
        encoding = QStringLiteral("UTF-8");
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16, QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder.decode(bytes);
        if (decoder.hasError())
            return refuse(shownName, QStringLiteral("it is not readable UTF-16 text."));
        utf8 = text.toUtf8();
        encoding = QStringLiteral("UTF-16");
    } else {
        utf8 = bytes;
        encoding = QStringLiteral("UTF-8");
    }
    if (looksBinary(utf8))
        return refuse(shownName, QStringLiteral("it is not a text file. Choose a file saved as CSV."));
    if (encoding != QLatin1String("UTF-8"))
        return Status::ok();
    QStringDecoder check(QStringDecoder::Utf8);
    (void)QString(check.decode(utf8));
    if (!check.hasError())
        return Status::ok();
    // Not UTF-8: Western European text as Windows and older programs write it.
    QString text;
    text.reserve(utf8.size());
    for (const char ch : std::as_const(utf8)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xA0) {
            const char16_t letter = windowsLetters[c - 0x80];
            if (letter == 0)
                return refuse(shownName,
                    QStringLiteral("it is neither UTF-8 nor Latin-1 text. "
                                   "Save it again as CSV in UTF-8."));
            text.append(QChar(letter));
        } else {
            text.append(QChar(c));
        }
    }
    utf8 = text.toUtf8();
    encoding = QStringLiteral("Latin-1");
    return Status::ok();
}

// What the parser callbacks build, with the line count kept from the line
// breaks seen inside and between fields.
struct Builder {
    QList<Record> records;
    QStringList fields;
    bool inRecord = false;
    bool afterCarriageReturn = false;
    int line = 1;
    int recordLine = 1;

    void countBreaks(const char *data, size_t len)
    {
        for (size_t i = 0; i < len; ++i) {
            if (data[i] == '\r' || (data[i] == '\n' && (i == 0 || data[i - 1] != '\r')))
                ++line;
        }
    }
};

void onField(void *data, size_t len, void *user)
{
    auto *b = static_cast<Builder *>(user);
    if (!b->inRecord) {
        b->inRecord = true;
        b->recordLine = b->line;
    }
    const auto *text = static_cast<const char *>(data);
    b->fields.append(QString::fromUtf8(text, qsizetype(len)));
    b->countBreaks(text, len);
    b->afterCarriageReturn = false;
}

void onRecordEnd(int c, void *user)
{
    auto *b = static_cast<Builder *>(user);
    if (c == CSV_LF && b->afterCarriageReturn && !b->inRecord) {
        b->afterCarriageReturn = false; // the second half of a CRLF
    } else if (c == CSV_CR || c == CSV_LF) {
        ++b->line;
        b->afterCarriageReturn = c == CSV_CR;
    }
    if (!b->inRecord)
        return;
    b->inRecord = false;
    bool blank = true;
    for (const QString &f : std::as_const(b->fields))
        if (!f.trimmed().isEmpty()) {
            blank = false;
            break;
        }
    if (!blank)
        b->records.append(Record { b->recordLine, b->fields });
    b->fields.clear();
}

// The separator of the fields: a comma, or the semicolon or tab that
// spreadsheets write in some countries, whichever the header row holds most.
unsigned char separatorOf(const QByteArray &utf8)
{
    const QByteArrayView header = QByteArrayView(utf8).first(qMin<qsizetype>(utf8.size(), 64 * 1024));
    const qsizetype end = header.indexOf('\n');
    const QByteArrayView firstLine = end < 0 ? header : header.first(end);
    unsigned char best = CSV_COMMA;
    qsizetype most = firstLine.count(',');
    for (const char c : { ';', '\t' }) {
        if (firstLine.count(c) > most) {
            most = firstLine.count(c);
            best = static_cast<unsigned char>(c);
        }
    }
    return best;
}

int lineAt(const QByteArray &utf8, qsizetype offset)
{
    Builder counter;
    counter.countBreaks(utf8.constData(), size_t(qMin(offset, utf8.size())));
    return counter.line;
}

} // namespace

QString shownFileName(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

Status read(const QString &path, Document &out)
{
    const QString shown = shownFileName(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be read: %2.").arg(shown, file.errorString()));
    if (file.size() > largestFile)
        return refuse(shown, QStringLiteral("it is larger than 128 MB."));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Status::failure(
            QStringLiteral("The file %1 can not be read: %2.").arg(shown, file.errorString()));
    return parse(bytes, shown, out);
}

Status parse(const QByteArray &bytes, const QString &shownName, Document &out)
{
    out = Document();
    if (bytes.trimmed().isEmpty())
        return refuse(shownName, QStringLiteral("it is empty."));
    QByteArray utf8;
    if (Status s = toUtf8(bytes, shownName, utf8, out.encoding); !s)
        return s;

    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        return refuse(shownName, QStringLiteral("there is not enough memory."));
    csv_set_blk_size(&parser, 256 * 1024); // long fields grow in few steps
    const unsigned char separator = separatorOf(utf8);
    csv_set_delim(&parser, separator);
    if (separator == CSV_TAB) // a tab separates; only blanks surround a field
        csv_set_space_func(&parser, [](unsigned char c) { return c == CSV_SPACE ? 1 : 0; });
    Builder builder;
    const size_t parsed
        = csv_parse(&parser, utf8.constData(), size_t(utf8.size()), onField, onRecordEnd, &builder);
    Status result;
    if (parsed != size_t(utf8.size())) {
        if (csv_error(&parser) == CSV_EPARSE)
            result = refuse(shownName,
                QStringLiteral("on line %1 a quote stands inside a field. A field that holds quotes must "
                               "itself be in quotes, with each of its quotes doubled.")
                    .arg(lineAt(utf8, qsizetype(parsed))));
        else
            result = refuse(shownName, QStringLiteral("a field is too large to read."));
    } else if (csv_fini(&parser, onField, onRecordEnd, &builder) != 0) {
        result = refuse(shownName,
            QStringLiteral("the quote that opens a field on line %1 is never closed.").arg(builder.line));
    }
    csv_free(&parser);
    if (!result)
        return result;

    if (builder.records.isEmpty())
        return refuse(shownName, QStringLiteral("it holds no rows."));
    out.header = builder.records.first().fields;
    out.headerLine = builder.records.first().line;
    builder.records.removeFirst();
    out.records = std::move(builder.records);
    return Status::ok();
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

} // namespace bm::csv
