#pragma once

#include "core/status.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTabWidget;

namespace bm
{
namespace platform
{
class HelpComponent;
}

// "Brindlemoor Database Utility": backs the database up, restores a backup
// over it and repairs it. The last window of the program, opened at shut-down;
// leaving it ends the program.
class FrmDbutility : public QWidget
{
    Q_OBJECT
public:
    explicit FrmDbutility(QWidget *parent = nullptr);

    void backup();
    void restore();
    void repair();
    void showHelp();
    void exitProgram();

    // True while a record source of some window still holds the database:
    // the three operations then refuse.
    static bool databaseInUse();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void backupServer();
    QWidget *makeBackupPage();
    QWidget *makeRestorePage();
    QWidget *makeRepairPage();
    QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent);

    QTabWidget *m_tabs;
    QLabel *m_currentSize = nullptr;
    QLabel *m_afterRepair = nullptr;
    platform::HelpComponent *m_dlgHelp;
    bool m_busy = false;
};

} // namespace bm
