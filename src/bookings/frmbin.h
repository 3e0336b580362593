#pragma once

#include "db/bin.h"
#include "recordform/listwindow.h"

#include <QList>

class QPushButton;

namespace bm
{

// "Deleted Records": the bookings and contacts deleted in the last 30
// days, the latest first, with who deleted them when. Restore brings the
// chosen one back and says how; the main window's lists then show it (they
// follow its table). The list follows deletions here and at other desks.
class FrmBin : public ListWindow
{
    Q_OBJECT
public:
    explicit FrmBin(QWidget *parent = nullptr);

    const QList<db::bin::Entry> &listed() const { return m_listed; }
    // Restore: the chosen entry back, told in a message.
    void restoreChosen();

private:
    Status readRows(QList<Row> &rows) override;
    QString countText() const override;
    QString unreadText() const override;
    void enableCommands() override;
    void openRow(int row) override;

    QPushButton *m_cmdRestore;
    QList<db::bin::Entry> m_listed;
};

} // namespace bm
