#pragma once

#include "db/recordsource.h"

#include <QDate>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace bm
{

class DatePicker;
class FieldBinder;
class RecordForm;

// The booking entry: one booking of Booking, new or being changed, in three
// groups of fields. The user leaves it through Save or Cancel.
class FrmBooking : public QWidget
{
    Q_OBJECT
public:
    explicit FrmBooking(QWidget *parent = nullptr);

    RecordSource &booking() { return *m_booking; }

    // Drops whatever is pending and starts a new booking with both dates set.
    void startNew(const QDate &date);
    // Drops whatever is pending and starts changing the booking the bookmark
    // names. False (after telling the user) when it can not be found.
    bool startEdit(Bookmark bookmark);

    static const QColor &errorColour();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void declareForm();
    void startOver(const QString &title);
    void showHelp();

    // The money boxes: the key filter, the check on leaving, the balance.
    void refuseAmountKey(QComboBox *box);
    void leaveAmount(QComboBox *box);
    void enterBalance();
    void markAmount(QComboBox *box, bool error);

    // The booking's state, party and start time: Status is a fixed list
    // that the binder (which takes typed text) does not handle; the party
    // and the start time are checked on Save.
    void showStatus();
    void handOverStatus();
    bool checkPartyAndStart();

    // The party window on this booking (a saved one only), and its save:
    // the booking is edited afresh with the Party Size it wrote, keeping
    // what the guide typed here meanwhile.
    void showParty();
    void partySaved(Bookmark booking);
    bool refuseEntry(QLineEdit *box, const QString &message);

    // The client's mail: whether the save calls for a message to him (the
    // guide is asked; the answer stands for this save only, and the message
    // is written in the save's transaction), and the line that says the
    // mail server refused one.
    void askAboutMail();
    void showMailRefused();
    // After a save: what the guide's own calendar holds on the trip's days,
    // said, not refused (it may be what the trip is planned around).
    void noteBusyDays();

    RecordSource *m_booking;
    FieldBinder *m_binder;
    RecordForm *m_form = nullptr;

    DatePicker *m_tripDate; // DTPicker1
    QComboBox *m_lake; // DBCombo1
    QComboBox *m_meetAt; // DBCombo2
    QComboBox *m_tripType; // DBCombo4
    QLineEdit *m_clientName; // Text2
    QComboBox *m_state; // cmbState
    QComboBox *m_totalCharge; // DBCombo3
    QComboBox *m_depositAmount; // DBCombo5
    QLineEdit *m_balanceDue; // Text12
    DatePicker *m_depositReceived; // DTPicker2
    QComboBox *m_paidBy; // Combo2
    QComboBox *m_status; // cboStatus
    QLineEdit *m_partySize; // txtPartySize
    QLineEdit *m_startTime; // txtStartTime
    QLineEdit *m_days; // txtDays
    QPushButton *m_cmdParty; // cmdParty
    QLineEdit *m_email; // Text8
    QLabel *m_mailRefused; // lblMailRefused
    QString m_statusShown; // the state the booking had when shown
    QPushButton *m_cmdOK;
    QPushButton *m_cmdCancel;
    QPushButton *m_cmdHelp;
    QComboBox *m_amountEntered = nullptr; // the money box that holds the focus
    // The trip being saved, for what the guide's own calendar holds then.
    struct Saving {
        QDate date;
        int days = 1;
        QString guide;
        bool cancelled = false;
    } m_saving;
};

} // namespace bm
