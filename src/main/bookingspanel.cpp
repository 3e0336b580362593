#include "main/bookingspanel.h"

#include "data/recordsource.h"
#include "main/viewparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace bm
{

BookingsPanel::BookingsPanel(RecordSource &datBookings, QWidget *parent)
    : QWidget(parent)
    , m_source(datBookings)
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("PicBookings"));
    m_count->setObjectName(QStringLiteral("lblBookingcount"));

    auto *list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Select a Date"), this));
    list->addStretch(1);
    list->addWidget(m_count);

    auto *body = new QHBoxLayout;
    body->addLayout(list);
    body->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view::makeHeading(QStringLiteral("Bookings"), this));
    layout->addLayout(body, 1);

    rewriteCount();
}

void BookingsPanel::rewriteCount()
{
    m_count->setText(view::countText(m_source, QStringLiteral(" Bookings are Saved")));
}

} // namespace bm
