#include "bookings/numberkeys.h"

#include "platform/messages.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace bm
{

void NumberKeyFilter::watch(QWidget *box, const QString &message)
{
    m_watched.insert(box, { box, message });
    box->installEventFilter(this);
    // An editable list hands its keys to its line edit directly.
    if (auto *combo = qobject_cast<QComboBox *>(box); combo && combo->lineEdit()) {
        m_watched.insert(combo->lineEdit(), { box, message });
        combo->lineEdit()->installEventFilter(this);
    }
}

bool NumberKeyFilter::isAccepted(QChar typed)
{
    const char16_t c = typed.unicode();
    return c == 8 || c == u'.' || c == u'/' || (c >= u'0' && c <= u'9');
}

bool NumberKeyFilter::refuses(const QKeyEvent *key)
{
    // The line edit's own rule: control keys are shortcuts, not text.
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    for (QChar c : key->text())
        if (c.isPrint() && !isAccepted(c))
            return true;
    return false;
}

bool NumberKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto it = m_watched.constFind(watched);
    if (it == m_watched.constEnd() || !it->box)
        return QObject::eventFilter(watched, event);
    if (!refuses(static_cast<QKeyEvent *>(event)))
        return QObject::eventFilter(watched, event);
    QPointer<QWidget> box = it->box;
    const QString message = it->message;
    platform::warn(message, box ? box->window() : nullptr);
    if (box)
        box->setFocus();
    return true;
}

} // namespace bm
