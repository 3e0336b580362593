#include "setup/frmmailtexts.h"

#include "core/apppaths.h"
#include "platform/failures.h"
#include "platform/help.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "recordform/commandbutton.h"
#include "schema/fields.h"
#include "setup/unsaved.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace bm
{

namespace
{

// The names a text may use, in the order the hint lists them, each with
// the example booking's value.
QList<std::pair<QString, QString>> sample()
{
    const QLocale locale;
    const auto money = [&](double amount) { return locale.toCurrencyString(amount); };
    return {
        { QStringLiteral("client"), QStringLiteral("Ann Walker") },
        { QStringLiteral("client_email"), QStringLiteral("ann.walker@example.com") },
        { QStringLiteral("client_phone"), QStringLiteral("(555) 014-2233") },
        { QStringLiteral("trip"), QStringLiteral("Full Day") },
        { QStringLiteral("date"), locale.toString(platform::today().addDays(14), QLocale::LongFormat) },
        { QStringLiteral("start"), QStringLiteral("6:00 AM") },
        { QStringLiteral("lake"), QStringLiteral("Tallow Lake") },
        { QStringLiteral("meet_at"), QStringLiteral("the north boat launch") },
        { QStringLiteral("party"), QStringLiteral("2 anglers") },
        { QStringLiteral("total"), money(450) },
        { QStringLiteral("deposit"), money(100) },
        { QStringLiteral("balance"), money(350) },
        { QStringLiteral("note"), QStringLiteral("Ann would like to try a fly rod.") },
        { QStringLiteral("species"), QStringLiteral("Walleye") },
        { QStringLiteral("total_fish"), QStringLiteral("14") },
        { QStringLiteral("big_fish"), QStringLiteral("27 inches") },
        { QStringLiteral("catch"), QStringLiteral("14 Walleye, the biggest 27 inches") },
        { QStringLiteral("reason"), QStringLiteral("The lake is closed that day for a tournament.") },
        { QStringLiteral("service"), QStringLiteral("Tallow Lake Guiding") },
        { QStringLiteral("service_phone"), QStringLiteral("(555) 010-7788") },
        { QStringLiteral("service_email"), QStringLiteral("guide@example.com") },
        { QStringLiteral("website"), QStringLiteral("www.example.com") },
    };
}

bool sameText(const mail::Text &a, const mail::Text &b)
{
    return a.kind == b.kind && a.send == b.send && a.subject == b.subject && a.body == b.body
        && a.days == b.days;
}

const mail::Text &delivered(int row)
{
    return mail::deliveredTexts().at(row);
}

// The planned kinds go on days counted from the trip; the others when
// something happens.
bool planned(int row)
{
    return !delivered(row).days.isEmpty();
}

QString daysSide(const QString &kind)
{
    return kind == QLatin1String(mail::kind::thankYou) ? QStringLiteral("after") : QStringLiteral("before");
}

// Days as the guide types them: whole numbers from 0 to 365, apart by
// commas or blanks, and nothing else.
bool plainDays(const QString &days)
{
    static const QRegularExpression apart(QStringLiteral("[,;\\s]+"));
    static const QRegularExpression number(QStringLiteral("^\\d{1,3}$"));
    const QStringList typed = days.split(apart, Qt::SkipEmptyParts);
    return !typed.isEmpty() && std::all_of(typed.cbegin(), typed.cend(), [](const QString &p) {
        return number.match(p).hasMatch() && p.toInt() <= 365;
    });
}

} // namespace

mail::Values FrmMailTexts::sampleValues()
{
    mail::Values values;
    for (const auto &[name, value] : sample())
        values.insert(name, value);
    return values;
}

FrmMailTexts::FrmMailTexts(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_kinds(new QListWidget(this))
    , m_send(new QCheckBox(QStringLiteral("Se&nd this message"), this))
    , m_daysLabel(new QLabel(this))
    , m_days(new QLineEdit(this))
    , m_subject(new QLineEdit(this))
    , m_body(new QPlainTextEdit(this))
    , m_names(new QLabel(this))
    , m_cmdPreview(commandButton(QStringLiteral("cmdPreview"), QStringLiteral("&Preview"), this))
    , m_cmdDelivered(commandButton(QStringLiteral("cmdDelivered"), QStringLiteral("&Delivered Text"), this))
    , m_cmdSave(commandButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this))
    , m_cmdClose(commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this))
    , m_cmdHelp(commandButton(QStringLiteral("cmdHelp"), QStringLiteral("&Help"), this))
{
    setObjectName(QStringLiteral("frmMailTexts"));
    setWindowTitle(QStringLiteral("Mail Texts"));
    m_kinds->setObjectName(QStringLiteral("lstKinds"));
    m_send->setObjectName(QStringLiteral("chkSend"));
    m_daysLabel->setObjectName(QStringLiteral("lblDays"));
    m_days->setObjectName(QStringLiteral("txtDays"));
    m_days->setToolTip(QStringLiteral("Whole numbers from 0 to 365, apart by commas, like 30, 14, 7"));
    m_days->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 20);
    m_subject->setObjectName(QStringLiteral("txtSubject"));
    m_body->setObjectName(QStringLiteral("txtBody"));
    m_body->setTabChangesFocus(true);
    m_names->setObjectName(QStringLiteral("lblNames"));
    m_names->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Six names a line: the hint keeps its height however wide the window.
    QStringList lines, names;
    for (const auto &entry : sample()) {
        names << QStringLiteral("{{%1}}").arg(entry.first);
        if (names.size() == 6) {
            lines << names.join(QStringLiteral(", "));
            names.clear();
        }
    }
    if (!names.isEmpty())
        lines << names.join(QStringLiteral(", "));
    m_names->setText(QStringLiteral("A text may use %1.\nWhat is between {{#name}} and {{/name}} shows only "
                                    "when the name has a value.")
                         .arg(lines.join(QStringLiteral(",\n"))));
    m_cmdPreview->setToolTip(QStringLiteral("The text as an example booking would fill it"));
    m_cmdDelivered->setToolTip(QStringLiteral("Put the program's own text of this kind back"));

    // As wide as the widest kind in bold, as the guide's own texts show.
    QFont bold = m_kinds->font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    int widest = 0;
    for (const mail::Text &t : mail::deliveredTexts()) {
        m_kinds->addItem(t.kind);
        widest = qMax(widest, boldMetrics.horizontalAdvance(t.kind));
    }
    m_kinds->setFixedWidth(widest + 40);

    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_form->addRow(QString(), m_send);
    m_form->addRow(m_daysLabel, m_days);
    m_form->addRow(QStringLiteral("Subject:"), m_subject);
    m_form->addRow(QStringLiteral("Body:"), m_body);
    m_form->addRow(QString(), m_names);
    auto *top = new QHBoxLayout;
    top->addWidget(m_kinds);
    top->addLayout(m_form, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdPreview);
    buttons->addWidget(m_cmdDelivered);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdClose);
    buttons->addWidget(m_cmdHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(m_kinds, &QListWidget::currentRowChanged, this, &FrmMailTexts::choose);
    connect(m_cmdPreview, &QPushButton::clicked, this, &FrmMailTexts::preview);
    connect(m_cmdDelivered, &QPushButton::clicked, this, &FrmMailTexts::putDeliveredBack);
    connect(m_cmdSave, &QPushButton::clicked, this, &FrmMailTexts::save);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("3800")); });
    platform::addHelpCommand(this, m_cmdHelp);
    onTableChanged(this, table::MailTexts, [this] {
        if (!m_saving)
            reread(false);
    });

    m_texts = mail::deliveredTexts();
    reread(true);
    {
        const QSignalBlocker quiet(m_kinds);
        m_kinds->setCurrentRow(0);
    }
    showKind(0);
    resize(760, 520);
}

bool FrmMailTexts::reread(bool tell)
{
    QList<mail::Text> read;
    if (const Status s = mail::texts(databasePath(), read); !s) {
        if (tell)
            platform::reportFailure(s, this);
        else
            platform::logFailure(s);
        return false;
    }
    m_texts = std::move(read);
    // A text the guide is changing stays as he has it.
    if (m_row >= 0 && !hasChanges() && !sameText(m_texts.at(m_row), m_shownAsRead))
        showKind(m_row);
    markKinds();
    return true;
}

void FrmMailTexts::showKind(int row)
{
    m_row = row;
    const mail::Text &t = m_texts.at(row);
    m_send->setChecked(t.send);
    m_daysLabel->setText(QStringLiteral("Days %1 the trip:").arg(daysSide(t.kind)));
    m_days->setText(t.days);
    m_form->setRowVisible(m_days, planned(row));
    m_subject->setText(t.subject);
    m_body->setPlainText(t.body);
    m_shownAsRead = shownText();
}

void FrmMailTexts::choose(int row)
{
    if (row < 0 || row == m_row)
        return;
    if (!settle()) {
        const QSignalBlocker quiet(m_kinds);
        m_kinds->setCurrentRow(m_row);
        return;
    }
    showKind(row);
}

bool FrmMailTexts::settle()
{
    return !hasChanges()
        || settleChanges(
            QStringLiteral("the %1 text").arg(m_texts.at(m_row).kind), windowTitle(),
            [this] { return save(); }, this);
}

mail::Text FrmMailTexts::shownText() const
{
    return { m_texts.at(m_row).kind, m_send->isChecked(), m_subject->text(), m_body->toPlainText(),
        planned(m_row) ? m_days->text().trimmed() : QString() };
}

bool FrmMailTexts::hasChanges() const
{
    return m_row >= 0 && !sameText(shownText(), m_shownAsRead);
}

void FrmMailTexts::markKinds()
{
    for (int row = 0; row < m_kinds->count(); ++row) {
        QListWidgetItem *item = m_kinds->item(row);
        const mail::Text &t = m_texts.at(row);
        const bool own = !sameText(t, delivered(row));
        QFont font = m_kinds->font();
        font.setBold(own);
        font.setItalic(!t.send);
        item->setFont(font);
        item->setToolTip((own ? QStringLiteral("Your own text") : QStringLiteral("The delivered text"))
            + (t.send ? QString() : QStringLiteral(", not sent")));
    }
}

Status FrmMailTexts::check(const mail::Text &text, QWidget *&field) const
{
    field = m_subject;
    if (text.subject.trimmed().isEmpty())
        return Status::failure(QStringLiteral("The %1 message needs a subject.").arg(text.kind));
    QString subject, body;
    if (Status s = mail::render(text, sampleValues(), subject, body); !s) {
        // The cursor goes to the part that can't be read.
        mail::Text subjectOnly = text;
        subjectOnly.body.clear();
        if (mail::render(subjectOnly, sampleValues(), subject, body))
            field = m_body;
        return s;
    }
    field = m_days;
    if (planned(m_row) && (!plainDays(text.days) || mail::daysOf(text).isEmpty()))
        return Status::failure(QStringLiteral("Give the days %1 the trip on which the %2 message goes: whole "
                                              "numbers from 0 to 365, apart by commas, like 30, 14, 7.")
                                   .arg(daysSide(text.kind), text.kind));
    field = nullptr;
    return Status::ok();
}

bool FrmMailTexts::save()
{
    if (m_row < 0)
        return false;
    const mail::Text text = shownText();
    QWidget *field = nullptr;
    if (const Status why = check(text, field); !why) {
        platform::warn(why.message(), this);
        if (field)
            field->setFocus();
        return false;
    }
    m_saving = true;
    const Status saved = mail::saveText(databasePath(), text);
    m_saving = false;
    if (!platform::reportFailure(saved, this))
        return false;
    m_texts[m_row] = text;
    m_shownAsRead = text;
    markKinds();
    return true;
}

void FrmMailTexts::putDeliveredBack()
{
    const mail::Text &t = delivered(m_row);
    m_days->setText(t.days);
    m_subject->setText(t.subject);
    m_body->setPlainText(t.body);
}

void FrmMailTexts::preview()
{
    QString subject, body;
    if (const Status s = mail::render(shownText(), sampleValues(), subject, body); !s) {
        platform::warn(s.message(), this);
        return;
    }
    if (!m_preview) {
        m_preview = new QDialog(this);
        m_preview->setObjectName(QStringLiteral("dlgPreview"));
        auto *shownSubject = new QLineEdit(m_preview);
        shownSubject->setObjectName(QStringLiteral("txtPreviewSubject"));
        shownSubject->setReadOnly(true);
        auto *shownBody = new QPlainTextEdit(m_preview);
        shownBody->setObjectName(QStringLiteral("txtPreviewBody"));
        shownBody->setReadOnly(true);
        auto *close = commandButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), m_preview);
        connect(close, &QPushButton::clicked, m_preview, &QDialog::close);
        auto *form = new QFormLayout;
        form->addRow(QStringLiteral("Subject:"), shownSubject);
        form->addRow(QStringLiteral("Body:"), shownBody);
        auto *commands = new QHBoxLayout;
        commands->addStretch(1);
        commands->addWidget(close);
        auto *layout = new QVBoxLayout(m_preview);
        layout->addWidget(new QLabel(QStringLiteral("With the values of an example booking:"), m_preview));
        layout->addLayout(form, 1);
        layout->addLayout(commands);
        m_preview->resize(560, 420);
    }
    m_preview->setWindowTitle(QStringLiteral("Preview: %1").arg(m_texts.at(m_row).kind));
    m_preview->findChild<QLineEdit *>(QStringLiteral("txtPreviewSubject"))->setText(subject);
    m_preview->findChild<QPlainTextEdit *>(QStringLiteral("txtPreviewBody"))->setPlainText(body);
    m_preview->show();
    m_preview->raise();
}

void FrmMailTexts::closeEvent(QCloseEvent *event)
{
    if (settle())
        event->accept();
    else
        event->ignore();
}

} // namespace bm
