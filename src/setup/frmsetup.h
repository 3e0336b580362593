#pragma once

#include "setup/listeditor.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace bm
{

// "Database Setup": the guide's own details, the pick-lists the booking and
// trip screens offer, and the state's site codes the catch is recorded by,
// on pages switched from the left.
class FrmSetup : public QWidget
{
    Q_OBJECT
public:
    explicit FrmSetup(QWidget *parent = nullptr);

    enum class Page { Info, Fishing, TripRates, Logbook };
    void showPage(Page page);

    const QList<ListEditor *> &editors() const { return m_editors; }
    ListEditor *editor(const QString &suffix) const;
    RecordForm *guideForm() const { return m_guideForm; }

private:
    QWidget *makeLeftColumn();
    QGroupBox *makeGuidePage();
    QWidget *makeListPage(const QString &name, ListEditorDef::Page page);
    QWidget *makeInstructions();
    QWidget *makeLogbookPage();
    void makeForms();
    // Import...: site codes from a CSV file, added or renamed.
    void importSites();

    QPushButton *m_cmdInfo;
    QPushButton *m_cmdRates;
    QPushButton *m_cmdFishing;
    QPushButton *m_cmdLogbook;
    QPushButton *m_cmdImportSites = nullptr;
    QPushButton *m_cmdHelp;
    QPushButton *m_cmdClose;
    QLabel *m_notice;
    QWidget *m_picInfo;
    QWidget *m_picFish;
    QWidget *m_picTrip;
    QWidget *m_picLogbook;
    QWidget *m_instructions;

    RecordSource *m_guideDetails;
    FieldBinder *m_guideBinder;
    QLineEdit *m_guideName = nullptr;
    QPushButton *m_cmdEditg = nullptr;
    QPushButton *m_cmdCancelg = nullptr;
    QPushButton *m_cmdSaveg = nullptr;
    RecordForm *m_guideForm = nullptr;
    QList<ListEditor *> m_editors;
};

} // namespace bm
