#include "print/QtDefaultPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "print/QtPrintSurface.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {

std::unique_ptr<DrawingSurface> QtDefaultPrinter::BeginJob() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw PrinterError(messages::NoDefaultPrinter());
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setDocName(QString());
    if (!printer->isValid()) throw PrinterError(messages::PrinterNotValid());
    return std::make_unique<QtPrintSurface>(std::move(printer));
}

}  // namespace morvane
