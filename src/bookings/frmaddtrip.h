#pragma once

#include "db/recordsource.h"

#include <QWidget>

namespace bm
{

class FieldBinder;
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

private:
    QWidget *buildSummary();

    RecordSource *m_booking;
    RecordSource *m_dataSpecies;
    RecordSource *m_dataLure;
    RecordSource *m_dataColor;
    FieldBinder *m_binder;
    RecordForm *m_form = nullptr;
};

} // namespace bm
