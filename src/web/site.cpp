#include "web/site.h"

#include "core/money.h"
#include "mail/texts.h"
#include "web/form.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <kainjow/mustache.hpp>

namespace bm::web
{

namespace km = kainjow::mustache;

namespace
{

const QByteArray csrfCookie = "bm_csrf";
const QList<QByteArray> requestFields { "csrf", "trip", "day", "party", "name", "email", "phone", "note",
    "website" };

km::mustache load(const char *name)
{
    QFile f(QStringLiteral(":/web/") + QLatin1String(name));
    const bool read = f.open(QIODevice::ReadOnly);
    Q_ASSERT(read);
    return km::mustache(f.readAll().toStdString());
}

std::string text(const QString &s)
{
    return s.toStdString();
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

bool isHexToken(const QByteArray &t)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9a-f]{64}$"));
    return shape.match(QString::fromLatin1(t)).hasMatch();
}

// The value of one cookie of a Cookie header.
QByteArray cookieValue(const QByteArray &header, const QByteArray &name)
{
    for (QByteArray part : header.split(';')) {
        part = part.trimmed();
        if (part.startsWith(name + '='))
            return part.mid(name.size() + 1);
    }
    return {};
}

// Compares without telling by its time how much matched.
bool sameToken(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QString amount(const Money &m)
{
    const QLocale locale;
    return locale.currencySymbol() + m.format(locale);
}

QString longDate(const QDate &d)
{
    return QLocale().toString(d, QLocale::LongFormat);
}

QString stateText(db::page::DayState s)
{
    switch (s) {
    case db::page::DayState::Open:
        return QStringLiteral("open");
    case db::page::DayState::Few:
        return QStringLiteral("few places left");
    case db::page::DayState::Full:
        return QStringLiteral("full");
    case db::page::DayState::Closed:
        break;
    }
    return QStringLiteral("closed");
}

QString stateClass(db::page::DayState s)
{
    switch (s) {
    case db::page::DayState::Open:
        return QStringLiteral("open");
    case db::page::DayState::Few:
        return QStringLiteral("few");
    case db::page::DayState::Full:
        return QStringLiteral("full");
    case db::page::DayState::Closed:
        break;
    }
    return QStringLiteral("closed");
}

bool bookable(db::page::DayState s)
{
    return s == db::page::DayState::Open || s == db::page::DayState::Few;
}

bool hasControl(const QString &s, bool linesAllowed)
{
    for (QChar c : s)
        if ((c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            && !(linesAllowed && (c == u'\n' || c == u'\r' || c == u'\t')))
            return true;
    return false;
}

bool plausibleEmail(const QString &e)
{
    static const QRegularExpression shape(
        QStringLiteral("^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]{1,64}@[A-Za-z0-9](?:[A-Za-z0-9-]{0,62}[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,62}[A-Za-z0-9])?)+$"));
    return e.size() <= 254 && shape.match(e).hasMatch();
}

bool plausiblePhone(const QString &p)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9 +().\\-/x]{0,40}$"));
    return shape.match(p).hasMatch();
}

QString reachDial(const QString &phone)
{
    QString dial;
    for (QChar c : phone)
        if (c.isDigit() || (c == u'+' && dial.isEmpty()))
            dial += c;
    return dial;
}

} // namespace

// ---------------------------------------------------------------------------

RequestLimit::RequestLimit(int perHour)
    : m_perHour(std::max(1, perHour))
{
}

bool RequestLimit::admit(const QString &client, qint64 now, int &retryAfter)
{
    constexpr qint64 hour = 3600;
    QMutexLocker lock(&m_lock);
    // Addresses not heard of for an hour are forgotten, so the table stays
    // as small as the last hour's clients.
    if (now - m_lastSweep > 60) {
        m_lastSweep = now;
        for (auto it = m_times.begin(); it != m_times.end();)
            it = (it->isEmpty() || now - it->last() >= hour) ? m_times.erase(it) : std::next(it);
    }
    QList<qint64> &times = m_times[client];
    while (!times.isEmpty() && now - times.first() >= hour)
        times.removeFirst();
    if (times.size() >= m_perHour) {
        retryAfter = int(std::max<qint64>(1, hour - (now - times.first())));
        return false;
    }
    times.append(now);
    retryAfter = 0;
    return true;
}

// ---------------------------------------------------------------------------

QString newLinkToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray bytes(reinterpret_cast<const char *>(words), sizeof words);
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool isLinkToken(const QString &token)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    return shape.match(token).hasMatch();
}

QString linkDigest(const QString &token)
{
    return hex(QCryptographicHash::hash(token.toLatin1(), QCryptographicHash::Sha256));
}

// ---------------------------------------------------------------------------

struct Site::Templates {
    km::mustache page = load("page.mustache");
    km::mustache month = load("month.mustache");
    km::mustache request = load("request.mustache");
    km::mustache status = load("status.mustache");
    km::mustache message = load("message.mustache");
    QByteArray css = [] {
        QFile f(QStringLiteral(":/web/style.css"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
};

Site::Site(db::page::Source &source, const Settings &settings)
    : m_source(source)
    , m_settings(settings)
    , m_templates(std::make_unique<Templates>())
    , m_limit(settings.requestsPerHour)
{
    m_clock.start();
}

Site::~Site() = default;

Headers Site::securityHeaders()
{
    return {
        { "Content-Security-Policy",
            "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; base-uri 'none'; "
            "frame-ancestors 'none'" },
        { "X-Content-Type-Options", "nosniff" },
        { "Referrer-Policy", "no-referrer" },
        { "X-Frame-Options", "DENY" },
    };
}

Outgoing Site::answer(const Incoming &in)
{
    const bool read = in.method == "GET" || in.method == "HEAD";
    const bool write = in.method == "POST";
    auto allow = [&](bool ok, const char *methods, auto &&handle) {
        if (ok)
            return handle();
        Outgoing out = errorPage(405);
        out.headers.emplaceBack("Allow", methods);
        return out;
    };
    if (in.path == "/")
        return allow(read, "GET, HEAD", [&] { return month(in); });
    if (in.path == "/style.css")
        return allow(read, "GET, HEAD", [&] {
            Outgoing out;
            out.contentType = "text/css; charset=utf-8";
            out.body = m_templates->css;
            out.headers.emplaceBack("Cache-Control", "public, max-age=3600");
            return out;
        });
    if (in.path == "/request")
        return write ? sendRequest(in) : allow(read, "GET, HEAD, POST", [&] { return requestForm(in); });
    if (in.path.startsWith("/r/")) {
        QByteArray rest = in.path.mid(3);
        const bool cancel = rest.endsWith("/cancel");
        if (cancel)
            rest.chop(7);
        const QString token = QString::fromLatin1(rest);
        if (!isLinkToken(token))
            return errorPage(404);
        if (cancel)
            return allow(write, "POST", [&] { return cancelTrip(in, token); });
        return allow(read, "GET, HEAD", [&] { return clientPage(in, token, in.query.contains("sent"), {}); });
    }
    return errorPage(404);
}

Status Site::offer(Offer &out) const
{
    // A guide's change shows on the page within this long.
    constexpr qint64 keptMs = 3000;
    QMutexLocker lock(&m_offerLock);
    if (!m_offerRead.isValid() || m_offerRead.elapsed() > keptMs) {
        Offer fresh;
        if (Status s = m_source.service(fresh.service); !s)
            return s;
        if (Status s = m_source.trips(fresh.trips); !s)
            return s;
        if (Status s = m_source.range(fresh.first, fresh.last); !s)
            return s;
        m_offer = fresh;
        m_offerRead.start();
    }
    out = m_offer;
    return Status::ok();
}

Status Site::shownDays(QDate first, QDate last, QList<db::page::Day> &out)
{
    const qint64 now = m_clock.elapsed();
    const auto key = std::make_pair(first, last);
    if (m_days.find(key, now, out))
        return Status::ok();
    const quint64 generation = m_days.generation();
    if (Status s = m_source.days(first, last, out); !s)
        return s;
    m_days.keep(key, now, out, generation);
    return Status::ok();
}

void Site::forgetDays()
{
    m_days.forget();
    m_months.forget();
}

Outgoing Site::errorPage(int status) const
{
    switch (status) {
    case 400:
        return message(400, QStringLiteral("That could not be read"),
            QStringLiteral("The page could not make sense of what your browser sent."));
    case 403:
        return message(403, QStringLiteral("The form has expired"),
            QStringLiteral("Open the page again and send the form once more."));
    case 404:
        return message(404, QStringLiteral("There is no such page"),
            QStringLiteral("The address may be mistyped, or the page is gone."));
    case 405:
        return message(405, QStringLiteral("That can not be done here"),
            QStringLiteral("This page does not take that kind of request."));
    case 413:
        return message(413, QStringLiteral("That is too long"),
            QStringLiteral("What was sent is longer than this page takes. Please shorten your note."));
    case 415:
        return message(415, QStringLiteral("That could not be read"),
            QStringLiteral("Please send the form from the booking page."));
    case 429:
        return message(429, QStringLiteral("Too many requests"),
            QStringLiteral("Too many requests came from your address. Please try again later, or call."));
    case 503:
        return unavailable();
    default:
        break;
    }
    if (status >= 500)
        return message(status, QStringLiteral("Something went wrong"),
            QStringLiteral("The booking page could not answer. Please try again in a few minutes."));
    return message(status, QStringLiteral("That could not be done"),
        QStringLiteral("The booking page could not do what was asked."));
}

Outgoing Site::unavailable() const
{
    Outgoing out = message(503, QStringLiteral("The booking page is resting"),
        QStringLiteral("The booking page can not reach the bookings just now. Please try again in a few "
                       "minutes."));
    out.headers.emplaceBack("Retry-After", "60");
    return out;
}

Outgoing Site::message(int status, const QString &heading, const QString &body) const
{
    km::data d;
    d.set("heading", text(heading));
    d.set("text", text(body));
    Outgoing out;
    out.status = status;
    out.body = page(heading, QByteArray::fromStdString(m_templates->message.render(d)));
    return out;
}

QByteArray Site::page(const QString &title, const QByteArray &body) const
{
    Offer o;
    // The page is shown without the service's name when it can not be read:
    // the body says what went wrong.
    if (!offer(o) || o.service.name.trimmed().isEmpty())
        o.service.name = QStringLiteral("Booking");
    const db::page::Service &service = o.service;
    km::data d;
    d.set("title", text(title));
    d.set("service", text(service.name));
    if (!service.phone.isEmpty() || !service.email.isEmpty()) {
        km::data reach;
        if (!service.phone.isEmpty()) {
            reach.set("phone", text(service.phone));
            reach.set("dial", text(reachDial(service.phone)));
        }
        if (plausibleEmail(service.email))
            reach.set("email", text(service.email));
        d.set("reach", reach);
    }
    d.set("body", body.toStdString());
    return QByteArray::fromStdString(m_templates->page.render(d));
}

QString Site::link(const QString &token) const
{
    QString base = m_settings.publicUrl.isValid() ? m_settings.publicUrl.toString(QUrl::StripTrailingSlash)
                                                  : QString();
    return base + QStringLiteral("/r/") + token;
}

// ---------------------------------------------------------------------------

Outgoing Site::month(const Incoming &in)
{
    Offer o;
    if (!offer(o))
        return unavailable();
    const QDate first = o.first, last = o.last;
    const QList<db::page::Trip> &trips = o.trips;
    const bool any = first.isValid() && last.isValid() && first <= last;
    QDate shown = any ? QDate(first.year(), first.month(), 1)
                      : QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    const QDate lastMonth = any ? QDate(last.year(), last.month(), 1) : shown;
    const QDate firstMonth = shown;
    const QString asked = in.query.value("month");
    if (!asked.isEmpty()) {
        const QDate m = QDate::fromString(asked + QStringLiteral("-01"), Qt::ISODate);
        if (m.isValid() && asked.size() == 7)
            shown = std::clamp(m, firstMonth, lastMonth);
    }
    Outgoing out;
    const qint64 now = m_clock.elapsed();
    if (m_months.find(shown, now, out.body))
        return out;
    const quint64 generation = m_months.generation();
    const QDate end = shown.addMonths(1).addDays(-1);
    QList<db::page::Day> days;
    if (!shownDays(shown, end, days))
        return unavailable();
    QHash<QDate, db::page::DayState> states;
    for (const db::page::Day &d : days)
        states.insert(d.date, d.state);

    km::data d;
    const QLocale locale;
    const QString monthFormat = QStringLiteral("MMMM yyyy");
    d.set("monthName", text(locale.toString(shown, monthFormat)));
    if (shown > firstMonth) {
        d.set("prev", text(shown.addMonths(-1).toString(QStringLiteral("yyyy-MM"))));
        d.set("prevName", text(locale.toString(shown.addMonths(-1), monthFormat)));
    }
    if (shown < lastMonth) {
        d.set("next", text(shown.addMonths(1).toString(QStringLiteral("yyyy-MM"))));
        d.set("nextName", text(locale.toString(shown.addMonths(1), monthFormat)));
    }
    km::data tripList { km::data::type::list };
    for (const db::page::Trip &t : trips) {
        km::data row;
        row.set("type", text(t.type));
        if (!t.length.isEmpty())
            row.set("length", text(t.length));
        if (!t.start.isEmpty())
            row.set("start", text(t.start));
        row.set("price", text(amount(t.price)));
        if (t.deposit.units() > 0)
            row.set("deposit", text(amount(t.deposit)));
        row.set("largest", text(QString::number(t.largestParty)));
        row.set("anglers", t.largestParty == 1 ? "angler" : "anglers");
        tripList.push_back(row);
    }
    d.set("trips", tripList);
    d.set("hasTrips", !trips.isEmpty());
    km::data weeks { km::data::type::list };
    km::data week { km::data::type::list };
    auto endWeek = [&] {
        km::data w;
        w.set("days", week);
        weeks.push_back(w);
        week = km::data { km::data::type::list };
    };
    for (int i = 1; i < shown.dayOfWeek(); ++i) {
        km::data blank;
        blank.set("state", "blank");
        week.push_back(blank);
    }
    for (QDate day = shown; day <= end; day = day.addDays(1)) {
        const db::page::DayState s = states.value(day, db::page::DayState::Closed);
        km::data cell;
        cell.set("state", text(stateClass(s)));
        cell.set("number", text(QString::number(day.day())));
        cell.set("stateText", text(stateText(s)));
        cell.set("long", text(longDate(day)));
        if (bookable(s) && !trips.isEmpty())
            cell.set("link", text(QStringLiteral("/request?day=") + day.toString(Qt::ISODate)));
        week.push_back(cell);
        if (day.dayOfWeek() == 7)
            endWeek();
    }
    if (end.dayOfWeek() != 7) {
        for (int i = end.dayOfWeek(); i < 7; ++i) {
            km::data blank;
            blank.set("state", "blank");
            week.push_back(blank);
        }
        endWeek();
    }
    d.set("weeks", weeks);
    out.body = page(QStringLiteral("Book a trip"), QByteArray::fromStdString(m_templates->month.render(d)));
    m_months.keep(shown, now, out.body, generation);
    return out;
}

// The form, filled with what the client sent before (or the day he picked),
// and the problems found with it.
Outgoing Site::form(const FormState &form, const QByteArray &csrf, int status)
{
    Offer o;
    QList<db::page::Day> days;
    if (!offer(o)
        || (o.first.isValid() && o.last.isValid() && o.first <= o.last && !shownDays(o.first, o.last, days)))
        return unavailable();
    const QList<db::page::Trip> &trips = o.trips;
    km::data d;
    d.set("csrf", text(QString::fromLatin1(csrf)));
    km::data tripList { km::data::type::list };
    int largest = 1;
    for (const db::page::Trip &t : trips) {
        km::data row;
        row.set("type", text(t.type));
        row.set("price", text(amount(t.price)));
        if (form.values.value("trip") == t.type)
            row.set("selected", true);
        largest = std::max(largest, t.largestParty);
        tripList.push_back(row);
    }
    d.set("trips", tripList);
    d.set("largest", text(QString::number(largest)));
    km::data dayList { km::data::type::list };
    bool anyDay = false;
    for (const db::page::Day &day : days) {
        if (!bookable(day.state))
            continue;
        anyDay = true;
        km::data row;
        row.set("date", text(day.date.toString(Qt::ISODate)));
        row.set("text",
            text(longDate(day.date)
                + (day.state == db::page::DayState::Few ? QStringLiteral(" (few places left)") : QString())));
        if (form.values.value("day") == day.date.toString(Qt::ISODate))
            row.set("selected", true);
        dayList.push_back(row);
    }
    d.set("days", dayList);
    d.set("hasDays", anyDay && !trips.isEmpty());
    for (const char *field : { "party", "name", "email", "phone", "note" })
        d.set(field, text(form.values.value(field)));
    if (!form.problems.isEmpty()) {
        km::data list { km::data::type::list };
        for (const QString &p : form.problems)
            list.push_back(km::data(text(p)));
        d.set("problems", list);
        d.set("hasProblems", true);
    }
    Outgoing out;
    out.status = status;
    out.body
        = page(QStringLiteral("Ask for a trip"), QByteArray::fromStdString(m_templates->request.render(d)));
    out.headers.emplaceBack("Cache-Control", "no-store");
    out.headers.emplaceBack("Set-Cookie",
        csrfCookie + '=' + csrf + "; Path=/; HttpOnly; SameSite=Strict"
            + (m_settings.publicUrl.scheme() == QLatin1String("https") ? "; Secure" : ""));
    return out;
}

QByteArray Site::csrfOf(const Incoming &in)
{
    const QByteArray held = cookieValue(in.cookie, csrfCookie);
    if (isHexToken(held))
        return held;
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

bool Site::csrfHolds(const Incoming &in, const QString &sent)
{
    const QByteArray held = cookieValue(in.cookie, csrfCookie);
    return isHexToken(held) && sameToken(held, sent.toLatin1());
}

Outgoing Site::requestForm(const Incoming &in)
{
    FormState state;
    const QString day = in.query.value("day");
    if (day.size() == 10)
        state.values.insert("day", day);
    const QString trip = in.query.value("trip");
    if (trip.size() <= 100)
        state.values.insert("trip", trip);
    return form(state, csrfOf(in), 200);
}

Outgoing Site::sendRequest(const Incoming &in)
{
    if (in.body.size() > maxBody)
        return errorPage(413);
    if (!in.contentType.startsWith("application/x-www-form-urlencoded"))
        return errorPage(415);
    FormState state;
    if (!readForm(in.body, requestFields, state.values))
        return errorPage(400);
    if (!csrfHolds(in, state.values.value("csrf")))
        return errorPage(403);
    // Only a program fills the field people do not see.
    if (!state.values.value("website").isEmpty())
        return errorPage(400);
    int retryAfter = 0;
    if (!m_limit.admit(in.client, m_clock.elapsed() / 1000, retryAfter)) {
        Outgoing out = errorPage(429);
        out.headers.emplaceBack("Retry-After", QByteArray::number(retryAfter));
        return out;
    }

    Offer o;
    if (!offer(o))
        return unavailable();
    const QList<db::page::Trip> &trips = o.trips;
    db::page::Request r;
    r.trip = state.values.value("trip");
    const db::page::Trip *trip = nullptr;
    for (const db::page::Trip &t : trips)
        if (t.type == r.trip)
            trip = &t;
    if (!trip)
        state.problems << QStringLiteral("Choose one of the trips offered.");
    const QString day = state.values.value("day");
    r.day = day.size() == 10 ? QDate::fromString(day, Qt::ISODate) : QDate();
    // The day as the page shows it; the database counts again when the
    // request is made.
    QList<db::page::Day> days;
    if (r.day.isValid() && !shownDays(r.day, r.day, days))
        return unavailable();
    const bool dayFull = days.size() == 1 && days.first().state == db::page::DayState::Full;
    if (!r.day.isValid() || days.size() != 1 || (!bookable(days.first().state) && !dayFull))
        state.problems << QStringLiteral("Choose one of the open days.");
    bool whole = false;
    const QString party = state.values.value("party").trimmed();
    r.party = party.size() <= 3 ? party.toInt(&whole) : 0;
    if (!whole || r.party < 1 || (trip && r.party > trip->largestParty))
        state.problems << (trip ? QStringLiteral("The number of anglers must be from 1 to %1 for this trip.")
                                      .arg(trip->largestParty)
                                : QStringLiteral("Give the number of anglers."));
    r.name = state.values.value("name").simplified();
    if (r.name.isEmpty() || r.name.size() > 100 || hasControl(r.name, false))
        state.problems << QStringLiteral("Give your name (at most 100 characters).");
    r.email = state.values.value("email").trimmed();
    if (!plausibleEmail(r.email))
        state.problems << QStringLiteral("Give an e-mail address such as name@example.com.");
    r.phone = state.values.value("phone").trimmed();
    if (!plausiblePhone(r.phone))
        state.problems << QStringLiteral(
            "A phone number may hold digits, blanks and + ( ) . - / x (at most 40).");
    r.note = state.values.value("note");
    if (r.note.size() > 2000 || hasControl(r.note, true))
        state.problems << QStringLiteral("The note may be at most 2000 characters long.");
    const QByteArray csrf = csrfOf(in);
    if (!state.problems.isEmpty())
        return form(state, csrf, 400);
    if (dayFull) {
        state.problems << QStringLiteral("That day is full. Please choose another day.");
        return form(state, csrf, 409);
    }

    const QString token = newLinkToken();
    r.linkDigest = linkDigest(token);
    db::page::Outcome outcome;
    db::page::Compose compose;
    if (!m_mail.composer(
            { QLatin1String(mail::kind::requestReceived), QLatin1String(mail::kind::newRequest) }, compose)
        || !m_source.request(r, outcome, compose))
        return unavailable();
    forgetDays();
    if (outcome == db::page::Outcome::Made && compose && m_mailQueued)
        m_mailQueued();
    switch (outcome) {
    case db::page::Outcome::Made: {
        Outgoing out;
        out.status = 303;
        out.headers.emplaceBack("Location", QStringLiteral("/r/%1?sent=1").arg(token).toLatin1());
        out.headers.emplaceBack("Cache-Control", "no-store");
        out.body = "See /r/ for your request.";
        out.contentType = "text/plain; charset=utf-8";
        return out;
    }
    case db::page::Outcome::Full:
        state.problems << QStringLiteral(
            "That day has just filled: another client asked a moment before you. "
            "Please choose another day.");
        return form(state, csrf, 409);
    case db::page::Outcome::Closed:
        state.problems << QStringLiteral("That day is no longer open. Please choose another day.");
        return form(state, csrf, 409);
    case db::page::Outcome::UnknownTrip:
    case db::page::Outcome::PartyTooLarge:
    case db::page::Outcome::Invalid:
        break;
    }
    state.problems << QStringLiteral("The request could not be taken as it is. Please check it.");
    return form(state, csrf, 400);
}

Outgoing Site::clientPage(const Incoming &in, const QString &token, bool sent, const QString &note)
{
    db::page::RequestState r;
    if (!m_source.lookUp(linkDigest(token), r))
        return unavailable();
    if (!r.found)
        return errorPage(404);
    static const QHash<QString, QString> words {
        { QStringLiteral("requested"), QStringLiteral("Requested: waiting for the guide") },
        { QStringLiteral("confirmed"), QStringLiteral("Confirmed") },
        { QStringLiteral("declined"), QStringLiteral("Declined by the guide") },
        { QStringLiteral("cancelled"), QStringLiteral("Cancelled") },
    };
    km::data d;
    d.set("heading", sent ? "Request sent" : "Your trip");
    if (sent)
        d.set("sent", true);
    if (!note.isEmpty())
        d.set("note", text(note));
    d.set("state", text(r.state));
    d.set("stateText", text(words.value(r.state, r.state)));
    d.set("trip", text(r.trip));
    d.set("day", text(longDate(r.day)));
    if (!r.start.isEmpty())
        d.set("start", text(r.start));
    if (!r.party.isEmpty())
        d.set("party", text(r.party));
    if (r.state == QLatin1String("declined") && !r.reason.isEmpty())
        d.set("reason", text(r.reason));
    d.set("link", text(link(token)));
    const QByteArray csrf = csrfOf(in);
    if (r.cancellable) {
        d.set("cancellable", true);
        d.set("cancelPath", text(QStringLiteral("/r/%1/cancel").arg(token)));
        d.set("csrf", text(QString::fromLatin1(csrf)));
    } else if (r.state == QLatin1String("requested") || r.state == QLatin1String("confirmed")) {
        d.set("late", true);
    }
    Outgoing out;
    out.body = page(sent ? QStringLiteral("Request sent") : QStringLiteral("Your trip"),
        QByteArray::fromStdString(m_templates->status.render(d)));
    out.headers.emplaceBack("Cache-Control", "no-store");
    out.headers.emplaceBack("Set-Cookie",
        csrfCookie + '=' + csrf + "; Path=/; HttpOnly; SameSite=Strict"
            + (m_settings.publicUrl.scheme() == QLatin1String("https") ? "; Secure" : ""));
    return out;
}

Outgoing Site::cancelTrip(const Incoming &in, const QString &token)
{
    if (in.body.size() > maxBody)
        return errorPage(413);
    if (!in.contentType.startsWith("application/x-www-form-urlencoded"))
        return errorPage(415);
    QHash<QByteArray, QString> values;
    if (!readForm(in.body, { "csrf" }, values))
        return errorPage(400);
    if (!csrfHolds(in, values.value("csrf")))
        return errorPage(403);
    db::page::CancelOutcome outcome;
    db::page::Compose compose;
    if (!m_mail.composer({ QLatin1String(mail::kind::cancelled) }, compose)
        || !m_source.cancel(linkDigest(token), outcome, compose))
        return unavailable();
    forgetDays();
    if (outcome == db::page::CancelOutcome::Cancelled && compose && m_mailQueued)
        m_mailQueued();
    switch (outcome) {
    case db::page::CancelOutcome::Cancelled: {
        Outgoing out;
        out.status = 303;
        out.headers.emplaceBack("Location", QStringLiteral("/r/%1").arg(token).toLatin1());
        out.contentType = "text/plain; charset=utf-8";
        out.body = "Cancelled.";
        return out;
    }
    case db::page::CancelOutcome::TooLate: {
        Outgoing out = clientPage(in, token, false,
            QStringLiteral("It is too close to the day to cancel here. Please call the guide."));
        out.status = 409;
        return out;
    }
    case db::page::CancelOutcome::Nothing:
        break;
    }
    Outgoing out = clientPage(in, token, false, QStringLiteral("There is nothing left to cancel."));
    if (out.status == 200)
        out.status = 409;
    return out;
}

} // namespace bm::web
