#pragma once

#include <QWidget>

class QLabel;

namespace bm
{
class RecordSource;

// The contacts panel of the main window: the list of contact names, the
// current contact's fields and the contact commands, with the contacts count.
class ContactsPanel : public QWidget
{
    Q_OBJECT
public:
    ContactsPanel(RecordSource &datContacts, QWidget *parent);

    // The record count followed by " Contacts are Saved".
    void rewriteCount();
    QLabel *countLabel() const { return m_count; }

private:
    RecordSource &m_source;
    QLabel *m_count;
};

} // namespace bm
