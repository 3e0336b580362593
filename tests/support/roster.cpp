#include "roster.h"

#include "checks.h"

#include "core/apppaths.h"
#include "db/query.h"

#include <QTest>

namespace bm::test
{

void addGuides(const QStringList &guides)
{
    for (const QString &g : guides)
        BM_CHECK(db::write(databasePath(), QStringLiteral("Guides"),
            QStringLiteral("INSERT INTO Guides (Name, Active) VALUES (?, ?)"),
            { g.section(QLatin1Char('/'), 0, 0), g.contains(QLatin1Char('/')) ? "No" : "Yes" }));
}

void rosterRows(const QString &first, const QString &second)
{
    QTest::addColumn<QStringList>("roster");
    QTest::addColumn<bool>("several");
    QTest::newRow("no guide") << QStringList {} << false;
    QTest::newRow("one guide") << QStringList { first } << false;
    QTest::newRow("one guide and a nameless row") << QStringList { first, "" } << false;
    QTest::newRow("two guides") << QStringList { first, second } << true;
    QTest::newRow("two guides, one gone") << QStringList { first, second + "/No" } << true;
}

} // namespace bm::test
