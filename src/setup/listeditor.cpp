#include "setup/listeditor.h"

#include "schema/fields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

const QVector<ListEditorDef> &listEditorDefs()
{
    using S = ListEditorDef;
    const QString atLeastOne = QStringLiteral("At least one record has to be present at all times.");
    static const QVector<ListEditorDef> specs {
        { S::FishingPage, "Picture5", "Species Guide For", "Species:", "Data6", table::Species,
            field::Species::Fish, "Text9", "s", "Species", "Species", "Species", atLeastOne, Reposition::None,
            true, true, false },
        { S::FishingPage, "Picture6", "Lakes and Rivers Fished", "Lake/River:", "Data2", table::LakesFished,
            field::LakesFished::Lake, "Text8", "l", "Lake", "Lake or River", "Lake", atLeastOne,
            Reposition::None, false, false, false },
        { S::FishingPage, "Picture7", "Ramps and Marinas Used", "Location:", "Data5", table::Marinas,
            field::Marinas::Ramps, "Text11", "m", "Ramp", "Ramp or Marina", "Ramp or Marina", atLeastOne,
            Reposition::None, false, false, false },
        { S::FishingPage, "Picture8", "Lures and Baits Used", "Lure / Bait:", "Data3", table::Lures,
            field::Lures::Bait, "Text10", "b", "Bait", "Lure or Bait", "Lure or Bait",
            QStringLiteral("At least one Bait has to be present at all times."), Reposition::None, false,
            false, false },
        { S::FishingPage, "Picture9", "Lure Colors Used", "Lure Colors:", "Data4", table::LureColor,
            field::LureColor::Color, "Text12", "c", "Color", "Color", "Color", atLeastOne, Reposition::None,
            false, false, false },
        { S::TripRatesPage, "Picture2", "Type of Trip", "Type:", "Data7", table::TripType,
            field::TripType::TripType, "Text13", "t", "Trip Type", "Trip Type", "Trip Type", atLeastOne,
            Reposition::MoveLast, true, true, false },
        { S::TripRatesPage, "Picture3", "Trip Rates", "Rate:", "Data8", table::TripRates,
            field::TripRates::TripRates, "Text14", "r", "Trip Rate", "Trip Rate", "Trip Rate", atLeastOne,
            Reposition::MoveLast, true, true, true },
        { S::TripRatesPage, "Picture4", "Deposit Amounts", "Deposits:", "Data9", table::Deposits,
            field::Deposits::Deposits, "Text15", "d", "Deposit Amount", "Deposit Amount", "Deposit Amount",
            atLeastOne, Reposition::MoveLast, true, true, true },
        { S::LogbookPage, "Picture10", "Site Codes", "Code:", "Data10", table::SiteCodes,
            field::SiteCodes::Code, "txtSiteCode", "k", "Site Code", "Site Code", "Site Code", atLeastOne,
            Reposition::LastModified, true, true, false },
    };
    return specs;
}

FormTexts listEditorTexts(const ListEditorDef &def)
{
    FormTexts t = FormTexts::forItem(def.itemName);
    t.emptyEntry.text
        = QStringLiteral("Please enter a ") + def.entryPhrase + QStringLiteral(" or click Cancel.");
    t.saved.text = def.savedPhrase + QStringLiteral(" saved.");
    t.lastRecord.text = FormTexts::lastRecordLines(def.itemName, def.thirdLine);
    return t;
}

namespace
{

// The 16 by 16 pictures of the Back, Next and Delete buttons.
QIcon picture(FormCommand command)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (command == FormCommand::Delete) {
        p.setPen(QPen(QColor(176, 32, 32), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else {
        QPainterPath arrow;
        if (command == FormCommand::Back) {
            arrow.moveTo(11, 3);
            arrow.lineTo(4, 8);
            arrow.lineTo(11, 13);
        } else {
            arrow.moveTo(5, 3);
            arrow.lineTo(12, 8);
            arrow.lineTo(5, 13);
        }
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(32, 80, 160));
        p.drawPath(arrow);
    }
    return QIcon(pm);
}

} // namespace

ListEditor::ListEditor(const ListEditorDef &def, QWidget *window, QWidget *parent)
    : QGroupBox(def.title, parent)
    , m_def(def)
    , m_window(window)
    , m_source(new RecordSource(def.source, def.table, window))
    , m_binder(new FieldBinder(m_source, this))
    , m_entry(new QLineEdit(this))
{
    setObjectName(def.panel);
    m_entry->setObjectName(def.entry);

    auto *fieldRow = new QHBoxLayout;
    auto *label = new QLabel(def.label, this);
    label->setMinimumWidth(80);
    label->setBuddy(m_entry);
    fieldRow->addWidget(label);
    if (def.amount)
        fieldRow->addWidget(new QLabel(QStringLiteral("$"), this));
    fieldRow->addWidget(m_entry, 1);

    auto *commandRow = new QHBoxLayout;
    struct Button {
        FormCommand command;
        const char *name;
        const char *caption;
    };
    const Button buttons[] = { { FormCommand::Back, "cmdBack", "" }, { FormCommand::Next, "cmdNext", "" },
        { FormCommand::Delete, "cmdDelete", "" }, { FormCommand::Add, "cmdAdd", "Add" },
        { FormCommand::Edit, "cmdEdit", "Edit" }, { FormCommand::Cancel, "cmdCancel", "Cancel" },
        { FormCommand::Save, "cmdSave", "Save" } };
    for (const Button &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name) + def.suffix);
        button->setAutoDefault(false);
        if (!*b.caption) {
            // A picture alone: its name shows when the pointer rests on it.
            const QString name = QString::fromLatin1(b.name).mid(3);
            button->setToolTip(name);
            button->setAccessibleName(name);
            button->setIcon(picture(b.command));
            button->setIconSize(QSize(16, 16));
            button->setFixedWidth(32);
        }
        commandRow->addWidget(button);
        m_buttons.insert(int(b.command), button);
    }
    commandRow->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fieldRow);
    layout->addLayout(commandRow);
    m_fieldRows = 1;

    m_binder->bind(m_entry, def.field);
}

QLineEdit *ListEditor::addField(const QString &label, const QString &field, const QString &entryName)
{
    auto *entry = new QLineEdit(this);
    entry->setObjectName(entryName);
    auto *row = new QHBoxLayout;
    auto *caption = new QLabel(label, this);
    caption->setMinimumWidth(80);
    caption->setBuddy(entry);
    row->addWidget(caption);
    row->addWidget(entry, 1);
    static_cast<QVBoxLayout *>(layout())->insertLayout(m_fieldRows++, row);
    m_binder->bind(entry, field);
    setTabOrder(m_entry, entry);
    return entry;
}

QPushButton *ListEditor::command(FormCommand command) const
{
    return m_buttons.value(int(command));
}

void ListEditor::makeForm(
    const QList<QObject *> &windowCommands, const QList<QWidget *> &siblings, QWidget *notice)
{
    FormDeclaration d;
    d.source = m_source;
    d.binder = m_binder;
    d.keyField = m_entry;
    d.texts = listEditorTexts(m_def);
    d.afterSave = m_def.afterSave;
    d.focusAfterSave = m_def.focusAfterSave;
    d.focusAfterCancel = m_def.focusAfterCancel;
    d.windowCommands = windowCommands;
    d.siblingPanels = siblings;
    d.editNotice = notice;
    m_form = new RecordForm(std::move(d), m_window);
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        m_form->attach(FormCommand(it.key()), it.value());
}

} // namespace bm
