#pragma once

#include <QString>

class QWidget;

namespace bm::view
{

// The e-mail command of the contacts and bookings panels: hands "mailto:"
// and the address to the system's e-mail program, or says why it can not.
// name: whom the address belongs to, for the message when there is none.
void emailTo(const QString &address, const QString &name, QWidget *parent);

} // namespace bm::view
