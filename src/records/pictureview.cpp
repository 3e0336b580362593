#include "records/pictureview.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <QtMath>

namespace bm
{

namespace picture
{

namespace
{

constexpr int twipsPerInch = 1440;
constexpr double hundredthsPerInch = 2540.0;
constexpr int defaultDotsPerMetre = 3780; // 96 dots to the inch

} // namespace

std::optional<QImage> load(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable())
        return std::nullopt;
    // The reader refuses a picture whose pixels would take more memory than
    // its allocation limit, so a huge picture is refused rather than loaded.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    return image;
}

QSize naturalSize(const QImage &image)
{
    auto hundredths = [](int pixels, int dotsPerMetre) {
        if (dotsPerMetre <= 0)
            dotsPerMetre = defaultDotsPerMetre;
        return int(qRound(double(pixels) * 100000.0 / dotsPerMetre));
    };
    return QSize(
        hundredths(image.width(), image.dotsPerMeterX()), hundredths(image.height(), image.dotsPerMeterY()));
}

Sizing sizingFor(const QImage &image)
{
    const QSize natural = naturalSize(image);
    return natural.width() > boxWidth || natural.height() > boxHeight ? Sizing::Stretch : Sizing::Natural;
}

double twipsToPixels(int twips, int dpi)
{
    return double(twips) * dpi / twipsPerInch;
}

QRectF printRect(int dpiX, int dpiY)
{
    return QRectF(twipsToPixels(printLeft, dpiX), twipsToPixels(printTop, dpiY),
        twipsToPixels(boxWidth, dpiX), twipsToPixels(boxHeight, dpiY));
}

void drawForPrint(QPainter &painter, const QImage &image, int dpiX, int dpiY)
{
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(printRect(dpiX, dpiY), image);
}

bool print(QPrinter &printer, const QImage &image)
{
    if (image.isNull())
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    drawForPrint(painter, image, printer.logicalDpiX(), printer.logicalDpiY());
    return painter.end() && printer.printerState() != QPrinter::Error;
}

} // namespace picture

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setFixedSize(sizeHint());
}

QSize PictureBox::sizeHint() const
{
    return QSize(qRound(picture::twipsToPixels(picture::boxWidth, logicalDpiX())),
        qRound(picture::twipsToPixels(picture::boxHeight, logicalDpiY())));
}

void PictureBox::setPicture(const QImage &image, picture::Sizing sizing)
{
    m_image = image;
    m_sizing = sizing;
    update();
}

void PictureBox::clear()
{
    m_image = QImage();
    update();
}

QRect PictureBox::pictureRect() const
{
    if (m_image.isNull())
        return {};
    if (m_sizing == picture::Sizing::Stretch)
        return rect();
    const QSize natural = picture::naturalSize(m_image);
    return QRect(0, 0, qRound(natural.width() * logicalDpiX() / picture::hundredthsPerInch),
        qRound(natural.height() * logicalDpiY() / picture::hundredthsPerInch));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), m_image);
}

} // namespace bm
