#pragma once

#include "core/money.h"
#include "core/status.h"
#include "db/outbox.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantHash>

#include <functional>

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

// The mail server's settings as the desks keep them (no password: the
// service reads its own from a file), and the guide's own address.
struct MailSetup {
    QString server, port, security, login, senderAddress, senderName, guideAddress;
};

// A text of the page's own kinds as the guide changed it (Send "Yes" or
// "No"); the delivered texts stand for the others.
struct MailText {
    QString kind, send, subject, body, days;
};

// The booking a client's link names, for the mail about it: its fields and
// the guide details' by field name, as stored, and the guide's reason when
// he declined.
struct Booked {
    QVariantHash booking, guide;
    QString reason;
};

// A message about the booking for the outbox; its recipient is the
// booking's client, or the guide for the guide's kinds.
struct Outgoing {
    QString kind, subject, body, messageId;
};

// Writes the messages a change calls for from the booking as the change
// left it. A failure undoes the change.
using Compose = std::function<Status(const Booked &, QList<Outgoing> &)>;

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
    // A request made, or a trip cancelled, and the mail compose writes
    // about it (when given), in one transaction.
    [[nodiscard]] virtual Status request(const Request &request, Outcome &out, const Compose &compose = {})
        = 0;
    [[nodiscard]] virtual Status lookUp(const QString &linkDigest, RequestState &out) = 0;
    [[nodiscard]] virtual Status cancel(
        const QString &linkDigest, CancelOutcome &out, const Compose &compose = {})
        = 0;
    // What the mail needs; by default no mail is set up.
    [[nodiscard]] virtual Status mailSetup(MailSetup &out)
    {
        out = {};
        return Status::ok();
    }
    [[nodiscard]] virtual Status mailTexts(QList<MailText> &out)
    {
        out.clear();
        return Status::ok();
    }
};

// The shared database at a libpq URI; also an outbox its service sends
// from (through the server's functions: the server's clock stands for now,
// and a message not answered for within half an hour is taken back).
class Gateway : public Source, public outbox::Store
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
    Status request(const Request &request, Outcome &out, const Compose &compose = {}) override;
    Status lookUp(const QString &linkDigest, RequestState &out) override;
    Status cancel(const QString &linkDigest, CancelOutcome &out, const Compose &compose = {}) override;
    Status mailSetup(MailSetup &out) override;
    Status mailTexts(QList<MailText> &out) override;

    Status take(const QString &sender, const QDateTime &now, int most, int staleSeconds,
        QList<outbox::Message> &out) override;
    Status markSent(const outbox::Message &message, const QDateTime &now, bool &taken) override;
    Status putOff(const outbox::Message &message, const QString &reason, const QDateTime &nextTry,
        bool &taken) override;
    Status end(
        const outbox::Message &message, const char *state, const QString &reason, bool &taken) override;
    Status release(const outbox::Message &message, bool &taken) override;

private:
    // Runs the change (a call that answers one word) and, when it answers
    // done and compose is given, queues the mail about the booking of the
    // link, all in one transaction.
    Status change(const QString &sql, const QVariantList &values, const QString &done, const QString &link,
        const Compose &compose, QString &answer);
    Status done(const outbox::Message &message, const char *state, const QString &reason,
        const QDateTime &nextTry, bool &taken);

    QString m_uri;
    quintptr m_id;
};

} // namespace bm::db::page
