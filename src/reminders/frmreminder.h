#pragma once

#include "db/recordsource.h"

#include <QWidget>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace bm
{

class ReminderRows;

// "Reminders": every reminder in a read-only grid, sortable by date and
// printable. Reads its records again whenever the reminder table changes.
class FrmReminder : public QWidget
{
    Q_OBJECT
public:
    explicit FrmReminder(QWidget *parent = nullptr);

    RecordSource &reminders() { return *m_reminders; }
    QTableView *grid() const { return m_grid; }
    ReminderRows *rows() const { return m_rows; }
    QMenu *popup() const { return m_popup; }

    // Sort: the rows by date, or the message when a date can not be read.
    void cmdSortClick();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reread();
    void rewriteCount();

    RecordSource *m_reminders;
    ReminderRows *m_rows;
    QTableView *m_grid;
    QLabel *m_count;
    QMenu *m_popup;
};

// Opens the reminder list, or brings it forward.
FrmReminder *openReminderList();

} // namespace bm
