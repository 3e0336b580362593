#include "reports/runner.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "core/log.h"
#include "db/readonly.h"
#include "reports/definition.h"
#include "reports/layout.h"
#include "reports/messages.h"
#include "reports/rows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace bm::report
{

namespace km = kainjow::mustache;

namespace
{

// A report that has told its progress nothing for this long tells it again,
// even from inside a query that has not given its next row.
constexpr qint64 quietMs = 500;

// Passes progress on and keeps the time of the last word.
class QuietWatch : public Progress
{
public:
    explicit QuietWatch(Progress &inner)
        : m_inner(inner)
    {
        m_quiet.start();
    }
    bool advance(qint64 done, qint64 total) override
    {
        m_quiet.restart();
        m_done = done;
        m_goOn = m_inner.advance(done, total);
        return m_goOn;
    }
    // Asked while a statement works: the progress once it has heard nothing
    // for a while, otherwise its last answer.
    bool stillWanted() { return m_quiet.elapsed() < quietMs ? m_goOn : advance(m_done, 0); }

private:
    Progress &m_inner;
    QElapsedTimer m_quiet;
    qint64 m_done = 0;
    bool m_goOn = true;
};

Status readDefinition(const QString &path, Definition &def)
{
    const QFileInfo info(path);
    if (!info.exists())
        return says::fileMissing(path);
    if (!info.isFile())
        return says::notAReportFile(path);
    const int megabytes = int(maxDefinitionBytes >> 20);
    if (info.size() > maxDefinitionBytes)
        return says::fileTooLarge(megabytes);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return says::fileUnreadable(file.errorString());
    // No more than the limit is read, whatever the file grew to since.
    const QByteArray bytes = file.read(maxDefinitionBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return says::fileUnreadable(file.errorString());
    if (bytes.size() > maxDefinitionBytes)
        return says::fileTooLarge(megabytes);
    return parseDefinition(QString::fromUtf8(bytes), def);
}

// Runs every query of the definition; each gives a list named after it.
// used: the names the layout and footer give, the only columns kept.
Status runQueries(const Request &request, const Definition &def, const QSet<QString> &used, Progress &caller,
    km::data &data, QSet<QString> &known, QHash<QString, int> &rowCounts)
{
    if (def.queries.isEmpty())
        return Status::ok();
    db::ReadOnlyConnection connection;
    const QString path = request.databasePath.isEmpty() ? databasePath() : request.databasePath;
    if (const Status s = connection.open(path, request.locale); !s)
        return s;
    QuietWatch progress(caller);
    connection.setStillWanted([&progress] { return progress.stillWanted(); });
    DataBudget budget;
    for (const Query &q : def.queries) {
        if (!progress.advance(budget.rows, 0))
            return says::stopped();
        db::Query statement(connection);
        km::data rows;
        if (const Status s = connection.prepare(
                q.name, q.sql, { request.selection.id, request.guide, request.month }, statement);
            !s)
            return s;
        if (const Status s = readRows(q, statement, request.locale, used, budget, progress, rows, known); !s)
            return s;
        known.insert(q.name);
        rowCounts.insert(q.name, int(rows.list_value().size()));
        data[q.name.toStdString()] = std::move(rows);
    }
    return Status::ok();
}

Status renderDefinition(const Request &request, Progress &progress, Rendered &out)
{
    Definition def;
    if (const Status s = readDefinition(request.definitionPath, def); !s)
        return s;

    // The layout and footer are read by our own scan before any query runs:
    // what would crash the template library is refused at once, and only
    // the fields they name are read.
    const QString layout = QStringLiteral("layout"), footer = QStringLiteral("footer");
    QSet<QString> used;
    if (const Status s = scanTemplate(def.layout, layout, used); !s)
        return s;
    if (const Status s = scanTemplate(def.footer, footer, used); !s)
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
    if (const Status s = runQueries(request, def, used, progress, data, known, rowCounts); !s)
        return s;

    if (const Status s = checkTemplate(def.layout, layout, known, rowCounts); !s)
        return s;
    if (const Status s = checkTemplate(def.footer, footer, known, rowCounts); !s)
        return s;
    if (const Status s = fillTemplate(def.layout, data, true, layout, progress, out.html); !s)
        return s;
    if (const Status s = fillTemplate(def.footer, data, false, footer, progress, out.footer); !s)
        return s;
    out.footer = out.footer.simplified();
    return Status::ok();
}

} // namespace

Status render(const Request &request, Rendered &out)
{
    out = Rendered();
    ProgressWatch progress(request.progress);
    const Status s = renderDefinition(request, progress, out);
    if (s)
        return s;
    out = Rendered();
    if (progress.stopped()) {
        const Status stopped = says::stopped();
        qCInfo(dataLog).noquote() << QFileInfo(request.definitionPath).fileName() << stopped.message();
        return stopped;
    }
    const Status failure = says::notPrinted(QFileInfo(request.definitionPath).fileName(), s);
    qCWarning(dataLog).noquote() << failure.message();
    return failure;
}

} // namespace bm::report
