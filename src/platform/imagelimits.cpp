#include "platform/imagelimits.h"

#include <QImageReader>

namespace bm::platform
{

void limitPictureMemory()
{
    QImageReader::setAllocationLimit(pictureMemoryLimitMB);
}

} // namespace bm::platform
