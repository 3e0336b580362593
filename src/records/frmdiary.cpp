#include "records/frmdiary.h"

#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/windowrules.h"
#include "platform/windows.h"
#include "recordform/datepicker.h"
#include "records/frmfinddiary.h"
#include "schema/fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

namespace bm
{

const QList<ToolbarPosition> &FrmDiary::toolbarPositions()
{
    static const QList<ToolbarPosition> positions {
        { "New", "New", "Add a new page" },
        { "Edit", "Edit", "Add to or edit this page" },
        { "Cancel", "Undo", "Cancel the changes" },
        { "Save", "Save", "Save changes" },
        { "Delete", "Delete", "Delete this page" },
        ToolbarPosition::separator(),
        { "First", "First", "Show the first page" },
        { "Back", "Back", "Move back one page" },
        { "Next", "Next", "Show the next page" },
        { "Last", "Last", "Show the last page" },
        ToolbarPosition::separator(),
        { "Find", "Find", "Find a page" },
        ToolbarPosition::separator(),
        { "Print", "Print", "Show Print Preview" },
        { "Help", "Help", "Show Help for this" },
        { "Exit", "Exit", "Close the Diary" },
    };
    return positions;
}

namespace
{

FormTexts diaryTexts()
{
    const QString caption = QStringLiteral("Fishing Diary");
    FormTexts t = FormTexts::forItem(QStringLiteral("page"));
    t.emptyEntry.text = QStringLiteral("Please enter a Subject for this page.");
    t.saved = { QStringLiteral("Information has been saved."), caption };
    t.cancelled = { QStringLiteral("Changes were not saved."), caption };
    t.lastRecord.text = FormTexts::lastRecordLines(
        QStringLiteral("page"), QStringLiteral("At least one page has to be present at all times."));
    // The question names no page.
    t.deleteQuestion.text = QStringLiteral("Are you sure you want to delete this ?");
    return t;
}

QLabel *fieldLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

} // namespace

FrmDiary::FrmDiary(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_diary(new RecordSource(QStringLiteral("Data1"), table::Diary, this))
    , m_toolbar(new QToolBar(this))
    , m_subject(new QLineEdit(this))
    , m_dateLabel(new QLabel(this))
    , m_datePicker(new DatePicker(this))
    , m_page(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("frmDiary"));
    platform::showMainOnClose(this);
    setWindowTitle(QStringLiteral("Fishing Log"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_subject->setObjectName(QStringLiteral("Text2"));
    m_dateLabel->setObjectName(QStringLiteral("Label3"));
    m_datePicker->setObjectName(QStringLiteral("DTPicker1"));
    m_page->setObjectName(QStringLiteral("Text1"));
    m_page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_page->setTabChangesFocus(true);
    m_page->setMinimumSize(560, 300);
    // The subject keeps its height with or without its border.
    m_subject->setFixedHeight(m_subject->sizeHint().height());

    // The date picker lies over the date label, in the same place.
    m_dateLabel->setMinimumWidth(m_datePicker->sizeHint().width());
    auto *fields = new QGridLayout;
    fields->addWidget(fieldLabel(QStringLiteral("Subject:"), m_subject, this), 0, 0);
    fields->addWidget(m_subject, 0, 1);
    fields->addWidget(fieldLabel(QStringLiteral("Date:"), m_datePicker, this), 0, 2);
    fields->addWidget(m_dateLabel, 0, 3);
    fields->addWidget(m_datePicker, 0, 3);
    fields->addWidget(m_page, 1, 0, 1, 4);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(1, 1);
    setTabOrder(m_subject, m_datePicker);
    setTabOrder(m_datePicker, m_page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_toolbar);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 6, 10, 10);
    body->addLayout(fields, 1);
    layout->addLayout(body, 1);

    auto *binder = new FieldBinder(m_diary, this);
    binder->bind(m_subject, field::Diary::Subject);
    binder->bind(m_dateLabel, field::Diary::Date);
    binder->bind(m_datePicker, field::Diary::Date);
    binder->bind(m_page, field::Diary::Page);

    FormDeclaration d;
    d.source = m_diary;
    d.binder = binder;
    d.keyField = m_subject;
    d.texts = diaryTexts();
    d.editAddsWhenEmpty = true; // a diary without pages starts one
    d.modeChanged = [this](bool editing) { setEditLook(editing); };
    d.editStarted = [this](FormCommand how) {
        if (how == FormCommand::Add)
            m_datePicker->setValue(platform::today());
    };
    d.ownCommand = [this](const QString &key) { ownCommand(key); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attachToolbar(m_toolbar, toolbarPositions());
    // Wide enough for every toolbar button: Help and Exit never go behind
    // the toolbar's overflow arrow.
    setMinimumWidth(qMax(minimumSizeHint().width(), m_toolbar->sizeHint().width()));
}

// Browse mode draws the subject and the page without borders and shows the
// date as text; edit mode gives them borders and lays the picker over it.
void FrmDiary::setEditLook(bool editing)
{
    m_subject->setFrame(editing);
    m_page->setFrameStyle(editing ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    m_page->setLineWidth(1);
    m_datePicker->setVisible(editing);
    m_dateLabel->setVisible(!editing);
}

bool FrmDiary::showPage(Bookmark page)
{
    if (m_form->isEditing())
        return false;
    if (const Status s = m_diary->setBookmark(page); !s) {
        platform::warn(s.message(), this);
        return false;
    }
    return true;
}

void FrmDiary::ownCommand(const QString &key)
{
    if (key == QLatin1String("Find")) {
        platform::showWindow<FrmFinddiary>();
    } else if (key == QLatin1String("Print")) {
        platform::printReport(QStringLiteral("log.rpt"));
    } else if (key == QLatin1String("Help")) {
        platform::showHelpTopic(QStringLiteral("2200"));
    } else if (key == QLatin1String("Exit")) {
        close();
        if (platform::MainHub *hub = platform::mainHub(); hub && hub->window())
            platform::bringToFront(hub->window());
    }
}

} // namespace bm
