#pragma once

#include "db/outbox.h"
#include "recordform/listwindow.h"

#include <QList>

class QPushButton;

namespace bm
{

// "Outbox": the mail that goes by itself, the newest first, with its state
// and, for what could not go, the reason. A message that waits may be
// cancelled; one that failed, was given up or cancelled may be sent again.
// The list reads itself again whenever the outbox changes, here or at
// another desk; a double-click opens the message's booking.
class FrmOutbox : public ListWindow
{
    Q_OBJECT
public:
    explicit FrmOutbox(QWidget *parent = nullptr);

    const QList<db::outbox::Message> &listed() const { return m_listed; }

private:
    Status readRows(QList<Row> &rows) override;
    QString countText() const override;
    QString unreadText() const override;
    void enableCommands() override;
    void openRow(int row) override;
    void sendAgain();
    void cancelMessage();
    const db::outbox::Message *chosen() const;

    QPushButton *m_cmdSendAgain;
    QPushButton *m_cmdCancelMessage;
    QList<db::outbox::Message> m_listed;
};

} // namespace bm
