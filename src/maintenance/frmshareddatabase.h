#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace bm
{

// "Shared Database": where the program keeps its data, the file on this
// computer or a database on a PostgreSQL server that several desks share.
// The choice is kept in the settings and used from the next start; the
// guide's file can be copied into an empty shared database from here.
class FrmSharedDatabase : public QWidget
{
    Q_OBJECT
public:
    explicit FrmSharedDatabase(QWidget *parent = nullptr);

    // The address the fields make.
    QString address() const;

    void useShared();
    void useFile();
    void copyMyData();

private:
    void showChoice();

    QLineEdit *m_host;
    QSpinBox *m_port;
    QLineEdit *m_database;
    QLineEdit *m_user;
    QComboBox *m_tls;
    QLineEdit *m_address;
    QLabel *m_now;
};

} // namespace bm
