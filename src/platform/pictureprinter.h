#pragma once

#include <memory>

class QPrinter;

namespace bm::platform
{

// The printer that pictures are printed on directly, without a preview.
// Production gives the system's default printer; tests give a printer that
// writes a PDF file, or none.
class PicturePrinterService
{
public:
    virtual ~PicturePrinterService() = default;
    // A printer ready for one job, or nullptr when there is no printer.
    virtual std::unique_ptr<QPrinter> defaultPrinter() = 0;
};

PicturePrinterService &picturePrinterService();
void setPicturePrinterService(PicturePrinterService *service); // nullptr restores production

} // namespace bm::platform
