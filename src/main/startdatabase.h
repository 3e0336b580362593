#pragma once

namespace bm
{

// At start: lays the delivered files in, then opens the database the
// settings choose. When the shared database on a server can not be used,
// one message names the server and the reason and offers the file on this
// computer instead; the choice in the settings stays as it is. False when
// nothing can be opened, or the guide would rather not use the file (the
// reason has been shown).
bool openDatabaseAtStart();

} // namespace bm
