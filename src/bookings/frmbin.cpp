#include "bookings/frmbin.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "platform/failures.h"
#include "platform/messages.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <QPushButton>

namespace bm
{

namespace
{

bool isBooking(const db::bin::Entry &e)
{
    return e.kind == QLatin1String(table::Booking);
}

// What the list says of a record: a booking's trip date in the short format
// and its client, a contact's name.
QString described(const db::bin::Entry &e)
{
    if (!isBooking(e))
        return e.summary;
    const QDate date
        = QDate::fromString(e.row.value(QLatin1String(field::Booking::Date)).toString(), Qt::ISODate);
    const QString client = e.row.value(QLatin1String(field::Booking::Name)).toString();
    return date.isValid() ? QStringLiteral("%1 %2").arg(shortDate(date), client).trimmed() : e.summary;
}

} // namespace

FrmBin::FrmBin(QWidget *parent)
    : ListWindow(QStringLiteral("frmBin"), QStringLiteral("Deleted Records"), QStringLiteral("grdBin"),
        QStringList { QStringLiteral("Kind"), QStringLiteral("Record"), QStringLiteral("Deleted"),
            QStringLiteral("By") },
        parent)
    , m_cmdRestore(commandButton(QStringLiteral("cmdRestore"), QStringLiteral("&Restore"), this))
{
    m_cmdRestore->setToolTip(QStringLiteral("Bring the chosen record back"));
    connect(m_cmdRestore, &QPushButton::clicked, this, &FrmBin::restoreChosen);
    finish({ m_cmdRestore }, QStringLiteral("4000"),
        { QLatin1String(table::Booking), QLatin1String(table::Phone), QLatin1String(table::Bin) },
        WhenGone::ChooseNearest, QSize(720, 360));
}

Status FrmBin::readRows(QList<Row> &rows)
{
    QList<db::bin::Entry> read;
    if (Status s = db::bin::read(databasePath(), read); !s)
        return s;
    m_listed = std::move(read);
    for (const db::bin::Entry &e : std::as_const(m_listed))
        rows.append({ e.id,
            { isBooking(e) ? QStringLiteral("Booking") : QStringLiteral("Contact"), described(e),
                shortDateTime(e.deleted.toLocalTime()), e.login },
            e.login });
    return Status::ok();
}

QString FrmBin::countText() const
{
    return QStringLiteral("%1 deleted. Deleted records are kept %2 days, then they are gone for good.")
        .arg(m_listed.size() == 1 ? QStringLiteral("1 record")
                                  : QStringLiteral("%1 records").arg(m_listed.size()))
        .arg(schema::binDays);
}

QString FrmBin::unreadText() const
{
    return QStringLiteral("The deleted records could not be read.");
}

void FrmBin::enableCommands()
{
    const int row = chosenRow();
    m_cmdRestore->setEnabled(row >= 0 && row < m_listed.size());
}

void FrmBin::openRow(int row)
{
    if (row >= 0 && row < m_listed.size())
        restoreChosen();
}

void FrmBin::restoreChosen()
{
    const int row = chosenRow();
    if (row < 0 || row >= m_listed.size())
        return;
    const db::bin::Entry entry = m_listed[row];
    db::bin::Restored done;
    if (!platform::reportFailure(db::bin::restore(databasePath(), entry.id, done), this))
        return;
    const QString what = QStringLiteral("%1 %2").arg(
        isBooking(entry) ? QStringLiteral("The booking") : QStringLiteral("The contact"), described(entry));
    switch (done.outcome) {
    case db::bin::Outcome::SameId:
        platform::inform(QStringLiteral("%1 is back.").arg(what), this);
        break;
    case db::bin::Outcome::NewId:
        platform::inform(QStringLiteral("%1 is back as a new record: its number was taken meanwhile, so "
                                        "messages and requests that named it do not lead to it.")
                             .arg(what),
            this);
        break;
    case db::bin::Outcome::Gone:
        platform::inform(QStringLiteral("%1 is no longer among the deleted records: it was brought back at "
                                        "another desk, or its %2 days were over.")
                             .arg(what)
                             .arg(schema::binDays),
            this);
        break;
    }
    reread();
}

} // namespace bm
