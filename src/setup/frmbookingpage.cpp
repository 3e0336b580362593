#include "setup/frmbookingpage.h"

#include "core/apppaths.h"
#include "core/dates.h"
#include "core/entries.h"
#include "db/changes.h"
#include "db/database.h"
#include "domain/guides.h"
#include "platform/failures.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "recordform/celleditors.h"
#include "recordform/commandbutton.h"
#include "recordform/datepicker.h"
#include "schema/fields.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace bm
{

namespace
{

namespace BP = bookingpage;

const QString everyone = QStringLiteral("(everyone)");

enum TripColumn { TripType, Length, StartTime, Price, Deposit, LargestParty, TripColumns };
enum DayOffColumn { DayDate, DayGuide, DayOffColumns };

QTableWidget *grid(const char *name, const QStringList &headers, QWidget *parent)
{
    auto *g = new QTableWidget(0, int(headers.size()), parent);
    g->setObjectName(QLatin1String(name));
    g->setHorizontalHeaderLabels(headers);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->verticalHeader()->setVisible(false);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
        | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    return g;
}

QSpinBox *counter(const char *name, const BP::Bounds &bounds, const QString &suffix, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(bounds.lowest, bounds.highest);
    box->setSuffix(suffix);
    return box;
}

QString amountText(const std::optional<Money> &amount)
{
    return amount ? amount->toString() : QString();
}

} // namespace

FrmBookingPage::FrmBookingPage(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_fileNote(new QLabel(
          QStringLiteral(
              "The booking page is served from a shared database; these settings wait until then."),
          this))
    , m_cmdSave(commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this))
    , m_cmdCancel(commandButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
{
    setObjectName(QStringLiteral("frmBookingPage"));
    setWindowTitle(QStringLiteral("Booking Page"));
    m_fileNote->setObjectName(QStringLiteral("lblFileNote"));
    m_fileNote->setWordWrap(true);
    m_fileNote->setVisible(!db::onServer(databasePath()));

    auto *top = new QHBoxLayout;
    top->addWidget(makeSettings());
    top->addWidget(makeDaysOff(), 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_fileNote);
    layout->addLayout(top);
    layout->addWidget(makeTrips(), 1);
    layout->addLayout(buttons);

    connect(m_cmdSave, &QPushButton::clicked, this, [this] {
        if (!save())
            return;
        m_leaving = true;
        close();
    });
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        m_leaving = true;
        close();
    });
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3600")); });
    platform::addHelpCommand(this, m_cmdHelp);
    connect(&DataChanges::instance(), &DataChanges::tableChanged, this, &FrmBookingPage::followChanges);
    load();
    resize(sizeHint().expandedTo(QSize(760, 560)));
}

QWidget *FrmBookingPage::makeSettings()
{
    auto *box = new QGroupBox(QStringLiteral("Season and Days"), this);
    box->setObjectName(QStringLiteral("fraSettings"));
    m_seasonStart = new DatePicker(box);
    m_seasonStart->setObjectName(QStringLiteral("dtpSeasonStart"));
    m_seasonStart->setToolTip(QStringLiteral("Leave it empty for a season without a first day"));
    m_seasonEnd = new DatePicker(box);
    m_seasonEnd->setObjectName(QStringLiteral("dtpSeasonEnd"));
    m_seasonEnd->setToolTip(QStringLiteral("Leave it empty for a season without a last day"));
    // Room for a whole date even while a picker is empty.
    for (DatePicker *picker : { m_seasonStart, m_seasonEnd })
        picker->setMinimumWidth(picker->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 48);
    auto *days = new QHBoxLayout;
    days->setSpacing(4);
    // Named in the system's language, Monday first as the page counts them.
    const char *names[] = { "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday" };
    for (int weekday = 1; weekday <= 7; ++weekday) {
        auto *day = new QCheckBox(QLocale().dayName(weekday, QLocale::ShortFormat), box);
        day->setObjectName(QStringLiteral("chk") + QLatin1String(names[weekday - 1]));
        day->setToolTip(QLocale().dayName(weekday));
        days->addWidget(day);
        m_weekdays << day;
    }
    m_tripsPerGuide = counter("spnTripsPerGuide", BP::tripsPerGuideBounds, QString(), box);
    m_noticeDays = counter("spnNoticeDays", BP::noticeDaysBounds, QStringLiteral(" days"), box);
    m_daysAhead = counter("spnDaysAhead", BP::daysAheadBounds, QStringLiteral(" days"), box);
    m_cancelDays
        = counter("spnCancelDays", BP::cancelDaysBounds, QStringLiteral(" days before the trip"), box);
    auto *form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(QStringLiteral("First day of the season:"), m_seasonStart);
    form->addRow(QStringLiteral("Last day of the season:"), m_seasonEnd);
    form->addRow(QStringLiteral("Days worked:"), days);
    form->addRow(QStringLiteral("Trips per guide a day:"), m_tripsPerGuide);
    form->addRow(QStringLiteral("Shortest notice:"), m_noticeDays);
    form->addRow(QStringLiteral("Page shows ahead:"), m_daysAhead);
    form->addRow(QStringLiteral("Client may cancel until:"), m_cancelDays);
    m_cancelDays->setToolTip(QStringLiteral("How many days before the trip a client may still cancel it"));
    m_daysAhead->setToolTip(QStringLiteral("How many days ahead clients may book"));
    m_noticeDays->setToolTip(QStringLiteral("How many days before the trip a client must book it"));
    return box;
}

QWidget *FrmBookingPage::makeTrips()
{
    auto *box = new QGroupBox(QStringLiteral("Trips Offered"), this);
    box->setObjectName(QStringLiteral("fraTrips"));
    m_trips = grid("grdTrips",
        { QStringLiteral("Trip Type"), QStringLiteral("Length"), QStringLiteral("Start Time"),
            QStringLiteral("Price"), QStringLiteral("Deposit"), QStringLiteral("Largest Party") },
        box);
    m_trips->setItemDelegateForColumn(TripType, new ChoiceCells(&m_tripTypes, true, m_trips));
    m_trips->setColumnWidth(TripType, 170);
    auto *add = commandButton(QStringLiteral("cmdAddTrip"), QStringLiteral("Add &Trip"), box);
    auto *remove = commandButton(QStringLiteral("cmdRemoveTrip"), QStringLiteral("&Remove Trip"), box);
    connect(add, &QPushButton::clicked, this, [this] {
        addTripRow({});
        m_trips->setCurrentCell(m_trips->rowCount() - 1, TripType);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_trips->currentRow() >= 0)
            m_trips->removeRow(m_trips->currentRow());
    });
    auto *commands = new QVBoxLayout;
    commands->addWidget(add);
    commands->addWidget(remove);
    commands->addStretch(1);
    auto *layout = new QHBoxLayout(box);
    layout->addWidget(m_trips, 1);
    layout->addLayout(commands);
    return box;
}

QWidget *FrmBookingPage::makeDaysOff()
{
    auto *box = new QGroupBox(QStringLiteral("Days Off"), this);
    box->setObjectName(QStringLiteral("fraDaysOff"));
    m_daysOff = grid("grdDaysOff", { QStringLiteral("Date"), QStringLiteral("Guide") }, box);
    m_daysOff->setItemDelegateForColumn(DayDate, new DateCells(m_daysOff));
    m_daysOff->setItemDelegateForColumn(DayGuide, new ChoiceCells(&m_guides, false, m_daysOff));
    m_daysOff->setColumnWidth(DayDate, 120);
    auto *add = commandButton(QStringLiteral("cmdAddDayOff"), QStringLiteral("Add &Day Off"), box);
    auto *remove = commandButton(QStringLiteral("cmdRemoveDayOff"), QStringLiteral("R&emove Day Off"), box);
    connect(add, &QPushButton::clicked, this, [this] {
        addDayOffRow({});
        m_daysOff->setCurrentCell(m_daysOff->rowCount() - 1, DayDate);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_daysOff->currentRow() >= 0)
            m_daysOff->removeRow(m_daysOff->currentRow());
    });
    auto *commands = new QHBoxLayout;
    commands->addWidget(add);
    commands->addWidget(remove);
    commands->addStretch(1);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(m_daysOff, 1);
    layout->addLayout(commands);
    return box;
}

void FrmBookingPage::load()
{
    // The lists the cells offer: a list that can not be read offers what
    // it offered before, and says why.
    QVector<QPair<Bookmark, QString>> types;
    if (platform::reportFailure(RecordSource(QStringLiteral("Data2"), table::TripType)
                                    .columnValues(field::TripType::TripType, types),
            this)) {
        m_tripTypes.clear();
        for (const auto &t : std::as_const(types))
            m_tripTypes << t.second;
    }
    QList<guides::Guide> roster;
    if (platform::reportFailure(guides::roster(roster), this)) {
        m_guides = QStringList { everyone };
        for (const guides::Guide &g : std::as_const(roster))
            m_guides << g.name;
    }
    BP::Page page;
    if (!platform::reportFailure(BP::read(page), this)) {
        // What was read before still stands, and changes are told from it.
        // Read never, there is nothing to tell a change from: a save could
        // only add the trips and days off shown a second time.
        m_cmdSave->setEnabled(m_readOk);
        return;
    }
    m_readOk = true;
    m_cmdSave->setEnabled(true);
    m_read = page;
    showPage(page);
    m_shownAtRead = shownValues();
}

void FrmBookingPage::showPage(const BP::Page &page)
{
    const BP::Settings &s = page.settings;
    m_seasonStart->setValue(s.seasonStart);
    m_seasonEnd->setValue(s.seasonEnd);
    for (qsizetype day = 0; day < m_weekdays.size(); ++day)
        m_weekdays[day]->setChecked(s.weekdays.contains(QChar(char16_t(u'1' + day))));
    m_tripsPerGuide->setValue(s.tripsPerGuide);
    m_noticeDays->setValue(s.noticeDays);
    m_daysAhead->setValue(s.daysAhead);
    m_cancelDays->setValue(s.cancelDays);
    m_trips->setRowCount(0);
    for (const BP::Trip &t : page.trips)
        addTripRow(t);
    m_daysOff->setRowCount(0);
    for (const BP::DayOff &d : page.daysOff)
        addDayOffRow(d);
}

// A row keeps the key of its record in its first cell; a new row has none.
void FrmBookingPage::addTripRow(const BP::Trip &t)
{
    const int row = m_trips->rowCount();
    m_trips->insertRow(row);
    const QString texts[]
        = { t.tripType, t.length, t.startTime, amountText(t.price), amountText(t.deposit), t.largestParty };
    for (int c = 0; c < TripColumns; ++c)
        m_trips->setItem(row, c, new QTableWidgetItem(texts[c]));
    m_trips->item(row, 0)->setData(Qt::UserRole, t.id);
}

void FrmBookingPage::addDayOffRow(const BP::DayOff &d)
{
    const int row = m_daysOff->rowCount();
    m_daysOff->insertRow(row);
    m_daysOff->setItem(row, DayDate, new QTableWidgetItem(shortDate(d.date)));
    m_daysOff->setItem(row, DayGuide, new QTableWidgetItem(d.guide.isEmpty() ? everyone : d.guide));
    m_daysOff->item(row, 0)->setData(Qt::UserRole, d.id);
}

QStringList FrmBookingPage::shownValues() const
{
    QStringList v { m_seasonStart->text(), m_seasonEnd->text(), m_tripsPerGuide->text(), m_noticeDays->text(),
        m_daysAhead->text(), m_cancelDays->text() };
    for (const QCheckBox *day : m_weekdays)
        v << (day->isChecked() ? QStringLiteral("x") : QStringLiteral("-"));
    for (const QTableWidget *g : { m_trips, m_daysOff }) {
        v << QString::number(g->rowCount());
        for (int r = 0; r < g->rowCount(); ++r)
            for (int c = 0; c < g->columnCount(); ++c)
                v << cellText(g, r, c) + QLatin1Char('/') + g->item(r, 0)->data(Qt::UserRole).toString();
    }
    return v;
}

bool FrmBookingPage::hasChanges() const
{
    return m_readOk && shownValues() != m_shownAtRead;
}

bool FrmBookingPage::refuse(QTableWidget *grid, int row, int column, const QString &message)
{
    platform::warn(message, this);
    if (grid) {
        grid->setCurrentCell(row, column);
        grid->setFocus();
    }
    return false;
}

bool FrmBookingPage::readPage(BP::Page &page)
{
    BP::Settings &s = page.settings;
    s.seasonStart = m_seasonStart->value();
    s.seasonEnd = m_seasonEnd->value();
    if (s.seasonStart.isValid() && s.seasonEnd.isValid() && s.seasonEnd < s.seasonStart) {
        m_seasonEnd->setFocus();
        return refuse(nullptr, 0, 0, QStringLiteral("The last day of the season is before its first day."));
    }
    s.weekdays.clear();
    for (qsizetype day = 0; day < m_weekdays.size(); ++day)
        if (m_weekdays[day]->isChecked())
            s.weekdays += QChar(char16_t(u'1' + day));
    s.tripsPerGuide = m_tripsPerGuide->value();
    s.noticeDays = m_noticeDays->value();
    s.daysAhead = m_daysAhead->value();
    s.cancelDays = m_cancelDays->value();

    for (int r = 0; r < m_trips->rowCount(); ++r) {
        BP::Trip t { m_trips->item(r, 0)->data(Qt::UserRole).toLongLong(), cellText(m_trips, r, TripType),
            cellText(m_trips, r, Length), {}, {}, {}, {} };
        const auto start = entries::startTime(cellText(m_trips, r, StartTime));
        const auto party = entries::wholeNumber(cellText(m_trips, r, LargestParty),
            BP::largestPartyBounds.lowest, BP::largestPartyBounds.highest);
        const QString price = cellText(m_trips, r, Price), deposit = cellText(m_trips, r, Deposit);
        t.price = Money::parse(price);
        t.deposit = Money::parse(deposit);
        if (t.tripType.isEmpty() && t.length.isEmpty() && start == QString() && price.isEmpty()
            && deposit.isEmpty() && party == QString())
            continue; // a row added and left empty
        const QString which = QStringLiteral("trip %1").arg(r + 1);
        if (t.tripType.isEmpty())
            return refuse(
                m_trips, r, TripType, QStringLiteral("Please choose the Trip Type of %1.").arg(which));
        if (!start)
            return refuse(m_trips, r, StartTime,
                QStringLiteral("Please enter the Start Time of %1 as hours and minutes, like 06:30.")
                    .arg(which));
        for (const auto &[text, amount, column] :
            { std::tuple(price, t.price, int(Price)), std::tuple(deposit, t.deposit, int(Deposit)) })
            if (!text.isEmpty() && (!amount || *amount < Money()))
                return refuse(m_trips, r, column,
                    QStringLiteral("Please enter the %1 of %2 as a Dollar Amount.")
                        .arg(column == Price ? QStringLiteral("Price") : QStringLiteral("Deposit"), which));
        if (!party)
            return refuse(m_trips, r, LargestParty,
                QStringLiteral("Please enter the Largest Party of %1 as a whole number from %2 to %3.")
                    .arg(which)
                    .arg(BP::largestPartyBounds.lowest)
                    .arg(BP::largestPartyBounds.highest));
        t.startTime = *start;
        t.largestParty = *party;
        page.trips << t;
    }

    for (int r = 0; r < m_daysOff->rowCount(); ++r) {
        const QString date = cellText(m_daysOff, r, DayDate), guide = cellText(m_daysOff, r, DayGuide);
        BP::DayOff d { m_daysOff->item(r, 0)->data(Qt::UserRole).toLongLong(), parseDate(date),
            guide == everyone ? QString() : guide };
        if (date.isEmpty() && d.guide.isEmpty())
            continue;
        if (!d.date.isValid())
            return refuse(m_daysOff, r, DayDate,
                QStringLiteral("Please enter the date of day off %1 as a date, like %2.")
                    .arg(r + 1)
                    .arg(shortDate(QDate(2027, 7, 4))));
        page.daysOff << d;
    }
    return true;
}

void FrmBookingPage::commitOpenEdits()
{
    for (QTableWidget *g : { m_trips, m_daysOff })
        commitOpenEditor(g);
}

bool FrmBookingPage::save()
{
    commitOpenEdits();
    BP::Page page;
    if (!m_readOk || !readPage(page))
        return false;
    if (!platform::reportFailure(BP::save(m_read, page), this))
        return false;
    m_read = page;
    m_shownAtRead = shownValues();
    return true;
}

void FrmBookingPage::followChanges(const QString &location, const QString &table)
{
    // Another desk's (or window's) change shows here while the guide has
    // changed nothing; his own changes are never overwritten.
    const QStringList followed { table::BookingPage, table::PageTrips, table::DaysOff, table::TripType,
        table::Guides };
    if (location != databasePath() || !followed.contains(table) || hasChanges())
        return;
    load();
}

void FrmBookingPage::closeEvent(QCloseEvent *event)
{
    commitOpenEdits();
    if (!m_leaving && hasChanges()) {
        const bool keep
            = platform::askYesNo(QStringLiteral("Do you want to save the changes to the booking page?"),
                QStringLiteral("Booking Page"), this);
        if (keep && !save()) {
            event->ignore();
            return;
        }
    }
    m_leaving = false;
    event->accept();
}

} // namespace bm
