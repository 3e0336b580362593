#pragma once

#include "bookings/invoicemath.h"
#include "data/recordsource.h"

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

    RecordSource *data1() const { return m_data1; } // Guide Info: the letterhead
    RecordSource *data2() const { return m_data2; } // the booking being invoiced

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

    RecordSource *m_data1;
    RecordSource *m_data2;
    FieldBinder *m_letterhead;
    FieldBinder *m_binder;
    NumberKeyFilter *m_numberKeys;
    RecordForm *m_form = nullptr;

    QComboBox *m_combo1 = nullptr; // GS Qty
    QLineEdit *m_text9 = nullptr; // Total Charge: the guide service price
    QLineEdit *m_text10 = nullptr; // GS Total
    QComboBox *m_combo2 = nullptr; // Goods Qty
    QPlainTextEdit *m_text11 = nullptr; // Goods
    QLineEdit *m_text12 = nullptr; // Goods Cost
    QLineEdit *m_text13 = nullptr; // Goods Total
    QLineEdit *m_text14 = nullptr; // Sub Total
    QLineEdit *m_text17 = nullptr; // Deposit Amount
    QLineEdit *m_text18 = nullptr; // Less Deposit
    QComboBox *m_combo3 = nullptr; // Tax Rate
    QLineEdit *m_text15 = nullptr; // Tax
    QLineEdit *m_text16 = nullptr; // Charge Total
    QLabel *m_editNote = nullptr;

    QPushButton *m_cmdEdit = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    QPushButton *m_cmdPrint = nullptr;
    QPushButton *m_cmdExit = nullptr;
};

} // namespace bm
