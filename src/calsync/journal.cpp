#include "calsync/journal.h"

#include "core/log.h"

#include <QSaveFile>

#include <algorithm>

#include <unistd.h>

namespace bm::calsync
{

namespace
{

const QByteArray header = QByteArrayLiteral("calendar\t");
// A journal line longer than this was not written by this program.
constexpr qsizetype maxLine = 4096;

Status failed(const QString &path, const QString &why)
{
    const QString words = QStringLiteral(
        "The sync's record %1 could not be written: %2. The next round sends everything again.")
                              .arg(path, why);
    qCWarning(dataLog).noquote() << words;
    return Status::failure(words);
}

bool clean(const QString &text)
{
    return !text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r'));
}

QByteArray entryLines(const QString &uid, const Journal::Entry &e)
{
    QByteArray lines;
    if (e.sequence >= 0)
        lines += uid.toUtf8() + '\t' + QByteArray::number(e.sequence) + '\t' + e.etag.toUtf8() + '\n';
    if (e.refused >= 0)
        lines += uid.toUtf8() + "\t!" + QByteArray::number(e.refused) + "\t\n";
    return lines;
}

} // namespace

Journal::~Journal() = default;

Status Journal::open(const QString &path, const QString &calendarUrl)
{
    m_file.close();
    m_entries.clear();
    m_lines = 0;
    m_path = path;
    m_calendarUrl = calendarUrl;
    QFile in(path);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return failed(path, in.errorString());
        bool first = true, same = false;
        while (!in.atEnd()) {
            QByteArray line = in.readLine(maxLine);
            if (!line.endsWith('\n'))
                break; // torn by a kill, or not this program's
            line.chop(1);
            if (first) {
                first = false;
                same = line == header + calendarUrl.toUtf8();
                if (!same)
                    break;
                continue;
            }
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() != 3 || parts[0].isEmpty())
                continue;
            const QString uid = QString::fromUtf8(parts[0]);
            ++m_lines;
            bool ok = false;
            if (parts[1] == "-") {
                m_entries.remove(uid);
            } else if (parts[1].startsWith('!')) {
                const int n = parts[1].mid(1).toInt(&ok);
                if (ok)
                    m_entries[uid].refused = n;
            } else {
                const int n = parts[1].toInt(&ok);
                if (ok && n >= 0)
                    m_entries[uid] = Entry { n, QString::fromLatin1(parts[2]), -1 };
            }
        }
        if (!same)
            m_entries.clear();
        in.close();
        if (!same)
            qCInfo(dataLog).noquote()
                << "calendar sync: the record" << path << "was of another calendar and is started again";
    }
    // The file as it is read: whole lines only, this calendar's.
    return rewrite();
}

Status Journal::put(const QString &uid, int sequence, const QString &etag)
{
    if (!clean(uid) || !clean(etag))
        return failed(m_path, QStringLiteral("an event's name holds a line break"));
    m_entries[uid] = Entry { sequence, etag, -1 };
    return append(uid.toUtf8() + '\t' + QByteArray::number(sequence) + '\t' + etag.toUtf8() + '\n');
}

Status Journal::remove(const QString &uid)
{
    if (!clean(uid))
        return failed(m_path, QStringLiteral("an event's name holds a line break"));
    m_entries.remove(uid);
    return append(uid.toUtf8() + "\t-\t\n");
}

Status Journal::refuse(const QString &uid, int sequence)
{
    if (!clean(uid))
        return failed(m_path, QStringLiteral("an event's name holds a line break"));
    m_entries[uid].refused = sequence;
    return append(uid.toUtf8() + "\t!" + QByteArray::number(sequence) + "\t\n");
}

Status Journal::append(const QByteArray &line)
{
    if (!m_file.isOpen())
        return failed(m_path, QStringLiteral("it is not open"));
    if (m_file.write(line) != line.size() || !m_file.flush() || ::fsync(m_file.handle()) != 0)
        return failed(m_path, m_file.errorString());
    ++m_lines;
    // Grown past twice what it describes: written again whole.
    if (m_lines > 2 * std::max<qsizetype>(m_entries.size(), 8))
        return rewrite();
    return Status::ok();
}

Status Journal::rewrite()
{
    m_file.close();
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return failed(m_path, out.errorString());
    QByteArray text = header + m_calendarUrl.toUtf8() + '\n';
    int lines = 0;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        text += entryLines(it.key(), it.value());
        lines += (it->sequence >= 0) + (it->refused >= 0);
    }
    if (out.write(text) != text.size() || !out.commit())
        return failed(m_path, out.errorString());
    m_lines = lines;
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failed(m_path, m_file.errorString());
    return Status::ok();
}

} // namespace bm::calsync
