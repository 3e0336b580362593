#pragma once

#include <QDate>
#include <QString>
#include <QUrl>

class QWidget;

namespace bm::platform
{

// Requests to the system: mail, web, calculator. Each says whether the
// request could be made.
class ShellService
{
public:
    virtual ~ShellService() = default;
    virtual bool openUrl(const QUrl &url) = 0;
    virtual bool startCalculator() = 0;
};

ShellService &shellService();
void setShellService(ShellService *service); // nullptr restores production

// "mailto:" and the address, built so that blanks, ? and & can not add
// headers or recipients.
QUrl mailtoUrl(const QString &address);
bool openMail(const QString &address);
// The same with the new message's subject and body filled in. Every
// character but letters, digits and "-._~" is percent-encoded as UTF-8, so
// commas, ampersands and line breaks stay part of the text; line breaks are
// sent as CR LF.
QUrl mailtoUrl(const QString &address, const QString &subject, const QString &body);
bool openMail(const QString &address, const QString &subject, const QString &body);
bool openWebPage(const QUrl &url);
bool startCalculator();

// Today's date; tests set it.
class ClockService
{
public:
    virtual ~ClockService() = default;
    virtual QDate today() = 0;
};

ClockService &clockService();
void setClockService(ClockService *service); // nullptr restores production
QDate today();

} // namespace bm::platform
