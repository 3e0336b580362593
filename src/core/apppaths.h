#pragma once

#include "core/status.h"

#include <QString>

namespace bm
{

// The one folder that holds tallow.mdb, the report definitions and the help
// file: the user's application data folder (honours XDG_DATA_HOME).
QString appFolder();

// A file of the application folder by name: appFile("tallow.mdb").
QString appFile(const QString &name);

// The database the program works on: tallow.mdb in the application folder,
// or the shared database on a server (its connection URI) once one is in use.
QString databasePath();

// The database the program works on from now on: a server's connection URI,
// or empty for tallow.mdb. Every window opened afterwards works on it.
void setDatabaseLocation(const QString &location);

// Lays every delivered file (the database, report definitions, help file)
// into the application folder where it is missing. Files that exist are never
// touched, whatever they hold.
Status installDeliveredFiles();

} // namespace bm
