#pragma once

#include "core/status.h"

#include <QList>
#include <QString>

namespace bm::sitecodes
{

// One of the state's fishing sites: its code and the water and stretch it
// names.
struct SiteCode {
    QString code;
    QString name;
    bool operator==(const SiteCode &) const = default;
};

// Every site code with a code, in code order. A list that can not be read is
// a failure, never an empty list.
[[nodiscard]] Status list(QList<SiteCode> &codes, const QString &path = QString());

// How a site shows in a list: "code - name", or the code alone.
QString shown(const SiteCode &site);

// Adds the codes not yet listed and gives a listed code the name given
// (every record of that code, should it be listed twice), in one
// transaction: all or nothing. A code given twice counts once, with the
// last name given.
[[nodiscard]] Status merge(
    const QList<SiteCode> &codes, int &added, int &changed, const QString &path = QString());

} // namespace bm::sitecodes
