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
// active guide not off that day holds per_guide trips; a booking that is
// not cancelled takes one of its guide's, and one without a guide of the
// roster takes one from any guide. Without an active guide on the roster
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
                                    AND (coalesce(o."Guide", '') = '' OR o."Guide" = c.name))),
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

} // namespace

QStringList functions()
{
    // One statement at a time: a statement ends with the line that ends in
    // a semicolon before the next that begins at the margin.
    static const QRegularExpression end(QStringLiteral(";\\s*\\n(?=CREATE|REVOKE|--)"));
    QStringList statements;
    for (const char *text : { settingFunctions, dayFunction, webFunctions })
        for (const QString &s : QString::fromUtf8(text).split(end, Qt::SkipEmptyParts))
            if (const QString t = s.trimmed(); !t.isEmpty())
                statements << (t.endsWith(u';') ? t.chopped(1) : t);
    return statements;
}

} // namespace bm::db::pagesql
