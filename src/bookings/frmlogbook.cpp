#include "bookings/frmlogbook.h"

#include "bookings/bookingwindows.h"
#include "core/apppaths.h"
#include "core/dates.h"
#include "db/changes.h"
#include "db/rights.h"
#include "domain/guides.h"
#include "exchange/csvexchange.h"
#include "platform/failures.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace bm
{

namespace
{

// The months offered: this many before today's, and today's.
constexpr int monthsBack = 24;

QDate firstOf(const QDate &day)
{
    return QDate(day.year(), day.month(), 1);
}

QString monthName(const QDate &month)
{
    return QLocale().toString(month, QStringLiteral("MMMM yyyy"));
}

} // namespace

FrmLogbook::FrmLogbook(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_month(new QComboBox(this))
    , m_guideBox(new QWidget(this))
    , m_guide(new QComboBox(m_guideBox))
    , m_rows(new QStandardItemModel(this))
    , m_grid(new QTableView(this))
    , m_problemCount(new QLabel(this))
    , m_problems(new QListWidget(this))
{
    setObjectName(QStringLiteral("frmLogbook"));
    setWindowTitle(QStringLiteral("Logbook"));
    m_month->setObjectName(QStringLiteral("cboMonth"));
    auto *monthCaption = new QLabel(QStringLiteral("&Month:"), this);
    monthCaption->setBuddy(m_month);
    m_guideBox->setObjectName(QStringLiteral("fraGuide"));
    m_guide->setObjectName(QStringLiteral("cboGuide"));
    m_guide->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *guideCaption = new QLabel(QStringLiteral("&Guide:"), m_guideBox);
    guideCaption->setBuddy(m_guide);
    auto *guideRow = new QHBoxLayout(m_guideBox);
    guideRow->setContentsMargins(12, 0, 0, 0);
    guideRow->addWidget(guideCaption);
    guideRow->addWidget(m_guide);

    m_grid->setObjectName(QStringLiteral("grdLogbook"));
    m_grid->setModel(m_rows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setAlternatingRowColors(true);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->hide();
    m_problemCount->setObjectName(QStringLiteral("lblProblems"));
    m_problems->setObjectName(QStringLiteral("lstProblems"));
    m_problems->setToolTip(QStringLiteral("Double-click a problem to open its trip"));

    auto *print = commandButton(QStringLiteral("cmdPrint"), QStringLiteral("&Print..."), this);
    print->setToolTip(QStringLiteral("One page per day of each trip, to print or save as PDF"));
    auto *save = commandButton(QStringLiteral("cmdSaveCsv"), QStringLiteral("&Save CSV..."), this);
    auto *help = commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this);
    auto *closeButton = commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this);

    auto *top = new QHBoxLayout;
    top->addWidget(monthCaption);
    top->addWidget(m_month);
    top->addWidget(m_guideBox);
    top->addStretch(1);
    auto *problemsPart = new QWidget(this);
    auto *problemsLayout = new QVBoxLayout(problemsPart);
    problemsLayout->setContentsMargins(0, 0, 0, 0);
    problemsLayout->addWidget(m_problemCount);
    problemsLayout->addWidget(m_problems);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_grid);
    split->addWidget(problemsPart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(print);
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(help);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_month, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            reread();
    });
    connect(m_guide, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            reread();
    });
    connect(m_problems, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { openProblem(m_problems->row(item)); });
    connect(print, &QPushButton::clicked, this, &FrmLogbook::printLogbook);
    connect(save, &QPushButton::clicked, this, &FrmLogbook::saveCsv);
    connect(help, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("4500")); });
    platform::addHelpCommand(this, help);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &location, const QString &changed) {
            if (location != databasePath())
                return;
            if (changed == QLatin1String(table::Guides)) {
                readGuides();
                reread();
            } else if (changed == QLatin1String(table::Booking) || changed == QLatin1String(table::Party)
                || changed == QLatin1String(table::Catch) || changed == QLatin1String(table::SiteCodes)
                || changed == QLatin1String(table::GuideInfo)) {
                reread();
            }
        });

    fillMonths();
    readGuides();
    reread();
    resize(1100, 640);
}

void FrmLogbook::fillMonths()
{
    const QDate thisMonth = firstOf(platform::today());
    m_filling = true;
    m_month->clear();
    for (int back = monthsBack; back >= 0; --back) {
        const QDate m = thisMonth.addMonths(-back);
        m_month->addItem(monthName(m), m);
    }
    m_month->setCurrentIndex(m_month->count() - 2); // the month just ended
    m_filling = false;
}

void FrmLogbook::readGuides()
{
    const QString chosen = guide();
    QList<guides::Guide> roster;
    const Status s = guides::roster(roster);
    m_filling = true;
    m_guide->clear();
    // A guide's desk reads his own trips only: the logbook is his.
    if (db::rights().isGuide()) {
        m_guide->addItem(db::rights().guide, db::rights().guide);
        m_guide->setEnabled(false);
        m_guideBox->setVisible(true);
        m_filling = false;
        return;
    }
    m_guide->addItem(QStringLiteral("All Guides"), QString());
    for (const guides::Guide &g : std::as_const(roster))
        m_guide->addItem(g.name, g.name);
    const int keep = chosen.isEmpty() ? 0 : m_guide->findData(chosen);
    m_guide->setCurrentIndex(keep < 0 ? 0 : keep);
    m_filling = false;
    m_guideBox->setVisible(!roster.isEmpty());
    // Without the roster the logbook is of every trip; the failure is told.
    if (!s)
        failed(s);
}

QDate FrmLogbook::month() const
{
    return m_month->currentData().toDate();
}

void FrmLogbook::chooseMonth(const QDate &day)
{
    const QDate first = firstOf(day);
    int index = m_month->findData(first);
    if (index < 0) {
        m_month->addItem(monthName(first), first);
        index = m_month->count() - 1;
    }
    m_month->setCurrentIndex(index);
}

QString FrmLogbook::guide() const
{
    return m_guide->currentData().toString();
}

bool FrmLogbook::chooseGuide(const QString &name)
{
    const int index = m_guide->findData(name);
    if (index < 0)
        return false;
    m_guide->setCurrentIndex(index);
    return true;
}

void FrmLogbook::reread()
{
    logbook::Month read;
    if (const Status s = logbook::read(month(), guide(), read); !s) {
        // What was shown stays: an outage is not an empty month.
        m_problemCount->setText(s.message());
        failed(s);
        return;
    }
    m_reported = false;
    m_logged = read;
    showRows();
}

void FrmLogbook::showRows()
{
    QList<QStringList> rows = logbook::tableRows(m_logged);
    m_rows->clear();
    m_rows->setHorizontalHeaderLabels(logbook::columnNames());
    for (QStringList &r : rows) {
        r[0] = shortDate(QDate::fromString(r[0], Qt::ISODate));
        QList<QStandardItem *> cells;
        for (const QString &text : std::as_const(r))
            cells << new QStandardItem(text);
        m_rows->appendRow(cells);
    }
    m_grid->resizeColumnsToContents();

    m_problems->clear();
    for (const logbook::Problem &p : m_logged.problems)
        m_problems->addItem(
            QStringLiteral("%1, booking %2: %3").arg(shortDate(p.date)).arg(p.booking.id).arg(p.text));
    const qsizetype trips = m_logged.visits.size();
    if (m_logged.problems.isEmpty())
        m_problemCount->setText(trips
                ? QStringLiteral("No problems: every page of %1 is complete.").arg(monthName(m_logged.first))
                : QStringLiteral("No trips in %1.").arg(monthName(m_logged.first)));
    else
        m_problemCount->setText(QStringLiteral("%1 problem(s) to set right before you send %2:")
                                    .arg(m_logged.problems.size())
                                    .arg(monthName(m_logged.first)));
}

void FrmLogbook::printLogbook()
{
    platform::printMonthReport(QStringLiteral("logbook.rpt"), month(), guide());
}

void FrmLogbook::saveCsv()
{
    QString path = platform::saveFileName(
        { QStringLiteral("Save the Logbook as CSV"), QStringLiteral("CSV Files (*.csv)"),
            QStringLiteral("Logbook %1.csv").arg(month().toString(QStringLiteral("yyyy-MM"))) },
        this);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    platform::reportFailure(csv::writeRows(path, logbook::columnNames(), logbook::tableRows(m_logged)), this);
}

void FrmLogbook::openProblem(int row)
{
    if (row < 0 || row >= m_logged.problems.size())
        return;
    const Bookmark booking = m_logged.problems.at(row).booking;
    platform::MainHub *hub = platform::mainHub();
    if (!hub) {
        platform::warn(QStringLiteral("The trip can only be opened while the main window is open."), this);
        return;
    }
    if (const Status s = hub->showBooking(booking); !s) {
        platform::warn(QStringLiteral("This trip can not be opened: %1").arg(s.message()), this);
        reread();
        return;
    }
    openEditBooking(booking);
}

void FrmLogbook::failed(const Status &status)
{
    if (!m_reported)
        platform::reportFailure(status, this);
    m_reported = true;
}

} // namespace bm
