#pragma once

#include "data/status.h"

#include <QString>

namespace bm
{

// The one folder that holds tallow.mdb, the report definitions and the help
// file: the user's application data folder (honours XDG_DATA_HOME).
QString appFolder();

// A file of the application folder by name: appFile("tallow.mdb").
QString appFile(const QString &name);

QString databasePath();

// Lays every delivered file (the database, report definitions, help file)
// into the application folder where it is missing. Files that exist are never
// touched, whatever they hold.
Status installDeliveredFiles();

} // namespace bm
