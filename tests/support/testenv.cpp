#include "testenv.h"

#include "doubles.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "platform/imagelimits.h"
#include "serverdb.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTemporaryDir>

namespace bm::test
{

namespace
{
QTemporaryDir &home()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

QString dataHome()
{
    return home().path();
}

void deleteWindows(const QWidget *keep)
{
    // Only the windows nothing owns: a drop-down list's popup is a window
    // of its own too, but its box keeps a plain pointer to it and uses it
    // when the box is hidden with its window.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!w->parentWidget() && w != keep)
            windows.append(w);
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void setUpEnvironment()
{
    qputenv("XDG_DATA_HOME", home().path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCoreApplication::setApplicationName(QStringLiteral("Brindlemoor"));
    // Pictures are decoded under the program's own limit.
    platform::limitPictureMemory();
    // No test reaches the desktop's keyring: a FakeKeyring stands in.
    platform::setKeyringService(&keyringGuard());
    resetDatabase();
}

bool onServer()
{
    return qEnvironmentVariable("BM_TEST_ENGINE") == QLatin1String("server");
}

void resetDatabase()
{
    // The database of the test before goes: a run makes one per test, and
    // a thousand of them would fill the throwaway server's folder.
    const QString before = databasePath();
    db::closeAll();
    if (onServer() && db::onServer(before))
        (void)dropServerDatabase(before);
    QDir(appFolder()).removeRecursively();
    const Status s = installDeliveredFiles();
    if (!s)
        qFatal("%s", qPrintable(s.message()));
    if (!onServer())
        return;
    // A fresh, empty database: the program lays its tables and starter
    // records in as it first connects, as it does for a lodge's.
    const QString uri = freshServerDatabase(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (uri.isEmpty())
        qFatal("The test server gave no database (BM_TEST_SERVER=%s).",
            qPrintable(qEnvironmentVariable("BM_TEST_SERVER")));
    setDatabaseLocation(uri);
    if (const Status laid = db::check(uri); !laid)
        qFatal("%s", qPrintable(laid.message()));
}

} // namespace bm::test
