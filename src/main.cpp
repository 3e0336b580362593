#include "data/database.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlemoor"));
    const bm::Status ready = bm::database::prepare();
    if (!ready) {
        QMessageBox::critical(nullptr, QStringLiteral("Brindlemoor"), ready.message());
        return 1;
    }
    QLabel placeholder(QStringLiteral("Brindlemoor"));
    placeholder.show();
    return app.exec();
}
