#pragma once

#include "mail/settings.h"
#include "mail/smtp.h"
#include "setup/keptpassword.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace bm
{

// "Mail": the guide's mail server, the sender the clients see and the
// guide's own address. The password is kept in the desktop's keyring only
// (platform/keyring.h), under the key of the user and server. Save writes
// the record and the password and closes; Cancel closes without saving;
// closing it otherwise with changes asks whether to save them. "Send a Test
// Message" sends one with what is typed, saved or not. Settings another
// desk saves show while the guide has changed nothing here.
class FrmMail : public QWidget
{
    Q_OBJECT
public:
    explicit FrmMail(QWidget *parent = nullptr);
    ~FrmMail() override;

    // Checks and writes the settings, then the password. False, after
    // telling the guide, when a value is refused (nothing written), the
    // record could not be written, or the keyring failed (the record is
    // saved, the password not; the window stays for another try).
    bool save();
    // Whether a test message is on its way.
    bool isSending() const { return m_sending != nullptr; }
    // Whether what the window shows differs from what it read or saved.
    bool hasChanges() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void showSettings(const mailsettings::Settings &s);
    mailsettings::Settings shownSettings() const;
    // Shows why a value is refused and puts the cursor in its field.
    void refuse(const Status &why, mailsettings::Field field);
    void sendTestMessage();
    void tested(const mail::SendResult &result, const QString &to);

    QLineEdit *m_server; // txtServer
    QLineEdit *m_port; // txtPort
    QComboBox *m_security; // cboSecurity
    QLineEdit *m_user; // txtUser
    KeptPassword m_password; // txtPassword, lblKeyring
    QLineEdit *m_senderAddress; // txtSenderAddress
    QLineEdit *m_senderName; // txtSenderName
    QLineEdit *m_guideAddress; // txtGuideAddress
    QPushButton *m_cmdTestMessage;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdHelp;

    mailsettings::Settings m_read; // the record as read, or as last saved
    mailsettings::Settings m_shown; // the fields as they showed m_read
    bool m_saving = false; // its own writes are not followed
    bool m_leaving = false; // Cancel: closes without asking
    QPointer<QFutureWatcher<mail::SendResult>> m_sending;
};

} // namespace bm
