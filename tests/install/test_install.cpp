#include "program.h"
#include "testenv.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace bm;
using namespace bm::test;
using namespace std::chrono_literals;

namespace
{
const QString appId = QStringLiteral("org.brindlemoor.Brindlemoor");
const QString desktopEntry = QStringLiteral("share/applications/%1.desktop").arg(appId);
const QString metainfo = QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId);

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of a key in the [Desktop Entry] group.
QString entryValue(const QByteArray &entry, const QString &key)
{
    for (const QByteArray &line : entry.split('\n'))
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    return {};
}

// The text of the first element of this name in the metainfo.
QString metainfoText(const QByteArray &xml, const QString &element)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
            return reader.readElementText().trimmed();
    }
    return {};
}
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void installedFiles_data();
    void installedFiles();
    void entryAndMetainfoAgree();
    void validators_data();
    void validators();
    void installedProgramStarts();

private:
    QString installed(const QString &relative) const { return QDir(m_prefix.path()).filePath(relative); }
    QTemporaryDir m_prefix;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(CMAKE_COMMAND_EXE),
        { QStringLiteral("--install"), QStringLiteral(BUILD_DIR), QStringLiteral("--prefix"),
            m_prefix.path() });
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());
}

void TestInstall::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize"); // 0: not a raster icon

    QTest::newRow("program") << QStringLiteral("bin/brindlemoor") << 0;
    QTest::newRow("desktop entry") << desktopEntry << 0;
    QTest::newRow("metainfo") << metainfo << 0;
    QTest::newRow("scalable icon") << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(appId)
                                   << 0;
    for (const int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        QTest::addRow("icon %dx%d", size, size)
            << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(appId) << size;
}

void TestInstall::installedFiles()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);

    const QFileInfo info(installed(path));
    QVERIFY2(info.isFile(), qPrintable(path));
    QVERIFY(info.size() > 0);
    if (path.startsWith(QLatin1String("bin/")))
        QVERIFY(info.isExecutable());
    if (iconSize) {
        // Each size folder holds a picture of that size.
        const QImage icon(info.filePath());
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.size(), QSize(iconSize, iconSize));
    }
}

void TestInstall::entryAndMetainfoAgree()
{
    // The menu entry starts the installed program with the installed icon,
    // and the metainfo describes that entry.
    const QByteArray entry = contents(installed(desktopEntry));
    QCOMPARE(entryValue(entry, QStringLiteral("Exec")), QStringLiteral("brindlemoor"));
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/brindlemoor"))).isExecutable());
    QCOMPARE(entryValue(entry, QStringLiteral("Icon")), appId);
    QVERIFY(entryValue(entry, QStringLiteral("Categories")).split(u';').contains(QStringLiteral("Office")));

    const QByteArray xml = contents(installed(metainfo));
    QCOMPARE(metainfoText(xml, QStringLiteral("id")), appId);
    QCOMPARE(metainfoText(xml, QStringLiteral("launchable")), QFileInfo(desktopEntry).fileName());
    QCOMPARE(metainfoText(xml, QStringLiteral("binary")), QStringLiteral("brindlemoor"));
    QCOMPARE(metainfoText(xml, QStringLiteral("name")), entryValue(entry, QStringLiteral("Name")));
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("path");

    QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate") << QStringList()
                                   << desktopEntry;
    QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                              << QStringList { QStringLiteral("validate"), QStringLiteral("--no-net"),
                                     QStringLiteral("--strict") }
                              << metainfo;
}

void TestInstall::validators()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, path);

    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed (scripts/setup.sh installs it)")));
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(exe, arguments << installed(path));
    QVERIFY(validator.waitForFinished(60000));
    const QByteArray report = validator.readAll();
    QVERIFY2(validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0, report.constData());
    // desktop-file-validate passes a file with warnings; a warning is a fault here too.
    if (tool == QLatin1String("desktop-file-validate"))
        QVERIFY2(report.trimmed().isEmpty(), report.constData());
}

void TestInstall::installedProgramStarts()
{
    // The installed executable brings everything it needs: started on an
    // empty data home, it lays the database, the report definitions and the
    // help file in, and its main window comes up.
    QTemporaryDir home;
    QProcess process;
    startProgram(process, installed(QStringLiteral("bin/brindlemoor")), home.path());
    const auto up = waitUntilUp(home.path(), 60s);
    killProgram(process, home.path());
    QCOMPARE(up.value_or(QString()), QStringLiteral("frmMain"));

    const QDir folder(programFolder(home.path()));
    QVERIFY(contents(folder.filePath(QStringLiteral("tallow.mdb")))
                .startsWith(QByteArray("SQLite format 3\0", 16)));
    QCOMPARE(contents(folder.filePath(QStringLiteral("tallow.hlp"))),
        contents(QStringLiteral(SOURCE_DIR "/src/maintenance/help/tallow.hlp")));
    int reports = 0;
    QDirIterator it(QStringLiteral(SOURCE_DIR "/reports"), { QStringLiteral("*.rpt") }, QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        QVERIFY2(contents(folder.filePath(it.fileName())) == contents(source), qPrintable(it.fileName()));
        ++reports;
    }
    QCOMPARE(reports, 13); // the ten of old, the schedule by guide, the manifest and the logbook
}

BM_TEST_MAIN(TestInstall)
#include "test_install.moc"
