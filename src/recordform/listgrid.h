#pragma once

#include <QHeaderView>
#include <QString>
#include <QStringList>
#include <QTableWidget>

namespace bm
{

// A window's read-only list of rows, found by its name: one row chosen at a
// time, whole, no wrapping, the last column taking the room left.
inline QTableWidget *listGrid(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *grid = new QTableWidget(0, int(headers.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(headers);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

} // namespace bm
