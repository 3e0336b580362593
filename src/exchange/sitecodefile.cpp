#include "exchange/sitecodefile.h"

#include "exchange/csvreader.h"

#include <algorithm>

namespace bm::sitecodefile
{

namespace
{

bool namesColumns(const QStringList &row)
{
    if (row.isEmpty())
        return false;
    const QString first = row.constFirst().trimmed().toLower();
    return first == QLatin1String("code") || first == QLatin1String("site code")
        || first == QLatin1String("site") || first == QLatin1String("sitecode");
}

void take(const csv::Record &r, Contents &out)
{
    if (std::all_of(r.fields.cbegin(), r.fields.cend(), [](const QString &f) { return csv::isBlank(f); }))
        return;
    auto bad = [&](const QString &why) { out.bad.append({ r.line, why }); };
    if (r.fields.size() < 2)
        return bad(QStringLiteral("a code and a name are needed"));
    const QString code = r.fields[0].trimmed();
    const QString name = r.fields[1].trimmed();
    if (code.isEmpty())
        return bad(QStringLiteral("the code is blank"));
    if (code.size() > longestCode)
        return bad(QStringLiteral("the code is longer than %1 characters").arg(longestCode));
    if (name.size() > longestName)
        return bad(QStringLiteral("the name is longer than %1 characters").arg(longestName));
    out.sites.append({ code, name });
}

Status readAll(csv::Reader &reader, const Status &opened, Contents &out)
{
    out = Contents();
    if (!opened)
        return opened;
    Contents read;
    // Without a line that names the columns, the first line is a site.
    if (!namesColumns(reader.header()))
        take({ reader.headerLine(), reader.header() }, read);
    csv::Record r;
    while (reader.next(r))
        take(r, read);
    if (!reader.status())
        return reader.status();
    out = std::move(read);
    return Status::ok();
}

} // namespace

Status read(const QString &path, Contents &out)
{
    csv::Reader reader;
    const Status opened = reader.open(path);
    return readAll(reader, opened, out);
}

Status parse(const QByteArray &bytes, const QString &shownName, Contents &out)
{
    csv::Reader reader;
    const Status opened = reader.open(bytes, shownName);
    return readAll(reader, opened, out);
}

} // namespace bm::sitecodefile
