#pragma once

#include "db/recordsource.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

namespace bm
{

// One of the ten search commands of the trip search: its button, where it
// stands, the start of its filter expression, the field it searches and the
// field a found booking shows in brackets.
struct FindCommand {
    const char *name;
    const char *caption;
    int column; // 0 left, 1 right
    int row; // 0 to 4
    const char *prefix;
    const char *field;
    const char *shown;
};

// The ten commands in keyboard order: the left column top to bottom, then
// the right column.
const std::array<FindCommand, 10> &findCommands();

// The dated bookings of the database as the search window opened them. The
// membership is fixed when it opens (bookings added later are not searched);
// the values shown are read again after any booking has been written.
class TripFinder : public QObject
{
    Q_OBJECT
public:
    explicit TripFinder(QObject *parent = nullptr, const QString &databasePath = QString());

    const Status &openStatus() const { return m_source->openStatus(); }

    // One line per dated booking, the lake in brackets.
    QStringList allLines();

    // The filter expression of a command for a word, exactly as typed.
    static QString expression(const FindCommand &command, const QString &word);

    // A line of the result list: "5/14/2026    (Bull Shoals)".
    static QString line(const QString &date, const QString &bracketed);

    struct Result {
        QStringList lines; // the bookings found before any failure
        Status status; // a failure: the expression was refused or a step failed
    };
    // Every booking whose field contains the word, in the result set's order.
    // A booking whose field is empty is never found.
    Result search(const FindCommand &command, const QString &word);

    RecordSource *resultSet() const { return m_source; }

private:
    // The values of a field, one per booking of the result set, by row.
    QStringList column(const QString &field);
    // The row of a booking of the result set, or -1.
    qsizetype rowOf(qint64 id) const;

    RecordSource *m_source;
    QVector<qint64> m_ids; // the bookmarks of the result set, rising
    QHash<QString, QStringList> m_columns;
};

} // namespace bm
