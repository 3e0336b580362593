#include "core/apppaths.h"
#include "db/changes.h"
#include "db/database.h"
#include "db/pagecheck.h"
#include "main/calendarcourier.h"
#include "main/frmmain.h"
#include "main/mailcourier.h"
#include "main/startdatabase.h"
#include "maintenance/helpviewer.h"
#include "platform/imagelimits.h"
#include "platform/messages.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlemoor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brindlemoor.Brindlemoor"));
    QIcon icon;
    for (const int size : { 16, 32, 48, 256 })
        icon.addFile(QStringLiteral(":/appicon/brindlemoor-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    bm::platform::limitPictureMemory();
    // One copy per database: a second start calls the running one forward.
    bm::platform::SingleInstance instance(bm::appFolder());
    if (const auto start = instance.start(); start != bm::platform::SingleInstance::Start::First)
        return start == bm::platform::SingleInstance::Start::Forwarded ? 0 : 1;
    if (!bm::openDatabaseAtStart())
        return 1;
    bm::installHelpViewer();
    // A change a record source could not write as it closed is told, not lost in silence.
    QObject::connect(&bm::DataChanges::instance(), &bm::DataChanges::changeLost, &app,
        [](const QString &, const QString &, const QString &message) { bm::platform::warn(message); });
    QPointer<bm::FrmMain> main = new bm::FrmMain;
    main->show();
    // Every page of the file is read once the window shows; a damaged file
    // is told then. A server keeps its own pages.
    bm::db::PageCheck pages(bm::databasePath());
    QObject::connect(&pages, &bm::db::PageCheck::damaged, &app,
        [](const QString &message) { bm::platform::warn(message); });
    if (!bm::db::onServer(bm::databasePath()))
        pages.start();
    // The mail that goes by itself, once Options > Mail is set up.
    const auto courier = bm::startMailCourier();
    // The trips on the guide's own calendar, and his busy time back, once
    // Options > Calendar Sync is set up.
    const auto calendar = bm::startCalendarCourier();
    const int result = app.exec();
    // The main window is discarded when it closes; its record sources write
    // what is pending as they close with it.
    delete main.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
