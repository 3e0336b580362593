#pragma once

#include "bookings/invoicemath.h"
#include "db/recordsource.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace bm
{

class FieldBinder;
class NumberKeyFilter;
class RecordForm;

// The invoice of one booking: the guide's letterhead, the customer's billing
// details and the invoice body, whose totals Save computes and writes into
// the booking. Browse mode shows it locked; Edit unlocks it until Save or
// Cancel.
class FrmInvoice : public QWidget
{
    Q_OBJECT
public:
    explicit FrmInvoice(QWidget *parent = nullptr);

    RecordSource *guideDetails() const { return m_guideDetails; } // Guide Info: the letterhead
    RecordSource *booking() const { return m_booking; } // the booking being invoiced

    bool isEditMode() const;

    // Each time the window becomes the active window: the focus to the guide
    // service quantity, and defaults into the empty boxes.
    void becomeActive();

    void edit();
    bool save();
    void cancel();
    void print();
    void help();
    void calculator();

private:
    QWidget *buildLetterhead();
    QWidget *buildBillTo();
    QWidget *buildInvoiceBody();
    QWidget *buildCommands();
    void declareForm();
    void fillDefaults();
    // Save's checks and computations, before anything is written.
    bool checkAndCompute();
    invoice::Boxes readBoxes() const;
    void writeResults(const invoice::Boxes &boxes);
    QWidget *inputBox(invoice::Input input) const;

    RecordSource *m_guideDetails;
    RecordSource *m_booking;
    FieldBinder *m_letterhead;
    FieldBinder *m_binder;
    NumberKeyFilter *m_numberKeys;
    RecordForm *m_form = nullptr;

    // The invoice body's boxes, each with its control's name and the field
    // of Booking it shows.
    QComboBox *m_guideServiceQty = nullptr; // Combo1: GS Qty
    QLineEdit *m_guideServicePrice = nullptr; // Text9: Total Charge
    QLineEdit *m_guideServiceTotal = nullptr; // Text10: GS Total
    QComboBox *m_goodsQty = nullptr; // Combo2: Goods Qty
    QPlainTextEdit *m_goods = nullptr; // Text11: Goods, what was sold
    QLineEdit *m_goodsCost = nullptr; // Text12: Goods Cost
    QLineEdit *m_goodsTotal = nullptr; // Text13: Goods Total
    QLineEdit *m_subTotal = nullptr; // Text14: Sub Total
    QLineEdit *m_depositAmount = nullptr; // Text17: Deposit Amount
    QLineEdit *m_lessDeposit = nullptr; // Text18: Less Deposit
    QComboBox *m_taxRate = nullptr; // Combo3: Tax Rate
    QLineEdit *m_tax = nullptr; // Text15: Tax
    QLineEdit *m_chargeTotal = nullptr; // Text16: Charge Total
    QLabel *m_editNote = nullptr;

    QPushButton *m_cmdEdit = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    QPushButton *m_cmdPrint = nullptr;
    QPushButton *m_cmdExit = nullptr;
};

} // namespace bm
