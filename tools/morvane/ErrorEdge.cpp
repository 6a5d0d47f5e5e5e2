#include "ErrorEdge.h"

#include <cstdio>
#include <new>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "runtime/ShownText.h"

namespace morvane::tool {

void ShowMessage(const std::string& utf8) {
    // Every line of the text as a terminal may show it: a NUL (which would end a C string), an ESC (which
    // would move its cursor) or any other control character of a name in it as U+FFFD.
    std::string line = "morvane: " + ShownLines(utf8) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
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
