#pragma once

#include "db/history.h"
#include "recordform/listwindow.h"

#include <QList>

namespace bm
{

// "History": what happened to one booking or contact, the latest first:
// when, who (on a shared database the login and the desk), what, and for a
// change the field with its value before and after. It follows the record's
// table, so a save here or at another desk shows at once.
class FrmHistory : public ListWindow
{
    Q_OBJECT
public:
    explicit FrmHistory(QWidget *parent = nullptr);

    // The record shown: a record of table (Booking or Phone) and the words
    // that name it in the title.
    void showRecord(const QString &table, qint64 record, const QString &name);

    const QList<db::history::Event> &listed() const { return m_listed; }

private:
    Status readRows(QList<Row> &rows) override;
    QString countText() const override;
    QString unreadText() const override;
    void enableCommands() override { }
    void openRow(int) override { }

    QString m_table;
    qint64 m_record = 0;
    QList<db::history::Event> m_listed;
};

// Utilities > History: the window on the main window's current contact when
// the contacts are showing, otherwise on its current booking; or a word
// that none is chosen.
void openHistoryOfCurrent(bool contacts, QWidget *parent);

} // namespace bm
