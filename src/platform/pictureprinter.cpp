#include "platform/pictureprinter.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace bm::platform
{

namespace
{

class SystemPrinter : public PicturePrinterService
{
public:
    std::unique_ptr<QPrinter> defaultPrinter() override
    {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            return nullptr;
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
};

SystemPrinter production;
PicturePrinterService *current = &production;

} // namespace

PicturePrinterService &picturePrinterService()
{
    return *current;
}

void setPicturePrinterService(PicturePrinterService *service)
{
    current = service ? service : &production;
}

} // namespace bm::platform
