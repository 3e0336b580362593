#pragma once

#include "recordform/recordform.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolBar;

namespace bm
{
class DatePicker;

// "Fishing Log": the fishing diary, one page at a time, driven from one
// toolbar. The diary finder positions it on a page by bookmark.
class FrmDiary : public QWidget
{
    Q_OBJECT
public:
    explicit FrmDiary(QWidget *parent = nullptr);

    // The sixteen positions of the toolbar, separators included.
    static const QList<ToolbarPosition> &toolbarPositions();

    RecordSource *diary() const { return m_diary; }
    RecordForm *form() const { return m_form; }
    QToolBar *toolbar() const { return m_toolbar; }

    // Whether a page is being written.
    bool isEditing() const { return m_form->isEditing(); }
    // Shows the page with this bookmark. While a page is being written
    // nothing moves and the answer is false.
    bool showPage(Bookmark page);

private:
    void setEditLook(bool editing);
    void ownCommand(const QString &key);

    RecordSource *m_diary;
    QToolBar *m_toolbar;
    QLineEdit *m_subject; // Text2
    QLabel *m_dateLabel; // Label3
    DatePicker *m_datePicker; // DTPicker1
    QPlainTextEdit *m_page; // Text1
    RecordForm *m_form = nullptr;
};

} // namespace bm
