#include "main/frmaddcontact.h"

#include "platform/failures.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{
struct ContactField {
    const char *label;
    const char *field;
};
// The ten fields, in their tab order.
const ContactField contactFields[] = { { "Name:", field::Phone::Name }, { "Address:", field::Phone::Address },
    { "City:", field::Phone::City }, { "State:", field::Phone::State },
    { "Zip Code:", field::Phone::ZipCode }, { "Home Phone:", field::Phone::HomeTelephoneNumber },
    { "Work Phone:", field::Phone::WorkTelephoneNumber }, { "Cell Phone:", field::Phone::MobilePhoneNumber },
    { "Email:", field::Phone::Email }, { "Remarks:", field::Phone::Remarks } };
} // namespace

FrmAddcontact::FrmAddcontact(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_contacts(new RecordSource(QStringLiteral("Data1"), table::Phone, this))
    , m_heading(new QLabel(this))
{
    setObjectName(QStringLiteral("frmAddcontact"));
    setWindowTitle(QStringLiteral("Contacts Data Entry"));
    m_heading->setObjectName(QStringLiteral("Label1"));
    QFont f = m_heading->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    m_heading->setFont(f);

    auto *binder = new FieldBinder(m_contacts, this);
    auto *grid = new QGridLayout;
    int row = 0;
    QWidget *firstBox = nullptr;
    for (const ContactField &cf : contactFields) {
        QWidget *box;
        if (row == 9) {
            auto *remarks = new QPlainTextEdit(this);
            remarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            remarks->setTabChangesFocus(true);
            remarks->setFixedHeight(90);
            box = remarks;
        } else {
            auto *edit = new QLineEdit(this);
            edit->setMinimumWidth(300);
            box = edit;
        }
        box->setObjectName(QStringLiteral("Text%1").arg(row + 1));
        if (!firstBox)
            firstBox = box;
        auto *label = new QLabel(QString::fromLatin1(cf.label), this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0, row == 9 ? Qt::AlignTop : Qt::Alignment());
        grid->addWidget(box, row, 1);
        binder->bind(box, QString::fromLatin1(cf.field));
        ++row;
    }

    auto *save = new QPushButton(QStringLiteral("&Save"), this);
    save->setObjectName(QStringLiteral("cmdSave"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton *b : { save, cancel })
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_heading);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    // Always in edit mode while open: no key field, no message; Save and
    // Cancel close the window (the main window's contacts follow the write).
    FormDeclaration d;
    d.source = m_contacts;
    d.binder = binder;
    d.focusOnAdd = d.focusOnEdit = firstBox;
    d.saved = d.cancelled = [this] { close(); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attach(FormCommand::Save, save);
    m_form->attach(FormCommand::Cancel, cancel);
}

void FrmAddcontact::startNew()
{
    m_heading->setText(QStringLiteral("Adding a new Contact"));
    m_form->add();
    if (!m_form->isEditing())
        close(); // the record could not be started: nothing to save or cancel
}

void FrmAddcontact::startEdit(Bookmark contact)
{
    m_heading->setText(QStringLiteral("Editing this Contact"));
    if (!platform::reportFailure(m_contacts->setBookmark(contact), this)) {
        close();
        return;
    }
    m_form->edit();
    if (!m_form->isEditing())
        close();
}

bool FrmAddcontact::isPending() const
{
    return m_form->isEditing();
}

void FrmAddcontact::reject()
{
    if (m_form->isEditing())
        m_form->cancel(); // closes the window
    else
        QDialog::reject();
}

} // namespace bm
