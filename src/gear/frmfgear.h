#pragma once

#include "gear/gearpage.h"

#include <QList>
#include <QWidget>

class QLabel;
class QTabWidget;

namespace bm
{

// "Fishing Gear Log": the guide's rods and reels, boats and motors and other
// equipment, one page each, with a count line under the pages. The main
// window hides while it is open.
class FrmFgear : public QWidget
{
    Q_OBJECT
public:
    explicit FrmFgear(QWidget *parent = nullptr);

    QTabWidget *tabs() const { return m_tabs; }
    QLabel *countLine() const { return m_count; }
    const QList<GearPage *> &pages() const { return m_pages; }
    GearPage *page(int index) const { return m_pages.value(index); }

    // Each time the window becomes the active window: the rods count,
    // whichever page is shown.
    void becomeActive();

private:
    void tabChosen(int index);
    void lockOtherTabs(GearPage *page, bool editing);

    QTabWidget *m_tabs;
    QLabel *m_count;
    QList<GearPage *> m_pages;
};

} // namespace bm
