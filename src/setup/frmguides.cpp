#include "setup/frmguides.h"

#include "db/database.h"
#include "db/rights.h"
#include "domain/guides.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/binder.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

const QString yes = QStringLiteral("Yes");
const QString no = QStringLiteral("No");

QLineEdit *entryBox(const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMinimumWidth(260);
    return box;
}

} // namespace

FrmGuides::FrmGuides(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_guides(new RecordSource(QStringLiteral("Data1"), table::Guides, this))
    , m_name(entryBox("txtName", this))
    , m_phone(entryBox("txtPhone", this))
    , m_email(entryBox("txtEmail", this))
    , m_active(new QCheckBox(QStringLiteral("Takes bookings"), this))
    , m_login(entryBox("txtLogin", this))
    , m_license(entryBox("txtLicense", this))
    , m_role(new QLabel(this))
    , m_navigation(QStringLiteral("Select a Guide"), QStringLiteral("Frame1"), this)
    , m_cmdHelp(commandButton("cmdHelp", QStringLiteral("&Help"), this))
    , m_cmdClose(commandButton("cmdClose", QStringLiteral("&Close"), this))
    , m_notice(new QLabel(QStringLiteral("  Click Cancel or Save before you can exit. "), this))
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("frmGuides"));
    setWindowTitle(QStringLiteral("Guides"));

    m_active->setObjectName(QStringLiteral("chkActive"));
    m_login->setToolTip(QStringLiteral("The guide's own user name on the shared database, if he has one"));
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    styleEditNotice(m_notice);
    m_count->setObjectName(QStringLiteral("lblCount"));

    auto *binder = new FieldBinder(m_guides, this);
    binder->bind(m_name, field::Guides::Name);
    binder->bind(m_phone, field::Guides::Phone);
    binder->bind(m_email, field::Guides::Email);
    binder->bind(m_login, field::Guides::Login);
    binder->bind(m_license, field::Guides::License);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Name:"), m_name);
    fields->addRow(QStringLiteral("&Phone:"), m_phone);
    fields->addRow(QStringLiteral("E-&mail:"), m_email);
    fields->addRow(QStringLiteral("Active:"), m_active);
    fields->addRow(QStringLiteral("&Login:"), m_login);
    // What the login may do is the server's (lodge-server.sh set-role);
    // shown here, changed there.
    m_role->setObjectName(QStringLiteral("lblRole"));
    m_role->setToolTip(QStringLiteral("Given on the server with lodge-server.sh set-role"));
    if (db::onServer(m_guides->location()))
        fields->addRow(QStringLiteral("Role:"), m_role);
    else
        m_role->hide();
    m_license->setToolTip(QStringLiteral("The guide's licence number, as the state's logbook asks it"));
    fields->addRow(QStringLiteral("License No.:"), m_license);

    const CommandMenu menuFrame(this);
    QGroupBox *menu = menuFrame.box;
    QList<QPair<FormCommand, QPushButton *>> commands = menuFrame.commands;
    commands << m_navigation.moves;

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addWidget(menu);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_navigation.box, 1);
    auto *closing = new QVBoxLayout;
    closing->addStretch(1);
    closing->addWidget(m_cmdHelp);
    closing->addWidget(m_cmdClose);
    bottom->addLayout(closing);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_notice);
    layout->addLayout(bottom);
    layout->addWidget(m_count);

    FormDeclaration d;
    d.source = m_guides;
    d.binder = binder;
    d.keyField = m_name;
    d.texts = FormTexts::forItem(QStringLiteral("Guide"));
    d.texts.saved = {}; // the roster saves quietly, as the list editors do
    d.deleteQuestionText = [this] {
        return QStringLiteral("Are you sure you want to delete the guide %1?\n"
                              "The bookings of this guide keep the name.")
            .arg(m_guides->text(field::Guides::Name));
    };
    d.afterSave = Reposition::LastModified;
    d.windowCommands = { m_cmdClose, m_cmdHelp };
    d.siblingPanels = { m_navigation.box };
    d.editNotice = m_notice;
    d.countLabel = m_count;
    d.countText = QStringLiteral(" Guides are Saved");
    d.modeChanged = [this](bool editing) { m_active->setEnabled(editing); };
    d.editStarted = [this](FormCommand how) {
        const bool adding = how == FormCommand::Add;
        m_editing = adding ? Bookmark {} : m_guides->bookmark();
        m_nameBefore = adding ? QString() : m_guides->text(field::Guides::Name);
        if (adding) // a new guide takes bookings until he is marked otherwise
            m_active->setChecked(true);
    };
    d.validate = [this] { return validate(); };
    d.saved = [this] { carryBookings(); };
    m_form = new RecordForm(std::move(d), this);
    for (const auto &[command, b] : std::as_const(commands))
        m_form->attach(command, b);

    // Active is "Yes" or "No" in the table, a check box here.
    connect(m_guides, &RecordSource::currentChanged, this, &FrmGuides::showActive);
    connect(m_guides, &RecordSource::aboutToWrite, this, [this] {
        platform::reportFailure(
            m_guides->setValue(field::Guides::Active, m_active->isChecked() ? yes : no), this);
    });
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3500")); });
    platform::addHelpCommand(this, m_cmdHelp);
    // Another desk's change to the roster shows here too.
    platform::followTable(*m_guides);

    m_active->setEnabled(false);
    connect(m_guides, &RecordSource::currentChanged, this, &FrmGuides::showRole);
    showActive();
    showRole();
}

void FrmGuides::showRole()
{
    if (!m_role->isVisibleTo(this))
        return;
    const QString login = m_guides->text(field::Guides::Login).trimmed();
    QString role;
    if (const Status s = db::roleOf(m_guides->location(), login, role); !s) {
        m_role->setText(QStringLiteral("(can not be read)"));
        return;
    }
    if (login.isEmpty())
        m_role->setText(QStringLiteral("(no login)"));
    else
        m_role->setText(role.isEmpty() ? QStringLiteral("no desk of the lodge") : role);
}

void FrmGuides::showActive()
{
    if (m_form && m_form->isEditing() && m_guides->editMode() == RecordSource::EditMode::Add)
        return;
    m_active->setChecked(m_guides->value(field::Guides::Active).toString() == yes);
}

bool FrmGuides::validate()
{
    const QString name = m_name->text();
    bool taken = false;
    if (const Status s = guides::nameTaken(name, m_editing, taken); !s) {
        platform::reportFailure(s, this);
        return false;
    }
    if (taken) {
        platform::warn(
            QStringLiteral("There is already a guide named %1. Please enter another name.").arg(name), this);
        m_name->setFocus();
        return false;
    }
    m_nameSaved = name;
    return true;
}

// The guide's bookings follow a new name once the roster has it (the form
// has saved the record); other windows keep their place, the main window
// stays on its booking.
void FrmGuides::carryBookings()
{
    if (!m_editing.isValid())
        return;
    int moved = 0;
    const platform::KeepPlace keep;
    if (const Status s = guides::moveBookings(m_nameBefore, m_nameSaved, moved); !s)
        platform::reportFailure(s, this);
}

void FrmGuides::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_form->rewriteCount();
    QWidget::changeEvent(event);
}

} // namespace bm
