#include "bookings/frmhistory.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/windows.h"
#include "schema/fields.h"

namespace bm
{

FrmHistory::FrmHistory(QWidget *parent)
    : ListWindow(QStringLiteral("frmHistory"), QStringLiteral("History"), QStringLiteral("grdHistory"),
        QStringList { QStringLiteral("When"), QStringLiteral("Who"), QStringLiteral("What"),
            QStringLiteral("Field"), QStringLiteral("Before"), QStringLiteral("After") },
        parent)
{
    finish({}, QStringLiteral("3900"), { QLatin1String(table::Booking), QLatin1String(table::Phone) },
        WhenGone::ChooseNone, QSize(860, 380));
}

void FrmHistory::showRecord(const QString &table, qint64 record, const QString &name)
{
    m_table = table;
    m_record = record;
    setWindowTitle(QStringLiteral("History of %1").arg(name));
    reread();
}

Status FrmHistory::readRows(QList<Row> &rows)
{
    QList<db::history::Event> read;
    if (m_record > 0)
        if (Status s = db::history::read(databasePath(), m_table, m_record, read); !s)
            return s;
    m_listed = std::move(read);
    for (const db::history::Event &e : std::as_const(m_listed)) {
        const QString who = e.desk.isEmpty() || e.login.isEmpty()
            ? e.login + e.desk
            : QStringLiteral("%1 at %2").arg(e.login, e.desk);
        const QString after = db::history::shown(m_table, e.field, e.after);
        rows.append({ e.id,
            { shortDateTime(e.at.toLocalTime()), who, e.action, e.field,
                db::history::shown(m_table, e.field, e.before), after },
            after });
    }
    return Status::ok();
}

QString FrmHistory::countText() const
{
    if (m_listed.isEmpty())
        return QStringLiteral("Nothing is recorded of this record.");
    return m_listed.size() == 1 ? QStringLiteral("1 event.")
                                : QStringLiteral("%1 events.").arg(m_listed.size());
}

QString FrmHistory::unreadText() const
{
    return QStringLiteral("The history could not be read.");
}

void openHistoryOfCurrent(bool contacts, QWidget *parent)
{
    platform::MainHub *hub = platform::mainHub();
    RecordSource *source = !hub ? nullptr : contacts ? &hub->datContacts() : &hub->datBookings();
    if (source && !platform::reportFailure(source->readCurrent(), parent))
        return;
    if (!source || !source->hasCurrent() || !source->bookmark().isValid()) {
        platform::inform(contacts
                ? QStringLiteral("There is no contact chosen. Choose one in the contacts, then History.")
                : QStringLiteral("There is no booking chosen. Choose a trip in the schedule or the bookings "
                                 "panel, then History."),
            parent);
        return;
    }
    QString name;
    if (contacts) {
        name = source->text(QLatin1String(field::Phone::Name));
    } else {
        name = QStringLiteral("%1 %2").arg(source->text(QLatin1String(field::Booking::Date)),
            source->text(QLatin1String(field::Booking::Name)));
    }
    auto *window = platform::showWindow<FrmHistory>();
    window->showRecord(contacts ? QLatin1String(table::Phone) : QLatin1String(table::Booking),
        source->bookmark().id, name.trimmed());
}

} // namespace bm
