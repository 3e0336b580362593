#pragma once

#include "exchange/contactentry.h"
#include "exchange/csvreader.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace bm
{

// What the columns of a contacts file hold, read from their headings as the
// mail programs, phones and spreadsheets write them (English and German):
// "Given Name", "Phone 1 - Type" beside "Phone 1 - Value", "Home Street 2",
// "Mobiltelefon", "E-mail Address", and the program's own field names. Case,
// blanks and punctuation are ignored; fax and pager numbers, birthdays,
// titles and the like fill nothing.
class ContactColumns
{
public:
    static ContactColumns match(const QStringList &header);

    // How many columns fill something: the score of a row as a header row.
    int named() const;
    bool any() const { return named() > 0; }
    // What a column fills as the preview shows it ("Email", "Name (first
    // part)", "Mobile Phone Number"), or empty when it fills nothing.
    QString target(int column) const;

    // The entry one record of the file gives.
    ContactEntry entry(const csv::Record &record) const;

    enum class Part {
        None,
        FullName,
        GivenName,
        MiddleName,
        FamilyName,
        Organization,
        Email,
        Phone,
        PhoneKind, // the kind of the phones of its group ("Phone 1 - Type")
        Street,
        City,
        Region,
        PostalCode,
        FormattedAddress,
        AddressKind,
        Notes,
    };
    struct Column {
        Part part = Part::None;
        QString kind; // what the heading says of the phone or address: "Mobile", "Work", "Home", "Other"
        QString group; // the number of a numbered group: the "1" of "Phone 1 - Value"
        bool own = false; // one of the program's own field names
    };
    // What one heading names, on its own.
    static Column classify(const QString &heading);

private:
    QVector<Column> m_columns;
};

// The contact field a column heading fills ("Mobile Phone" -> "Mobile Phone
// Number"; "First Name" -> "Name"), or empty when it fills none.
QString contactFieldFor(const QString &heading);

// The guide's contact an entry makes: the values of Phone's fields in order.
// The first telephone number of each kind is kept (mobile or cell; work or
// business; home and the rest), fax and pager numbers are not; the home
// address where there is one, else the work one, else one of no kind, else
// any; the first e-mail. The name is the full name, else the name's parts
// joined, else the organization, else the e-mail address.
QStringList contactOf(const ContactEntry &entry);

} // namespace bm
