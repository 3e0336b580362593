#pragma once

#include "db/recordsource.h"
#include "recordform/recordform.h"

#include <QDate>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bm
{

class DatePicker;

// "Add or Edit a Reminder": the record form over Reminder, a date and a
// text per reminder. Left only through its Close command.
class FrmAddreminder : public QWidget
{
    Q_OBJECT
public:
    explicit FrmAddreminder(QWidget *parent = nullptr);

    // Starts a new reminder on the given day, in edit mode with the focus in
    // its text. An entry already pending is kept (false): nothing typed is
    // thrown away.
    bool startNew(const QDate &date);

    RecordSource &reminders() { return *m_reminders; }
    RecordForm *form() const { return m_form; }

protected:
    void changeEvent(QEvent *event) override;

private:
    RecordSource *m_reminders;
    DatePicker *m_date; // DTPicker1
    QPlainTextEdit *m_reminder; // Text1
    NavigationFrame m_navigation;
    QPushButton *m_cmdClose;
    QLabel *m_notice;
    QLabel *m_count;
    RecordForm *m_form = nullptr;
    QDate m_newDate; // the day a new reminder starts on; today when none
};

// Opens the reminder editor (or brings it forward) as the reminder list
// does: browsing, on its first reminder when it is new.
FrmAddreminder *openReminderEditor();

// Opens the reminder editor on a new reminder of the given day.
FrmAddreminder *openNewReminder(const QDate &date);

} // namespace bm
