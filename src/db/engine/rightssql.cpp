#include "db/engine/rightssql.h"

#include "db/engine/migrations.h"
#include "db/rights.h"
#include "schema/fields.h"
#include "schema/schema.h"

#include <string_view>

namespace bm::db::rightssql
{

namespace
{

static_assert(std::string_view(field::Party::Booking) == field::Catch::Booking,
    "the party's and the catch's policy name one field");
static_assert(std::string_view(field::Booking::Guide) == field::BusyTimes::Guide,
    "the bookings' and the busy times' policy name one field");

QString literal(const char *text)
{
    return QLatin1Char('\'') + QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1String("''"))
        + QLatin1Char('\'');
}

// An ARRAY[...] of table names, as plpgsql's FOREACH takes them; with a
// layout, only the program's tables that layout has (and every other name).
QString names(std::initializer_list<const char *> tables, int layout = migrations::currentVersion)
{
    QStringList all;
    for (const char *t : tables)
        if (const TableDef *def = schema::table(QString::fromUtf8(t)); !def || def->since <= layout)
            all << literal(t);
    return QStringLiteral("ARRAY[%1]::text[]").arg(all.join(QStringLiteral(", ")));
}

// Who the session is, by the groups lodge-server.sh makes. The tables'
// owner (or a session acting as it, as every desk of a lodge set up before
// the rights did) and a superuser are owners. A login of no group of the
// lodge has no role.
const char roleFunctions[] = R"sql(
CREATE OR REPLACE FUNCTION bm_role_of(login text) RETURNS text LANGUAGE sql STABLE
SET search_path = pg_catalog, pg_temp AS $$
SELECT CASE
  WHEN r.oid IS NULL THEN ''
  WHEN r.rolsuper OR pg_has_role(r.oid, n.nspowner, 'USAGE') THEN 'owner'
  WHEN coalesce(pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = current_database() || '_owners'), 'MEMBER'), false) THEN 'owner'
  WHEN coalesce(pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = current_database() || '_office'), 'MEMBER'), false) THEN 'office'
  WHEN coalesce(pg_has_role(r.oid, (SELECT oid FROM pg_roles WHERE rolname = current_database() || '_guides'), 'MEMBER'), false) THEN 'guide'
  ELSE '' END
  FROM pg_namespace n LEFT JOIN pg_roles r ON r.rolname = login
 WHERE n.nspname = 'public' $$;

CREATE OR REPLACE FUNCTION bm_role() RETURNS text LANGUAGE sql STABLE
SET search_path = pg_catalog, pg_temp AS $$ SELECT public.bm_role_of(CAST(current_user AS text)) $$;
)sql";

} // namespace

QStringList statements(int layout)
{
    const QString guides = schema::quoted(QLatin1String(table::Guides));
    const QString booking = schema::quoted(QLatin1String(table::Booking));
    QStringList sql;
    sql << QString::fromUtf8(roleFunctions).split(QStringLiteral(";\n\n"), Qt::SkipEmptyParts);
    // The roster's name of the session's login: the bookings a guide may see
    // are those whose Guide is that name.
    sql << QStringLiteral("CREATE OR REPLACE FUNCTION bm_guide() RETURNS text LANGUAGE sql STABLE "
                          "SET search_path = public, pg_temp AS $$ SELECT %1 FROM %2 "
                          "WHERE %3 = CAST(current_user AS text) AND coalesce(%1, '') <> '' "
                          "ORDER BY \"ID\" LIMIT 1 $$")
               .arg(schema::quoted(QLatin1String(field::Guides::Name)), guides,
                   schema::quoted(QLatin1String(field::Guides::Login)));
    // Whether the session's login added the record (its first line of the
    // history): a guide's own contacts, whether or not a booking names them
    // yet. Runs with the owner's rights, since the history's own rows are
    // shown by what a guide may see of the records.
    sql << QStringLiteral(
        "CREATE OR REPLACE FUNCTION bm_added_by_me(kind text, record bigint) RETURNS boolean "
        "LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$ BEGIN "
        "RETURN EXISTS (SELECT 1 FROM %1 h WHERE h.%2 = kind AND h.%3 = record "
        "AND h.%4 = %5 AND h.%6 = CAST(session_user AS text)); END $$")
               .arg(schema::quoted(QLatin1String(table::History)),
                   schema::quoted(QLatin1String(field::History::Kind)),
                   schema::quoted(QLatin1String(field::History::Record)),
                   schema::quoted(QLatin1String(field::History::Action)), literal(historyAction::added),
                   schema::quoted(QLatin1String(field::History::Login)));
    // Another guide's trip on a guide's schedule: when, where and whose, and
    // "booked" for the client.
    const TableDef *def = schema::table(QLatin1String(table::Booking));
    const QStringList open { QLatin1String(field::Booking::Date), QLatin1String(field::Booking::Lake),
        QLatin1String(field::Booking::Guide), QLatin1String(field::Booking::Status),
        QLatin1String(field::Booking::StartTime) };
    const QString mine = QStringLiteral("(b.%1 = (SELECT bm_guide()) OR (SELECT bm_role()) <> 'guide')")
                             .arg(schema::quoted(QLatin1String(field::Booking::Guide)));
    QStringList columns { QStringLiteral("b.\"ID\"") };
    for (const FieldDef &f : def->fields) {
        if (f.since > layout)
            continue;
        const QString name = schema::quoted(f.name);
        if (open.contains(f.name))
            columns << QStringLiteral("b.") + name;
        else if (f.name == QLatin1String(field::Booking::Name))
            columns << QStringLiteral("CASE WHEN %1 THEN b.%2 ELSE %3 END AS %2")
                           .arg(mine, name, literal(bookedByOthers));
        else
            columns << QStringLiteral("CASE WHEN %1 THEN b.%2 END AS %2").arg(mine, name);
    }
    sql << QStringLiteral("DROP VIEW IF EXISTS %1").arg(schema::quoted(QLatin1String(scheduleView)))
        << QStringLiteral("CREATE VIEW %1 AS SELECT %2 FROM %3 b")
               .arg(schema::quoted(QLatin1String(scheduleView)), columns.join(QStringLiteral(", ")), booking);
    // A booking a guide's desk makes is his, unless it names him already
    // (the row policy refuses one of another guide's). Before the policy's
    // check, which comes after the triggers.
    sql << QStringLiteral(
        "CREATE OR REPLACE FUNCTION bm_booking_guide() RETURNS trigger LANGUAGE plpgsql "
        "SET search_path = public, pg_temp AS $$ BEGIN "
        "IF coalesce(NEW.%1, '') = '' AND bm_role() = 'guide' THEN NEW.%1 := bm_guide(); END IF; "
        "RETURN NEW; END $$")
               .arg(schema::quoted(QLatin1String(field::Booking::Guide)))
        << QStringLiteral("DROP TRIGGER IF EXISTS \"Booking guide\" ON %1").arg(booking)
        << QStringLiteral(
               "CREATE TRIGGER \"Booking guide\" BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
               "bm_booking_guide()")
               .arg(booking);
    // The change stamps and who changed a record are written for every desk
    // by the owner's rights: no desk writes them itself.
    for (const QString &t : schema::stampedTables())
        sql << QStringLiteral("ALTER FUNCTION %1() SECURITY DEFINER SET search_path = public, pg_temp")
                   .arg(schema::quoted(t + QStringLiteral(" stamp")));
    sql << QStringLiteral(
        "ALTER FUNCTION bm_note_change() SECURITY DEFINER SET search_path = public, pg_temp");

    const QString rowsOfMine = QStringLiteral("(SELECT CAST(b.\"ID\" AS text) FROM %1 b)").arg(booking);
    sql << QStringLiteral(R"sql(
CREATE OR REPLACE FUNCTION bm_apply_rights() RETURNS boolean LANGUAGE plpgsql VOLATILE
SET search_path = public, pg_temp AS $f$
DECLARE
  g text := current_database() || '_guides';
  o text := current_database() || '_office';
  w text := current_database() || '_owners';
  p text := current_database() || '_page';
  s text := (SELECT pg_get_userbyid(nspowner) FROM pg_namespace WHERE nspname = current_schema());
  t text;
  f regprocedure;
BEGIN
  IF (SELECT count(*) FROM pg_roles WHERE rolname IN (g, o, w)) < 3 OR s IN (g, o, w) THEN
    RETURN false;
  END IF;
  EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA %%I FROM PUBLIC, %%I, %%I, %%I', current_schema(), g, o, w);
  EXECUTE format('REVOKE CREATE ON SCHEMA %%I FROM PUBLIC, %%I, %%I, %%I', current_schema(), g, o, w);
  EXECUTE format('GRANT USAGE ON SCHEMA %%I TO %%I, %%I, %%I', current_schema(), g, o, w);
  -- The lodge's, shared by every desk.
  FOREACH t IN ARRAY %1 LOOP
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %%I TO %%I', t, g);
  END LOOP;
  -- A guide's own rows; the office and the owner every row.
  FOREACH t IN ARRAY %2 LOOP
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %%I TO %%I', t, g);
    EXECUTE format('ALTER TABLE %%I ENABLE ROW LEVEL SECURITY', t);
    EXECUTE format('ALTER TABLE %%I FORCE ROW LEVEL SECURITY', t);
    EXECUTE format('DROP POLICY IF EXISTS lodge ON %%I', t);
    EXECUTE format('DROP POLICY IF EXISTS guide ON %%I', t);
    EXECUTE format('CREATE POLICY lodge ON %%I TO %%I, %%I, %%I USING (true) WITH CHECK (true)', t, s, o, w);
  END LOOP;
  EXECUTE format('CREATE POLICY guide ON %3 TO %%I USING (%4 = (SELECT bm_guide())) WITH CHECK (%4 = (SELECT bm_guide()))', g);
  -- A guide's own calendar's busy times are his alone.
  FOREACH t IN ARRAY %20 LOOP
    EXECUTE format('CREATE POLICY guide ON %%I TO %%I USING (%4 = (SELECT bm_guide())) WITH CHECK (%4 = (SELECT bm_guide()))', t, g);
  END LOOP;
  EXECUTE format('CREATE POLICY guide ON %5 TO %%I USING (%6 IN (SELECT b.%7 FROM %3 b) OR bm_added_by_me(%%L, "ID")) WITH CHECK (true)', g, %8);
  EXECUTE format('CREATE POLICY guide ON %9 TO %%I USING (%10 IN %11) WITH CHECK (%10 IN %11)', g);
  EXECUTE format('CREATE POLICY guide ON %12 TO %%I USING (%13 IN %11) WITH CHECK (%13 IN %11)', g);
  -- A trip's party and catch are the trip's guide's (their Booking fields
  -- share one name).
  FOREACH t IN ARRAY %18 LOOP
    EXECUTE format('CREATE POLICY guide ON %%I TO %%I USING (%19 IN %11) WITH CHECK (%19 IN %11)', t, g);
  END LOOP;
  -- The lodge's settings: every desk reads them, the office and the owner
  -- change them; the roster only the owner.
  FOREACH t IN ARRAY %14 LOOP
    EXECUTE format('GRANT SELECT ON %%I TO %%I', t, g);
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %%I TO %%I, %%I', t, o, w);
  END LOOP;
  EXECUTE format('GRANT SELECT ON %15 TO %%I', g);
  EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %15 TO %%I', w);
  -- The program's own, written by the server for every desk.
  FOREACH t IN ARRAY %16 LOOP
    EXECUTE format('GRANT SELECT ON %%I TO %%I', t, g);
  END LOOP;
  -- What a guide may see of the history: that of the records he may see.
  -- Only the history's and the bin's triggers write them, with the owner's
  -- rights.
  EXECUTE format('GRANT SELECT ON "History" TO %%I', g);
  ALTER TABLE "History" ENABLE ROW LEVEL SECURITY;
  ALTER TABLE "History" FORCE ROW LEVEL SECURITY;
  DROP POLICY IF EXISTS lodge ON "History";
  DROP POLICY IF EXISTS guide ON "History";
  EXECUTE format('CREATE POLICY lodge ON "History" TO %%I, %%I, %%I USING (true) WITH CHECK (true)', s, o, w);
  EXECUTE format('CREATE POLICY guide ON "History" FOR SELECT TO %%I USING (("Kind" = %%L AND "Record" IN (SELECT "ID" FROM %3)) OR ("Kind" = %%L AND "Record" IN (SELECT "ID" FROM %5)))', g, %17, %8);
  -- The bin is the office's and the owner's: restoring takes an entry out.
  EXECUTE format('GRANT SELECT, DELETE ON "Bin" TO %%I, %%I', o, w);
  -- The booking page's functions are the page's login's alone.
  FOR f IN SELECT pr.oid::regprocedure FROM pg_proc pr JOIN pg_namespace n ON n.oid = pr.pronamespace
            WHERE n.nspname = current_schema() AND pr.proname LIKE 'bm\_web\_%%' LOOP
    EXECUTE format('REVOKE ALL ON FUNCTION %%s FROM PUBLIC', f);
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = p) THEN
      EXECUTE format('GRANT EXECUTE ON FUNCTION %%s TO %%I', f, p);
    END IF;
  END LOOP;
  RETURN true;
END $f$)sql")
               .arg(names({ table::LakesFished, table::Marinas, table::Lures, table::LureColor,
                              table::Species, table::TripType, table::TripRates, table::Deposits,
                              table::Reminder, table::Diary, table::Patterns, table::Rods, table::Boat,
                              table::Equipment, table::HomeWater, table::SiteCodes },
                        layout),
                   names({ table::Booking, table::Phone, table::Outbox, table::PageRequests, table::Party,
                             table::Catch, table::BusyTimes },
                       layout),
                   booking, schema::quoted(QLatin1String(field::Booking::Guide)),
                   schema::quoted(QLatin1String(table::Phone)),
                   schema::quoted(QLatin1String(field::Phone::Name)),
                   schema::quoted(QLatin1String(field::Booking::Name)), literal(table::Phone),
                   schema::quoted(QLatin1String(table::Outbox)))
               .arg(schema::quoted(QLatin1String(field::Outbox::Booking)), rowsOfMine,
                   schema::quoted(QLatin1String(table::PageRequests)),
                   schema::quoted(QLatin1String(field::PageRequests::Booking)),
                   names({ table::GuideInfo, table::BookingPage, table::PageTrips, table::DaysOff,
                       table::MailSettings, table::MailTexts }),
                   guides, names({ migrations::markTable, schema::stampTable, "Desk Changes", scheduleView }),
                   literal(table::Booking), names({ table::Party, table::Catch }, layout),
                   schema::quoted(QLatin1String(field::Party::Booking)), names({ table::BusyTimes }, layout))
               .replace(QLatin1String("%%"), QLatin1String("%"));
    sql << QStringLiteral("REVOKE ALL ON FUNCTION bm_apply_rights() FROM PUBLIC")
        << QStringLiteral("SELECT bm_apply_rights()");
    return sql;
}

} // namespace bm::db::rightssql
