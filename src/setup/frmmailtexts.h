#pragma once

#include "mail/texts.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QDialog;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace bm
{

// "Mail Texts": what each kind of mail the program sends by itself says.
// The kinds are listed on the left; the chosen one's text is edited on the
// right: whether it goes at all, for the planned kinds the days it goes on,
// its subject and body (Mustache templates over the booking's values).
// Save keeps the text of the kind shown and the window stays open; choosing
// another kind or closing with changes asks whether to save them first.
class FrmMailTexts : public QWidget
{
    Q_OBJECT
public:
    explicit FrmMailTexts(QWidget *parent = nullptr);

    // The values of the example booking that Preview fills the texts with.
    static mail::Values sampleValues();

    // Checks the text shown and keeps it. False, after telling the guide,
    // when the text is refused or could not be written.
    bool save();
    // Whether the text shown differs from the one it showed when chosen.
    bool hasChanges() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Reads every kind's text again; the shown kind's fields follow unless
    // they hold changes. False when the texts could not be read: said in a
    // box when tell, else only logged.
    bool reread(bool tell);
    // Shows the text of the kind in row as it was read.
    void showKind(int row);
    // The guide picked the kind in row: the shown one's changes are settled first.
    void choose(int row);
    // Asks whether to save the shown text's changes, if it has any. True
    // when they are saved or let go; false to stay with them.
    bool settle();
    mail::Text shownText() const;
    // Marks the kinds whose text the guide changed from the delivered one.
    void markKinds();
    // Why the text can't be kept, with the field to put the cursor in.
    Status check(const mail::Text &text, QWidget *&field) const;
    void preview();
    void putDeliveredBack();

    QListWidget *m_kinds; // lstKinds
    QCheckBox *m_send; // chkSend
    QFormLayout *m_form;
    QLabel *m_daysLabel; // lblDays
    QLineEdit *m_days; // txtDays
    QLineEdit *m_subject; // txtSubject
    QPlainTextEdit *m_body; // txtBody
    QLabel *m_names; // lblNames
    QPushButton *m_cmdPreview;
    QPushButton *m_cmdDelivered;
    QPushButton *m_cmdSave;
    QPushButton *m_cmdClose;
    QPushButton *m_cmdHelp;
    QPointer<QDialog> m_preview; // dlgPreview, made on the first Preview

    QList<mail::Text> m_texts; // each kind's text as last read or saved
    int m_row = -1; // the kind shown
    mail::Text m_shownAsRead; // its fields as shown when it was chosen
    bool m_saving = false;
};

} // namespace bm
