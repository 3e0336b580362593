#include "bookings/invoicemath.h"
#include "testenv.h"

using bm::invoice::Boxes;

class TestInvoiceMath : public QObject
{
    Q_OBJECT
private slots:
    void compute_data();
    void compute();
};

void TestInvoiceMath::compute_data()
{
    QTest::addColumn<QStringList>("inputs"); // price, qty, goods cost, goods qty, deposit, tax rate
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("results"); // the six boxes after Save

    const QStringList before { "old1", "old2", "old3", "old4", "old5", "old6" };

    QTest::newRow("worked example") << QStringList { "150", "2", "12.5", "3", "50",
        ".06" } << true << QStringList { "300.00", "37.50", "337.50", "287.50", "20.25", "307.75" };
    QTest::newRow("deposit above the sub total") << QStringList { "100", "1", "0", "0", "150",
        ".05" } << true << QStringList { "100.00", "0.00", "100.00", "-50.00", "5.00", "-45.00" };
    // 2.675 and 1.005 round up to cents before they are added: unrounded
    // they would give a sub total of 3.68 and a total of 5.52.
    QTest::newRow("cents between steps") << QStringList { "2.675", "1", "1.005", "1", "0", ".5" } << true
                                         << QStringList { "2.68", "1.01", "3.69", "3.69", "1.85", "5.54" };
    QTest::newRow("tax rate typed as a count of percent") << QStringList { "100", "1", "0", "0", "0",
        "6" } << true << QStringList { "100.00", "0.00", "100.00", "100.00", "600.00", "700.00" };
    QTest::newRow("thousands separator") << QStringList { "1,250.50", "2", "0", "0", "1,000",
        ".08" } << true << QStringList { "2501.00", "0.00", "2501.00", "1501.00", "200.08", "1701.08" };
    QTest::newRow("fractional quantity") << QStringList { "200", "1.5", "3.333", "3", "0",
        ".0825" } << true << QStringList { "300.00", "10.00", "310.00", "310.00", "25.58", "335.58" };
    QTest::newRow("slash in the price") << QStringList { "1/2", "1", "0", "0", "0", "0" } << false << before;
    QTest::newRow("slash in the deposit") << QStringList { "150", "2", "12.5", "3", "1/2",
        ".06" } << false << QStringList { "300.00", "37.50", "337.50", "old4", "old5", "old6" };
    QTest::newRow("lone point as tax rate") << QStringList { "150", "2", "12.5", "3", "50",
        "." } << false << QStringList { "300.00", "37.50", "337.50", "287.50", "old5", "old6" };
    QTest::newRow("goods quantity unreadable") << QStringList { "150", "1", "5", "2/3", "0",
        "0" } << false << QStringList { "150.00", "old2", "old3", "old4", "old5", "old6" };
    QTest::newRow("product too large")
        << QStringList { "100000000000000", "10", "0", "0", "0", "0" } << false << before;
    QTest::newRow("sub total overflows")
        << QStringList { "800000000000000", "1", "800000000000000", "1", "0", "0" } << false
        << QStringList { "800000000000000.00", "800000000000000.00", "old3", "old4", "old5", "old6" };
}

void TestInvoiceMath::compute()
{
    QFETCH(QStringList, inputs);
    QFETCH(bool, ok);
    QFETCH(QStringList, results);

    Boxes b;
    b.gsPrice = inputs[0];
    b.gsQty = inputs[1];
    b.goodsCost = inputs[2];
    b.goodsQty = inputs[3];
    b.deposit = inputs[4];
    b.taxRate = inputs[5];
    b.gsTotal = "old1";
    b.goodsTotal = "old2";
    b.subTotal = "old3";
    b.lessDeposit = "old4";
    b.tax = "old5";
    b.chargeTotal = "old6";

    QCOMPARE(bm::invoice::compute(b), ok);
    QCOMPARE(
        (QStringList { b.gsTotal, b.goodsTotal, b.subTotal, b.lessDeposit, b.tax, b.chargeTotal }), results);
    // The inputs are read, never rewritten.
    QCOMPARE((QStringList { b.gsPrice, b.gsQty, b.goodsCost, b.goodsQty, b.deposit, b.taxRate }), inputs);
}

BM_TEST_MAIN(TestInvoiceMath)
#include "test_invoicemath.moc"
