#include "records/findtrips.h"

#include "db/changes.h"
#include "db/filter.h"
#include "schema/fields.h"

#include <algorithm>

namespace bm
{

namespace
{

const QString dateField = QString::fromLatin1(field::Booking::Date);

} // namespace

const std::array<FindCommand, 10> &findCommands()
{
    static const std::array<FindCommand, 10> commands { {
        { "Command1", "Lakes or Rivers", 0, 0, "LAKE LIKE '*", field::Booking::Lake, field::Booking::Lake },
        { "Command2", "Customer", 0, 1, "Name LIKE '*", field::Booking::Name, field::Booking::Name },
        { "Command3", "Lake Areas", 0, 2, "[Lake Area] LIKE '*", field::Booking::LakeArea,
            field::Booking::Lake },
        { "Command5", "Depth Fished", 0, 3, "Depth LIKE '*", field::Booking::Depth, field::Booking::Lake },
        { "Command6", "Weather", 0, 4, "Weather LIKE '*", field::Booking::Weather, field::Booking::Lake },
        { "Command4", "Structure Fished", 1, 0, "Structure LIKE '*", field::Booking::Structure,
            field::Booking::Lake },
        { "Command7", "Lure Used", 1, 1, "Lure LIKE '*", field::Booking::Lure, field::Booking::Lake },
        { "Command9", "Lure Color", 1, 2, "[Lure Color] LIKE '*", field::Booking::LureColor,
            field::Booking::Lake },
        { "Command8", "Trip Remarks", 1, 3, "Remarks LIKE '*", field::Booking::Remarks,
            field::Booking::Lake },
        { "Command10", "Type Fish", 1, 4, "Species LIKE '*", field::Booking::Species, field::Booking::Lake },
    } };
    return commands;
}

TripFinder::TripFinder(QObject *parent, const QString &databasePath)
    : QObject(parent)
    , m_source(new RecordSource(
          QStringLiteral("rsFind"), QStringLiteral("SELECT * FROM Booking WHERE Date"), this, databasePath))
{
    if (!m_source->openStatus())
        return;
    // The result set's members: every booking dated when the search opens.
    const QVector<QPair<Bookmark, QString>> dates = m_source->column(dateField);
    m_ids.reserve(dates.size());
    QStringList shown;
    shown.reserve(dates.size());
    for (const auto &[bookmark, date] : dates) {
        m_ids << bookmark.id; // the record source reads in the order of its bookmarks
        shown << date;
    }
    m_columns.insert(dateField, shown);

    // What other windows write shows in the next search.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &, const QString &table) {
            if (table == m_source->tableName())
                m_columns.clear();
        });
}

qsizetype TripFinder::rowOf(qint64 id) const
{
    const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id);
    return it != m_ids.cend() && *it == id ? it - m_ids.cbegin() : -1;
}

QStringList TripFinder::column(const QString &field)
{
    auto it = m_columns.constFind(field);
    if (it != m_columns.constEnd())
        return *it;
    QStringList values(m_ids.size());
    for (const auto &[bookmark, value] : m_source->column(field)) {
        if (const qsizetype row = rowOf(bookmark.id); row >= 0)
            values[row] = value;
    }
    m_columns.insert(field, values);
    return values;
}

QString TripFinder::expression(const FindCommand &command, const QString &word)
{
    return QString::fromLatin1(command.prefix) + word + QStringLiteral("*'");
}

QString TripFinder::line(const QString &date, const QString &bracketed)
{
    return date + QStringLiteral("    (") + bracketed + QLatin1Char(')');
}

QStringList TripFinder::allLines()
{
    const QStringList dates = column(dateField);
    const QStringList lakes = column(field::Booking::Lake);
    QStringList lines;
    lines.reserve(dates.size());
    for (qsizetype i = 0; i < dates.size(); ++i)
        lines << line(dates[i], lakes[i]);
    return lines;
}

TripFinder::Result TripFinder::search(const FindCommand &command, const QString &word)
{
    Result result;
    const QString filter = expression(command, word);
    QVector<Bookmark> found;
    if (Status s = m_source->findAll(filter, found); !s) {
        result.status = s;
        return result;
    }
    if (found.isEmpty())
        return result;
    // A word of wildcards alone would also match an empty field; the field
    // is then looked at, since an empty field never matches.
    const std::optional<filter::Expression> parsed = filter::parse(filter, m_source->fieldNames());
    const bool matchesEmpty = parsed && parsed->pattern.matches(QString());
    const QString field = QString::fromLatin1(command.field);
    const QStringList searched = matchesEmpty ? column(field) : QStringList();
    const QStringList dates = column(dateField);
    const QStringList shown = column(QString::fromLatin1(command.shown));
    result.lines.reserve(found.size());
    for (const Bookmark &bookmark : std::as_const(found)) {
        const qsizetype row = rowOf(bookmark.id);
        if (row >= 0 && !(matchesEmpty && searched[row].isEmpty()))
            result.lines << line(dates[row], shown[row]);
    }
    return result;
}

} // namespace bm
