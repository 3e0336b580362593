#pragma once

#include "core/status.h"

#include <QLoggingCategory>
#include <QString>

class QWidget;

// The failures the windows show are written to the log as well, under this
// category ("bm.windows").
Q_DECLARE_LOGGING_CATEGORY(lcWindows)

namespace bm::platform
{

// Shows the failure's message in the plain warning box and logs it. Nothing
// happens for a success. Returns whether s succeeded.
bool reportFailure(const Status &s, QWidget *parent = nullptr);

// Logs a failure that is shown by its own, fixed message.
void logFailure(const Status &s);

} // namespace bm::platform
