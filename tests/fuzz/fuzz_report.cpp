// A report definition as a guide may have edited it: read, its layout and
// footer scanned and checked, and filled with a few made-up rows for each
// query, as the runner would after reading them from the database. A query
// gives every field its SELECT names (all of them for a SELECT *); the
// queries give three, none, one and two rows in turn.

#include "fuzzsupport.h"

#include "core/progress.h"
#include "reports/definition.h"
#include "reports/layout.h"
#include "reports/messages.h"
#include "reports/rows.h"

#include <string>

using namespace bm;
namespace km = kainjow::mustache;

namespace
{

class GoOn : public Progress
{
public:
    bool advance(qint64, qint64) override { return true; }
};

// Values as a guide types them: markup, line breaks, letters beyond ASCII,
// an amount, template tags that must print as typed, and none at all.
const char *const madeUp[] = { "Ada <b>Guthrie</b> & Sons", "250.00", "first line\nsecond\tline",
    "Éloïse Émile", "{{Title}} {{#x}}", "", "\x01\x7f" };
constexpr int rowCounts[] = { 3, 0, 1, 2 };

km::data rowsOf(const report::Query &q, int index, const QSet<QString> &used, const QSet<QString> &fixed,
    const QStringList &queryNames, QSet<QString> &columns)
{
    const bool all = q.sql.contains(QLatin1Char('*'));
    QStringList own;
    for (const QString &name : used)
        if (!fixed.contains(name) && !queryNames.contains(name) && (all || q.sql.contains(name)))
            own << name;
    own.sort(); // a set's order changes from run to run
    for (const QString &name : std::as_const(own))
        columns.insert(name);
    const int count = rowCounts[index % 4];
    km::data rows(km::data::type::list);
    for (int r = 0; r < count; ++r) {
        km::data row;
        for (int c = 0; c < own.size(); ++c) {
            const std::string value = madeUp[(index + r + c) % std::size(madeUp)];
            row[own[c].toStdString()] = value.empty() ? km::data(false) : km::data(value);
        }
        row["Row Number"] = km::data(std::to_string(r + 1));
        row["First Row"] = km::data(r == 0);
        row["Last Row"] = km::data(r == count - 1);
        row["Even Row"] = km::data(r % 2 == 1);
        rows.push_back(row);
    }
    return rows;
}

// A template the check let through fills, unless the values made it longer
// than a page may be; every value goes through the escape, which drops the
// control characters one of them holds.
void fill(const QString &text, const QString &where, bool html, const km::data &data,
    const QSet<QString> &known, const QHash<QString, int> &counts)
{
    if (!report::checkTemplate(text, where, known, counts))
        return;
    GoOn progress;
    QString out;
    const Status filled = report::fillTemplate(text, data, html, where, progress, out);
    FUZZ_CHECK(filled || filled.message() == report::says::templateTooLong(where, 256).message());
    if (!text.contains(QChar(1)))
        FUZZ_CHECK(!out.contains(QChar(1)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    report::Definition def;
    if (!report::parseDefinition(QString::fromUtf8(fuzz::bytesOf(data, size)), def))
        return 0;
    FUZZ_CHECK(def.queries.size() <= report::maxQueries);

    const QString layout = QStringLiteral("layout"), footer = QStringLiteral("footer");
    QSet<QString> used;
    if (!report::scanTemplate(def.layout, layout, used) || !report::scanTemplate(def.footer, footer, used))
        return 0;

    QSet<QString> fixed = { QStringLiteral("Title"), QStringLiteral("Print Date"), QStringLiteral("Report") };
    for (const QString &name : report::rowNames())
        fixed.insert(name);
    km::data values;
    values["Title"] = km::data(def.title.isEmpty() ? std::string("fuzz") : def.title.toStdString());
    values["Print Date"] = km::data("12/8/26");
    values["Report"] = km::data("fuzz.rpt");
    QStringList queryNames;
    for (const report::Query &q : std::as_const(def.queries))
        queryNames << q.name;
    QSet<QString> known = fixed, columns;
    QHash<QString, int> counts;
    for (int i = 0; i < def.queries.size(); ++i) {
        const report::Query &q = def.queries[i];
        km::data rows = rowsOf(q, i, used, fixed, queryNames, columns);
        known.insert(q.name);
        counts.insert(q.name, int(rows.list_value().size()));
        values[q.name.toStdString()] = std::move(rows);
    }
    known.unite(columns);

    fill(def.layout, layout, true, values, known, counts);
    fill(def.footer, footer, false, values, known, counts);
    return 0;
}
