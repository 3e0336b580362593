#include "gear/frmfgear.h"

#include "platform/windowrules.h"

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
    platform::hideMainWhileOpen(this);
    platform::onBecomingActive(this, [this] { becomeActive(); });
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
    m_count->setText(m_pages.first()->countLine(m_count->text()));
}

// The count and colour of the page now shown; the record sources stay.
void FrmFgear::tabChosen(int index)
{
    GearPage *page = m_pages.value(index);
    if (!page)
        return;
    m_count->setText(page->countLine(m_count->text()));
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

} // namespace bm
