#pragma once

#include <QObject>
#include <QString>

namespace bm
{

// Tells every window that the rows of a table have changed (a record was
// written or deleted through any record source), so that lists, grids and
// counts over that table read themselves again. Windows connect to it; no
// window refreshes another.
class DataChanges : public QObject
{
    Q_OBJECT
public:
    static DataChanges &instance();

    // Said by the data layer after a write to the table of the file at location.
    void notify(const QString &location, const QString &table);
    // Said when another desk has written to the table of the shared
    // database at location (or may have, while this desk could not hear).
    void notifyFromElsewhere(const QString &location, const QString &table);
    // Whether the change being said came from another desk: whoever follows
    // it reads again but keeps the guide's place, which no one here moved.
    bool fromElsewhere() const { return m_elsewhere; }
    // Said by the data layer when a change could not be written and no
    // caller is left to tell (a record source closing).
    void notifyLostChange(const QString &location, const QString &table, const QString &message);

signals:
    void tableChanged(const QString &location, const QString &table);
    // message: in a guide's words, ready to be shown.
    void changeLost(const QString &location, const QString &table, const QString &message);

private:
    DataChanges() = default;
    bool m_elsewhere = false;
};

} // namespace bm
