#include "setup/frmsetup.h"

#include "db/rights.h"
#include "domain/sitecodes.h"
#include "exchange/sitecodefile.h"
#include "platform/failures.h"
#include "platform/filedialogs.h"
#include "platform/follow.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/windowrules.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

FrmSetup::FrmSetup(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_guideDetails(new RecordSource(QStringLiteral("Data1"), table::GuideInfo, this))
    , m_guideBinder(new FieldBinder(m_guideDetails, this))
{
    setObjectName(QStringLiteral("frmSetup"));
    platform::showMainOnClose(this);
    setWindowTitle(QStringLiteral("Database Setup"));

    auto *pages = new QWidget(this);
    auto *grid = new QGridLayout(pages);
    grid->setContentsMargins(0, 0, 0, 0);
    m_picInfo = makeGuidePage();
    m_instructions = makeInstructions();
    m_picFish = makeListPage(QStringLiteral("PicFish"), ListEditorDef::FishingPage);
    m_picTrip = makeListPage(QStringLiteral("PicTrip"), ListEditorDef::TripRatesPage);
    m_picLogbook = makeLogbookPage();
    grid->addWidget(m_picInfo, 0, 0);
    grid->addWidget(m_instructions, 1, 0);
    grid->setRowStretch(2, 1);
    // The list pages are taller and take the place of the details and the
    // instructions below them.
    grid->addWidget(m_picFish, 0, 0, 3, 1);
    grid->addWidget(m_picTrip, 0, 0, 3, 1);
    grid->addWidget(m_picLogbook, 0, 0, 3, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(makeLeftColumn());
    layout->addWidget(pages, 1);

    makeForms();
    // The guide service's details are the lodge's: a guide's desk shows
    // them and does not offer to change them.
    if (!db::rights().mayChangeSettings()) {
        m_cmdEditg->setEnabled(false);
        m_cmdEditg->setToolTip(db::notForRole(db::rights()));
    }
    showPage(Page::Info);
    resize(780, 600);
}

QWidget *FrmSetup::makeLeftColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(170);
    auto *v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    auto button = [&](const char *name, const QString &caption, int height) {
        auto *b = new QPushButton(caption, column);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setMinimumHeight(height);
        v->addWidget(b);
        return b;
    };
    m_cmdInfo = button("cmdInfo", QStringLiteral("&Service Info"), 48);
    m_cmdRates = button("cmdRates", QStringLiteral("&Trip Rates"), 48);
    m_cmdFishing = button("cmdFishing", QStringLiteral("&Fishing"), 48);
    m_cmdLogbook = button("cmdLogbook", QStringLiteral("&Logbook"), 48);

    m_notice = new QLabel(QStringLiteral(" You must Save or Cancel your changes before exiting. "), column);
    m_notice->setObjectName(QStringLiteral("Label13"));
    m_notice->setWordWrap(true);
    styleEditNotice(m_notice, 6, false);
    v->addSpacing(12);
    v->addWidget(m_notice);
    v->addStretch(1);
    m_cmdHelp = button("cmdHelp", QStringLiteral("&Help"), 30);
    m_cmdClose = button("cmdClose", QStringLiteral("&Close"), 30);

    connect(m_cmdInfo, &QPushButton::clicked, this, [this] { showPage(Page::Info); });
    connect(m_cmdFishing, &QPushButton::clicked, this, [this] { showPage(Page::Fishing); });
    connect(m_cmdRates, &QPushButton::clicked, this, [this] { showPage(Page::TripRates); });
    connect(m_cmdLogbook, &QPushButton::clicked, this, [this] { showPage(Page::Logbook); });
    connect(m_cmdHelp, &QPushButton::clicked, this, [this] {
        platform::showHelpTopic(m_picLogbook->isVisible() ? QStringLiteral("4400") : QStringLiteral("3400"));
    });
    platform::addHelpCommand(this, m_cmdHelp);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    return column;
}

QGroupBox *FrmSetup::makeGuidePage()
{
    auto *page = new QGroupBox(QStringLiteral("Guide Service Information"), this);
    page->setObjectName(QStringLiteral("PicInfo"));
    auto *grid = new QGridLayout(page);
    auto entry = [&](const char *name, const QString &label, const QString &boundField, int row) {
        auto *edit = new QLineEdit(page);
        edit->setObjectName(QString::fromLatin1(name));
        auto *l = new QLabel(label, page);
        l->setBuddy(edit);
        grid->addWidget(l, row, 0);
        grid->addWidget(edit, row, 1, 1, 3);
        m_guideBinder->bind(edit, boundField);
        return edit;
    };
    m_guideName = entry("Text1", QStringLiteral("Name:"), field::GuideInfo::GuideName, 0);
    entry("Text2", QStringLiteral("Address:"), field::GuideInfo::Address, 1);
    entry("Text3", QStringLiteral("City:"), field::GuideInfo::City, 2);

    auto *state = new QComboBox(page);
    state->setObjectName(QStringLiteral("cmbState"));
    fillList(state, stateCodes());
    m_guideBinder->bind(state, field::GuideInfo::State);
    auto *zip = new QLineEdit(page);
    zip->setObjectName(QStringLiteral("Text4"));
    m_guideBinder->bind(zip, field::GuideInfo::ZipCode);
    auto *stateLabel = new QLabel(QStringLiteral("State:"), page);
    stateLabel->setBuddy(state);
    auto *zipLabel = new QLabel(QStringLiteral("Zip Code:"), page);
    zipLabel->setBuddy(zip);
    grid->addWidget(stateLabel, 3, 0);
    grid->addWidget(state, 3, 1);
    grid->addWidget(zipLabel, 3, 2, Qt::AlignRight);
    grid->addWidget(zip, 3, 3);
    grid->setColumnStretch(3, 1);

    entry("Text5", QStringLiteral("Phone:"), field::GuideInfo::Phone, 4);
    entry("Text6", QStringLiteral("Email:"), field::GuideInfo::Email, 5);
    entry("Text7", QStringLiteral("Website:"), field::GuideInfo::Website, 6);
    entry("txtLicense", QStringLiteral("License No.:"), field::GuideInfo::License, 7)
        ->setToolTip(QStringLiteral("Your guide licence number, as the state's logbook asks it"));

    auto *row = new QHBoxLayout;
    auto button = [&](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), page);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    m_cmdEditg = button("cmdEditg", "Edit");
    m_cmdCancelg = button("cmdCancelg", "Cancel");
    m_cmdSaveg = button("cmdSaveg", "Save");
    row->addStretch(1);
    grid->addLayout(row, 8, 0, 1, 4);
    return page;
}

QWidget *FrmSetup::makeInstructions()
{
    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    auto *v = new QVBoxLayout(frame);
    for (const QString &line :
        { QStringLiteral(
              "Use this form to enter your own choices that will be available in drop-down boxes when "
              "you are adding information to your bookings."),
            QStringLiteral(
                "Begin by clicking the \"Edit\" button above to add your Guide Service information."),
            QStringLiteral(
                "Click the buttons on the left side to add other information. You can return at any "
                "time to add or delete information as necessary.") }) {
        auto *l = new QLabel(line, frame);
        l->setWordWrap(true);
        v->addWidget(l);
    }
    return frame;
}

QWidget *FrmSetup::makeListPage(const QString &name, ListEditorDef::Page page)
{
    auto *w = new QWidget(this);
    w->setObjectName(name);
    w->setAutoFillBackground(true);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    for (const ListEditorDef &def : listEditorDefs()) {
        if (def.page != page)
            continue;
        auto *editor = new ListEditor(def, this, w);
        v->addWidget(editor);
        m_editors.append(editor);
    }
    v->addStretch(1);
    return w;
}

QWidget *FrmSetup::makeLogbookPage()
{
    QWidget *page = makeListPage(QStringLiteral("PicLogbook"), ListEditorDef::LogbookPage);
    ListEditor *sites = editor(QStringLiteral("k"));
    sites->addField(QStringLiteral("Name:"), field::SiteCodes::Name, QStringLiteral("txtSiteName"));
    // Codes imported here, or added at another desk, show at once.
    platform::followTable(*sites->source());

    auto *import = new QWidget(page);
    auto *row = new QHBoxLayout(import);
    auto *hint = new QLabel(QStringLiteral("The state's list of sites, from a CSV file of two columns: "
                                           "the code, then the name."),
        import);
    hint->setWordWrap(true);
    m_cmdImportSites = new QPushButton(QStringLiteral("&Import..."), import);
    m_cmdImportSites->setObjectName(QStringLiteral("cmdImportSites"));
    m_cmdImportSites->setAutoDefault(false);
    row->addWidget(hint, 1);
    row->addWidget(m_cmdImportSites);
    // Below the editor, above the page's stretch.
    auto *v = static_cast<QVBoxLayout *>(page->layout());
    v->insertWidget(v->count() - 1, import);
    connect(m_cmdImportSites, &QPushButton::clicked, this, &FrmSetup::importSites);
    return page;
}

void FrmSetup::importSites()
{
    platform::FileRequest request;
    request.title = QStringLiteral("Import Site Codes");
    request.filter = QStringLiteral("CSV Files (*.csv);;All Files (*)");
    const QString path = platform::openFileName(request, this);
    if (path.isEmpty())
        return;
    sitecodefile::Contents contents;
    if (!platform::reportFailure(sitecodefile::read(path, contents), this))
        return;
    QList<sitecodes::SiteCode> codes;
    for (const sitecodefile::Site &site : std::as_const(contents.sites))
        codes.append({ site.code, site.name });
    int added = 0;
    int changed = 0;
    if (!platform::reportFailure(sitecodes::merge(codes, added, changed), this))
        return;
    QString text = QStringLiteral("%1 site codes added, %2 changed.").arg(added).arg(changed);
    if (!contents.bad.isEmpty()) {
        constexpr int listed = 10;
        text += QStringLiteral("\n\nThese lines were passed over:");
        for (qsizetype i = 0; i < contents.bad.size() && i < listed; ++i)
            text += QStringLiteral("\nLine %1: %2.").arg(contents.bad[i].line).arg(contents.bad[i].why);
        if (contents.bad.size() > listed)
            text += QStringLiteral("\n... and %1 more.").arg(contents.bad.size() - listed);
    }
    platform::inform(text, this);
}

void FrmSetup::makeForms()
{
    const QList<QObject *> windowCommands { m_cmdHelp, m_cmdClose, m_cmdInfo, m_cmdRates, m_cmdFishing,
        m_cmdLogbook, m_cmdImportSites };

    FormDeclaration g;
    g.source = m_guideDetails;
    g.binder = m_guideBinder;
    g.keyField = m_guideName;
    g.texts.emptyEntry.text = QStringLiteral("Please enter the name of your Guide Service.");
    g.windowCommands = windowCommands;
    g.editNotice = m_notice;
    // The guide's details are one record; should it be missing, Edit starts it.
    g.editAddsWhenEmpty = true;
    m_guideForm = new RecordForm(std::move(g), this);
    m_guideForm->attach(FormCommand::Edit, m_cmdEditg);
    m_guideForm->attach(FormCommand::Cancel, m_cmdCancelg);
    m_guideForm->attach(FormCommand::Save, m_cmdSaveg);

    // An editor's siblings are the other editors of its page.
    for (ListEditor *editor : std::as_const(m_editors)) {
        QList<QWidget *> siblings;
        for (ListEditor *other : std::as_const(m_editors))
            if (other != editor && other->def().page == editor->def().page)
                siblings << other;
        editor->makeForm(windowCommands, siblings, m_notice);
    }
}

ListEditor *FrmSetup::editor(const QString &suffix) const
{
    for (ListEditor *e : m_editors)
        if (e->def().suffix == suffix)
            return e;
    return nullptr;
}

void FrmSetup::showPage(Page page)
{
    m_picFish->setVisible(page == Page::Fishing);
    m_picTrip->setVisible(page == Page::TripRates);
    m_picLogbook->setVisible(page == Page::Logbook);
    m_picInfo->setVisible(page == Page::Info);
    m_instructions->setVisible(page == Page::Info);
}

} // namespace bm
