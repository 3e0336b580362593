#pragma once

#include "db/recordsource.h"
#include "domain/party.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace bm
{

// "Party": the people aboard one trip, one row each, for the state's
// logbook and the passenger manifest. A trip without a party starts with
// its client. Rows are added, changed and deleted here; Save writes them
// with the booking's Party Size in one go and closes, Cancel closes
// without writing, and closing it otherwise with changes asks whether to
// save them.
class FrmParty : public QWidget
{
    Q_OBJECT
public:
    explicit FrmParty(QWidget *parent = nullptr);

    // Shows the party of the booking, after settling the changes to the one
    // shown. False (after saying why) when it stays on the one shown or
    // the booking can not be read.
    bool showBooking(Bookmark booking);
    Bookmark booking() const { return m_booking; }

    // Whether the party shown differs from the one read.
    bool hasChanges() const;
    // Checks and writes the party; false (after telling the guide) when it
    // can not be kept or written.
    bool save();

    QTableWidget *grid() const { return m_grid; }

signals:
    // The party of the booking and its Party Size are written.
    void partySaved(Bookmark booking);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // following: read again after a change of the tables, not asked for.
    bool load(Bookmark booking, bool following);
    void addRow(const party::Angler &angler);
    QList<party::Angler> shownParty() const;
    void commitOpenEdit();
    void rewriteCount();
    // Asks whether to save the changes; false when they are neither saved
    // nor let go.
    bool settle();

    Bookmark m_booking;
    party::Trip m_trip;
    QList<party::Angler> m_read; // the party as read; empty for none
    QList<party::Angler> m_shownAtRead; // with the client of a trip without a party
    QLabel *m_heading; // lblTrip
    QTableWidget *m_grid; // grdParty
    QLabel *m_count; // lblCount
    QPushButton *m_cmdAdd;
    QPushButton *m_cmdDelete;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdHelp;
    bool m_leaving = false; // Save or Cancel is closing the window
    bool m_followFailed = false; // reading again after a change failed, and was said
};

// Opens the party window (or brings it forward) on the booking's party.
FrmParty *openParty(Bookmark booking);

} // namespace bm
