#pragma once

#include "core/status.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace bm
{
class FieldBinder;
class RecordForm;
class RecordSource;

// The contacts panel of the main window: the list of contact names, the
// current contact's fields and the contact commands, with the contacts count.
class ContactsPanel : public QWidget
{
    Q_OBJECT
public:
    ContactsPanel(RecordSource &datContacts, QWidget *parent);

    // The record count followed by " Contacts are Saved"; the list of names
    // is read again with it.
    void rewriteCount();
    QLabel *countLabel() const { return m_count; }
    QListWidget *names() const { return m_names; }

    // The five commands.
    void addContact();
    void editContact();
    void deleteContact();
    void emailContact();
    void printContacts();

private:
    void fillNames();
    void markCurrent();
    QString shownName() const;

    RecordSource &m_source;
    FieldBinder *m_binder;
    RecordForm *m_form;
    QListWidget *m_names;
    QLabel *m_count;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_email = nullptr;
    Status m_namesRead; // of the last reading of the names
};

} // namespace bm
