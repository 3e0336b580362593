#include "exchange/contactcolumns.h"

#include "schema/fields.h"
#include "schema/schema.h"

#include <QHash>
#include <QSet>

namespace bm
{

namespace
{

using Part = ContactColumns::Part;

// The words of a heading in lower case: split at anything that is no letter
// or digit, between letters and digits, and where a capital follows a small
// letter ("HomePhone"). Words run together or said in another language are
// brought to one word each ("e-mail" -> "email", "Telefon" -> "phone").
QStringList wordsOf(const QString &heading)
{
    QStringList words;
    QString word;
    auto flush = [&] {
        if (!word.isEmpty())
            words << word.toLower();
        word.clear();
    };
    QChar previous;
    for (const QChar c : heading) {
        if (!c.isLetterOrNumber()) {
            flush();
        } else {
            if (!word.isEmpty() && (c.isDigit() != previous.isDigit() || (c.isUpper() && previous.isLower())))
                flush();
            word += c;
        }
        previous = c;
    }
    flush();

    static const QHash<QString, QStringList> spelled {
        { "firstname", { "first", "name" } },
        { "lastname", { "last", "name" } },
        { "middlename", { "middle", "name" } },
        { "fullname", { "full", "name" } },
        { "displayname", { "display", "name" } },
        { "givenname", { "given", "name" } },
        { "familyname", { "family", "name" } },
        { "vorname", { "given", "name" } },
        { "vornamen", { "given", "name" } },
        { "nachname", { "family", "name" } },
        { "surname", { "family", "name" } },
        { "forename", { "given", "name" } },
        { "emailaddress", { "email", "address" } },
        { "mail", { "email" } },
        { "zipcode", { "zip" } },
        { "postalcode", { "zip" } },
        { "postcode", { "zip" } },
        { "postal", { "zip" } },
        { "postleitzahl", { "zip" } },
        { "plz", { "zip" } },
        { "telephone", { "phone" } },
        { "tel", { "phone" } },
        { "telefon", { "phone" } },
        { "phonenumber", { "phone" } },
        { "cellphone", { "cell", "phone" } },
        { "mobilephone", { "mobile", "phone" } },
        { "mobiltelefon", { "mobile", "phone" } },
        { "autotelefon", { "car", "phone" } },
        { "haupttelefon", { "main", "phone" } },
        { "homephone", { "home", "phone" } },
        { "workphone", { "work", "phone" } },
        { "businessphone", { "business", "phone" } },
        { "straße", { "street" } },
        { "strasse", { "street" } },
        { "adresse", { "address" } },
        { "anschrift", { "address" } },
        { "addressline", { "address" } },
        { "streetaddress", { "street" } },
        { "ort", { "city" } },
        { "stadt", { "city" } },
        { "town", { "city" } },
        { "locality", { "city" } },
        { "bundesland", { "state" } },
        { "kanton", { "state" } },
        { "province", { "state" } },
        { "region", { "state" } },
        { "notizen", { "notes" } },
        { "notiz", { "notes" } },
        { "firma", { "company" } },
        { "organisation", { "organization" } },
    };
    QStringList out;
    for (int i = 0; i < words.size(); ++i) {
        if (words[i] == QLatin1String("e") && i + 1 < words.size() && words[i + 1] == QLatin1String("mail")) {
            out << QStringLiteral("email");
            ++i;
        } else {
            out << spelled.value(words[i], { words[i] });
        }
    }
    return out;
}

// The word lists are written in UTF-8 ("geschäftlich").
bool anyOf(const QStringList &words, std::initializer_list<const char *> set)
{
    for (const char *w : set)
        if (words.contains(QString::fromUtf8(w)))
            return true;
    return false;
}

const char *const mobileWords[] = { "mobile", "mobil", "cell", "cellular", "handy", "car", "iphone" };
const char *const workWords[] = { "work", "business", "office", "company", "geschäftlich", "geschaeftlich",
    "büro", "dienstlich", "arbeit" };
const char *const homeWords[] = { "home", "privat", "private", "personal" };
const char *const otherWords[] = { "other", "weiteres", "weiterer", "weitere", "andere" };

bool anyOf(const QStringList &words, const char *const *begin, const char *const *end)
{
    for (auto w = begin; w != end; ++w)
        if (words.contains(QString::fromUtf8(*w)))
            return true;
    return false;
}
template <size_t N> bool anyOf(const QStringList &words, const char *const (&set)[N])
{
    return anyOf(words, set, set + N);
}

// "Mobile", "Work", "Home", "Other" or empty: the kind of phone or address
// a heading or a kind's value speaks of.
QString kindOf(const QStringList &words)
{
    if (anyOf(words, mobileWords))
        return QStringLiteral("Mobile");
    if (anyOf(words, workWords))
        return QStringLiteral("Work");
    if (anyOf(words, homeWords))
        return QStringLiteral("Home");
    if (anyOf(words, otherWords))
        return QStringLiteral("Other");
    return {};
}

const QStringList &ownFields()
{
    static const QStringList names = schema::fieldNames(*schema::table(table::Phone));
    return names;
}

QString fieldAt(const char *name)
{
    return QString::fromLatin1(name);
}

// Values some programs join in one field: "555-0101 ::: 555-0102". A
// single value is kept as written.
QStringList values(const QString &field)
{
    if (!field.contains(QStringLiteral(" ::: ")))
        return { field };
    QStringList out;
    for (const QString &v : field.split(QStringLiteral(" ::: ")))
        if (!csv::isBlank(v))
            out << v.trimmed();
    return out;
}

// What a kind says, remembered: the same few kinds come on every row.
template <typename T> T remembered(const QString &kind, T (*work)(const QString &))
{
    thread_local QHash<QString, T> known;
    const auto it = known.constFind(kind);
    if (it != known.cend())
        return *it;
    if (known.size() > 1000)
        known.clear();
    return *known.insert(kind, work(kind));
}

// The field a phone of the kind fills; none for fax and pager numbers.
const char *phoneFieldFor(const QString &kind)
{
    return remembered<const char *>(kind, [](const QString &k) -> const char * {
        const QStringList words = wordsOf(k);
        if (anyOf(words, { "fax", "pager", "telex", "tty", "tdd" }))
            return nullptr;
        const QString slot = kindOf(words);
        return slot == QLatin1String("Mobile") ? field::Phone::MobilePhoneNumber
            : slot == QLatin1String("Work")    ? field::Phone::WorkTelephoneNumber
                                               : field::Phone::HomeTelephoneNumber;
    });
}

// Which address is taken first: home, work, one of no kind, any other.
int addressRank(const QString &kind)
{
    return remembered<int>(kind, [](const QString &k) {
        const QStringList words = wordsOf(k);
        return anyOf(words, homeWords) ? 0 : anyOf(words, workWords) ? 1 : words.isEmpty() ? 2 : 3;
    });
}

} // namespace

ContactColumns::Column ContactColumns::classify(const QString &heading)
{
    const QStringList words = wordsOf(heading);
    Column c;
    c.own = ownFields().contains(heading.simplified(), Qt::CaseInsensitive);
    // A number with more words after it numbers a group ("Phone 1 - Value");
    // one at the end is the second column of the same thing ("Home Phone 2").
    for (int i = 0; i + 1 < words.size(); ++i)
        if (words[i].front().isDigit()) {
            c.group = words[i];
            break;
        }
    auto is = [&](Part part, const QString &kind = {}) {
        c.part = part;
        c.kind = kind;
        return c;
    };
    if (words.isEmpty()
        || anyOf(words,
            { "fax", "pager", "telex", "tty", "tdd", "assistant", "assistent", "yomi", "phonetic", "nickname",
                "prefix", "suffix", "title", "titel", "anrede", "department", "abteilung", "job", "position",
                "birthday", "geburtstag", "anniversary", "web", "website", "url", "im", "messenger",
                "relation", "event", "custom", "categories", "kategorien", "gender", "language", "photo",
                "labels", "group", "sensitivity", "priority", "account", "mileage", "initials", "short",
                "maiden", "country", "land", "po", "pobox", "postfach", "file", "display", "angezeigter",
                "isdn", "callback", "radio", "hörbehinderte" }))
        return words == QStringList { "display", "name" } ? is(Part::FullName) : is(Part::None);
    const bool phone = anyOf(words, { "phone" }) || anyOf(words, mobileWords);
    const bool address
        = anyOf(words, { "address", "street", "city", "state", "zip", "formatted", "extended" });
    if (anyOf(words, { "type", "label", "typ" })) {
        if (phone)
            return is(Part::PhoneKind);
        if (address && !anyOf(words, { "email" }))
            return is(Part::AddressKind);
        return is(Part::None);
    }
    if (anyOf(words, { "middle", "additional" })
        || (anyOf(words, { "weitere" }) && anyOf(words, { "given" })))
        return is(Part::MiddleName);
    if (anyOf(words, { "first", "given" }))
        return is(Part::GivenName);
    if (anyOf(words, { "last", "family" }))
        return is(Part::FamilyName);
    if (anyOf(words, { "email" }))
        return is(Part::Email);
    // Words a heading of a whole name or an organization may hold beside it:
    // "Contact Name" is a name, "Manager's Name" is not the contact's.
    auto only = [&](std::initializer_list<const char *> allowed) {
        bool named = false;
        for (const QString &w : words) {
            if (w.front().isDigit())
                continue;
            bool found = false;
            for (const char *a : allowed)
                found = found || w == QString::fromUtf8(a);
            if (!found)
                return false;
            named = true;
        }
        return named;
    };
    if (anyOf(words, { "company", "organization" }) && only({ "company", "organization", "name" }))
        return is(Part::Organization);
    // A phone by its word, or by its kind alone ("Home", "Work", "Primary").
    static const QStringList kindsAlone { "home", "work", "business", "other", "primary", "main" };
    bool onlyKinds = kindsAlone.contains(words.front());
    for (const QString &w : words)
        onlyKinds = onlyKinds && (kindsAlone.contains(w) || w.front().isDigit());
    if (phone || onlyKinds)
        return is(Part::Phone, kindOf(words));
    const QString kind = kindOf(words);
    if (anyOf(words, { "city" }))
        return is(Part::City, kind);
    if (anyOf(words, { "state" }))
        return is(Part::Region, kind);
    if (anyOf(words, { "zip" }))
        return is(Part::PostalCode, kind);
    if (anyOf(words, { "formatted" }))
        return is(Part::FormattedAddress, kind);
    if (anyOf(words, { "address", "street", "extended" }))
        return is(Part::Street, kind);
    if (only({ "name", "full", "contact", "client", "customer", "kunde" }))
        return is(Part::FullName);
    if (anyOf(words, { "notes", "note", "remarks", "remark", "comments", "comment", "memo", "bemerkungen" }))
        return is(Part::Notes);
    return is(Part::None);
}

ContactColumns ContactColumns::match(const QStringList &header)
{
    ContactColumns m;
    for (const QString &h : header)
        m.m_columns.append(classify(h));
    return m;
}

int ContactColumns::named() const
{
    int n = 0;
    for (const Column &c : m_columns)
        n += c.part != Part::None && c.part != Part::PhoneKind && c.part != Part::AddressKind;
    return n;
}

namespace
{

QString targetOf(const ContactColumns::Column &c)
{
    switch (c.part) {
    case Part::None:
    case Part::PhoneKind:
    case Part::AddressKind:
        return {};
    case Part::FullName:
        return QLatin1String(field::Phone::Name);
    case Part::GivenName:
        return QStringLiteral("Name (first part)");
    case Part::MiddleName:
        return QStringLiteral("Name (middle part)");
    case Part::FamilyName:
        return QStringLiteral("Name (last part)");
    case Part::Organization:
        return QStringLiteral("Name (where none is given)");
    case Part::Email:
        return QLatin1String(field::Phone::Email);
    case Part::Phone:
        if (!c.group.isEmpty() && c.kind.isEmpty())
            return QStringLiteral("Telephone Number (by its kind)");
        return QLatin1String(c.kind == QLatin1String("Mobile") ? field::Phone::MobilePhoneNumber
                : c.kind == QLatin1String("Work")              ? field::Phone::WorkTelephoneNumber
                                                               : field::Phone::HomeTelephoneNumber);
    case Part::Street:
    case Part::FormattedAddress:
        return QLatin1String(field::Phone::Address);
    case Part::City:
        return QLatin1String(field::Phone::City);
    case Part::Region:
        return QLatin1String(field::Phone::State);
    case Part::PostalCode:
        return QLatin1String(field::Phone::ZipCode);
    case Part::Notes:
        return QLatin1String(field::Phone::Remarks);
    }
    return {};
}

} // namespace

QString ContactColumns::target(int column) const
{
    if (column < 0 || column >= m_columns.size())
        return {};
    const Column &c = m_columns[column];
    QString t = targetOf(c);
    const bool addressPart = c.part == Part::Street || c.part == Part::City || c.part == Part::Region
        || c.part == Part::PostalCode || c.part == Part::FormattedAddress;
    if (addressPart && c.kind != QLatin1String("Home") && !c.kind.isEmpty())
        t += QStringLiteral(" (where there is no home address)");
    return t;
}

QString contactFieldFor(const QString &heading)
{
    const QString t = targetOf(ContactColumns::classify(heading));
    return t.startsWith(QLatin1String(field::Phone::Name)) ? QLatin1String(field::Phone::Name) : t;
}

ContactEntry ContactColumns::entry(const csv::Record &record) const
{
    ContactEntry e;
    e.line = record.line;
    // The kinds of the numbered groups, from their kind columns.
    QHash<QString, QString> phoneKinds, addressKinds;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns[i];
        if (c.part == Part::PhoneKind)
            phoneKinds.insert(c.group, record.fields.value(i).trimmed());
        else if (c.part == Part::AddressKind)
            addressKinds.insert(c.group, record.fields.value(i).trimmed());
    }
    QList<ContactEntry::Phone> ownPhones;
    QStringList addressKeys;
    auto addressOf = [&](const Column &c) -> ContactEntry::Address & {
        const QString key = c.kind + QLatin1Char('/') + c.group;
        qsizetype at = addressKeys.indexOf(key);
        if (at < 0) {
            addressKeys << key;
            e.addresses.append(ContactEntry::Address());
            e.addresses.last().kind = c.kind.isEmpty() ? addressKinds.value(c.group) : c.kind;
            at = e.addresses.size() - 1;
        }
        return e.addresses[at];
    };
    for (int i = 0; i < m_columns.size() && i < record.fields.size(); ++i) {
        const Column &c = m_columns[i];
        const QString &field = record.fields[i];
        if (csv::isBlank(field))
            continue;
        auto first = [&](QString &into) {
            if (into.isEmpty())
                into = field;
        };
        switch (c.part) {
        case Part::None:
        case Part::PhoneKind:
        case Part::AddressKind:
            break;
        case Part::FullName:
            first(e.fullName);
            break;
        case Part::GivenName:
            first(e.givenName);
            break;
        case Part::MiddleName:
            first(e.middleName);
            break;
        case Part::FamilyName:
            first(e.familyName);
            break;
        case Part::Organization:
            first(e.organization);
            break;
        case Part::Notes:
            if (e.notes.isEmpty())
                e.notes = field; // as written, its blanks and line breaks kept
            break;
        case Part::Email:
            e.emails << values(field);
            break;
        case Part::Phone:
            for (const QString &number : values(field))
                (c.own ? ownPhones : e.phones)
                    .append(ContactEntry::Phone {
                        c.kind.isEmpty() ? phoneKinds.value(c.group) : c.kind, number });
            break;
        case Part::Street:
            if (c.own) { // the program's own Address, as it was stored
                addressOf(c).street << field;
                break;
            }
            for (const QString &line : field.split(QLatin1Char('\n')))
                if (!csv::isBlank(line))
                    addressOf(c).street << line.trimmed();
            break;
        case Part::City:
            first(addressOf(c).city);
            break;
        case Part::Region:
            first(addressOf(c).region);
            break;
        case Part::PostalCode:
            first(addressOf(c).postalCode);
            break;
        case Part::FormattedAddress:
            first(addressOf(c).formatted);
            break;
        }
    }
    // The program's own columns come first, so its own export comes back whole.
    e.phones = ownPhones + e.phones;
    return e;
}

QStringList contactOf(const ContactEntry &entry)
{
    const QStringList &fields = ownFields();
    QStringList contact(fields.size());
    auto set = [&](const char *field, const QString &value) {
        const qsizetype at = fields.indexOf(fieldAt(field));
        if (at >= 0 && contact[at].isEmpty())
            contact[at] = value;
    };

    QStringList name;
    for (const QString &part : { entry.givenName, entry.middleName, entry.familyName })
        if (!csv::isBlank(part))
            name << part.trimmed();
    for (const QString &candidate : { entry.fullName, name.join(QLatin1Char(' ')), entry.organization })
        if (!csv::isBlank(candidate)) {
            set(field::Phone::Name, candidate);
            break;
        }

    for (const ContactEntry::Phone &p : entry.phones) {
        const char *field = phoneFieldFor(p.kind);
        if (field && !csv::isBlank(p.number))
            set(field, p.number);
    }

    // The home address, else the work one, else one of no kind, else any.
    const ContactEntry::Address *chosen = nullptr;
    int chosenRank = 4;
    for (const ContactEntry::Address &a : entry.addresses) {
        if (a.street.isEmpty() && a.city.isEmpty() && a.region.isEmpty() && a.postalCode.isEmpty()
            && csv::isBlank(a.formatted))
            continue;
        const int rank = addressRank(a.kind);
        if (rank < chosenRank) {
            chosen = &a;
            chosenRank = rank;
        }
    }
    if (chosen) {
        QStringList street = chosen->street;
        if (street.isEmpty() && chosen->city.isEmpty() && chosen->region.isEmpty()
            && chosen->postalCode.isEmpty())
            for (const QString &line : chosen->formatted.split(QLatin1Char('\n')))
                if (!csv::isBlank(line))
                    street << line.trimmed();
        set(field::Phone::Address, street.join(QStringLiteral(", ")));
        set(field::Phone::City, chosen->city);
        set(field::Phone::State, chosen->region);
        set(field::Phone::ZipCode, chosen->postalCode);
    }

    for (const QString &email : entry.emails)
        if (!csv::isBlank(email)) {
            set(field::Phone::Email, email.trimmed());
            break;
        }
    set(field::Phone::Remarks, entry.notes);
    if (const qsizetype email = fields.indexOf(fieldAt(field::Phone::Email)); email >= 0)
        set(field::Phone::Name, contact[email]);
    return contact;
}

} // namespace bm
