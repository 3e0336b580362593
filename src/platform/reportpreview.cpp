#include "platform/reportpreview.h"

#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/windows.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

namespace bm::platform
{

// The pages one under the other on a grey desk; only the pages in sight are
// drawn, so that a long report shows at once.
class ReportPageView : public QWidget
{
public:
    using QWidget::QWidget;

    static constexpr int gap = 16;

    void setPages(const ReportPages *pages)
    {
        m_pages = pages;
        relayout();
    }
    void setZoom(double zoom)
    {
        m_zoom = zoom;
        relayout();
    }
    double zoom() const { return m_zoom; }

    QSize pagePixels() const
    {
        if (!m_pages)
            return {};
        const QSizeF s = m_pages->pageSize() * m_zoom;
        return QSize(qRound(s.width()), qRound(s.height()));
    }
    int pageTop(int page) const { return gap + page * (pagePixels().height() + gap); }
    int pageAt(int y) const
    {
        if (!m_pages)
            return 0;
        const int step = pagePixels().height() + gap;
        return qBound(0, (y - gap / 2) / qMax(1, step), qMax(1, m_pages->knownPageCount()) - 1);
    }

    // The pages laid out so far, one under the other.
    void relayout()
    {
        if (!m_pages) {
            resize(0, 0);
            return;
        }
        const QSize page = pagePixels();
        resize(page.width() + 2 * gap, m_pages->knownPageCount() * (page.height() + gap) + gap);
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().color(QPalette::Mid));
        if (!m_pages)
            return;
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QSize page = pagePixels();
        const int x = qMax(gap, (width() - page.width()) / 2);
        const int first = pageAt(event->rect().top());
        const int last = pageAt(event->rect().bottom() + page.height());
        for (int i = first; i <= last; ++i) {
            const QRect r(QPoint(x, pageTop(i)), page);
            if (!r.intersects(event->rect()))
                continue;
            painter.fillRect(r.translated(3, 3), QColor(0, 0, 0, 60));
            painter.fillRect(r, Qt::white);
            painter.save();
            painter.setClipRect(r);
            painter.translate(r.topLeft());
            painter.scale(m_zoom, m_zoom);
            m_pages->paintPage(painter, i);
            painter.restore();
        }
    }

private:
    const ReportPages *m_pages = nullptr;
    double m_zoom = 1.0;
};

namespace
{

const QString pagesCounted = QStringLiteral("pages");

// A toolbar command; one shown by its icon alone has its caption as a tool tip.
QAction *addCommand(QToolBar *bar, const QString &name, const QString &caption, const QString &themeIcon,
    QStyle::StandardPixmap fallback, const QKeySequence &key = QKeySequence(),
    Qt::ToolButtonStyle style = Qt::ToolButtonTextBesideIcon)
{
    QAction *a = bar->addAction(QIcon::fromTheme(themeIcon, bar->style()->standardIcon(fallback)), caption);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
        button->setToolButtonStyle(style);
    return a;
}

} // namespace

ReportPreview::ReportPreview(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));

    auto *bar = addToolBar(QStringLiteral("Print Preview"));
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(addCommand(bar, QStringLiteral("cmdPrint"), QStringLiteral("&Print..."),
                QStringLiteral("document-print"), QStyle::SP_FileIcon, QKeySequence::Print),
        &QAction::triggered, this, &ReportPreview::printReport);
    connect(addCommand(bar, QStringLiteral("cmdSavePdf"), QStringLiteral("Save as P&DF..."),
                QStringLiteral("document-save-as"), QStyle::SP_DialogSaveButton, QKeySequence::Save),
        &QAction::triggered, this, &ReportPreview::savePdf);
    bar->addSeparator();
    m_first = addCommand(bar, QStringLiteral("cmdFirst"), QStringLiteral("First Page"),
        QStringLiteral("go-first"), QStyle::SP_MediaSkipBackward, Qt::CTRL | Qt::Key_Home,
        Qt::ToolButtonIconOnly);
    m_previous = addCommand(bar, QStringLiteral("cmdPrevious"), QStringLiteral("Previous Page"),
        QStringLiteral("go-previous"), QStyle::SP_MediaSeekBackward, Qt::CTRL | Qt::Key_PageUp,
        Qt::ToolButtonIconOnly);
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("lblPage"));
    m_pageLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pageLabel);
    m_next
        = addCommand(bar, QStringLiteral("cmdNext"), QStringLiteral("Next Page"), QStringLiteral("go-next"),
            QStyle::SP_MediaSeekForward, Qt::CTRL | Qt::Key_PageDown, Qt::ToolButtonIconOnly);
    m_last
        = addCommand(bar, QStringLiteral("cmdLast"), QStringLiteral("Last Page"), QStringLiteral("go-last"),
            QStyle::SP_MediaSkipForward, Qt::CTRL | Qt::Key_End, Qt::ToolButtonIconOnly);
    connect(m_first, &QAction::triggered, this, [this] { showPage(0); });
    connect(m_previous, &QAction::triggered, this, [this] { showPage(currentPage() - 1); });
    connect(m_next, &QAction::triggered, this, [this] { showPage(currentPage() + 1); });
    connect(m_last, &QAction::triggered, this, [this] {
        if (layOutAll())
            showPage(m_pages ? m_pages->knownPageCount() - 1 : 0);
    });
    bar->addSeparator();
    connect(
        addCommand(bar, QStringLiteral("cmdZoomOut"), QStringLiteral("Zoom Out"), QStringLiteral("zoom-out"),
            QStyle::SP_ArrowDown, QKeySequence::ZoomOut, Qt::ToolButtonTextOnly),
        &QAction::triggered, this, &ReportPreview::zoomOut);
    connect(addCommand(bar, QStringLiteral("cmdZoomIn"), QStringLiteral("Zoom In"), QStringLiteral("zoom-in"),
                QStyle::SP_ArrowUp, QKeySequence::ZoomIn, Qt::ToolButtonTextOnly),
        &QAction::triggered, this, &ReportPreview::zoomIn);
    connect(addCommand(bar, QStringLiteral("cmdFitWidth"), QStringLiteral("Fit &Width"),
                QStringLiteral("zoom-fit-width"), QStyle::SP_TitleBarMaxButton, QKeySequence(),
                Qt::ToolButtonTextOnly),
        &QAction::triggered, this, &ReportPreview::fitWidth);
    bar->addSeparator();
    connect(addCommand(bar, QStringLiteral("cmdClose"), QStringLiteral("&Close"),
                QStringLiteral("window-close"), QStyle::SP_DialogCloseButton, Qt::Key_Escape),
        &QAction::triggered, this, &QWidget::close);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPages"));
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Mid);
    m_view = new ReportPageView;
    m_view->setObjectName(QStringLiteral("picPages"));
    m_scroll->setWidget(m_view);
    setCentralWidget(m_scroll);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &ReportPreview::updatePageLabel);

    QRect screen(0, 0, 1024, 768);
    if (QScreen *s = QGuiApplication::primaryScreen())
        screen = s->availableGeometry();
    resize(qMin(900, screen.width() - 40), qMin(1000, screen.height() - 40));
    updatePageLabel();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::setReport(const report::Rendered &report)
{
    m_view->setPages(nullptr);
    m_pages = std::make_shared<const ReportPages>(report);
    m_view->setPages(m_pages.get());
    fitWidth();
    m_scroll->verticalScrollBar()->setValue(0);
    updatePageLabel();
    if (!m_pages->isComplete())
        QTimer::singleShot(0, this, &ReportPreview::layOutMore);
}

void ReportPreview::layOutMore()
{
    if (!m_pages)
        return;
    if (m_busy) { // the work on the pages lays them out itself
        QTimer::singleShot(100, this, &ReportPreview::layOutMore);
        return;
    }
    if (m_pages->layoutStep())
        QTimer::singleShot(0, this, &ReportPreview::layOutMore);
    m_view->relayout(); // the new pages; with the last, every foot has the count
    updatePageLabel();
}

bool ReportPreview::layOutAll()
{
    if (!m_pages || m_pages->isComplete())
        return true;
    const std::shared_ptr<const ReportPages> pages = m_pages;
    const QScopedValueRollback busy(m_busy, true);
    const auto progress = platform::progress(QStringLiteral("Laying out the pages..."), this, pagesCounted);
    const bool done = pages->layOutAll(progress.get());
    m_view->relayout();
    updatePageLabel();
    return done;
}

int ReportPreview::currentPage() const
{
    if (!m_pages)
        return 0;
    const int y = m_scroll->verticalScrollBar()->value() + m_scroll->viewport()->height() / 3;
    return m_view->pageAt(y);
}

double ReportPreview::zoom() const
{
    return m_view->zoom();
}

void ReportPreview::showPage(int page)
{
    if (!m_pages)
        return;
    page = qBound(0, page, qMax(1, m_pages->knownPageCount()) - 1);
    m_scroll->verticalScrollBar()->setValue(m_view->pageTop(page) - ReportPageView::gap / 2);
    updatePageLabel();
}

void ReportPreview::setZoom(double zoom)
{
    const int page = currentPage();
    m_view->setZoom(qBound(0.25, zoom, 4.0));
    showPage(page);
}

void ReportPreview::zoomIn()
{
    setZoom(zoom() * 1.25);
}

void ReportPreview::zoomOut()
{
    setZoom(zoom() / 1.25);
}

void ReportPreview::fitWidth()
{
    if (!m_pages)
        return;
    // The window's own width: the view may not have its size before it shows.
    const int room
        = width() - 2 * ReportPageView::gap - m_scroll->verticalScrollBar()->sizeHint().width() - 8;
    setZoom(qBound(0.4, room / m_pages->pageSize().width(), 1.5));
}

void ReportPreview::updatePageLabel()
{
    const int count = m_pages ? m_pages->knownPageCount() : 0;
    const bool more = m_pages && !m_pages->isComplete();
    const int page = currentPage();
    m_pageLabel->setText(count ? QStringLiteral("Page %1 of %2%3")
                                     .arg(page + 1)
                                     .arg(count)
                                     .arg(more ? QStringLiteral("+") : QString())
                               : QString());
    m_first->setEnabled(count && page > 0);
    m_previous->setEnabled(count && page > 0);
    m_next->setEnabled(count && page + 1 < count);
    m_last->setEnabled(count && (more || page + 1 < count));
}

void ReportPreview::printReport()
{
    if (!m_pages || !layOutAll())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_pages->report().title);
    printer.setPageSize(m_pages->pageLayout().pageSize());
    printer.setPageOrientation(m_pages->pageLayout().orientation());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_pages->pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;

    int first = 0, last = m_pages->pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = printer.toPage() > 0 ? printer.toPage() - 1 : last;
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        first = last = currentPage();
    }
    // Another paper chosen in the dialog: the pages are laid out for it.
    const QPageLayout ours = m_pages->pageLayout();
    const QPageLayout chosen = printer.pageLayout();
    std::shared_ptr<const ReportPages> pages = m_pages;
    if (!chosen.pageSize().isEquivalentTo(ours.pageSize()) || chosen.orientation() != ours.orientation())
        pages = std::make_shared<const ReportPages>(m_pages->report(),
            QPageLayout(chosen.pageSize(), chosen.orientation(), ours.margins(QPageLayout::Millimeter),
                QPageLayout::Millimeter));
    printer.setFullPage(true);
    const QScopedValueRollback busy(m_busy, true);
    const auto progress = platform::progress(QStringLiteral("Printing the report..."), this, pagesCounted);
    const ReportPages::Outcome printed = pages->paint(printer, first, last, progress.get());
    if (printed == ReportPages::Outcome::Stopped)
        printer.abort();
    else if (printed == ReportPages::Outcome::Failed)
        warn(QStringLiteral("The report \"%1\" could not be printed.\nThe printer did not accept it.")
                 .arg(pages->report().fileName),
            this);
}

void ReportPreview::savePdf()
{
    if (!m_pages)
        return;
    FileRequest request;
    request.title = QStringLiteral("Save as PDF");
    request.filter = QStringLiteral("PDF Files (*.pdf)");
    request.proposedName = QFileInfo(m_pages->report().fileName).completeBaseName() + QStringLiteral(".pdf");
    QString path = saveFileName(request, this);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const std::shared_ptr<const ReportPages> pages = m_pages;
    const QScopedValueRollback busy(m_busy, true);
    const auto window = platform::progress(QStringLiteral("Saving the report as PDF..."), this, pagesCounted);
    ProgressWatch progress(window.get());
    const Status saved = pages->savePdf(path, &progress);
    m_view->relayout(); // every page is known now
    updatePageLabel();
    if (!saved && !progress.stopped())
        warn(QStringLiteral("The report \"%1\" could not be saved as PDF.\n%2")
                 .arg(pages->report().fileName, saved.message()),
            this);
}

ReportPreview *showPreview(const report::Rendered &report)
{
    auto *preview = loadWindow<ReportPreview>();
    preview->setReport(report);
    bringToFront(preview);
    return preview;
}

} // namespace bm::platform
