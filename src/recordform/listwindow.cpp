#include "recordform/listwindow.h"

#include "core/apppaths.h"
#include "db/changes.h"
#include "platform/failures.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "recordform/commandbutton.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace bm
{

ListWindow::ListWindow(const QString &name, const QString &title, const QString &gridName,
    const QStringList &columns, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_grid(new QTableWidget(0, int(columns.size()), this))
    , m_count(new QLabel(this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
    , m_cmdClose(commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this))
{
    setObjectName(name);
    setWindowTitle(title);
    // One row chosen at a time, whole; no wrapping; the last column takes
    // the room left.
    m_grid->setObjectName(gridName);
    m_grid->setHorizontalHeaderLabels(columns);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_count->setObjectName(QStringLiteral("lblCount"));
}

void ListWindow::finish(const QList<QPushButton *> &commands, const QString &helpTopic,
    const QStringList &tables, WhenGone whenGone, const QSize &size)
{
    m_whenGone = whenGone;
    auto *row = new QHBoxLayout;
    row->addWidget(m_count, 1);
    for (QPushButton *c : commands)
        row->addWidget(c);
    row->addSpacing(12);
    row->addWidget(m_cmdHelp);
    row->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(row);

    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, [helpTopic] { platform::showHelpTopic(helpTopic); });
    platform::addHelpCommand(this, m_cmdHelp);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int r) { openRow(r); });
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, [this] { enableCommands(); });
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this, tables](const QString &location, const QString &table) {
            if (location == databasePath() && tables.contains(table))
                reread();
        });
    reread();
    resize(size);
}

int ListWindow::chosenRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.constFirst().topRow();
}

void ListWindow::reread()
{
    const int was = chosenRow();
    const qint64 keep = was >= 0 && was < m_keys.size() ? m_keys[was] : 0;
    const int keepRow = m_grid->currentRow();
    QList<Row> rows;
    if (const Status s = readRows(rows); !s) {
        if (!m_readFailed)
            platform::reportFailure(s, this);
        m_readFailed = true;
        m_count->setText(unreadText());
        return;
    }
    m_readFailed = false;
    m_keys.clear();
    m_grid->setRowCount(0);
    m_grid->setRowCount(int(rows.size()));
    int current = -1;
    for (int r = 0; r < rows.size(); ++r) {
        m_keys << rows[r].key;
        for (int c = 0; c < rows[r].texts.size() && c < m_grid->columnCount(); ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(rows[r].texts[c]));
        if (QTableWidgetItem *last = m_grid->item(r, m_grid->columnCount() - 1);
            last && !rows[r].lastTip.isEmpty())
            last->setToolTip(rows[r].lastTip);
        if (keep && rows[r].key == keep)
            current = r;
    }
    m_grid->resizeColumnsToContents();
    if (current < 0 && m_whenGone == WhenGone::ChooseNearest && !rows.isEmpty())
        current = std::clamp(keepRow, 0, int(rows.size()) - 1);
    if (current >= 0)
        m_grid->selectRow(current);
    m_count->setText(countText());
    enableCommands();
}

} // namespace bm
