#include "records/frmpatterns.h"

#include "platform/countline.h"
#include "platform/mainhub.h"
#include "platform/windowrules.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace bm
{

const QList<ToolbarPosition> &FrmPatterns::toolbarPositions()
{
    static const QList<ToolbarPosition> positions {
        ToolbarPosition::separator(),
        { "New", "New", "Add a new Pattern" },
        { "Edit", "Edit", "Edit this Pattern" },
        { "Undo", "Cancel", "Undo any changes" },
        { "Save", "Save", "Save the changes" },
        { "Delete", "Delete", "Delete this Pattern" },
        ToolbarPosition::separator(),
        { "Print", "Print", "Show Print Preview" },
        { "Help", "Help", "Show Help for this" },
        { "Exit", "Exit", "Exit" },
    };
    return positions;
}

const QList<PatternField> &FrmPatterns::fields()
{
    static const QList<PatternField> list {
        { "Text1", "Lake / River:", field::Patterns::Lake, {} },
        { "Combo1", "Month:", field::Patterns::Month,
            { "January", "February", "March", "April", "May", "June", "July", "August", "September",
                "October", "November", "December" } },
        { "Combo2", "Air Temperature:", field::Patterns::AirTemp,
            { "'Teens", "20's", "30's", "40's", "50's", "60's", "70's", "80's", "90's" } },
        { "Combo3", "Lure:", field::Patterns::Lure,
            { "Crankbait", "Zara Spook", "Popper", "Buzz Bait", "Spinnerbait", "Texas Rig Worm",
                "Carolina Rig", "Jig n Pig", "Floating Worm", "Rattle Trap" } },
        { "Combo4", "Structure:", field::Patterns::Structure,
            { "Banks", "Brush Piles", "Docks", "Coves", "Points", "Submerged Trees", "Stumps", "Logs",
                "Rocks", "Weeds", "Lily Pads" } },
        { "Combo5", "Moon Phase:", field::Patterns::MoonPhase,
            { "Full Moon", "Half Moon", "Quarter Moon", "Dark Moon" } },
        { "Combo6", "Water Temperature:", field::Patterns::WaterTemp,
            { "30's", "40's", "50's", "60's", "70's", "80's", "90's" } },
        { "Combo7", "Lure Color:", field::Patterns::LureColor,
            { "Red", "Blue", "Brown", "Green", "Black", "White", "Yellow", "Shad", "Purple" } },
        { "Combo8", "Best Depth:", field::Patterns::BestDepth, { "Top Water", "Shallow", "Medium", "Deep" } },
        { "Text2", "Pattern:", field::Patterns::Pattern, {}, true },
        { "Text3", "Remarks:", field::Patterns::Remarks, {}, true },
    };
    return list;
}

FrmPatterns::FrmPatterns(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_patterns(new RecordSource(QStringLiteral("Data1"), table::Patterns, this))
    , m_toolbar(new QToolBar(this))
{
    setObjectName(QStringLiteral("frmPatterns"));
    platform::hideMainWhileOpen(this);
    setWindowTitle(QStringLiteral("Fishing Patterns"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);

    // The lake on top; the eight lists in two columns (month to structure,
    // moon phase to best depth); the pattern and the remarks below.
    auto *binder = new FieldBinder(m_patterns, this);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    QWidget *previous = nullptr;
    int index = 0;
    for (const PatternField &f : fields()) {
        QWidget *box;
        if (!f.choices.isEmpty()) {
            auto *combo = new QComboBox(this);
            fillList(combo, f.choices);
            combo->setMinimumWidth(170);
            box = combo;
        } else if (f.multiLine) {
            auto *text = new QPlainTextEdit(this);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setTabChangesFocus(true);
            text->setMinimumHeight(80);
            box = text;
        } else {
            box = m_lake = new QLineEdit(this);
        }
        box->setObjectName(f.control);
        binder->bind(box, f.field);
        auto *label = new QLabel(f.label, this);
        label->setBuddy(box);
        if (index == 0) {
            grid->addWidget(label, 0, 0);
            grid->addWidget(box, 0, 1, 1, 3);
        } else if (!f.choices.isEmpty()) {
            const int row = 1 + (index - 1) % 4;
            const int column = (index - 1) / 4 * 2;
            grid->addWidget(label, row, column);
            grid->addWidget(box, row, column + 1);
        } else {
            const int row = index == 9 ? 5 : 6;
            grid->addWidget(label, row, 0, Qt::AlignTop);
            grid->addWidget(box, row, 1, 1, 3);
            grid->setRowStretch(row, 1);
        }
        if (previous)
            setTabOrder(previous, box);
        previous = box;
        ++index;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 6, 10, 10);
    body->addLayout(grid, 1);
    m_navigation.emplace(QStringLiteral("Select a Pattern"), QStringLiteral("Frame1"), this);
    body->addWidget(m_navigation->box, 0, Qt::AlignHCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_toolbar);
    layout->addLayout(body, 1);
    resize(640, 520);

    FormDeclaration d;
    d.source = m_patterns;
    d.binder = binder;
    d.keyField = m_lake;
    d.texts = FormTexts::forItem(QStringLiteral("Pattern"));
    d.texts.emptyEntry.text = QStringLiteral("Please enter a Lake or click Cancel.");
    d.texts.saved.text = QStringLiteral("Changes have been Saved.");
    d.deleteQuestionText = [this] {
        return QStringLiteral("Are you sure you want to delete this Pattern for ") + m_lake->text()
            + QStringLiteral(" ?");
    };
    d.afterSave = Reposition::LastModified; // a new pattern stays on view
    d.siblingPanels = { m_navigation->box };
    d.editAddsWhenEmpty = true;
    d.countChanged = [this] { writeCaption(); };
    d.ownCommand = [this](const QString &key) { ownCommand(key); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attachToolbar(m_toolbar, toolbarPositions());
    m_form->attach(*m_navigation);
}

// Two blanks, the count and the text: "  7 Fishing Patterns Saved".
void FrmPatterns::writeCaption()
{
    setWindowTitle(
        platform::countLine(*m_patterns, QStringLiteral("  %1 Fishing Patterns Saved"), windowTitle(), this));
}

void FrmPatterns::ownCommand(const QString &key)
{
    if (key == QLatin1String("Print"))
        platform::printReport(QStringLiteral("patterns.rpt"));
    else if (key == QLatin1String("Help"))
        platform::showHelpTopic(QStringLiteral("3000"));
    else if (key == QLatin1String("Exit"))
        close();
}

void FrmPatterns::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        writeCaption();
    QWidget::changeEvent(event);
}

} // namespace bm
