#include "print/DefaultPrinterListing.h"

#include "listing/Listing.h"

namespace morvane {

bool DefaultPrinterListing::Print(const StudyStore& store, PrintProgress& progress) {
    return PrintListing(store, device_, progress);
}

}  // namespace morvane
