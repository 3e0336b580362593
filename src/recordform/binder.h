#pragma once

#include "db/recordsource.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class QComboBox;

namespace bm
{

// Binds input widgets to fields of a record source's current record: they
// show it whenever it changes, and hand their values over when it is
// written. Takes line edits, combo boxes (their text), date pickers,
// multi-line boxes and labels (display only).
class FieldBinder : public QObject
{
    Q_OBJECT
public:
    FieldBinder(RecordSource *source, QObject *parent);

    // A field the record source does not have is refused: the widget stays
    // unbound, and the failure is shown, logged and kept in status(), so that
    // a misspelt name can not pass unnoticed as a box that shows and saves
    // nothing.
    void bind(QWidget *widget, const QString &field);
    // The first refused binding, or ok.
    const Status &status() const { return m_status; }
    // The first bound box, in binding order, whose text its field can not
    // hold (a date field's text that reads as no date, an amount's that
    // reads as no amount), or nullptr.
    QWidget *refusedValue() const;
    RecordSource *source() const { return m_source; }
    QList<QWidget *> widgets() const;
    QWidget *widgetFor(const QString &field) const;

    // Locked fields are read-only but still show their values and take the
    // focus.
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    // Shows the current record in every bound widget (also done on every
    // change of the record source). A record that can not be read shows
    // empty boxes and is said in a box, once until a record is read again.
    void showRecord();
    // Whether the last record shown could be read, or why not.
    const Status &readStatus() const { return m_readStatus; }
    // Hands every bound widget's value to the pending record.
    void collect();

    // The text a widget holds as the user sees it.
    static QString widgetText(const QWidget *widget);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Binding {
        QPointer<QWidget> widget;
        QString field;
    };
    static void setLockedWidget(QWidget *w, bool locked);
    void showIn(QWidget *w, const QString &field);

    RecordSource *m_source;
    QList<Binding> m_bindings;
    Status m_status;
    Status m_readStatus;
    bool m_locked = false;
};

// Fills a drop-down list with one field of every record of a record source,
// in the record source's order; the box keeps taking typed text. When the
// values can not be read the box keeps its entries and the failure is shown
// (the record source has logged it) and returned.
Status fillList(QComboBox *box, const RecordSource &source, const QString &field);

// Makes a drop-down list take typed text, kept as typed (no insertion into
// the list, no completion into a listed entry).
void takeTypedText(QComboBox *box);

// Fills a drop-down list with fixed entries; the box also takes typed text.
void fillList(QComboBox *box, const QStringList &entries);

// The 52 state codes of the state lists, in their order.
const QStringList &stateCodes();

} // namespace bm
