#pragma once

#include "core/status.h"
#include "db/recordsource.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The people aboard one trip (table Party, by the booking's ID) and the
// booking's Party Size, which follows them.
namespace bm::party
{

// Few enough for the booking's Party Size (1 to 99).
inline constexpr int largestParty = 99;

struct Angler {
    qint64 id = 0; // 0: not kept yet
    QString name;
    QString license;
    QString role; // one of partyRole; a person added is a client
    QString emergencyContact;
    QString emergencyPhone;
    bool operator==(const Angler &) const = default;
};

// The booking a party is for, as the party window names it.
struct Trip {
    QString client; // the booking's Name
    QDate date;
    QString partySize; // as written
};

// The roles a person aboard may have, in the order they are offered.
const QStringList &roles();

// The booking's client and date; a failure when it can not be read or is
// not there (deleted, or another guide's on his desk).
[[nodiscard]] Status readTrip(Bookmark booking, Trip &trip, const QString &path = QString());

// The party of a booking in the order it was entered; empty when it has
// none.
[[nodiscard]] Status read(Bookmark booking, QList<Angler> &party, const QString &path = QString());

// The anglers of a trip: its party's names in the order entered, each once,
// or, for a trip whose party was never entered, the booking's client alone.
// A party or booking that can not be read is a failure, never an empty list.
[[nodiscard]] Status anglersOf(Bookmark booking, QStringList &names, const QString &path = QString());

// Why a party as entered can not be kept, and the angler (index) it is
// about; nothing when it can.
struct Refusal {
    int angler = -1;
    QString message;
};
std::optional<Refusal> refusal(const QList<Angler> &party);

// Writes in one transaction what the guide changed from before (the party
// as read) to after, and the booking's Party Size as the number of people
// then aboard (left as written when nobody is). A changed name is carried
// to the angler's catch on that trip. partySize: the size written, or 0.
[[nodiscard]] Status save(Bookmark booking, const QList<Angler> &before, const QList<Angler> &after,
    int &partySize, const QString &path = QString());

} // namespace bm::party
