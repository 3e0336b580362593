#pragma once

#include "db/outbox.h"

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace bm
{

// "Outbox": the mail that goes by itself, the newest first, with its state
// and, for what could not go, the reason. A message that waits may be
// cancelled; one that failed, was given up or cancelled may be sent again.
// The list reads itself again whenever the outbox changes, here or at
// another desk; a double-click opens the message's booking.
class FrmOutbox : public QWidget
{
    Q_OBJECT
public:
    explicit FrmOutbox(QWidget *parent = nullptr);

    QTableWidget *grid() const { return m_grid; }
    const QList<db::outbox::Message> &listed() const { return m_listed; }
    void reread();

private:
    void sendAgain();
    void cancelMessage();
    void openBooking(int row);
    void enableCommands();
    const db::outbox::Message *chosen() const;

    QTableWidget *m_grid; // grdOutbox
    QLabel *m_count; // lblCount
    QPushButton *m_cmdSendAgain;
    QPushButton *m_cmdCancelMessage;
    QPushButton *m_cmdHelp;
    QPushButton *m_cmdClose;
    QList<db::outbox::Message> m_listed;
    bool m_readFailed = false;
};

} // namespace bm
