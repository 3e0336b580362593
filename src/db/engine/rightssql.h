#pragma once

#include <QStringList>

// The lodge's rights on the shared database. Three kinds of desk:
//
//  - owner: everything, the roster included;
//  - office: every booking, contact, invoice and message, and the lodge's
//    settings; not the roster;
//  - guide: the bookings whose Guide is his name on the roster (their
//    contacts, invoices, trip logs, messages and requests); every other trip
//    only through the "Schedule" view, as its date, start time, lake, guide
//    and state; the diary, patterns, gear, reminders and lists are the
//    lodge's and shared.
//
// lodge-server.sh makes the roles, named after the database D: a NOLOGIN
// D_schema owns the schema and every table (and runs the migrations: an
// owner's desk may SET ROLE to it, nobody logs in as it); every desk's login
// is a member of D_guides, an office desk's of D_office too, an owner's of
// D_owners. Who may do what is written here once, as bm_apply_rights(): the
// grants to those groups and the row policies, forced on the tables' owner
// too. The layout calls it, and so does the script once it has made the
// roles. A database without those roles (one laid in before the lodge's
// rights, or a test's) is left as it was: every desk acts as the tables'
// owner there, as before.
namespace bm::db::rightssql
{

// The layout that brings the rights in.
inline constexpr int since = 11;

// The statements that lay the rights in at a layout from since on (each
// replaces what an earlier one laid in): the functions, the view of the
// layout's fields, the trigger functions of the stamps and desk changes run
// with the owner's rights, and bm_apply_rights() run once.
QStringList statements(int layout);

} // namespace bm::db::rightssql
