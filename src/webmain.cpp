// brindlemoor-web: the booking page where clients see the open days and ask
// for a trip, served from the lodge's shared database.
#include "db/bookingpage.h"
#include "web/config.h"
#include "web/courier.h"
#include "web/service.h"
#include "web/site.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>

#include <csignal>
#include <cstdio>

namespace
{

bm::web::Service *running = nullptr;

extern "C" void stopOnSignal(int)
{
    // The library's stop only closes the listening socket and sets a flag.
    if (running)
        running->stop();
}

int fail(const QString &message)
{
    QTextStream(stderr) << "brindlemoor-web: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brindlemoor-web"));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("The booking page of a Brindlemoor shared database."));
    options.addHelpOption();
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("The settings file (default %1).").arg(bm::web::defaultConfigPath),
        QStringLiteral("FILE"), bm::web::defaultConfigPath);
    const QCommandLineOption check(
        QStringLiteral("check"), QStringLiteral("Check the settings and the database, then stop."));
    options.addOption(config);
    options.addOption(check);
    options.process(app);

    bm::web::Config settings;
    if (const bm::Status s = bm::web::readConfig(options.value(config), settings); !s)
        return fail(s.message());
    if (!settings.locale.isEmpty())
        QLocale::setDefault(QLocale(settings.locale));
    bm::db::page::Gateway database(settings.databaseUri);
    if (const bm::Status s = database.check(); !s)
        return fail(s.message());
    if (options.isSet(check))
        return 0;
    bm::web::Site site(database, { settings.publicUrl, settings.requestsPerHour });
    bm::web::Service service(site, settings);
    if (const bm::Status s = service.bind(); !s)
        return fail(s.message());
    // The outbox's mail goes from here too, unless the settings say not.
    bm::web::Courier courier(database, settings.mailPassword, settings.mailPasswordGiven);
    if (settings.sendMail) {
        site.setMailQueued([&courier] { courier.wake(); });
        courier.start();
    }
    running = &service;
    std::signal(SIGTERM, stopOnSignal);
    std::signal(SIGINT, stopOnSignal);
    QTextStream(stdout) << "brindlemoor-web: serving the booking page on " << settings.listen << " port "
                        << service.port() << Qt::endl;
    const bool served = service.run();
    running = nullptr;
    courier.stop();
    return served ? 0 : fail(QStringLiteral("the service stopped on an error."));
}
