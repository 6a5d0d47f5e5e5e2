#include "print/DefaultPrinterListing.h"

#include "listing/Listing.h"

namespace morvane {

void DefaultPrinterListing::Print(const StudyStore& store) {
    PrintListing(store, device_);
}

}  // namespace morvane
