#include "records/frmfind.h"

#include "platform/mainhub.h"
#include "platform/messages.h"
#include "records/findtrips.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

FrmFind::FrmFind(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_finder(new TripFinder(this))
    , m_word(new QLineEdit(this))
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Search Form"));

    m_word->setObjectName(QStringLiteral("Text1"));
    auto *wordLabel = new QLabel(QStringLiteral("Search for:"), this);
    wordLabel->setBuddy(m_word);

    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setMinimumSize(300, 260);
    auto *listLabel = new QLabel(QStringLiteral("Bookings that contain the search word."), this);

    auto *searchIn = new QGroupBox(QStringLiteral("Search in:"), this);
    searchIn->setObjectName(QStringLiteral("fraSearch"));
    auto *grid = new QGridLayout(searchIn);
    QWidget *previous = m_list;
    setTabOrder(m_word, m_list);
    for (const FindCommand &c : findCommands()) {
        auto *button = new QPushButton(QString::fromLatin1(c.caption), searchIn);
        button->setObjectName(QString::fromLatin1(c.name));
        grid->addWidget(button, c.row, c.column);
        setTabOrder(previous, button);
        previous = button;
        connect(button, &QPushButton::clicked, this, [this, &c] { search(c); });
    }

    auto *cmdHelp = new QPushButton(QStringLiteral("&Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    connect(cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3200")); });
    platform::addHelpCommand(this, cmdHelp);
    auto *cmdExit = new QPushButton(QStringLiteral("&Exit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    setTabOrder(previous, cmdExit);
    setTabOrder(cmdExit, cmdHelp);

    auto *commands = new QHBoxLayout;
    commands->addWidget(cmdHelp);
    commands->addStretch(1);
    commands->addWidget(cmdExit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(wordLabel);
    layout->addWidget(m_word);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addWidget(searchIn);
    layout->addLayout(commands);

    if (const Status s = m_finder->openStatus(); !s)
        platform::warn(s.message(), this);
    else
        m_list->addItems(m_finder->allLines());
    m_word->setFocus();
}

void FrmFind::search(const FindCommand &command)
{
    m_list->clear();
    const TripFinder::Result found = m_finder->search(command, m_word->text());
    m_list->addItems(found.lines);
    if (!found.status) {
        platform::message(
            QStringLiteral("Please enter letters or numbers only.\nNo apostrophies or punctuation marks."),
            platform::Icon::Exclamation, platform::Buttons::Ok, QStringLiteral("Search Error"), this);
        m_word->setFocus();
    }
}

} // namespace bm
