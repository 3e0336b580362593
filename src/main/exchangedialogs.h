#pragma once

#include <QDialog>

class QListWidget;

namespace bm
{
class ContactImport;

// The File menu's commands that take data out of the program and in:
// each asks for its file, does its work and tells the outcome.
namespace exchange
{
// All trips and reminders as one iCalendar file.
void exportCalendar(QWidget *parent);
// One table, chosen in "Export to CSV", as a CSV file.
void exportCsv(QWidget *parent);
// Contacts from a CSV or vCard file, after a preview.
void importContacts(QWidget *parent);
} // namespace exchange

// "Export to CSV": the choice of records to write out.
class DlgExportCsv : public QDialog
{
    Q_OBJECT
public:
    explicit DlgExportCsv(QWidget *parent = nullptr);
    // The chosen table's name, e.g. "Booking".
    QString table() const;
    QString caption() const;

private:
    QListWidget *m_tables;
};

// "Import Contacts": the first rows of the file with the contact
// field each column fills, what will be added and skipped, and the rows
// that can not be taken. Import accepts, Cancel writes nothing.
class DlgImportContacts : public QDialog
{
    Q_OBJECT
public:
    DlgImportContacts(const ContactImport &plan, const QString &fileName, QWidget *parent = nullptr);
};

} // namespace bm
