#pragma once

#include "db/recordsource.h"

#include <QWidget>

namespace bm
{

class FieldBinder;
class FrmCatch;
class RecordForm;

// The trip log entry: the weather, conditions and catch of a trip, entered
// into the booking itself. Every list offers typical answers and takes typed
// text.
class FrmAddtrip : public QWidget
{
    Q_OBJECT
public:
    explicit FrmAddtrip(QWidget *parent = nullptr);

    RecordSource *booking() const { return m_booking; } // the booking

    // The entry box of a field of the booking.
    QWidget *boxFor(const QString &field) const;

    // Drops whatever is pending and starts changing the booking the
    // bookmark names. False (after telling the user) when it can not.
    bool startEdit(Bookmark booking);
    bool save();
    void cancel();

    // Catch...: the catch of the trip by angler and site, over this window.
    FrmCatch *openCatch();

private:
    QWidget *buildSummary();
    // The catch window wrote the trip's Total Fish (and perhaps its
    // Species): the change goes on from the booking as it is now, with what
    // the guide typed here and did not save yet.
    void catchSaved();

    RecordSource *m_booking;
    RecordSource *m_dataSpecies;
    RecordSource *m_dataLure;
    RecordSource *m_dataColor;
    FieldBinder *m_binder;
    RecordForm *m_form = nullptr;
    QStringList m_fields; // of the entry boxes
};

} // namespace bm
