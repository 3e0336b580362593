#pragma once

#include "core/money.h"
#include "core/status.h"

#include <QDate>
#include <QList>
#include <QString>

// The booking page's reach into the shared database, for the web service:
// nothing but the server's page functions (the service's role may call
// those and read no table). Each thread that calls opens a connection of
// its own on first use and opens it again when the server has lost it.
namespace bm::db::page
{

// The guide service as the page introduces it.
struct Service {
    QString name;
    QString phone;
    QString email;
    QString website;
};

// A trip the page offers.
struct Trip {
    QString type;
    QString length; // "4 hours"
    QString start; // "06:00", or empty
    Money price;
    Money deposit;
    int largestParty = 1;
};

enum class DayState { Closed, Open, Few, Full };

struct Day {
    QDate date;
    DayState state = DayState::Closed;
};

// A client's request for a trip, as the page's form gave it (checked by
// the page first, and again by the server).
struct Request {
    QString trip;
    QDate day;
    int party = 0;
    QString name;
    QString email;
    QString phone;
    QString note;
    QString linkDigest; // 64 hexadecimal digits: the SHA-256 of the client's link
};

// What became of a request: made (a booking waits for the guide), or why
// not. Full: the last place went to another client a moment before.
enum class Outcome { Made, Full, Closed, UnknownTrip, PartyTooLarge, Invalid };

// A client's own request, as his link shows it.
struct RequestState {
    bool found = false;
    QString state; // "requested", "confirmed", "declined" or "cancelled"
    QDate day;
    QString trip;
    QString start;
    QString party;
    QString reason; // the guide's, when he declined
    bool cancellable = false;
};

enum class CancelOutcome { Cancelled, TooLate, Nothing };

// What the page reads and writes; the web service's tests and its fuzzing
// hand it other answers.
class Source
{
public:
    virtual ~Source() = default;
    [[nodiscard]] virtual Status service(Service &out) = 0;
    [[nodiscard]] virtual Status trips(QList<Trip> &out) = 0;
    // The days the page may offer at all: from the shortest notice to how
    // far ahead it shows, within the season. An empty range (first after
    // last) when there is none.
    [[nodiscard]] virtual Status range(QDate &first, QDate &last) = 0;
    [[nodiscard]] virtual Status days(const QDate &first, const QDate &last, QList<Day> &out) = 0;
    [[nodiscard]] virtual Status request(const Request &request, Outcome &out) = 0;
    [[nodiscard]] virtual Status lookUp(const QString &linkDigest, RequestState &out) = 0;
    [[nodiscard]] virtual Status cancel(const QString &linkDigest, CancelOutcome &out) = 0;
};

// The shared database at a libpq URI.
class Gateway : public Source
{
public:
    explicit Gateway(const QString &uri);
    ~Gateway() override;

    // Whether the server answers and has this program's layout; the reason
    // when not.
    [[nodiscard]] Status check();

    Status service(Service &out) override;
    Status trips(QList<Trip> &out) override;
    Status range(QDate &first, QDate &last) override;
    Status days(const QDate &first, const QDate &last, QList<Day> &out) override;
    Status request(const Request &request, Outcome &out) override;
    Status lookUp(const QString &linkDigest, RequestState &out) override;
    Status cancel(const QString &linkDigest, CancelOutcome &out) override;

private:
    QString m_uri;
    quintptr m_id;
};

} // namespace bm::db::page
