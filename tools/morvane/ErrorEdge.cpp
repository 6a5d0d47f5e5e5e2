#include "ErrorEdge.h"

#include <cstdio>
#include <new>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane::tool {

void ShowMessage(const std::string& utf8) {
    std::fprintf(stderr, "morvane: %s\n", utf8.c_str());
}

int RunShowingErrors(const std::function<int()>& body) {
    try {
        return body();
    } catch (const Error& error) {
        ShowMessage(Utf8FromCp932(error.message()));
        return 1;
    } catch (const std::bad_alloc&) {
        ShowMessage(Utf8FromCp932(messages::OutOfMemory()));
        return 1;
    }
}

}  // namespace morvane::tool
