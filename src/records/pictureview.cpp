#include "records/pictureview.h"
#include "platform/twips.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
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

constexpr double hundredthsPerInch = 2540.0;
constexpr int defaultDotsPerMetre = 3780; // 96 dots to the inch

quint32 littleEndian32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The reader shows what it has of a bitmap, a JPEG or a GIF file that ends
// early; such a file is refused as a whole. A file is complete when it is as
// long as a bitmap's header says, when a JPEG's end marker follows its last
// scan, and when a GIF ends in its trailer.
bool complete(QFile &file, const QByteArray &format)
{
    const qint64 size = file.size();
    const uchar *bytes = size > 0 ? file.map(0, size) : nullptr;
    if (!bytes)
        return true; // can not be looked at: the reader's word stands
    const QByteArrayView data(bytes, size);
    bool ok = true;
    if (format == "bmp" && size >= 54) {
        const quint32 declared = littleEndian32(bytes + 2);
        const quint32 offset = littleEndian32(bytes + 10);
        const qint32 width = qint32(littleEndian32(bytes + 18));
        const qint32 height = qint32(littleEndian32(bytes + 22));
        const int bitCount = bytes[28] | bytes[29] << 8;
        const quint32 compression = littleEndian32(bytes + 30);
        qint64 needed = declared;
        if (compression == 0 && width > 0) // uncompressed rows of whole 32-bit words
            needed = qMax<qint64>(
                needed, offset + (qint64(width) * bitCount + 31) / 32 * 4 * qAbs(qint64(height)));
        ok = needed <= size;
    } else if (format == "jpeg" || format == "jpg") {
        ok = data.lastIndexOf(QByteArrayView("\xFF\xD9", 2))
            > data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    } else if (format == "gif") {
        ok = bytes[size - 1] == 0x3B;
    }
    file.unmap(const_cast<uchar *>(bytes));
    return ok;
}

} // namespace

Status load(const QString &path, QImage &image)
{
    const QString name = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable())
        return Status::failure(QStringLiteral("%1 is not a file that can be read.").arg(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("%1 can not be opened: %2").arg(name, file.errorString()));
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format(); // as the file's first bytes tell
    if (format.isEmpty())
        return Status::failure(QStringLiteral("%1 is not a picture.").arg(name));
    // The reader refuses a picture whose pixels would take more memory than
    // its allocation limit; the size in the header says so in plain words
    // before anything is decoded.
    const QSize size = reader.size();
    const qint64 bytes = qint64(qMax(size.width(), 0)) * qMax(size.height(), 0) * 4;
    const int limit = QImageReader::allocationLimit(); // 0: none
    if (limit > 0 && bytes > qint64(limit) * 1024 * 1024)
        return Status::failure(QStringLiteral("The picture in %1 is too large: %2 by %3 pixels "
                                              "would take more than %4 MB of memory.")
                                   .arg(name, QString::number(size.width()), QString::number(size.height()),
                                       QString::number(limit)));
    QImage read;
    if (!reader.read(&read) || read.isNull())
        return Status::failure(
            QStringLiteral("The picture in %1 can not be read: %2").arg(name, reader.errorString()));
    if (!complete(file, format))
        return Status::failure(QStringLiteral("The picture in %1 is incomplete.").arg(name));
    image = read;
    return Status::ok();
}

QSize naturalSize(const QImage &image)
{
    // In floating point: thousands of pixels at one dot to the metre are
    // billions of hundredths, beyond an int.
    auto hundredths = [](int pixels, int dotsPerMetre) {
        if (dotsPerMetre <= 0)
            dotsPerMetre = defaultDotsPerMetre;
        const double size = double(pixels) * 100000.0 / dotsPerMetre;
        return int(qRound(qMin(size, double(maxNatural))));
    };
    return QSize(
        hundredths(image.width(), image.dotsPerMeterX()), hundredths(image.height(), image.dotsPerMeterY()));
}

Sizing sizingFor(const QImage &image)
{
    const QSize natural = naturalSize(image);
    return natural.width() > boxWidth || natural.height() > boxHeight ? Sizing::Stretch : Sizing::Natural;
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
    return QSize(qRound(twipsToPixels(picture::boxWidth, logicalDpiX())),
        qRound(twipsToPixels(picture::boxHeight, logicalDpiY())));
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
    QPainter painter(this);
    // The box's edge shows where a picture goes; a stretched one covers it.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_image.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), m_image);
}

} // namespace bm
