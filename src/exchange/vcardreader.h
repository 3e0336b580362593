#pragma once

#include "core/status.h"
#include "exchange/contactentry.h"
#include "exchange/textsource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace bm::vcard
{

// True when the start of a text (UTF-8, byte order mark removed) is a vCard
// file: its first line that is not blank is BEGIN:VCARD, in any case.
bool looksLikeVCard(QByteArrayView utf8Start);

// The contacts of a vCard file (.vcf) as phones and mail programs write
// them, read one card at a time so that a large file never sits in memory
// whole. Pictures, sounds and keys in the cards are passed over.
class Reader
{
public:
    // The most one card may hold once its pictures are dropped, and the most
    // lines of content it may have.
    static constexpr qsizetype largestCard = 1024 * 1024;
    static constexpr int mostProperties = 2000;

    Reader();
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // Files larger than 128 MB are refused.
    Status open(const QString &path);
    // The same for bytes already in memory; shownName names them in messages.
    Status open(const QByteArray &bytes, const QString &shownName);
    // The same for a text already opened; it is read from its beginning.
    Status open(text::Source &&source);

    // The next card; false at the end of the file and on a failure, which
    // status() then tells. A file with text but no card at all, a card
    // without its END:VCARD and a card too large are failures; the cards
    // before them have been handed out by then.
    bool next(ContactEntry &entry);
    const Status &status() const { return m_status; }

    // How far the reading has come, in bytes of the file, for progress.
    qint64 position() const { return m_source.position(); }
    qint64 size() const { return m_source.size(); }
    QString encodingName() const { return m_source.encodingName(); }

private:
    struct Line {
        QByteArray text;
        int number = 0;
        bool cut = false; // longer than a card may be; only its start is kept
    };
    Status started(const Status &opened);
    bool readLine(Line &line);
    bool peekLine(Line *&line);
    bool readContentLine(Line &line, bool &dropped);
    bool fail(const Status &s);

    text::Source m_source;
    QByteArray m_buffer; // text read but not yet cut into lines
    qsizetype m_at = 0;
    bool m_sourceDone = false;
    int m_lineNumber = 0;
    Line m_peeked;
    bool m_hasPeeked = false;
    bool m_sawCard = false;
    bool m_sawText = false;
    Status m_status;
};

} // namespace bm::vcard
