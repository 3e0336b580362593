#pragma once

#include "core/status.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

class QPainter;
class QPrinter;

namespace bm
{

namespace picture
{

// The viewing box, and the picture on paper, in twips (1440 to the inch).
inline constexpr int boxWidth = 7200;
inline constexpr int boxHeight = 5400;
// Where a printed picture's top left corner lies on the printable area.
inline constexpr int printLeft = 80;
inline constexpr int printTop = 80;

enum class Sizing { Stretch, Natural };

// The largest natural size, in hundredths of a millimetre (10 metres): a
// picture that claims more (thousands of pixels at one dot to the metre) is
// taken to be this large, and is stretched to the box like any large one.
inline constexpr int maxNatural = 1000000;

// Reads the picture in a file, or says why not: the file is missing, not a
// file, not a picture, incomplete, or larger than a picture may be in memory
// (platform::pictureMemoryLimitMB). image is left as it was on failure.
Status load(const QString &path, QImage &image);

// A picture's natural size in hundredths of a millimetre, from its own
// resolution (96 dots to the inch where it names none, or one that is not a
// positive number), at most maxNatural each way.
QSize naturalSize(const QImage &image);

// A chosen picture wider than 7200 or higher than 5400 of those hundredths
// is stretched to the box; a smaller one is shown at its natural size.
Sizing sizingFor(const QImage &image);

// The rectangle of a printed picture on a device of this resolution.
QRectF printRect(int dpiX, int dpiY);

// Draws the picture as it is printed.
void drawForPrint(QPainter &painter, const QImage &image, int dpiX, int dpiY);

// Prints the picture on one page of the printer; false when any step fails.
bool print(QPrinter &printer, const QImage &image);

} // namespace picture

// The viewing box: 7200 by 5400 twips; the picture stretched to fill it, or
// at its natural size from the top left corner.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QImage &image, picture::Sizing sizing);
    void clear();
    const QImage &picture() const { return m_image; }
    picture::Sizing sizing() const { return m_sizing; }
    // Where the picture is drawn within the box; empty when there is none.
    QRect pictureRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    picture::Sizing m_sizing = picture::Sizing::Stretch;
};

} // namespace bm
