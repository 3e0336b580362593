#pragma once

class QObject;

namespace bm
{
class RecordSource;
}

namespace bm::platform
{

// Keeps a record source of the program's database in step with its table:
// after a record of that table is written or deleted through any other
// record source, it re-reads itself (Refresh, which puts it on its first
// record), and every list, grid and count over it follows. It never drops a
// record pending in it, and leaves alone a write made through itself inside
// an OwnWrite: the window that made it places the record source itself.
// After a change another desk made it stays on its record.
void followTable(RecordSource &source);

// Marks the writes a window makes through its own record source, for as long
// as it lives (the record form marks its saves and deletions).
class OwnWrite
{
public:
    explicit OwnWrite(RecordSource *source);
    ~OwnWrite();
    OwnWrite(const OwnWrite &) = delete;
    OwnWrite &operator=(const OwnWrite &) = delete;

    static bool isActive(const RecordSource &source);

private:
    RecordSource *m_source;
};

// Marks writes after which the followers keep their place: they read the
// records again but stay on the record they stood on (where it still
// exists). The invoice and the picture viewer write to a booking without
// moving the guide's place in the main window.
class KeepPlace
{
public:
    KeepPlace();
    ~KeepPlace();
    KeepPlace(const KeepPlace &) = delete;
    KeepPlace &operator=(const KeepPlace &) = delete;

    static bool isActive();

private:
    static int s_depth;
};

} // namespace bm::platform
