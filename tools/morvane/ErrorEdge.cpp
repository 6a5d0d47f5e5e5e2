#include "ErrorEdge.h"

#include <cstdio>
#include <new>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane::tool {

void ShowMessage(const std::string& utf8) {
    // Every byte of the text, whatever it holds (a NUL would end a C string).
    std::string line = "morvane: " + utf8 + "\n";
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
