#pragma once

#include <QStringList>

// The booking page's side of the shared database: functions the server
// runs for the web service, which may do nothing else. The service's own
// role has no right on any table; each function runs with the rights of the
// tables' owner and hands back only what the page shows: the service's name
// and how to reach it, the trips offered, whether a day is open, few, full
// or closed, and a client's own request, found by the digest of his link.
namespace bm::db::pagesql
{

// The layout that brings the functions in.
inline constexpr int since = 7;

// The statements that lay the functions in (each replaces an older one).
QStringList functions();

// The layout from which a guide's own busy times close his days on the
// page, and the statements that lay the day's function in again.
inline constexpr int busySince = 13;
QStringList dayFunctions();

// The layout that brings in the functions of the outbox's side for the web
// service, and their statements.
inline constexpr int mailSince = 9;
QStringList mailFunctions();

} // namespace bm::db::pagesql
