#include "platform/follow.h"

#include "db/changes.h"
#include "db/recordsource.h"
#include "platform/failures.h"

namespace bm::platform
{

namespace
{
constexpr char ownWrites[] = "bmOwnWrites";
}

OwnWrite::OwnWrite(RecordSource *source)
    : m_source(source)
{
    if (m_source)
        m_source->setProperty(ownWrites, m_source->property(ownWrites).toInt() + 1);
}

OwnWrite::~OwnWrite()
{
    if (m_source)
        m_source->setProperty(ownWrites, m_source->property(ownWrites).toInt() - 1);
}

bool OwnWrite::isActive(const RecordSource &source)
{
    return source.property(ownWrites).toInt() > 0;
}

int KeepPlace::s_depth = 0;

KeepPlace::KeepPlace()
{
    ++s_depth;
}

KeepPlace::~KeepPlace()
{
    --s_depth;
}

bool KeepPlace::isActive()
{
    return s_depth > 0;
}

void followTable(RecordSource &source)
{
    QObject::connect(&DataChanges::instance(), &DataChanges::tableChanged, &source,
        [s = &source](const QString &path, const QString &table) {
            if (table != s->tableName() || path != s->location())
                return;
            // Its own write, or a record the user is still entering: the
            // window in charge of it decides where it stands.
            if (OwnWrite::isActive(*s) || s->editMode() != RecordSource::EditMode::None)
                return;
            const Bookmark place = KeepPlace::isActive() || DataChanges::instance().fromElsewhere()
                ? s->bookmark()
                : Bookmark {};
            const Status read = s->Refresh();
            logFailure(read);
            if (!read)
                return;
            if (place.isValid())
                logFailure(s->setBookmark(place));
        });
}

} // namespace bm::platform
