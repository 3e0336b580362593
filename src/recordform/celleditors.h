#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

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

} // namespace bm
