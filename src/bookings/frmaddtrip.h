#pragma once

#include "data/recordsource.h"

#include <QWidget>

namespace bm
{

class FieldBinder;

// The trip log entry: the weather, conditions and catch of a trip, entered
// into the booking itself. Every list offers typical answers and takes typed
// text.
class FrmAddtrip : public QWidget
{
    Q_OBJECT
public:
    explicit FrmAddtrip(QWidget *parent = nullptr);

    RecordSource *data1() const { return m_data1; } // the booking

    // The entry box of a field of the booking.
    QWidget *boxFor(const QString &field) const;

    bool save();
    void cancel();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildSummary();

    RecordSource *m_data1;
    RecordSource *m_dataSpecies;
    RecordSource *m_dataLure;
    RecordSource *m_dataColor;
    FieldBinder *m_binder;
};

} // namespace bm
