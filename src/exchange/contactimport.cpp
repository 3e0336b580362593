#include "exchange/contactimport.h"

#include "core/progress.h"
#include "db/query.h"
#include "exchange/vcardreader.h"
#include "schema/fields.h"
#include "schema/schema.h"

namespace bm
{

namespace
{

const QString contactTable = QLatin1String(table::Phone);

const QStringList &contactFields()
{
    static const QStringList names = schema::fieldNames(*schema::table(contactTable));
    return names;
}

int fieldIndex(const char *name)
{
    return int(contactFields().indexOf(QString::fromLatin1(name)));
}

// Two contacts are the same when their names match (case and blanks aside)
// and so do their three telephone numbers, digit for digit.
QByteArray duplicateKey(const QString &name, const QString &home, const QString &work, const QString &mobile)
{
    auto digits = [](const QString &number) {
        QString d;
        for (const QChar c : number)
            if (c.isDigit())
                d.append(c);
        return d;
    };
    return (name.simplified().toCaseFolded() + QChar(0x1F) + digits(home) + QChar(0x1F) + digits(work)
        + QChar(0x1F) + digits(mobile))
        .toUtf8();
}

QByteArray duplicateKey(const QStringList &contact)
{
    return duplicateKey(contact[fieldIndex(field::Phone::Name)],
        contact[fieldIndex(field::Phone::HomeTelephoneNumber)],
        contact[fieldIndex(field::Phone::WorkTelephoneNumber)],
        contact[fieldIndex(field::Phone::MobilePhoneNumber)]);
}

// How often the progress hears of the work.
constexpr int progressEvery = 256;

} // namespace

Status ContactImport::stopped()
{
    m_cancelled = true;
    return Status::failure(QStringLiteral("The import was stopped; nothing was saved."));
}

void ContactImport::problem(int line, const QString &reason)
{
    if (m_problems.size() < listedProblems)
        m_problems.append({ line, reason });
    ++m_problemCount;
}

void ContactImport::take(const QStringList &contact, int line)
{
    if (csv::isBlank(contact[fieldIndex(field::Phone::Name)])) {
        bool nothing = true;
        for (const QString &v : contact)
            nothing = nothing && csv::isBlank(v);
        if (!nothing)
            problem(line, QStringLiteral("it has no name."));
        return; // a row with nothing for a contact is passed over
    }
    const QByteArray key = duplicateKey(contact);
    if (m_known.contains(key)) {
        ++m_duplicates;
        return;
    }
    m_known.insert(key);
    m_starts.append(m_packed.size());
    for (const QString &v : contact) {
        QString value = v;
        m_packed.append(value.remove(QChar(0)).toUtf8()).append('\0');
    }
}

QStringList ContactImport::contact(int index) const
{
    QStringList fields;
    qsizetype at = m_starts.value(index, m_packed.size());
    for (int f = 0; f < contactFields().size() && at < m_packed.size(); ++f) {
        const qsizetype end = m_packed.indexOf('\0', at);
        fields << QString::fromUtf8(m_packed.constData() + at, end - at);
        at = end + 1;
    }
    return fields;
}

QList<QStringList> ContactImport::contacts() const
{
    QList<QStringList> all;
    for (int i = 0; i < count(); ++i)
        all << contact(i);
    return all;
}

QString ContactImport::target(int column) const
{
    if (m_format == Format::VCard)
        return m_header.value(column);
    return m_columns.target(column);
}

Status ContactImport::readStored()
{
    db::Query stored(m_path);
    const QString name = QLatin1String(field::Phone::Name),
                  home = QLatin1String(field::Phone::HomeTelephoneNumber),
                  work = QLatin1String(field::Phone::WorkTelephoneNumber),
                  mobile = QLatin1String(field::Phone::MobilePhoneNumber);
    const QString unreadable = QStringLiteral("The stored contacts can not be read");
    if (Status s = stored.run(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5")
                                  .arg(schema::quoted(name), schema::quoted(home), schema::quoted(work),
                                      schema::quoted(mobile), schema::quoted(contactTable)));
        !s)
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, s.message()));
    auto textOf = [&](const QString &column) { return QString::fromUtf8(stored.text(column)); };
    while (stored.next())
        m_known.insert(duplicateKey(textOf(name), textOf(home), textOf(work), textOf(mobile)));
    if (!stored.status())
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, stored.status().message()));
    return Status::ok();
}

Status ContactImport::load(const QString &path, const QString &databasePath, Progress *progress)
{
    *this = ContactImport();
    m_path = databasePath;
    // What the file is, from its first piece of text; the reader of that
    // kind takes the text on from its beginning.
    text::Source source;
    if (Status s = source.open(path, text::largestImport); !s)
        return s;
    QByteArray start;
    (void)source.read(start);
    if (!source.status())
        return source.status();
    if (Status s = readStored(); !s)
        return s;
    Status read = vcard::looksLikeVCard(start) ? readVCard(std::move(source), progress)
                                               : readCsv(std::move(source), progress);
    if (!read) { // nothing half planned stays behind
        const bool cancelled = m_cancelled;
        *this = ContactImport();
        m_cancelled = cancelled;
        return read;
    }
    m_known.clear(); // needed no more until the next load
    m_known.squeeze();
    return Status::ok();
}

Status ContactImport::readCsv(text::Source &&source, Progress *progress)
{
    m_format = Format::Csv;
    csv::Reader reader;
    if (Status s = reader.open(
            std::move(source), [](const QStringList &row) { return ContactColumns::match(row).named(); });
        !s)
        return s;
    m_encoding = reader.source().encodingName();
    m_header = reader.header();
    m_columns = ContactColumns::match(m_header);
    if (!m_columns.any())
        return Status::failure(
            QStringLiteral("No column of this file names a contact field. The first row of "
                           "the file must name its columns, such as Name, Address, City, "
                           "Email or Mobile Phone."));
    const int width = int(m_header.size());
    csv::Record r;
    int rows = 0;
    while (reader.next(r)) {
        if (m_preview.size() < previewRows)
            m_preview.append(r);
        if (++rows % progressEvery == 0 && progress
            && !progress->advance(reader.source().position(), reader.source().size()))
            return stopped();
        bool overflow = false;
        for (qsizetype i = width; i < r.fields.size() && !overflow; ++i)
            overflow = !csv::isBlank(r.fields[i]);
        if (overflow) {
            problem(r.line,
                QStringLiteral("it has %1 fields, more than the %2 columns the header row names.")
                    .arg(r.fields.size())
                    .arg(width));
            continue;
        }
        take(contactOf(m_columns.entry(r)), r.line);
    }
    if (!reader.status())
        return reader.status();
    if (rows == 0 && m_preview.isEmpty())
        return Status::failure(QStringLiteral("The file holds no contacts below its header row."));
    return Status::ok();
}

Status ContactImport::readVCard(text::Source &&source, Progress *progress)
{
    m_format = Format::VCard;
    vcard::Reader reader;
    if (Status s = reader.open(std::move(source)); !s)
        return s;
    m_encoding = reader.encodingName();
    m_header = contactFields();
    ContactEntry entry;
    int cards = 0;
    while (reader.next(entry)) {
        if (!entry.problem.isEmpty()) {
            problem(entry.line, entry.problem);
            entry = ContactEntry();
            continue;
        }
        const QStringList contact = contactOf(entry);
        if (m_preview.size() < previewRows)
            m_preview.append({ entry.line, contact });
        if (++cards % progressEvery == 0 && progress && !progress->advance(reader.position(), reader.size()))
            return stopped();
        take(contact, entry.line);
        entry = ContactEntry();
    }
    if (!reader.status())
        return reader.status();
    if (m_preview.isEmpty())
        return Status::failure(QStringLiteral("The file holds no contacts."));
    return Status::ok();
}

Status ContactImport::commit(int *added, Progress *progress)
{
    if (added)
        *added = 0;
    m_cancelled = false;
    if (m_starts.isEmpty())
        return Status::ok();
    QStringList columns;
    for (const QString &f : contactFields())
        columns << schema::quoted(f);
    const QString insert
        = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(schema::quoted(contactTable), columns.join(QLatin1String(", ")),
                  QStringList(columns.size(), QStringLiteral("?")).join(QLatin1String(", ")));
    auto failed = [](const Status &s) {
        return Status::failure(
            QStringLiteral("The contacts could not be added; none was saved: %1").arg(s.message()));
    };
    db::Transaction transaction(m_path);
    if (Status s = transaction.begin(); !s)
        return failed(s);
    for (int i = 0; i < count(); ++i) {
        if (progress && i % progressEvery == 0 && !progress->advance(i, count()))
            return stopped();
        QVariantList values;
        for (const QString &v : contact(i))
            values << (v.isEmpty() ? QVariant() : QVariant(v));
        if (Status s = transaction.write(contactTable, insert, values); !s)
            return failed(s);
    }
    if (Status s = transaction.commit(); !s)
        return failed(s);
    if (added)
        *added = count();
    return Status::ok();
}

} // namespace bm
