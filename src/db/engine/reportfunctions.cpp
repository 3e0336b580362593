#include "db/engine/reportfunctions.h"

namespace bm::db
{

// The functions a report may call: the program's own two, and the plain
// scalar, date and aggregate functions a report writer expects. Anything
// that reaches the engine's internals, the file system or loads code
// (fts3_tokenizer, load_extension, readfile, ...) is not among them, nor are
// those that only make memory (zeroblob, randomblob).
const QSet<QString> &reportFunctions()
{
    static const QSet<QString> names = {
        // the program's own
        QStringLiteral("amount"),
        QStringLiteral("shortdate"),
        // aggregates
        QStringLiteral("avg"),
        QStringLiteral("count"),
        QStringLiteral("group_concat"),
        QStringLiteral("max"),
        QStringLiteral("min"),
        QStringLiteral("sum"),
        QStringLiteral("total"),
        // text
        QStringLiteral("char"),
        QStringLiteral("coalesce"),
        QStringLiteral("hex"),
        QStringLiteral("format"),
        QStringLiteral("glob"),
        QStringLiteral("ifnull"),
        QStringLiteral("iif"),
        QStringLiteral("instr"),
        QStringLiteral("length"),
        QStringLiteral("like"),
        QStringLiteral("lower"),
        QStringLiteral("ltrim"),
        QStringLiteral("nullif"),
        QStringLiteral("printf"),
        QStringLiteral("quote"),
        QStringLiteral("replace"),
        QStringLiteral("rtrim"),
        QStringLiteral("substr"),
        QStringLiteral("substring"),
        QStringLiteral("trim"),
        QStringLiteral("typeof"),
        QStringLiteral("unicode"),
        QStringLiteral("upper"),
        // numbers
        QStringLiteral("abs"),
        QStringLiteral("ceil"),
        QStringLiteral("ceiling"),
        QStringLiteral("floor"),
        QStringLiteral("round"),
        QStringLiteral("sign"),
        QStringLiteral("trunc"),
        QStringLiteral("mod"),
        QStringLiteral("random"),
        // dates
        QStringLiteral("date"),
        QStringLiteral("datetime"),
        QStringLiteral("julianday"),
        QStringLiteral("strftime"),
        QStringLiteral("time"),
        QStringLiteral("unixepoch"),
    };
    return names;
}

// The functions a report may call on the server: those of the file's list
// that the server has under the same name, and those the translation from
// SQLite's words brings in (string_agg for group_concat, strpos for instr,
// coalesce for ifnull and total, lower for COLLATE NOCASE).
const QSet<QString> &serverFunctions()
{
    static const QSet<QString> names = [] {
        // SQLite's own, which the translation rewrites or the server lacks.
        static const QSet<QString> fileOnly { QStringLiteral("char"), QStringLiteral("date"),
            QStringLiteral("datetime"), QStringLiteral("glob"), QStringLiteral("group_concat"),
            QStringLiteral("hex"), QStringLiteral("ifnull"), QStringLiteral("iif"), QStringLiteral("instr"),
            QStringLiteral("julianday"), QStringLiteral("like"), QStringLiteral("printf"),
            QStringLiteral("quote"), QStringLiteral("strftime"), QStringLiteral("time"),
            QStringLiteral("total"), QStringLiteral("typeof"), QStringLiteral("unicode"),
            QStringLiteral("unixepoch") };
        QSet<QString> all = reportFunctions() - fileOnly;
        all << QStringLiteral("string_agg") << QStringLiteral("strpos");
        return all;
    }();
    return names;
}

} // namespace bm::db
