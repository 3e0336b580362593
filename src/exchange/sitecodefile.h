#pragma once

#include "core/status.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace bm::sitecodefile
{

// A site code or name beyond these is no line of the state's list.
inline constexpr int longestCode = 16;
inline constexpr int longestName = 200;

// One site of the file: its code and name, blanks around them taken away.
struct Site {
    QString code;
    QString name;
};

// A line of the file that names no site, and why.
struct BadLine {
    int line = 0;
    QString why;
};

// What a file of site codes holds: the sites of its good lines in their
// order, and its bad lines. Blank lines are neither.
struct Contents {
    QList<Site> sites;
    QList<BadLine> bad;
};

// Reads a CSV file of the state's site codes, two columns: the code, then
// the name. A first line that names the columns ("Code", "Site Code",
// "Name"...) is passed over. A file that can not be read as text, or holds
// nothing, is a failure that names it, and gives no sites.
[[nodiscard]] Status read(const QString &path, Contents &out);
// The same for bytes already in memory; shownName names them in messages.
[[nodiscard]] Status parse(const QByteArray &bytes, const QString &shownName, Contents &out);

} // namespace bm::sitecodefile
