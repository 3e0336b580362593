#include "bookings/frmaddtrip.h"

#include "bookings/frmcatch.h"

#include "platform/failures.h"
#include "platform/windows.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

struct Entry {
    const char *label;
    const char *field;
    QStringList entries; // empty: the entries of a list table
};

QStringList numbered(int from, int to, const QString &pattern)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << pattern.arg(i);
    return list;
}

} // namespace

FrmAddtrip::FrmAddtrip(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_booking(new RecordSource(QStringLiteral("Data1"), table::Booking, this))
    , m_dataSpecies(new RecordSource(QStringLiteral("DataSpecies"), table::Species, this))
    , m_dataLure(new RecordSource(QStringLiteral("DataLure"), table::Lures, this))
    , m_dataColor(new RecordSource(QStringLiteral("DataColor"), table::LureColor, this))
    , m_binder(new FieldBinder(m_booking, this))
{
    setObjectName(QStringLiteral("frmAddtrip"));
    setWindowTitle(QStringLiteral("Add Trip Summary"));

    auto *instruction = new QLabel(
        QStringLiteral("Make a selection from the drop-down boxes or type in your own description."), this);
    instruction->setObjectName(QStringLiteral("lblInstruction"));

    const QList<Entry> weather {
        { "Weather:", field::Booking::Weather,
            { "Sunny", "Partly Cloudy", "Cloudy", "Overcast", "Rain", "Snow", "Fog" } },
        { "Air Temp:", field::Booking::AirTemp,
            { "'Teens", "20's", "30's", "40's", "50's", "60's", "70's", "80's", "90's" } },
        { "Wind Direction:", field::Booking::WindDirection,
            { "North", "Northeast", "East", "Southeast", "South", "Southwest", "West", "Northwest" } },
        { "Wind Speed:", field::Booking::WindSpeed, { "Calm", "Light", "Moderate", "Strong", "Gusty" } },
    };
    const QList<Entry> fishing {
        { "Lake Area:", field::Booking::LakeArea,
            { "Upper Lake", "Lower Lake", "Mid Lake", "Upper River", "Lower River", "Mid River" } },
        { "Depth Fished:", field::Booking::Depth, { "Top Water", "Shallow", "Medium", "Deep" } },
        { "Water Temp:", field::Booking::WaterTemp,
            { "30's", "40's", "50's", "60's", "70's", "80's", "90's" } },
        { "Water Color:", field::Booking::WaterColor, { "Clear", "Stained", "Muddy" } },
        { "Structure:", field::Booking::Structure,
            { "Banks", "Brush Piles", "Docks", "Coves", "Points", "Submerged Trees", "Stumps", "Logs",
                "Rocks", "Weeds", "Lily Pads" } },
        { "Primary Species:", field::Booking::Species, {} },
        { "Lure / Bait:", field::Booking::Lure, {} },
        { "Lure Color:", field::Booking::LureColor, {} },
    };
    const QList<Entry> caught {
        { "Total Fish:", field::Booking::TotalFish, numbered(1, 13, QStringLiteral("%1")) },
        { "Big Fish:", field::Booking::BigFish,
            { "Largemouth Bass", "Smallmouth Bass", "Striper", "Hybrid", "Rainbow Trout", "Brown Trout",
                "Walleye", "Catfish", "Crappie", "Carp", "Northern Pike", "Bluegill" } },
        { "Big Fish Weight:", field::Booking::Weight, numbered(5, 13, QStringLiteral("%1 lbs.")) },
        { "Big Fish Length:", field::Booking::Length, numbered(15, 24, QStringLiteral("%1 inches")) },
    };

    QList<QComboBox *> combos; // in the order of their numbers
    auto group = [&](const QString &title, const QList<Entry> &entries) {
        auto *box = new QGroupBox(title, this);
        auto *form = new QFormLayout(box);
        for (const Entry &e : entries) {
            auto *combo = new QComboBox(box);
            combos.append(combo);
            combo->setObjectName(QStringLiteral("Combo%1").arg(combos.size()));
            combo->setMinimumWidth(160);
            const QString name = QString::fromLatin1(e.field);
            // A list that can not be read keeps its entries; fillList has
            // shown why.
            if (name == QLatin1String(field::Booking::Species))
                (void)fillList(combo, *m_dataSpecies, field::Species::Fish);
            else if (name == QLatin1String(field::Booking::Lure))
                (void)fillList(combo, *m_dataLure, field::Lures::Bait);
            else if (name == QLatin1String(field::Booking::LureColor))
                (void)fillList(combo, *m_dataColor, field::LureColor::Color);
            else
                fillList(combo, e.entries);
            m_binder->bind(combo, name);
            m_fields << name;
            form->addRow(QString::fromLatin1(e.label), combo);
        }
        return box;
    };

    QGroupBox *weatherBox = group(QStringLiteral("Weather Conditions"), weather);
    QGroupBox *fishingBox = group(QStringLiteral("Fishing Conditions"), fishing);
    QGroupBox *caughtBox = group(QStringLiteral("Fish Caught"), caught);
    auto *remarks = new QPlainTextEdit(caughtBox);
    remarks->setObjectName(QStringLiteral("Text1"));
    remarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    remarks->setTabChangesFocus(true);
    remarks->setFixedHeight(96);
    m_binder->bind(remarks, field::Booking::Remarks);
    m_fields << QString::fromLatin1(field::Booking::Remarks);
    static_cast<QFormLayout *>(caughtBox->layout())->addRow(QStringLiteral("Remarks:"), remarks);

    auto *left = new QVBoxLayout;
    left->addWidget(weatherBox);
    left->addWidget(caughtBox);
    auto *groups = new QHBoxLayout;
    groups->addLayout(left);
    groups->addWidget(fishingBox);

    auto *cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    auto *cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Below the written results, at the left of the commands.
    auto *cmdCatch = new QPushButton(QStringLiteral("Ca&tch..."), this);
    cmdCatch->setObjectName(QStringLiteral("cmdCatch"));
    cmdCatch->setAutoDefault(false);
    cmdCatch->setToolTip(QStringLiteral("What each angler kept and released, site by site"));
    connect(cmdCatch, &QPushButton::clicked, this, [this] { openCatch(); });
    auto *commands = new QHBoxLayout;
    commands->addWidget(cmdCatch);
    commands->addStretch();
    commands->addWidget(cmdSave);
    commands->addWidget(cmdCancel);

    auto *top = new QVBoxLayout(this);
    top->addWidget(instruction);
    top->addWidget(buildSummary());
    top->addLayout(groups, 1);
    top->addLayout(commands);

    // The tab order follows the groups: weather, fishing, then the catch.
    QWidget *previous = nullptr;
    for (QComboBox *combo : std::as_const(combos)) {
        if (previous)
            setTabOrder(previous, combo);
        previous = combo;
    }
    setTabOrder(previous, remarks);
    setTabOrder(remarks, cmdSave);
    setTabOrder(cmdSave, cmdCancel);
    setTabOrder(cmdCancel, cmdCatch);
    resize(sizeHint());

    // In edit mode while shown, on the booking it was opened for: Save
    // writes and Cancel drops the changes, and both close the window.
    FormDeclaration d;
    d.source = m_booking;
    d.binder = m_binder;
    d.saved = d.cancelled = [this] { close(); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attach(FormCommand::Save, cmdSave);
    m_form->attach(FormCommand::Cancel, cmdCancel);
}

QWidget *FrmAddtrip::buildSummary()
{
    auto *frame = new QGroupBox(QStringLiteral("Summary for:"), this);
    frame->setObjectName(QStringLiteral("fraSummary"));
    auto *grid = new QGridLayout(frame);
    const std::pair<const char *, const char *> shown[]
        = { { "Trip Date:", field::Booking::Date }, { "Client:", field::Booking::Name },
              { "Lake / River:", field::Booking::Lake }, { "Type Trip:", field::Booking::Type } };
    int i = 0;
    for (const auto &[caption, field] : shown) {
        auto *value = new QLabel(frame);
        value->setTextFormat(Qt::PlainText);
        value->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(field));
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        m_binder->bind(value, QString::fromLatin1(field));
        grid->addWidget(new QLabel(QString::fromLatin1(caption), frame), i / 2, (i % 2) * 2);
        grid->addWidget(value, i / 2, (i % 2) * 2 + 1);
        ++i;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return frame;
}

QWidget *FrmAddtrip::boxFor(const QString &field) const
{
    return m_binder->widgetFor(field);
}

bool FrmAddtrip::startEdit(Bookmark booking)
{
    m_form->dropPending();
    if (!platform::reportFailure(m_booking->setBookmark(booking), this))
        return false;
    m_form->edit();
    return m_form->isEditing();
}

bool FrmAddtrip::save()
{
    return m_form->save();
}

void FrmAddtrip::cancel()
{
    m_form->cancel();
}

FrmCatch *FrmAddtrip::openCatch()
{
    auto *w = new FrmCatch(this);
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (!w->openTrip(m_booking->bookmark())) {
        delete w;
        return nullptr;
    }
    connect(w, &FrmCatch::saved, this, &FrmAddtrip::catchSaved);
    platform::bringToFront(w);
    return w;
}

void FrmAddtrip::catchSaved()
{
    QHash<QString, QString> typed;
    for (const QString &f : std::as_const(m_fields))
        if (const QString text = FieldBinder::widgetText(m_binder->widgetFor(f)); text != m_booking->text(f))
            typed.insert(f, text);
    if (!startEdit(m_booking->bookmark()))
        return;
    // The catch's total stands; whatever else the guide typed is his.
    typed.remove(QString::fromLatin1(field::Booking::TotalFish));
    for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
        QWidget *box = m_binder->widgetFor(it.key());
        if (auto *combo = qobject_cast<QComboBox *>(box))
            combo->setEditText(it.value());
        else if (auto *text = qobject_cast<QPlainTextEdit *>(box))
            text->setPlainText(it.value());
    }
}

} // namespace bm
