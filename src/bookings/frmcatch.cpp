#include "bookings/frmcatch.h"

#include "core/dates.h"
#include "domain/party.h"
#include "domain/sitecodes.h"
#include "platform/failures.h"
#include "platform/follow.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/binder.h"
#include "recordform/celleditors.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace bm
{

using catches::Line;
using catches::SiteDay;

namespace
{

QTableWidget *gridOf(const char *name, const QStringList &columns, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(columns.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(columns);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    return t;
}

} // namespace

FrmCatch::FrmCatch(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_trip(new QLabel(this))
    , m_day(new QComboBox(this))
    , m_site(new QComboBox(this))
    , m_water(new QLineEdit(this))
    , m_recorded(gridOf("lstRecorded", { "Day", "Site", "Water", "Lines", "Fish" }, this))
    , m_grid(gridOf("grdCatch", { "Angler", "Species", "Kept", "Released", "Origin", "Life Stage" }, this))
    , m_total(new QLabel(this))
    , m_origins { QString(), catchOrigin::hatchery, catchOrigin::wild }
    , m_stages { QString(), catchStage::adult, catchStage::jack }
{
    setObjectName(QStringLiteral("frmCatch"));
    setWindowTitle(QStringLiteral("Catch"));
    // Over the trip log it was opened from, which waits for it.
    setWindowModality(Qt::WindowModal);
    m_trip->setObjectName(QStringLiteral("lblTrip"));
    m_trip->setTextFormat(Qt::PlainText);
    m_total->setObjectName(QStringLiteral("lblTotal"));

    RecordSource species(QStringLiteral("DataSpecies"), table::Species);
    QVector<QPair<Bookmark, QString>> fish;
    if (platform::reportFailure(species.columnValues(field::Species::Fish, fish), this))
        for (const auto &f : std::as_const(fish))
            m_species << f.second;

    auto *top = new QVBoxLayout(this);
    top->addWidget(m_trip);
    top->addWidget(buildChoices());
    auto *middle = new QHBoxLayout;
    m_recorded->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recorded->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recorded->setMinimumWidth(340);
    m_recorded->setMaximumWidth(380);
    middle->addWidget(m_recorded);
    middle->addWidget(buildLines(), 1);
    top->addLayout(middle, 1);

    auto *cmdSave = commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this);
    auto *cmdHelp = commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this);
    auto *cmdClose = commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this);
    auto *commands = new QHBoxLayout;
    commands->addWidget(m_total, 1);
    commands->addWidget(cmdSave);
    commands->addSpacing(12);
    commands->addWidget(cmdHelp);
    commands->addWidget(cmdClose);
    top->addLayout(commands);

    connect(cmdSave, &QPushButton::clicked, this, [this] { (void)save(); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("4300")); });
    platform::addHelpCommand(this, cmdHelp);
    connect(m_recorded, &QTableWidget::cellClicked, this, [this](int row) {
        const QTableWidgetItem *item = m_recorded->item(row, 0);
        if (item)
            moveTo(item->data(Qt::UserRole).toDate(), item->data(Qt::UserRole + 1).toString());
    });
    resize(1000, 480);
}

QWidget *FrmCatch::buildChoices()
{
    auto *w = new QWidget(this);
    auto *row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    m_day->setObjectName(QStringLiteral("cboDay"));
    m_site->setObjectName(QStringLiteral("cboSite"));
    m_water->setObjectName(QStringLiteral("txtWater"));
    m_site->setMinimumWidth(220);
    takeTypedText(m_site);
    QList<sitecodes::SiteCode> sites;
    if (platform::reportFailure(sitecodes::list(sites), this))
        for (const sitecodes::SiteCode &s : std::as_const(sites))
            m_site->addItem(sitecodes::shown(s), s.code);
    m_site->setCurrentIndex(-1);
    const std::pair<const char *, QWidget *> boxes[]
        = { { "&Day:", m_day }, { "S&ite:", m_site }, { "&Water:", m_water } };
    for (const auto &[caption, box] : boxes) {
        auto *label = new QLabel(QString::fromLatin1(caption), w);
        label->setBuddy(box);
        row->addWidget(label);
        row->addWidget(box, box == m_day ? 0 : 1);
    }

    connect(m_day, &QComboBox::activated, this, [this] { moveTo(chosenDay(), chosenSite()); });
    connect(m_site, &QComboBox::activated, this, [this] { moveTo(chosenDay(), chosenSite()); });
    connect(m_site->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (!m_filling && chosenSite() != m_shownSite)
            moveTo(chosenDay(), chosenSite());
    });
    connect(m_water, &QLineEdit::textEdited, this, [this] { m_changed = true; });
    return w;
}

QWidget *FrmCatch::buildLines()
{
    auto *w = new QWidget(this);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    m_grid->setItemDelegateForColumn(Angler, new ChoiceCells(&m_anglers, false, m_grid));
    m_grid->setItemDelegateForColumn(Species, new ChoiceCells(&m_species, true, m_grid));
    m_grid->setItemDelegateForColumn(Origin, new ChoiceCells(&m_origins, false, m_grid));
    m_grid->setItemDelegateForColumn(Stage, new ChoiceCells(&m_stages, false, m_grid));
    m_grid->setColumnWidth(Angler, 130);
    m_grid->setColumnWidth(Species, 150);
    m_grid->setColumnWidth(Kept, 50);
    m_grid->setColumnWidth(Origin, 90);
    m_grid->setColumnWidth(Released, 70);
    connect(m_grid, &QTableWidget::cellChanged, this, &FrmCatch::lineChanged);
    v->addWidget(m_grid, 1);

    auto *row = new QHBoxLayout;
    auto *cmdAddLine = commandButton(QStringLiteral("cmdAddLine"), QStringLiteral("&Add Line"), w);
    auto *cmdNothing = commandButton(QStringLiteral("cmdNothing"), QStringLiteral("&Nothing Caught"), w);
    cmdNothing->setToolTip(
        QStringLiteral("A line for every angler without one: fished here, caught nothing"));
    auto *cmdRemoveLine = commandButton(QStringLiteral("cmdRemoveLine"), QStringLiteral("&Remove Line"), w);
    row->addWidget(cmdAddLine);
    row->addWidget(cmdNothing);
    row->addWidget(cmdRemoveLine);
    row->addStretch(1);
    v->addLayout(row);
    connect(cmdAddLine, &QPushButton::clicked, this, [this] {
        addLine({ m_anglers.size() == 1 ? m_anglers.constFirst() : QString(), {}, {}, {}, 0, 0 });
        m_grid->setItem(m_grid->rowCount() - 1, Kept, new QTableWidgetItem);
        m_grid->setItem(m_grid->rowCount() - 1, Released, new QTableWidgetItem);
        m_changed = true;
        m_grid->setCurrentCell(m_grid->rowCount() - 1, m_anglers.size() == 1 ? Species : Angler);
    });
    connect(cmdNothing, &QPushButton::clicked, this, &FrmCatch::addNothingCaught);
    connect(cmdRemoveLine, &QPushButton::clicked, this, &FrmCatch::removeLine);
    return w;
}

bool FrmCatch::openTrip(Bookmark booking)
{
    RecordSource trip(QStringLiteral("DataTrip"), table::Booking);
    if (!platform::reportFailure(trip.setBookmark(booking), this)
        || !platform::reportFailure(trip.readCurrent(), this))
        return false;
    const QDate start = trip.value(field::Booking::Date).toDate();
    const QList<QDate> days = catches::tripDays(start, trip.text(field::Booking::Days));
    if (days.isEmpty()) {
        platform::warn(
            QStringLiteral("The booking has no trip date. Please enter its date before its catch."), this);
        return false;
    }
    QStringList anglers;
    if (!platform::reportFailure(party::anglersOf(booking, anglers), this))
        return false;
    m_booking = booking;
    m_lake = trip.text(field::Booking::Lake);
    m_anglers = anglers;
    m_trip->setText(
        QStringLiteral("%1, %2 on %3").arg(trip.text(field::Booking::Name), shortDate(start), m_lake));
    m_filling = true;
    m_day->clear();
    for (int i = 0; i < days.size(); ++i)
        m_day->addItem(days.size() > 1 ? QStringLiteral("Day %1: %2").arg(i + 1).arg(shortDate(days[i]))
                                       : shortDate(days[i]),
            days[i]);
    m_filling = false;
    if (!readRecorded())
        return false;
    // Anglers with lines who are no longer in the party keep their lines.
    for (const SiteDay &g : std::as_const(m_siteDays))
        for (const Line &l : g.lines)
            if (!m_anglers.contains(l.angler))
                m_anglers << l.angler;
    QString firstSite;
    for (const SiteDay &g : std::as_const(m_siteDays))
        if (g.day == days.constFirst()) {
            firstSite = g.site;
            break;
        }
    m_changed = false;
    showSiteDay(days.constFirst(), firstSite);
    return true;
}

bool FrmCatch::readRecorded()
{
    QList<SiteDay> read;
    if (!platform::reportFailure(catches::read(m_booking.id, read), this))
        return false;
    m_siteDays = read;
    m_recorded->setRowCount(0);
    for (const SiteDay &g : std::as_const(m_siteDays)) {
        const int row = m_recorded->rowCount();
        m_recorded->insertRow(row);
        int fish = 0;
        for (const Line &l : g.lines)
            fish += l.kept + l.released;
        const QStringList texts { shortDate(g.day), g.site, g.water, QString::number(g.lines.size()),
            QString::number(fish) };
        for (int c = 0; c < texts.size(); ++c)
            m_recorded->setItem(row, c, new QTableWidgetItem(texts[c]));
        m_recorded->item(row, 0)->setData(Qt::UserRole, g.day);
        m_recorded->item(row, 0)->setData(Qt::UserRole + 1, g.site);
    }
    m_recorded->resizeColumnsToContents();
    const catches::Totals totals = catches::totalsOf(m_siteDays);
    m_total->setText(m_siteDays.isEmpty() ? QStringLiteral("No catch recorded for this trip yet.")
            : totals.topSpecies.isEmpty()
            ? QStringLiteral("Trip total: %1 fish").arg(totals.fish)
            : QStringLiteral("Trip total: %1 fish, most %2").arg(totals.fish).arg(totals.topSpecies));
    return true;
}

void FrmCatch::showSiteDay(const QDate &day, const QString &site)
{
    const auto it = std::find_if(m_siteDays.cbegin(), m_siteDays.cend(),
        [&](const SiteDay &g) { return g.day == day && g.site == site; });
    m_filling = true;
    m_grid->setRowCount(0);
    m_filling = false;
    if (it != m_siteDays.cend())
        for (const Line &l : it->lines)
            addLine(l);
    m_water->setText(it != m_siteDays.cend() && !it->water.isEmpty() ? it->water : m_lake);
    m_shownDay = day;
    m_shownSite = site;
    m_changed = false;
    showChoice(day, site);
}

void FrmCatch::showChoice(const QDate &day, const QString &site)
{
    m_filling = true;
    m_day->setCurrentIndex(m_day->findData(day));
    const int listed = m_site->findData(site);
    m_site->setCurrentIndex(listed);
    if (listed < 0)
        m_site->setEditText(site);
    m_recorded->clearSelection();
    for (int r = 0; r < m_recorded->rowCount(); ++r) {
        const QTableWidgetItem *item = m_recorded->item(r, 0);
        if (item->data(Qt::UserRole).toDate() == day && item->data(Qt::UserRole + 1).toString() == site)
            m_recorded->selectRow(r);
    }
    m_filling = false;
}

QDate FrmCatch::chosenDay() const
{
    return m_day->currentData().toDate();
}

QString FrmCatch::chosenSite() const
{
    const QString text = m_site->currentText().trimmed();
    const int listed = m_site->findText(text);
    return listed >= 0 ? m_site->itemData(listed).toString() : text;
}

bool FrmCatch::moveTo(const QDate &day, const QString &site)
{
    if (day == m_shownDay && site == m_shownSite) {
        showChoice(day, site);
        return true;
    }
    // Lines typed before the site was named are that site's, unless it has
    // lines of its own already.
    const bool recorded = std::any_of(m_siteDays.cbegin(), m_siteDays.cend(),
        [&](const SiteDay &g) { return g.day == day && g.site == site; });
    if (m_shownSite.isEmpty() && day == m_shownDay && !recorded) {
        m_shownSite = site;
        showChoice(day, site);
        return true;
    }
    if (!mayLeave()) {
        showChoice(m_shownDay, m_shownSite);
        return false;
    }
    showSiteDay(day, site);
    return true;
}

bool FrmCatch::mayLeave()
{
    if (!m_changed)
        return true;
    const QString where = m_shownSite.isEmpty() ? QStringLiteral("the lines typed")
                                                : QStringLiteral("the catch at %1").arg(m_shownSite);
    switch (platform::askYesNoCancel(
        QStringLiteral("Save %1 on %2?").arg(where, shortDate(m_shownDay)), QStringLiteral("Catch"), this)) {
    case platform::Answer::Yes:
        return save();
    case platform::Answer::No:
        return true;
    default:
        return false;
    }
}

void FrmCatch::addLine(const Line &line)
{
    m_filling = true;
    const int row = m_grid->rowCount();
    m_grid->insertRow(row);
    const QStringList texts { line.angler, line.species, QString::number(line.kept),
        QString::number(line.released), line.origin, line.stage };
    for (int c = 0; c < texts.size(); ++c)
        m_grid->setItem(row, c, new QTableWidgetItem(texts[c]));
    m_filling = false;
    askOriginAndStage(row);
}

void FrmCatch::addNothingCaught()
{
    int added = 0;
    for (const QString &angler : std::as_const(m_anglers)) {
        bool hasLine = false;
        for (int r = 0; r < m_grid->rowCount() && !hasLine; ++r)
            hasLine = cellText(m_grid, r, Angler) == angler;
        if (hasLine)
            continue;
        addLine({ angler, {}, {}, {}, 0, 0 });
        ++added;
    }
    if (added == 0) {
        platform::inform(QStringLiteral("Every angler of the trip has a line at this site already."), this);
        return;
    }
    m_changed = true;
}

void FrmCatch::removeLine()
{
    const int row = m_grid->currentRow();
    if (row < 0)
        return;
    m_grid->removeRow(row);
    m_changed = true;
}

void FrmCatch::lineChanged(int row, int column)
{
    if (m_filling)
        return;
    m_changed = true;
    if (column == Species)
        askOriginAndStage(row);
}

// Origin and life stage are asked of salmon and steelhead alone: for any
// other species they are cleared and can not be chosen.
void FrmCatch::askOriginAndStage(int row)
{
    const bool asked = catches::asksOriginAndStage(cellText(m_grid, row, Species));
    const bool filling = std::exchange(m_filling, true);
    for (const int c : { int(Origin), int(Stage) }) {
        QTableWidgetItem *item = m_grid->item(row, c);
        if (!item)
            m_grid->setItem(row, c, item = new QTableWidgetItem);
        if (!asked)
            item->setText(QString());
        item->setFlags(
            asked ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::ItemIsSelectable);
    }
    m_filling = filling;
}

QList<catches::TypedLine> FrmCatch::typedLines() const
{
    QList<catches::TypedLine> typed;
    for (int r = 0; r < m_grid->rowCount(); ++r)
        typed.append({ cellText(m_grid, r, Angler), cellText(m_grid, r, Species), cellText(m_grid, r, Origin),
            cellText(m_grid, r, Stage), cellText(m_grid, r, Kept), cellText(m_grid, r, Released) });
    return typed;
}

bool FrmCatch::save()
{
    commitOpenEditor(m_grid);
    const QString site = m_shownSite.isEmpty() ? chosenSite() : m_shownSite;
    if (site.isEmpty()) {
        platform::warn(QStringLiteral("Please choose the site fished, or type its code."), this);
        m_site->setFocus();
        return false;
    }
    QList<Line> lines;
    catches::Refusal refusal;
    if (const Status s = catches::checked(typedLines(), lines, &refusal); !s) {
        platform::warn(s.message(), this);
        static constexpr int columnOf[] = { Angler, Species, Kept, Released, Origin, Stage };
        m_grid->setCurrentCell(refusal.row, columnOf[refusal.column]);
        m_grid->setFocus();
        return false;
    }
    {
        // The trip's results change; no window moves from the booking it shows.
        const platform::KeepPlace keep;
        if (!platform::reportFailure(
                catches::save(m_booking.id, { m_shownDay, site, m_water->text().trimmed(), lines }), this))
            return false;
    }
    m_shownSite = site;
    m_changed = false;
    if (readRecorded())
        showSiteDay(m_shownDay, site);
    emit saved();
    return true;
}

void FrmCatch::closeEvent(QCloseEvent *event)
{
    if (!mayLeave()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace bm
