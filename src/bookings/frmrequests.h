#pragma once

#include "db/recordsource.h"
#include "domain/requests.h"
#include "recordform/listwindow.h"

#include <QList>

class QPushButton;

namespace bm
{

// "Requests": the trips clients asked for on the booking page, the
// earliest first, for the guide to accept or decline. The list reads
// itself again whenever a booking changes, here or at another desk, so a
// request shows as it arrives; a double-click opens the booking.
class FrmRequests : public ListWindow
{
    Q_OBJECT
public:
    explicit FrmRequests(QWidget *parent = nullptr);

    // The requests listed, in their order.
    const QList<requests::Request> &listed() const { return m_listed; }

private:
    Status readRows(QList<Row> &rows) override;
    QString countText() const override;
    QString unreadText() const override;
    void enableCommands() override;
    void openRow(int row) override;
    void accept();
    void decline();
    // The request chosen, or none.
    const requests::Request *chosen() const;

    QPushButton *m_cmdAccept;
    QPushButton *m_cmdDecline;
    QList<requests::Request> m_listed;
};

} // namespace bm
