#include "StudyLoad.h"

#include "ErrorEdge.h"
#include "runtime/Cp932.h"
#include "runtime/Messages.h"
#include "store/DataFile.h"

namespace morvane::tool {

std::int64_t LoadStudy(StudyStore& store, const std::string& dataFile) {
    LoadNotes notes;
    const std::int64_t missing = LoadStudyFile(store, dataFile, notes);
    if (notes.trailingContent) ShowMessage(Utf8FromCp932(messages::TrailingContent()));
    return missing;
}

}  // namespace morvane::tool
