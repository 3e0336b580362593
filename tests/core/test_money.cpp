#include "testenv.h"

#include "core/money.h"

#include <QLocale>
#include <QtTest>

#include <cstdint>
#include <limits>
#include <optional>

using bm::Money;

Q_DECLARE_METATYPE(std::optional<qint64>)

namespace
{

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

// A value in ten-thousandths, for the tables.
std::optional<qint64> units(qint64 u)
{
    return u;
}
const std::optional<qint64> none = std::nullopt;

std::optional<qint64> unitsOf(const std::optional<Money> &m)
{
    return m ? std::optional<qint64>(m->units()) : std::nullopt;
}

} // namespace

namespace QTest
{
template <> char *toString(const std::optional<qint64> &value)
{
    return qstrdup(value ? QByteArray::number(*value).constData() : "no value");
}
} // namespace QTest

class TestMoney : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void parseUsesDefaultLocale();
    void fromDouble_data();
    void fromDouble();
    void arithmetic_data();
    void arithmetic();
    void format_data();
    void format();
    void formatAmountText_data();
    void formatAmountText();
    void toStringShowsEveryDecimal_data();
    void toStringShowsEveryDecimal();
};

void TestMoney::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<std::optional<qint64>>("expected");

    QTest::newRow("whole") << "250" << us << units(2500000);
    QTest::newRow("two decimals") << "250.00" << us << units(2500000);
    QTest::newRow("no leading digit") << ".06" << us << units(600);
    QTest::newRow("trailing point") << "7." << us << units(70000);
    QTest::newRow("negative") << "-3" << us << units(-30000);
    QTest::newRow("explicit plus") << "+12.5" << us << units(125000);
    QTest::newRow("blanks around") << "  42.1 " << us << units(421000);
    QTest::newRow("grouped") << "1,250.5" << us << units(12505000);
    QTest::newRow("two groups") << "12,345,678.9" << us << units(123456789000);
    QTest::newRow("four decimals exact") << "0.1234" << us << units(1234);
    QTest::newRow("fifth decimal rounds up") << "1.23455" << us << units(12346);
    QTest::newRow("fifth decimal rounds down") << "1.23454" << us << units(12345);
    QTest::newRow("negative rounds away from zero") << "-1.23455" << us << units(-12346);
    QTest::newRow("largest whole amount") << "922337203685477" << us << units(9223372036854770000LL);

    QTest::newRow("empty") << "" << us << none;
    QTest::newRow("blank") << "   " << us << none;
    QTest::newRow("letters") << "abc" << us << none;
    QTest::newRow("full stop alone") << "." << us << none;
    QTest::newRow("minus alone") << "-" << us << none;
    QTest::newRow("slash") << "1/2" << us << none;
    QTest::newRow("date") << "5/14/2005" << us << none;
    QTest::newRow("two points") << "1.2.3" << us << none;
    QTest::newRow("exponent") << "1e3" << us << none;
    QTest::newRow("dollar sign") << "$25" << us << none;
    QTest::newRow("double minus") << "--5" << us << none;
    QTest::newRow("trailing minus") << "5-" << us << none;
    QTest::newRow("short group") << "1,25" << us << none;
    QTest::newRow("leading group") << ",125" << us << none;
    QTest::newRow("long first group") << "1234,567" << us << none;
    QTest::newRow("group after point") << "1.234,5" << us << none;
    QTest::newRow("one past the largest whole") << "922337203685478" << us << none;
    QTest::newRow("whole part overflows") << "922337203685479" << us << none;
    QTest::newRow("far too large") << "99999999999999999999" << us << none;

    QTest::newRow("german comma") << "12,5" << german << units(125000);
    QTest::newRow("german grouped") << "1.250,5" << german << units(12505000);
    QTest::newRow("german reads a point as grouping") << "250.00" << german << none;
}

void TestMoney::parse()
{
    QFETCH(QString, text);
    QFETCH(QLocale, locale);
    QFETCH(std::optional<qint64>, expected);
    QCOMPARE(unitsOf(Money::parse(text, locale)), expected);
}

void TestMoney::parseUsesDefaultLocale()
{
    const QLocale saved;
    QLocale::setDefault(german);
    const std::optional<Money> m = Money::parse(QStringLiteral("3,75"));
    const QString shown = m ? m->format() : QString();
    QLocale::setDefault(saved);
    QCOMPARE(unitsOf(m), units(37500));
    QCOMPARE(shown, QStringLiteral("3,75"));
}

void TestMoney::fromDouble_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<std::optional<qint64>>("expected");

    QTest::newRow("2.675 stays 2.675") << 2.675 << units(26750);
    QTest::newRow("product just under a half") << 20.249999999999996 << units(202500);
    QTest::newRow("sum of tenths") << (0.1 + 0.2) << units(3000);
    QTest::newRow("price times tax rate") << (199.99 * 0.0725) << units(144993);
    QTest::newRow("negative") << -2.675 << units(-26750);
    QTest::newRow("fifth decimal rounds") << 1.00005 << units(10001);
    QTest::newRow("tiny") << 1e-20 << units(0);
    QTest::newRow("small with exponent") << 0.00005 << units(1);
    QTest::newRow("large") << 123456789012.345 << units(1234567890123450LL);
    QTest::newRow("zero") << 0.0 << units(0);
    QTest::newRow("too large") << 1e15 << none;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << none;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << none;
}

void TestMoney::fromDouble()
{
    QFETCH(double, value);
    QFETCH(std::optional<qint64>, expected);
    QCOMPARE(unitsOf(Money::fromDouble(value)), expected);
}

void TestMoney::arithmetic_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<std::optional<qint64>>("sum");
    QTest::addColumn<std::optional<qint64>>("difference");

    QTest::newRow("tenths add exactly") << "0.1"
                                        << "0.2" << units(3000) << units(-1000);
    QTest::newRow("charge less deposit") << "250"
                                         << "50" << units(3000000) << units(2000000);
    QTest::newRow("deposit above charge") << "50"
                                          << "250" << units(3000000) << units(-2000000);
    QTest::newRow("four decimals") << "0.0001"
                                   << "0.0002" << units(3) << units(-1);
    QTest::newRow("negative operand") << "-10.5"
                                      << "4.25" << units(-62500) << units(-147500);
}

void TestMoney::arithmetic()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(std::optional<qint64>, sum);
    QFETCH(std::optional<qint64>, difference);
    const std::optional<Money> x = Money::parse(a, us);
    const std::optional<Money> y = Money::parse(b, us);
    QVERIFY(x && y);
    QCOMPARE(unitsOf(x->plus(*y)), sum);
    QCOMPARE(unitsOf(x->minus(*y)), difference);
}

void TestMoney::format_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << qint64(1500000) << us << "150.00";
    QTest::newRow("zero") << qint64(0) << us << "0.00";
    QTest::newRow("below one") << qint64(600) << us << "0.06";
    QTest::newRow("no thousands separator") << qint64(12345678900LL) << us << "1234567.89";
    QTest::newRow("half cent rounds up") << qint64(26750) << us << "2.68";
    QTest::newRow("just below half a cent") << qint64(26749) << us << "2.67";
    QTest::newRow("half of the smallest cent") << qint64(50) << us << "0.01";
    QTest::newRow("rounds into the next whole") << qint64(99950) << us << "10.00";
    QTest::newRow("negative") << qint64(-2000000) << us << "-200.00";
    QTest::newRow("negative half rounds away from zero") << qint64(-26750) << us << "-2.68";
    QTest::newRow("negative below half a cent") << qint64(-40) << us << "0.00";
    QTest::newRow("negative half a cent") << qint64(-50) << us << "-0.01";
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << us << "922337203685477.58";
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << us << "-922337203685477.58";
    QTest::newRow("german point") << qint64(12505000) << german << "1250,50";
}

void TestMoney::format()
{
    QFETCH(qint64, value);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(Money::fromUnits(value).format(locale), expected);
}

void TestMoney::formatAmountText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << "150"
                           << "150.00";
    QTest::newRow("one decimal") << "12.5"
                                 << "12.50";
    QTest::newRow("already formatted") << "250.00"
                                       << "250.00";
    QTest::newRow("three decimals round") << "2.675"
                                          << "2.68";
    QTest::newRow("grouped") << "1,250"
                             << "1250.00";
    QTest::newRow("leading point") << ".5"
                                   << "0.50";
    QTest::newRow("negative") << "-7"
                              << "-7.00";
    QTest::newRow("full stop alone unchanged") << "."
                                               << ".";
    QTest::newRow("slash unchanged") << "1/2"
                                     << "1/2";
    QTest::newRow("date unchanged") << "5/14/2005"
                                    << "5/14/2005";
    QTest::newRow("letters unchanged") << "abc"
                                       << "abc";
    QTest::newRow("empty unchanged") << ""
                                     << "";
}

void TestMoney::formatAmountText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(bm::formatAmountText(text, us), expected);
}

void TestMoney::toStringShowsEveryDecimal_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << qint64(2500000) << "250.00";
    QTest::newRow("three decimals") << qint64(26750) << "2.675";
    QTest::newRow("four decimals") << qint64(1) << "0.0001";
    QTest::newRow("negative") << qint64(-5000) << "-0.50";
}

void TestMoney::toStringShowsEveryDecimal()
{
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    const Money m = Money::fromUnits(value);
    QCOMPARE(m.toString(us), expected);
    // What is shown for editing reads back as the same amount.
    QCOMPARE(unitsOf(Money::parse(m.toString(us), us)), units(value));
}

BM_TEST_MAIN(TestMoney)
#include "test_money.moc"
