#pragma once

#include "core/status.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace bm
{

// A window of one read-only list and a few commands: the grid, a count line,
// the window's own commands, then Help and Close. It reads its rows again
// whenever one of the tables it follows changes, here or at another desk,
// and stays on the row chosen while it is still listed. A list that can not
// be read stays as it was (an outage is not an empty list), and the failure
// is said once until it reads again.
class ListWindow : public QWidget
{
    Q_OBJECT
public:
    QTableWidget *grid() const { return m_grid; }
    void reread();

protected:
    // A row as listed: the key that keeps its place, its columns' texts and
    // the last column's tooltip.
    struct Row {
        qint64 key = 0;
        QStringList texts;
        QString lastTip;
    };
    // When the row chosen is gone (or none was): none, or the one at its
    // place.
    enum class WhenGone { ChooseNone, ChooseNearest };

    ListWindow(const QString &name, const QString &title, const QString &gridName, const QStringList &columns,
        QWidget *parent);
    // At the end of the window's constructor: lays it out with its commands,
    // follows the tables and reads the rows.
    void finish(const QList<QPushButton *> &commands, const QString &helpTopic, const QStringList &tables,
        WhenGone whenGone, const QSize &size);

    // The rows in the window's order; the window keeps what it needs of
    // them. Not called again while it fails.
    [[nodiscard]] virtual Status readRows(QList<Row> &rows) = 0;
    virtual QString countText() const = 0;
    virtual QString unreadText() const = 0; // in place of the count when the rows can not be read
    virtual void enableCommands() = 0;
    virtual void openRow(int row) = 0; // a double-click
    // The row chosen, or -1.
    int chosenRow() const;

private:
    QTableWidget *m_grid;
    QLabel *m_count; // lblCount
    QPushButton *m_cmdHelp;
    QPushButton *m_cmdClose;
    QList<qint64> m_keys; // the listed rows'
    WhenGone m_whenGone = WhenGone::ChooseNone;
    bool m_readFailed = false;
};

} // namespace bm
