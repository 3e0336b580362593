#include "reminders/frmreminder.h"
#include "platform/twips.h"

#include "db/changes.h"
#include "platform/countline.h"
#include "platform/failures.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/windows.h"
#include "reminders/frmaddreminder.h"
#include "reminders/remindergrid.h"
#include "schema/fields.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace bm
{

FrmReminder::FrmReminder(QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_reminders(new RecordSource(QStringLiteral("Data1"), table::Reminder, this))
    , m_rows(new ReminderRows(this))
    , m_grid(new QTableView(this))
    , m_count(new QLabel(this))
    , m_popup(new QMenu(this))
{
    setObjectName(QStringLiteral("frmReminder"));
    setWindowTitle(QStringLiteral("Reminders"));

    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_rows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setWordWrap(true);
    m_grid->setContextMenuPolicy(Qt::NoContextMenu); // the pop-up comes on the release
    m_grid->viewport()->installEventFilter(this);
    // The selector column on the left; its lines between the rows are
    // dragged to make a row taller.
    QHeaderView *selector = m_grid->verticalHeader();
    selector->setSectionResizeMode(QHeaderView::Interactive);
    selector->setFixedWidth(twipsToPixels(300, this));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->setColumnWidth(ReminderRows::ReminderColumn, twipsToPixels(5000, this));
    m_grid->setColumnWidth(ReminderRows::DateColumn, 90);

    auto *hint = new QLabel(QStringLiteral("Drag the row seperator lines to increase size of cells."), this);
    hint->setObjectName(QStringLiteral("lblHint"));
    m_count->setObjectName(QStringLiteral("lblCount"));

    struct Command {
        const char *name;
        const char *caption;
        const char *tooltip;
    };
    const Command commands[]
        = { { "cmdNew", "&New", "Add or Edit a Reminder" }, { "cmdSort", "Sort", "Sort By Date" },
              { "cmdPrint", "&Print", "Print the Reminders" }, { "cmdClose", "&Close", "Close Reminders" } };
    auto *buttons = new QHBoxLayout;
    QHash<QString, QPushButton *> button;
    for (const Command &c : commands) {
        auto *b = new QPushButton(QString::fromLatin1(c.caption), this);
        b->setObjectName(QString::fromLatin1(c.name));
        b->setToolTip(QString::fromLatin1(c.tooltip));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        button.insert(b->objectName(), b);
    }
    buttons->addStretch(1);
    buttons->addWidget(m_count);

    m_popup->setObjectName(QStringLiteral("mnuPopup"));
    QAction *add = m_popup->addAction(QStringLiteral("Add or edit a Reminder"));
    add->setObjectName(QStringLiteral("mnuAdd"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(hint);
    layout->addLayout(buttons);

    connect(
        button.value(QStringLiteral("cmdNew")), &QPushButton::clicked, this, [] { openReminderEditor(); });
    connect(add, &QAction::triggered, this, [] { openReminderEditor(); });
    connect(button.value(QStringLiteral("cmdSort")), &QPushButton::clicked, this, &FrmReminder::cmdSortClick);
    connect(button.value(QStringLiteral("cmdPrint")), &QPushButton::clicked, this,
        [] { platform::printReport(QStringLiteral("reminders.rpt")); });
    connect(button.value(QStringLiteral("cmdClose")), &QPushButton::clicked, this, &QWidget::close);

    // Whatever window writes or deletes a reminder, the grid follows.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &, const QString &table) {
            if (table == m_reminders->tableName())
                reread();
        });

    m_rows->load(*m_reminders);
    rewriteCount();
    const int width = selector->width() + m_grid->columnWidth(0) + m_grid->columnWidth(1) + 60;
    resize(width, 420);
}

// A table that can not be read again leaves the list as it was; the count
// line then turns to "?" and says why, once. Should the count still succeed,
// the failed read is said by itself.
void FrmReminder::reread()
{
    const Status read = m_reminders->Refresh();
    if (read)
        m_rows->load(*m_reminders);
    else
        platform::logFailure(read);
    rewriteCount();
    if (!read && !m_count->text().startsWith(QLatin1Char('?')))
        platform::warn(read.message(), this); // logged above
}

void FrmReminder::rewriteCount()
{
    m_count->setText(
        platform::countLine(*m_reminders, QStringLiteral("%1 Reminders are listed."), m_count->text(), this));
}

void FrmReminder::cmdSortClick()
{
    if (!m_rows->sortByDate())
        platform::stop(QStringLiteral("One of the Dates is not in the proper format.\n"
                                      "Please check your schedule for an incorrect date.\n"
                                      "Close this form and check your Bookings."),
            this);
}

void FrmReminder::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        rewriteCount();
    QWidget::changeEvent(event);
}

bool FrmReminder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            m_popup->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

FrmReminder *openReminderList()
{
    return platform::showWindow<FrmReminder>();
}

} // namespace bm
