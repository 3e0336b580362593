#include "db/engine/overtaken.h"

#include <QLocale>

namespace bm::overtaken
{

namespace
{

// The most fields a message names; the rest are counted.
constexpr int namedFields = 5;

QString saved(const QStringList &fields)
{
    if (fields.isEmpty())
        return {};
    QStringList named = fields.mid(0, namedFields);
    if (fields.size() > namedFields)
        named << QStringLiteral("and %1 more").arg(fields.size() - namedFields);
    return QStringLiteral(" Saved there: %1.").arg(named.join(QStringLiteral("; ")));
}

} // namespace

QString madeWhere(const db::server::LastChange &change)
{
    if (!change.known)
        return QStringLiteral("at another desk");
    QString where = change.thisSession ? QStringLiteral("in another window of this desk")
                                       : QStringLiteral("at another desk");
    const QString who = change.guide.isEmpty() ? change.login : change.guide;
    if (!who.isEmpty() && !change.thisSession)
        where += QStringLiteral(" by ") + who;
    if (!change.desk.isEmpty() && !change.thisSession)
        where += QStringLiteral(" on ") + change.desk;
    if (change.at.isValid())
        where
            += QStringLiteral(" (%1)").arg(QLocale().toString(change.at.toLocalTime(), QLocale::ShortFormat));
    return where;
}

QString changedWhileEditing(const db::server::LastChange &change, const QStringList &savedThere)
{
    return QStringLiteral(
        "This record was changed %1 while you were editing it.%2 Your typed values are still "
        "here: Save again to keep them (what was saved there in the fields you did not change "
        "stays), or Cancel to see the record as it is saved now.")
        .arg(madeWhere(change), saved(savedThere));
}

QString deletedWhileEditing(const db::server::LastChange &change)
{
    return QStringLiteral(
        "This record was deleted %1 while you were editing it, so it can not be saved. Your "
        "typed values are still here to copy; Cancel to leave it.")
        .arg(madeWhere(change));
}

QString changedBeforeDeleting(const db::server::LastChange &change, const QStringList &savedThere)
{
    return QStringLiteral(
        "This record was changed %1 since it was shown here, so it was not deleted.%2 It now "
        "shows as it is saved; delete it again if it should still go.")
        .arg(madeWhere(change), saved(savedThere));
}

} // namespace bm::overtaken
