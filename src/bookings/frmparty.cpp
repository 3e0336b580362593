#include "bookings/frmparty.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "db/changes.h"
#include "platform/failures.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/windows.h"
#include "recordform/celleditors.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace bm
{

namespace
{

enum Column { AnglerColumn, LicenseColumn, RoleColumn, ContactColumn, PhoneColumn, Columns };

} // namespace

FrmParty::FrmParty(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_heading(new QLabel(this))
    , m_grid(new QTableWidget(0, Columns, this))
    , m_count(new QLabel(this))
    , m_cmdAdd(commandButton(QStringLiteral("cmdAdd"), QStringLiteral("&Add Angler"), this))
    , m_cmdDelete(commandButton(QStringLiteral("cmdDelete"), QStringLiteral("&Delete Angler"), this))
    , m_cmdSave(commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this))
    , m_cmdCancel(commandButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
{
    setObjectName(QStringLiteral("frmParty"));
    setWindowTitle(QStringLiteral("Party"));
    m_heading->setObjectName(QStringLiteral("lblTrip"));
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    m_count->setObjectName(QStringLiteral("lblCount"));

    m_grid->setObjectName(QStringLiteral("grdParty"));
    m_grid->setHorizontalHeaderLabels({ QStringLiteral("Angler"), QStringLiteral("License No"),
        QStringLiteral("Role"), QStringLiteral("Emergency Contact"), QStringLiteral("Emergency Phone") });
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
        | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_grid->setItemDelegateForColumn(RoleColumn, new ChoiceCells(&party::roles(), false, m_grid));
    const int widths[] = { 180, 110, 90, 170 };
    for (int c = 0; c < PhoneColumn; ++c)
        m_grid->setColumnWidth(c, widths[c]);

    auto *commands = new QHBoxLayout;
    commands->addWidget(m_cmdAdd);
    commands->addWidget(m_cmdDelete);
    commands->addSpacing(12);
    commands->addWidget(m_count, 1);
    commands->addWidget(m_cmdSave);
    commands->addWidget(m_cmdCancel);
    commands->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_grid, 1);
    layout->addLayout(commands);

    connect(m_cmdAdd, &QPushButton::clicked, this, [this] {
        addRow({ 0, {}, {}, QLatin1String(partyRole::client), {}, {} });
        m_grid->setCurrentCell(m_grid->rowCount() - 1, AnglerColumn);
        m_grid->setFocus();
        rewriteCount();
    });
    connect(m_cmdDelete, &QPushButton::clicked, this, [this] {
        if (m_grid->currentRow() >= 0)
            m_grid->removeRow(m_grid->currentRow());
        rewriteCount();
    });
    connect(m_grid, &QTableWidget::itemChanged, this, &FrmParty::rewriteCount);
    connect(m_cmdSave, &QPushButton::clicked, this, [this] {
        if (!save())
            return;
        m_leaving = true;
        close();
    });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        m_leaving = true;
        close();
    });
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("4100")); });
    platform::addHelpCommand(this, m_cmdHelp);
    // Another desk's (or window's) change shows here while the guide has
    // changed nothing; his own changes are never overwritten.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &table) {
            if (location == databasePath() && m_booking.isValid() && !hasChanges()
                && (table == QLatin1String(table::Party) || table == QLatin1String(table::Booking)))
                load(m_booking, true);
        });
    m_cmdSave->setEnabled(false);
    resize(sizeHint().expandedTo(QSize(760, 320)));
}

bool FrmParty::showBooking(Bookmark booking)
{
    if (booking != m_booking && !settle())
        return false;
    return load(booking, false);
}

bool FrmParty::load(Bookmark booking, bool following)
{
    party::Trip trip;
    QList<party::Angler> read;
    Status s = party::readTrip(booking, trip);
    if (s)
        s = party::read(booking, read);
    if (!s) {
        // Said once while following the tables: an outage is not told at
        // every change another desk makes.
        if (following && m_followFailed)
            platform::logFailure(s);
        else
            platform::reportFailure(s, this);
        m_followFailed = following;
        // Read never, there is nothing to tell a change from.
        m_cmdSave->setEnabled(m_booking == booking);
        return false;
    }
    m_followFailed = false;
    m_booking = booking;
    m_trip = trip;
    m_read = read;
    m_heading->setText(trip.date.isValid()
            ? QStringLiteral("Aboard the trip of %1 on %2").arg(trip.client, shortDate(trip.date))
            : QStringLiteral("Aboard the trip of %1").arg(trip.client));
    m_grid->setRowCount(0);
    for (const party::Angler &a : std::as_const(read))
        addRow(a);
    // A trip without a party has its client aboard; saved, he stays.
    if (read.isEmpty() && !trip.client.trimmed().isEmpty())
        addRow({ 0, trip.client.trimmed(), {}, QLatin1String(partyRole::client), {}, {} });
    m_shownAtRead = shownParty();
    m_cmdSave->setEnabled(true);
    rewriteCount();
    return true;
}

void FrmParty::addRow(const party::Angler &a)
{
    const int row = m_grid->rowCount();
    m_grid->insertRow(row);
    const QString texts[] = { a.name, a.license, a.role, a.emergencyContact, a.emergencyPhone };
    for (int c = 0; c < Columns; ++c)
        m_grid->setItem(row, c, new QTableWidgetItem(texts[c]));
    // The row keeps the key of its record; a new one has none.
    m_grid->item(row, AnglerColumn)->setData(Qt::UserRole, a.id);
}

QList<party::Angler> FrmParty::shownParty() const
{
    QList<party::Angler> shown;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        const party::Angler a { m_grid->item(r, AnglerColumn)->data(Qt::UserRole).toLongLong(),
            cellText(m_grid, r, AnglerColumn), cellText(m_grid, r, LicenseColumn),
            cellText(m_grid, r, RoleColumn), cellText(m_grid, r, ContactColumn),
            cellText(m_grid, r, PhoneColumn) };
        // A row added and left empty is no one.
        if (a.id == 0 && a.name.isEmpty() && a.license.isEmpty() && a.emergencyContact.isEmpty()
            && a.emergencyPhone.isEmpty())
            continue;
        shown << a;
    }
    return shown;
}

bool FrmParty::hasChanges() const
{
    return m_booking.isValid() && shownParty() != m_shownAtRead;
}

void FrmParty::commitOpenEdit()
{
    commitOpenEditor(m_grid);
}

void FrmParty::rewriteCount()
{
    const int n = int(shownParty().size());
    m_count->setText(n == 1 ? QStringLiteral("1 person aboard") : QStringLiteral("%1 people aboard").arg(n));
}

bool FrmParty::save()
{
    commitOpenEdit();
    if (!m_booking.isValid() || !m_cmdSave->isEnabled())
        return false;
    const QList<party::Angler> after = shownParty();
    if (const auto refused = party::refusal(after)) {
        platform::warn(refused->message, this);
        // The row refused, as listed (rows left empty are not counted).
        for (int r = 0, listed = -1; r < m_grid->rowCount(); ++r) {
            if (!cellText(m_grid, r, AnglerColumn).isEmpty() || !cellText(m_grid, r, LicenseColumn).isEmpty()
                || !cellText(m_grid, r, ContactColumn).isEmpty()
                || !cellText(m_grid, r, PhoneColumn).isEmpty()
                || m_grid->item(r, AnglerColumn)->data(Qt::UserRole).toLongLong() != 0)
                ++listed;
            if (listed == refused->angler) {
                m_grid->setCurrentCell(r, AnglerColumn);
                break;
            }
        }
        m_grid->setFocus();
        return false;
    }
    int size = 0;
    if (!platform::reportFailure(party::save(m_booking, m_read, after, size), this))
        return false;
    m_read = after;
    m_shownAtRead = after;
    emit partySaved(m_booking);
    return true;
}

bool FrmParty::settle()
{
    commitOpenEdit();
    if (!hasChanges())
        return true;
    if (!platform::askYesNo(
            QStringLiteral("Do you want to save the changes to the party of %1?").arg(m_trip.client),
            windowTitle(), this))
        return true;
    return save();
}

void FrmParty::closeEvent(QCloseEvent *event)
{
    if (!m_leaving && !settle()) {
        event->ignore();
        return;
    }
    m_leaving = false;
    event->accept();
}

FrmParty *openParty(Bookmark booking)
{
    auto *w = platform::showWindow<FrmParty>();
    if (!w->showBooking(booking) && !w->booking().isValid()) {
        w->close();
        return nullptr;
    }
    return w;
}

} // namespace bm
