#pragma once

#include "calsync/courier.h"

#include <memory>

namespace bm
{

// The program's calendar sync: the settings of Options > Calendar Sync with
// the password from the keyring, the program's database, the busy times
// kept in it for the guide chosen, and each round's state kept for the
// window. It starts at once and is the program's courier while it lives.
std::unique_ptr<calsync::Courier> startCalendarCourier(QObject *parent = nullptr);

} // namespace bm
