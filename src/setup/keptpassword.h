#pragma once

#include "core/status.h"

#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

namespace bm
{

// A settings window's password field and the note beside it: the password
// lives in the desktop's keyring only, under a key made of the login and
// the server (platform/keyring.h). A keyring that can't be reached is said
// in the note, not in a box: the other settings can be changed all the same.
class KeptPassword
{
public:
    // Makes the field (txtPassword, its typing hidden) and the note
    // (lblKeyring, hidden until there is something to say).
    KeptPassword(QWidget *parent, const QString &toolTip);

    QLineEdit *field() const { return m_field; }
    QLabel *note() const { return m_note; }
    QString text() const;

    // Shows what the keyring keeps under key (empty: no password to keep).
    void load(const QString &key);
    // Whether the field differs from what the keyring gave.
    bool changed() const;
    // Keeps the field under after, the settings having been read under
    // before: written when new or changed, removed when emptied, and a
    // password leaves a key it no longer belongs to. Shows how it went.
    [[nodiscard]] Status keep(const QString &before, const QString &after);

private:
    void say(const Status &status);

    QLineEdit *m_field;
    QLabel *m_note;
    QString m_read; // what the keyring held
    bool m_known = false; // whether the keyring could be asked
};

} // namespace bm
