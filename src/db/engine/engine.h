#pragma once

// The file's engine itself, for the database layer's own files only: no other
// code reaches the engine but through them (cmake/Layers.cmake holds it so).

#include "core/status.h"

#include <QString>

#include <functional>

struct sqlite3;

namespace bm::db
{

// The engine's handle of the program's connection to the file, opened (and
// checked) on first use; null, with the reason, when it can not be opened.
sqlite3 *engine(const QString &path, Status *status);

// Every connection the gateway opens distrusts the file: the schema's own
// code can not call functions with side effects, the file's schema can not be
// written as data, no extension can be loaded and no FTS3 tokenizer pointer
// handed over, and no single value may grow past maxValueBytes.
void distrust(sqlite3 *handle, int maxValueBytes);

// How long a connection to the file waits for another connection's write
// (another window's, another program's) before it gives up with "busy".
inline constexpr int busyTimeoutMs = 5000;

// The length of the longest value the program's connections read or write:
// far above any note or page a guide writes, far below what would exhaust
// memory.
inline constexpr int maxValueBytes = 16 * 1024 * 1024;

// A connection of its own to a whole file, for the file operations (backup,
// restore, repair): opened guarded, closed when it goes.
class FileEngine
{
public:
    FileEngine() = default;
    FileEngine(const FileEngine &) = delete;
    FileEngine &operator=(const FileEngine &) = delete;
    ~FileEngine() { close(); }

    // Opens an existing file and reads its schema, which also rolls back
    // what a crash left half written. progress is called now and then while
    // the engine works.
    [[nodiscard]] Status open(const QString &path, std::function<void()> progress = {});
    // Every page and index of the file is sound.
    bool intact();
    // Writes a compacted copy of the file to target (an empty file there is
    // replaced).
    [[nodiscard]] Status compactInto(const QString &target);
    void close();

private:
    Status failure(const QString &what) const;
    static int onProgress(void *self);

    sqlite3 *m_db = nullptr;
    std::function<void()> m_progress;
};

} // namespace bm::db
