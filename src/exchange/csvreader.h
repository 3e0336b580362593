#pragma once

#include "core/status.h"
#include "exchange/textsource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace bm::csv
{

// A row or a field beyond these is no table a guide keeps.
inline constexpr int mostColumns = 1000;
inline constexpr qsizetype largestField = qsizetype(4) * 1024 * 1024;

// Whether a field holds nothing but blanks, without copying it.
inline bool isBlank(QStringView field)
{
    return field.trimmed().isEmpty();
}

// One record of a CSV file and the line of the file it begins on.
struct Record {
    int line = 0;
    QStringList fields;
};

// Rates a row as the header row of the file: higher is likelier, 0 names
// nothing. Without it the first row is the header.
using HeaderScore = std::function<int(const QStringList &row)>;

// A CSV file read a record at a time, so that a large file never sits in
// memory whole. The file is text as text::Source reads it; fields are
// separated by commas, semicolons or tabs, whichever gives the best header
// row. The header row may stand below a few lines of notes (as some
// exports write them); those lines are passed over. The apostrophe the
// export puts before a text that looks like a formula is taken away.
class Reader
{
public:
    Reader();
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    Status open(const QString &path, const HeaderScore &score = {});
    Status open(const QByteArray &bytes, const QString &shownName, const HeaderScore &score = {});
    // The same for a text already opened (and perhaps read from): it is read
    // again from its beginning.
    Status open(text::Source &&source, const HeaderScore &score = {});

    const QStringList &header() const { return m_header; }
    int headerLine() const { return m_headerLine; }
    // The next record below the header; blank rows are passed over. false
    // at the end and on a failure, which status() then tells.
    bool next(Record &record);
    const Status &status() const;

    const text::Source &source() const { return m_source; }

private:
    struct Parser;
    Status start(const HeaderScore &score);
    bool fill();

    text::Source m_source;
    std::unique_ptr<Parser> m_parser;
    QStringList m_header;
    int m_headerLine = 0;
    QList<Record> m_ready;
    qsizetype m_taken = 0;
    bool m_ended = false;
    Status m_failure;
};

// A CSV file read whole: its first record is the header row.
struct Document {
    QStringList header;
    int headerLine = 0;
    QList<Record> records; // the records below the header; blank rows are left out
    QString encoding; // how the file was read: "UTF-8", "UTF-16" or "Windows-1252"
};

// Reads a small CSV file whole, with the Reader's rules.
Status read(const QString &path, Document &out);
// The same for bytes already in memory; shownName names them in messages.
Status parse(const QByteArray &bytes, const QString &shownName, Document &out);

} // namespace bm::csv
