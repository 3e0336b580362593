#pragma once

#include "recordform/recordform.h"

#include <QGroupBox>
#include <QVector>

class QLineEdit;
class QPushButton;

namespace bm
{

// One pick-list editor of the setup window, as data: where it stands, its
// names and texts, and what it does after Save and Cancel.
struct ListEditorDef {
    enum Page { FishingPage, TripRatesPage, LogbookPage };
    Page page;
    QString panel; // "Picture6"
    QString title; // "Lakes and Rivers Fished"
    QString label; // "Lake/River:"
    QString source; // "Data2"
    QString table; // "Lakes Fished"
    QString field; // "Lake"
    QString entry; // "Text8"
    QString suffix; // "l": cmdAddl ... cmdNextl
    QString itemName; // "Lake"
    QString entryPhrase; // "Lake or River": in the empty-entry message
    QString savedPhrase; // "Lake": in the saved message
    QString thirdLine; // of the last-record message
    Reposition afterSave;
    bool focusAfterSave;
    bool focusAfterCancel;
    bool amount; // a "$" before the entry field
};

// The editors, in the order their panels stand on their pages.
const QVector<ListEditorDef> &listEditorDefs();

// The texts of an editor's record form.
FormTexts listEditorTexts(const ListEditorDef &def);

// An editor's panel: the title, the label and entry field, and the row of
// Back, Next, Delete, Add, Edit, Cancel and Save. Its record source belongs
// to the window.
class ListEditor : public QGroupBox
{
    Q_OBJECT
public:
    ListEditor(const ListEditorDef &def, QWidget *window, QWidget *parent);

    // A second field of the record, in a row of its own below the first
    // (which stays the one Save asks for). Before makeForm().
    QLineEdit *addField(const QString &label, const QString &field, const QString &entryName);

    // Makes the record form once every panel of the window exists.
    void makeForm(const QList<QObject *> &windowCommands, const QList<QWidget *> &siblings, QWidget *notice);

    const ListEditorDef &def() const { return m_def; }
    RecordSource *source() const { return m_source; }
    RecordForm *form() const { return m_form; }
    QLineEdit *entry() const { return m_entry; }
    QPushButton *command(FormCommand command) const;

private:
    ListEditorDef m_def;
    QWidget *m_window;
    RecordSource *m_source;
    FieldBinder *m_binder;
    QLineEdit *m_entry;
    QHash<int, QPushButton *> m_buttons;
    RecordForm *m_form = nullptr;
    int m_fieldRows = 0; // the rows of fields above the commands
};

} // namespace bm
