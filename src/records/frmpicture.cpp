#include "records/frmpicture.h"

#include "platform/failures.h"
#include "platform/filedialogs.h"
#include "platform/follow.h"
#include "platform/mainhub.h"
#include "platform/messages.h"
#include "platform/pictureprinter.h"
#include "platform/windows.h"
#include "schema/fields.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace bm
{

namespace
{

const QString pictureField = QString::fromLatin1(field::Booking::Picture);

QPushButton *command(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

FrmPicture::FrmPicture(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_booking(new RecordSource(QStringLiteral("Data1"), table::Booking, this))
    , m_date(new QLabel(this))
    , m_lake(new QLabel(this))
    , m_image(new PictureBox(this))
    , m_path(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("frmPicture"));
    setWindowTitle(QStringLiteral("Picture Viewer"));

    auto *trip = new QGroupBox(QStringLiteral("Trip"), this);
    trip->setObjectName(QStringLiteral("fraTrip"));
    auto *tripForm = new QFormLayout(trip);
    m_date->setObjectName(QStringLiteral("Label4"));
    m_lake->setObjectName(QStringLiteral("Label5"));
    for (QLabel *value : { m_date, m_lake }) {
        value->setTextFormat(Qt::PlainText);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
    }
    tripForm->addRow(QStringLiteral("Date:"), m_date);
    tripForm->addRow(QStringLiteral("Lake or River:"), m_lake);

    m_path->setObjectName(QStringLiteral("Text1"));
    m_path->setReadOnly(true);
    m_path->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_path->setFixedHeight(m_path->fontMetrics().lineSpacing() * 4 + 12);
    m_path->setTabChangesFocus(true);

    auto *information = new QGroupBox(QStringLiteral(" Information "), this);
    information->setObjectName(QStringLiteral("fraInformation"));
    auto *notes = new QVBoxLayout(information);
    notes->addWidget(
        note(QStringLiteral("Pictures are resized for viewing and may appear distorted if they are "
                            "of a non-standard size."),
            information));
    notes->addWidget(
        note(QStringLiteral("The picture that is displayed when you close this form will be saved "
                            "as the default picture for the above Trip."),
            information));

    QPushButton *cmdSelect = command("cmdSelect", QStringLiteral("&Select a Picture"), this);
    QPushButton *cmdPrint = command("cmdPrint", QStringLiteral("&Print"), this);
    QPushButton *cmdHelp = command("cmdHelp", QStringLiteral("&Help"), this);
    QPushButton *cmdExit = command("cmdExit", QStringLiteral("&Close"), this);
    connect(cmdSelect, &QPushButton::clicked, this, &FrmPicture::selectPicture);
    connect(cmdPrint, &QPushButton::clicked, this, &FrmPicture::printPicture);
    connect(cmdHelp, &QPushButton::clicked, this, [] { platform::showHelpTopic(QStringLiteral("2300")); });
    platform::addHelpCommand(this, cmdHelp);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);

    auto *side = new QVBoxLayout;
    side->addWidget(trip);
    side->addWidget(m_path);
    side->addWidget(information);
    side->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_image, 0, Qt::AlignTop | Qt::AlignLeft);
    top->addLayout(side, 1);
    auto *commands = new QHBoxLayout;
    commands->addStretch(1);
    for (QPushButton *b : { cmdSelect, cmdPrint, cmdHelp, cmdExit })
        commands->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(commands);
    setTabOrder(cmdSelect, cmdPrint);
    setTabOrder(cmdPrint, cmdHelp);
    setTabOrder(cmdHelp, cmdExit);
    resize(sizeHint().width() + 120, sizeHint().height());

    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &FrmPicture::focusWindowChanged);
}

Status FrmPicture::showBooking(Bookmark booking)
{
    if (Status s = writeChosenPath(); !s)
        platform::warn(s.message(), this);
    if (Status s = m_booking->setBookmark(booking); !s)
        return s;
    m_date->setText(m_booking->text(field::Booking::Date));
    m_lake->setText(m_booking->text(field::Booking::Lake));
    m_path->setPlainText(m_booking->text(pictureField));
    m_sizing = picture::Sizing::Stretch;
    if (m_displayed)
        showStoredPicture();
    else
        m_image->clear();
    return Status::ok();
}

void FrmPicture::showStoredPicture()
{
    if (m_showing)
        return;
    m_showing = true;
    const QString path = m_path->toPlainText();
    QImage picture;
    if (const Status loaded = picture::load(path, picture)) {
        m_image->setPicture(picture, m_sizing);
    } else {
        m_image->clear();
        // The guide is asked for another picture; why this one does not
        // show goes to the log.
        if (!path.isEmpty()) {
            platform::logFailure(loaded);
            platform::message(QStringLiteral("Please select a Picture"), platform::Icon::None,
                platform::Buttons::Ok, QStringLiteral("Brindlemoor"), this);
        }
    }
    m_showing = false;
}

void FrmPicture::selectPicture()
{
    platform::FileRequest request;
    request.title = QStringLiteral("Select Picture");
    request.filter = QStringLiteral("All Files (*)");
    const QString file = platform::openFileName(request, this);
    if (file.isEmpty())
        return;
    // A picture that can not be shown is not taken: the booking keeps the
    // one it has, and the guide is told why.
    QImage picture;
    if (!platform::reportFailure(picture::load(file, picture), this))
        return;
    m_sizing = picture::sizingFor(picture);
    m_image->setPicture(picture, m_sizing);
    m_path->setPlainText(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
    m_chosen = true;
}

void FrmPicture::printPicture()
{
    std::unique_ptr<QPrinter> printer = platform::picturePrinterService().defaultPrinter();
    if (!printer || !picture::print(*printer, m_image->picture()))
        platform::message(QStringLiteral("There was a problem printing to your printer."),
            platform::Icon::None, platform::Buttons::Ok, QStringLiteral("Brindlemoor"), this);
}

// The first display stretches the booking's picture to the box.
void FrmPicture::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_displayed)
        return;
    m_displayed = true;
    showStoredPicture();
}

// The window becomes the active one again when the user comes back to it
// from another window of the program; coming back from a message box or a
// file dialog of its own, or from another program, is not that.
void FrmPicture::focusWindowChanged(QWindow *now)
{
    if (!now)
        return;
    const QPointer<QWindow> before = m_lastFocus;
    m_lastFocus = now;
    QWidget *top = window();
    if (!m_displayed || now != top->windowHandle())
        return;
    if (!m_hadFocus || m_expectingActivation) {
        m_hadFocus = true;
        m_expectingActivation = false;
        return;
    }
    if (before && before != now && before->modality() == Qt::NonModal && before->type() != Qt::Popup)
        QMetaObject::invokeMethod(this, &FrmPicture::showStoredPicture, Qt::QueuedConnection);
}

// A chosen picture's path goes to the booking as the window leaves it: the
// changed field is written by moving onto the same record.
Status FrmPicture::writeChosenPath()
{
    if (!m_chosen)
        return Status::ok();
    m_chosen = false;
    if (Status s = m_booking->setValue(pictureField, m_path->toPlainText()); !s)
        return s;
    // The main window stays on the booking whose picture this is.
    const platform::KeepPlace keep;
    return m_booking->setBookmark(m_booking->bookmark());
}

void FrmPicture::closeEvent(QCloseEvent *event)
{
    if (Status s = writeChosenPath(); !s)
        platform::warn(s.message(), this);
    event->accept();
}

FrmPicture *openPictures(Bookmark booking)
{
    // Positioned before it is shown, so that its first display is this
    // booking's picture.
    auto *w = platform::loadWindow<FrmPicture>();
    const Status s = w->showBooking(booking);
    if (w->isVisible() && !w->isActiveWindow())
        w->expectActivation();
    platform::bringToFront(w);
    if (!s)
        platform::warn(s.message(), w);
    return w;
}

} // namespace bm
