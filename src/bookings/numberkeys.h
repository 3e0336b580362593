#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QKeyEvent;
class QWidget;

namespace bm
{

// The input filter of number boxes: a typed character other than a digit,
// the full stop or the slash is discarded with a message, and the focus
// returns to the box. Backspace and the keys that type nothing (arrows,
// Tab, Enter, shortcuts) pass. Works for line edits and editable lists.
class NumberKeyFilter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void watch(QWidget *box, const QString &message);
    static bool isAccepted(QChar typed);
    // True for a key that would type a character the number boxes refuse;
    // keys that type nothing (navigation, shortcuts) are never refused.
    static bool refuses(const QKeyEvent *key);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Watched {
        QPointer<QWidget> box;
        QString message;
    };
    QHash<QObject *, Watched> m_watched;
};

} // namespace bm
