#pragma once

#include "recordform/recordform.h"

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QToolBar;

namespace bm
{

// One field of a fishing pattern: its control, label, field and, for the
// drop-down lists, the fixed choices in their order.
struct PatternField {
    QString control; // "Combo1"
    QString label; // "Month:"
    QString field; // "Month"
    QStringList choices; // empty for a text field
    bool multiLine = false;
};

// "Fishing Patterns": one pattern at a time from Patterns, moved through
// with the four buttons of "Select a Pattern", changed from the toolbar. The
// main window is hidden while it is open and shows again when it closes.
class FrmPatterns : public QWidget
{
    Q_OBJECT
public:
    explicit FrmPatterns(QWidget *parent = nullptr);

    // The ten positions of the toolbar, separators included.
    static const QList<ToolbarPosition> &toolbarPositions();
    // The eleven fields in keyboard order.
    static const QList<PatternField> &fields();

    RecordSource *patterns() const { return m_patterns; }
    RecordForm *form() const { return m_form; }
    QToolBar *toolbar() const { return m_toolbar; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void writeCaption();
    void ownCommand(const QString &key);

    RecordSource *m_patterns;
    QToolBar *m_toolbar;
    QLineEdit *m_lake = nullptr; // Text1
    std::optional<NavigationFrame> m_navigation; // "Select a Pattern"
    RecordForm *m_form = nullptr;
};

} // namespace bm
