#pragma once

#include "db/recordsource.h"
#include "recordform/recordform.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace bm
{

// "Guides": the lodge's roster, a record form over Guides, one guide at a
// time. A booking names its guide by Name, so renaming a guide renames his
// bookings too, and two guides never share a name.
class FrmGuides : public QWidget
{
    Q_OBJECT
public:
    explicit FrmGuides(QWidget *parent = nullptr);

    RecordSource &guides() { return *m_guides; }
    RecordForm *form() const { return m_form; }

protected:
    void changeEvent(QEvent *event) override;

private:
    // Shows the current guide's Active in the check box.
    void showActive();
    void showRole();
    // Save's own checks: the name is no other guide's; a changed name is
    // carried to the guide's bookings before the rest is written.
    bool validate();
    void carryBookings();

    RecordSource *m_guides;
    QLineEdit *m_name; // txtName
    QLineEdit *m_phone; // txtPhone
    QLineEdit *m_email; // txtEmail
    QCheckBox *m_active; // chkActive
    QLineEdit *m_login; // txtLogin
    QLineEdit *m_license; // txtLicense
    QLabel *m_role; // lblRole: the login's role on the server
    NavigationFrame m_navigation;
    QPushButton *m_cmdHelp;
    QPushButton *m_cmdClose;
    QLabel *m_notice;
    QLabel *m_count;
    RecordForm *m_form = nullptr;
    // The guide being changed and the name he had, for the rename.
    Bookmark m_editing;
    QString m_nameBefore;
    QString m_nameSaved; // the name the save is making
};

} // namespace bm
