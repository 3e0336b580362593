#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <memory>

namespace bm::text
{

// Larger files are not what a phone, a mail program or a spreadsheet
// writes for the program to read.
inline constexpr qint64 largestImport = qint64(128) * 1024 * 1024;

// How a text file is written, as found from its first bytes and its content.
enum class Encoding {
    Utf8, // with or without its byte order mark
    Utf16LittleEndian, // by its byte order mark
    Utf16BigEndian,
    Windows1252, // text that is not UTF-8: Western European letters as Windows writes them
};

// A text file read a piece at a time and handed on as UTF-8, so that a large
// file never sits in memory whole. The byte order mark is taken away; a file
// that is not UTF-8 and has no mark is read as Windows-1252. A file that holds
// NUL characters, or mostly control characters at its start, is refused as
// no text; so is one larger than the given size.
class Source
{
public:
    Source();
    ~Source();
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
    Source(Source &&) noexcept;
    Source &operator=(Source &&) noexcept;

    Status open(const QString &path, qint64 largest);
    // The same for bytes already in memory; shownName names them in messages.
    Status open(const QByteArray &bytes, const QString &shownName);

    // The next piece of the text as UTF-8, ending after a whole character;
    // false at the end and on a failure, which status() then tells.
    bool read(QByteArray &utf8);
    // Back to the beginning of the text.
    Status rewind();

    const Status &status() const { return m_status; }
    Encoding encoding() const { return m_encoding; }
    // "UTF-8", "UTF-16" or "Windows-1252".
    QString encodingName() const;
    const QString &shownName() const { return m_shown; }
    // How far the reading has come, in bytes of the file.
    qint64 position() const;
    qint64 size() const;

    // "The file ... can not be imported: why".
    Status refuse(const QString &why) const;

private:
    Status start();
    bool readBytes(QByteArray &bytes);
    bool fail(const Status &s);

    std::unique_ptr<QIODevice> m_device;
    QString m_shown;
    Encoding m_encoding = Encoding::Utf8;
    qint64 m_textStart = 0; // after the byte order mark
    QStringDecoder m_decoder;
    QByteArray m_pending; // the bytes of a character cut at the end of a piece
    Status m_status;
};

// The name of a file as messages show it.
QString shownFileName(const QString &path);

} // namespace bm::text
