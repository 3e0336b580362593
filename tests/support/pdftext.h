#pragma once

// A printed report read back off its PDF with pdftotext.

#include <QList>
#include <QProcess>
#include <QStringList>

namespace bm::test
{

// The text of each page: its lines trimmed, blank ones dropped, and the
// empty pages at the end dropped too; nothing when pdftotext fails.
inline QList<QStringList> pagesOf(const QString &pdf)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
        { QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
            QStringLiteral("-") });
    if (!text.waitForFinished(60000) || text.exitCode() != 0)
        return {};
    QList<QStringList> pages;
    for (const QString &page : QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'))) {
        QStringList lines;
        for (const QString &line : page.split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines.append(line.trimmed());
        pages.append(lines);
    }
    while (!pages.isEmpty() && pages.constLast().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace bm::test
