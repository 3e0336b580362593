#include "platform/shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace bm::platform
{

namespace
{

class SystemShell : public ShellService
{
public:
    bool openUrl(const QUrl &url) override { return url.isValid() && QDesktopServices::openUrl(url); }
    bool startCalculator() override
    {
        const QStringList candidates { QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
            QStringLiteral("galculator"), QStringLiteral("mate-calc"), QStringLiteral("qalculate-gtk"),
            QStringLiteral("xcalc"), QStringLiteral("calc") };
        for (const QString &c : candidates) {
            const QString exe = QStandardPaths::findExecutable(c);
            if (!exe.isEmpty() && QProcess::startDetached(exe, {}))
                return true;
        }
        return false;
    }
};

class SystemClock : public ClockService
{
public:
    QDate today() override { return QDate::currentDate(); }
};

SystemShell productionShell;
ShellService *shell = &productionShell;
SystemClock productionClock;
ClockService *clock = &productionClock;

} // namespace

ShellService &shellService()
{
    return *shell;
}
void setShellService(ShellService *service)
{
    shell = service ? service : &productionShell;
}
ClockService &clockService()
{
    return *clock;
}
void setClockService(ClockService *service)
{
    clock = service ? service : &productionClock;
}
QDate today()
{
    return clock->today();
}

QUrl mailtoUrl(const QString &address)
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    // The whole address is the path: a ? or & in it is encoded, never a query.
    url.setPath(address.trimmed(), QUrl::DecodedMode);
    return url;
}

QUrl mailtoUrl(const QString &address, const QString &subject, const QString &body)
{
    QUrl url = mailtoUrl(address);
    QString lines = body;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    url.setQuery(QStringLiteral("subject=%1&body=%2")
                     .arg(QString::fromLatin1(QUrl::toPercentEncoding(subject)),
                         QString::fromLatin1(QUrl::toPercentEncoding(lines))),
        QUrl::StrictMode);
    return url;
}

bool openMail(const QString &address)
{
    return shell->openUrl(mailtoUrl(address));
}

bool openMail(const QString &address, const QString &subject, const QString &body)
{
    return shell->openUrl(mailtoUrl(address, subject, body));
}
bool openWebPage(const QUrl &url)
{
    return shell->openUrl(url);
}
bool startCalculator()
{
    return shell->startCalculator();
}

} // namespace bm::platform
