#include "data/database.h"
#include "main/frmmain.h"
#include "maintenance/helpviewer.h"
#include "platform/messages.h"

#include <QApplication>

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
    auto *main = new bm::FrmMain;
    main->show();
    return app.exec();
}
