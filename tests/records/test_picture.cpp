#include "checks.h"
#include "doubles.h"
#include "pdfprinter.h"
#include "records.h"
#include "testenv.h"

#include "db/changes.h"
#include "db/recordsource.h"
#include "records/frmpicture.h"
#include "records/pictureview.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace bm;
using picture::Sizing;

Q_DECLARE_METATYPE(bm::picture::Sizing)

namespace
{

// A 1 by 1 GIF (Qt writes no GIF files).
const QByteArray tinyGif
    = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

QImage solid(int width, int height, int dotsPerInch, QColor colour = Qt::red)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    const int perMetre = qRound(dotsPerInch / 0.0254);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    return image;
}

QByteArray encoded(const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image = solid(200, 200, 96);
    QPainter(&image).fillRect(50, 50, 100, 100, Qt::blue);
    image.save(&buffer, format);
    return bytes;
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The PNG header chunk claims width by height pixels; the rest stays as
// it was (the pixels do not follow, which does not matter to a reader that
// refuses the size first).
QByteArray withClaimedSize(QByteArray png, quint32 width, quint32 height)
{
    const char dims[] = { char(width >> 24), char(width >> 16), char(width >> 8), char(width),
        char(height >> 24), char(height >> 16), char(height >> 8), char(height) };
    png.replace(16, 8, QByteArray(dims, 8));
    const quint32 crc = crc32(png.mid(12, 17)); // the header chunk's type and data
    const char sum[] = { char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc) };
    png.replace(29, 4, QByteArray(sum, 4));
    return png;
}

// A PNG of the picture whose resolution chunk says dotsPerMetre, whatever
// QImage would let one set (it keeps no 0).
QByteArray pngWithResolution(QImage image, quint32 dotsPerMetre)
{
    image.setDotsPerMeterX(1);
    image.setDotsPerMeterY(1);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const qsizetype at = png.indexOf("pHYs");
    if (at < 0)
        return {};
    const char d[]
        = { char(dotsPerMetre >> 24), char(dotsPerMetre >> 16), char(dotsPerMetre >> 8), char(dotsPerMetre) };
    png.replace(at + 4, 4, QByteArray(d, 4));
    png.replace(at + 8, 4, QByteArray(d, 4));
    const quint32 crc = crc32(png.mid(at, 13)); // type, x, y and unit
    const char sum[] = { char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc) };
    png.replace(at + 13, 4, QByteArray(sum, 4));
    return png;
}

QString storedPicture(Bookmark booking)
{
    RecordSource rs(QStringLiteral("reader"), QStringLiteral("Booking"));
    BM_CHECK(rs.setBookmark(booking));
    return rs.text(QStringLiteral("Picture"));
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formatsLoad_data();
    void formatsLoad();
    void opensOnTheBookingWithItsPictureStretched();
    void emptyPathOpensEmptyWithoutMessage();
    void longPathWraps_data();
    void longPathWraps();
    void storedPathThatDoesNotLoad_data();
    void storedPathThatDoesNotLoad();
    void sizingRule_data();
    void sizingRule();
    void unusualPictures_data();
    void unusualPictures();
    void selectionThatChangesNothing_data();
    void selectionThatChangesNothing();
    void chosenPathWrittenOnClose_data();
    void chosenPathWrittenOnClose();
    void openingOnAnotherBookingWritesTheChoiceFirst();
    void comingBackReloadsWithTheChosenSizing();
    void printRectangle_data();
    void printRectangle();
    void printsToThePrinter();
    void printFailures_data();
    void printFailures();
    void help();

private:
    QString file(const QString &name) const { return m_files.filePath(name); }
    QString writeImage(const QString &name, const QImage &image, const char *format = nullptr)
    {
        QImageWriter writer(file(name), format);
        if (!writer.write(image))
            qWarning("%s", qPrintable(writer.errorString()));
        return file(name);
    }
    QString writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(file(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qWarning("could not write %s", qPrintable(name));
        return file(name);
    }
    Bookmark addBooking(const QString &picture)
    {
        return test::addBooking({ { QStringLiteral("Date"), QDate(2026, 7, 4) },
            { QStringLiteral("Lake"), QStringLiteral("Bull Shoals") },
            { QStringLiteral("Picture"), picture } });
    }
    FrmPicture *open(Bookmark booking)
    {
        m_window = openPictures(booking);
        return m_window;
    }
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QLatin1String(name));
    }
    QString pathShown() const
    {
        return m_window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText();
    }
    QRect box() const { return m_window->image()->rect(); }

    QTemporaryDir m_files;
    std::unique_ptr<test::FakeHub> m_hub;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<test::FakeFileDialogs> m_dialogs;
    std::unique_ptr<test::PdfPrinter> m_printer;
    QPointer<FrmPicture> m_window;
    QString m_photo; // a 640 by 480 picture at 96 dots to the inch
};

void TestPicture::initTestCase()
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char *f : { "bmp", "ico", "jpg", "png", "gif" })
        QVERIFY2(formats.contains(f), f);
}

void TestPicture::init()
{
    test::resetDatabase();
    m_hub = std::make_unique<test::FakeHub>();
    m_messages = std::make_unique<test::ScriptedMessages>();
    m_dialogs = std::make_unique<test::FakeFileDialogs>();
    m_printer = std::make_unique<test::PdfPrinter>();
    m_photo = writeImage(QStringLiteral("photo.png"), solid(640, 480, 96, Qt::blue));
}

void TestPicture::cleanup()
{
    m_hub.reset();
    test::deleteWindows();
    const int pending = m_messages->pending();
    m_printer.reset();
    m_dialogs.reset();
    m_messages.reset();
    QCOMPARE(pending, 0);
}

void TestPicture::formatsLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("bmp") << writeImage("a.bmp", solid(30, 20, 96)) << QSize(30, 20);
    QTest::newRow("ico") << writeImage("a.ico", solid(32, 32, 96), "ico") << QSize(32, 32);
    QTest::newRow("jpeg") << writeImage("a.jpg", solid(30, 20, 96)) << QSize(30, 20);
    QTest::newRow("png") << writeImage("a.png", solid(30, 20, 96)) << QSize(30, 20);
    QTest::newRow("gif") << writeBytes("a.gif", tinyGif) << QSize(1, 1);
    QTest::newRow("png named .dat") << writeImage("png.dat", solid(30, 20, 96), "png") << QSize(30, 20);
}

void TestPicture::formatsLoad()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QImage image;
    const Status loaded = picture::load(name, image);
    QVERIFY2(loaded, qPrintable(loaded.message()));
    QCOMPARE(image.size(), size);
}

void TestPicture::opensOnTheBookingWithItsPictureStretched()
{
    const QString small = writeImage("small.png", solid(20, 10, 96));
    const Bookmark booking = addBooking(small);
    open(booking);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Picture Viewer"));
    QCOMPARE(m_window->findChild<QLabel *>("Label4")->text(), QStringLiteral("7/4/2026"));
    QCOMPARE(m_window->findChild<QLabel *>("Label5")->text(), QStringLiteral("Bull Shoals"));
    QCOMPARE(pathShown(), small);
    QCOMPARE(m_window->image()->picture().size(), QSize(20, 10));
    // However small, the stored picture fills the box on first display.
    QCOMPARE(m_window->image()->pictureRect(), box());
    const int dpi = m_window->image()->logicalDpiX();
    QCOMPARE(box().size(), QSize(qRound(7200.0 * dpi / 1440), qRound(5400.0 * dpi / 1440)));
    if (const QString folder = qEnvironmentVariable("BM_SCREENSHOTS"); !folder.isEmpty()) {
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_window->grab().save(QDir(folder).filePath(QStringLiteral("picture.png")));
    }
    QVERIFY(m_messages->shown.isEmpty());
}

void TestPicture::longPathWraps_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("short") << QString();
    QTest::newRow("deep folders") << QStringLiteral("trips/2026/july/bull shoals/upper lake/morning/");
    QTest::newRow("one long name") << QString(120, QLatin1Char('x')) + QLatin1Char('/');
}

// The whole path is readable in the field: a long one wraps onto further
// lines rather than running off to the side.
void TestPicture::longPathWraps()
{
    QFETCH(QString, folder);
    QVERIFY(folder.isEmpty() || QDir(m_files.path()).mkpath(folder));
    const QString path = writeImage(folder + QStringLiteral("catch.png"), solid(20, 10, 96));
    open(addBooking(path));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    auto *text = m_window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
    QCOMPARE(text->toPlainText(), path);
    QVERIFY(!text->horizontalScrollBar()->isVisible());
    QCOMPARE(text->horizontalScrollBar()->maximum(), 0);
    const int lines = text->document()->documentLayout()->documentSize().height();
    QVERIFY2(lines <= text->height(), qPrintable(QString::number(lines)));
}

void TestPicture::emptyPathOpensEmptyWithoutMessage()
{
    open(m_hub->datBookings().bookmark()); // the delivered booking has no picture
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->image()->picture().isNull());
    QVERIFY(m_messages->shown.isEmpty());
}

void TestPicture::storedPathThatDoesNotLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << file("gone.png");
    QTest::newRow("folder") << m_files.path();
    QTest::newRow("text") << writeBytes("notes.png", "These are not the pixels you are looking for.\n");
    const QByteArray png = encoded("PNG");
    QTest::newRow("truncated png") << writeBytes("cut.png", png.left(png.size() / 2));
    // A PNG whose header claims 60000 by 60000 pixels: far beyond what a
    // picture may take in memory.
    QTest::newRow("huge") << writeBytes("huge.png", withClaimedSize(png, 60000, 60000));
    QTest::newRow("truncated jpeg") << writeBytes("cut.jpg", encoded("JPEG").chopped(40));
    QTest::newRow("truncated bitmap") << writeBytes("cut.bmp", encoded("BMP").chopped(600));
    QTest::newRow("truncated gif") << writeBytes("cut.gif", tinyGif.chopped(1));
    QTest::newRow("empty file") << writeBytes("empty.jpg", QByteArray());
    QTest::newRow("device") << "/dev/zero";
}

void TestPicture::storedPathThatDoesNotLoad()
{
    QFETCH(QString, path);
    const Bookmark booking = addBooking(path);
    m_messages->expect();
    open(booking);
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, QStringLiteral("Please select a Picture"));
    QCOMPARE(m_messages->last().icon, platform::Icon::None);
    QCOMPARE(m_messages->last().caption, QStringLiteral("Brindlemoor"));
    QVERIFY(m_window->image()->picture().isNull());
    m_window->close();
    QCOMPARE(storedPicture(booking), path);
}

void TestPicture::sizingRule_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<bool>("stretched");
    // 96 dots to the inch: 272 pixels are 71.96 mm, 273 are 72.22 mm;
    // 204 pixels are 53.98 mm, 205 are 54.24 mm.
    QTest::newRow("png 96 fits") << "png" << 272 << 204 << 96 << false;
    QTest::newRow("png 96 one too wide") << "png" << 273 << 10 << 96 << true;
    QTest::newRow("png 96 one too high") << "png" << 10 << 205 << 96 << true;
    QTest::newRow("bmp 96 fits") << "bmp" << 272 << 204 << 96 << false;
    QTest::newRow("bmp 96 too wide") << "bmp" << 273 << 204 << 96 << true;
    // The same pixels at 300 dots to the inch are a small picture.
    QTest::newRow("png 300 small") << "png" << 850 << 637 << 300 << false;
    QTest::newRow("png 300 too wide") << "png" << 851 << 10 << 300 << true;
    QTest::newRow("jpeg 300 small") << "jpg" << 850 << 637 << 300 << false;
    // At 72 dots to the inch 204 pixels are 71.97 mm wide.
    QTest::newRow("png 72 fits") << "png" << 204 << 153 << 72 << false;
    QTest::newRow("png 72 too wide") << "png" << 205 << 153 << 72 << true;
    QTest::newRow("large photograph") << "jpg" << 640 << 480 << 96 << true;
}

void TestPicture::sizingRule()
{
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dpi);
    QFETCH(bool, stretched);
    const QString path = writeImage(QStringLiteral("chosen.") + format, solid(width, height, dpi));
    open(m_hub->datBookings().bookmark());
    m_dialogs->answers << path;
    button("cmdSelect")->click();
    PictureBox *image = m_window->image();
    QCOMPARE(image->sizing(), stretched ? Sizing::Stretch : Sizing::Natural);
    QCOMPARE(pathShown(), path);
    const int screen = image->logicalDpiX();
    const QRect expected = stretched
        ? box()
        : QRect(0, 0, qRound(width * 100000.0 / qRound(dpi / 0.0254)) * screen / 2540.0 + 0.5,
            qRound(height * 100000.0 / qRound(dpi / 0.0254)) * screen / 2540.0 + 0.5);
    QCOMPARE(image->pictureRect(), expected);
    if (!stretched) // shown at its size on paper, not its size in pixels
        QVERIFY(qAbs(expected.width() - qRound(double(width) * screen / dpi)) <= 1);
}

void TestPicture::unusualPictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("natural"); // hundredths of a millimetre
    QTest::addColumn<Sizing>("sizing");
    const int cap = picture::maxNatural;
    // 30000 pixels at one dot to the metre are 3 000 000 000 hundredths:
    // beyond an int, so the size is taken at the cap.
    QTest::newRow("30000 pixels, 1 dot per metre")
        << writeBytes("wide.png", pngWithResolution(solid(30000, 2, 96), 1)) << QSize(cap, 200000)
        << Sizing::Stretch;
    QTest::newRow("small, 1 dot per metre")
        << writeBytes("small1.png", pngWithResolution(solid(20, 30, 96), 1)) << QSize(cap, cap)
        << Sizing::Stretch;
    // No resolution, or one beyond an int (it reads as negative): 96 dots to
    // the inch, 3780 to the metre.
    QTest::newRow("0 dots per metre") << writeBytes("zero.png", pngWithResolution(solid(50, 40, 96), 0))
                                      << QSize(1323, 1058) << Sizing::Natural;
    QTest::newRow("dots per metre beyond an int")
        << writeBytes("negative.png", pngWithResolution(solid(50, 40, 96), 0x80000000u)) << QSize(1323, 1058)
        << Sizing::Natural;
    QTest::newRow("96 dots to the inch")
        << writeImage("plain.png", solid(272, 204, 96)) << QSize(7196, 5397) << Sizing::Natural;
    QTest::newRow("bitmap, 1 dot per metre") << writeImage("wide.bmp", [] {
        QImage image = solid(30000, 1, 96);
        image.setDotsPerMeterX(1);
        return image;
    }()) << QSize(cap, 26) << Sizing::Stretch;
}

// Whatever resolution a picture claims, its size on paper is a sane number
// and the picture is taken.
void TestPicture::unusualPictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, natural);
    QFETCH(Sizing, sizing);
    QImage image;
    const Status loaded = picture::load(path, image);
    QVERIFY2(loaded, qPrintable(loaded.message()));
    QCOMPARE(picture::naturalSize(image), natural);
    QCOMPARE(picture::sizingFor(image), sizing);

    const Bookmark booking = addBooking(m_photo);
    open(booking);
    m_dialogs->answers << path;
    button("cmdSelect")->click();
    QCOMPARE(m_window->image()->sizing(), sizing);
    const QRect shown = m_window->image()->pictureRect();
    QVERIFY(box().contains(shown));
    QVERIFY(!shown.isEmpty());
    m_window->close();
    QCOMPARE(storedPicture(booking), path);
}

void TestPicture::selectionThatChangesNothing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("why"); // in the box; none for a cancelled choice
    QTest::newRow("cancelled") << QString() << QString();
    QTest::newRow("not a picture") << writeBytes("readme.txt", "plain words") << "is not a picture";
    QTest::newRow("truncated bitmap")
        << writeBytes("half.bmp", encoded("BMP").chopped(2000)) << "is incomplete";
    QTest::newRow("truncated jpeg") << writeBytes("half.jpg", encoded("JPEG").chopped(2)) << "is incomplete";
    QTest::newRow("too large") << writeBytes("huge.png", withClaimedSize(encoded("PNG"), 60000, 60000))
                               << "is too large: 60000 by 60000 pixels";
    QTest::newRow("a folder") << m_files.path() << "is not a file that can be read";
}

void TestPicture::selectionThatChangesNothing()
{
    QFETCH(QString, answer);
    QFETCH(QString, why);
    const Bookmark booking = addBooking(m_photo);
    open(booking);
    const QImage before = m_window->image()->picture();
    m_dialogs->answers << answer;
    if (!why.isEmpty())
        m_messages->expect();
    QSignalSpy writes(&DataChanges::instance(), &DataChanges::tableChanged);
    button("cmdSelect")->click();
    QCOMPARE(m_dialogs->requests.size(), 1);
    const platform::FileRequest &r = m_dialogs->requests.constFirst();
    QCOMPARE(r.title, QStringLiteral("Select Picture"));
    QCOMPARE(r.filter, QStringLiteral("All Files (*)"));
    QVERIFY(r.proposedName.isEmpty());
    QCOMPARE(m_window->image()->picture(), before);
    QCOMPARE(m_window->image()->sizing(), Sizing::Stretch);
    QCOMPARE(pathShown(), m_photo);
    m_window->close();
    QCOMPARE(writes.count(), 0);
    QCOMPARE(storedPicture(booking), m_photo);
    if (why.isEmpty()) {
        QVERIFY(m_messages->shown.isEmpty());
    } else {
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->last().icon, platform::Icon::Exclamation);
        QVERIFY2(m_messages->last().text.contains(why), qPrintable(m_messages->last().text));
    }
}

void TestPicture::chosenPathWrittenOnClose_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("changedElsewhere");
    QTest::newRow("Close") << false << false;
    QTest::newRow("close box") << true << false;
    QTest::newRow("booking changed in another window meanwhile") << false << true;
}

void TestPicture::chosenPathWrittenOnClose()
{
    QFETCH(bool, closeBox);
    QFETCH(bool, changedElsewhere);
    const Bookmark booking = addBooking(QString());
    QVERIFY(m_hub->datBookings().setBookmark(booking));
    open(booking);
    m_dialogs->answers << m_photo;
    button("cmdSelect")->click();
    const QString lake = changedElsewhere ? QStringLiteral("Table Rock") : QStringLiteral("Bull Shoals");
    if (changedElsewhere) {
        RecordSource other(QStringLiteral("other"), QStringLiteral("Booking"));
        QVERIFY(other.setBookmark(booking));
        QVERIFY(other.Edit());
        QVERIFY(other.setValue(QStringLiteral("Lake"), lake));
        QVERIFY(other.Update());
        QVERIFY(m_hub->datBookings().setBookmark(booking));
    }
    QCOMPARE(storedPicture(booking), QString()); // not before the window closes
    QSignalSpy writes(&DataChanges::instance(), &DataChanges::tableChanged);
    if (closeBox)
        m_window->close();
    else
        button("cmdExit")->click();
    QCOMPARE(storedPicture(booking), m_photo);
    QCOMPARE(writes.count(), 1);
    // The main window read the booking again and stayed on it.
    QCOMPARE(m_hub->datBookings().bookmark(), booking);
    QCOMPARE(m_hub->datBookings().text(QStringLiteral("Picture")), m_photo);
    // Nothing else of the booking changed.
    RecordSource rs(QStringLiteral("reader"), QStringLiteral("Booking"));
    BM_VERIFY(rs.setBookmark(booking));
    QCOMPARE(rs.text("Lake"), lake);
    QCOMPARE(rs.value("Date").toDate(), QDate(2026, 7, 4));
}

void TestPicture::openingOnAnotherBookingWritesTheChoiceFirst()
{
    const Bookmark first = addBooking(QString());
    const Bookmark second = addBooking(m_photo);
    open(first);
    const QString other = writeImage("other.bmp", solid(50, 40, 96));
    m_dialogs->answers << other;
    button("cmdSelect")->click();
    QCOMPARE(openPictures(second), m_window.data());
    QCOMPARE(storedPicture(first), other);
    QCOMPARE(pathShown(), m_photo);
    QCOMPARE(m_window->image()->picture().size(), QSize(640, 480));
    QCOMPARE(m_window->image()->sizing(), Sizing::Stretch);
    m_window->close();
    QCOMPARE(storedPicture(second), m_photo);
}

// Coming back from another window of the program loads the file again, with
// the sizing the last selection chose.
void TestPicture::comingBackReloadsWithTheChosenSizing()
{
    const Bookmark booking = addBooking(QString());
    open(booking);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    const QString small = writeImage("small.png", solid(40, 30, 96, Qt::green));
    m_dialogs->answers << small;
    button("cmdSelect")->click();
    QCOMPARE(m_window->image()->sizing(), Sizing::Natural);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    writeImage("small.png", solid(40, 30, 96, Qt::yellow)); // the file changes meanwhile
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_COMPARE(m_window->image()->picture().pixelColor(0, 0), QColor(Qt::yellow));
    QCOMPARE(m_window->image()->sizing(), Sizing::Natural);

    // A file gone meanwhile says so and empties the box.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(QFile::remove(small));
    m_messages->expect();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_COMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, QStringLiteral("Please select a Picture"));
    QVERIFY(m_window->image()->picture().isNull());
}

void TestPicture::printRectangle_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("72") << 72 << QRect(4, 4, 360, 270);
    QTest::newRow("144") << 144 << QRect(8, 8, 720, 540);
    QTest::newRow("288") << 288 << QRect(16, 16, 1440, 1080);
}

// Whatever the picture's size or proportions, it is drawn 80 twips in and
// 7200 by 5400 twips large.
void TestPicture::printRectangle()
{
    QFETCH(int, dpi);
    QFETCH(QRect, expected);
    QCOMPARE(picture::printRect(dpi, dpi), QRectF(expected));
    for (const QSize &size : { QSize(3, 9), QSize(2000, 100) }) {
        QImage page(expected.right() + 20, expected.bottom() + 20, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        picture::drawForPrint(painter, solid(size.width(), size.height(), 96, Qt::black), dpi, dpi);
        painter.end();
        for (const QPoint &inside : { expected.topLeft(), expected.bottomRight() })
            QCOMPARE(page.pixelColor(inside), QColor(Qt::black));
        for (const QPoint &outside :
            { expected.topLeft() - QPoint(1, 1), expected.bottomRight() + QPoint(1, 1),
                expected.topRight() + QPoint(1, 0), expected.bottomLeft() + QPoint(0, 1) })
            QCOMPARE(page.pixelColor(outside), QColor(Qt::white));
    }
}

void TestPicture::printsToThePrinter()
{
    const Bookmark booking = addBooking(writeImage("tiny.png", solid(8, 6, 96)));
    open(booking);
    m_printer->outputFile = file("job.pdf");
    button("cmdPrint")->click();
    QVERIFY(m_messages->shown.isEmpty());
    QFile pdf(m_printer->outputFile);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.contains("/Subtype /Image"));
    QVERIFY(bytes.contains("/Width 8"));
    QVERIFY(bytes.contains("/Count 1"));
}

void TestPicture::printFailures_data()
{
    QTest::addColumn<bool>("printer");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("output");
    QTest::newRow("no printer") << false << true << file("never.pdf");
    QTest::newRow("no picture") << true << false << file("never.pdf");
    QTest::newRow("printer error") << true << true << file("no such folder/job.pdf");
}

void TestPicture::printFailures()
{
    QFETCH(bool, printer);
    QFETCH(bool, picture);
    QFETCH(QString, output);
    open(picture ? addBooking(m_photo) : addBooking(QString()));
    m_printer->present = printer;
    m_printer->outputFile = output;
    m_messages->expect();
    button("cmdPrint")->click();
    QCOMPARE(m_printer->jobs, 1);
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->last().text, QStringLiteral("There was a problem printing to your printer."));
    QCOMPARE(m_messages->last().icon, platform::Icon::None);
    QCOMPARE(m_messages->last().caption, QStringLiteral("Brindlemoor"));
    QVERIFY(!QFile::exists(file("never.pdf")));
}

void TestPicture::help()
{
    test::RecordingHelp viewer;
    open(m_hub->datBookings().bookmark());
    button("cmdHelp")->click();
    QCOMPARE(viewer.topics, QList<int> { 2300 });
}

BM_TEST_MAIN(TestPicture)
#include "test_picture.moc"
