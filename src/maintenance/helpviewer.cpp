#include "maintenance/helpviewer.h"

#include "core/apppaths.h"
#include "platform/mainhub.h"
#include "platform/windows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace bm
{

HelpFile HelpFile::load(const QString &path)
{
    HelpFile file;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        file.m_error
            = QStringLiteral("The help file %1 can not be found.").arg(QDir::toNativeSeparators(path));
        return file;
    }
    const QString text = QString::fromUtf8(in.readAll());
    static const QRegularExpression section(
        QStringLiteral("<section\\s+topic=\"(\\d+)\"\\s+title=\"([^\"]*)\"\\s*>(.*?)</section>"),
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = section.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        bool ok = false;
        const int number = m.captured(1).toInt(&ok);
        if (ok && !file.m_topics.contains(number))
            file.m_topics.insert(number, Topic { m.captured(2), m.captured(3).trimmed() });
    }
    if (file.m_topics.isEmpty())
        file.m_error
            = QStringLiteral("The help file %1 holds no help topics.").arg(QDir::toNativeSeparators(path));
    return file;
}

HelpViewer::HelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_title(new QLabel(this))
    , m_text(new QTextBrowser(this))
    , m_cmdContents(new QPushButton(QStringLiteral("C&ontents"), this))
    , m_cmdClose(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Brindlemoor Help"));
    m_title->setObjectName(QStringLiteral("lblTitle"));
    QFont font = m_title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    m_title->setFont(font);
    m_title->setWordWrap(true);
    m_text->setObjectName(QStringLiteral("txtTopic"));
    m_text->setOpenLinks(false);
    m_cmdContents->setObjectName(QStringLiteral("cmdContents"));
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdContents);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    connect(m_text, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
    connect(m_cmdContents, &QPushButton::clicked, this, [this] { showTopic(m_file, 0); });
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    resize(460, 560);
}

QString HelpViewer::currentTitle() const
{
    return m_title->text();
}

void HelpViewer::showTopic(const QString &helpFile, int topic)
{
    m_file = helpFile;
    m_topic = topic;
    const HelpFile file = HelpFile::load(helpFile);
    if (!file.isOpen()) {
        showNotice(QStringLiteral("Help is not available"), file.error());
        return;
    }
    if (!file.contains(topic)) {
        showNotice(QStringLiteral("Topic not found"),
            QStringLiteral("There is no help topic %1 in the help file.").arg(topic));
        return;
    }
    const HelpFile::Topic t = file.topic(topic);
    m_notice = false;
    m_title->setText(t.title);
    m_text->setHtml(t.html);
    m_cmdContents->setEnabled(topic != 0);
}

void HelpViewer::showNotice(const QString &title, const QString &text)
{
    m_notice = true;
    m_title->setText(title);
    m_text->setPlainText(text);
    m_cmdContents->setEnabled(m_topic != 0);
}

// Links between topics read "topic:400"; other links lead nowhere.
void HelpViewer::followLink(const QUrl &link)
{
    if (link.scheme() != QLatin1String("topic"))
        return;
    bool ok = false;
    const int topic = link.path().toInt(&ok);
    if (ok)
        showTopic(m_file, topic);
}

namespace
{

// Beside the calling window: to its right where the screen has room, else
// to its left, else at the screen's right edge.
void placeBeside(QWidget *viewer, const QWidget *caller)
{
    if (!caller)
        return;
    const QRect frame = caller->frameGeometry();
    const QScreen *screen = caller->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QSize size = viewer->size().boundedTo(room.size());
    QPoint at(frame.right() + 1, frame.top());
    if (at.x() + size.width() > room.right())
        at.setX(frame.left() - size.width() > room.left() ? frame.left() - size.width()
                                                          : room.right() - size.width());
    at.setY(qBound(room.top(), at.y(), room.bottom() - size.height()));
    viewer->resize(size);
    viewer->move(at);
}

} // namespace

void HelpViewerWindows::showTopic(const QString &helpFile, int topic)
{
    QWidget *caller = QApplication::activeWindow();
    if (!caller && platform::mainHub())
        caller = platform::mainHub()->window();
    const bool opening = platform::findWindow<HelpViewer>() == nullptr;
    auto *viewer = platform::loadWindow<HelpViewer>();
    viewer->showTopic(helpFile, topic);
    if (opening) {
        viewer->setAttribute(Qt::WA_ShowWithoutActivating);
        placeBeside(viewer, caller);
    }
    if (viewer->isMinimized())
        viewer->showNormal();
    viewer->show();
    viewer->raise();
}

namespace
{

// F1 anywhere but in the main window, which has its own key.
class HelpKey : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->key() != Qt::Key_F1
            || static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        // Under a message box the viewer could not be used.
        if (!widget || QApplication::activeModalWidget())
            return false;
        QWidget *window = widget->window();
        if (platform::mainHub() && window == platform::mainHub()->window())
            return false;
        showHelpForWindow(window);
        return true;
    }
};

} // namespace

void showHelpForWindow(QWidget *window)
{
    if (window && platform::runHelpCommand(window))
        return;
    if (platform::MainHub *hub = platform::mainHub()) {
        platform::HelpComponent &help = hub->dlgHelp();
        help.setHelpCommand(platform::HelpComponent::ContentsRequest);
        help.ShowHelp();
        return;
    }
    // The database utilities outlive the main window.
    platform::helpViewerService().showTopic(appFile(QStringLiteral("tallow.hlp")), 0);
}

void installHelpViewer()
{
    static HelpViewerWindows viewer;
    platform::setHelpViewerService(&viewer);
    static HelpKey *key = nullptr;
    if (!key) {
        key = new HelpKey(qApp);
        qApp->installEventFilter(key);
    }
}

} // namespace bm
