#include "testenv.h"

#include "platform/reportpreviewdocument.h"
#include "platform/reportrows.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

using namespace bm;
using platform::ReportPages;

// Pages of table rows drawn alone must be the pages the text document lays
// out: the same rows on each page, drawn in the same places.

namespace
{

const QString style = QStringLiteral(
    "<style>body { font-family: \"Nimbus Sans\", Helvetica, Arial, sans-serif; font-size: 10pt; "
    "color: #1b1b1b; }\n"
    "table.list th { background-color: #1f3b57; color: #ffffff; font-weight: bold; text-align: left; "
    "padding: 4px; font-size: 9pt; }\n"
    "table.list td { padding: 4px; vertical-align: top; }\n"
    "tr.even td { background-color: #edf1f5; }\n"
    ".amount { text-align: right; }\n"
    "tr.total td { font-weight: bold; background-color: #d5dee8; }\n"
    ".note { color: #4a4a4a; font-size: 8pt; }</style>");

const QString listTable = QStringLiteral("<table class=\"list\" width=\"100%\" cellspacing=\"0\">");
const QString listHeader
    = QStringLiteral("<tr><th width=\"12%\">Date</th><th width=\"28%\">Client</th><th width=\"20%\">Lake</th>"
                     "<th width=\"20%\">Type</th><th width=\"20%\" class=\"amount\">Charge</th></tr>");

report::Rendered reportOf(
    const QString &table, const QString &header, const QStringList &rows, bool letterhead)
{
    report::Rendered r;
    r.html = QStringLiteral("<html><head>%1</head><body>%2%3<thead>%4</thead>\n%5\n</table>\n"
                            "<p>The end of the list.</p></body></html>")
                 .arg(style,
                     letterhead ? QStringLiteral("<p><b>Bluegill Bay Guide Service</b></p>\n") : QString(),
                     table, header, rows.join(QLatin1Char('\n')));
    r.footer = QStringLiteral("Trip Schedule");
    r.printDate = QStringLiteral("12/8/2026");
    r.landscape = true;
    return r;
}

QString words(QRandomGenerator &random, int most)
{
    static const QStringList pool = { QStringLiteral("Fishing"), QStringLiteral("Club"), QStringLiteral("of"),
        QStringLiteral("the"), QStringLiteral("Upper"), QStringLiteral("White"), QStringLiteral("River"),
        QStringLiteral("Valley"), QStringLiteral("and"), QStringLiteral("Friends") };
    QStringList out;
    const int n = random.bounded(1, most + 1);
    for (int i = 0; i < n; ++i)
        out.append(pool.at(random.bounded(int(pool.size()))));
    return out.join(QLatin1Char(' '));
}

// A schedule's rows; kind says what awkward rows come among them.
QStringList scheduleRows(const QString &kind, int count)
{
    QRandomGenerator random(7);
    QStringList rows;
    for (int i = 0; i < count; ++i) {
        QString name = QStringLiteral("Client %1").arg(i);
        if (kind != QLatin1String("single lines") && random.bounded(4) == 0)
            name += QLatin1Char(' ') + words(random, 14);
        QString lake
            = i % 3 ? QStringLiteral("Table Rock Lake") : QStringLiteral("Bull Shoals &amp; Norfork");
        if (kind == QLatin1String("several forms")) {
            if (i % 5 == 0)
                name = QStringLiteral("<b>%1</b><br/>%2").arg(name, words(random, 3));
            if (i % 7 == 0)
                lake += QStringLiteral(" <span class=\"note\">(%1)</span>").arg(words(random, 4));
            if (i % 11 == 0)
                lake.clear();
        }
        if (kind == QLatin1String("long words") && i % 13 == 0)
            name += QStringLiteral(" ") + QString(45, QLatin1Char('W'));
        if (kind == QLatin1String("pictures between") && i % 100 == 0)
            name += QStringLiteral("<img src=\"nothing.png\" width=\"30\" height=\"40\">");
        rows.append(QStringLiteral("<tr%1><td>%2/1/2025</td><td>%3</td><td>%4</td><td>Full &#183; Day</td>"
                                   "<td class=\"amount\">%5.00</td></tr>")
                        .arg(i % 2 ? QStringLiteral(" class=\"even\"") : QString())
                        .arg(i % 12 + 1)
                        .arg(name, lake)
                        .arg(300 + i));
    }
    rows.append(QStringLiteral(
        "<tr class=\"total\"><td colspan=\"4\">%1 trips</td><td class=\"amount\">0.00</td></tr>")
                    .arg(count));
    return rows;
}

QImage pageImage(const ReportPages &pages, int page)
{
    QImage image(pages.pageSize().toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    pages.paintPage(painter, page);
    return image;
}

// The foot differs: "Page 9 of 21" against "Page 1 of 13".
QImage aboveFoot(const QImage &page)
{
    return page.copy(0, 0, page.width(), page.height() * 9 / 10);
}

} // namespace

class TestReportRows : public QObject
{
    Q_OBJECT

private slots:
    // A row's cells read as the text document reads them, or refused.
    void readsCellsAsTheDocument_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("read");
        QTest::newRow("blanks run together")
            << QStringLiteral("<tr><td>  a \n\t b  </td><td>\nc\n</td></tr>") << true;
        QTest::newRow("blanks around tags")
            << QStringLiteral("<tr><td>x <b> y</b></td><td>x<b> </b> y</td><td><b>n</b>\n\n</td></tr>")
            << true;
        QTest::newRow("line breaks") << QStringLiteral(
            "<tr><td>a <br/> b</td><td><br>a</td><td>a<br/></td></tr>")
                                     << true;
        QTest::newRow("entities") << QStringLiteral(
            "<tr><td>&amp;&lt;&gt;&quot;&#39;&#183;&#xB7;a&nbsp; b</td></tr>")
                                  << true;
        QTest::newRow("empty cells and no closing tags") << QStringLiteral("<tr><td><td> <th>x</tr>") << true;
        QTest::newRow("picture") << QStringLiteral("<tr><td><img src=\"a.png\"></td></tr>") << false;
        QTest::newRow("table in a cell")
            << QStringLiteral("<tr><td><table><tr><td>a</td></tr></table></td></tr>") << false;
        QTest::newRow("paragraph") << QStringLiteral("<tr><td><p>a</p></td></tr>") << false;
        QTest::newRow("comment") << QStringLiteral("<tr><td>a<!-- b --></td></tr>") << false;
        QTest::newRow("unknown entity") << QStringLiteral("<tr><td>&eacute;</td></tr>") << false;
        QTest::newRow("typed no-break space") << QStringLiteral("<tr><td>a\u00a0b</td></tr>") << false;
        QTest::newRow("text outside the cells") << QStringLiteral("<tr>a<td>b</td></tr>") << false;
        QTest::newRow("two rows") << QStringLiteral("<tr><td>a</td></tr><tr><td>b</td></tr>") << false;
    }

    void readsCellsAsTheDocument()
    {
        QFETCH(QString, row);
        QFETCH(bool, read);
        const std::optional<platform::rows::Row> got = platform::rows::read(row);
        QCOMPARE(got.has_value(), read);
        if (!read)
            return;
        QTextDocument doc;
        doc.setHtml(QStringLiteral("<table>%1</table>").arg(row));
        auto *table = qobject_cast<QTextTable *>(doc.rootFrame()->childFrames().value(0));
        QVERIFY(table);
        QCOMPARE(got->cells.size(), table->columns());
        for (int c = 0; c < table->columns(); ++c)
            QCOMPARE(got->cells.at(c).text, table->cellAt(0, c).firstCursorPosition().block().text());
    }

    void samePagesAsTheDocument_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("fewestAlone"); // pages drawn as rows alone
        const std::pair<const char *, int> kinds[] = { { "single lines", 10 }, { "names that wrap", 10 },
            { "several forms", 2 }, { "long words", 10 }, { "pictures between", 2 } };
        for (const auto &[kind, fewest] : kinds)
            QTest::newRow(kind) << listTable << listHeader << scheduleRows(QString::fromLatin1(kind), 400)
                                << fewest;
        QRandomGenerator random(3);
        QStringList reminders;
        for (int i = 0; i < 300; ++i)
            reminders.append(QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(i).arg(words(random, 30)));
        QTest::newRow("spacing and padding, cells in the middle")
            << QStringLiteral("<table width=\"100%\" cellspacing=\"3\" cellpadding=\"2\">")
            << QStringLiteral("<tr><th width=\"30%\">Date</th><th width=\"70%\">Reminder</th></tr>")
            << reminders << 3;
        QTest::newRow("columns as wide as their text")
            << QStringLiteral("<table>") << QStringLiteral("<tr><th>Date</th><th>Client</th></tr>")
            << scheduleRows(QStringLiteral("single lines"), 200) << 0;
    }

    // A page drawn alone is the first page of a document of its rows and
    // those after them.
    void samePagesAsTheDocument()
    {
        QFETCH(QString, table);
        QFETCH(QString, header);
        QFETCH(QStringList, rows);
        QFETCH(int, fewestAlone);
        const QPageLayout paper = ReportPages::defaultLayout(true);
        const ReportPages pages(reportOf(table, header, rows, true), paper);
        int alone = 0;
        for (int p = 0; p < pages.pageCount(); ++p) {
            if (!pages.drawnAlone(p))
                continue;
            ++alone;
            static const QRegularExpression number(
                QStringLiteral("^(?:Client )?(\\d+)(?: |$)"), QRegularExpression::MultilineOption);
            const QRegularExpressionMatch first = number.match(pages.pageText(p));
            QVERIFY(first.hasMatch());
            const ReportPages fromHere(
                reportOf(table, header, rows.mid(first.captured(1).toInt()), false), paper);
            QVERIFY2(aboveFoot(pageImage(pages, p)) == aboveFoot(pageImage(fromHere, 0)),
                qPrintable(QStringLiteral("page %1 of %2").arg(p + 1).arg(pages.pageCount())));
        }
        QVERIFY2(fewestAlone > 0 ? alone >= fewestAlone : alone == 0,
            qPrintable(QStringLiteral("%1 pages drawn alone").arg(alone)));
    }
};

BM_TEST_MAIN(TestReportRows)
#include "test_reportrows.moc"
