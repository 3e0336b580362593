#pragma once

// The database engine itself, for the gateway's own files only (database.cpp,
// query.cpp, readonly.cpp and the schema's inspection and migrations): no
// other code reaches the engine but through them.

#include "data/status.h"

#include <QString>

struct sqlite3;

namespace bm::database
{

// The engine's handle of the program's connection to the file, opened (and
// checked) on first use; null, with the reason, when it can not be opened.
sqlite3 *engine(const QString &path, Status *status);

// Every connection the gateway opens distrusts the file: the schema's own
// code can not call functions with side effects, the file's schema can not be
// written as data, no extension can be loaded and no FTS3 tokenizer pointer
// handed over, and no single value may grow past maxValueBytes.
void distrust(sqlite3 *handle, int maxValueBytes);

// The length of the longest value the program's connections read or write:
// far above any note or page a guide writes, far below what would exhaust
// memory.
inline constexpr int maxValueBytes = 16 * 1024 * 1024;

} // namespace bm::database
