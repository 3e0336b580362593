#include "gear/frmfgear.h"

#include "platform/mainhub.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace bm
{

FrmFgear::FrmFgear(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_count(new QLabel(QStringLiteral("Rods and Reels"), this))
{
    setObjectName(QStringLiteral("frmFgear"));
    setWindowTitle(QStringLiteral("Fishing Gear Log"));
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_count->setObjectName(QStringLiteral("Label22"));
    QFont bold = m_count->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_count->setFont(bold);
    m_count->setAlignment(Qt::AlignCenter);

    for (const GearPageDef &def : gearPageDefs()) {
        auto *page = new GearPage(def, this, m_count, m_tabs);
        m_tabs->addTab(page, def.caption);
        m_pages << page;
        connect(page->form(), &RecordForm::modeChanged, this,
            [this, page](bool editing) { lockOtherTabs(page, editing); });
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, &FrmFgear::tabChosen);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_count);

    // The window opens on the rods page, in its colour.
    tabChosen(0);
    resize(720, 520);
}

void FrmFgear::becomeActive()
{
    m_count->setText(m_pages.first()->countLine());
}

// The count and colour of the page now shown; the record sources stay.
void FrmFgear::tabChosen(int index)
{
    GearPage *page = m_pages.value(index);
    if (!page)
        return;
    m_count->setText(page->countLine());
    QPalette p = m_count->palette();
    p.setColor(QPalette::WindowText, page->def().colour);
    m_count->setPalette(p);
}

// While one page edits, the user can not leave it.
void FrmFgear::lockOtherTabs(GearPage *page, bool editing)
{
    for (int i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] != page)
            m_tabs->setTabEnabled(i, !editing);
}

void FrmFgear::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            if (!m_returning)
                becomeActive();
            m_returning = false;
        } else {
            const QWidget *now = QApplication::activeWindow();
            m_returning = !now || now->isModal() || qobject_cast<const QDialog *>(now);
        }
    }
    QWidget::changeEvent(event);
}

// However the window closes, the main window shows again. A pending record
// was dropped as the window began to close.
void FrmFgear::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (platform::MainHub *hub = platform::mainHub(); hub && hub->window())
        hub->window()->show();
}

} // namespace bm
