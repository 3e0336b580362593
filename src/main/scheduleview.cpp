#include "main/scheduleview.h"

#include "data/recordsource.h"
#include "main/viewparts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace bm
{

ScheduleView::ScheduleView(RecordSource &datBookings, QWidget *parent)
    : QWidget(parent)
    , m_bookings(datBookings)
    , m_grid(new QTableView(this))
    , m_cmdDate(new QPushButton(QStringLiteral("Date"), this))
    , m_cmdLake(new QPushButton(QStringLiteral("Lake"), this))
    , m_cmdPrintsched(new QPushButton(QStringLiteral("&Print Schedule"), this))
    , m_cmdAddbooking(new QPushButton(QStringLiteral("&New Booking"), this))
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("ScheduleView"));
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_cmdDate->setObjectName(QStringLiteral("cmdDate"));
    m_cmdLake->setObjectName(QStringLiteral("cmdLake"));
    m_cmdPrintsched->setObjectName(QStringLiteral("cmdPrintsched"));
    m_cmdAddbooking->setObjectName(QStringLiteral("cmdAddbooking"));
    m_count->setObjectName(QStringLiteral("lblTripcount"));

    auto *commands = new QHBoxLayout;
    commands->addWidget(new QLabel(QStringLiteral("Sort By:"), this));
    commands->addWidget(m_cmdDate);
    commands->addWidget(m_cmdLake);
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

    rewriteCount();
}

void ScheduleView::rewriteCount()
{
    m_count->setText(view::countText(m_bookings, QStringLiteral(" Trips are Scheduled")));
}

void ScheduleView::cmdDateClick() { }

void ScheduleView::cmdLakeClick() { }

void ScheduleView::cmdPrintschedClick() { }

void ScheduleView::cmdAddbookingClick() { }

} // namespace bm
