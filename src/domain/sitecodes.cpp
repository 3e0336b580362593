#include "domain/sitecodes.h"

#include "db/query.h"
#include "domain/failures.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QHash>

namespace bm::sitecodes
{

namespace S = field::SiteCodes;

using domain::failed;
using domain::where;

Status list(QList<SiteCode> &codes, const QString &path)
{
    codes.clear();
    const QString what = QStringLiteral("The site codes could not be read");
    db::Query q(where(path));
    if (const Status s
        = q.run(QStringLiteral("SELECT %2, %3 FROM %1 WHERE %2 <> '' ORDER BY %2, ID")
                    .arg(schema::quoted(table::SiteCodes), schema::quoted(S::Code), schema::quoted(S::Name)));
        !s)
        return failed(what, s);
    QList<SiteCode> read;
    while (q.next())
        read.append({ q.value(S::Code).toString(), q.value(S::Name).toString() });
    if (!q.status())
        return failed(what, q.status());
    codes = std::move(read);
    return Status::ok();
}

QString shown(const SiteCode &site)
{
    return site.name.isEmpty() ? site.code : QStringLiteral("%1 - %2").arg(site.code, site.name);
}

Status merge(const QList<SiteCode> &codes, int &added, int &changed, const QString &path)
{
    added = changed = 0;
    const QString what = QStringLiteral("The site codes could not be imported; none was saved");
    // The last name a code is given counts, in the order the codes came.
    QList<SiteCode> given;
    QHash<QString, qsizetype> at;
    for (const SiteCode &c : codes) {
        if (const auto it = at.constFind(c.code); it != at.cend()) {
            given[*it].name = c.name;
            continue;
        }
        at.insert(c.code, given.size());
        given << c;
    }
    db::Transaction t(where(path));
    if (const Status s = t.begin(); !s)
        return failed(what, s);
    // Read within the transaction, so that what it compares is what it changes.
    QList<SiteCode> listed;
    if (const Status s = list(listed, path); !s)
        return failed(what, s);
    QHash<QString, QString> names;
    for (const SiteCode &c : std::as_const(listed))
        names.insert(c.code, c.name);
    int n = 0;
    int m = 0;
    for (const SiteCode &c : std::as_const(given)) {
        if (!names.contains(c.code)) {
            if (const Status s = t.write(table::SiteCodes,
                    QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                        .arg(schema::quoted(table::SiteCodes), schema::quoted(S::Code),
                            schema::quoted(S::Name)),
                    { c.code, c.name });
                !s)
                return failed(what, s);
            ++n;
        } else if (names.value(c.code) != c.name) {
            if (const Status s = t.write(table::SiteCodes,
                    QStringLiteral("UPDATE %1 SET %3 = ? WHERE %2 = ?")
                        .arg(schema::quoted(table::SiteCodes), schema::quoted(S::Code),
                            schema::quoted(S::Name)),
                    { c.name, c.code });
                !s)
                return failed(what, s);
            ++m;
        }
    }
    if (const Status s = t.commit(); !s)
        return failed(what, s);
    added = n;
    changed = m;
    return Status::ok();
}

} // namespace bm::sitecodes
