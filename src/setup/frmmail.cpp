#include "setup/frmmail.h"

#include "platform/failures.h"
#include "platform/help.h"
#include "platform/input.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"
#include "setup/unsaved.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace bm
{

namespace
{

namespace MS = mailsettings;

QLineEdit *textField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

} // namespace

FrmMail::FrmMail(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_password(this, QStringLiteral("Kept in the desktop's keyring, never in the database"))
    , m_cmdTestMessage(
          commandButton(QStringLiteral("cmdTestMessage"), QStringLiteral("Send a &Test Message"), this))
    , m_cmdSave(commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this))
    , m_cmdCancel(commandButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
{
    setObjectName(QStringLiteral("frmMail"));
    setWindowTitle(QStringLiteral("Mail"));

    auto *server = new QGroupBox(QStringLiteral("Mail Server"), this);
    server->setObjectName(QStringLiteral("fraServer"));
    m_server = textField("txtServer", server);
    m_server->setPlaceholderText(QStringLiteral("smtp.example.com"));
    m_port = textField("txtPort", server);
    m_port->setMaxLength(5);
    m_port->setMaximumWidth(m_port->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    m_security = new QComboBox(server);
    m_security->setObjectName(QStringLiteral("cboSecurity"));
    m_security->addItems({ QLatin1String(MS::none), QLatin1String(MS::startTls), QLatin1String(MS::tls) });
    m_security->setToolTip(QStringLiteral("STARTTLS usually goes with port 587, TLS with port 465"));
    m_user = textField("txtUser", server);
    m_user->setToolTip(QStringLiteral("Leave it empty when the server takes mail without a login"));
    auto *serverForm = new QFormLayout(server);
    serverForm->addRow(QStringLiteral("Server:"), m_server);
    serverForm->addRow(QStringLiteral("Port:"), m_port);
    serverForm->addRow(QStringLiteral("Security:"), m_security);
    serverForm->addRow(QStringLiteral("User:"), m_user);
    serverForm->addRow(QStringLiteral("Password:"), m_password.field());

    auto *sender = new QGroupBox(QStringLiteral("Sender"), this);
    sender->setObjectName(QStringLiteral("fraSender"));
    m_senderAddress = textField("txtSenderAddress", sender);
    m_senderAddress->setPlaceholderText(QStringLiteral("guide@example.com"));
    m_senderName = textField("txtSenderName", sender);
    m_senderName->setToolTip(QStringLiteral("The name your clients see, like your guide service's"));
    m_guideAddress = textField("txtGuideAddress", sender);
    m_guideAddress->setToolTip(
        QStringLiteral("Where the program's mail to you goes, like a new request; empty: the e-mail of your "
                       "guide details"));
    auto *senderForm = new QFormLayout(sender);
    senderForm->addRow(QStringLiteral("Sender Address:"), m_senderAddress);
    senderForm->addRow(QStringLiteral("Sender Name:"), m_senderName);
    senderForm->addRow(QStringLiteral("Guide's Address:"), m_guideAddress);

    // Both forms' fields start at one line: their labels as wide as the widest.
    QList<QWidget *> labels;
    int widest = 0;
    for (QFormLayout *form : { serverForm, senderForm }) {
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
        for (int row = 0; row < form->rowCount(); ++row)
            if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole)) {
                labels << label->widget();
                widest = qMax(widest, label->widget()->sizeHint().width());
            }
    }
    for (QWidget *label : std::as_const(labels))
        label->setMinimumWidth(widest);
    for (QLineEdit *field :
        { m_server, m_user, m_password.field(), m_senderAddress, m_senderName, m_guideAddress })
        field->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdTestMessage);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(server);
    layout->addWidget(sender);
    layout->addWidget(m_password.note());
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(m_cmdSave, &QPushButton::clicked, this, [this] {
        if (save())
            close();
    });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        m_leaving = true;
        close();
        m_leaving = false;
    });
    connect(m_cmdTestMessage, &QPushButton::clicked, this, &FrmMail::sendTestMessage);
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3700")); });
    platform::addHelpCommand(this, m_cmdHelp);
    // Settings another desk saved show here while the guide has changed
    // nothing; the keyring is asked again only when they did change.
    onTableChanged(this, table::MailSettings, [this] {
        MS::Settings now;
        if (!m_saving && !hasChanges() && MS::read(now) && now != m_read)
            load();
    });
    load();
    // Room between the test message's button and the window's commands.
    resize(sizeHint().expandedTo(QSize(520, 0)));
}

FrmMail::~FrmMail()
{
    // The send goes on to its end; only the busy cursor goes with the window.
    if (m_sending)
        QApplication::restoreOverrideCursor();
}

void FrmMail::load()
{
    m_read = MS::Settings();
    if (!platform::reportFailure(MS::read(m_read), this))
        m_read = MS::Settings();
    showSettings(m_read);
    m_password.load(MS::keyringKey(m_read));
    m_shown = shownSettings();
}

bool FrmMail::hasChanges() const
{
    return shownSettings() != m_shown || m_password.changed();
}

void FrmMail::closeEvent(QCloseEvent *event)
{
    if (!m_leaving && hasChanges()
        && !settleChanges(
            QStringLiteral("the mail settings"), windowTitle(), [this] { return save(); }, this)) {
        event->ignore();
        return;
    }
    event->accept();
}

void FrmMail::showSettings(const MS::Settings &s)
{
    m_server->setText(s.server);
    m_port->setText(s.port);
    // A security another program wrote shows as it is, and Save refuses it.
    if (m_security->findText(s.security) < 0)
        m_security->addItem(s.security);
    m_security->setCurrentText(s.security);
    m_user->setText(s.user);
    m_senderAddress->setText(s.senderAddress);
    m_senderName->setText(s.senderName);
    m_guideAddress->setText(s.guideAddress);
}

MS::Settings FrmMail::shownSettings() const
{
    MS::Settings s;
    s.server = m_server->text().trimmed();
    s.port = m_port->text().trimmed();
    s.security = m_security->currentText();
    s.user = m_user->text().trimmed();
    s.senderAddress = m_senderAddress->text().trimmed();
    s.senderName = m_senderName->text().trimmed();
    s.guideAddress = m_guideAddress->text().trimmed();
    return s;
}

void FrmMail::refuse(const Status &why, MS::Field field)
{
    platform::warn(why.message(), this);
    QWidget *where = nullptr;
    switch (field) {
    case MS::Field::Server:
        where = m_server;
        break;
    case MS::Field::Port:
        where = m_port;
        break;
    case MS::Field::Security:
        where = m_security;
        break;
    case MS::Field::User:
        where = m_user;
        break;
    case MS::Field::SenderAddress:
        where = m_senderAddress;
        break;
    case MS::Field::SenderName:
        where = m_senderName;
        break;
    case MS::Field::GuideAddress:
        where = m_guideAddress;
        break;
    case MS::Field::None:
        break;
    }
    if (where)
        where->setFocus();
}

bool FrmMail::save()
{
    const MS::Settings s = shownSettings();
    MS::Field field = MS::Field::None;
    if (Status why = MS::check(s, &field); !why) {
        refuse(why, field);
        return false;
    }
    m_saving = true;
    const Status written = MS::write(s);
    m_saving = false;
    if (!platform::reportFailure(written, this))
        return false;
    const Status kept = m_password.keep(MS::keyringKey(m_read), MS::keyringKey(s));
    m_read = s;
    m_shown = s;
    if (!kept) {
        platform::warn(QStringLiteral("The mail settings were saved, but the password was not. %1\n\nSave "
                                      "again once the keyring can be reached: until then mail can not go out "
                                      "through a server that needs the password.")
                           .arg(kept.message()),
            this);
        return false;
    }
    return true;
}

void FrmMail::sendTestMessage()
{
    if (m_sending)
        return;
    const MS::Settings s = shownSettings();
    MS::Field field = MS::Field::None;
    if (Status why = MS::check(s, &field); !why) {
        refuse(why, field);
        return;
    }
    mail::SmtpSettings smtp;
    mail::Mailbox from;
    if (!platform::reportFailure(MS::forSending(s, m_password.text(), smtp, from), this))
        return;
    const auto answer
        = platform::askText({ QStringLiteral("Send a Test Message"),
                                QStringLiteral("Send the test message to this address:"), from.address },
            this);
    if (!answer)
        return;
    const QString to = answer->trimmed();
    if (!mail::plausibleAddress(to)) {
        platform::warn(
            QStringLiteral("\"%1\" is not one mail address, like guide@example.com.").arg(to), this);
        return;
    }
    // The send may take as long as the server does (up to two minutes);
    // the window stays drawn meanwhile.
    m_sending = new QFutureWatcher<mail::SendResult>(this);
    connect(m_sending, &QFutureWatcherBase::finished, this, [this, to] {
        const mail::SendResult result = m_sending->result();
        m_sending->deleteLater();
        m_sending = nullptr;
        QApplication::restoreOverrideCursor();
        m_cmdTestMessage->setEnabled(true);
        tested(result, to);
    });
    m_cmdTestMessage->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_sending->setFuture(QtConcurrent::run([smtp, from, to] {
        return mail::sendTestMessage(smtp, from, mail::Mailbox { to, QString() });
    }));
}

void FrmMail::tested(const mail::SendResult &result, const QString &to)
{
    if (result.sent()) {
        platform::inform(QStringLiteral("The test message went out to %1. If it has not arrived in a few "
                                        "minutes, look in the spam folder there.")
                             .arg(to),
            this);
        return;
    }
    platform::warn(QStringLiteral("The test message could not be sent.\n\n%1").arg(result.reason), this);
}

} // namespace bm
