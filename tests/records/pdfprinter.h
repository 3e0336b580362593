#pragma once

#include "platform/pictureprinter.h"

#include <QPrinter>
#include <QString>

namespace bm::test
{

// Stands for the default printer: each job is written to a PDF file, or
// there is no printer at all.
class PdfPrinter : public platform::PicturePrinterService
{
public:
    PdfPrinter() { platform::setPicturePrinterService(this); }
    ~PdfPrinter() override { platform::setPicturePrinterService(nullptr); }

    std::unique_ptr<QPrinter> defaultPrinter() override
    {
        ++jobs;
        if (!present)
            return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(outputFile);
        return printer;
    }

    bool present = true;
    QString outputFile;
    int jobs = 0;
};

} // namespace bm::test
