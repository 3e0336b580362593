#include "exchange/textsource.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace bm::text
{

namespace
{

// A fuzzing build reads in pieces of a few bytes, so that its short inputs
// cross the ends of pieces: a character or a pair of surrogates cut in two.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr qint64 pieceSize = 61;
#else
constexpr qint64 pieceSize = 256 * 1024;
#endif
// How much of the start of a file shows whether it is text.
constexpr qint64 sniffSize = 64 * 1024;

// The Windows letters that Windows-1252 holds in 0x80-0x9F; 0 where that
// code is unused, so the byte is no text.
constexpr char16_t windowsLetters[32] = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
    0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };

// Text holds few control characters besides tab, line feed, form feed and
// carriage return; a start that is mostly others is a program, a picture or
// another program's document. A field of text may hold a few.
bool mostlyControls(QByteArrayView utf8)
{
    qsizetype controls = 0;
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            ++controls;
    }
    return controls * 4 > utf8.size();
}

// Where the last, possibly cut, character of UTF-8 bytes begins, when it is
// cut; the size of the bytes when the last character is whole.
qsizetype wholeCharactersEnd(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const int length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        return length > back ? n - back : n;
    }
    return n;
}

} // namespace

QString shownFileName(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

Source::Source() = default;
Source::~Source() = default;
Source::Source(Source &&) noexcept = default;
Source &Source::operator=(Source &&) noexcept = default;

Status Source::refuse(const QString &why) const
{
    return Status::failure(QStringLiteral("The file %1 can not be imported: %2").arg(m_shown, why));
}

bool Source::fail(const Status &s)
{
    m_status = s;
    return false;
}

QString Source::encodingName() const
{
    switch (m_encoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf16LittleEndian:
    case Encoding::Utf16BigEndian:
        return QStringLiteral("UTF-16");
    case Encoding::Windows1252:
        break;
    }
    return QStringLiteral("Windows-1252");
}

qint64 Source::position() const
{
    return m_device ? m_device->pos() : 0;
}

qint64 Source::size() const
{
    return m_device ? m_device->size() : 0;
}

Status Source::open(const QString &path, qint64 largest)
{
    m_shown = shownFileName(path);
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return m_status = Status::failure(
                   QStringLiteral("The file %1 can not be read: %2.").arg(m_shown, file->errorString()));
    if (file->size() > largest)
        return m_status = refuse(QStringLiteral("it is larger than %1 MB.").arg(largest / (1024 * 1024)));
    m_device = std::move(file);
    return m_status = start();
}

Status Source::open(const QByteArray &bytes, const QString &shownName)
{
    m_shown = shownName;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    m_device = std::move(buffer);
    return m_status = start();
}

bool Source::readBytes(QByteArray &bytes)
{
    bytes.resize(pieceSize);
    const qint64 got = m_device->read(bytes.data(), pieceSize);
    if (got < 0) {
        bytes.clear();
        return fail(Status::failure(
            QStringLiteral("The file %1 can not be read: %2.").arg(m_shown, m_device->errorString())));
    }
    bytes.resize(got);
    return got > 0;
}

Status Source::start()
{
    const QByteArray head = m_device->peek(3);
    if (head.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8;
        m_textStart = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LittleEndian;
        m_textStart = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BigEndian;
        m_textStart = 2;
    } else {
        // No mark: UTF-8 when every byte of the file is, else Windows-1252.
        m_textStart = 0;
        m_encoding = Encoding::Utf8;
        QStringDecoder check(QStringDecoder::Utf8);
        QByteArray piece;
        while (readBytes(piece)) {
            (void)QString(check.decode(piece));
            if (check.hasError()) {
                m_encoding = Encoding::Windows1252;
                break;
            }
        }
        if (!m_status)
            return m_status;
        if (m_encoding == Encoding::Utf8) {
            (void)QString(check(QByteArrayView())); // a character cut at the end
            if (check.hasError())
                m_encoding = Encoding::Windows1252;
        }
    }
    if (Status s = rewind(); !s)
        return s;

    // The start of the text shows whether it is text at all.
    QByteArray sniff;
    while (sniff.size() < sniffSize) {
        QByteArray piece;
        if (!read(piece))
            break;
        sniff += piece;
    }
    if (!m_status)
        return m_status;
    if (mostlyControls(sniff))
        return refuse(QStringLiteral("it is not a text file."));
    return rewind();
}

Status Source::rewind()
{
    if (!m_device->seek(m_textStart))
        return m_status = Status::failure(
                   QStringLiteral("The file %1 can not be read: %2.").arg(m_shown, m_device->errorString()));
    m_pending.clear();
    if (m_encoding == Encoding::Utf16LittleEndian)
        m_decoder = QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    else if (m_encoding == Encoding::Utf16BigEndian)
        m_decoder = QStringDecoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
    m_status = Status::ok();
    return m_status;
}

bool Source::read(QByteArray &utf8)
{
    utf8.clear();
    if (!m_status || !m_device)
        return false;
    QByteArray bytes;
    if (!readBytes(bytes)) {
        if (m_status && !m_pending.isEmpty())
            return fail(refuse(QStringLiteral("it ends in the middle of a letter.")));
        return false;
    }
    const QString notText = QStringLiteral("it is not a text file.");
    switch (m_encoding) {
    case Encoding::Utf8: {
        bytes.prepend(m_pending);
        const qsizetype end = wholeCharactersEnd(bytes);
        m_pending = bytes.mid(end);
        bytes.truncate(end);
        if (std::memchr(bytes.constData(), 0, size_t(bytes.size())))
            return fail(refuse(notText));
        utf8 = std::move(bytes);
        return true;
    }
    case Encoding::Utf16LittleEndian:
    case Encoding::Utf16BigEndian: {
        bytes.prepend(m_pending);
        m_pending = bytes.size() % 2 ? bytes.right(1) : QByteArray();
        bytes.chop(bytes.size() % 2);
        // A pair of surrogates cut by the piece's end waits for its second half.
        if (bytes.size() >= 2) {
            const auto last = m_encoding == Encoding::Utf16LittleEndian
                ? char16_t(quint8(bytes[bytes.size() - 2]) | quint8(bytes[bytes.size() - 1]) << 8)
                : char16_t(quint8(bytes[bytes.size() - 1]) | quint8(bytes[bytes.size() - 2]) << 8);
            if (QChar::isHighSurrogate(last)) {
                m_pending.prepend(bytes.right(2));
                bytes.chop(2);
            }
        }
        const QString text = m_decoder.decode(bytes);
        if (m_decoder.hasError())
            return fail(refuse(QStringLiteral("it is not readable UTF-16 text.")));
        if (text.contains(QChar(0)))
            return fail(refuse(notText));
        utf8 = text.toUtf8();
        return true;
    }
    case Encoding::Windows1252: {
        QString text(bytes.size(), Qt::Uninitialized);
        QChar *out = text.data();
        for (const char ch : std::as_const(bytes)) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == 0)
                return fail(refuse(notText));
            if (c >= 0x80 && c < 0xA0) {
                const char16_t letter = windowsLetters[c - 0x80];
                if (letter == 0)
                    return fail(refuse(QStringLiteral("it is neither UTF-8 nor Windows-1252 text. "
                                                      "Save it again as CSV in UTF-8.")));
                *out++ = QChar(letter);
            } else {
                *out++ = QChar(c);
            }
        }
        utf8 = text.toUtf8();
        return true;
    }
    }
    return false;
}

} // namespace bm::text
