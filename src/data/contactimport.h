#pragma once

#include "data/csvexchange.h"
#include "data/status.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace bm
{

// Which column of a CSV file fills which contact field. A file with no name
// column may give the name in parts (first, middle and last name), which are
// joined with blanks.
struct ContactColumns {
    QVector<int> field; // for each field of Phone in order: its column, or -1
    int firstName = -1;
    int middleName = -1;
    int lastName = -1;

    // Matches the column headings: case, blanks and punctuation are ignored,
    // and the names phones, mail programs and spreadsheets use are known
    // ("E-mail Address", "Mobile Phone", "Postal Code"...). Each field takes
    // the first heading that names it, each heading fills one field at most.
    static ContactColumns match(const QStringList &header);

    bool any() const;
    // What a column fills as the preview shows it: "Email", "Name (first
    // part)", or empty when the column is not imported.
    QString target(int column) const;
};

// The contact field a column heading names ("Mobile Phone" -> "Mobile Phone
// Number"; "First Name" -> "Name"), or empty when it names none.
QString contactFieldFor(const QString &heading);

// An import of contacts from a CSV file, planned first and written after.
// Planning reads the file and the stored contacts and writes nothing; the
// rows that can not be taken are listed with their lines, and the contacts
// already stored (same name and telephone numbers) are counted and skipped.
class ContactImport
{
public:
    struct Problem {
        int line = 0;
        QString reason;
    };

    // Reads the file and plans the import into the database file.
    Status load(const QString &csvPath, const QString &databasePath);
    // Plans the import of a document already read.
    Status plan(const csv::Document &document, const QString &databasePath);

    const csv::Document &document() const { return m_document; }
    const ContactColumns &columns() const { return m_columns; }
    // The contacts to be added, each as the values of Phone's fields in order.
    const QList<QStringList> &contacts() const { return m_contacts; }
    const QList<Problem> &problems() const { return m_problems; }
    int duplicates() const { return m_duplicates; }

    // Adds the planned contacts in one transaction: all of them or, on any
    // failure, none. Tells the windows that list contacts.
    Status commit(int *added = nullptr);

private:
    QString m_path;
    csv::Document m_document;
    ContactColumns m_columns;
    QList<QStringList> m_contacts;
    QList<Problem> m_problems;
    int m_duplicates = 0;
};

} // namespace bm
