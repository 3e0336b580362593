#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bm
{

// One contact as another program keeps it (a row of a mail program's CSV
// file, a card of a phone's vCard file), before it becomes one of the guide's
// contacts: the name in its parts, and every telephone number and address
// with the kind the other program gave it.
struct ContactEntry {
    struct Phone {
        QString kind; // as the file gives it: "Mobile", "cell", "WORK,VOICE", or empty
        QString number;
    };
    struct Address {
        QString kind; // "Home", "work", "HOME,PREF", or empty
        QStringList street; // its lines, first to last
        QString city;
        QString region; // state or province
        QString postalCode;
        QString formatted; // the whole address in one text, where the file gives only that
    };

    int line = 0; // the line of the file the entry begins on
    QString problem; // why the entry was left out, its fields empty; empty when it was read
    QString fullName;
    QString givenName;
    QString middleName;
    QString familyName;
    QString organization;
    QList<Phone> phones; // in the file's order
    QList<Address> addresses;
    QStringList emails;
    QString notes;
};

} // namespace bm
