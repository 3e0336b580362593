#pragma once

#include "db/engine/server.h"

#include <QString>
#include <QStringList>

// The guide's words for a save or a deletion that another desk overtook on
// the shared database: who made the other change, as far as the server
// knows, and what it saved.
namespace bm::overtaken
{

// "at another desk by Ann Lee on ann-laptop (12/9/26 2:05 PM)"
QString madeWhere(const db::server::LastChange &change);

// savedThere: the fields the other desk saved, as "Lake "Table Rock"".
QString changedWhileEditing(const db::server::LastChange &change, const QStringList &savedThere);
QString deletedWhileEditing(const db::server::LastChange &change);
QString changedBeforeDeleting(const db::server::LastChange &change, const QStringList &savedThere);

} // namespace bm::overtaken
