#pragma once

#include "core/status.h"
#include "exchange/contactcolumns.h"
#include "exchange/csvreader.h"
#include "exchange/textsource.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace bm
{

class Progress;

// An import of contacts from a CSV or vCard file, planned first and written
// after. Planning reads the file a record at a time and the stored contacts,
// and writes nothing; the rows that can not be taken are listed with their
// lines, and the contacts already stored (same name and telephone numbers)
// are counted and skipped. The planned contacts are kept packed, so a large
// file costs little more memory than its contacts' text.
class ContactImport
{
public:
    enum class Format { Csv, VCard };
    struct Problem {
        int line = 0;
        QString reason;
    };
    // More problems than this are counted, not listed.
    static constexpr int listedProblems = 1000;
    static constexpr int previewRows = 10;

    // Reads the file and plans the import into the database file. progress,
    // when given, is told how much of the file is read and may stop it.
    Status load(const QString &path, const QString &databasePath, Progress *progress = nullptr);

    Format format() const { return m_format; }
    // How the file was read: "UTF-8", "UTF-16" or "Windows-1252"; the last
    // is a guess the guide should check.
    const QString &encoding() const { return m_encoding; }
    // The columns of the preview: the file's header row for CSV, the contact
    // fields for vCard; and the first rows under them with their lines.
    const QStringList &header() const { return m_header; }
    const QList<csv::Record> &preview() const { return m_preview; }
    // What a column of the preview fills, or empty when it fills nothing.
    QString target(int column) const;

    // The contacts to be added, each as the values of Phone's fields in order.
    int count() const { return int(m_starts.size()); }
    QStringList contact(int index) const;
    QList<QStringList> contacts() const; // all of them, for a small file
    const QList<Problem> &problems() const { return m_problems; }
    int problemCount() const { return m_problemCount; }
    int duplicates() const { return m_duplicates; }
    // The last load or commit was stopped by its progress.
    bool cancelled() const { return m_cancelled; }

    // Adds the planned contacts in one transaction: all of them or, on any
    // failure or a stop asked by progress, none. Tells the windows that list
    // contacts.
    Status commit(int *added = nullptr, Progress *progress = nullptr);

private:
    Status readStored();
    Status readCsv(text::Source &&source, Progress *progress);
    Status readVCard(text::Source &&source, Progress *progress);
    void take(const QStringList &contact, int line);
    void problem(int line, const QString &reason);
    Status stopped();

    QString m_path;
    Format m_format = Format::Csv;
    QString m_encoding;
    QStringList m_header;
    QList<csv::Record> m_preview;
    ContactColumns m_columns;
    QByteArray m_packed; // the contacts' fields in UTF-8, each ended by a NUL
    QList<qsizetype> m_starts;
    QSet<QByteArray> m_known;
    QList<Problem> m_problems;
    int m_problemCount = 0;
    int m_duplicates = 0;
    bool m_cancelled = false;
};

} // namespace bm
