#include "main/exchangedialogs.h"

#include "core/apppaths.h"
#include "exchange/contactimport.h"
#include "exchange/csvexchange.h"
#include "exchange/icsexport.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "schema/fields.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace bm
{

namespace
{

// "1 trip", "3 trips".
QString counted(int n, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

// The chosen name, with the extension added when the guide typed none. The
// file dialog asked about replacing the name as typed, so a file of the full
// name is replaced only when the guide says so; empty when he does not.
QString withSuffix(const QString &path, const QString &suffix, QWidget *parent)
{
    if (!QFileInfo(path).suffix().isEmpty())
        return path;
    const QString full = path + QLatin1Char('.') + suffix;
    if (QFileInfo::exists(full)
        && !platform::askYesNo(QStringLiteral("The file %1 already exists.\nDo you want to replace it?")
                                   .arg(csv::shownFileName(full)),
            QStringLiteral("Brindlemoor"), parent))
        return {};
    return full;
}

QPushButton *addButton(
    QDialogButtonBox *box, const QString &name, const QString &caption, QDialogButtonBox::ButtonRole role)
{
    QPushButton *b = box->addButton(caption, role);
    b->setObjectName(name);
    return b;
}

} // namespace

namespace exchange
{

void exportCalendar(QWidget *parent)
{
    QString file = platform::saveFileName(
        { QStringLiteral("Export to Calendar"), QStringLiteral("Calendar Files (*.ics)"),
            QStringLiteral("Brindlemoor.ics") },
        parent);
    if (file.isEmpty())
        return;
    file = withSuffix(file, QStringLiteral("ics"), parent);
    if (file.isEmpty())
        return;
    ics::Counts counts;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status s = ics::exportCalendar(databasePath(), file, &counts);
    QApplication::restoreOverrideCursor();
    if (!s) {
        platform::warn(s.message(), parent);
        return;
    }
    platform::inform(
        QStringLiteral("%1 and %2 were written to %3.")
            .arg(counted(counts.bookings, QStringLiteral("trip"), QStringLiteral("trips")),
                counted(counts.reminders, QStringLiteral("reminder"), QStringLiteral("reminders")),
                csv::shownFileName(file)),
        parent);
}

void exportCsv(QWidget *parent)
{
    DlgExportCsv choice(parent);
    if (choice.exec() != QDialog::Accepted)
        return;
    QString file
        = platform::saveFileName({ QStringLiteral("Export to CSV"), QStringLiteral("CSV Files (*.csv)"),
                                     choice.caption() + QStringLiteral(".csv") },
            parent);
    if (file.isEmpty())
        return;
    file = withSuffix(file, QStringLiteral("csv"), parent);
    if (file.isEmpty())
        return;
    int rows = 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status s = csv::exportTable(databasePath(), choice.table(), file, &rows);
    QApplication::restoreOverrideCursor();
    if (!s) {
        platform::warn(s.message(), parent);
        return;
    }
    platform::inform(
        QStringLiteral("%1 of %2 %3 written to %4.")
            .arg(counted(rows, QStringLiteral("record"), QStringLiteral("records")), choice.caption(),
                rows == 1 ? QStringLiteral("was") : QStringLiteral("were"), csv::shownFileName(file)),
        parent);
}

void importContacts(QWidget *parent)
{
    const QString file = platform::openFileName(
        { QStringLiteral("Import Contacts"),
            QStringLiteral("Contact Files (*.csv *.vcf *.txt);;CSV Files (*.csv *.txt);;vCard Files "
                           "(*.vcf);;All Files (*)"),
            {} },
        parent);
    if (file.isEmpty())
        return;
    ContactImport plan;
    Status loaded;
    {
        const auto progress = platform::progress(QStringLiteral("Reading the contacts..."), parent);
        loaded = plan.load(file, databasePath(), progress.get());
    }
    if (!loaded) {
        if (!plan.cancelled())
            platform::warn(loaded.message(), parent);
        return;
    }
    DlgImportContacts preview(plan, csv::shownFileName(file), parent);
    if (preview.exec() != QDialog::Accepted)
        return;
    int added = 0;
    Status s;
    {
        const auto progress = platform::progress(QStringLiteral("Adding the contacts..."), parent);
        s = plan.commit(&added, progress.get());
    }
    if (!s) {
        if (!plan.cancelled())
            platform::warn(s.message(), parent);
        return;
    }
    const int skipped = plan.duplicates(), refused = plan.problemCount();
    QStringList lines { QStringLiteral("%1 %2 added.")
                            .arg(counted(added, QStringLiteral("contact"), QStringLiteral("contacts")),
                                added == 1 ? QStringLiteral("was") : QStringLiteral("were")) };
    if (skipped > 0)
        lines << QStringLiteral("%1 already stored %2 skipped.")
                     .arg(counted(skipped, QStringLiteral("contact"), QStringLiteral("contacts")),
                         skipped == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    if (refused > 0)
        lines << QStringLiteral("%1 could not be taken.")
                     .arg(counted(refused, QStringLiteral("row"), QStringLiteral("rows")));
    platform::inform(lines.join(QLatin1Char('\n')), parent);
}

} // namespace exchange

DlgExportCsv::DlgExportCsv(QWidget *parent)
    : QDialog(parent)
    , m_tables(new QListWidget(this))
{
    setObjectName(QStringLiteral("dlgExportCsv"));
    setWindowTitle(QStringLiteral("Export to CSV"));
    auto *label = new QLabel(QStringLiteral("Choose the records to export:"), this);
    m_tables->setObjectName(QStringLiteral("lstTables"));
    for (const csv::ExportTable &t : csv::exportTables()) {
        auto *item = new QListWidgetItem(t.caption, m_tables);
        item->setData(Qt::UserRole, t.table);
    }
    m_tables->setCurrentRow(0);
    label->setBuddy(m_tables);
    connect(m_tables, &QListWidget::itemActivated, this, &QDialog::accept);

    auto *buttons = new QDialogButtonBox(this);
    connect(addButton(buttons, QStringLiteral("cmdExport"), QStringLiteral("&Export"),
                QDialogButtonBox::AcceptRole),
        &QPushButton::clicked, this, &QDialog::accept);
    connect(addButton(buttons, QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"),
                QDialogButtonBox::RejectRole),
        &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_tables);
    layout->addWidget(buttons);
}

QString DlgExportCsv::table() const
{
    return m_tables->currentItem() ? m_tables->currentItem()->data(Qt::UserRole).toString() : QString();
}

QString DlgExportCsv::caption() const
{
    return m_tables->currentItem() ? m_tables->currentItem()->text() : QString();
}

DlgImportContacts::DlgImportContacts(const ContactImport &plan, const QString &fileName, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgImportContacts"));
    setWindowTitle(QStringLiteral("Import Contacts"));
    auto *layout = new QVBoxLayout(this);

    auto *file = new QLabel(QStringLiteral("File: %1").arg(fileName), this);
    file->setObjectName(QStringLiteral("lblFile"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(file);
    if (plan.encoding() == QLatin1String("Windows-1252")) {
        auto *encoding
            = new QLabel(QStringLiteral("This file is not written in UTF-8 or UTF-16. It was read as "
                                        "Western European text (Windows-1252): check the accented "
                                        "letters below before you import."),
                this);
        encoding->setObjectName(QStringLiteral("lblEncoding"));
        encoding->setWordWrap(true);
        layout->addWidget(encoding);
    }

    // The first rows as the file holds them, each heading with what it fills.
    const QStringList &header = plan.header();
    auto *intro = new QLabel(plan.format() == ContactImport::Format::Csv
            ? QStringLiteral(
                "The first rows of the file. Under each column heading: the contact field it fills.")
            : QStringLiteral("The first contacts of the file, as they will be stored."),
        this);
    intro->setObjectName(QStringLiteral("lblPreview"));
    layout->addWidget(intro);
    auto *grid = new QTableWidget(this);
    grid->setObjectName(QStringLiteral("grdPreview"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setColumnCount(int(header.size()));
    const int rows = int(plan.preview().size());
    grid->setRowCount(rows);
    // The parts of a name fill it only where the file's own name is empty.
    bool hasName = false;
    for (int c = 0; c < header.size() && !hasName; ++c)
        hasName = plan.target(c) == QLatin1String(field::Phone::Name);
    QStringList headings;
    for (int c = 0; c < header.size(); ++c) {
        QString target = plan.target(c);
        if (hasName && target.startsWith(QLatin1String("Name (")) && target.endsWith(QLatin1Char(')')))
            target.insert(target.size() - 1, QStringLiteral(", where Name is empty"));
        if (plan.format() == ContactImport::Format::VCard) {
            headings << header[c];
            continue;
        }
        headings << header[c] + QLatin1Char('\n')
                + (target.isEmpty() ? QStringLiteral("(not imported)") : QStringLiteral("\u2192 ") + target);
    }
    grid->setHorizontalHeaderLabels(headings);
    QStringList lines;
    for (int r = 0; r < rows; ++r) {
        const csv::Record &record = plan.preview()[r];
        lines << QString::number(record.line);
        for (int c = 0; c < header.size(); ++c) {
            QString value = record.fields.value(c);
            if (value.size() > 200)
                value = value.left(200) + QChar(0x2026);
            auto *item = new QTableWidgetItem(value.replace(QLatin1Char('\n'), QChar(0x21B5)));
            if (plan.target(c).isEmpty())
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            grid->setItem(r, c, item);
        }
    }
    grid->setVerticalHeaderLabels(lines);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->resizeColumnsToContents();
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnWidth(c, qMin(grid->columnWidth(c), 220));
    layout->addWidget(grid, 3);

    QStringList summary { QStringLiteral("%1 will be added.")
                              .arg(counted(
                                  plan.count(), QStringLiteral("contact"), QStringLiteral("contacts"))) };
    if (plan.duplicates() > 0)
        summary << QStringLiteral("%1 already stored will be skipped.")
                       .arg(
                           counted(plan.duplicates(), QStringLiteral("contact"), QStringLiteral("contacts")));
    if (!plan.problems().isEmpty())
        summary << QStringLiteral("%1 can not be taken:")
                       .arg(counted(plan.problemCount(), QStringLiteral("row"), QStringLiteral("rows")));
    auto *counts = new QLabel(summary.join(QLatin1Char(' ')), this);
    counts->setObjectName(QStringLiteral("lblSummary"));
    counts->setWordWrap(true);
    layout->addWidget(counts);
    if (!plan.problems().isEmpty()) {
        auto *problems = new QListWidget(this);
        problems->setObjectName(QStringLiteral("lstProblems"));
        for (const ContactImport::Problem &p : plan.problems())
            problems->addItem(QStringLiteral("Line %1: %2").arg(p.line).arg(p.reason));
        if (plan.problemCount() > plan.problems().size())
            problems->addItem(
                QStringLiteral("... and %1 more.").arg(plan.problemCount() - plan.problems().size()));
        layout->addWidget(problems, 1);
    }

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *import = addButton(
        buttons, QStringLiteral("cmdImport"), QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    import->setEnabled(plan.count() > 0);
    connect(import, &QPushButton::clicked, this, &QDialog::accept);
    connect(addButton(buttons, QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"),
                QDialogButtonBox::RejectRole),
        &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(820, 520);
}

} // namespace bm
