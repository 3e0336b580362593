#pragma once

#include "db/recordsource.h"
#include "domain/requests.h"

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace bm
{

// "Requests": the trips clients asked for on the booking page, the
// earliest first, for the guide to accept or decline. The list reads
// itself again whenever a booking changes, here or at another desk, so a
// request shows as it arrives; a double-click opens the booking.
class FrmRequests : public QWidget
{
    Q_OBJECT
public:
    explicit FrmRequests(QWidget *parent = nullptr);

    QTableWidget *grid() const { return m_grid; }
    // The requests listed, in their order.
    const QList<requests::Request> &listed() const { return m_listed; }
    // Reads the requests again, staying on the one chosen where it is still
    // waiting.
    void reread();

private:
    void accept();
    void decline();
    void openBooking(int row);
    void enableCommands();
    // The request chosen, or none.
    const requests::Request *chosen() const;

    QTableWidget *m_grid; // grdRequests
    QLabel *m_count; // lblCount
    QPushButton *m_cmdAccept;
    QPushButton *m_cmdDecline;
    QPushButton *m_cmdHelp;
    QPushButton *m_cmdClose;
    QList<requests::Request> m_listed;
    bool m_readFailed = false; // said once until the requests are read again
};

} // namespace bm
