#include "recordform/recordform.h"

#include "platform/countline.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/help.h"
#include "recordform/commandbutton.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

namespace bm
{

using platform::Icon;

std::optional<FormCommand> commandForKey(const QString &key)
{
    static const QHash<QString, FormCommand> keys {
        { QStringLiteral("New"), FormCommand::Add },
        { QStringLiteral("Edit"), FormCommand::Edit },
        { QStringLiteral("Undo"), FormCommand::Cancel },
        { QStringLiteral("Cancel"), FormCommand::Cancel },
        { QStringLiteral("Save"), FormCommand::Save },
        { QStringLiteral("Delete"), FormCommand::Delete },
        { QStringLiteral("Back"), FormCommand::Back },
        { QStringLiteral("Next"), FormCommand::Next },
        { QStringLiteral("First"), FormCommand::First },
        { QStringLiteral("Last"), FormCommand::Last },
    };
    const auto it = keys.constFind(key);
    if (it == keys.constEnd())
        return std::nullopt;
    return *it;
}

QString FormTexts::lastRecordLines(const QString &itemName, const QString &thirdLine)
{
    return QStringLiteral("This ") + itemName + QStringLiteral(" can not be deleted.\nYou can edit this ")
        + itemName + QStringLiteral(".\n") + thirdLine;
}

FormTexts FormTexts::forItem(const QString &itemName)
{
    FormTexts t;
    t.firstRecord.text = QStringLiteral("This is the first ") + itemName + QLatin1Char('.');
    t.lastPosition.text = QStringLiteral("This is the last ") + itemName + QLatin1Char('.');
    t.emptyEntry.text = QStringLiteral("Please enter a ") + itemName + QStringLiteral(" or click Cancel.");
    t.saved.text = itemName + QStringLiteral(" saved.");
    t.lastRecord.text = lastRecordLines(itemName);
    t.deleteQuestion.text
        = QStringLiteral("Are you sure you want to delete this ") + itemName + QLatin1Char('?');
    return t;
}

void setObjectEnabled(QObject *object, bool enabled)
{
    if (auto *w = qobject_cast<QWidget *>(object))
        w->setEnabled(enabled);
    else if (auto *a = qobject_cast<QAction *>(object))
        a->setEnabled(enabled);
}

RecordForm::RecordForm(FormDeclaration declaration, QWidget *window)
    : QObject(window)
    , m_decl(std::move(declaration))
    , m_window(window)
{
    Q_ASSERT(m_decl.source);
    if (m_window)
        m_window->installEventFilter(this);
    // A form opens in browse mode, its fields locked from the start.
    setMode(false);
    showCount();
}

void RecordForm::attach(FormCommand command, QObject *object)
{
    if (!object)
        return;
    m_commands[int(command)].append(object);
    if (auto *b = qobject_cast<QAbstractButton *>(object))
        connect(b, &QAbstractButton::clicked, this, [this, command] { run(command); });
    else if (auto *a = qobject_cast<QAction *>(object))
        connect(a, &QAction::triggered, this, [this, command] { run(command); });
    setCommandsEnabled(m_editing);
}

void RecordForm::attach(const NavigationFrame &frame)
{
    for (const auto &[move, button] : frame.moves)
        attach(move, button);
}

NavigationFrame::NavigationFrame(
    const QString &title, const QString &name, QWidget *parent, Captions captions, const QString &suffix)
    : box(new QGroupBox(title, parent))
{
    box->setObjectName(name);
    auto *row = new QHBoxLayout(box);
    struct Move {
        FormCommand command;
        const char *name;
        const char *arrows;
        const char *plain;
    };
    static const Move all[] = { { FormCommand::First, "cmdFirst", "<< First", "First" },
        { FormCommand::Back, "cmdBack", "< Back", "Back" },
        { FormCommand::Next, "cmdNext", "Next >", "Next" },
        { FormCommand::Last, "cmdLast", "Last >>", "Last" } };
    for (const Move &m : all) {
        const bool arrows = captions == Captions::Arrows;
        QPushButton *b = commandButton(
            QString::fromLatin1(m.name) + suffix, QString::fromLatin1(arrows ? m.arrows : m.plain), box);
        if (arrows)
            b->setMinimumWidth(90);
        row->addWidget(b);
        moves.append({ m.command, b });
    }
}

void styleEditNotice(QLabel *notice, int margin, bool keepPlace)
{
    notice->setAlignment(Qt::AlignCenter);
    notice->setFrameShape(QFrame::Box);
    notice->setMargin(margin);
    notice->setStyleSheet(QStringLiteral("QLabel { background: #ffffc0; color: #a00000; }"));
    if (keepPlace) {
        QSizePolicy policy = notice->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        notice->setSizePolicy(policy);
    }
}

CommandMenu::CommandMenu(QWidget *parent)
    : box(new QGroupBox(QStringLiteral("Menu"), parent))
{
    box->setObjectName(QStringLiteral("Frame2"));
    auto *column = new QVBoxLayout(box);
    struct Command {
        FormCommand command;
        const char *name;
        const char *caption;
    };
    static const Command all[] = { { FormCommand::Add, "cmdAdd", "&New" },
        { FormCommand::Edit, "cmdEdit", "&Edit" }, { FormCommand::Delete, "cmdDelete", "&Delete" },
        { FormCommand::Save, "cmdSave", "&Save" }, { FormCommand::Cancel, "cmdUndo", "C&ancel" } };
    for (const Command &c : all) {
        QPushButton *b = commandButton(QString::fromLatin1(c.name), QString::fromLatin1(c.caption), box);
        column->addWidget(b);
        commands.append({ c.command, b });
    }
    column->addStretch(1);
}

QPushButton *NavigationFrame::button(FormCommand move) const
{
    for (const auto &[command, b] : moves)
        if (command == move)
            return b;
    return nullptr;
}

static QString keyOf(const QAction *a)
{
    const QString key = a->data().toString();
    return key.isEmpty() ? a->text() : key;
}

QIcon toolbarPicture(const QString &key, const QWidget *widget)
{
    // The desktop's icon of the command, else the style's nearest picture.
    static const QHash<QString, QPair<const char *, QStyle::StandardPixmap>> pictures {
        { QStringLiteral("New"), { "document-new", QStyle::SP_FileIcon } },
        { QStringLiteral("Edit"), { "document-properties", QStyle::SP_FileDialogDetailedView } },
        { QStringLiteral("Cancel"), { "edit-undo", QStyle::SP_DialogCancelButton } },
        { QStringLiteral("Undo"), { "edit-undo", QStyle::SP_DialogCancelButton } },
        { QStringLiteral("Save"), { "document-save", QStyle::SP_DialogSaveButton } },
        { QStringLiteral("Delete"), { "edit-delete", QStyle::SP_TrashIcon } },
        { QStringLiteral("First"), { "go-first", QStyle::SP_MediaSkipBackward } },
        { QStringLiteral("Back"), { "go-previous", QStyle::SP_ArrowBack } },
        { QStringLiteral("Next"), { "go-next", QStyle::SP_ArrowForward } },
        { QStringLiteral("Last"), { "go-last", QStyle::SP_MediaSkipForward } },
        { QStringLiteral("Find"), { "edit-find", QStyle::SP_FileDialogContentsView } },
        { QStringLiteral("Print"), { "document-print", QStyle::SP_FileDialogListView } },
        { QStringLiteral("Help"), { "help-browser", QStyle::SP_DialogHelpButton } },
        { QStringLiteral("Exit"), { "application-exit", QStyle::SP_DialogCloseButton } },
    };
    const auto it = pictures.constFind(key);
    if (it == pictures.constEnd())
        return {};
    return QIcon::fromTheme(
        QString::fromLatin1(it->first), widget->style()->standardIcon(it->second, nullptr, widget));
}

void buildToolbar(QToolBar *toolbar, const QList<ToolbarPosition> &positions)
{
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const ToolbarPosition &p : positions) {
        if (p.isSeparator()) {
            toolbar->addSeparator();
            continue;
        }
        auto *a = new QAction(toolbarPicture(p.key, toolbar), p.caption, toolbar);
        a->setData(p.key);
        a->setToolTip(p.tooltip);
        a->setObjectName(QStringLiteral("tb") + QString(p.key).remove(QLatin1Char(' ')));
        a->setProperty("bmEnabled", int(p.enabled));
        toolbar->addAction(a);
    }
}

void RecordForm::attachToolbar(QToolBar *toolbar, const QList<ToolbarPosition> &positions)
{
    buildToolbar(toolbar, positions);
    attachToolbar(toolbar);
}

void RecordForm::attachToolbar(QToolBar *toolbar)
{
    for (QAction *a : toolbar->actions()) {
        if (a->isSeparator() || keyOf(a).isEmpty())
            continue;
        const auto fixed = ToolbarPosition::Enabled(a->property("bmEnabled").toInt());
        if (fixed != ToolbarPosition::Enabled::ByKey)
            m_fixedActions.append({ a, fixed });
        else if (const auto command = commandForKey(keyOf(a)))
            m_commands[int(*command)].append(a);
        else
            m_ownToolbarActions.append(a);
        if (keyOf(a) == QLatin1String("Help") && m_window)
            platform::addHelpCommand(m_window, a);
    }
    // One handler for the whole toolbar: the clicked button's key decides.
    connect(toolbar, &QToolBar::actionTriggered, this, [this](QAction *a) { runKey(keyOf(a)); });
    setCommandsEnabled(m_editing);
}

void RecordForm::runKey(const QString &key)
{
    if (const auto command = commandForKey(key))
        run(*command);
    else if (!m_editing && m_decl.ownCommand)
        m_decl.ownCommand(key);
}

void RecordForm::run(FormCommand command)
{
    switch (command) {
    case FormCommand::Add:
        return add();
    case FormCommand::Edit:
        return edit();
    case FormCommand::Save:
        save();
        return;
    case FormCommand::Cancel:
        return cancel();
    case FormCommand::Delete:
        return deleteRecord();
    case FormCommand::Back:
        return back();
    case FormCommand::Next:
        return next();
    case FormCommand::First:
        return first();
    case FormCommand::Last:
        return last();
    }
}

// --- Messages and focus ------------------------------------------------------

void RecordForm::show(const FormMessage &m, Icon icon) const
{
    if (!m.text.isEmpty())
        platform::message(m.text, icon, platform::Buttons::Ok, m.caption, m_window);
}

bool RecordForm::report(const Status &s) const
{
    return platform::reportFailure(s, m_window);
}

QWidget *RecordForm::addFocus() const
{
    return m_decl.focusOnAdd ? m_decl.focusOnAdd : m_decl.keyField;
}

QWidget *RecordForm::editFocus() const
{
    return m_decl.focusOnEdit ? m_decl.focusOnEdit : m_decl.keyField;
}

void RecordForm::focusInto(QWidget *w, bool selectAll) const
{
    if (!w)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (!selectAll)
        return;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->selectAll();
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        p->selectAll();
    else if (auto *t = qobject_cast<QTextEdit *>(w))
        t->selectAll();
    else if (auto *c = qobject_cast<QComboBox *>(w); c && c->lineEdit())
        c->lineEdit()->selectAll();
}

void RecordForm::clearSelection(QWidget *w) const
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->deselect();
    else if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor c = p->textCursor();
        c.clearSelection();
        p->setTextCursor(c);
    } else if (auto *c = qobject_cast<QComboBox *>(w); c && c->lineEdit())
        c->lineEdit()->deselect();
}

// --- Modes ------------------------------------------------------------------

// What becomes usable is enabled before what becomes unusable is disabled,
// so that the focus leaving a disabled button moves on to a usable one.
void RecordForm::setCommandsEnabled(bool editing)
{
    for (const bool pass : { true, false }) {
        for (auto it = m_commands.cbegin(); it != m_commands.cend(); ++it) {
            const auto command = FormCommand(it.key());
            const bool enabled = (command == FormCommand::Save || command == FormCommand::Cancel) == editing;
            if (enabled == pass)
                for (const QPointer<QObject> &o : it.value())
                    setObjectEnabled(o, enabled);
        }
        if (pass == !editing)
            for (const QPointer<QObject> &o : std::as_const(m_ownToolbarActions))
                setObjectEnabled(o, !editing);
        for (const auto &[o, how] : std::as_const(m_fixedActions)) {
            const bool enabled = how == ToolbarPosition::Enabled::Always
                || (how == ToolbarPosition::Enabled::Edit) == editing;
            if (enabled == pass)
                setObjectEnabled(o, enabled);
        }
    }
}

void RecordForm::setMode(bool editing)
{
    m_editing = editing;
    if (m_decl.binder)
        m_decl.binder->setLocked(!editing);
    if (!editing) {
        for (QObject *o : std::as_const(m_decl.windowCommands))
            setObjectEnabled(o, true);
        for (QWidget *w : std::as_const(m_decl.siblingPanels))
            w->setEnabled(true);
    }
    setCommandsEnabled(editing);
    if (editing) {
        for (QObject *o : std::as_const(m_decl.windowCommands))
            setObjectEnabled(o, false);
        for (QWidget *w : std::as_const(m_decl.siblingPanels))
            w->setEnabled(false);
    }
    if (m_decl.editNotice)
        m_decl.editNotice->setVisible(editing);
    if (!editing && m_decl.selectAllOnEdit && editFocus())
        clearSelection(editFocus());
    if (m_decl.modeChanged)
        m_decl.modeChanged(editing);
    emit modeChanged(editing);
}

void RecordForm::enterEditMode(FormCommand how)
{
    // The focus goes in first, then the fields unlock and the commands,
    // window commands, notice, navigation and siblings follow.
    if (how == FormCommand::Add)
        focusInto(addFocus(), false);
    else
        focusInto(editFocus(), m_decl.selectAllOnEdit);
    setMode(true);
    if (m_decl.editStarted)
        m_decl.editStarted(how);
}

// --- Commands ---------------------------------------------------------------

void RecordForm::add()
{
    if (m_editing)
        return;
    if (!report(m_decl.source->AddNew()))
        return;
    enterEditMode(FormCommand::Add);
}

void RecordForm::edit()
{
    if (m_editing)
        return;
    RecordSource *src = m_decl.source;
    if (!src->hasCurrent() && m_decl.editAddsWhenEmpty) {
        // Only a table known to be empty gets a new record; one that can
        // not be counted is not taken for empty.
        int n = 0;
        if (!counted(n))
            return;
        if (n == 0) {
            if (!report(src->AddNew()))
                return;
            enterEditMode(FormCommand::Add);
            return;
        }
    }
    if (!report(src->Edit()))
        return;
    enterEditMode(FormCommand::Edit);
}

bool RecordForm::save()
{
    if (!m_editing)
        return false;
    RecordSource *src = m_decl.source;
    // The only test: the key field's text exactly empty. Blanks are an entry.
    if (m_decl.keyField && FieldBinder::widgetText(m_decl.keyField).isEmpty()) {
        show(m_decl.texts.emptyEntry, Icon::Exclamation);
        focusInto(m_decl.keyField, false);
        return false;
    }
    if (m_decl.validate && !m_decl.validate())
        return false;
    // A value a field can not hold, or the engine refuses: the box, and the
    // record stays pending.
    if (!report(write()))
        return false;
    show(m_decl.texts.saved, Icon::Information);
    if (m_decl.afterSave == Reposition::MoveLast) {
        report(src->MoveLast());
    } else if (m_decl.afterSave == Reposition::LastModified) {
        report(src->setBookmark(src->LastModified()));
    } else if (m_decl.afterSave == Reposition::Reread) {
        const Bookmark saved = src->LastModified();
        if (report(src->Refresh()))
            report(src->setBookmark(saved));
    }
    if (m_decl.focusAfterSave)
        focusInto(addFocus(), false);
    setMode(false);
    rewriteCount();
    if (m_decl.saved)
        m_decl.saved();
    return true;
}

void RecordForm::cancel()
{
    if (!m_editing)
        return;
    m_decl.source->CancelUpdate();
    if (m_decl.focusAfterCancel)
        focusInto(addFocus(), false);
    show(m_decl.texts.cancelled, Icon::Exclamation);
    setMode(false);
    if (m_decl.cancelled)
        m_decl.cancelled();
}

void RecordForm::dropPending()
{
    if (!m_editing)
        return;
    m_decl.source->CancelUpdate();
    setMode(false);
}

void RecordForm::deleteRecord()
{
    if (m_editing)
        return;
    RecordSource *src = m_decl.source;
    // The last record of a table can not be deleted; nor one of a table
    // that can not be counted, which may be the last.
    int n = 0;
    if (!counted(n))
        return;
    if (n == 1) {
        show(m_decl.texts.lastRecord, Icon::Exclamation);
        return;
    }
    if (!src->hasCurrent())
        return; // an empty table: nothing to delete
    const QString question
        = m_decl.deleteQuestionText ? m_decl.deleteQuestionText() : m_decl.texts.deleteQuestion.text;
    if (platform::message(
            question, Icon::Question, platform::Buttons::YesNo, m_decl.texts.deleteQuestion.caption, m_window)
        != platform::Answer::Yes)
        return;
    {
        const platform::OwnWrite own(src);
        if (!report(src->Delete()))
            return;
    }
    // The next record, or the one before when the last was deleted.
    if (report(src->MoveNext()) && src->isEOF())
        report(src->MovePrevious());
    rewriteCount();
    if (m_decl.deleted)
        m_decl.deleted();
}

void RecordForm::back()
{
    if (m_editing)
        return;
    RecordSource *src = m_decl.source;
    int n = 0;
    if (!counted(n))
        return;
    if (n == 0) {
        show(m_decl.texts.firstRecord, Icon::Information);
        return;
    }
    if (!report(src->MovePrevious()))
        return;
    if (src->isBOF()) {
        if (!report(src->MoveNext()))
            return;
        show(m_decl.texts.firstRecord, Icon::Information);
    }
}

void RecordForm::next()
{
    if (m_editing)
        return;
    RecordSource *src = m_decl.source;
    int n = 0;
    if (!counted(n))
        return;
    if (n == 0) {
        show(m_decl.texts.lastPosition, Icon::Information);
        return;
    }
    if (!report(src->MoveNext()))
        return;
    if (src->isEOF()) {
        if (!report(src->MovePrevious()))
            return;
        show(m_decl.texts.lastPosition, Icon::Information);
    }
}

void RecordForm::first()
{
    if (!m_editing)
        report(m_decl.source->MoveFirst());
}

void RecordForm::last()
{
    if (!m_editing)
        report(m_decl.source->MoveLast());
}

void RecordForm::showCount()
{
    if (m_decl.countLabel)
        m_decl.countLabel->setText(platform::countLine(
            *m_decl.source, QStringLiteral("%1") + m_decl.countText, m_decl.countLabel->text(), m_window));
}

bool RecordForm::counted(int &n) const
{
    return report(m_decl.source->count(n));
}

void RecordForm::rewriteCount()
{
    showCount();
    if (m_decl.countChanged)
        m_decl.countChanged();
}

Status RecordForm::write()
{
    const platform::OwnWrite own(m_decl.source);
    std::optional<platform::KeepPlace> keep;
    if (m_decl.othersKeepPlace)
        keep.emplace();
    return m_decl.source->Update();
}

// Closing the window by its frame while a record is pending drops it, as
// Cancel would; nothing half-checked is written. A screen that names a
// message refuses instead.
bool RecordForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close && m_editing) {
        if (!m_decl.texts.closeWhileEditing.text.isEmpty()) {
            show(m_decl.texts.closeWhileEditing, Icon::Exclamation);
            event->ignore();
            return true;
        }
        dropPending();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace bm
