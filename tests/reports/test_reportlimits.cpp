#include "reportfixture.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "core/progress.h"
#include "reports/runner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace bm;

namespace
{

// Every hostile definition is given up well within this; without the
// limits each of them runs for many seconds or takes gigabytes.
constexpr qint64 quickMs = 5000;
// Filling the data budget takes as long as making and allocating that much
// data: a few seconds, not the minutes of the row cap.
constexpr qint64 budgetMs = 20000;

// A definition of the given queries and layout (and footer).
QString definition(const QString &queries, const QString &layout, const QString &footer = QString())
{
    QString text = QStringLiteral("[report]\ntitle = Limits\n");
    if (!footer.isEmpty())
        text += QStringLiteral("footer = ") + footer + u'\n';
    return text + queries + QStringLiteral("[layout]\n") + layout + u'\n';
}

// A query of the given rows (i from 1) and columns, made by the engine, in
// words both engines read.
QString rowsQuery(const QString &name, int rows, const QString &columns = QStringLiteral("i"))
{
    return QStringLiteral(
        "[query %1]\nWITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2)\n"
        "SELECT %3 FROM n\n")
        .arg(name)
        .arg(rows)
        .arg(columns);
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

report::Request requestFor(const QString &path, Progress *progress = nullptr)
{
    report::Request r;
    r.definitionPath = path;
    r.printDate = QDate(2026, 12, 8);
    r.progress = progress;
    return r;
}

// Answers true until it is asked the stopAt-th time (never for 0), and
// remembers what it was told.
class StopAt : public Progress
{
public:
    explicit StopAt(int stopAt)
        : m_stopAt(stopAt)
    {
    }
    bool advance(qint64 done, qint64 total) override
    {
        ++calls;
        largest = std::max(largest, done);
        if (total != 0)
            toldTotal = true;
        return m_stopAt == 0 || calls < m_stopAt;
    }
    int calls = 0;
    qint64 largest = 0;
    bool toldTotal = false;

private:
    int m_stopAt;
};

} // namespace

class TestReportLimits : public QObject
{
    Q_OBJECT

private slots:
    void init() { test::resetDatabase(); }

    // Definitions written carelessly or to harm: each is refused quickly,
    // with words that say what to change.
    void refused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("withinMs");

        const QString many = rowsQuery(QStringLiteral("q"), 100000, QStringLiteral("i, NULL AS Blank"));
        const QString thousand = rowsQuery(QStringLiteral("q"), 1000);
        const QString deep = QStringLiteral("{{#Title}}").repeated(10000) + QStringLiteral("x")
            + QStringLiteral("{{/Title}}").repeated(10000);
        QTest::newRow("deep nesting")
            << definition(QString(), deep) << "opens {{#Title}} inside 64 other sections" << quickMs;
        QTest::newRow("deep nesting of inverted sections")
            << definition(QString(),
                   QStringLiteral("{{^Report}}").repeated(65) + QStringLiteral("{{/Report}}").repeated(65))
            << "opens {{^Report}} inside 64 other sections" << quickMs;
        QTest::newRow("sections never closed")
            << definition(QString(), QStringLiteral("{{#Title}} ").repeated(100))
            << "inside 64 other sections" << quickMs;
        QTest::newRow("deep nesting in the footer") << definition(QString(), QStringLiteral("<p>x</p>"),
            QStringLiteral("{{#Title}}").repeated(100) + QStringLiteral("{{/Title}}").repeated(100))
                                                    << "The footer opens {{#Title}} inside 64" << quickMs;
        QTest::newRow("other tag marks")
            << definition(thousand, QStringLiteral("{{=<% %>=}}<%#q%><%#q%><%#q%><%i%><%/q%><%/q%><%/q%>"))
            << "The layout uses {{=<% %>=}} to change the tag marks" << quickMs;
        QTest::newRow("value as markup")
            << definition(QString(), QStringLiteral("<p>{{{Title}}}</p>"))
            << "uses {{{Title}}}, which would put a value into the page as markup" << quickMs;
        QTest::newRow("value as markup with &") << definition(QString(), QStringLiteral("<p>{{& Title}}</p>"))
                                                << "uses {{& Title}}, which would put a value" << quickMs;
        QTest::newRow("other tag marks in the footer")
            << definition(QString(), QStringLiteral("<p>x</p>"), QStringLiteral("{{= | | =}}|Title|"))
            << "The footer uses {{= | | =}} to change" << quickMs;
        QTest::newRow("sections one after another")
            << definition(many, QStringLiteral("{{#q}}{{/q}}").repeated(10000))
            << "The layout repeats too much" << quickMs;
        QTest::newRow("empty fields one after another") << definition(many,
            QStringLiteral("{{#q}}") + QStringLiteral("{{Blank}}").repeated(10000) + QStringLiteral("{{/q}}"))
                                                        << "The layout repeats too much" << quickMs;
        QTest::newRow("remarks one after another") << definition(many,
            QStringLiteral("{{#q}}") + QStringLiteral("{{! x }}").repeated(10000) + QStringLiteral("{{/q}}"))
                                                   << "The layout repeats too much" << quickMs;
        QTest::newRow("conditionals one after another") << definition(many,
            QStringLiteral("{{#q}}") + QStringLiteral("{{#Blank}}{{/Blank}}").repeated(1000)
                + QStringLiteral("{{/q}}")) << "The layout repeats too much"
                                                        << quickMs;
        // A query that found nothing may be shadowed by a field of the same
        // name in the row around it, which shows once per row.
        QTest::newRow("empty query shadowed by a field")
            << definition(QStringLiteral("[query none]\nSELECT 1 AS x WHERE 1 = 0\n")
                       + rowsQuery(QStringLiteral("q"), 100000, QStringLiteral("NULL AS Blank, 'y' AS none")),
                   QStringLiteral("{{#q}}{{#none}}") + QStringLiteral("{{Blank}}").repeated(1000)
                       + QStringLiteral("{{/none}}{{/q}}"))
            << "The layout repeats too much" << quickMs;
        QTest::newRow("sections one after another in the footer")
            << definition(many, QStringLiteral("<p>x</p>"), QStringLiteral("{{#q}}{{/q}}").repeated(10000))
            << "The footer repeats too much" << quickMs;
        QTest::newRow("nested sections over 1,000 rows")
            << definition(thousand, QStringLiteral("{{#q}}{{#q}}{{#q}}{{/q}}{{/q}}{{/q}}"))
            << "Check that no section stands inside itself" << quickMs;
        QTest::newRow("large values") << definition(
            rowsQuery(QStringLiteral("big"), 100000, QStringLiteral("format('%1000000s', 'x') AS Big")),
            QStringLiteral("{{#big}}{{Big}}{{/big}}"))
                                      << "The query \"big\" brings the report's data to more than 768 MB"
                                      << budgetMs;
        QTest::newRow("large values over two queries")
            << definition(
                   rowsQuery(QStringLiteral("a"), 450, QStringLiteral("format('%1000000s', 'x') AS Big"))
                       + rowsQuery(
                           QStringLiteral("b"), 450, QStringLiteral("format('%1000000s', 'y') AS Big")),
                   QStringLiteral("{{#a}}{{Big}}{{/a}}{{#b}}{{Big}}{{/b}}"))
            << "The query \"b\" brings the report's data to more than 768 MB" << budgetMs;
        QTest::newRow("many rows of small values")
            << definition(rowsQuery(QStringLiteral("q"), 1000000,
                              QStringLiteral("i AS A, i AS B, i AS C, i AS D, i AS E, i AS F")),
                   QStringLiteral("{{#q}}{{A}}{{B}}{{C}}{{D}}{{E}}{{F}}{{Row Number}}{{/q}}"))
            << "The query \"q\" brings the report's data to more than 768 MB" << budgetMs;
        QTest::newRow("a file too large")
            << definition(QString(), QStringLiteral("<p>%1</p>").arg(QString(1100000, u'x')))
            << "The report file is larger than 1 MB" << quickMs;
        QString queries;
        for (int i = 0; i <= 100; ++i)
            queries += QStringLiteral("[query q%1]\nSELECT 1 AS One\n").arg(i);
        QTest::newRow("thousands of queries")
            << definition(queries, QStringLiteral("<p>x</p>"))
            << "Line 203 of the report file starts a query past the 100" << quickMs;
        QTest::newRow("a long heading")
            << definition(QStringLiteral("[query ") + QString(5000, u'a') + QStringLiteral("]\nSELECT 1\n"),
                   QStringLiteral("<p>x</p>"))
            << "Line 3 of the report file starts with [ but is longer than 200" << quickMs;
    }

    void refused()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QFETCH(qint64, withinMs);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("hostile.rpt"), text.toUtf8());
        QVERIFY(!path.isEmpty());

        QElapsedTimer timer;
        timer.start();
        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(!s);
        QVERIFY2(s.message().startsWith(QLatin1String("The report \"hostile.rpt\" could not be printed.\n")),
            qPrintable(s.message()));
        QVERIFY2(s.message().contains(reason), qPrintable(s.message()));
        QVERIFY(rendered.html.isEmpty());
        QVERIFY2(elapsed < withinMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }

    // The budgets leave room for what a report means to print.
    void withinBudgets_data()
    {
        QTest::addColumn<QString>("text"); // empty: the delivered file
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("bookings");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("schedule") << QString() << "schedule.rpt" << 3000
                                  << QStringList { "Client number 1<", "Client number 3000<", "3001 trips" };
        QTest::newRow("invoice") << QString() << "invoice.rpt" << 3000
                                 << QStringList { "Client number 1<", "client3000@example.com", "340.10" };
        // Only what the layout names is read: a field of a megabyte in
        // every row costs nothing when the page does not show it.
        QTest::newRow("large field not shown") << definition(
            rowsQuery(QStringLiteral("q"), 1000, QStringLiteral("i, format('%1000000s', 'x') AS Big")),
            QStringLiteral("{{#q}}<p>{{i}}</p>{{/q}}"))
                                               << "" << 0 << QStringList { "<p>1</p>", "<p>1000</p>" };
        QTest::newRow("sections one after another over few rows")
            << definition(rowsQuery(QStringLiteral("q"), 100),
                   QStringLiteral("{{#q}}{{/q}}").repeated(10000) + QStringLiteral("{{#q}}<{{i}}>{{/q}}"))
            << "" << 0 << QStringList { "<1>", "<100>" };
        QTest::newRow("nesting within the limit") << definition(QString(),
            QStringLiteral("{{#Title}}").repeated(64) + QStringLiteral("<p>{{Title}}</p>")
                + QStringLiteral("{{/Title}}").repeated(64))
                                                  << "" << 0 << QStringList { "<p>Limits</p>" };
    }

    void withinBudgets()
    {
        QFETCH(QString, text);
        QFETCH(QString, file);
        QFETCH(int, bookings);
        QFETCH(QStringList, shown);
        if (bookings > 0)
            test::addBookings(bookings);
        QTemporaryDir dir;
        const QString path
            = text.isEmpty() ? appFile(file) : writeFile(dir, QStringLiteral("fits.rpt"), text.toUtf8());

        QElapsedTimer timer;
        timer.start();
        report::Rendered rendered;
        const Status s = report::render(requestFor(path), rendered);
        QVERIFY2(s, qPrintable(s.message()));
        QVERIFY2(timer.elapsed() < 2 * quickMs, qPrintable(QStringLiteral("%1 ms").arg(timer.elapsed())));
        for (const QString &expected : shown)
            QVERIFY2(rendered.html.contains(expected), qPrintable(expected));
    }

    // The progress hears of the rows read and of the page written; when it
    // answers false the report stops at the next word to it.
    void progressAndStop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stopAt"); // 0: never
        QTest::addColumn<qint64>("toldAtLeast");
        QTest::addColumn<qint64>("toldAtMost");

        const QString reading
            = definition(rowsQuery(QStringLiteral("q"), 100000), QStringLiteral("{{#q}}{{i}} {{/q}}"));
        QTest::newRow("to the end") << reading << 0 << qint64(100000) << qint64(2000000);
        QTest::newRow("before the first query") << reading << 1 << qint64(0) << qint64(0);
        QTest::newRow("while reading") << reading << 3 << qint64(8192) << qint64(8192);
        // Twenty rows read; the page is written in many pieces.
        QTest::newRow("while filling") << definition(rowsQuery(QStringLiteral("q"), 20),
            QStringLiteral("{{#q}}") + QStringLiteral("<td>{{i}}</td>\n").repeated(2000)
                + QStringLiteral("{{/q}}"))
                                       << 3 << qint64(1) << qint64(400000);
    }

    void progressAndStop()
    {
        QFETCH(QString, text);
        QFETCH(int, stopAt);
        QFETCH(qint64, toldAtLeast);
        QFETCH(qint64, toldAtMost);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("long.rpt"), text.toUtf8());
        StopAt progress(stopAt);
        report::Rendered rendered;
        const Status s = report::render(requestFor(path, &progress), rendered);
        if (stopAt == 0) {
            QVERIFY2(s, qPrintable(s.message()));
            QVERIFY(!rendered.html.isEmpty());
        } else {
            QVERIFY(!s);
            QCOMPARE(s.message(), QStringLiteral("The report was stopped."));
            QVERIFY(rendered.html.isEmpty());
            QCOMPARE(progress.calls, stopAt); // not asked again once it said stop
        }
        QVERIFY(!progress.toldTotal);
        QVERIFY2(progress.largest >= toldAtLeast && progress.largest <= toldAtMost,
            qPrintable(QString::number(progress.largest)));
    }

    // A query that works long before its first row (here it counts to three
    // hundred million, a minute's work) asks the progress every half second,
    // and stops as soon as the answer is to stop.
    void slowQueryStopsBeforeItsFirstRow()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("slow.rpt"),
            definition(
                QStringLiteral("[query q]\nWITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 300000000)\nSELECT max(i) AS i FROM n\n"),
                QStringLiteral("{{#q}}{{i}}{{/q}}"))
                .toUtf8());
        StopAt progress(3); // before the query, once while it works, then stop
        QElapsedTimer clock;
        clock.start();
        report::Rendered rendered;
        const Status s = report::render(requestFor(path, &progress), rendered);
        QCOMPARE(s.message(), QStringLiteral("The report was stopped."));
        QCOMPARE(progress.calls, 3);
        QCOMPARE(progress.largest, qint64(0));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }

    // Definitions damaged at random: whatever the damage, the report is
    // printed or refused with words, and soon.
    void damagedDefinitions()
    {
        test::addBookings(300);
        QRandomGenerator random(20261208);
        static const QRegularExpression tag(QStringLiteral(R"(\{\{[^}]*\}\})"));
        QTemporaryDir dir;
        int printed = 0, refused = 0;
        for (const char *name : { "schedule.rpt", "invoice.rpt", "trip.rpt" }) {
            QFile f(appFile(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray original = f.readAll();
            for (int round = 0; round < 100; ++round) {
                QByteArray text = original;
                for (int change = 1 + int(random.bounded(3)); change > 0; --change) {
                    QList<QPair<qsizetype, qsizetype>> tags;
                    for (auto it = tag.globalMatch(QString::fromLatin1(text)); it.hasNext();) {
                        const auto m = it.next();
                        tags.append({ m.capturedStart(), m.capturedLength() });
                    }
                    const auto pick = [&] { return tags.at(random.bounded(int(tags.size()))); };
                    const qsizetype at = random.bounded(int(text.size()) + 1);
                    switch (tags.isEmpty() ? 3 + random.bounded(3) : random.bounded(6)) {
                    case 0: { // a tag written again, many times
                        const auto t = pick();
                        text.insert(at, text.mid(t.first, t.second).repeated(1 + random.bounded(200)));
                        break;
                    }
                    case 1: { // a tag lost
                        const auto t = pick();
                        text.remove(t.first, t.second);
                        break;
                    }
                    case 2: { // two tags change places
                        auto a = pick(), b = pick();
                        if (a.first > b.first)
                            std::swap(a, b);
                        if (a.first + a.second > b.first)
                            break;
                        const QByteArray first = text.mid(a.first, a.second),
                                         second = text.mid(b.first, b.second);
                        text.replace(b.first, b.second, first);
                        text.replace(a.first, a.second, second);
                        break;
                    }
                    case 3: // cut short
                        text.truncate(at);
                        break;
                    case 4: { // bytes of any kind
                        QByteArray noise(1 + random.bounded(16), '\0');
                        for (char &c : noise)
                            c = char(random.bounded(256));
                        text.insert(at, noise);
                        break;
                    }
                    default: // a stretch written again
                        text.insert(at, text.mid(at, random.bounded(64)).repeated(1 + random.bounded(100)));
                        break;
                    }
                }
                const QString path = writeFile(dir, QStringLiteral("damaged.rpt"), text);
                QVERIFY(!path.isEmpty());
                QElapsedTimer timer;
                timer.start();
                report::Rendered rendered;
                const Status s = report::render(requestFor(path), rendered);
                QVERIFY2(timer.elapsed() < quickMs,
                    qPrintable(QStringLiteral("%1 round %2: %3 ms")
                                   .arg(QLatin1String(name))
                                   .arg(round)
                                   .arg(timer.elapsed())));
                if (s) {
                    ++printed;
                    QVERIFY(!rendered.html.isEmpty());
                } else {
                    ++refused;
                    QVERIFY2(s.message().startsWith(
                                 QLatin1String("The report \"damaged.rpt\" could not be printed.\n"))
                            && s.message().size() > 50,
                        qPrintable(s.message()));
                    QVERIFY(rendered.html.isEmpty());
                }
            }
        }
        // The damage is mixed: some of it harmless, some fatal.
        QVERIFY2(printed > 20 && refused > 20,
            qPrintable(QStringLiteral("%1 printed, %2 refused").arg(printed).arg(refused)));
    }
};

BM_TEST_MAIN(TestReportLimits)
#include "test_reportlimits.moc"
