#include "maintenance/frmupdate.h"

#include "platform/messages.h"
#include "platform/shell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

FrmUpdate::FrmUpdate(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Check for Update"));

    auto *note1 = new QLabel(QStringLiteral("Click \"Check Now\" to go to our web site and see whether an "
                                            "update of Brindlemoor is available."),
        this);
    note1->setObjectName(QStringLiteral("Label1"));
    auto *note2 = new QLabel(QStringLiteral("You must be connected to the Internet and adjust any Firewall "
                                            "settings to allow the program to connect."),
        this);
    note2->setObjectName(QStringLiteral("Label2"));
    for (QLabel *l : { note1, note2 })
        l->setWordWrap(true);

    auto *check = new QPushButton(QStringLiteral("&Check Now"), this);
    check->setObjectName(QStringLiteral("cmdCheck"));
    check->setDefault(true);
    connect(check, &QPushButton::clicked, this, &FrmUpdate::checkNow);
    auto *cancel = new QPushButton(QStringLiteral("C&ancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(check);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note1);
    layout->addWidget(note2);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(420, 170);
}

QUrl FrmUpdate::updateAddress()
{
    return QUrl(QStringLiteral("https://www.brindlemoor.example/updates"));
}

// The browser opens the page; the program waits for nothing and compares no
// version.
void FrmUpdate::checkNow()
{
    if (platform::openWebPage(updateAddress())) {
        close();
        return;
    }
    platform::message(QStringLiteral("There is a problem connecting to the Internet.\n"
                                     "This feature may not work if you are using a browser \n"
                                     "other than Microsoft Internet Explorer."),
        platform::Icon::Exclamation, platform::Buttons::Ok, QStringLiteral("Connection Problem"), this);
}

} // namespace bm
