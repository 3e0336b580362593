#include "testenv.h"

#include "db/filter.h"
#include "filtercases.h"
#include "perlregex.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <map>

using namespace bm;

namespace
{

// A plain reading of the search language, slow and direct, to hold the
// matcher to: a character matches if it, or any character that folds like
// it, would match.

char32_t folded(char32_t c)
{
    return QChar::toCaseFolded(c);
}

// Every character that folds like x, found by trying them all.
const std::vector<char32_t> &foldsLike(char32_t x)
{
    static std::map<char32_t, std::vector<char32_t>> known;
    auto it = known.find(x);
    if (it == known.end()) {
        std::vector<char32_t> alike;
        for (char32_t y = 0; y <= 0x10FFFF; ++y) {
            if (folded(y) == folded(x))
                alike.push_back(y);
        }
        it = known.emplace(x, std::move(alike)).first;
    }
    return it->second;
}

struct List {
    bool valid = false;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> items;
    std::size_t end = 0; // just after the ]
};

// The list that opens with the [ at p[i].
List readList(const std::u32string &p, std::size_t i)
{
    List l;
    std::size_t j = i + 1;
    if (j < p.size() && p[j] == U'!') {
        l.negated = true;
        ++j;
    }
    while (j < p.size() && p[j] != U']') {
        if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
            if (p[j + 2] < p[j])
                return l;
            l.items.emplace_back(p[j], p[j + 2]);
            j += 3;
        } else {
            l.items.emplace_back(p[j], p[j]);
            ++j;
        }
    }
    if (j == p.size())
        return l;
    l.valid = true;
    l.end = j + 1;
    return l;
}

bool referenceValid(const std::u32string &p)
{
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == U'[') {
            const List l = readList(p, i);
            if (!l.valid)
                return false;
            i = l.end - 1;
        }
    }
    return true;
}

bool referenceMatch(const std::u32string &p, std::size_t pi, const std::u32string &t, std::size_t ti)
{
    if (pi == p.size())
        return ti == t.size();
    const char32_t c = p[pi];
    if (c == U'*')
        return referenceMatch(p, pi + 1, t, ti) || (ti < t.size() && referenceMatch(p, pi, t, ti + 1));
    if (c == U'[') {
        const List l = readList(p, pi);
        if (l.items.empty() && !l.negated)
            return referenceMatch(p, l.end, t, ti);
        if (ti == t.size())
            return false;
        bool in = false;
        for (const char32_t y : foldsLike(t[ti])) {
            for (const auto &[lo, hi] : l.items)
                in = in || (y >= lo && y <= hi);
        }
        return in != l.negated && referenceMatch(p, l.end, t, ti + 1);
    }
    if (ti == t.size())
        return false;
    bool one = false;
    if (c == U'?')
        one = true;
    else if (c == U'#')
        one = t[ti] >= U'0' && t[ti] <= U'9';
    else
        one = folded(c) == folded(t[ti]);
    return one && referenceMatch(p, pi + 1, t, ti + 1);
}

bool referenceMatch(const QString &pattern, const QString &text)
{
    return referenceMatch(pattern.toStdU32String(), 0, text.toStdU32String(), 0);
}

} // namespace

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

    // The shared cases: both matching paths, the reference reading, and
    // the server's regular expression read the same way in Perl syntax.
    void sharedCases_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("expected");
        for (const test::FilterCase &c : test::filterCases())
            QTest::newRow(c.name) << c.pattern << c.text << c.expected;
    }
    void sharedCases()
    {
        QFETCH(QString, pattern);
        QFETCH(QByteArray, text);
        QFETCH(bool, expected);
        const std::optional<filter::Pattern> p = filter::Pattern::compile(pattern);
        QVERIFY(p);
        QCOMPARE(p->matchesUtf8(text.constData(), std::size_t(text.size())), expected);
        const QString decoded = QString::fromUtf8(text);
        if (decoded.toUtf8() != text)
            return; // broken UTF-8 has no QString of its own
        QCOMPARE(p->matches(decoded), expected);
        QCOMPARE(referenceMatch(pattern, decoded), expected);
        if (!test::serverCanHold(text))
            return;
        const QRegularExpression re = test::asPerl(p->serverRegex());
        QVERIFY2(re.isValid(), qPrintable(p->serverRegex() + QStringLiteral(": ") + re.errorString()));
        QCOMPARE(re.match(decoded).hasMatch(), expected);
    }

    // The shape of the expression: a word search stays an unanchored
    // search, case is spelled out, and what the server text cannot hold
    // (NUL) leaves a set that nothing matches.
    void serverRegexText_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("regex");
        QTest::newRow("word") << "*s*" << QString::fromUtf8("[Ssſ]");
        QTest::newRow("words") << "*a*b*"
                               << "[Aa].*[Bb]";
        QTest::newRow("empty") << ""
                               << "^$";
        QTest::newRow("star") << "*"
                              << "$";
        QTest::newRow("empty negated list") << "[!]"
                                            << "^.$";
        QTest::newRow("digit and one") << "#?"
                                       << "^[0-9].$";
        QTest::newRow("escaped") << "5[*]."
                                 << "^5\\*\\.$";
        QTest::newRow("negated range") << "[!a-c]"
                                       << "^[^A-Ca-c]$";
        QTest::newRow("specials in a list") << "[-^\\[]"
                                            << "^[\\u002d\\u005b\\u005c\\u005e]$";
        QTest::newRow("NUL") << QString(QChar(0)) << "^[^\\u0001-\\U0010ffff]$";
    }
    void serverRegexText()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, regex);
        const std::optional<filter::Pattern> p = filter::Pattern::compile(pattern);
        QVERIFY(p);
        QCOMPARE(p->serverRegex(), regex);
    }

    // Random patterns and texts over the characters where case folding is
    // treacherous: the word search over bytes, the full matcher, the server
    // expression and the reference must all agree.
    void randomAgainstReference()
    {
        QRandomGenerator rng(20261209);
        const QString patternChars = QString::fromUtf8("ſ\u212aKkSsßİ09-*]?#[!a");
        const QString wordChars = QString::fromUtf8("ſ\u212aKkSsßİıia9-");
        const QString textChars = QString::fromUtf8("ſ\u212aKkSsßẞİıiaA09-*]?#[!\n é");
        auto pick = [&](const QString &from, int maxLen) {
            QString s;
            const int n = int(rng.bounded(maxLen + 1));
            for (int i = 0; i < n; ++i)
                s.append(from[int(rng.bounded(from.size()))]);
            return s;
        };
        int compiled = 0, matched = 0, fastPath = 0;
        for (int i = 0; i < 4000; ++i) {
            const bool word = i % 3 == 0;
            const QString pattern
                = word ? QLatin1Char('*') + pick(wordChars, 3) + QLatin1Char('*') : pick(patternChars, 8);
            const QString text = pick(textChars, 8);
            const QString where = QStringLiteral("pattern '%1' text '%2'").arg(pattern, text);
            const std::optional<filter::Pattern> p = filter::Pattern::compile(pattern);
            QVERIFY2(bool(p) == referenceValid(pattern.toStdU32String()), qPrintable(where));
            if (!p)
                continue;
            ++compiled;
            const bool expected = referenceMatch(pattern, text);
            matched += expected;
            fastPath += word;
            QVERIFY2(p->matches(text) == expected, qPrintable(where));
            const QByteArray utf8 = text.toUtf8();
            QVERIFY2(
                p->matchesUtf8(utf8.constData(), std::size_t(utf8.size())) == expected, qPrintable(where));
            const QRegularExpression re = test::asPerl(p->serverRegex());
            QVERIFY2(re.isValid(), qPrintable(where + QStringLiteral(": ") + p->serverRegex()));
            QVERIFY2(re.match(text).hasMatch() == expected,
                qPrintable(where + QStringLiteral(": ") + p->serverRegex()));
        }
        // Enough of each kind that the comparison meant something.
        QVERIFY(compiled > 2500);
        QVERIFY(matched > 300 && matched < compiled - 300);
        QVERIFY(fastPath > 1000);
    }

    // A set over every character, many times over, stays cheap to compile,
    // to match and to write for the server.
    void hostileSets()
    {
        const char32_t all[] = { U'[', 0, U'-', 0x10FFFF, U']' };
        const QString pattern = QString::fromUcs4(all, 5).repeated(500);
        QElapsedTimer timer;
        timer.start();
        const std::optional<filter::Pattern> p = filter::Pattern::compile(pattern);
        QVERIFY(p);
        const QString text = QString::fromUtf8("ſé\n").repeated(166) + QStringLiteral("xy");
        QVERIFY(p->matches(text));
        QVERIFY(!p->matches(text.chopped(1)));
        const QByteArray utf8 = text.toUtf8();
        QVERIFY(p->matchesUtf8(utf8.constData(), std::size_t(utf8.size())));
        const QString re = p->serverRegex();
        QVERIFY(re.size() < 500 * 40);
        QVERIFY(test::asPerl(re).match(text).hasMatch());
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
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
