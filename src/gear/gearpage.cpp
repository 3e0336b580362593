#include "gear/gearpage.h"

#include "platform/countline.h"
#include "platform/mainhub.h"
#include "schema/fields.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace bm
{

const QStringList &equipmentItems()
{
    static const QStringList items { "Depth Finder", "Trolling Motor", "Global Positioning System",
        "Spare Prop", "Life Jacket", "Tackle Box", "Battery Charger", "Downrigger", "Rain Suit" };
    return items;
}

const QList<GearPageDef> &gearPageDefs()
{
    using F = GearField;
    static const QList<GearPageDef> defs {
        {
            .caption = "Rods and Reels",
            .source = "Data1",
            .table = table::Rods,
            .groups = { "Reels", "Rods" },
            .fields = {
                { "Text1", "Make:", field::Rods::ReelMake, F::Line, 0 },
                { "Text2", "Model:", field::Rods::ReelModel, F::Line, 0 },
                { "Text3", "Type:", field::Rods::ReelType, F::Line, 0 },
                { "Text4", "Remarks:", field::Rods::ReelNote, F::Notes, 0 },
                { "Text5", "Make:", field::Rods::RodMake, F::Line, 1 },
                { "Text6", "Model:", field::Rods::RodModel, F::Line, 1 },
                { "Text7", "Length:", field::Rods::RodLength, F::Line, 1 },
                { "Text8", "Remarks:", field::Rods::RodNote, F::Notes, 1 },
            },
            .hint = {},
            .toolbar = "Toolbar1",
            .tipNew = "Add a new Rod or Reel",
            .tipEdit = "Edit this Rod or Reel",
            .tipDelete = "Delete this Rod and Reel",
            .frame = "Frame5",
            .navSuffix = "",
            .itemName = "Rod and Reel",
            .navItemName = "Rod and Reel",
            .countText = " Rods and Reels are saved.",
            .colour = QColor(0, 128, 0),
            .report = "rods.rpt",
            .helpTopic = "2600",
            .focusOnAdd = "Text1",
            .focusOnEdit = "Text1",
        },
        {
            .caption = "Boat and Motor",
            .source = "Data2",
            .table = table::Boat,
            .groups = { "Boat", "Motor" },
            .fields = {
                { "Text9", "Make & Model:", field::Boat::Boat, F::Line, 0 },
                { "Text10", "Serial No:", field::Boat::Serial, F::Line, 0 },
                { "Text11", "Notes:", field::Boat::Maint, F::Notes, 0 },
                { "Text12", "Make & Model:", field::Boat::Motor, F::Line, 1 },
                { "Text13", "Serial No:", field::Boat::SerialM, F::Line, 1 },
                { "Text14", "Notes:", field::Boat::MaintM, F::Notes, 1 },
            },
            .hint = {},
            .toolbar = "Toolbar2",
            .tipNew = "Add a new Boat and Motor",
            .tipEdit = "Edit this Boat and Motor",
            .tipDelete = "Delete this Boat and Motor",
            .frame = "Frame8",
            .navSuffix = "B",
            .itemName = "Boat and Motor",
            .navItemName = "boat record",
            .countText = " Boats and Motors are saved.",
            .colour = QColor(128, 0, 0),
            .report = "boat.rpt",
            .helpTopic = "2700",
            .focusOnAdd = "Text9",
            .focusOnEdit = "Text9",
        },
        {
            .caption = "Other Equipment",
            .source = "Data3",
            .table = table::Equipment,
            .groups = {},
            .fields = {
                { "Combo1", "Item:", field::Equipment::Item, F::ItemList },
                { "Text15", "Make:", field::Equipment::Make },
                { "Text16", "Model:", field::Equipment::Model },
                { "Text17", "Serial No:", field::Equipment::SerialNo },
                { "Text18", "Price:", field::Equipment::Price },
                { "Text19", "Remarks:", field::Equipment::Remarks, F::Notes },
            },
            .hint = "Select an Item or type your own in the item box.",
            .toolbar = "Toolbar3",
            .tipNew = "Add new Equipment",
            .tipEdit = "Edit this item",
            .tipDelete = "Delete this item",
            .frame = "Frame7",
            .navSuffix = "E",
            .itemName = "item",
            .navItemName = "item",
            .countText = " Equipment Items are saved.",
            .colour = QColor(0, 0, 192),
            .report = "equipment.rpt",
            .helpTopic = "2800",
            .focusOnAdd = "Combo1",
            .focusOnEdit = "Text15",
        },
    };
    return defs;
}

QList<ToolbarPosition> gearToolbarPositions(const GearPageDef &def)
{
    // The captions of the editing buttons end in a blank.
    return {
        { "New", "New ", def.tipNew },
        { "Edit", "Edit ", def.tipEdit },
        { "Undo", "Undo ", "Undo changes" },
        { "Save", "Save ", "Save changes" },
        { "Delete", "Delete ", def.tipDelete },
        ToolbarPosition::separator(),
        { "Print", "Print", "Print Preview" },
        { "Help", "Help", "Show Help" },
        { "Exit", "Exit", "Exit" },
    };
}

FormTexts gearTexts(const GearPageDef &def)
{
    FormTexts t = FormTexts::forItem(def.itemName);
    t.firstRecord.text = QStringLiteral("This is the first ") + def.navItemName + QLatin1Char('.');
    t.lastPosition.text = QStringLiteral("This is the last ") + def.navItemName + QLatin1Char('.');
    t.saved.text = QStringLiteral("Changes have been saved.");
    // The gear pages test no field on Save.
    t.emptyEntry.text.clear();
    return t;
}

GearPage::GearPage(const GearPageDef &def, QWidget *window, QLabel *countLine, QWidget *parent)
    : QWidget(parent)
    , m_def(def)
    , m_window(window)
    , m_source(new RecordSource(def.source, def.table, window))
    , m_binder(new FieldBinder(m_source, this))
    , m_toolbar(new QToolBar(this))
{
    setObjectName(QStringLiteral("page") + def.source);
    m_toolbar->setObjectName(def.toolbar);
    m_toolbar->setIconSize(QSize(22, 22));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_toolbar);
    layout->addWidget(makeFields(), 1);
    layout->addWidget(makeFrame());
    makeForm(countLine);
}

QWidget *GearPage::makeFields()
{
    auto *area = new QWidget(this);
    auto *row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);
    QList<QGridLayout *> grids;
    const int groups = std::max<int>(1, int(m_def.groups.size()));
    for (int g = 0; g < groups; ++g) {
        auto *box = new QGroupBox(m_def.groups.value(g), area);
        grids << new QGridLayout(box);
        row->addWidget(box, 1);
    }

    for (const GearField &f : m_def.fields) {
        QGridLayout *grid = grids.value(std::max(0, f.group));
        QWidget *box = grid->parentWidget();
        QWidget *w = nullptr;
        if (f.kind == GearField::Notes) {
            auto *notes = new QPlainTextEdit(box);
            notes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            notes->setTabChangesFocus(true);
            w = notes;
        } else if (f.kind == GearField::ItemList) {
            auto *list = new QComboBox(box);
            fillList(list, equipmentItems());
            w = list;
        } else {
            w = new QLineEdit(box);
        }
        w->setObjectName(f.control);
        auto *label = new QLabel(f.label, box);
        // A buddy would take the "&" of "Make & Model:" for an access key.
        if (!f.label.contains(QLatin1Char('&')))
            label->setBuddy(w);
        const int r = grid->rowCount();
        grid->addWidget(label, r, 0, f.kind == GearField::Notes ? Qt::AlignTop : Qt::Alignment());
        grid->addWidget(w, r, 1);
        if (f.kind == GearField::Notes)
            grid->setRowStretch(r, 1);
        m_binder->bind(w, f.field);
        m_controls.insert(f.control, w);
    }
    if (!m_def.hint.isEmpty()) {
        QGridLayout *grid = grids.first();
        auto *hint = new QLabel(m_def.hint, grid->parentWidget());
        hint->setWordWrap(true);
        grid->addWidget(hint, grid->rowCount(), 1);
    }
    for (QGridLayout *grid : std::as_const(grids))
        grid->setColumnStretch(1, 1);
    return area;
}

QGroupBox *GearPage::makeFrame()
{
    m_frame.emplace(
        QStringLiteral("Select"), m_def.frame, this, NavigationFrame::Captions::Arrows, m_def.navSuffix);
    static_cast<QBoxLayout *>(m_frame->box->layout())->addStretch(1);
    return m_frame->box;
}

void GearPage::makeForm(QLabel *countLine)
{
    FormDeclaration d;
    d.source = m_source;
    d.binder = m_binder;
    d.focusOnAdd = control(m_def.focusOnAdd);
    d.focusOnEdit = control(m_def.focusOnEdit);
    d.selectAllOnEdit = true;
    d.texts = gearTexts(m_def);
    d.afterSave = Reposition::LastModified;
    d.windowCommands = { m_frame->box };
    d.countLabel = countLine;
    d.countText = m_def.countText;
    d.editAddsWhenEmpty = true;
    d.ownCommand = [this](const QString &key) { ownCommand(key); };
    m_form = new RecordForm(std::move(d), m_window);
    m_form->attachToolbar(m_toolbar, gearToolbarPositions(m_def));
    m_form->attach(*m_frame);
}

QAction *GearPage::action(const QString &key) const
{
    for (QAction *a : m_toolbar->actions())
        if (!a->isSeparator() && a->data().toString() == key)
            return a;
    return nullptr;
}

QString GearPage::countLine(const QString &shown) const
{
    return platform::countLine(*m_source, QStringLiteral("%1") + m_def.countText, shown, m_window);
}

// The page's own keys; a key that names no command does nothing.
void GearPage::ownCommand(const QString &key)
{
    if (key == QLatin1String("Print"))
        platform::printReport(m_def.report);
    else if (key == QLatin1String("Help"))
        platform::showHelpTopic(m_def.helpTopic);
    else if (key == QLatin1String("Exit"))
        m_window->close();
}

} // namespace bm
