#include "platform/reportpreviewdocument.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextOption>

namespace bm::platform
{

namespace
{

// Reports are laid out for a device of 96 dots to the inch with the fonts'
// design metrics, so that the preview, the printer and the PDF break lines
// and pages in the same places whatever the screen.
QPaintDevice &referenceDevice()
{
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(ReportPages::unitsPerInch / 0.0254);
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return image;
}

QFont reportFont(double points)
{
    QFont f;
    f.setFamilies({ QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"), QStringLiteral("Arial"),
        QStringLiteral("DejaVu Sans") });
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    return f;
}

std::unique_ptr<QTextDocument> newDocument()
{
    auto doc = std::make_unique<QTextDocument>();
    doc->documentLayout()->setPaintDevice(&referenceDevice());
    doc->setUseDesignMetrics(true);
    doc->setDocumentMargin(0);
    doc->setDefaultFont(reportFont(10));
    QTextOption option = doc->defaultTextOption();
    // A word longer than its column (a pasted link, a row of dashes) breaks
    // where it must instead of pushing the page wider.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    return doc;
}

QPageLayout withoutMargins(const QPageLayout &layout)
{
    return QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(0, 0, 0, 0));
}

} // namespace

QPageLayout ReportPages::defaultLayout(bool landscape)
{
    const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4),
        landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(16, 14, 16, 20),
        QPageLayout::Millimeter);
}

ReportPages::ReportPages(const report::Rendered &report)
    : ReportPages(report, defaultLayout(report.landscape))
{
}

ReportPages::ReportPages(const report::Rendered &report, const QPageLayout &layout)
    : m_report(report)
    , m_layout(layout)
{
    build();
}

ReportPages::~ReportPages() = default;

void ReportPages::build()
{
    m_doc = newDocument();
    m_doc->setPageSize(contentRect().size());
    m_doc->setHtml(m_report.html);
}

QSizeF ReportPages::pageSize() const
{
    return m_layout.fullRect(QPageLayout::Inch).size() * unitsPerInch;
}

QRectF ReportPages::contentRect() const
{
    const QRectF r = m_layout.paintRect(QPageLayout::Inch);
    return QRectF(r.topLeft() * unitsPerInch, r.size() * unitsPerInch);
}

int ReportPages::pageCount() const
{
    return qMax(1, m_doc->pageCount());
}

double ReportPages::layoutWidth() const
{
    return m_doc->documentLayout()->documentSize().width();
}

QString ReportPages::plainText() const
{
    return m_doc->toPlainText();
}

void ReportPages::paintPage(QPainter &painter, int page) const
{
    const QRectF content = contentRect();
    const double height = content.height();

    painter.save();
    painter.translate(content.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), content.size()), Qt::IntersectClip);
    painter.translate(0, -page * height);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, page * height, content.width(), height);
    context.palette.setColor(QPalette::Text, Qt::black);
    m_doc->documentLayout()->draw(&painter, context);
    painter.restore();

    // The foot: a thin rule, then the footer, the print date and the page.
    const double footTop = content.bottom() + 0.12 * unitsPerInch;
    painter.save();
    painter.setPen(QPen(QColor(0x1f, 0x3b, 0x57), 0.75));
    painter.drawLine(QPointF(content.left(), footTop), QPointF(content.right(), footTop));
    painter.restore();

    auto foot = newDocument();
    foot->setDefaultFont(reportFont(8));
    foot->setTextWidth(content.width());
    const QString printed = m_report.printDate.isEmpty()
        ? QString()
        : QStringLiteral("Printed %1").arg(m_report.printDate.toHtmlEscaped());
    foot->setHtml(QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr>"
                                 "<td width=\"45%\">%1</td><td width=\"25%\" align=\"center\">%2</td>"
                                 "<td width=\"30%\" align=\"right\">Page %3 of %4</td></tr></table>")
                      .arg(m_report.footer.toHtmlEscaped(), printed)
                      .arg(page + 1)
                      .arg(pageCount()));
    painter.save();
    painter.translate(content.left(), footTop + 0.05 * unitsPerInch);
    QAbstractTextDocumentLayout::PaintContext footContext;
    footContext.palette.setColor(QPalette::Text, QColor(0x4a, 0x4a, 0x4a));
    foot->documentLayout()->draw(&painter, footContext);
    painter.restore();
}

bool ReportPages::paint(QPagedPaintDevice &device, int first, int last) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double sx = device.logicalDpiX() / unitsPerInch;
    const double sy = device.logicalDpiY() / unitsPerInch;
    first = qBound(0, first, pageCount() - 1);
    last = qBound(first, last, pageCount() - 1);
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage()) {
            painter.end();
            return false;
        }
        painter.save();
        painter.scale(sx, sy);
        paintPage(painter, page);
        painter.restore();
    }
    return painter.end();
}

Status ReportPages::savePdf(const QString &path) const
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(withoutMargins(m_layout));
        writer.setResolution(600);
        writer.setTitle(m_report.title);
        writer.setCreator(QStringLiteral("Brindlemoor"));
        if (!paint(writer, 0, pageCount() - 1)) {
            file.cancelWriting();
            return Status::failure(QStringLiteral("The file %1 could not be written.").arg(shown));
        }
    }
    if (!file.commit())
        return Status::failure(
            QStringLiteral("The file %1 can not be written: %2.").arg(shown, file.errorString()));
    return Status::ok();
}

} // namespace bm::platform
