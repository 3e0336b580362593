#pragma once

// What every harness shares: quiet logs, the bytes as Qt takes them, and a
// check that stops the run like a crash, so that libFuzzer keeps the input.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace bm::fuzz
{

// The readers log why they refuse what they refuse; at thousands of inputs a
// second the run would do little but write those lines. A fatal message
// still aborts (Qt does so after the handler returns), which is a finding.
inline void quietLogs()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
}

inline QByteArray bytesOf(const uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A promise a reader makes to its callers, broken by this input.
[[noreturn]] inline void broken(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

// The file a harness hands the reader: one path in a folder of its own for
// the whole run, written anew for each input.
inline const QString &scratchFile(const QString &name)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(name);
    if (!dir.isValid())
        broken("dir.isValid()", __FILE__, __LINE__);
    return path;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        broken("the input written", __FILE__, __LINE__);
}

} // namespace bm::fuzz

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            bm::fuzz::broken(#condition, __FILE__, __LINE__);                                                \
    } while (false)
