#include "main/contactspanel.h"

#include "main/emailcommand.h"

#include "db/recordsource.h"
#include "main/frmaddcontact.h"
#include "main/viewparts.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/windows.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace bm
{

ContactsPanel::ContactsPanel(RecordSource &datContacts, QWidget *parent)
    : QWidget(parent)
    , m_source(datContacts)
    , m_binder(new FieldBinder(&datContacts, this))
    , m_names(new QListWidget(this))
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("PicContacts"));
    m_count->setObjectName(QStringLiteral("lblContactcount"));
    m_names->setObjectName(QStringLiteral("lstContacts"));
    m_names->setMinimumWidth(200);

    auto *list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Select a Name"), this));
    list->addWidget(m_names, 1);
    list->addWidget(m_count);

    // The current contact's fields, shown only.
    struct Shown {
        const char *label;
        const char *field;
        const char *name;
        QLineEdit **member = nullptr; // the box the panel keeps
    };
    const Shown shown[] = { { "Name:", field::Phone::Name, "txtName", &m_name },
        { "Address:", field::Phone::Address, "txtAddress" }, { "City:", field::Phone::City, "txtCity" },
        { "State:", field::Phone::State, "txtState" }, { "Zip Code:", field::Phone::ZipCode, "txtZip" },
        { "Home Phone:", field::Phone::HomeTelephoneNumber, "txtHomephone" },
        { "Work Phone:", field::Phone::WorkTelephoneNumber, "txtWorkphone" },
        { "Cell Phone:", field::Phone::MobilePhoneNumber, "txtCellphone" },
        { "Email:", field::Phone::Email, "txtEmail", &m_email } };
    auto *fields = new QGridLayout;
    int row = 0;
    for (const Shown &s : shown) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(s.name));
        fields->addWidget(new QLabel(QString::fromLatin1(s.label), this), row++, 0);
        fields->addWidget(edit, row - 1, 1);
        m_binder->bind(edit, QString::fromLatin1(s.field));
        if (s.member)
            *s.member = edit;
    }
    auto *remarks = new QPlainTextEdit(this);
    remarks->setObjectName(QStringLiteral("txtRemarks"));
    remarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    remarks->setTabChangesFocus(true);
    fields->addWidget(new QLabel(QStringLiteral("Remarks:"), this), row, 0, Qt::AlignTop);
    fields->addWidget(remarks, row, 1);
    fields->setRowStretch(row, 1);
    m_binder->bind(remarks, field::Phone::Remarks);
    m_binder->setLocked(true);

    auto *commands = new QVBoxLayout;
    auto button = [&](const char *name, const QString &caption, void (ContactsPanel::*run)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        commands->addWidget(b);
        connect(b, &QPushButton::clicked, this, run);
        return b;
    };
    button("cmdContadd", QStringLiteral("&Add new Contact"), &ContactsPanel::addContact);
    button("cmdContedit", QStringLiteral("&Edit this Contact"), &ContactsPanel::editContact);
    button("cmdContdelete", QStringLiteral("&Delete this Contact"), &ContactsPanel::deleteContact);
    button("cmdContemail", QStringLiteral("E&mail this Contact"), &ContactsPanel::emailContact);
    button("cmdContprint", QStringLiteral("&Print Contact List"), &ContactsPanel::printContacts);
    commands->addStretch(1);

    auto *body = new QHBoxLayout;
    body->addLayout(list);
    body->addSpacing(12);
    body->addLayout(fields, 1);
    body->addSpacing(12);
    body->addLayout(commands);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view::makeHeading(QStringLiteral("Contacts"), this));
    layout->addLayout(body, 1);

    // The panel has no modes; it follows the record form's delete rule and
    // its messages, with a question that names the contact.
    FormDeclaration d;
    d.source = &m_source;
    d.texts = FormTexts::forItem(QStringLiteral("Contact"));
    d.deleteQuestionText = [this] {
        return QStringLiteral("Are you sure you want to delete ") + shownName() + QStringLiteral(" ?");
    };
    d.deleted = [this] { platform::reportFailure(m_source.Refresh(), this); };
    m_form = new RecordForm(std::move(d), this);

    connect(m_names, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        // A name that can not be gone to says why, and the list shows the
        // contact still current.
        if (item
            && !platform::reportFailure(
                m_source.setBookmark(Bookmark { item->data(Qt::UserRole).toLongLong() }), this))
            markCurrent();
    });
    connect(&m_source, &RecordSource::currentChanged, this, &ContactsPanel::markCurrent);
    // Re-read (after a write anywhere): the names and the count again.
    connect(&m_source, &RecordSource::refreshed, this, &ContactsPanel::rewriteCount);

    rewriteCount();
}

void ContactsPanel::rewriteCount()
{
    m_count->setText(view::countText(m_source, QStringLiteral(" Contacts are Saved"), m_count));
    fillNames();
}

// One line per record, in the record source's order. Names that can not be
// read leave the list as it was, and the outage is said once.
void ContactsPanel::fillNames()
{
    QVector<QPair<Bookmark, QString>> rows;
    const Status read = m_source.columnValues(field::Phone::Name, rows);
    const bool newFailure = !read && m_namesRead;
    m_namesRead = read;
    if (!read) {
        if (newFailure)
            platform::warn(read.message(), this);
        markCurrent();
        return;
    }
    const QSignalBlocker block(m_names);
    m_names->clear();
    for (const auto &[bookmark, name] : std::as_const(rows)) {
        auto *item = new QListWidgetItem(name, m_names);
        item->setData(Qt::UserRole, bookmark.id);
    }
    markCurrent();
}

void ContactsPanel::markCurrent()
{
    const QSignalBlocker block(m_names);
    const qint64 id = m_source.bookmark().id;
    for (int i = 0; i < m_names->count(); ++i) {
        if (m_names->item(i)->data(Qt::UserRole).toLongLong() == id) {
            m_names->setCurrentRow(i);
            return;
        }
    }
    m_names->setCurrentRow(-1);
}

QString ContactsPanel::shownName() const
{
    return m_name->text();
}

void ContactsPanel::addContact()
{
    auto *entry = platform::loadWindow<FrmAddcontact>();
    platform::bringToFront(entry);
    // A contact being entered already is kept, not thrown away.
    if (!entry->isPending())
        entry->startNew();
}

void ContactsPanel::editContact()
{
    auto *entry = platform::loadWindow<FrmAddcontact>();
    platform::bringToFront(entry);
    if (!entry->isPending())
        entry->startEdit(m_source.bookmark());
}

void ContactsPanel::deleteContact()
{
    m_form->deleteRecord();
}

void ContactsPanel::emailContact()
{
    view::emailTo(m_email->text(), shownName(), this);
}

void ContactsPanel::printContacts()
{
    platform::printReport(QStringLiteral("contacts.rpt"));
}

} // namespace bm
