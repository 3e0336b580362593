#include "data/changes.h"
#include "data/database.h"
#include "main/frmmain.h"
#include "maintenance/helpviewer.h"
#include "platform/messages.h"

#include <QApplication>
#include <QPointer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlemoor"));
    const bm::Status ready = bm::database::prepare();
    if (!ready) {
        bm::platform::stop(ready.message());
        return 1;
    }
    bm::installHelpViewer();
    // A change a record source could not write as it closed is told, not lost in silence.
    QObject::connect(&bm::DataChanges::instance(), &bm::DataChanges::changeLost, &app,
        [](const QString &, const QString &, const QString &message) { bm::platform::warn(message); });
    QPointer<bm::FrmMain> main = new bm::FrmMain;
    main->show();
    const int result = app.exec();
    // The main window is discarded when it closes; its record sources write
    // what is pending as they close with it.
    delete main.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
