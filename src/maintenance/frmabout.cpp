#include "maintenance/frmabout.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

// The program's picture: a fish leaping over the water.
QPixmap picture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x34, 0x65, 0xa4));
    p.drawEllipse(QRectF(2, 2, 60, 60));
    p.setBrush(QColor(0x72, 0x9f, 0xcf));
    p.drawChord(QRectF(2, 2, 60, 60), -20 * 16, -140 * 16);
    QPainterPath fish;
    fish.moveTo(12, 34);
    fish.cubicTo(20, 18, 40, 16, 48, 28);
    fish.lineTo(56, 20);
    fish.lineTo(54, 34);
    fish.lineTo(48, 32);
    fish.cubicTo(38, 42, 22, 42, 12, 34);
    p.setBrush(QColor(0xf5, 0x79, 0x00));
    p.setPen(QPen(QColor(0xce, 0x5c, 0x00), 1.5));
    p.drawPath(fish);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(20, 30), 2, 2);
    return pixmap;
}

QLabel *line(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

QString FrmAbout::version()
{
    return QStringLiteral("2.0");
}

FrmAbout::FrmAbout(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("picIcon"));
    image->setPixmap(picture(64));
    image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    QLabel *title = line(QStringLiteral("Brindlemoor"), "lblTitle", this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    QLabel *versionLine = line(QStringLiteral("Version: ") + version(), "lblVersion", this);
    QLabel *owner = line(QStringLiteral("Copyright \u00a9 Brindlemoor Software. All rights reserved."),
        "lblDescription", this);
    QLabel *address
        = line(QStringLiteral("Brindlemoor Software, 14 Harbour Lane, Brindlemoor"), "lblAddress", this);

    auto *rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("Line1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    QLabel *legal
        = line(QStringLiteral("This program is protected by copyright law and international treaties. "
                              "Copying or passing on this program, or any part of it, without the "
                              "maker's permission is forbidden and may lead to civil and criminal "
                              "prosecution."),
            "lblDisclaimer", this);
    legal->setWordWrap(true);
    legal->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdExit"));
    ok->setDefault(true);
    ok->setMinimumWidth(90);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    auto *grid = new QGridLayout(this);
    grid->addWidget(image, 0, 0, 4, 1);
    grid->addWidget(title, 0, 1);
    grid->addWidget(versionLine, 1, 1);
    grid->addWidget(owner, 2, 1);
    grid->addWidget(address, 3, 1);
    grid->addWidget(rule, 4, 0, 1, 2);
    grid->addWidget(legal, 5, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    resize(460, 260);
}

} // namespace bm
