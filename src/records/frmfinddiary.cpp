#include "records/frmfinddiary.h"

#include "db/changes.h"
#include "platform/countline.h"
#include "platform/windows.h"
#include "records/frmdiary.h"
#include "schema/fields.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

namespace bm
{

FrmFinddiary::FrmFinddiary(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_diary(new RecordSource(QStringLiteral("Data1"), table::Diary, this))
    , m_subjects(new QListWidget(this))
    , m_dates(new QListWidget(this))
    , m_count(new QLabel(QStringLiteral("Pages are Saved"), this))
{
    setObjectName(QStringLiteral("frmFinddiary"));
    setWindowTitle(QStringLiteral("Find Log Page By:"));
    m_subjects->setObjectName(QStringLiteral("DBList1"));
    m_dates->setObjectName(QStringLiteral("DBList2"));
    m_count->setObjectName(QStringLiteral("Label4"));
    auto *hint = new QLabel(QStringLiteral("Single-Click on a Subject or Date"), this);
    hint->setObjectName(QStringLiteral("Label3"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setAutoDefault(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Subject"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Date"), this), 0, 1);
    grid->addWidget(m_subjects, 1, 0);
    grid->addWidget(m_dates, 1, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    grid->addWidget(hint, 2, 0, 1, 2);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(close);
    grid->addLayout(bottom, 3, 0, 1, 2);
    m_subjects->setMinimumWidth(260);
    m_dates->setMinimumWidth(100);
    resize(460, 360);

    // The nth line of each list is the same page: they scroll together.
    for (auto [from, to] : { std::pair { m_subjects, m_dates }, std::pair { m_dates, m_subjects } }) {
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
            &QScrollBar::setValue);
        connect(from, &QListWidget::clicked, this, [this](const QModelIndex &i) { choose(i.row()); });
        from->installEventFilter(this);
    }
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // A page written or deleted elsewhere is offered at once; no line
    // stands for a page that is gone.
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &, const QString &table) {
            if (table == m_diary->tableName())
                readLists();
        });
    readLists();
}

void FrmFinddiary::readLists()
{
    m_subjects->clear();
    m_dates->clear();
    m_pages.clear();
    const auto subjects = m_diary->column(field::Diary::Subject);
    const auto dates = m_diary->column(field::Diary::Date);
    for (int i = 0; i < subjects.size(); ++i) {
        m_pages.append(subjects[i].first);
        m_subjects->addItem(subjects[i].second);
        m_dates->addItem(i < dates.size() ? dates[i].second : QString());
    }
}

void FrmFinddiary::choose(int line)
{
    if (m_chosen || line < 0 || line >= m_pages.size())
        return;
    auto *diary = platform::findWindow<FrmDiary>();
    if (diary && diary->isEditing())
        return;
    if (!diary)
        diary = platform::showWindow<FrmDiary>();
    if (!diary->showPage(m_pages.at(line)))
        return;
    m_chosen = true;
    platform::bringToFront(diary);
    close();
}

// The count is read each time the finder becomes the active window.
void FrmFinddiary::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_count->setText(
            platform::countLine(*m_diary, QStringLiteral("%1 Pages are Saved"), m_count->text(), this));
    QWidget::changeEvent(event);
}

// Enter on a line chooses it, as a click does.
bool FrmFinddiary::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *list = qobject_cast<QListWidget *>(watched);
        if (list && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            choose(list->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace bm
