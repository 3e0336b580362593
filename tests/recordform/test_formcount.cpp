#include "behind.h"
#include "doubles.h"
#include "recordform/recordform.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "db/database.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSqlQuery>

using namespace bm;

Q_DECLARE_METATYPE(bm::FormCommand)

namespace
{

void exec(const QString &sql)
{
    QString error;
    QVERIFY2(test::execBehind(sql, &error), qPrintable(sql + ": " + error));
}

} // namespace

// The count label never says 0 for records it could not count.
class TestFormCount : public QObject
{
    Q_OBJECT
private slots:
    void init() { test::resetDatabase(); }
    void cleanup() { test::deleteWindows(); }

    void countOrWhyNot_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("label");
        QTest::newRow("opening") << "open" << true << "2 Lures";
        QTest::newRow("opening, unreadable") << "open" << false << "? Lures";
        QTest::newRow("rewritten") << "rewrite" << true << "2 Lures";
        QTest::newRow("rewritten, unreadable") << "rewrite" << false << "? Lures";
    }
    void countOrWhyNot()
    {
        QFETCH(QString, when);
        QFETCH(bool, readable);
        QFETCH(QString, label);
        exec("DELETE FROM Lures");
        exec("INSERT INTO Lures (Bait) VALUES ('Jig'), ('Spinner')");
        test::ScriptedMessages boxes;
        auto *window = new QWidget;
        auto *count = new QLabel(window);
        FormDeclaration d;
        d.source = new RecordSource(QStringLiteral("Data1"), QStringLiteral("Lures"), window);
        d.binder = new FieldBinder(d.source, window);
        d.countLabel = count;
        d.countText = QStringLiteral(" Lures");
        auto breakTable = [&] {
            exec("ALTER TABLE Lures RENAME TO \"Lures away\"");
            QTest::ignoreMessage(QtWarningMsg,
                QRegularExpression(
                    "^Data1 \\(Lures\\): .*" + QRegularExpression::escape(test::missingTable("Lures"))));
            boxes.expect();
        };
        if (when == "open") {
            if (!readable)
                breakTable();
            RecordForm form(std::move(d), window);
            QCOMPARE(count->text(), label);
        } else {
            RecordForm form(std::move(d), window);
            QCOMPARE(count->text(), QString("2 Lures"));
            if (!readable)
                breakTable();
            form.rewriteCount();
            QCOMPARE(count->text(), label);
        }
        QCOMPARE(boxes.pending(), 0);
        QCOMPARE(boxes.shown.size(), readable ? 0 : 1);
        if (!readable) {
            QCOMPARE(boxes.last().icon, platform::Icon::Exclamation);
            QVERIFY2(boxes.last().text.contains(test::missingTable("Lures")), qPrintable(boxes.last().text));
        }
    }

    // The commands that decide by the number of records never take a table
    // that can not be counted for an empty one (or a one-record one): they
    // say why and do nothing.
    void decisionsOnAFailedCount_data()
    {
        QTest::addColumn<FormCommand>("command");
        QTest::addColumn<int>("records");
        // Edit on an empty table would start a new record in it.
        QTest::newRow("edit, empty table") << FormCommand::Edit << 0;
        // Back and Next on an empty table would say first / last record.
        QTest::newRow("back") << FormCommand::Back << 2;
        QTest::newRow("next") << FormCommand::Next << 2;
        // Delete would ask, then try to delete what may be the last record.
        QTest::newRow("delete") << FormCommand::Delete << 2;
    }
    void decisionsOnAFailedCount()
    {
        QFETCH(FormCommand, command);
        QFETCH(int, records);
        exec("DELETE FROM Lures");
        for (int i = 0; i < records; ++i)
            exec("INSERT INTO Lures (Bait) VALUES ('Jig')");
        test::ScriptedMessages boxes;
        auto *window = new QWidget;
        FormDeclaration d;
        d.source = new RecordSource(QStringLiteral("Data1"), QStringLiteral("Lures"), window);
        d.binder = new FieldBinder(d.source, window);
        d.texts = FormTexts::forItem(QStringLiteral("Lure"));
        d.editAddsWhenEmpty = true;
        RecordForm form(std::move(d), window);
        QCOMPARE(form.source()->hasCurrent(), records > 0);
        exec("ALTER TABLE Lures RENAME TO \"Lures away\"");
        boxes.expect();
        form.run(command);
        QCOMPARE(boxes.pending(), 0);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.last().icon, platform::Icon::Exclamation);
        QVERIFY2(boxes.last().text.contains(test::missingTable("Lures")), qPrintable(boxes.last().text));
        QVERIFY(!form.isEditing());
        QCOMPARE(form.source()->editMode(), RecordSource::EditMode::None);
    }
};

BM_TEST_MAIN(TestFormCount)
#include "test_formcount.moc"
