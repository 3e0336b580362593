#pragma once

#include "db/recordsource.h"
#include "platform/messages.h"
#include "recordform/binder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QIcon;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolBar;
class QWidget;

namespace bm
{

// The commands every record form knows. A screen offers any of them.
enum class FormCommand { Add, Edit, Save, Cancel, Delete, Back, Next, First, Last };

// The command a toolbar key stands for, or nothing for a screen's own key
// ("Print", "Help", "Exit", "Find").
std::optional<FormCommand> commandForKey(const QString &key);

// One message box of a record form: its text and caption. An empty text shows
// no box.
struct FormMessage {
    QString text;
    QString caption = QStringLiteral("Brindlemoor");
};

// The texts of a record form, built from the item name (X) and each
// overridable.
struct FormTexts {
    FormMessage firstRecord; // "This is the first X."
    FormMessage lastPosition; // "This is the last X."
    FormMessage emptyEntry; // "Please enter a X or click Cancel."
    FormMessage saved; // "X saved."
    FormMessage lastRecord; // three lines: can not be deleted / can edit / at least one record
    FormMessage deleteQuestion { {}, QStringLiteral("Delete Information") };
    FormMessage cancelled; // none unless a screen names one
    // Closing the window while a record is pending: with a text, the box and
    // the window stays open; without one the pending record is dropped.
    FormMessage closeWhileEditing;

    // Messages built from one item name.
    static FormTexts forItem(const QString &itemName);
    // The three lines of the last-record message.
    static QString lastRecordLines(const QString &itemName,
        const QString &thirdLine = QStringLiteral("At least one record has to be present at all times."));
};

// One position of a toolbar screen's toolbar, in order: a button with its
// key, caption and tooltip (its picture is the key's), or a separator (an empty key). The key
// decides the command (commandForKey) and so when the button is enabled:
// Save and Undo/Cancel in edit mode only, every other button in browse mode
// only, unless the position says otherwise.
struct ToolbarPosition {
    enum class Enabled { ByKey, Browse, Edit, Always };

    ToolbarPosition() = default;
    ToolbarPosition(QString key, QString caption, QString tooltip = {}, Enabled enabled = Enabled::ByKey)
        : key(std::move(key))
        , caption(std::move(caption))
        , tooltip(std::move(tooltip))
        , enabled(enabled)
    {
    }

    QString key; // empty: a separator
    QString caption;
    QString tooltip;
    Enabled enabled = Enabled::ByKey;

    static ToolbarPosition separator() { return {}; }
    bool isSeparator() const { return key.isEmpty(); }
};

// Fills the toolbar with the table's positions, in order. Each button is a
// QAction whose data() is its key and whose objectName is "tb" + key (blanks
// removed); the toolbar shows captions under the icons.
void buildToolbar(QToolBar *toolbar, const QList<ToolbarPosition> &positions);

// The picture of a record toolbar's key ("New", "Save", "Print"...) in the
// widget's style, or none for a key of a screen's own.
QIcon toolbarPicture(const QString &key, const QWidget *widget);

// The frame of the four moves: a titled box with First, Back, Next and Last
// in a row. The buttons are named cmdFirst, cmdBack, cmdNext and cmdLast,
// each followed by a window's suffix ("cmdFirstB"), and are never default
// buttons.
struct NavigationFrame {
    // "<< First", "< Back", "Next >", "Last >>", or the plain words.
    enum class Captions { Arrows, Plain };

    NavigationFrame(const QString &title, const QString &name, QWidget *parent,
        Captions captions = Captions::Arrows, const QString &suffix = {});

    QPushButton *button(FormCommand move) const;

    QGroupBox *box;
    QList<QPair<FormCommand, QPushButton *>> moves; // in their order
};

// The look of the notice a window shows while a record is edited: a framed
// warning; keepPlace keeps its room while it is hidden, so that the window
// keeps its size in both modes.
void styleEditNotice(QLabel *notice, int margin = 4, bool keepPlace = true);

// The "Menu" frame (Frame2) of a small record window: New, Edit, Delete,
// Save and Cancel in a column (cmdAdd, cmdEdit, cmdDelete, cmdSave, cmdUndo).
struct CommandMenu {
    explicit CommandMenu(QWidget *parent);

    QGroupBox *box;
    QList<QPair<FormCommand, QPushButton *>> commands; // in their order
};

// Where the form stands after a successful Save. Reread: the record source
// reads its records again and returns to the record just saved.
enum class Reposition { None, MoveLast, LastModified, Reread };

// Everything a screen declares about one record form. The form itself runs
// the protocol: the two modes, the steps of each command and their messages.
struct FormDeclaration {
    RecordSource *source = nullptr;
    FieldBinder *binder = nullptr;
    // Save refuses an exactly empty text here; without one Save tests nothing.
    QWidget *keyField = nullptr;
    // Focus when a new record or a change begins (both default to the key field).
    QWidget *focusOnAdd = nullptr;
    QWidget *focusOnEdit = nullptr;
    bool selectAllOnEdit = false; // Edit selects the whole text of focusOnEdit
    FormTexts texts;
    // The delete question from the current record ("... delete Ann Lee ?");
    // when set it replaces texts.deleteQuestion.text.
    std::function<QString()> deleteQuestionText;

    Reposition afterSave = Reposition::None;
    // Other windows following the table read it again after a save but keep
    // their place (a screen that re-reads no other window).
    bool othersKeepPlace = false;
    bool focusAfterSave = false; // into the key field (or focusOnAdd)
    bool focusAfterCancel = false; // likewise

    // Disabled in edit mode, enabled in browse mode: the window's Close, Help
    // and page switches, its sibling panels and navigation frames. Widgets or
    // QActions.
    QList<QObject *> windowCommands;
    QList<QWidget *> siblingPanels;
    QWidget *editNotice = nullptr; // shown only in edit mode

    // A count label: the record count followed directly by countText, set when the
    // form opens, after Save and after a deletion.
    QLabel *countLabel = nullptr;
    QString countText;

    // Edit on a record source without records starts a new record instead
    // (a one-record table that has lost its record).
    bool editAddsWhenEmpty = false;

    // Save's own check after the key field's: a screen's further tests and
    // computations (it shows its own message). False keeps the form in edit
    // mode with the record pending; nothing is written.
    std::function<bool()> validate;

    // Screen departures, each optional.
    std::function<void(bool editing)> modeChanged; // after the mode's element states are set
    std::function<void(FormCommand)> editStarted; // after Add or Edit entered edit mode
    std::function<void()> saved; // after a save and the return to browse mode (closing)
    std::function<void()> cancelled; // after Cancel and the return to browse mode (closing)
    std::function<void()> deleted; // after a deletion and its move
    std::function<void()> countChanged; // a count other than countLabel to rewrite
    std::function<void(const QString &key)> ownCommand; // a toolbar key that is no form command
};

// The record form: one record source, bound fields and the fixed commands.
// Command buttons or toolbar actions are attached by command; every other
// element of the mode table comes from the declaration.
class RecordForm : public QObject
{
    Q_OBJECT
public:
    // window: the window the form belongs to (parent of its message boxes;
    // closing it by its frame drops a pending record).
    RecordForm(FormDeclaration declaration, QWidget *window);

    // A button (clicked) or an action (triggered) runs the command.
    void attach(FormCommand command, QObject *buttonOrAction);
    // The four buttons of a navigation frame.
    void attach(const NavigationFrame &frame);
    // The toolbar variant: one handler reads the clicked action's key
    // (its data(), else its text) and runs that command or the screen's own.
    void attachToolbar(QToolBar *toolbar);
    // Builds the toolbar from the table, then attaches it.
    void attachToolbar(QToolBar *toolbar, const QList<ToolbarPosition> &positions);

    bool isEditing() const { return m_editing; }
    RecordSource *source() const { return m_decl.source; }
    const FormDeclaration &declaration() const { return m_decl; }

    // The commands, as the buttons run them.
    void run(FormCommand command);
    void runKey(const QString &key);
    void add();
    void edit();
    bool save(); // true when written
    void cancel();
    void deleteRecord();
    void back();
    void next();
    void first();
    void last();

    // Sets the count label (and the screen's own count) from the record count.
    void rewriteCount();
    // Drops a pending record and returns to browse mode (closing by the
    // frame, a window that goes away).
    void dropPending();

signals:
    void modeChanged(bool editing);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void enterEditMode(FormCommand how);
    void setMode(bool editing);
    void setCommandsEnabled(bool editing);
    void show(const FormMessage &m, platform::Icon icon) const;
    bool report(const Status &s) const; // false (and a box) on failure
    // The number of records; false (and a box) when they can not be counted.
    bool counted(int &n) const;
    void showCount(); // the count label, when the form has one
    Status write(); // Update, marked as the form's own write
    QWidget *addFocus() const;
    QWidget *editFocus() const;
    void focusInto(QWidget *w, bool selectAll) const;
    void clearSelection(QWidget *w) const;

    FormDeclaration m_decl;
    QPointer<QWidget> m_window;
    QHash<int, QList<QPointer<QObject>>> m_commands; // by FormCommand
    QList<QPointer<QObject>> m_ownToolbarActions;
    // Toolbar buttons whose position fixes their enabling, and how.
    QList<QPair<QPointer<QObject>, ToolbarPosition::Enabled>> m_fixedActions;
    bool m_editing = false;
};

// Enables or disables a widget or an action.
void setObjectEnabled(QObject *object, bool enabled);

} // namespace bm
