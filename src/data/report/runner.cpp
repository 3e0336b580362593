#include "data/report/runner.h"

#include "data/apppaths.h"
#include "data/dates.h"
#include "data/log.h"
#include "data/readonly.h"
#include "data/report/definition.h"
#include "data/report/layout.h"
#include "data/report/messages.h"
#include "data/report/rows.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

Status readDefinition(const QString &path, Definition &def)
{
    const QFileInfo info(path);
    if (!info.exists())
        return says::fileMissing(path);
    if (!info.isFile())
        return says::notAReportFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return says::fileUnreadable(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return says::fileUnreadable(file.errorString());
    return parseDefinition(QString::fromUtf8(bytes), def);
}

// Runs every query of the definition; each gives a list named after it.
Status runQueries(const Request &request, const Definition &def, km::data &data, QSet<QString> &known,
    QHash<QString, int> &rowCounts)
{
    if (def.queries.isEmpty())
        return Status::ok();
    db::ReadOnlyConnection connection;
    const QString path = request.databasePath.isEmpty() ? databasePath() : request.databasePath;
    if (const Status s = connection.open(path, request.locale); !s)
        return s;
    for (const Query &q : def.queries) {
        db::Query statement(connection);
        km::data rows;
        if (const Status s = connection.prepare(q.name, q.sql, request.selection.id, statement); !s)
            return s;
        if (const Status s = readRows(q, statement, request.locale, rows, known); !s)
            return s;
        known.insert(q.name);
        rowCounts.insert(q.name, int(rows.list_value().size()));
        data[q.name.toStdString()] = std::move(rows);
    }
    return Status::ok();
}

Status renderDefinition(const Request &request, Rendered &out)
{
    Definition def;
    if (const Status s = readDefinition(request.definitionPath, def); !s)
        return s;

    const QFileInfo info(request.definitionPath);
    out.fileName = info.fileName();
    out.folder = info.absolutePath();
    out.title = def.title.isEmpty() ? info.completeBaseName() : def.title;
    out.landscape = def.landscape;
    out.printDate = shortDate(request.printDate, request.locale);

    km::data data;
    data["Title"] = km::data(out.title.toStdString());
    data["Print Date"] = out.printDate.isEmpty() ? km::data(false) : km::data(out.printDate.toStdString());
    data["Report"] = km::data(out.fileName.toStdString());
    QSet<QString> known = { QStringLiteral("Title"), QStringLiteral("Print Date"), QStringLiteral("Report") };
    for (const QString &name : rowNames())
        known.insert(name);
    QHash<QString, int> rowCounts;
    if (const Status s = runQueries(request, def, data, known, rowCounts); !s)
        return s;

    const QString layout = QStringLiteral("layout"), footer = QStringLiteral("footer");
    if (const Status s = checkTemplate(def.layout, layout, known, rowCounts); !s)
        return s;
    if (const Status s = checkTemplate(def.footer, footer, known, rowCounts); !s)
        return s;
    if (const Status s = fillTemplate(def.layout, data, true, layout, out.html); !s)
        return s;
    if (const Status s = fillTemplate(def.footer, data, false, footer, out.footer); !s)
        return s;
    out.footer = out.footer.simplified();
    return Status::ok();
}

} // namespace

Status render(const Request &request, Rendered &out)
{
    out = Rendered();
    const Status s = renderDefinition(request, out);
    if (s)
        return s;
    out = Rendered();
    const Status failure = says::notPrinted(QFileInfo(request.definitionPath).fileName(), s);
    qCWarning(dataLog).noquote() << failure.message();
    return failure;
}

} // namespace bm::report
