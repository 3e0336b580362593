#include "bookings/frmseason.h"

#include "bookings/seasoncharts.h"
#include "bookings/seasonprint.h"
#include "db/changes.h"
#include "db/rights.h"
#include "domain/guides.h"
#include "platform/filedialogs.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/reportpreview.h"
#include "platform/shell.h"
#include "platform/windows.h"
#include "schema/fields.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace bm
{

namespace
{

enum Page { TripsPage, IncomePage, CatchPage, MoonPage, LuresPage, OwedPage };

// The size of a chart saved as a picture, and of one printed (finer).
const QSize pictureSize(1200, 560);
const QSize printedSize(760, 380);

QLabel *noteLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QTableView *grid(const QString &name, QAbstractItemModel *model, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

// A cell that shows text and sorts by its key (a number, a date or text).
QStandardItem *cell(const QString &text, const QVariant &sortKey, bool number = false)
{
    auto *item = new QStandardItem(text);
    item->setData(sortKey, Qt::UserRole);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

FrmSeason::FrmSeason(QWidget *parent)
    : QWidget(parent)
    , m_year(new QComboBox(this))
    , m_guideCaption(new QLabel(QStringLiteral("&Guide:"), this))
    , m_guide(new QComboBox(this))
    , m_headline(noteLabel(QStringLiteral("lblHeadline"), this))
    , m_leftOut(noteLabel(QStringLiteral("lblLeftout"), this))
    , m_tabs(new QTabWidget(this))
    , m_saveChart(new QPushButton(QStringLiteral("Save Chart as P&icture..."), this))
{
    setObjectName(QStringLiteral("frmSeason"));
    setWindowTitle(QStringLiteral("Season Summary"));
    m_year->setObjectName(QStringLiteral("cboYear"));
    m_year->setMinimumContentsLength(6);
    auto *yearCaption = new QLabel(QStringLiteral("&Year:"), this);
    yearCaption->setBuddy(m_year);
    m_guideCaption->setObjectName(QStringLiteral("lblGuide"));
    m_guideCaption->setBuddy(m_guide);
    m_guide->setObjectName(QStringLiteral("cboGuide"));
    m_guide->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_guide->setToolTip(QStringLiteral("Show the figures of one guide's trips"));
    QFont bold = m_headline->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.1);
    m_headline->setFont(bold);
    m_leftOut->setStyleSheet(
        QStringLiteral("QLabel { background: #fff4d6; border: 1px solid #e0c070; padding: 4px; }"));

    m_tabs->setObjectName(QStringLiteral("tabSeason"));
    m_tabs->addTab(
        chartPage(QStringLiteral("pagTrips"), QStringLiteral("chtTrips"), m_trips), QStringLiteral("Trips"));
    m_tabs->addTab(chartPage(QStringLiteral("pagIncome"), QStringLiteral("chtIncome"), m_income),
        QStringLiteral("Income"));
    m_tabs->addTab(chartPage(QStringLiteral("pagCatch"), QStringLiteral("chtSpecies"), m_species),
        QStringLiteral("Fish Caught"));
    m_tabs->addTab(
        chartPage(QStringLiteral("pagMoon"), QStringLiteral("chtMoon"), m_moon), QStringLiteral("Moon"));
    m_tabs->addTab(luresPage(), QStringLiteral("Best Lures"));
    m_tabs->addTab(owedPage(), QStringLiteral("Money Owed"));

    m_saveChart->setObjectName(QStringLiteral("cmdSavechart"));
    m_saveChart->setToolTip(QStringLiteral("Save the chart shown as a PNG picture"));
    auto *print = new QPushButton(QStringLiteral("&Print Summary..."), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    print->setToolTip(
        QStringLiteral("Show the whole summary in the print preview, to print it or save it as PDF"));
    auto *closeButton = new QPushButton(QStringLiteral("&Close"), this);
    closeButton->setObjectName(QStringLiteral("cmdClose"));

    auto *top = new QHBoxLayout;
    top->addWidget(yearCaption);
    top->addWidget(m_year);
    top->addSpacing(12);
    // The choice of a guide and its room come and go together, so that a
    // lodge of one guide sees the row as it always was.
    m_guideBox = new QWidget(this);
    m_guideBox->setObjectName(QStringLiteral("fraGuide"));
    m_guideBox->hide(); // until the roster shows several guides
    auto *guideRow = new QHBoxLayout(m_guideBox);
    guideRow->setContentsMargins(0, 0, 12, 0);
    guideRow->addWidget(m_guideCaption);
    guideRow->addWidget(m_guide);
    top->addWidget(m_guideBox);
    top->addWidget(m_headline, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_saveChart);
    buttons->addWidget(print);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_leftOut);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    connect(m_year, &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling)
            return;
        m_reported = false;
        showYear();
    });
    connect(m_guide, &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling)
            return;
        m_reported = false;
        showYear();
        showOwed();
    });
    connect(m_tabs, &QTabWidget::currentChanged, this,
        [this] { m_saveChart->setEnabled(shownChart() != nullptr); });
    connect(m_saveChart, &QPushButton::clicked, this, &FrmSeason::saveChart);
    connect(print, &QPushButton::clicked, this, &FrmSeason::printSummary);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this,
        [this](const QString &, const QString &changed) {
            if (changed == QLatin1String(table::Booking)) {
                reread();
            } else if (changed == QLatin1String(table::Guides)) {
                const QString before = guide();
                readGuides();
                if (guide() != before)
                    reread();
            }
        });

    resize(1040, 720);
    readGuides();
    reread();
}

QWidget *FrmSeason::chartPage(const QString &pageName, const QString &chartName, ChartPanel *&panel)
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(pageName);
    auto *layout = new QVBoxLayout(page);
    panel = new ChartPanel(chartName, page);
    layout->addWidget(panel);
    return page;
}

QWidget *FrmSeason::luresPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pagLures"));
    m_lures = new QStandardItemModel(this);
    m_luresSorted = new QSortFilterProxyModel(this);
    m_luresSorted->setSourceModel(m_lures);
    m_luresSorted->setSortRole(Qt::UserRole);
    m_lureGrid = grid(QStringLiteral("grdLures"), m_luresSorted, page);
    m_lureGrid->setSortingEnabled(true);
    m_lureGrid->sortByColumn(0, Qt::AscendingOrder); // by lake, each lake's months in order
    m_luresNote = noteLabel(QStringLiteral("lblLures"), page);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_luresNote);
    layout->addWidget(m_lureGrid, 1);
    return page;
}

QWidget *FrmSeason::owedPage()
{
    auto *page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("pagOwed"));
    m_owedRows = new QStandardItemModel(this);
    m_owedGrid = grid(QStringLiteral("grdOwed"), m_owedRows, page);
    m_owedGrid->horizontalHeader()->setStretchLastSection(false);
    m_owedTotal = noteLabel(QStringLiteral("lblOwedtotal"), page);
    QFont bold = m_owedTotal->font();
    bold.setBold(true);
    m_owedTotal->setFont(bold);
    auto *show = new QPushButton(QStringLiteral("&Show Booking"), page);
    show->setObjectName(QStringLiteral("cmdShowbooking"));
    show->setToolTip(QStringLiteral("Show the chosen booking in the main window's Bookings panel"));
    auto *hint = noteLabel(QStringLiteral("lblOwedhint"), page);
    hint->setText(
        QStringLiteral("Oldest trip first. Double-click a booking to show it in the Bookings panel."));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_owedTotal, 1);
    buttons->addWidget(show);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(hint);
    layout->addWidget(m_owedGrid, 1);
    layout->addLayout(buttons);
    connect(m_owedGrid, &QTableView::activated, this,
        [this](const QModelIndex &index) { showOwedBooking(index.row()); });
    connect(show, &QPushButton::clicked, this, [this] {
        const QModelIndex current = m_owedGrid->currentIndex();
        if (!current.isValid()) {
            platform::inform(QStringLiteral("Choose a booking in the list first."), this);
            return;
        }
        showOwedBooking(current.row());
    });
    return page;
}

void FrmSeason::reread()
{
    m_reported = false;
    fillYears();
    showYear();
    showOwed();
}

// The years that have bookings, the current year first, then the latest.
void FrmSeason::fillYears()
{
    QList<int> years;
    if (const Status s = season::bookingYears(years); !s)
        failed(s);
    const int thisYear = platform::today().year();
    years.removeAll(thisYear);
    years.prepend(thisYear);
    const int chosen = m_year->currentIndex() >= 0 ? m_year->currentData().toInt() : thisYear;
    m_filling = true;
    m_year->clear();
    for (int y : std::as_const(years))
        m_year->addItem(QString::number(y), y);
    int index = m_year->findData(chosen);
    if (index < 0) {
        m_year->addItem(QString::number(chosen), chosen);
        index = m_year->count() - 1;
    }
    m_year->setCurrentIndex(index);
    m_filling = false;
}

void FrmSeason::readGuides()
{
    QList<guides::Guide> roster;
    if (const Status s = guides::roster(roster); !s) {
        // Without the roster the summary is of every booking, as in a lodge
        // of one guide; the failure is told once.
        roster.clear();
        failed(s);
    }
    const bool several = guides::several(int(roster.size()));
    const QString chosen = guide();
    m_filling = true;
    m_guide->clear();
    // A guide's desk reads his own trips only (the server shows it no
    // other): the summary is his, and says so.
    if (db::rights().isGuide()) {
        m_guide->addItem(db::rights().guide, QString());
        m_guide->setEnabled(false);
        m_guide->setToolTip(db::notForRole(db::rights()));
        m_filling = false;
        m_guideBox->setVisible(true);
        return;
    }
    m_guide->addItem(QStringLiteral("All guides"), QString());
    // One guide or none: there is nothing to choose, every booking counts.
    if (several)
        for (const guides::Guide &g : std::as_const(roster))
            m_guide->addItem(g.name, g.name);
    // A guide renamed or taken off the roster is no longer a choice.
    const int keep = chosen.isEmpty() ? 0 : m_guide->findData(chosen);
    m_guide->setCurrentIndex(keep < 0 ? 0 : keep);
    m_filling = false;
    m_guideBox->setVisible(several);
}

QString FrmSeason::guide() const
{
    return m_guide->currentIndex() > 0 ? m_guide->currentData().toString() : QString();
}

bool FrmSeason::chooseGuide(const QString &name)
{
    const int index = name.isEmpty() ? 0 : m_guide->findData(name);
    if (index < 0)
        return false;
    m_guide->setCurrentIndex(index);
    return true;
}

void FrmSeason::chooseYear(int year)
{
    int index = m_year->findData(year);
    if (index < 0) {
        m_year->addItem(QString::number(year), year);
        index = m_year->count() - 1;
    }
    m_year->setCurrentIndex(index);
}

void FrmSeason::showYear()
{
    const int year = m_year->currentData().toInt();
    if (const Status s = season::summarize(year, guide(), m_summary); !s) {
        // Not a year without data: every part says why it has none.
        for (ChartPanel *panel : { m_trips, m_income, m_species, m_moon })
            panel->showEmpty(s.message());
        m_luresNote->setText(s.message());
        m_lureGrid->hide();
        m_leftOut->hide();
        m_saveChart->setEnabled(false);
        failed(s);
        return;
    }
    showFigures();
}

void FrmSeason::showFigures()
{
    const season::Summary &s = m_summary;
    m_headline->setText(seasontext::headline(s));
    const QString left = seasontext::leftOut(s);
    m_leftOut->setText(left);
    m_leftOut->setVisible(!left.isEmpty());

    if (const QString none = seasontext::noTrips(s); none.isEmpty()) {
        m_trips->showChart(seasoncharts::trips(s));
        m_income->showChart(seasoncharts::income(s));
    } else {
        m_trips->showEmpty(none);
        m_income->showEmpty(none);
    }
    if (const QString none = seasontext::noCatches(s); none.isEmpty()) {
        m_species->showChart(seasoncharts::species(s));
        m_moon->showChart(seasoncharts::moon(s));
    } else {
        m_species->showEmpty(none);
        m_moon->showEmpty(none);
    }

    m_lures->clear();
    m_lures->setHorizontalHeaderLabels(seasontext::lureHeaders());
    for (const season::LureMonth &l : s.lures) {
        const QStringList text = seasontext::lureCells(l);
        m_lures->appendRow({ cell(text[0], l.lake.isEmpty() ? QString(QChar(0xffff)) : l.lake.toCaseFolded()),
            cell(text[1], l.month), cell(text[2], text[2].toCaseFolded()),
            cell(text[3], text[3].toCaseFolded()), cell(text[4], l.fish, true), cell(text[5], l.trips, true),
            cell(text[6], l.allFish, true), cell(text[7], l.bigFish.toCaseFolded()),
            cell(text[8], l.weight.value_or(-1), true), cell(text[9], l.length.toCaseFolded()),
            cell(text[10], l.bigFishDate) });
    }
    m_lureGrid->setVisible(!s.lures.isEmpty());
    m_lureGrid->resizeColumnsToContents();
    if (s.lures.isEmpty()) {
        const QString none = seasontext::noCatches(s);
        m_luresNote->setText(none.isEmpty() ? QStringLiteral("No trip results to show.") : none);
    } else {
        m_luresNote->setText(
            QStringLiteral("For each lake and month of %1: the lure and color that caught the "
                           "most fish there, and the biggest fish by weight. Click a column "
                           "heading to sort by it.")
                .arg(s.year));
    }
    m_saveChart->setEnabled(shownChart() != nullptr);
}

void FrmSeason::showOwed()
{
    if (const Status s = season::moneyOwed(guide(), m_owed); !s) {
        m_owedRows->clear();
        m_owedGrid->hide();
        m_owedTotal->setText(s.message());
        failed(s);
        return;
    }
    m_owedRows->clear();
    m_owedRows->setHorizontalHeaderLabels(seasontext::owedHeaders());
    for (const season::OwedBooking &b : m_owed.bookings) {
        const QStringList text = seasontext::owedCells(b);
        m_owedRows->appendRow({ cell(text[0], b.date), cell(text[1], b.name), cell(text[2], b.lake),
            cell(text[3], qlonglong(b.balance.units()), true) });
    }
    m_owedGrid->setVisible(!m_owed.bookings.isEmpty());
    m_owedGrid->resizeColumnsToContents();
    if (m_owedRows->columnCount() > 2)
        m_owedGrid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch); // the lake
    m_owedTotal->setText(seasontext::owedTotal(m_owed, platform::today()));
}

// The figures that could not be read say why, in place of the headline; one
// box tells it, however many of the queries failed.
void FrmSeason::failed(const Status &status)
{
    m_headline->setText(status.message());
    if (!m_reported)
        platform::warn(status.message(), this);
    m_reported = true;
}

ChartPanel *FrmSeason::shownChart(QString *name) const
{
    const QString year = QString::number(m_summary.year);
    ChartPanel *panel = nullptr;
    QString title;
    switch (m_tabs->currentIndex()) {
    case TripsPage:
        panel = m_trips;
        title = QStringLiteral("Trips ") + year;
        break;
    case IncomePage:
        panel = m_income;
        title = QStringLiteral("Income ") + year;
        break;
    case CatchPage:
        panel = m_species;
        title = QStringLiteral("Fish Caught ") + year;
        break;
    case MoonPage:
        panel = m_moon;
        title = QStringLiteral("Moon ") + year;
        break;
    default:
        return nullptr;
    }
    if (!panel->hasChart())
        return nullptr;
    if (name)
        *name = title;
    return panel;
}

QChart *FrmSeason::makeChart(const ChartPanel *panel) const
{
    if (panel == m_trips)
        return seasoncharts::trips(m_summary);
    if (panel == m_income)
        return seasoncharts::income(m_summary);
    if (panel == m_moon)
        return seasoncharts::moon(m_summary);
    return seasoncharts::species(m_summary);
}

void FrmSeason::saveChart()
{
    QString name;
    const ChartPanel *panel = shownChart(&name);
    if (!panel)
        return;
    const QImage picture = seasoncharts::render(makeChart(panel), pictureSize);
    QString path
        = platform::saveFileName({ QStringLiteral("Save Chart as Picture"),
                                     QStringLiteral("PNG Pictures (*.png)"), name + QStringLiteral(".png") },
            this);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    if (!picture.save(path, "PNG"))
        platform::warn(QStringLiteral("The chart could not be saved as %1.\nChoose another folder or name.")
                           .arg(QDir::toNativeSeparators(path)),
            this);
}

void FrmSeason::printSummary()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    seasonprint::Content content { m_summary, m_owed, platform::today(), {} };
    for (const ChartPanel *panel : { m_trips, m_income, m_species, m_moon })
        if (panel->hasChart())
            content.charts << seasoncharts::render(makeChart(panel), printedSize, 2.5);
    platform::showPreview(seasonprint::render(content));
    QApplication::restoreOverrideCursor();
}

void FrmSeason::showOwedBooking(int row)
{
    if (row < 0 || row >= m_owed.bookings.size())
        return;
    platform::MainHub *hub = platform::mainHub();
    if (!hub) {
        platform::warn(QStringLiteral("The booking can only be shown while the main window is open."), this);
        return;
    }
    if (const Status s = hub->showBooking(m_owed.bookings[row].booking); !s) {
        platform::warn(QStringLiteral("This booking can not be shown: %1").arg(s.message()), this);
        reread();
    }
}

} // namespace bm
