#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

class QTableWidget;

namespace bm
{

// The editors of a grid's cells that hold one kind of value as text.

// A drop-down list of entries; with typed, the box also takes typed text,
// kept as typed, and without, a cell's value the list does not offer stays
// a choice. The entries are read each time a cell is edited, so that the
// list the window keeps may change.
class ChoiceCells : public QStyledItemDelegate
{
public:
    ChoiceCells(const QStringList *entries, bool typed, QObject *parent);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    const QStringList *m_entries;
    bool m_typed;
};

// A date in the short date format, picked with the house's date picker; a
// cell whose text is no date starts empty.
class DateCells : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};

// The text of a grid's cell without blanks around it; empty when the cell
// has none.
QString cellText(const QTableWidget *grid, int row, int column);

// The cell of a grid being typed in, if one is, hands its text over to the
// grid (as leaving it would), so a save by its shortcut keeps what was typed.
void commitOpenEditor(QTableWidget *grid);

} // namespace bm
