#include "data/contactimport.h"

#include "data/query.h"
#include "data/schema.h"

#include <QHash>
#include <QSet>

namespace bm
{

namespace
{

const QString contactTable = QStringLiteral("Phone");

const QStringList &contactFields()
{
    static const QStringList names = [] {
        QStringList n;
        for (const FieldDef &f : schema::table(contactTable)->fields)
            n << f.name;
        return n;
    }();
    return names;
}

// A heading reduced to its letters and digits, in lower case.
QString squeezed(const QString &heading)
{
    QString s;
    for (const QChar c : heading)
        if (c.isLetterOrNumber())
            s.append(c.toLower());
    return s;
}

// The headings that name each field, most telling first.
const QList<QPair<QString, QStringList>> &aliases()
{
    static const QList<QPair<QString, QStringList>> list {
        { QStringLiteral("Name"),
            { "name", "fullname", "displayname", "contactname", "clientname", "customername", "contact",
                "client", "customer" } },
        { QStringLiteral("Address"),
            { "address", "streetaddress", "street", "address1", "addressline1", "homeaddress", "homestreet",
                "mailingaddress", "homestreetaddress", "businessstreet", "workaddress", "businessaddress" } },
        { QStringLiteral("City"), { "city", "town", "homecity", "businesscity", "workcity" } },
        { QStringLiteral("State"),
            { "state", "stateprovince", "province", "region", "homestate", "businessstate", "workstate" } },
        { QStringLiteral("Zip Code"),
            { "zipcode", "zip", "postalcode", "postcode", "zippostalcode", "homezipcode", "homepostalcode",
                "businesspostalcode", "workzipcode", "businesszipcode" } },
        { QStringLiteral("Home Telephone Number"),
            { "hometelephonenumber", "homephone", "homephonenumber", "hometelephone", "telephone", "phone",
                "phonenumber", "telephonenumber", "tel", "primaryphone", "phone1", "home" } },
        { QStringLiteral("Work Telephone Number"),
            { "worktelephonenumber", "workphone", "workphonenumber", "worktelephone", "businessphone",
                "businesstelephone", "businessphonenumber", "officephone", "phone2", "work" } },
        { QStringLiteral("Mobile Phone Number"),
            { "mobilephonenumber", "mobilephone", "mobile", "mobilenumber", "cellphone", "cellphonenumber",
                "cell", "cellnumber", "cellular", "handy" } },
        { QStringLiteral("Email"),
            { "email", "emailaddress", "mail", "primaryemail", "email1", "emailaddress1", "homeemail",
                "workemail", "email1value" } },
        { QStringLiteral("Remarks"),
            { "remarks", "notes", "note", "comments", "comment", "remark", "memo" } },
    };
    return list;
}

const QStringList firstNames { "firstname", "givenname", "first", "forename" };
const QStringList middleNames { "middlename", "additionalname", "middle" };
const QStringList lastNames { "lastname", "familyname", "surname", "last" };

// Two contacts are the same when their names match (case and blanks aside)
// and so do their three telephone numbers, digit for digit.
QString duplicateKey(const QString &name, const QString &home, const QString &work, const QString &mobile)
{
    auto digits = [](const QString &number) {
        QString d;
        for (const QChar c : number)
            if (c.isDigit())
                d.append(c);
        return d;
    };
    return name.simplified().toCaseFolded() + QChar(0x1F) + digits(home) + QChar(0x1F) + digits(work)
        + QChar(0x1F) + digits(mobile);
}

int findColumn(const QStringList &squeezedHeader, const QStringList &names, QSet<int> &taken)
{
    for (const QString &n : names)
        for (int c = 0; c < squeezedHeader.size(); ++c)
            if (!taken.contains(c) && squeezedHeader[c] == n) {
                taken.insert(c);
                return c;
            }
    return -1;
}

} // namespace

ContactColumns ContactColumns::match(const QStringList &header)
{
    ContactColumns m;
    QStringList squeezedHeader;
    for (const QString &h : header)
        squeezedHeader << squeezed(h);
    QSet<int> taken;
    // The program's own field names first, so its own export comes back whole.
    QHash<QString, int> exact;
    for (const QString &f : contactFields()) {
        const int c = findColumn(squeezedHeader, { squeezed(f) }, taken);
        if (c >= 0)
            exact.insert(f, c);
    }
    for (const auto &[fieldName, names] : aliases()) {
        const int c
            = exact.contains(fieldName) ? exact.value(fieldName) : findColumn(squeezedHeader, names, taken);
        m.field.append(c);
    }
    m.firstName = findColumn(squeezedHeader, firstNames, taken);
    m.middleName = findColumn(squeezedHeader, middleNames, taken);
    m.lastName = findColumn(squeezedHeader, lastNames, taken);
    return m;
}

bool ContactColumns::any() const
{
    for (int c : field)
        if (c >= 0)
            return true;
    return firstName >= 0 || lastName >= 0;
}

QString ContactColumns::target(int column) const
{
    if (column < 0)
        return {};
    const int f = int(field.indexOf(column));
    if (f >= 0)
        return contactFields().value(f);
    if (column == firstName)
        return QStringLiteral("Name (first part)");
    if (column == middleName)
        return QStringLiteral("Name (middle part)");
    if (column == lastName)
        return QStringLiteral("Name (last part)");
    return {};
}

QString contactFieldFor(const QString &heading)
{
    const ContactColumns m = ContactColumns::match({ heading });
    const QString t = m.target(0);
    return t.startsWith(QLatin1String("Name")) ? QStringLiteral("Name") : t;
}

Status ContactImport::load(const QString &csvPath, const QString &databasePath)
{
    csv::Document document;
    if (Status s = csv::read(csvPath, document); !s)
        return s;
    return plan(document, databasePath);
}

Status ContactImport::plan(const csv::Document &document, const QString &databasePath)
{
    m_path = databasePath;
    m_document = document;
    m_contacts.clear();
    m_problems.clear();
    m_duplicates = 0;
    m_columns = ContactColumns::match(document.header);
    if (!m_columns.any())
        return Status::failure(
            QStringLiteral("No column of this file names a contact field. The first row of "
                           "the file must name its columns, such as Name, Address, City, "
                           "Email or Mobile Phone."));
    if (document.records.isEmpty())
        return Status::failure(QStringLiteral("The file holds no contacts below its header row."));

    // The contacts already stored.
    db::Query stored(databasePath);
    const QString name = QStringLiteral("Name"), home = QStringLiteral("Home Telephone Number"),
                  work = QStringLiteral("Work Telephone Number"),
                  mobile = QStringLiteral("Mobile Phone Number");
    const QString unreadable = QStringLiteral("The stored contacts can not be read");
    if (Status s = stored.run(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5")
                                  .arg(schema::quoted(name), schema::quoted(home), schema::quoted(work),
                                      schema::quoted(mobile), schema::quoted(contactTable)));
        !s)
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, s.message()));
    QSet<QString> known;
    auto textOf = [&](const QString &column) { return QString::fromUtf8(stored.text(column)); };
    while (stored.next())
        known.insert(duplicateKey(textOf(name), textOf(home), textOf(work), textOf(mobile)));
    if (!stored.status())
        return Status::failure(QStringLiteral("%1: %2").arg(unreadable, stored.status().message()));

    const int width = int(document.header.size());
    const QStringList &fields = contactFields();
    const int nameAt = int(fields.indexOf(QStringLiteral("Name")));
    const int homeAt = int(fields.indexOf(QStringLiteral("Home Telephone Number")));
    const int workAt = int(fields.indexOf(QStringLiteral("Work Telephone Number")));
    const int mobileAt = int(fields.indexOf(QStringLiteral("Mobile Phone Number")));
    for (const csv::Record &r : document.records) {
        bool overflow = false;
        for (qsizetype i = width; i < r.fields.size() && !overflow; ++i)
            overflow = !r.fields[i].trimmed().isEmpty();
        if (overflow) {
            m_problems.append({ r.line,
                QStringLiteral("it has %1 fields, more than the %2 columns the header row names.")
                    .arg(r.fields.size())
                    .arg(width) });
            continue;
        }
        QStringList contact;
        for (int f = 0; f < fields.size(); ++f)
            contact << (m_columns.field[f] >= 0 ? r.fields.value(m_columns.field[f]) : QString());
        if (contact[nameAt].trimmed().isEmpty()) {
            QStringList parts;
            for (int c : { m_columns.firstName, m_columns.middleName, m_columns.lastName })
                if (c >= 0 && !r.fields.value(c).trimmed().isEmpty())
                    parts << r.fields.value(c).trimmed();
            contact[nameAt] = parts.join(QLatin1Char(' '));
        }
        if (contact[nameAt].trimmed().isEmpty()) {
            bool nothing = true;
            for (const QString &v : std::as_const(contact))
                nothing = nothing && v.trimmed().isEmpty();
            if (!nothing)
                m_problems.append({ r.line, QStringLiteral("it has no name.") });
            continue; // a row with nothing for a contact is passed over
        }
        const QString key
            = duplicateKey(contact[nameAt], contact[homeAt], contact[workAt], contact[mobileAt]);
        if (known.contains(key)) {
            ++m_duplicates;
            continue;
        }
        known.insert(key);
        m_contacts.append(contact);
    }
    return Status::ok();
}

Status ContactImport::commit(int *added)
{
    if (added)
        *added = 0;
    if (m_contacts.isEmpty())
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
    for (const QStringList &contact : std::as_const(m_contacts)) {
        QVariantList values;
        for (const QString &v : contact)
            values << (v.isEmpty() ? QVariant() : QVariant(v));
        if (Status s = transaction.write(contactTable, insert, values); !s)
            return failed(s);
    }
    if (Status s = transaction.commit(); !s)
        return failed(s);
    if (added)
        *added = int(m_contacts.size());
    return Status::ok();
}

} // namespace bm
