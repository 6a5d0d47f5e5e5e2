#pragma once
// The data window's print command on the real printer: the listing of the
// study on the default printer, printed to its end before Print returns. The
// text device lives as long as this object, so a listing started while another
// one is still in its job fails with "現在印刷中です".

#include "listing/ListingPrinter.h"
#include "listing/PrinterTextDevice.h"
#include "print/QtDefaultPrinter.h"

namespace morvane {

class DefaultPrinterListing : public ListingPrinter {
public:
    bool Print(const StudyStore& store, PrintProgress& progress) override;

private:
    QtDefaultPrinter printer_;
    PrinterTextDevice device_{printer_};
};

}  // namespace morvane
