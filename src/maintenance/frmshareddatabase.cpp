#include "maintenance/frmshareddatabase.h"

#include "core/apppaths.h"
#include "db/database.h"
#include "db/servercopy.h"
#include "db/sharedchoice.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace bm
{

namespace
{

const QString caption = QStringLiteral("Shared Database");

// libpq's ways of using TLS, as a guide reads them.
const struct {
    const char *mode;
    const char *shown;
} tlsModes[] = {
    { "prefer", "Use it when the server offers it" },
    { "require", "Always (the connection is encrypted)" },
    { "verify-full", "Always, and check the server's certificate" },
    { "disable", "Never (a local socket or a trusted network only)" },
};

QLineEdit *field(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

FrmSharedDatabase::FrmSharedDatabase(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_host(field("txtHost", this))
    , m_port(new QSpinBox(this))
    , m_database(field("txtDatabase", this))
    , m_user(field("txtUser", this))
    , m_tls(new QComboBox(this))
    , m_address(new QLineEdit(this))
    , m_now(new QLabel(this))
{
    setObjectName(QStringLiteral("frmSharedDatabase"));
    setWindowTitle(caption);
    m_port->setObjectName(QStringLiteral("txtPort"));
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(QStringLiteral("Usual (5432)"));
    m_tls->setObjectName(QStringLiteral("cboTls"));
    for (const auto &t : tlsModes)
        m_tls->addItem(QString::fromLatin1(t.shown), QString::fromLatin1(t.mode));
    m_address->setObjectName(QStringLiteral("txtAddress"));
    m_address->setReadOnly(true); // made by the fields above; it can be copied for other desks
    m_now->setObjectName(QStringLiteral("lblNow"));
    m_now->setWordWrap(true);
    m_host->setPlaceholderText(QStringLiteral("server name, or the socket's folder: /var/run/postgresql"));

    auto *intro = new QLabel(QStringLiteral("A lodge's guides can keep one database on a PostgreSQL server. "
                                            "The administrator gives you its address and your user name; "
                                            "your password goes in the file .pgpass in your home folder."),
        this);
    intro->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Database:"), m_database);
    form->addRow(QStringLiteral("User:"), m_user);
    form->addRow(QStringLiteral("Encryption:"), m_tls);
    form->addRow(QStringLiteral("Address:"), m_address);

    QPushButton *useShared = commandButton("cmdUseShared", QStringLiteral("Use the Shared Database"), this);
    QPushButton *useFile = commandButton("cmdUseFile", QStringLiteral("Use the File on This Computer"), this);
    QPushButton *copy
        = commandButton("cmdCopy", QStringLiteral("Copy My Data to the Shared Database..."), this);
    QPushButton *close = commandButton("cmdClose", QStringLiteral("Close"), this);
    connect(useShared, &QPushButton::clicked, this, &FrmSharedDatabase::useShared);
    connect(useFile, &QPushButton::clicked, this, &FrmSharedDatabase::useFile);
    connect(copy, &QPushButton::clicked, this, &FrmSharedDatabase::copyMyData);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *choices = new QHBoxLayout;
    choices->addWidget(useShared);
    choices->addWidget(useFile);
    choices->addStretch(1);
    auto *more = new QHBoxLayout;
    more->addWidget(copy);
    more->addStretch(1);
    more->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(m_now);
    layout->addLayout(choices);
    layout->addLayout(more);

    sharedchoice::Parts parts;
    if (sharedchoice::partsOf(sharedchoice::chosenServer(), parts)) {
        m_host->setText(parts.host);
        m_port->setValue(parts.port);
        m_database->setText(parts.database);
        m_user->setText(parts.user);
        const int tls = m_tls->findData(parts.tls);
        m_tls->setCurrentIndex(tls < 0 ? 0 : tls);
    }
    auto update = [this] {
        m_address->setText(address());
        m_address->setCursorPosition(0);
    };
    for (QLineEdit *e : { m_host, m_database, m_user })
        connect(e, &QLineEdit::textChanged, this, update);
    connect(m_port, &QSpinBox::valueChanged, this, update);
    connect(m_tls, &QComboBox::currentIndexChanged, this, update);
    update();
    showChoice();
    resize(520, 360);
}

QString FrmSharedDatabase::address() const
{
    return sharedchoice::uriOf({ m_host->text(), m_port->value(), m_database->text(), m_user->text(),
        m_tls->currentData().toString() });
}

void FrmSharedDatabase::showChoice()
{
    const QString chosen = sharedchoice::chosenServer();
    const QString inUse = db::onServer(databasePath())
        ? QStringLiteral("Brindlemoor works on the shared database %1.").arg(db::displayName(databasePath()))
        : QStringLiteral("Brindlemoor works on the database file on this computer.");
    QString next;
    if (chosen != (db::onServer(databasePath()) ? databasePath() : QString()))
        next = chosen.isEmpty()
            ? QStringLiteral(" From its next start it works on the file on this computer.")
            : QStringLiteral(" From its next start it works on the shared database %1.")
                  .arg(db::displayName(chosen));
    m_now->setText(inUse + next);
}

void FrmSharedDatabase::useShared()
{
    if (m_database->text().trimmed().isEmpty()) {
        platform::warn(QStringLiteral("Give the name of the shared database."), this);
        m_database->setFocus();
        return;
    }
    const QString uri = address();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The server is tried now, so that a mistyped address is told here and
    // not at the next start; an empty database gets the program's tables.
    const Status reached = db::check(uri);
    QApplication::restoreOverrideCursor();
    if (!reached) {
        platform::warn(reached.message(), this);
        return;
    }
    if (const Status kept = sharedchoice::chooseServer(uri); !kept) {
        platform::warn(kept.message(), this);
        return;
    }
    showChoice();
    platform::inform(QStringLiteral("Brindlemoor will work on the shared database %1 from its next start.")
                         .arg(db::displayName(uri)),
        this);
}

void FrmSharedDatabase::useFile()
{
    if (const Status kept = sharedchoice::chooseFile(); !kept) {
        platform::warn(kept.message(), this);
        return;
    }
    showChoice();
    platform::inform(
        QStringLiteral("Brindlemoor will work on the database file on this computer from its next start."),
        this);
}

void FrmSharedDatabase::copyMyData()
{
    if (m_database->text().trimmed().isEmpty()) {
        platform::warn(QStringLiteral("Give the name of the shared database."), this);
        m_database->setFocus();
        return;
    }
    const QString uri = address();
    const QString file = appFile(QStringLiteral("tallow.mdb"));
    if (!platform::askYesNo(
            QStringLiteral("Copy everything of the database file on this computer into the shared "
                           "database %1? The shared database must hold nothing yet.")
                .arg(db::displayName(uri)),
            caption, this))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    servercopy::Report report;
    const Status copied = servercopy::copy(file, uri, &report);
    QApplication::restoreOverrideCursor();
    if (!copied) {
        platform::warn(copied.message(), this);
        return;
    }
    platform::inform(report.summary(), this);
}

} // namespace bm
