#include "testenv.h"

#include "data/filter.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

using namespace bm;

class TestFilter : public QObject
{
    Q_OBJECT
private slots:
    void patterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("contains") << "*bass*"
                                  << "Big Bass Lake" << true;
        QTest::newRow("contains at start") << "*bass*"
                                           << "bass" << true;
        QTest::newRow("not contained") << "*bass*"
                                       << "Big Pike" << false;
        QTest::newRow("case") << "TABLE*"
                              << "table rock" << true;
        QTest::newRow("exact") << "Rock"
                               << "Rock" << true;
        QTest::newRow("exact differs") << "Rock"
                                       << "Rocks" << false;
        QTest::newRow("empty pattern") << ""
                                       << "" << true;
        QTest::newRow("empty pattern text") << ""
                                            << "x" << false;
        QTest::newRow("star empty") << "*"
                                    << "" << true;
        QTest::newRow("stars empty") << "**"
                                     << "" << true;
        QTest::newRow("question") << "B?ss"
                                  << "Boss" << true;
        QTest::newRow("question needs one") << "B?ss"
                                            << "Bss" << false;
        QTest::newRow("digit") << "Lake #"
                               << "Lake 7" << true;
        QTest::newRow("digit refuses letter") << "Lake #"
                                              << "Lake X" << false;
        QTest::newRow("list") << "[bc]at"
                              << "Cat" << true;
        QTest::newRow("list misses") << "[bc]at"
                                     << "rat" << false;
        QTest::newRow("negated list") << "[!bc]at"
                                      << "rat" << true;
        QTest::newRow("negated list misses") << "[!bc]at"
                                             << "bat" << false;
        QTest::newRow("range") << "[a-f]*"
                               << "Dock" << true;
        QTest::newRow("range misses") << "[a-f]*"
                                      << "Zebra" << false;
        QTest::newRow("literal star") << "5[*]"
                                      << "5*" << true;
        QTest::newRow("literal star misses") << "5[*]"
                                             << "55" << false;
        QTest::newRow("literal question") << "[?]"
                                          << "?" << true;
        QTest::newRow("literal hash") << "[#]1"
                                      << "#1" << true;
        QTest::newRow("dash first is literal") << "[-x]"
                                               << "-" << true;
        QTest::newRow("empty brackets") << "a[]b"
                                        << "ab" << true;
        QTest::newRow("backtracking") << "*a*b*c"
                                      << "xxaxxbxxbxxc" << true;
        QTest::newRow("backtracking fails") << "*a*b*c"
                                            << "xxaxxbxxbxx" << false;
        QTest::newRow("unicode case") << "*ÉTÉ*"
                                      << "un été chaud" << true;
        QTest::newRow("word in unicode text") << "*CHAUD*"
                                              << "un été chaud" << true;
        QTest::newRow("accent is not the plain letter") << "*ete*"
                                                        << "un été chaud" << false;
        QTest::newRow("word longer than text") << "*trophy*"
                                               << "trop" << false;
        QTest::newRow("word at the end") << "*phy*"
                                         << "trophy" << true;
        QTest::newRow("sql wildcard is literal") << "%"
                                                 << "anything" << false;
        QTest::newRow("underscore is literal") << "a_c"
                                               << "abc" << false;
    }
    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        const std::optional<filter::Pattern> p = filter::Pattern::compile(pattern);
        QVERIFY(p);
        QCOMPARE(p->matches(text), matches);
        const QByteArray utf8 = text.toUtf8();
        QCOMPARE(p->matchesUtf8(utf8.constData(), std::size_t(utf8.size())), matches);
    }

    void expressions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("field"); // empty: rejected
        QTest::addColumn<QString>("pattern");
        QTest::newRow("bare upper") << "LAKE LIKE '*rock*'"
                                    << "Lake"
                                    << "*rock*";
        QTest::newRow("bracketed") << "[Lake Area] LIKE '*Upper*'"
                                   << "Lake Area"
                                   << "*Upper*";
        QTest::newRow("keyword case") << "remarks like '*x*'"
                                      << "Remarks"
                                      << "*x*";
        QTest::newRow("blanks around") << "  Name   LIKE   'A*'  "
                                       << "Name"
                                       << "A*";
        QTest::newRow("blank word") << "Name LIKE '* *'"
                                    << "Name"
                                    << "* *";
        QTest::newRow("apostrophe in word") << "Name LIKE '*O'Brien*'"
                                            << ""
                                            << "";
        QTest::newRow("doubled apostrophe") << "Name LIKE '*O''Brien*'"
                                            << ""
                                            << "";
        QTest::newRow("unterminated") << "Name LIKE '*abc"
                                      << ""
                                      << "";
        QTest::newRow("no quotes") << "Name LIKE abc"
                                   << ""
                                   << "";
        QTest::newRow("unknown field") << "Colour LIKE '*'"
                                       << ""
                                       << "";
        QTest::newRow("unclosed field") << "[Lake Area LIKE '*'"
                                        << ""
                                        << "";
        QTest::newRow("unclosed list") << "Name LIKE '*[ab*'"
                                       << ""
                                       << "";
        QTest::newRow("no keyword") << "Name '*'"
                                    << ""
                                    << "";
        QTest::newRow("other operator") << "Name = 'x'"
                                        << ""
                                        << "";
        QTest::newRow("glued keyword") << "Name LIKEX '*'"
                                       << ""
                                       << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("trailing text") << "Name LIKE '*' OR 1=1"
                                       << ""
                                       << "";
        QTest::newRow("reversed range") << "Name LIKE '[z-a]'"
                                        << ""
                                        << "";
    }
    void expressions()
    {
        QFETCH(QString, expression);
        QFETCH(QString, field);
        QFETCH(QString, pattern);
        const QStringList fields { "Lake", "Lake Area", "Remarks", "Name" };
        QString error;
        const std::optional<filter::Expression> e = filter::parse(expression, fields, &error);
        if (field.isEmpty()) {
            QVERIFY(!e);
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY2(e, qPrintable(error));
        QCOMPARE(e->field, field);
        QCOMPARE(e->patternText, pattern);
    }

    // Any input: no crash, no hang, and a contained word is found exactly
    // when a case-insensitive search finds it.
    void randomInputs()
    {
        QRandomGenerator rng(20261208);
        const QString alphabet = QStringLiteral("ab*?#[]!-' LIKE[]é\\%_");
        auto randomText = [&](int maxLen) {
            QString s;
            const int n = int(rng.bounded(maxLen + 1));
            for (int i = 0; i < n; ++i)
                s.append(alphabet[int(rng.bounded(alphabet.size()))]);
            return s;
        };
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 20000; ++i) {
            const QString expr = randomText(30);
            filter::parse(expr, { "Lake", "Name" });
            filter::parse(QStringLiteral("Lake LIKE '") + randomText(20) + QLatin1Char('\''), { "Lake" });
            if (std::optional<filter::Pattern> p = filter::Pattern::compile(randomText(12))) {
                p->matches(randomText(40));
                const QByteArray junk = QByteArray::number(rng.generate64()) + char(0xff) + char(0xc3);
                p->matchesUtf8(junk.constData(), std::size_t(junk.size()));
            }
            QString word = randomText(4);
            word.remove(QRegularExpression(QStringLiteral("[*?#\\[\\]]")));
            const QString text = randomText(20);
            const std::optional<filter::Pattern> contains
                = filter::Pattern::compile(QLatin1Char('*') + word + QLatin1Char('*'));
            QVERIFY(contains);
            QCOMPARE(contains->matches(text), text.contains(word, Qt::CaseInsensitive));
        }
        // A pathological pattern on a long text still finishes quickly.
        const std::optional<filter::Pattern> slow
            = filter::Pattern::compile(QString("*a").repeated(50) + "b");
        QVERIFY(slow);
        QVERIFY(!slow->matches(QString(5000, QLatin1Char('a'))));
        QVERIFY(timer.elapsed() < 20000);
    }
};

BM_TEST_MAIN(TestFilter)
#include "test_filter.moc"
