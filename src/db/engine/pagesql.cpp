#include "db/engine/pagesql.h"

#include <QRegularExpression>

namespace bm::db::pagesql
{

namespace
{

// A whole number a guide typed into a settings field, within bounds; the
// fallback for anything else. A date typed there likewise, or null.
const char settingFunctions[] = R"sql(
CREATE OR REPLACE FUNCTION bm_page_number(t text, fallback integer, lo integer, hi integer)
RETURNS integer LANGUAGE sql IMMUTABLE SET search_path = pg_catalog AS $$
SELECT CASE WHEN t ~ '^\s*[0-9]{1,6}\s*$' THEN least(greatest(trim(t)::integer, lo), hi) ELSE fallback END $$;

CREATE OR REPLACE FUNCTION bm_page_date(t text) RETURNS date LANGUAGE plpgsql IMMUTABLE
SET search_path = pg_catalog AS $$
BEGIN
  IF t ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$' THEN RETURN t::date; END IF;
  RETURN NULL;
EXCEPTION WHEN others THEN RETURN NULL;
END $$;

CREATE OR REPLACE FUNCTION bm_page_settings(OUT season_start date, OUT season_end date, OUT weekdays text,
  OUT per_guide integer, OUT notice integer, OUT ahead integer, OUT cancel_days integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE r record;
BEGIN
  SELECT * INTO r FROM "Booking Page" ORDER BY "ID" LIMIT 1;
  season_start := bm_page_date(r."Season Start");
  season_end := bm_page_date(r."Season End");
  weekdays := coalesce(nullif(regexp_replace(coalesce(r."Weekdays", '1234567'), '[^1-7]', '', 'g'), ''), '');
  IF r IS NULL THEN weekdays := '1234567'; END IF;
  per_guide := bm_page_number(r."Trips Per Guide", 1, 0, 20);
  notice := bm_page_number(r."Notice Days", 1, 0, 365);
  ahead := bm_page_number(r."Days Ahead", 90, 0, 730);
  cancel_days := bm_page_number(r."Cancel Days", 2, 0, 365);
END $$;
)sql";

// Each day from first_day to last_day (at most 400 of them) with its state
// and the trips still free: closed (not offered: outside the season, a
// weekday not worked, within the shortest notice, past how far ahead the
// page shows, no trip offered or no guide working), full, few or open. Each
// active guide not off that day, and whose own calendar holds nothing that
// day (Busy Times; an empty Guide is every guide's), holds per_guide trips;
// a booking that is not cancelled takes one of its guide's, and one without
// a guide of the roster takes one from any guide. Without an active guide on the roster
// the service is one guide, who holds every booking.
const char dayFunction[] = R"sql(
CREATE OR REPLACE FUNCTION bm_page_places(first_day date, last_day date)
RETURNS TABLE(day date, state text, places integer, capacity integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE s record; offered boolean;
BEGIN
  SELECT * INTO s FROM bm_page_settings();
  IF first_day IS NULL OR last_day IS NULL THEN RETURN; END IF;
  IF last_day > first_day + 400 THEN last_day := first_day + 400; END IF;
  offered := EXISTS (SELECT 1 FROM "Page Trips" WHERE coalesce("Trip Type", '') <> '');
  RETURN QUERY
  WITH days AS (SELECT g::date AS day, to_char(g, 'YYYY-MM-DD') AS stored
                  FROM generate_series(first_day, last_day, interval '1 day') g),
  roster AS (SELECT DISTINCT "Name" AS name FROM "Guides" WHERE "Active" = 'Yes' AND coalesce("Name", '') <> ''),
  named AS (SELECT DISTINCT "Name" AS name FROM "Guides" WHERE coalesce("Name", '') <> ''),
  crew AS (SELECT name FROM roster UNION ALL SELECT '' WHERE NOT EXISTS (SELECT 1 FROM roster)),
  working AS (SELECT d.day, d.stored, c.name FROM days d CROSS JOIN crew c
               WHERE NOT EXISTS (SELECT 1 FROM "Days Off" o WHERE o."Date" = d.stored
                                    AND (coalesce(o."Guide", '') = '' OR o."Guide" = c.name))
                 AND NOT EXISTS (SELECT 1 FROM "Busy Times" x WHERE x."Date" = d.stored
                                    AND (coalesce(x."Guide", '') = '' OR x."Guide" = c.name))),
  booked AS (SELECT b."Date" AS stored,
                    CASE WHEN NOT EXISTS (SELECT 1 FROM roster) THEN ''
                         WHEN b."Guide" IN (SELECT name FROM named) THEN b."Guide" END AS holder
               FROM "Booking" b
              WHERE b."Date" BETWEEN to_char(first_day, 'YYYY-MM-DD') AND to_char(last_day, 'YYYY-MM-DD')
                AND coalesce(b."Status", '') <> 'Cancelled'),
  free AS (SELECT w.day, sum(greatest(s.per_guide - (SELECT count(*) FROM booked b
                                                       WHERE b.stored = w.stored AND b.holder = w.name), 0))::integer AS n,
                  (count(*) * s.per_guide)::integer AS cap
             FROM working w GROUP BY w.day),
  loose AS (SELECT b.stored, count(*)::integer AS n FROM booked b WHERE b.holder IS NULL GROUP BY b.stored),
  counted AS (SELECT d.day, greatest(coalesce(f.n, 0) - coalesce(l.n, 0), 0) AS places, coalesce(f.cap, 0) AS cap
                FROM days d LEFT JOIN free f ON f.day = d.day LEFT JOIN loose l ON l.stored = d.stored)
  SELECT c.day,
         CASE WHEN NOT offered OR c.cap = 0
                OR strpos(s.weekdays, extract(isodow FROM c.day)::integer::text) = 0
                OR c.day < current_date + s.notice OR c.day > current_date + s.ahead
                OR c.day < s.season_start OR c.day > s.season_end THEN 'closed'
              WHEN c.places = 0 THEN 'full'
              WHEN c.cap > 1 AND c.places <= greatest(1, c.cap / 4) THEN 'few'
              ELSE 'open' END,
         c.places, c.cap
    FROM counted c ORDER BY c.day;
END $$;
REVOKE ALL ON FUNCTION bm_page_places(date, date) FROM PUBLIC;
REVOKE ALL ON FUNCTION bm_page_settings() FROM PUBLIC;
)sql";

// What the web service may call.
const char webFunctions[] = R"sql(
CREATE OR REPLACE FUNCTION bm_web_layout() RETURNS bigint LANGUAGE sql STABLE SECURITY DEFINER
SET search_path = public, pg_temp AS $$ SELECT max("Version") FROM "Schema Version" $$;

CREATE OR REPLACE FUNCTION bm_web_service(OUT name text, OUT phone text, OUT email text, OUT website text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT "Guide Name", "Phone", "Email", "Website" FROM "Guide Info" ORDER BY "ID" LIMIT 1 $$;

CREATE OR REPLACE FUNCTION bm_web_trips()
RETURNS TABLE(trip text, length text, start text, price bigint, deposit bigint, largest integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT "Trip Type", coalesce("Length", ''), coalesce("Start Time", ''), "Price", "Deposit",
       bm_page_number("Largest Party", 1, 1, 50)
  FROM "Page Trips" WHERE coalesce("Trip Type", '') <> '' ORDER BY "ID" $$;

CREATE OR REPLACE FUNCTION bm_web_days(first_day date, last_day date)
RETURNS TABLE(day date, state text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT p.day, p.state FROM bm_page_places(first_day, last_day) p $$;

CREATE OR REPLACE FUNCTION bm_web_window(OUT first_day date, OUT last_day date)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT greatest(current_date + s.notice, coalesce(s.season_start, current_date)),
       least(current_date + s.ahead, coalesce(s.season_end, current_date + s.ahead))
  FROM bm_page_settings() s $$;

-- A client's request for a trip: the day's places are counted while no
-- other request for the same day runs, so the last place is taken once.
-- Answers made, or why not: invalid, trip, party, closed, full.
CREATE OR REPLACE FUNCTION bm_web_request(p_trip text, p_day date, p_party integer, p_name text,
  p_email text, p_phone text, p_note text, p_link text)
RETURNS text LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE t record; c record; st text; booking bigint;
BEGIN
  IF p_day IS NULL OR p_party IS NULL OR coalesce(length(trim(p_name)), 0) NOT BETWEEN 1 AND 100
     OR coalesce(length(p_email), 0) NOT BETWEEN 3 AND 254 OR p_email !~ '^[^@\s<>]+@[^@\s<>]+$'
     OR length(coalesce(p_phone, '')) > 40 OR length(coalesce(p_note, '')) > 2000
     OR coalesce(p_link, '') !~ '^[0-9a-f]{64}$' OR length(coalesce(p_trip, '')) > 100 THEN
    RETURN 'invalid';
  END IF;
  SELECT * INTO t FROM bm_web_trips() x WHERE x.trip = p_trip LIMIT 1;
  IF NOT FOUND THEN RETURN 'trip'; END IF;
  IF p_party < 1 OR p_party > t.largest THEN RETURN 'party'; END IF;
  PERFORM pg_advisory_xact_lock(1112689234, p_day - date '2000-01-01');
  SELECT p.state INTO st FROM bm_page_places(p_day, p_day) p;
  IF st IS NULL OR st = 'closed' THEN RETURN 'closed'; END IF;
  IF st = 'full' THEN RETURN 'full'; END IF;
  SELECT * INTO c FROM "Phone" WHERE lower("Email") = lower(p_email) ORDER BY "ID" LIMIT 1;
  IF NOT FOUND THEN
    INSERT INTO "Phone" ("Name", "Mobile Phone Number", "Email", "Remarks")
    VALUES (trim(p_name), nullif(trim(p_phone), ''), p_email, 'Added by a request on the booking page')
    RETURNING * INTO c;
  END IF;
  INSERT INTO "Booking" ("Date", "Type", "Name", "Address", "City", "State", "ZipCode", "Telephone",
                         "Cell Phone", "Email", "Notes", "Total Charge", "Deposit Amount", "Status",
                         "Party Size", "Start Time")
  VALUES (to_char(p_day, 'YYYY-MM-DD'), t.trip, trim(p_name), c."Address", c."City", c."State",
          c."Zip Code", c."Home Telephone Number", coalesce(nullif(trim(p_phone), ''), c."Mobile Phone Number"),
          p_email, nullif(p_note, ''), t.price, t.deposit, 'Requested', p_party::text, nullif(t.start, ''))
  RETURNING "ID" INTO booking;
  INSERT INTO "Page Requests" ("Booking", "Link", "Made")
  VALUES (booking::text, p_link, to_char(statement_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'));
  RETURN 'made';
END $$;

-- A client's own request, by the digest of his link: its state
-- (requested, confirmed, declined, cancelled) and whether he may still
-- cancel it. No row for a link that names no request.
CREATE OR REPLACE FUNCTION bm_web_status(p_link text)
RETURNS TABLE(state text, day date, trip text, start text, party text, reason text, cancellable boolean)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT x.state, x.day, x.trip, x.start, x.party, x.reason,
       x.state IN ('requested', 'confirmed') AND x.day >= current_date + (SELECT cancel_days FROM bm_page_settings())
  FROM (SELECT CASE coalesce(b."Status", 'Confirmed')
                 WHEN 'Requested' THEN 'requested'
                 WHEN 'Cancelled' THEN CASE WHEN coalesce(r."Reason", '') <> '' THEN 'declined' ELSE 'cancelled' END
                 ELSE 'confirmed' END AS state,
               bm_page_date(b."Date") AS day, b."Type" AS trip, b."Start Time" AS start, b."Party Size" AS party,
               r."Reason" AS reason
          FROM "Page Requests" r JOIN "Booking" b ON b."ID"::text = r."Booking"
         WHERE p_link ~ '^[0-9a-f]{64}$' AND r."Link" = p_link
         ORDER BY r."ID" LIMIT 1) x $$;

-- The client cancels his trip: cancelled, late (within the notice), or
-- none (no such request, or nothing left to cancel).
CREATE OR REPLACE FUNCTION bm_web_cancel(p_link text) RETURNS text
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE s record; booking text;
BEGIN
  SELECT * INTO s FROM bm_web_status(p_link);
  IF NOT FOUND OR s.state NOT IN ('requested', 'confirmed') THEN RETURN 'none'; END IF;
  IF NOT s.cancellable THEN RETURN 'late'; END IF;
  SELECT r."Booking" INTO booking FROM "Page Requests" r WHERE r."Link" = p_link ORDER BY r."ID" LIMIT 1;
  UPDATE "Booking" SET "Status" = 'Cancelled' WHERE "ID"::text = booking;
  RETURN 'cancelled';
END $$;
)sql";

// The outbox's side for the web service: the mail server's settings (never
// a password), the texts of the page's own kinds, the values of a client's
// booking reached by his link, a message about it queued, and a sender's
// take of due messages and its word on each. A message goes to the
// booking's client or the guide, never to an address the service names.
const char mailSql[] = R"sql(
CREATE OR REPLACE FUNCTION bm_web_address(t text) RETURNS text LANGUAGE sql IMMUTABLE
SET search_path = pg_catalog AS $$
SELECT CASE WHEN length(trim(t)) BETWEEN 3 AND 254 AND trim(t) ~ '^[^@\s<>",;:()\[\]\\]+@[A-Za-z0-9.-]+$'
            THEN trim(t) END $$;

CREATE OR REPLACE FUNCTION bm_web_stamp(t timestamptz) RETURNS text LANGUAGE sql STABLE
SET search_path = pg_catalog AS $$
SELECT to_char(t AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"') $$;

CREATE OR REPLACE FUNCTION bm_web_mail_setup(OUT server text, OUT port text, OUT security text, OUT login text,
  OUT sender_address text, OUT sender_name text, OUT guide_address text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT m."Server", m."Port", m."Security", m."User", m."Sender Address", m."Sender Name",
       coalesce(bm_web_address(m."Guide Address"),
                bm_web_address((SELECT g."Email" FROM "Guide Info" g ORDER BY g."ID" LIMIT 1)))
  FROM (SELECT 1) one LEFT JOIN (SELECT * FROM "Mail Settings" ORDER BY "ID" LIMIT 1) m ON true $$;

CREATE OR REPLACE FUNCTION bm_web_mail_texts()
RETURNS TABLE(kind text, send text, subject text, body text, days text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT "Kind", "Send", "Subject", "Body", "Days" FROM "Mail Texts"
 WHERE "Kind" IN ('Request Received', 'New Request', 'Cancelled') ORDER BY "ID" $$;

CREATE OR REPLACE FUNCTION bm_web_mail_booking(p_link text)
RETURNS TABLE(booking json, guide json, reason text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
SELECT json_build_object('Name', b."Name", 'Email', b."Email", 'Cell Phone', b."Cell Phone",
         'Telephone', b."Telephone", 'Type', b."Type", 'Date', b."Date", 'Start Time', b."Start Time",
         'Lake', b."Lake", 'Meet At', b."Meet At", 'Party Size', b."Party Size",
         'Total Charge', b."Total Charge", 'Deposit Amount', b."Deposit Amount", 'Balance Due', b."Balance Due",
         'Notes', b."Notes"),
       (SELECT json_build_object('Guide Name', g."Guide Name", 'Phone', g."Phone", 'Email', g."Email",
                                 'Website', g."Website") FROM "Guide Info" g ORDER BY g."ID" LIMIT 1),
       r."Reason"
  FROM "Page Requests" r JOIN "Booking" b ON b."ID"::text = r."Booking"
 WHERE p_link ~ '^[0-9a-f]{64}$' AND r."Link" = p_link ORDER BY r."ID" LIMIT 1 $$;

-- A message about the booking the link names, queued in the caller's
-- transaction: Request Received and New Request while it is requested,
-- Cancelled once it is cancelled, each once. True when queued.
CREATE OR REPLACE FUNCTION bm_web_mail_queue(p_link text, p_kind text, p_subject text, p_body text,
  p_message_id text) RETURNS boolean
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE b record; st text; whom text; whom_name text; made text := bm_web_stamp(clock_timestamp());
BEGIN
  IF p_kind IS NULL OR p_kind NOT IN ('Request Received', 'New Request', 'Cancelled')
     OR coalesce(length(p_subject), 0) NOT BETWEEN 1 AND 998 OR coalesce(length(p_body), 0) > 65536
     OR coalesce(p_message_id, '') !~ '^<[A-Za-z0-9._%+-]{1,128}@[A-Za-z0-9.-]{1,200}>$' THEN
    RETURN false;
  END IF;
  SELECT k.* INTO b FROM "Page Requests" r JOIN "Booking" k ON k."ID"::text = r."Booking"
   WHERE p_link ~ '^[0-9a-f]{64}$' AND r."Link" = p_link ORDER BY r."ID" LIMIT 1;
  IF NOT FOUND THEN RETURN false; END IF;
  st := coalesce(b."Status", 'Confirmed');
  IF (p_kind = 'Cancelled' AND st <> 'Cancelled') OR (p_kind <> 'Cancelled' AND st <> 'Requested') THEN
    RETURN false;
  END IF;
  IF EXISTS (SELECT 1 FROM "Outbox" o WHERE o."Booking" = b."ID"::text AND o."Kind" = p_kind) THEN
    RETURN false;
  END IF;
  IF p_kind = 'New Request' THEN
    SELECT s.guide_address INTO whom FROM bm_web_mail_setup() s;
    SELECT g."Guide Name" INTO whom_name FROM "Guide Info" g ORDER BY g."ID" LIMIT 1;
  ELSE
    whom := bm_web_address(b."Email");
    whom_name := b."Name";
  END IF;
  IF whom IS NULL THEN RETURN false; END IF;
  INSERT INTO "Outbox" ("Kind", "Booking", "Recipient", "Recipient Name", "Subject", "Body", "State", "Tries",
                        "Message ID", "Made", "Next Try")
  VALUES (p_kind, b."ID"::text, whom, nullif(left(trim(coalesce(whom_name, '')), 200), ''), p_subject, p_body,
          'Queued', '0', p_message_id, made, made);
  RETURN true;
END $$;

-- Takes up to p_most due messages (at most 50) for the sender p_sender, as
-- a desk takes them: messages taken half an hour ago and never answered for
-- go back first; the rows another sender is taking are passed over.
CREATE OR REPLACE FUNCTION bm_web_mail_take(p_sender text, p_most integer)
RETURNS TABLE(id bigint, kind text, recipient text, recipient_name text, subject text, body text,
              message_id text, tries text, made text, claim text)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE now_stamp text := bm_web_stamp(clock_timestamp()); mark text;
BEGIN
  IF coalesce(p_sender, '') !~ '^[A-Za-z0-9._@:-]{1,100}$' THEN RETURN; END IF;
  UPDATE "Outbox" SET "State" = 'Queued', "Claim" = NULL
   WHERE "State" = 'Sending' AND "Claim" < bm_web_stamp(clock_timestamp() - interval '30 minutes');
  mark := now_stamp || ' ' || p_sender;
  UPDATE "Outbox" SET "State" = 'Sending', "Claim" = mark
   WHERE "State" = 'Queued'
     AND "ID" = ANY(ARRAY(SELECT o."ID" FROM "Outbox" o WHERE o."State" = 'Queued' AND o."Next Try" <= now_stamp
                           ORDER BY o."ID" LIMIT least(greatest(coalesce(p_most, 1), 1), 50)
                           FOR UPDATE SKIP LOCKED));
  RETURN QUERY SELECT o."ID"::bigint, o."Kind", o."Recipient", o."Recipient Name", o."Subject", o."Body",
                      o."Message ID", o."Tries", o."Made", o."Claim"
                 FROM "Outbox" o WHERE o."Claim" = mark AND o."State" = 'Sending' ORDER BY o."ID";
END $$;

-- How a taken message went, written while the sender's claim stands:
-- Sent, Queued (put off until p_next_try), Failed, Given Up, or Released
-- (back untried). True when the claim stood.
CREATE OR REPLACE FUNCTION bm_web_mail_done(p_id bigint, p_claim text, p_state text, p_reason text,
  p_next_try text) RETURNS boolean
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE now_stamp text := bm_web_stamp(clock_timestamp()); why text := left(coalesce(p_reason, ''), 1000);
BEGIN
  IF p_state IS NULL OR p_state NOT IN ('Sent', 'Queued', 'Failed', 'Given Up', 'Released') THEN
    RETURN false;
  END IF;
  UPDATE "Outbox" SET
    "State" = CASE p_state WHEN 'Released' THEN 'Queued' ELSE p_state END,
    "Tries" = CASE WHEN p_state = 'Released' THEN "Tries"
                   ELSE (CASE WHEN "Tries" ~ '^[0-9]{1,6}$' THEN "Tries"::integer ELSE 0 END + 1)::text END,
    "Sent" = CASE WHEN p_state = 'Sent' THEN now_stamp ELSE "Sent" END,
    "Last Error" = CASE p_state WHEN 'Sent' THEN NULL WHEN 'Released' THEN "Last Error" ELSE why END,
    "Next Try" = CASE WHEN p_state <> 'Queued' THEN "Next Try"
                      WHEN p_next_try ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z$'
                       AND p_next_try <= bm_web_stamp(clock_timestamp() + interval '1 day') THEN p_next_try
                      ELSE bm_web_stamp(clock_timestamp() + interval '1 hour') END
   WHERE "ID" = p_id AND "Claim" = p_claim AND "State" = 'Sending';
  RETURN FOUND;
END $$;
)sql";

// One statement at a time: a statement ends with the line that ends in a
// semicolon before the next that begins at the margin.
QStringList statementsOf(std::initializer_list<const char *> texts)
{
    static const QRegularExpression end(QStringLiteral(";\\s*\\n(?=CREATE|REVOKE|--)"));
    QStringList statements;
    for (const char *text : texts)
        for (const QString &s : QString::fromUtf8(text).split(end, Qt::SkipEmptyParts))
            if (const QString t = s.trimmed(); !t.isEmpty())
                statements << (t.endsWith(u';') ? t.chopped(1) : t);
    return statements;
}

} // namespace

QStringList dayFunctions()
{
    return statementsOf({ dayFunction });
}

QStringList functions()
{
    return statementsOf({ settingFunctions, dayFunction, webFunctions });
}

QStringList mailFunctions()
{
    return statementsOf({ mailSql });
}

} // namespace bm::db::pagesql
