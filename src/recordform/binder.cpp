#include "recordform/binder.h"

#include "db/fieldvalue.h"
#include "platform/failures.h"
#include "platform/messages.h"
#include "recordform/datepicker.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace bm
{

FieldBinder::FieldBinder(RecordSource *source, QObject *parent)
    : QObject(parent)
    , m_source(source)
{
    connect(source, &RecordSource::currentChanged, this, &FieldBinder::showRecord);
    connect(source, &RecordSource::aboutToWrite, this, &FieldBinder::collect);
}

void FieldBinder::bind(QWidget *widget, const QString &field)
{
    if (!m_source->hasField(field)) {
        const Status refused = Status::failure(QStringLiteral("The box %1 can not show the field %2: table "
                                                              "%3 has no such field.")
                                                   .arg(widget->objectName(), field, m_source->tableName()));
        if (m_status)
            m_status = refused;
        platform::reportFailure(refused, widget->window());
        return;
    }
    m_bindings.append({ widget, field });
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        takeTypedText(combo);
        combo->installEventFilter(this);
        if (combo->lineEdit())
            combo->lineEdit()->installEventFilter(this);
    }
    setLockedWidget(widget, m_locked);
    showIn(widget, field);
}

QList<QWidget *> FieldBinder::widgets() const
{
    QList<QWidget *> list;
    for (const Binding &b : m_bindings)
        if (b.widget)
            list << b.widget;
    return list;
}

QWidget *FieldBinder::widgetFor(const QString &field) const
{
    for (const Binding &b : m_bindings)
        if (b.field == field)
            return b.widget;
    return nullptr;
}

void FieldBinder::setLockedWidget(QWidget *w, bool locked)
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setReadOnly(locked);
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        p->setReadOnly(locked);
    else if (auto *t = qobject_cast<QTextEdit *>(w))
        t->setReadOnly(locked);
    else if (auto *d = qobject_cast<QAbstractSpinBox *>(w))
        d->setReadOnly(locked);
    else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (c->lineEdit())
            c->lineEdit()->setReadOnly(locked);
        c->setProperty("bmLocked", locked);
    }
}

void FieldBinder::setLocked(bool locked)
{
    m_locked = locked;
    for (QWidget *w : widgets())
        setLockedWidget(w, locked);
}

// A locked drop-down list neither opens nor steps through its entries.
bool FieldBinder::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *w = qobject_cast<QWidget *>(watched);
    QComboBox *combo = qobject_cast<QComboBox *>(w);
    if (!combo && w)
        combo = qobject_cast<QComboBox *>(w->parentWidget());
    if (combo && combo->property("bmLocked").toBool()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return watched == combo;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
                || key == Qt::Key_PageDown || key == Qt::Key_F4;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void FieldBinder::showIn(QWidget *w, const QString &field)
{
    if (!w)
        return;
    if (auto *d = qobject_cast<DatePicker *>(w)) {
        d->setValue(m_source->value(field).toDate());
        return;
    }
    const QString text = m_source->text(field);
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(text), e->setCursorPosition(0);
    else if (auto *c = qobject_cast<QComboBox *>(w))
        c->setEditText(text);
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        p->setPlainText(text);
    else if (auto *t = qobject_cast<QTextEdit *>(w))
        t->setPlainText(text);
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (auto *de = qobject_cast<QDateEdit *>(w))
        de->setDate(m_source->value(field).toDate());
}

void FieldBinder::showRecord()
{
    // A pending record shows what is pending; otherwise the current record
    // must be read before its blanks mean empty fields.
    const Status read
        = m_source->editMode() == RecordSource::EditMode::None ? m_source->readCurrent() : Status::ok();
    for (const Binding &b : std::as_const(m_bindings))
        showIn(b.widget, b.field);
    const bool newFailure = !read && m_readStatus;
    m_readStatus = read;
    if (!newFailure || m_bindings.isEmpty())
        return;
    // Said once until a record is read again (the record source has logged
    // it), after the change that found it: the box must not open while the
    // record source is still moving.
    QMetaObject::invokeMethod(
        this,
        [this, message = read.message()] {
            QWidget *first = widgets().value(0);
            platform::warn(QStringLiteral("The record can not be shown. %1").arg(message),
                first ? first->window() : nullptr);
        },
        Qt::QueuedConnection);
}

// The text of a multi-line box as typed: non-breaking blanks and line
// separators stay what they are (the document's plain text would turn them
// into blanks and line feeds); each paragraph ends in a line feed.
static QString typedText(const QTextDocument *document)
{
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString FieldBinder::widgetText(const QWidget *w)
{
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return c->currentText();
    if (auto *p = qobject_cast<const QPlainTextEdit *>(w))
        return typedText(p->document());
    if (auto *t = qobject_cast<const QTextEdit *>(w))
        return typedText(t->document());
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *d = qobject_cast<const QDateEdit *>(w))
        return d->text();
    return {};
}

QWidget *FieldBinder::refusedValue() const
{
    for (const Binding &b : m_bindings) {
        if (!b.widget || qobject_cast<QLabel *>(b.widget) || qobject_cast<DatePicker *>(b.widget)
            || qobject_cast<QDateEdit *>(b.widget))
            continue;
        const QString text = widgetText(b.widget);
        if (text.trimmed().isEmpty())
            continue; // no value
        QVariant typed;
        if (!fieldvalue::fromInput(FieldDef { b.field, m_source->kind(b.field) }, text, typed))
            return b.widget;
    }
    return nullptr;
}

void FieldBinder::collect()
{
    for (const Binding &b : std::as_const(m_bindings)) {
        if (!b.widget || qobject_cast<QLabel *>(b.widget))
            continue;
        // Only a field the record source does not have is refused here (the
        // values themselves are tested when they are written): said, not
        // lost in silence.
        Status handed;
        if (auto *d = qobject_cast<DatePicker *>(b.widget))
            handed = m_source->setValue(b.field, d->value());
        else if (auto *de = qobject_cast<QDateEdit *>(b.widget))
            handed = m_source->setValue(b.field, de->date());
        else
            handed = m_source->setValue(b.field, widgetText(b.widget));
        platform::reportFailure(handed, b.widget->window());
    }
}

Status fillList(QComboBox *box, const RecordSource &source, const QString &field)
{
    QVector<QPair<Bookmark, QString>> rows;
    const Status read = source.columnValues(field, rows);
    if (!read) { // the list keeps its entries: an outage is not an empty list
        platform::warn(read.message(), box->window());
        return read;
    }
    QStringList entries;
    for (const auto &row : std::as_const(rows))
        entries << row.second;
    fillList(box, entries);
    return read;
}

void takeTypedText(QComboBox *box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is stored as typed: "Gust" is not completed into "Gusty".
    box->setCompleter(nullptr);
}

void fillList(QComboBox *box, const QStringList &entries)
{
    const QString text = box->currentText();
    takeTypedText(box);
    box->clear();
    box->addItems(entries);
    box->setEditText(text);
}

const QStringList &stateCodes()
{
    static const QStringList codes { "AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FL", "GA", "HI",
        "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD", "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV",
        "NH", "NJ", "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "PR", "RI", "SC", "SD", "TN", "TX", "UT",
        "VT", "VA", "WA", "WV", "WI", "WY" };
    return codes;
}

} // namespace bm
