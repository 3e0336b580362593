#include "bookings/frminvoice.h"

#include "bookings/numberkeys.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/windowrules.h"
#include "recordform/binder.h"
#include "recordform/recordform.h"
#include "schema/fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace bm
{

namespace
{

const QString failureText
    = QStringLiteral("No Text Box can be Blank.\nPlease enter a Zero or a Dollar Amount.");

QLineEdit *lineEdit(const QString &name, QWidget *parent, bool money = false)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    if (money) {
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(90);
    }
    return e;
}

// A computed box keeps the grey of a read-only field in both modes.
QLineEdit *computedBox(const QString &name, QWidget *parent)
{
    QLineEdit *e = lineEdit(name, parent, true);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    e->setPalette(p);
    return e;
}

QComboBox *listBox(const QString &name, const QStringList &entries, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    fillList(c, entries);
    c->setFixedWidth(70);
    return c;
}

// The fixed picture of the letterhead: a leaping fish.
QPixmap letterheadPicture()
{
    QPixmap pm(110, 70);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 80, 120), 2));
    for (int i = 0; i < 3; ++i)
        p.drawArc(QRectF(8 + i * 32, 54, 32, 12), 0, 180 * 16);
    QPainterPath body;
    body.moveTo(20, 44);
    body.cubicTo(35, 12, 70, 10, 88, 28);
    body.cubicTo(70, 40, 40, 46, 20, 44);
    QPainterPath tail;
    tail.moveTo(24, 42);
    tail.lineTo(8, 30);
    tail.lineTo(12, 52);
    tail.closeSubpath();
    p.setBrush(QColor(60, 120, 70));
    p.drawPath(tail);
    p.drawPath(body);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(78, 26), 2.5, 2.5);
    return pm;
}

} // namespace

FrmInvoice::FrmInvoice(QWidget *parent)
    : QWidget(
        parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint)
    , m_guideDetails(new RecordSource(QStringLiteral("Data1"), table::GuideInfo, this))
    , m_booking(new RecordSource(QStringLiteral("Data2"), table::Booking, this))
    , m_letterhead(new FieldBinder(m_guideDetails, this))
    , m_binder(new FieldBinder(m_booking, this))
    , m_numberKeys(new NumberKeyFilter(this))
{
    setObjectName(QStringLiteral("frmInvoice"));
    setWindowTitle(QStringLiteral("Invoice"));
    platform::hideMainWhileOpen(this);
    platform::onBecomingActive(this, [this] { becomeActive(); });

    auto *instructions = new QLabel(
        QStringLiteral(
            "To complete the invoice: Press the \"Edit\" button and make any changes if necessary. "
            "Press the \"Save\" button and all calculations will be performed automatically."),
        this);
    instructions->setObjectName(QStringLiteral("lblInstructions"));
    instructions->setWordWrap(true);
    m_editNote
        = new QLabel(QStringLiteral("Before you can exit or print the Invoice - you must click  either the "
                                    "\"Save\" or \"Cancel\" button."),
            this);
    m_editNote->setObjectName(QStringLiteral("lblEditNote"));
    m_editNote->setWordWrap(true);
    QFont bold = m_editNote->font();
    bold.setBold(true);
    m_editNote->setFont(bold);
    m_editNote->setStyleSheet(QStringLiteral("color: #a00000;"));

    auto *side = new QVBoxLayout;
    side->addWidget(instructions);
    side->addSpacing(8);
    side->addWidget(m_editNote);
    side->addStretch();

    auto *middle = new QHBoxLayout;
    middle->addWidget(buildBillTo(), 3);
    middle->addSpacing(12);
    middle->addLayout(side, 2);

    auto *top = new QVBoxLayout(this);
    top->addWidget(buildLetterhead());
    top->addLayout(middle);
    top->addWidget(buildInvoiceBody());
    top->addWidget(buildCommands());

    const QString numberOnly = QStringLiteral("Please enter a number only.");
    m_numberKeys->watch(m_guideServiceQty, numberOnly);
    m_numberKeys->watch(m_goodsQty, numberOnly);
    m_numberKeys->watch(m_taxRate, numberOnly);
    m_numberKeys->watch(m_depositAmount, numberOnly);
    m_numberKeys->watch(m_guideServicePrice, QStringLiteral("Please enter the cost of your Guide Service."));
    m_numberKeys->watch(m_goodsCost, QStringLiteral("Please enter the cost of the Goods or Service."));

    declareForm();
    resize(sizeHint().expandedTo(QSize(780, 0)));
}

// Browse mode shows the invoice locked; Edit unlocks it until Save or Cancel,
// and the window can neither print nor close meanwhile. Save checks and
// computes, writes, then reads the bookings again and returns to this one.
void FrmInvoice::declareForm()
{
    FormDeclaration d;
    d.source = m_booking;
    d.binder = m_binder;
    d.texts.saved.text = QStringLiteral("Changes have been Saved.");
    d.texts.closeWhileEditing.text = QStringLiteral("Please click the Save or Cancel button before exiting.");
    d.afterSave = Reposition::Reread;
    d.othersKeepPlace = true;
    d.windowCommands = { m_cmdPrint, m_cmdExit };
    d.editNotice = m_editNote;
    d.validate = [this] { return checkAndCompute(); };
    // Starting the change shows the stored record again, and so does Cancel:
    // the defaults of an empty invoice are put back.
    d.editStarted = [this](FormCommand) { fillDefaults(); };
    d.cancelled = [this] { fillDefaults(); };
    m_form = new RecordForm(std::move(d), this);
    m_form->attach(FormCommand::Edit, m_cmdEdit);
    m_form->attach(FormCommand::Save, m_cmdSave);
    m_form->attach(FormCommand::Cancel, m_cmdCancel);
}

QWidget *FrmInvoice::buildLetterhead()
{
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picLetterhead"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(p);

    auto shown = [&](const QString &name, const QString &field) {
        auto *l = new QLabel(panel);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        m_letterhead->bind(l, field);
        return l;
    };
    QLabel *name = shown(QStringLiteral("lblGuideName"), field::GuideInfo::GuideName);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    name->setFont(big);

    auto *cityLine = new QHBoxLayout;
    cityLine->setSpacing(4);
    cityLine->addWidget(shown(QStringLiteral("lblGuideCity"), field::GuideInfo::City));
    cityLine->addWidget(shown(QStringLiteral("lblGuideState"), field::GuideInfo::State));
    cityLine->addWidget(shown(QStringLiteral("lblGuideZip"), field::GuideInfo::ZipCode));
    cityLine->addStretch();

    auto *details = new QVBoxLayout;
    details->setSpacing(1);
    details->addWidget(name);
    details->addWidget(shown(QStringLiteral("lblGuideAddress"), field::GuideInfo::Address));
    details->addLayout(cityLine);
    details->addWidget(shown(QStringLiteral("lblGuidePhone"), field::GuideInfo::Phone));

    auto *contact = new QGridLayout;
    contact->setVerticalSpacing(1);
    contact->addWidget(new QLabel(QStringLiteral("Email:"), panel), 0, 0);
    contact->addWidget(shown(QStringLiteral("lblGuideEmail"), field::GuideInfo::Email), 0, 1);
    contact->addWidget(new QLabel(QStringLiteral("Website:"), panel), 1, 0);
    contact->addWidget(shown(QStringLiteral("lblGuideWebsite"), field::GuideInfo::Website), 1, 1);
    contact->setRowStretch(2, 1);

    auto *picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("imgLetterhead"));
    picture->setPixmap(letterheadPicture());

    auto *row = new QHBoxLayout(panel);
    row->addWidget(picture);
    row->addSpacing(12);
    row->addLayout(details);
    row->addStretch();
    row->addLayout(contact);
    return panel;
}

QWidget *FrmInvoice::buildBillTo()
{
    auto *box = new QWidget(this);
    auto *frame = new QGroupBox(QStringLiteral("Bill To:"), box);
    frame->setObjectName(QStringLiteral("fraBillTo"));
    auto *form = new QFormLayout(frame);
    const std::pair<const char *, const char *> rows[] = { { "Name:", field::Booking::Name },
        { "Address:", field::Booking::Address }, { "Address:", field::Booking::Address2 },
        { "City:", field::Booking::City }, { "State:", field::Booking::State },
        { "Zip Code:", field::Booking::ZipCode }, { "Paid By:", field::Booking::PaidBy },
        { "Deposit Received:", field::Booking::DepositReceived } };
    for (const auto &[caption, field] : rows) {
        QString name = QStringLiteral("txt") + QString::fromLatin1(field).remove(QLatin1Char(' '));
        QLineEdit *e = lineEdit(name, frame);
        m_binder->bind(e, QString::fromLatin1(field));
        form->addRow(QString::fromLatin1(caption), e);
    }
    auto *note
        = new QLabel(QStringLiteral("To edit the \"Bill To\" information you will have to exit this form "
                                    "and click on the \"Edit this Booking\" button."),
            box);
    note->setObjectName(QStringLiteral("lblBillToNote"));
    note->setWordWrap(true);
    auto *v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(frame);
    v->addWidget(note);
    return box;
}

QWidget *FrmInvoice::buildInvoiceBody()
{
    auto *frame = new QGroupBox(QStringLiteral("Invoice:"), this);
    frame->setObjectName(QStringLiteral("fraInvoice"));
    auto *g = new QGridLayout(frame);
    const QStringList quantities { "0", "1", "2", "3", "4", "5" };
    const QStringList rates { ".01", ".02", ".03", ".04", ".05", ".06", ".07", ".08", ".09" };

    m_guideServiceQty = listBox(QStringLiteral("Combo1"), quantities, frame);
    auto *tripDate = lineEdit(QStringLiteral("Text7"), frame);
    tripDate->setFixedWidth(90);
    auto *lake = lineEdit(QStringLiteral("Text8"), frame);
    m_guideServicePrice = lineEdit(QStringLiteral("Text9"), frame, true);
    m_guideServiceTotal = computedBox(QStringLiteral("Text10"), frame);
    m_goodsQty = listBox(QStringLiteral("Combo2"), quantities, frame);
    m_goods = new QPlainTextEdit(frame);
    m_goods->setObjectName(QStringLiteral("Text11"));
    m_goods->setFixedHeight(48);
    m_goodsCost = lineEdit(QStringLiteral("Text12"), frame, true);
    m_goodsTotal = computedBox(QStringLiteral("Text13"), frame);
    m_subTotal = computedBox(QStringLiteral("Text14"), frame);
    m_depositAmount = lineEdit(QStringLiteral("Text17"), frame, true);
    m_lessDeposit = computedBox(QStringLiteral("Text18"), frame);
    m_taxRate = listBox(QStringLiteral("Combo3"), rates, frame);
    m_tax = computedBox(QStringLiteral("Text15"), frame);
    m_chargeTotal = computedBox(QStringLiteral("Text16"), frame);

    const std::pair<QWidget *, const char *> bound[]
        = { { m_guideServiceQty, field::Booking::GSQty }, { tripDate, field::Booking::Date },
              { lake, field::Booking::Lake }, { m_guideServicePrice, field::Booking::TotalCharge },
              { m_guideServiceTotal, field::Booking::GSTotal }, { m_goodsQty, field::Booking::GoodsQty },
              { m_goods, field::Booking::Goods }, { m_goodsCost, field::Booking::GoodsCost },
              { m_goodsTotal, field::Booking::GoodsTotal }, { m_subTotal, field::Booking::SubTotal },
              { m_depositAmount, field::Booking::DepositAmount },
              { m_lessDeposit, field::Booking::LessDeposit }, { m_taxRate, field::Booking::TaxRate },
              { m_tax, field::Booking::Tax }, { m_chargeTotal, field::Booking::ChargeTotal } };
    for (const auto &[w, field] : bound)
        m_binder->bind(w, QString::fromLatin1(field));

    auto label = [frame](const QString &text, Qt::Alignment a = Qt::AlignLeft) {
        auto *l = new QLabel(text, frame);
        l->setAlignment(a | Qt::AlignVCenter);
        return l;
    };
    auto pair = [frame](QWidget *a, QWidget *b) {
        auto *w = new QWidget(frame);
        auto *h = new QHBoxLayout(w);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(a);
        h->addWidget(b, 1);
        return w;
    };
    const Qt::Alignment right = Qt::AlignRight;
    QFont headFont = font();
    headFont.setBold(true);
    int col = 0;
    for (const char *head : { "Quantity", "Description", "Cost", "Total" }) {
        QLabel *h = label(QString::fromLatin1(head), col >= 2 ? right : Qt::AlignLeft);
        h->setFont(headFont);
        g->addWidget(h, 0, col == 3 ? 3 : col, 1, col == 3 ? 2 : 1);
        ++col;
    }
    auto *service = new QHBoxLayout;
    service->addWidget(label(QStringLiteral("Guide Service on:")));
    service->addWidget(tripDate);
    service->addWidget(lake, 1);
    g->addWidget(m_guideServiceQty, 1, 0, Qt::AlignTop);
    g->addLayout(service, 1, 1);
    g->addWidget(pair(label(QStringLiteral("at"), right), m_guideServicePrice), 1, 2);
    g->addWidget(m_guideServiceTotal, 1, 4);

    auto *goods = new QVBoxLayout;
    goods->addWidget(label(QStringLiteral("Other Goods or Services:")));
    goods->addWidget(m_goods);
    g->addWidget(m_goodsQty, 2, 0, Qt::AlignTop);
    g->addLayout(goods, 2, 1);
    g->addWidget(m_goodsCost, 2, 2, Qt::AlignRight | Qt::AlignBottom);
    g->addWidget(m_goodsTotal, 2, 4, Qt::AlignBottom);

    g->addWidget(label(QStringLiteral("Sub Total:"), right), 3, 1);
    g->addWidget(m_subTotal, 3, 4);
    g->addWidget(label(QStringLiteral("Less Deposit:"), right), 4, 1);
    g->addWidget(m_depositAmount, 4, 2, Qt::AlignRight);
    g->addWidget(m_lessDeposit, 4, 4);
    g->addWidget(label(QStringLiteral("Add Tax"), right), 5, 1);
    g->addWidget(m_taxRate, 5, 2, Qt::AlignRight);
    g->addWidget(label(QStringLiteral("$"), right), 5, 3);
    g->addWidget(m_tax, 5, 4);
    g->addWidget(label(QStringLiteral("Total Charge ="), right), 6, 1);
    g->addWidget(label(QStringLiteral("$"), right), 6, 3);
    g->addWidget(m_chargeTotal, 6, 4);
    g->setColumnStretch(1, 1);
    return frame;
}

QWidget *FrmInvoice::buildCommands()
{
    auto *row = new QWidget(this);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto command = [&](const char *name, const char *caption, void (FrmInvoice::*handler)()) {
        auto *b = new QPushButton(QString::fromLatin1(caption), row);
        b->setObjectName(QString::fromLatin1(name));
        if (handler)
            connect(b, &QPushButton::clicked, this, handler);
        h->addWidget(b);
        return b;
    };
    // Edit, Save and Cancel are the record form's.
    m_cmdEdit = command("cmdEdit", "&Edit", nullptr);
    m_cmdSave = command("cmdSave", "&Save", nullptr);
    m_cmdCancel = command("cmdCancel", "C&ancel", nullptr);
    m_cmdPrint = command("cmdPrint", "&Print", &FrmInvoice::print);
    m_cmdExit = new QPushButton(QStringLiteral("&Close"), row);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(m_cmdExit, &QPushButton::clicked, this, &QWidget::close);
    h->addWidget(m_cmdExit);
    h->addStretch();
    platform::addHelpCommand(this, command("cmdHelp", "&Help", &FrmInvoice::help));
    command("cmdCalculator", "Calc&ulator", &FrmInvoice::calculator);
    return row;
}

bool FrmInvoice::isEditMode() const
{
    return m_form->isEditing();
}

void FrmInvoice::fillDefaults()
{
    if (m_goodsCost->text().isEmpty())
        m_goodsCost->setText(QStringLiteral("0"));
    if (m_goods->toPlainText().isEmpty())
        m_goods->setPlainText(QStringLiteral("None"));
    if (m_guideServiceQty->currentText().isEmpty())
        m_guideServiceQty->setEditText(QStringLiteral("1"));
    if (m_goodsQty->currentText().isEmpty())
        m_goodsQty->setEditText(QStringLiteral("0"));
    if (m_taxRate->currentText().isEmpty())
        m_taxRate->setEditText(QStringLiteral("0"));
}

void FrmInvoice::becomeActive()
{
    m_guideServiceQty->setFocus();
    fillDefaults();
}

void FrmInvoice::edit()
{
    m_form->edit();
}

invoice::Boxes FrmInvoice::readBoxes() const
{
    invoice::Boxes b;
    b.gsQty = m_guideServiceQty->currentText();
    b.gsPrice = m_guideServicePrice->text();
    b.goodsQty = m_goodsQty->currentText();
    b.goodsCost = m_goodsCost->text();
    b.deposit = m_depositAmount->text();
    b.taxRate = m_taxRate->currentText();
    b.gsTotal = m_guideServiceTotal->text();
    b.goodsTotal = m_goodsTotal->text();
    b.subTotal = m_subTotal->text();
    b.lessDeposit = m_lessDeposit->text();
    b.tax = m_tax->text();
    b.chargeTotal = m_chargeTotal->text();
    return b;
}

void FrmInvoice::writeResults(const invoice::Boxes &b)
{
    m_guideServiceTotal->setText(b.gsTotal);
    m_goodsTotal->setText(b.goodsTotal);
    m_subTotal->setText(b.subTotal);
    m_lessDeposit->setText(b.lessDeposit);
    m_tax->setText(b.tax);
    m_chargeTotal->setText(b.chargeTotal);
}

QWidget *FrmInvoice::inputBox(invoice::Input input) const
{
    switch (input) {
    case invoice::Input::GsQty:
        return m_guideServiceQty;
    case invoice::Input::GsPrice:
        return m_guideServicePrice;
    case invoice::Input::GoodsQty:
        return m_goodsQty;
    case invoice::Input::GoodsCost:
        return m_goodsCost;
    case invoice::Input::Deposit:
        return m_depositAmount;
    case invoice::Input::TaxRate:
        return m_taxRate;
    }
    return nullptr;
}

// The six empty-box checks in order, then the computations; a value that
// does not read as a number, a date or an amount shows one fixed message.
bool FrmInvoice::checkAndCompute()
{
    invoice::Boxes boxes = readBoxes();
    if (const auto empty = invoice::firstEmpty(boxes)) {
        static const QString messages[] = { QStringLiteral("Please enter a Quantity for Guide Service."),
            QStringLiteral("Please enter a Zero or a Dollar Amount."),
            QStringLiteral("Please enter a Zero or a Quantity for Goods or Service."),
            QStringLiteral("Please enter a Zero or a Dollar Amount for Goods or Service."),
            QStringLiteral("Please enter a Zero or a Deposit Amount."),
            QStringLiteral("The Tax Rate can not be Blank.\nPlease enter a Zero or a Percentage.") };
        platform::warn(messages[int(*empty)], this);
        inputBox(*empty)->setFocus();
        return false;
    }
    const bool computed = invoice::compute(boxes);
    writeResults(boxes);
    if (!computed || m_binder->refusedValue()) {
        platform::warn(failureText, this);
        return false;
    }
    return true;
}

bool FrmInvoice::save()
{
    return m_form->save();
}

void FrmInvoice::cancel()
{
    m_form->cancel();
}

void FrmInvoice::print()
{
    // The report shows the invoice of the booking on screen.
    platform::printReport(QStringLiteral("invoice.rpt"), m_booking->bookmark());
}

void FrmInvoice::help()
{
    platform::showHelpTopic(QStringLiteral("3300"));
}

void FrmInvoice::calculator()
{
    if (!platform::startCalculator())
        platform::warn(QStringLiteral("Can not find the Calculator."), this);
}

} // namespace bm
