#pragma once

#include "recordform/recordform.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolBar;

namespace bm
{

// One field of a gear page: its control, label, bound field and kind, and
// the group it stands in (an index into the page's groups, or -1).
struct GearField {
    enum Kind { Line, Notes, ItemList };
    QString control; // "Text1"
    QString label; // "Make:"
    QString field; // "Reel Make"
    Kind kind = Line;
    int group = -1;
};

// One page of the gear window, as data: where its records live, its
// fields, its toolbar and navigation frame, and its texts.
struct GearPageDef {
    QString caption; // the tab: "Rods and Reels"
    QString source; // "Data1"
    QString table; // "Rods"
    QStringList groups; // "Reels", "Rods"; empty for one plain group
    QList<GearField> fields; // in keyboard order
    QString hint; // a line of help under the fields, or empty
    QString toolbar; // "Toolbar1"
    QString tipNew; // the tooltips of the toolbar's New, Edit and Delete
    QString tipEdit;
    QString tipDelete;
    QString frame; // "Frame5"
    QString navSuffix; // "", "B", "E": cmdFirst + suffix ...
    QString itemName; // "Rod and Reel": the refusal and the delete question
    QString navItemName; // "Rod and Reel": "This is the first X."
    QString countText; // " Rods and Reels are saved."
    QColor colour; // of the count line while the page is chosen
    QString report; // "rods.rpt"
    QString helpTopic; // "2600"
    QString focusOnAdd; // control names
    QString focusOnEdit; // its whole text selected
};

// The three pages, in the order of their tabs.
const QList<GearPageDef> &gearPageDefs();

// The nine positions of a page's toolbar: five editing buttons, a gap, and
// Print, Help and Exit.
QList<ToolbarPosition> gearToolbarPositions(const GearPageDef &def);

// The texts of a page's record form.
FormTexts gearTexts(const GearPageDef &def);

// The list of the equipment item field; it also takes typed text.
const QStringList &equipmentItems();

// One page: its toolbar, its fields in their groups, and the "Select" frame
// with First, Back, Next and Last. Its record source belongs to the window;
// its count goes to the window's count line.
class GearPage : public QWidget
{
    Q_OBJECT
public:
    GearPage(const GearPageDef &def, QWidget *window, QLabel *countLine, QWidget *parent);

    const GearPageDef &def() const { return m_def; }
    RecordSource *source() const { return m_source; }
    RecordForm *form() const { return m_form; }
    QToolBar *toolbar() const { return m_toolbar; }
    QGroupBox *frame() const { return m_frame->box; }
    QWidget *control(const QString &name) const { return m_controls.value(name); }
    QPushButton *navigation(FormCommand command) const { return m_frame->button(command); }
    QAction *action(const QString &key) const;

    // The record count of the page's table and its count text ("?" and the
    // reason when it can not be counted); shown: the line as it stands.
    QString countLine(const QString &shown) const;

private:
    QWidget *makeFields();
    QGroupBox *makeFrame();
    void makeForm(QLabel *countLine);
    void ownCommand(const QString &key);

    GearPageDef m_def;
    QWidget *m_window;
    RecordSource *m_source;
    FieldBinder *m_binder;
    QToolBar *m_toolbar;
    std::optional<NavigationFrame> m_frame;
    QHash<QString, QWidget *> m_controls;
    RecordForm *m_form = nullptr;
};

} // namespace bm
