#include "testenv.h"

#include "data/apppaths.h"
#include "data/database.h"
#include "platform/imagelimits.h"

#include <QDir>
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

void deleteWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
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
    resetDatabase();
}

void resetDatabase()
{
    database::closeAll();
    QDir(appFolder()).removeRecursively();
    const Status s = installDeliveredFiles();
    if (!s)
        qFatal("%s", qPrintable(s.message()));
}

} // namespace bm::test
