#pragma once

#include "db/recordsource.h"

#include <QDialog>

class QLabel;

namespace bm
{
class RecordForm;

// "Contacts Data Entry": adds a contact or changes one, on its own record
// source over Phone. Its only ways out are Save and Cancel.
class FrmAddcontact : public QDialog
{
    Q_OBJECT
public:
    explicit FrmAddcontact(QWidget *parent = nullptr);

    // A new, empty contact: "Adding a new Contact".
    void startNew();
    // The contact with this bookmark: "Editing this Contact".
    void startEdit(Bookmark contact);

    bool isPending() const;
    RecordSource *contacts() const { return m_contacts; }
    RecordForm *form() const { return m_form; }

protected:
    // Escape is Cancel.
    void reject() override;

private:
    RecordSource *m_contacts;
    QLabel *m_heading;
    RecordForm *m_form = nullptr;
};

} // namespace bm
