#pragma once

#include <QByteArray>
#include <QString>

namespace bm::test
{

// The SHA-256 of a file's bytes (empty when it can not be read): a file
// "left as it is" has the same hash afterwards.
QByteArray fileHash(const QString &path);

// Runs statements on the file through a plain engine connection of the
// test's own, as another tool would change the file; false (the engine's
// reason logged) when any fails.
bool execOnFile(const QString &path, const QString &sql);

// Writes the bytes as the file name in the folder and gives its path; the
// test ends when it can not.
QString writeFile(
    const QString &folder, const QByteArray &bytes, const QString &name = QStringLiteral("in.csv"));
// The bytes of a file, empty when it can not be read.
QByteArray readFile(const QString &path);

} // namespace bm::test
