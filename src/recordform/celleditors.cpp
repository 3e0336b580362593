#include "recordform/celleditors.h"

#include <QTableWidget>

#include "core/dates.h"
#include "recordform/binder.h"
#include "recordform/datepicker.h"

#include <QComboBox>

#include <algorithm>

namespace bm
{

ChoiceCells::ChoiceCells(const QStringList *entries, bool typed, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_entries(entries)
    , m_typed(typed)
{
}

QWidget *ChoiceCells::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *box = new QComboBox(parent);
    if (m_typed)
        takeTypedText(box);
    box->addItems(*m_entries);
    return box;
}

void ChoiceCells::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = static_cast<QComboBox *>(editor);
    const QString text = index.data().toString();
    if (m_typed) {
        box->setEditText(text);
        return;
    }
    // A value the list no longer offers (a guide gone from the roster) is
    // kept until another is chosen.
    if (box->findText(text) < 0 && !text.isEmpty())
        box->addItem(text);
    box->setCurrentIndex(std::max(0, box->findText(text)));
}

void ChoiceCells::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    model->setData(index, static_cast<QComboBox *>(editor)->currentText());
}

QWidget *DateCells::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    return new DatePicker(parent);
}

void DateCells::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    static_cast<DatePicker *>(editor)->setValue(parseDate(index.data().toString()));
}

void DateCells::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    model->setData(index, shortDate(static_cast<DatePicker *>(editor)->value()));
}

QString cellText(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text().trimmed() : QString();
}

void commitOpenEditor(QTableWidget *grid)
{
    if (QWidget *editor = grid->indexWidget(grid->currentIndex()))
        emit grid->itemDelegateForIndex(grid->currentIndex())->commitData(editor);
}

} // namespace bm
