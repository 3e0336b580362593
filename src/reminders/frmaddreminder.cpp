#include "reminders/frmaddreminder.h"

#include "platform/shell.h"
#include "platform/windows.h"
#include "recordform/binder.h"
#include "recordform/commandbutton.h"
#include "recordform/datepicker.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

FrmAddreminder::FrmAddreminder(QWidget *parent)
    // No close box: the user leaves through Close.
    : QWidget(
        parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint)
    , m_reminders(new RecordSource(QStringLiteral("Data1"), table::Reminder, this))
    , m_date(new DatePicker(this))
    , m_reminder(new QPlainTextEdit(this))
    , m_navigation(QStringLiteral("Select a Reminder"), QStringLiteral("Frame1"), this,
          NavigationFrame::Captions::Plain)
    , m_cmdClose(commandButton("cmdClose", QStringLiteral("&Close"), this))
    , m_notice(new QLabel(QStringLiteral("  Click Cancel or Save before you can exit. "), this))
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("frmAddreminder"));
    setWindowTitle(QStringLiteral("Add or Edit a Reminder"));

    m_date->setObjectName(QStringLiteral("DTPicker1"));
    m_reminder->setObjectName(QStringLiteral("Text1"));
    m_reminder->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_reminder->setTabChangesFocus(true);
    m_reminder->setMinimumSize(380, 150);
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    styleEditNotice(m_notice);
    m_count->setObjectName(QStringLiteral("lblCount"));

    auto *binder = new FieldBinder(m_reminders, this);
    binder->bind(m_date, field::Reminder::Date);
    binder->bind(m_reminder, field::Reminder::Reminder);

    auto *fields = new QGridLayout;
    auto *dateLabel = new QLabel(QStringLiteral("Date"), this);
    dateLabel->setBuddy(m_date);
    auto *textLabel = new QLabel(QStringLiteral("Reminder"), this);
    textLabel->setBuddy(m_reminder);
    fields->addWidget(dateLabel, 0, 0);
    fields->addWidget(m_date, 0, 1, Qt::AlignLeft);
    fields->addWidget(textLabel, 1, 0, Qt::AlignTop);
    fields->addWidget(m_reminder, 1, 1);
    fields->setColumnStretch(1, 1);

    const CommandMenu menuFrame(this);
    QGroupBox *menu = menuFrame.box;
    QList<QPair<FormCommand, QPushButton *>> commands = menuFrame.commands;
    commands << m_navigation.moves;

    // Tab walks the window as it is read: date, text, menu, navigation, Close.
    QWidget *previous = m_reminder;
    setTabOrder(m_date, m_reminder);
    for (const auto &[command, b] : std::as_const(commands)) {
        setTabOrder(previous, b);
        previous = b;
    }
    setTabOrder(previous, m_cmdClose);

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addWidget(menu);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_navigation.box, 1);
    bottom->addWidget(m_cmdClose, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_notice);
    layout->addLayout(bottom);
    layout->addWidget(m_count);

    FormDeclaration d;
    d.source = m_reminders;
    d.binder = binder;
    d.keyField = m_reminder;
    d.selectAllOnEdit = true;
    d.texts = FormTexts::forItem(QStringLiteral("Reminder"));
    d.texts.saved = { QStringLiteral("Information has been Saved !"), QStringLiteral("Information Saved") };
    d.afterSave = Reposition::LastModified;
    d.windowCommands = { m_cmdClose };
    d.siblingPanels = { m_navigation.box };
    d.editNotice = m_notice;
    d.countLabel = m_count;
    d.countText = QStringLiteral(" Reminders are saved.");
    // The date can only be changed while editing: disabled, not just locked.
    d.modeChanged = [this](bool editing) { m_date->setEnabled(editing); };
    // A new reminder starts on today's date, or on the day it was asked for.
    d.editStarted = [this](FormCommand how) {
        if (how == FormCommand::Add)
            m_date->setValue(m_newDate.isValid() ? m_newDate : platform::today());
    };
    m_form = new RecordForm(std::move(d), this);
    for (const auto &[command, b] : std::as_const(commands))
        m_form->attach(command, b);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

bool FrmAddreminder::startNew(const QDate &date)
{
    if (m_form->isEditing())
        return false;
    m_newDate = date;
    m_form->add();
    m_newDate = QDate();
    return m_form->isEditing();
}

void FrmAddreminder::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_form->rewriteCount();
    QWidget::changeEvent(event);
}

FrmAddreminder *openReminderEditor()
{
    return platform::showWindow<FrmAddreminder>();
}

FrmAddreminder *openNewReminder(const QDate &date)
{
    FrmAddreminder *w = openReminderEditor();
    w->startNew(date);
    return w;
}

} // namespace bm
