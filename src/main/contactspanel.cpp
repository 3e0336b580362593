#include "main/contactspanel.h"

#include "data/recordsource.h"
#include "main/viewparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace bm
{

ContactsPanel::ContactsPanel(RecordSource &datContacts, QWidget *parent)
    : QWidget(parent)
    , m_source(datContacts)
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("PicContacts"));
    m_count->setObjectName(QStringLiteral("lblContactcount"));

    auto *list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Select a Name"), this));
    list->addStretch(1);
    list->addWidget(m_count);

    auto *body = new QHBoxLayout;
    body->addLayout(list);
    body->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view::makeHeading(QStringLiteral("Contacts"), this));
    layout->addLayout(body, 1);

    rewriteCount();
}

void ContactsPanel::rewriteCount()
{
    m_count->setText(view::countText(m_source, QStringLiteral(" Contacts are Saved")));
}

} // namespace bm
