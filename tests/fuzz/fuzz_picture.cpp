// A picture a guide hands in for a trip, decoded as the picture window
// decodes it: through picture::load, with the program's limit on the memory
// of a decoded picture, then sized for the viewing box. The bytes go into
// one file, written afresh each run.

#include "fuzzsupport.h"

#include "platform/imagelimits.h"
#include "records/pictureview.h"

#include <QGuiApplication>

using namespace bm;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietLogs();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char *argv[] = { name, nullptr };
    static QGuiApplication app(argc, argv);
    platform::limitPictureMemory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &path = fuzz::scratchFile(QStringLiteral("picture"));
    fuzz::writeFile(path, fuzz::bytesOf(data, size));
    QImage image;
    if (!picture::load(path, image)) {
        FUZZ_CHECK(image.isNull()); // left as it was
        return 0;
    }
    FUZZ_CHECK(!image.isNull());
    // Within the limit, whatever the header claimed.
    FUZZ_CHECK(image.sizeInBytes() <= qsizetype(platform::pictureMemoryLimitMB) * 1024 * 1024);
    const QSize natural = picture::naturalSize(image);
    FUZZ_CHECK(natural.width() >= 0 && natural.width() <= picture::maxNatural);
    FUZZ_CHECK(natural.height() >= 0 && natural.height() <= picture::maxNatural);
    (void)picture::sizingFor(image);
    return 0;
}
