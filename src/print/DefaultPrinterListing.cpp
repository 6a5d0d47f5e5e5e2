#include "datawindow/print/DefaultPrinterListing.h"

#include "datawindow/Listing.h"

namespace morvane {

void DefaultPrinterListing::Print(const StudyStore& store) {
    PrintListing(store, device_);
}

}  // namespace morvane
