#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace bm
{

// Before the guide's changes in a settings window would be lost (the window
// closes, another text is chosen) it asks "Save the changes to <what>?"
// with Yes, No and Cancel. Yes saves with save. True when the window may go
// on: the changes are saved or let go; false when it stays as it is: Cancel,
// or a save that failed (and said why).
bool settleChanges(
    const QString &what, const QString &caption, const std::function<bool()> &save, QWidget *parent);

// Calls reread, for as long as receiver lives, each time a record of table
// in the program's database is written, here or at another desk.
void onTableChanged(QObject *receiver, const char *table, std::function<void()> reread);

} // namespace bm
