#include "main/scheduleview.h"

#include "bookings/bookingwindows.h"
#include "db/changes.h"
#include "db/recordsource.h"
#include "db/rights.h"
#include "domain/guides.h"
#include "domain/schedulemodel.h"
#include "main/viewparts.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace bm
{

QStyleOptionViewItem ScheduleMarks::look(const QModelIndex &index) const
{
    QStyleOptionViewItem option;
    initStyleOption(&option, index);
    return option;
}

void ScheduleMarks::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString status = index.data(ScheduleModel::StatusRole).toString();
    if (status == QLatin1String(bookingStatus::requested)) {
        option->font.setItalic(true);
        if (index.model()->headerData(index.column(), Qt::Horizontal).toString()
            == QLatin1String(field::Booking::Name))
            option->text += QStringLiteral(" (requested)");
    } else if (status == QLatin1String(bookingStatus::cancelled)) {
        option->font.setStrikeOut(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
    }
    // Another guide's trip: there, but not this desk's to open.
    if (index.data(ScheduleModel::OthersRole).toBool())
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
}

ScheduleView::ScheduleView(RecordSource &datBookings, QWidget *parent)
    : QWidget(parent)
    , m_bookings(datBookings)
    , m_model(new ScheduleModel(ScheduleModel::boardFields(false), this))
    , m_grid(new QTableView(this))
    , m_cmdDate(new QPushButton(QStringLiteral("Date"), this))
    , m_cmdLake(new QPushButton(QStringLiteral("Lake"), this))
    , m_cmdPrintsched(new QPushButton(QStringLiteral("&Print Schedule"), this))
    , m_cmdAddbooking(new QPushButton(QStringLiteral("&New Booking"), this))
    , m_count(new QLabel(this))
    , m_guideCaption(new QLabel(QStringLiteral("Show:"), this))
    , m_cboGuide(new QComboBox(this))
{
    setObjectName(QStringLiteral("ScheduleView"));
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    // Every row one line high: the grid never measures its rows. Set before
    // the model is, so that it is not said again for every booking's row.
    QHeaderView *rows = m_grid->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->setModel(m_model);
    m_grid->setItemDelegate(new ScheduleMarks(m_grid));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_cmdDate->setObjectName(QStringLiteral("cmdDate"));
    m_cmdLake->setObjectName(QStringLiteral("cmdLake"));
    m_cmdPrintsched->setObjectName(QStringLiteral("cmdPrintsched"));
    m_cmdAddbooking->setObjectName(QStringLiteral("cmdAddbooking"));
    m_count->setObjectName(QStringLiteral("lblTripcount"));
    m_guideCaption->setObjectName(QStringLiteral("lblGuide"));
    m_guideCaption->setBuddy(m_cboGuide);
    m_cboGuide->setObjectName(QStringLiteral("cboGuide"));
    m_cboGuide->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_cboGuide->setToolTip(QStringLiteral("Show the trips of one guide"));

    auto *commands = new QHBoxLayout;
    commands->addWidget(new QLabel(QStringLiteral("Sort By:"), this));
    commands->addWidget(m_cmdDate);
    commands->addWidget(m_cmdLake);
    commands->addSpacing(12);
    commands->addWidget(m_guideCaption);
    commands->addWidget(m_cboGuide);
    commands->addSpacing(24);
    commands->addWidget(m_count);
    commands->addStretch(1);
    commands->addWidget(m_cmdPrintsched);
    commands->addWidget(m_cmdAddbooking);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view::makeHeading(QStringLiteral("Scheduled Trips"), this));
    layout->addWidget(m_grid, 1);
    layout->addLayout(commands);

    connect(m_cmdDate, &QPushButton::clicked, this, &ScheduleView::cmdDateClick);
    connect(m_cmdLake, &QPushButton::clicked, this, &ScheduleView::cmdLakeClick);
    connect(m_cmdPrintsched, &QPushButton::clicked, this, &ScheduleView::cmdPrintschedClick);
    connect(m_cmdAddbooking, &QPushButton::clicked, this, &ScheduleView::cmdAddbookingClick);
    connect(&m_bookings, &RecordSource::refreshed, this, &ScheduleView::reread);
    connect(&m_bookings, &RecordSource::currentChanged, this, &ScheduleView::showCurrent);
    // The model says an outage once (and has logged it); the grid keeps
    // what it showed.
    connect(m_model, &ScheduleModel::readFailed, this,
        [this](const QString &message) { platform::warn(message, this); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) { rowChosen(current.row()); });
    connect(m_cboGuide, &QComboBox::activated, this, &ScheduleView::guideChosen);
    // The roster decides whether the board shows guides at all; it is read
    // again whenever anyone changes it.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &path, const QString &changed) {
            if (changed == QLatin1String(table::Guides) && path == m_bookings.location())
                readGuides();
        });
    // A guide sees every trip of the lodge on his board, the others' ones
    // as booked, and opens only his own.
    if (db::rights().isGuide())
        m_model->setOthersShown(db::rights().guide);
    readGuides();
    rewriteCount();
    showCurrent();
}

void ScheduleView::readGuides()
{
    QList<guides::Guide> roster;
    if (const Status s = guides::roster(roster, m_bookings.location()); !s) {
        // The board stays as it was: a roster that can not be read is not
        // a lodge of one guide.
        if (!m_rosterFailed)
            platform::reportFailure(s, this);
        m_rosterFailed = true;
        return;
    }
    m_rosterFailed = false;
    // The roster lists the guides that count (those with a name, active or
    // not), as guides::count() counts them.
    const bool several = guides::several(int(roster.size()));

    const QString chosen = m_model->guide();
    m_cboGuide->clear();
    m_cboGuide->addItem(QStringLiteral("All guides"), QString());
    for (const guides::Guide &g : std::as_const(roster))
        m_cboGuide->addItem(g.name, g.name);
    // A guide renamed or taken off the roster is no longer a choice: the
    // board shows every trip again.
    int keep = chosen.isEmpty() || !several ? 0 : m_cboGuide->findData(chosen);
    if (keep < 0)
        keep = 0;
    m_cboGuide->setCurrentIndex(keep);
    m_guideCaption->setVisible(several);
    m_cboGuide->setVisible(several);

    const bool changed = several != m_severalGuides;
    m_severalGuides = several;
    if (keep == 0 && !chosen.isEmpty())
        m_model->setGuide(QString());
    // One guide or none: the board is exactly as it was before bookings had
    // a guide, the same columns in the same places.
    if (changed) {
        m_model->setFields(ScheduleModel::boardFields(several));
        emit columnsChanged();
    }
    showCurrent();
}

void ScheduleView::guideChosen(int index)
{
    // The trips count stays the count of every booking, as the bookings
    // panel's: the board only narrows what it shows.
    m_model->setGuide(m_cboGuide->itemData(index).toString());
    showCurrent();
}

void ScheduleView::rewriteCount()
{
    m_count->setText(view::countText(m_bookings, QStringLiteral(" Trips are Scheduled")));
}

void ScheduleView::reread()
{
    m_model->reload();
    rewriteCount();
    showCurrent();
}

void ScheduleView::showCurrent()
{
    const int row = m_model->rowOf(m_bookings.bookmark());
    const QModelIndex current = m_grid->currentIndex();
    if (row < 0 || (current.isValid() && current.row() == row))
        return;
    const int column = current.isValid() ? current.column() : 0;
    m_grid->selectionModel()->setCurrentIndex(
        m_model->index(row, column), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_grid->scrollTo(m_model->index(row, column));
}

void ScheduleView::rowChosen(int row)
{
    if (m_model->isOthersRow(row))
        return;
    const Bookmark chosen = m_model->bookmarkAt(row);
    if (chosen.isValid() && chosen != m_bookings.bookmark())
        platform::reportFailure(m_bookings.setBookmark(chosen), this);
}

// The sorts rearrange the rows on display only: the record source keeps its
// order and its current booking.
void ScheduleView::cmdDateClick()
{
    m_model->sortByDate();
    showCurrent();
}

void ScheduleView::cmdLakeClick()
{
    m_model->sortByLake();
    showCurrent();
}

void ScheduleView::cmdPrintschedClick()
{
    // A lodge of several guides prints the schedule guide by guide, or the
    // trips of the one guide the board shows; one guide prints it as always.
    if (m_severalGuides)
        platform::printReport(QStringLiteral("guides.rpt"), {}, m_model->guide());
    else
        platform::printReport(QStringLiteral("schedule.rpt"));
}

void ScheduleView::cmdAddbookingClick()
{
    openNewBooking(platform::today());
}

} // namespace bm
